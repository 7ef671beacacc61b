#!/usr/bin/env bash
# Times the listing formats against each other and against tree -J on one synthetic tree of
# ENTRIES entries, warm cache: median wall time of RUNS runs and peak memory of each.
# The formats are txt, csv and json, and every other one the harness's usage names among
# EXTRA_TYPES (html when it has it).
# Usage: bench/formats-bench.sh [ENTRIES] [RUNS]   (defaults: 1,000,000 entries, 3 runs)
# Goals: csv and json <= 1.3 x txt, json faster than tree -J, peak memory < 30 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-1000000}
runs=${2:-3}
build=${BUILD_DIR:-build}
tree=${ZINTREL_BENCH_TREE:-${TMPDIR:-/tmp}/zintrel-bench-tree-$entries}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for tool in tree bc /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "formats-bench: $tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
cmake --build "$build" --target zintrel-bench make-tree >/dev/null
if [[ ! -f "$tree/.complete" ]]; then
  rm -rf "$tree"
  "$build/bench/make-tree" "$tree" "$entries" >/dev/null
  touch "$tree/.complete"
fi

# The formats to time: the three always there, then those the usage lists besides.
types="txt csv json"
usage=$("$build/bench/zintrel-bench" 2>&1 || true)
for extra in ${EXTRA_TYPES:-html}; do
  [[ "$usage" =~ [\[\|]$extra[\]\|] ]] && types+=" $extra"
done

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
# /usr/bin/time writes to the same stderr the command's is silenced on, so it gets its own file.
peak_kb() { /usr/bin/time -o "$out/peak" -f '%M' "$@" >/dev/null 2>&1; cat "$out/peak"; }

find "$tree" >/dev/null # warm the cache
declare -A seconds peak bytes
for type in $types; do
  seconds[$type]=$(median "$build/bench/zintrel-bench" --type "$type" "$tree" "$out/listing.$type")
  peak[$type]=$(peak_kb "$build/bench/zintrel-bench" --type "$type" "$tree" "$out/listing.$type")
  bytes[$type]=$(stat -c %s "$out/listing.$type")
done
seconds[treeJ]=$(median tree -J -a -s -D --timefmt '%Y-%m-%dT%H:%M:%S%z' -o "$out/tree.json" "$tree")
peak[treeJ]=$(peak_kb tree -J -a -s -D --timefmt '%Y-%m-%dT%H:%M:%S%z' -o "$out/tree.json" "$tree")
bytes[treeJ]=$(stat -c %s "$out/tree.json")

printf '%s entries (find counts %s), median of %d runs, warm cache\n' "$entries" "$(find "$tree" | wc -l)" "$runs"
for type in $types treeJ; do
  name=$type
  [[ $type == treeJ ]] && name="tree -J"
  printf '%-8s %8.3f s  peak %6.1f MB  %12s bytes\n' "$name" "${seconds[$type]}" "$(echo "${peak[$type]} / 1024" | bc -l)" "${bytes[$type]}"
done
t=${seconds[txt]}
for type in $types; do
  [[ $type == txt ]] && continue
  awk -v x="${seconds[$type]}" -v t="$t" -v j="${seconds[treeJ]}" -v m="${peak[$type]}" -v n="$type" 'BEGIN {
    printf "%s / txt:     %.2f (goal <= 1.30) %s\n", n, x / t, (x / t <= 1.3 ? "ok" : "MISSED")
    printf "%s / tree -J: %.2f (goal < 1.00) %s\n", n, x / j, (x / j < 1 ? "ok" : "MISSED")
    printf "%s peak:      %.1f MB (goal < 30) %s\n", n, m / 1024, (m / 1024 < 30 ? "ok" : "MISSED")
  }'
done
