#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Vardell authors
# Measures vardell-cli against rsync, diff and cp on the same trees, side by side in one
# run, on a fresh ext4 file system on a loop device (a plain folder when that cannot be
# mounted). Prints medians (seconds) and ratios of medians. Needs root for the mount.
#   bench/run_bench.sh [RUNS]     (default 3 runs per measurement)
# BENCH_CACHE=cold (default) drops the page cache before every timed run; BENCH_CACHE=warm
# runs each command once untimed first instead. BENCH_ONLY=WORDS measures only the
# sections named (compare, content, smallcontent, sync, initial, flat, memory, million; million
# builds 1,000,000 files twice on a tmpfs of its own, about 9 GB of memory). BENCH_BASELINE=PATH names
# an earlier vardell-cli build that is measured beside this one in the same run;
# BENCH_CLI=PATH measures that build instead of building this checkout.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-3}
for tool in rsync /usr/bin/time python3 bc; do
  command -v "$tool" >/dev/null || { apt-get install -y -qq --no-install-recommends rsync time python3 bc >/dev/null; break; }
done
CLI=${BENCH_CLI:-}  # a vardell-cli to measure instead of this checkout's build
if [ -z "$CLI" ]; then
  scripts/build build >/dev/null
  CLI=$PWD/build/vardell-cli
fi

work=$(mktemp -d /tmp/vardell-bench-XXXXXX)
image="$work.img"
cleanup() {
  umount "$work.million" 2>/dev/null || true; rmdir "$work.million" 2>/dev/null || true
  umount "$work" 2>/dev/null || true; rm -f "$image" "$work.floor"; rm -rf "$work"
}
trap cleanup EXIT
if truncate -s 40G "$image" && mkfs.ext4 -q -F "$image" && mount -o loop "$image" "$work"; then
  echo "file system: fresh ext4 on a loop device; page cache: ${BENCH_CACHE:-cold}"
else
  echo "file system: $(df --output=fstype "$work" | tail -1) (could not mount a loop device)"
fi
export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
V() { "$CLI" "$@" --allow-system-volume --names-differ continue >/dev/null 2>&1 || true; }
Vc() { "$CLI" "$@" >/dev/null 2>&1 || true; }
BASELINE=${BENCH_BASELINE:-}
Vb() { "$BASELINE" "$@" --allow-system-volume --names-differ continue >/dev/null 2>&1 || true; }
Vcb() { "$BASELINE" "$@" >/dev/null 2>&1 || true; }
empty_trash() { rm -rf "$XDG_DATA_HOME/Trash"; }

# median SECONDS of RUNS runs of "prepare; command"
median() {
  local prepare=$1; shift
  local times=()
  for ((i = 0; i < RUNS; i++)); do
    eval "$prepare"
    if [ "${BENCH_CACHE:-cold}" = warm ]; then
      eval "$@"; eval "$prepare"
    fi
    # Let deletions and writes of the preparation settle: creating files right after a
    # large tree was deleted is several times slower and would swamp the result.
    sync; sleep 1
    [ "${BENCH_CACHE:-cold}" = warm ] || echo 3 > /proc/sys/vm/drop_caches 2>/dev/null || true
    local start end
    start=$(date +%s.%N); eval "$@"; end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]}'
}
report() {  # NAME OURS PEER PEERNAME TARGET [BASELINE]
  printf '%-44s vardell %8.3fs  %-26s %8.3fs  ratio %5.2f (target <= %s)' "$1" "$2" "$4" "$3" \
    "$(echo "$2 / $3" | bc -l)" "$5"
  if [ -n "${6:-}" ]; then
    printf '  baseline %8.3fs ratio %5.2f, now/baseline %5.2f' "$6" "$(echo "$6 / $3" | bc -l)" "$(echo "$2 / $6" | bc -l)"
  fi
  printf '\n'
}
# The baseline's median for the same measurement, when one is named.
base() {  # PREPARE COMMAND-WITH-Vb/Vcb...
  [ -n "$BASELINE" ] || return 0
  median "$@"
}

want() { [ -z "${BENCH_ONLY:-}" ] || [[ " $BENCH_ONLY " == *" $1 "* ]]; }

