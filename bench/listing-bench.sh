#!/usr/bin/env bash
# Times a default text listing against a bare walk (readdir and fstatat only) and against
# find -printf, warm cache, on two synthetic trees: a deep one of ENTRIES entries, and one
# folder of 200,000 files (where putting the names in order costs the most). Also the
# listing's peak memory.
# Usage: bench/listing-bench.sh [ENTRIES] [RUNS]   (defaults: 300000 entries, 5 runs)
# Goals: listing <= 1.2 x bare walk, listing <= 0.5 x find, peak memory < 30 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-300000}
runs=${2:-5}
flat_files=200000
build=${BUILD_DIR:-build}
tree=${ZINTREL_BENCH_TREE:-${TMPDIR:-/tmp}/zintrel-bench-tree-$entries}
flat=${ZINTREL_BENCH_FLAT_TREE:-${TMPDIR:-/tmp}/zintrel-bench-flat-$flat_files}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cmake --build "$build" --target zintrel-bench bare-walk make-tree >/dev/null
make_once() { # FOLDER ENTRIES [FILES_PER_FOLDER]
  if [[ ! -f "$1/.complete" ]]; then
    rm -rf "$1"
    "$build/bench/make-tree" "$@" >/dev/null
    touch "$1/.complete"
  fi
}
make_once "$tree" "$entries"
make_once "$flat" "$flat_files" "$flat_files"

# Median wall time of a command over $runs runs, in seconds.
median() {
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

for folder in "$tree" "$flat"; do
  "$build/bench/bare-walk" "$folder" >/dev/null # warm the cache
  listed=$("$build/bench/bare-walk" "$folder")
  bare=$(median "$build/bench/bare-walk" "$folder")
  listing=$(median "$build/bench/zintrel-bench" "$folder" "$out/listing.txt")
  findtime=$(median find "$folder" -printf '%p %s %TY-%Tm-%Td %TT %d\n')
  peak_kb=$( { /usr/bin/time -f '%M' "$build/bench/zintrel-bench" "$folder" "$out/listing.txt" >/dev/null; } 2>&1 | tail -n 1)
  lines=$(($(wc -l <"$out/listing.txt") - 9))

  echo "== $(basename "$folder")"
  printf 'tree: %s entries, listing: %s entry lines\n' "$listed" "$lines"
  printf 'median of %d runs: bare walk %.3f s, listing %.3f s, find %.3f s\n' "$runs" "$bare" "$listing" "$findtime"
  awk -v l="$listing" -v b="$bare" -v f="$findtime" -v m="$peak_kb" 'BEGIN {
    printf "listing / bare walk: %.2f (goal <= 1.20) %s\n", l / b, (l / b <= 1.2 ? "ok" : "MISSED")
    printf "listing / find:      %.2f (goal <= 0.50) %s\n", l / f, (l / f <= 0.5 ? "ok" : "MISSED")
    printf "peak memory:         %.1f MB (goal < 30) %s\n", m / 1024, (m / 1024 < 30 ? "ok" : "MISSED")
  }'
done
