#!/usr/bin/env bash
# Measures a Compare through the desktop program's window against vardell-cli on the same
# folder pair: the 100,000-file tree against an identical copy (few status lines), and
# against a copy of its folders only (100,000 "Unpaired master file" lines for the status
# window). The window runs under a virtual display and is driven by its Compare key; the
# time runs from the key press to the run log's last line. Needs root for the tmpfs.
#   bench/window_bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-3}
for tool in Xvfb:xvfb xdotool:xdotool rsync:rsync bc:bc; do
  command -v "${tool%%:*}" >/dev/null || apt-get install -y -qq --no-install-recommends "${tool#*:}" >/dev/null
done
if [ -z "${BENCH_NO_BUILD:-}" ]; then  # set it to measure the binaries already in build/
  [ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null
  cmake --build build --target vardell vardell-cli -j"$(nproc)" >/dev/null
fi

work=$(mktemp -d /tmp/vardell-wbench-XXXXXX)
display=:$((80 + RANDOM % 9))
cleanup() { kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; umount "$work" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
mount -t tmpfs -o size=2g vardell-bench "$work"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
python3 bench/make_trees.py nested "$work/m"
cp -a "$work/m" "$work/same/" 2>/dev/null || { mkdir -p "$work/same"; cp -a "$work/m/." "$work/same/"; }
rsync -a -f'+ */' -f'- *' "$work/m/" "$work/folders/"
# The mirror folders share the master's name, so no question is asked.
mkdir -p "$work/pairs/a" "$work/pairs/b"; mv "$work/same" "$work/pairs/a/m"; mv "$work/folders" "$work/pairs/b/m"

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 & xvfb=$!
sleep 1

median() { sort -g | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]}'; }

cli_time() {  # MIRROR
  for ((i = 0; i < RUNS; i++)); do
    local s e; s=$(date +%s.%N); build/vardell-cli compare "$work/m" "$1" >/dev/null 2>&1 || true; e=$(date +%s.%N)
    echo "$e - $s" | bc -l
  done | median
}

window_time() {  # MIRROR
  for ((i = 0; i < RUNS; i++)); do
    local window="" s e
    DISPLAY=$display build/vardell "$work/m" "$1" >/dev/null 2>&1 & app=$!
    for _ in $(seq 100); do
      window=$(DISPLAY=$display xdotool search --onlyvisible --name "Vardell" 2>/dev/null | head -1) && [ -n "$window" ] && break
      sleep 0.1
    done
    sleep 0.5
    rm -f build/log-*-m.txt "$XDG_CONFIG_HOME"/vardell/log-*-m.txt  # the terminal runs' logs too
    s=$(date +%s.%N)
    DISPLAY=$display xdotool windowfocus "$window" key alt+c 2>/dev/null
    until grep -qs "Elapsed Time" build/log-*-m.txt "$XDG_CONFIG_HOME"/vardell/log-*-m.txt; do sleep 0.02; done
    e=$(date +%s.%N)
    kill "$app"; wait "$app" 2>/dev/null || true
    echo "$e - $s" | bc -l
  done | median
}

for pair in a b; do
  what=$([ $pair = a ] && echo "identical 100k tree" || echo "100k unpaired files (100,000 lines)")
  c=$(cli_time "$work/pairs/$pair/m"); w=$(window_time "$work/pairs/$pair/m")
  printf '%-40s window %7.3fs  vardell-cli %7.3fs  ratio %5.2f (target <= 1.3)\n' "Compare, $what" "$w" "$c" \
    "$(echo "$w / $c" | bc -l)"
done
