#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Vardell authors
# Measures a Compare through the desktop program's window against `vardell-cli compare -q`
# on the same folder pair: the 20,000-file tree against an identical copy (a few status
# lines), and against a copy of its folder only (20,000 "Unpaired master file" lines for the
# status window). The window runs under a virtual display and is driven by a click;
# the time runs from a click on Compare to the run log's last line. Both run side by side, and
# the figures are medians. Needs root for the tmpfs.
#   bench/window_bench.sh [RUNS]     (BUILD_DIR=build-x to measure another build folder,
#                                     BENCH_PAIRS=a for the identical tree alone)
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-5}
BUILD_DIR=${BUILD_DIR:-build}
for tool in Xvfb:xvfb xdotool:xdotool rsync:rsync bc:bc; do
  command -v "${tool%%:*}" >/dev/null || apt-get install -y -qq --no-install-recommends "${tool#*:}" >/dev/null
done
if [ -z "${BENCH_NO_BUILD:-}" ]; then  # set it to measure the binaries already built
  [ -f "$BUILD_DIR/CMakeCache.txt" ] || cmake -S . -B "$BUILD_DIR" >/dev/null
  cmake --build "$BUILD_DIR" --target vardell vardell-cli -j"$(nproc)" >/dev/null
fi

work=$(mktemp -d /tmp/vardell-wbench-XXXXXX)
display=:$((80 + RANDOM % 9))
cleanup() { kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; umount "$work" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
mount -t tmpfs -o size=1g vardell-bench "$work"
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
python3 bench/make_trees.py flat "$work/m"
mkdir -p "$work/pairs/a" "$work/pairs/b/m"
cp -a "$work/m" "$work/pairs/a/m"  # the mirror folders share the master's name: no question
# The middle of the Compare button in the window (title bar 22, Action group at 418,198,
# the button at 8,18 in it, 151 x 32).
compare_x=$((418 + 8 + 75)) compare_y=$((22 + 198 + 18 + 16))
logs=("$BUILD_DIR" "$XDG_STATE_HOME/vardell" "$XDG_CONFIG_HOME/vardell")

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 & xvfb=$!
sleep 1

median() { sort -g | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]}'; }
seconds() { echo "$2 - $1" | bc -l; }

cli_run() {  # MIRROR
  local s e; s=$(date +%s.%N); "$BUILD_DIR/vardell-cli" compare -q "$work/m" "$1" >/dev/null 2>&1 || true
  e=$(date +%s.%N); seconds "$s" "$e"
}

window_run() {  # MIRROR
  local window="" s e
  DISPLAY=$display "$BUILD_DIR/vardell" "$work/m" "$1" >/dev/null 2>&1 & app=$!
  for _ in $(seq 100); do
    window=$(DISPLAY=$display xdotool search --onlyvisible --name "Vardell" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
  done
  sleep 0.5
  for folder in "${logs[@]}"; do rm -f "$folder"/log-*-m.txt; done  # the terminal runs' logs too
  # A click on Compare, the pointer put there first: a key sent by xdotool makes the program
  # read the whole keyboard map again (about 0.1 s), which no user's key press does.
  DISPLAY=$display xdotool mousemove --window "$window" "$compare_x" "$compare_y" 2>/dev/null
  sleep 0.2
  s=$(date +%s.%N)
  DISPLAY=$display xdotool click 1 2>/dev/null
  local waited=0
  until grep -qs "Elapsed Time" "$BUILD_DIR"/log-*-m.txt "$XDG_STATE_HOME"/vardell/log-*-m.txt \
    "$XDG_CONFIG_HOME"/vardell/log-*-m.txt; do
    sleep 0.01
    waited=$((waited + 1))
    [ "$waited" -lt 3000 ] || { echo "window_bench: no run log after 30 s" >&2; kill "$app"; exit 1; }
  done
  e=$(date +%s.%N)
  kill "$app"; wait "$app" 2>/dev/null || true
  seconds "$s" "$e"
}

for pair in ${BENCH_PAIRS:-a b}; do
  what=$([ $pair = a ] && echo "identical 20,000 files" || echo "20,000 unpaired files")
  cli=(); win=()
  for ((i = 0; i < RUNS; i++)); do  # alternating, so a busy moment weighs on both
    cli+=("$(cli_run "$work/pairs/$pair/m")")
    win+=("$(window_run "$work/pairs/$pair/m")")
  done
  c=$(printf '%s\n' "${cli[@]}" | median); w=$(printf '%s\n' "${win[@]}" | median)
  printf '%-32s window %7.3fs  vardell-cli -q %7.3fs  ratio %5.2f (target <= 1.3)\n' "Compare, $what" "$w" "$c" \
    "$(echo "$w / $c" | bc -l)"
done