echo "generating trees..."
python3 bench/make_trees.py nested "$work/nested.m"
cp -a "$work/nested.m" "$work/nested.r"
cp -a "$work/nested.m" "$work/mutated.m"; python3 bench/make_trees.py mutate "$work/mutated.m"
python3 bench/make_trees.py flat "$work/flat.m"; cp -a "$work/flat.m" "$work/flat.r"
python3 bench/make_trees.py big "$work/big.m"; cp -a "$work/big.m" "$work/big.r"
python3 bench/make_trees.py copyset "$work/copyset.m"
python3 bench/make_trees.py onebig "$work/onebig.m"
echo "measuring ($RUNS runs each)..."

if want compare || want flat; then
t1=$(median : Vc compare "$work/nested.m" "$work/nested.r")
b1=$(base : Vcb compare "$work/nested.m" "$work/nested.r")
p1=$(median : rsync -rlt --delete -n "$work/nested.m/" "$work/nested.r/")
report "metadata compare, identical 100k" "$t1" "$p1" "rsync -rlt --delete -n" 0.9 "$b1"
t2=$(median : Vc compare "$work/mutated.m" "$work/nested.r")
b2=$(base : Vcb compare "$work/mutated.m" "$work/nested.r")
p2=$(median : rsync -rlt --delete -n "$work/mutated.m/" "$work/nested.r/")
report "metadata compare, 1%-mutated 100k" "$t2" "$p2" "rsync -rlt --delete -n" 0.9 "$b2"
fi
if want content; then
t3=$(median : Vc compare -t binary "$work/big.m" "$work/big.r")
b3=$(base : Vcb compare -t binary "$work/big.m" "$work/big.r")
p3=$(median : diff -rq "$work/big.m" "$work/big.r")
report "content compare, 20 x 100 MB" "$t3" "$p3" "diff -rq" 0.8 "$b3"
fi
# Content compares of small files against diff -rq, rsync -c and reading both trees once
# (bench/read_floor.cpp: one thread, 1 MiB buffer), identical and with 1% of the files
# changed. BENCH_SETS picks trees (default "small flat1k lognormal big").
if want smallcontent; then
  g++ -O2 -o "$work.floor" bench/read_floor.cpp
  python3 bench/make_trees.py small "$work/small.m"; cp -a "$work/small.m" "$work/small.r"
  cp -a "$work/small.m" "$work/small.x"; python3 bench/make_trees.py mutate "$work/small.x"
  python3 bench/make_trees.py flat1k "$work/flat1k.m"; cp -a "$work/flat1k.m" "$work/flat1k.r"
  cp -a "$work/flat1k.m" "$work/flat1k.x"; python3 bench/make_trees.py mutate "$work/flat1k.x"
  python3 bench/make_trees.py lognormal "$work/lognormal.m"; cp -a "$work/lognormal.m" "$work/lognormal.r"
  cp -a "$work/lognormal.m" "$work/lognormal.x"; python3 bench/make_trees.py mutate "$work/lognormal.x"
  cp -a "$work/big.m" "$work/big.x"; python3 bench/make_trees.py mutate "$work/big.x"
  for set in ${BENCH_SETS:-small flat1k lognormal big}; do
    for master in "$set.m" "$set.x"; do
      what="$set $([ "$master" = "$set.m" ] && echo identical || echo 1%-mutated)"
      t=$(median : Vc compare -t binary "$work/$master" "$work/$set.r")
      b=$(base : Vcb compare -t binary "$work/$master" "$work/$set.r")
      p=$(median : "diff -rq $work/$master $work/$set.r >/dev/null || true")
      report "binary compare, $what" "$t" "$p" "diff -rq" 0.8 "$b"
      p=$(median : "rsync -rlt -n -c $work/$master/ $work/$set.r/ >/dev/null")
      report "binary compare, $what" "$t" "$p" "rsync -rlt -n -c" 1.0 "$b"
    done
    p=$(median : "$work.floor $work/$set.m $work/$set.r 2>/dev/null")
    report "binary compare, $set identical" "$(median : Vc compare -t binary "$work/$set.m" "$work/$set.r")" "$p" \
      "reading both trees once" 1.0
  done
  rss=$(/usr/bin/time -f %M "$CLI" compare -t binary "$work/small.m" "$work/small.r" 2>&1 >/dev/null | tail -1)
  printf '%-44s %d kB (target < 65536 kB)\n' "peak memory, binary compare small 100k" "$rss"
