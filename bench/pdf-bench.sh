#!/usr/bin/env bash
# PDF output against a plain text-to-PDF pipeline, in one run on one machine:
#  1. a PDF save of a tree of about 100,000 entries through zintrel-bench, against
#     `enscript -B -r -q -p - LISTING | ps2pdf - OUT.pdf` on the same listing text;
#     goal: at most a quarter of its time. Also the lines per second of both, over the
#     lines of the listing text, which compare with runs on trees of other sizes; and the
#     same save drawn on one thread, to show what drawing on every core gains.
#  2. the peak memory of a PDF save of about 1,000,000 entries; goal: under 150 MB.
# Usage: bench/pdf-bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bench=$build/bench/zintrel-bench
[[ -x $bench ]] || { echo "no $bench; build first" >&2; exit 2; }
for tool in enscript ps2pdf /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zintrel-pdf-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
now=2026-01-15T10:00:00   # a fixed date keeps the listing texts alike from run to run

# FOLDERS folders of FILES empty files each under DIR. The first folder is made with touch,
# the others are hard-linked copies of it: the walk sees every entry as a file of its own,
# but the tree costs no inodes and little time.
make_tree() {
  local dir=$1 folders=$2 files=$3
  mkdir -p "$dir/f00000"
  (cd "$dir/f00000" && seq -f 'entry_%06g.dat' 1 "$files" | xargs touch)
  local i
  for ((i = 1; i < folders; i++)); do
    cp -al "$dir/f00000" "$dir/$(printf 'f%05d' "$i")"
  done
}

# Wall seconds and peak resident kilobytes of a command, as "SECONDS KB".
measure() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" \
    || { cat "$work/stderr" >&2; exit 1; }
  cat "$work/time"
}

echo "== 100,000 entries"
make_tree "$work/tree100k" 100 1000
"$bench" --type txt --now "$now" "$work/tree100k" "$work/listing100k.txt" >/dev/null
lines=$(wc -l <"$work/listing100k.txt")
echo "listing: $lines lines"

result=$(measure "$bench" --type pdf --now "$now" "$work/tree100k" "$work/zintrel.pdf")
read -r pdf_seconds pdf_kb <<<"$result"
result=$(measure "$bench" --type pdf --now "$now" --drawing-threads 1 "$work/tree100k" "$work/one-thread.pdf")
read -r one_seconds _ <<<"$result"
result=$(measure sh -c "enscript -B -r -q -p - '$work/listing100k.txt' | ps2pdf - '$work/enscript.pdf'")
read -r ens_seconds _ <<<"$result"
pages=$(qpdf --show-npages "$work/zintrel.pdf" 2>/dev/null || echo "?")
echo "zintrel-bench --type pdf: ${pdf_seconds} s, ${pages} pages, peak ${pdf_kb} KB"
echo "the same on one thread:   ${one_seconds} s ($(nproc) cores)"
echo "enscript | ps2pdf:        ${ens_seconds} s"
awk -v a="$pdf_seconds" -v b="$ens_seconds" 'BEGIN {
  r = a / b; printf "time ratio: %.3f (goal: at most 0.250) %s\n", r, (r <= 0.25 ? "met" : "NOT MET") }'
# time reports hundredths of a second: a save faster than that has no rate to show.
awk -v n="$lines" -v a="$pdf_seconds" -v b="$ens_seconds" 'BEGIN {
  printf "zintrel-bench --type pdf: %s lines/s\n", (a > 0 ? sprintf("%.0f", n / a) : "?")
  printf "enscript | ps2pdf:        %s lines/s\n", (b > 0 ? sprintf("%.0f", n / b) : "?") }'
rm -rf "$work/tree100k" "$work"/*.pdf

echo "== 1,000,000 entries"
make_tree "$work/tree1m" 1000 1000
result=$(measure "$bench" --type pdf --now "$now" "$work/tree1m" "$work/big.pdf")
read -r big_seconds big_kb <<<"$result"
pages=$(qpdf --show-npages "$work/big.pdf" 2>/dev/null || echo "?")
echo "zintrel-bench --type pdf: ${big_seconds} s, ${pages} pages, $(du -m "$work/big.pdf" | cut -f1) MB"
awk -v kb="$big_kb" 'BEGIN {
  mb = kb / 1024; printf "peak memory: %.1f MB (goal: under 150) %s\n", mb, (mb < 150 ? "met" : "NOT MET") }'
