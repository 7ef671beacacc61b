#!/usr/bin/env bash
# Times a default text listing of a large synthetic tree with a cold page cache: every
# run, of every tool, starts right after the cache is dropped, so the disk reads count.
# Against fd (fdfind -l, its closest match: every entry with its details), find -printf
# and a bare walk (readdir and fstatat only). The rounds are interleaved so that drift
# in the machine or the disk hits all four alike.
# Usage: bench/cold-bench.sh [ENTRIES] [RUNS]   (defaults: 300000 entries, 5 runs)
# Needs root, to drop the page cache. Installs fd-find when fdfind is missing.
# ZINTREL_BENCH_NO_BUILD=1 skips the build; ZINTREL_BENCH_BIN, ZINTREL_BARE_WALK_BIN and
# ZINTREL_MAKE_TREE_BIN point at prebuilt binaries.
# Goal: on a cold cache the listing takes at most 0.8 times as long as fdfind (stretch: 0.6).
set -euo pipefail

# Without the drop every run after the first reads from memory, and the numbers would
# only repeat listing-bench.sh; better no result than a warm one passed off as cold.
if [[ $(id -u) -ne 0 || ! -w /proc/sys/vm/drop_caches ]]; then
  echo "cold-bench.sh needs root to drop the page cache (/proc/sys/vm/drop_caches); run it with sudo" >&2
  exit 2
fi

cd "$(dirname "$0")/.."
entries=${1:-300000}
runs=${2:-5}
build=${BUILD_DIR:-build}
tree=${ZINTREL_BENCH_TREE:-${TMPDIR:-/tmp}/zintrel-bench-tree-$entries}
bench=${ZINTREL_BENCH_BIN:-$build/bench/zintrel-bench}
bare_walk=${ZINTREL_BARE_WALK_BIN:-$build/bench/bare-walk}
make_tree=${ZINTREL_MAKE_TREE_BIN:-$build/bench/make-tree}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if ! command -v fdfind >/dev/null; then
  echo "fdfind is missing; installing fd-find" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends fd-find >/dev/null
fi

if [[ ${ZINTREL_BENCH_NO_BUILD:-0} != 1 ]]; then
  cmake --build "$build" --target zintrel-bench bare-walk make-tree >/dev/null
fi
if [[ ! -f "$tree/.complete" ]]; then
  rm -rf "$tree"
  "$make_tree" "$tree" "$entries"
  touch "$tree/.complete"
fi
# A tree in memory has no disk behind it: dropping the cache cannot make it cold.
if [[ $(stat -f -c %T "$tree") == tmpfs ]]; then
  echo "warning: $tree is on tmpfs, the runs will not be cold; set ZINTREL_BENCH_TREE or TMPDIR to a disk" >&2
fi

# Wall time of one command, in seconds, started on an empty page cache. The sync first,
# or the dirty pages of the previous run's output would stay cached and be written
# during this one.
cold_time() {
  local start end
  sync
  echo 3 >/proc/sys/vm/drop_caches
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

median() {
  printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

listing_times=() fd_times=() find_times=() bare_times=()
for ((i = 0; i < runs; i++)); do
  listing_times+=("$(cold_time "$bench" "$tree" "$out/listing.txt")")
  fd_times+=("$(cold_time fdfind -H -I -u -l . "$tree")")
  find_times+=("$(cold_time find "$tree" -printf '%p %s %TY-%Tm-%Td %TT %d\n')")
  bare_times+=("$(cold_time "$bare_walk" "$tree")")
done
listing=$(median "${listing_times[@]}")
fdtime=$(median "${fd_times[@]}")
findtime=$(median "${find_times[@]}")
bare=$(median "${bare_times[@]}")

listed=$("$bare_walk" "$tree")
lines=$(($(wc -l <"$out/listing.txt") - 9))
printf 'tree: %s entries, listing: %s entry lines\n' "$listed" "$lines"
printf 'cold cache, median of %d runs: listing %.3f s, fdfind %.3f s, find %.3f s, bare walk %.3f s\n' \
  "$runs" "$listing" "$fdtime" "$findtime" "$bare"
awk -v l="$listing" -v d="$fdtime" -v f="$findtime" -v b="$bare" 'BEGIN {
  printf "listing / fdfind:    %.2f (goal <= 0.80, stretch <= 0.60) %s\n", l / d, (l / d <= 0.6 ? "stretch met" : (l / d <= 0.8 ? "ok" : "MISSED"))
  printf "listing / find:      %.2f\n", l / f
  printf "listing / bare walk: %.2f\n", l / b
}'