fi
if want sync; then

t4=$(median : V sync "$work/nested.m" "$work/nested.r")
b4=$(base : Vb sync "$work/nested.m" "$work/nested.r")
p4=$(median : rsync -a --delete "$work/nested.m/" "$work/nested.r/")
report "sync with nothing to do, 100k" "$t4" "$p4" "rsync -a --delete" 0.9 "$b4"
restore="rsync -a --delete $work/nested.m/ $work/mut.r/; empty_trash"
t5=$(median "$restore" V sync "$work/mutated.m" "$work/mut.r")
b5=$(base "$restore" Vb sync "$work/mutated.m" "$work/mut.r")
p5=$(median "$restore" rsync -a --delete "$work/mutated.m/" "$work/mut.r/")
report "1%-mutated sync, 100k" "$t5" "$p5" "rsync -a --delete" 0.9 "$b5"
fi

fresh="rm -rf $work/init.r; mkdir $work/init.r"
want initial && for set in nested flat copyset onebig; do
  t=$(median "$fresh" V sync "$work/$set.m" "$work/init.r")
  b=$(base "$fresh" Vb sync "$work/$set.m" "$work/init.r")
  p=$(median "rm -rf $work/init.r" cp -a "$work/$set.m" "$work/init.r")
  report "initial sync, $set" "$t" "$p" "cp -a" 1.2 "$b"
done

if want flat; then
tf=$(median : Vc compare "$work/flat.m" "$work/flat.r")
tn=$t1
perflat=$(echo "$tf / 20000" | bc -l); pernested=$(echo "$tn / 100000" | bc -l)
printf '%-44s %.2f us/entry flat, %.2f us/entry nested: ratio %.2f (target <= 1.5)\n' \
  "20,000 files in one folder" "$(echo "$perflat * 1000000" | bc -l)" "$(echo "$pernested * 1000000" | bc -l)" \
  "$(echo "$perflat / $pernested" | bc -l)"

fi
# A million files in 2,000 folders on a tmpfs: Sync with nothing to do against rsync and
# vardell's own metadata Compare, and a binary Compare (1% changed) against diff -rq, with
# its peak memory (the master's kept listings have a 64 MB budget).
if want million; then
  mill=$work.million
  # Two trees only (a page and an inode per file): the master is mutated after the Syncs.
  mkdir -p "$mill" && mount -t tmpfs -o size=10G,nr_inodes=2500000 tmpfs "$mill"
  python3 bench/make_trees.py million "$mill/m"; cp -a "$mill/m" "$mill/r"
  tm=$(median : V sync "$mill/m" "$mill/r")
  bm=$(base : Vb sync "$mill/m" "$mill/r")
  pm=$(median : rsync -a --delete "$mill/m/" "$mill/r/")
  report "sync with nothing to do, 1M (tmpfs)" "$tm" "$pm" "rsync -a --delete" 0.7 "$bm"
  cm=$(median : Vc compare "$mill/m" "$mill/r")
  report "sync with nothing to do, 1M, vs metadata compare" "$tm" "$cm" "vardell-cli compare" 1.0
  python3 bench/make_trees.py mutate "$mill/m"; mv "$mill/m" "$mill/x"
  tc=$(median : Vc compare -t binary "$mill/x" "$mill/r")
  bc=$(base : Vcb compare -t binary "$mill/x" "$mill/r")
  pc=$(median : "diff -rq $mill/x $mill/r >/dev/null || true")
  report "binary compare, 1M 1%-changed (tmpfs)" "$tc" "$pc" "diff -rq" 0.8 "$bc"
  rss=$(/usr/bin/time -f %M "$CLI" compare -t binary "$mill/x" "$mill/r" 2>&1 >/dev/null | tail -1)
  printf '%-44s %d kB (target < 102400 kB)\n' "peak memory, binary compare 1M" "$rss"
  umount "$mill"; rmdir "$mill"
fi
if want memory; then
  rss=$(/usr/bin/time -f %M "$CLI" compare "$work/nested.m" "$work/nested.r" 2>&1 >/dev/null | tail -1)
  printf '%-44s %d kB (target < 51200 kB)\n' "peak memory, metadata compare 100k" "$rss"
fi
