#!/usr/bin/env bash
# PDF output against a plain text-to-PDF pipeline and against a bare PDF writer, in one run
# on one machine, with the default settings (landscape, "MS Sans Serif" 8 pt drawn in
# Liberation Sans, encrypted with permissions):
#  1. a tree of about 100,000 entries, listed to text first; then
#     - time: a PDF save through zintrel-bench at most 0.15 x the time of
#       `enscript -B -r -q -p - LISTING | ps2pdf - OUT.pdf` on that text, and at most 1.5 x
#       the time of pdffloor (a bare libharu writer, ../shared/tools/pdffloor.c beside the
#       repository, built here) laying the same text out in Liberation Sans, embedded;
#       pdffloor with its standard font, the save drawn on one thread, and the lines per
#       second of each are shown too;
#     - size: the PDF at most 1.2 x the bytes of enscript | ps2pdf's PDF.
#  2. a PDF save of a tree of about 1,000,000 entries: peak memory under 150 MB.
# Times are wall seconds of the whole command, the median of 3 runs for part 1.
# Usage: bench/pdf-bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bench=$build/bench/zintrel-bench
runs=3
now=2026-01-15T10:00:00 # a fixed date keeps the listing texts alike from run to run

fail() {
  echo "pdf-bench: $*" >&2
  exit 2
}

[[ -x $bench ]] || fail "no $bench; build first (scripts/build.sh)"
# Each tool the script runs, and the package scripts/install-deps.sh installs it from.
for pair in enscript:enscript ps2pdf:ghostscript /usr/bin/time:time qpdf:qpdf \
  pdffonts:poppler-utils fc-match:fontconfig; do
  tool=${pair%%:*}
  command -v "$tool" >/dev/null \
    || fail "$tool is missing; scripts/install-deps.sh installs it (package ${pair##*:})"
done

# The font the default settings draw in, and the one the floor embeds. fc-match names some
# other font when Liberation Sans is not installed, so the family is checked as well.
font=$(fc-match -f '%{file}' 'Liberation Sans')
[[ $(fc-match -f '%{family}' 'Liberation Sans') == *"Liberation Sans"* && -f $font ]] \
  || fail "Liberation Sans is not installed; scripts/install-deps.sh installs it (package fonts-liberation2)"

floor_source=$root/../shared/tools/pdffloor.c
[[ -f $floor_source ]] || floor_source=""
if [[ -n $floor_source ]]; then
  command -v cc >/dev/null || fail "cc is missing; scripts/install-deps.sh installs it (package g++)"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zintrel-pdf-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

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

# Runs a command COUNT times and sets `seconds` to the median of its wall times, `peak_kb`
# to the highest of its peak resident sizes and `all_seconds` to every time, in run order.
# A command that fails ends the script with its own messages.
measure() {
  local count=$1
  shift
  local times=() kbs=() i s kb
  for ((i = 0; i < count; i++)); do
    if ! /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr"; then
      cat "$work/stderr" >&2
      fail "this command failed: $*"
    fi
    read -r s kb <"$work/time"
    times+=("$s")
    kbs+=("$kb")
  done
  all_seconds=${times[*]}
  seconds=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  peak_kb=$(printf '%s\n' "${kbs[@]}" | sort -g | tail -n 1)
}

pages() { qpdf --show-npages "$1" 2>/dev/null || echo "?"; }
bytes() { stat -c %s "$1"; }

# "met" or "NOT MET" for VALUE against a goal of at most / under LIMIT.
verdict() { # VALUE OP LIMIT
  awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
    ok = (op == "<=" ? v <= l : v < l); print (ok ? "met" : "NOT MET") }'
}

# ratio NAME A B LIMIT: prints A / B against a goal of at most LIMIT.
ratio() {
  local r
  r=$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.3f", a / b }')
  printf '%-43s %s (goal: at most %s) %s\n' "$1:" "$r" "$4" "$(verdict "$r" "<=" "$4")"
}

echo "== 100,000 entries ($(nproc) cores; times are the median of $runs runs)"
make_tree "$work/tree100k" 100 1000
listing=$work/listing100k.txt
"$bench" --type txt --now "$now" "$work/tree100k" "$listing" >/dev/null
lines=$(wc -l <"$listing")
echo "listing text: $lines lines, $(bytes "$listing") bytes"

# One line on a measured command: its median time and each run's, then the pages, bytes and
# bytes per listing line of the PDF it wrote.
report() { # LABEL SECONDS FILE [NOTE]
  local b
  b=$(bytes "$3")
  printf '%-38s %6s s (%s), %5s pages, %9s bytes, %5.1f bytes/line%s\n' "$1:" "$2" \
    "$all_seconds" "$(pages "$3")" "$b" "$(awk -v b="$b" -v n="$lines" 'BEGIN { print b / n }')" "${4:-}"
}

measure "$runs" "$bench" --type pdf --now "$now" "$work/tree100k" "$work/zintrel.pdf"
zin_seconds=$seconds
zin_bytes=$(bytes "$work/zintrel.pdf")
encryption=$(qpdf --show-encryption "$work/zintrel.pdf" 2>/dev/null | awk '
  /not encrypted/ { print "not encrypted"; exit }
  /^R = / { r = $3 } /^P = / { p = $3 } END { if (r != "") print "encrypted R " r ", P " p }')
fonts=$(pdffonts -l 1 "$work/zintrel.pdf" 2>/dev/null | awk 'NR > 2 { printf "%s%s", (n++ ? ", " : ""), $1 }')
report "zintrel-bench --type pdf" "$zin_seconds" "$work/zintrel.pdf" \
  ", peak $(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }') MB"
echo "  ($encryption; fonts on page 1: ${fonts:-?})"

measure "$runs" "$bench" --type pdf --now "$now" --drawing-threads 1 "$work/tree100k" "$work/one-thread.pdf"
one_seconds=$seconds
report "  the same on one thread" "$one_seconds" "$work/one-thread.pdf"

if [[ -n $floor_source ]]; then
  if ! cc -O2 -o "$work/pdffloor" "$floor_source" -lhpdf 2>"$work/cc.log"; then
    cat "$work/cc.log" >&2
    fail "cannot build the libharu floor $floor_source; scripts/install-deps.sh installs libharu (package libhpdf-dev)"
  fi
  measure "$runs" "$work/pdffloor" "$listing" "$work/floor.pdf" "$font"
  floor_seconds=$seconds
  report "pdffloor, $(basename "$font")" "$floor_seconds" "$work/floor.pdf"
  measure "$runs" "$work/pdffloor" "$listing" "$work/floor-standard.pdf"
  floor_standard_seconds=$seconds
  report "pdffloor, standard Helvetica" "$floor_standard_seconds" "$work/floor-standard.pdf" " (for information)"
else
  echo "pdffloor: skipped, no ../shared/tools/pdffloor.c beside the repository ($root/../shared/tools)"
fi

# shellcheck disable=SC2016 # the inner shell expands its own arguments
measure "$runs" bash -c 'set -o pipefail; enscript -B -r -q -p - "$1" | ps2pdf - "$2"' \
  bash "$listing" "$work/enscript.pdf"
ens_seconds=$seconds
ens_bytes=$(bytes "$work/enscript.pdf")
report "enscript | ps2pdf" "$ens_seconds" "$work/enscript.pdf"

ratio "time: zintrel / enscript | ps2pdf" "$zin_seconds" "$ens_seconds" 0.15
if [[ -n $floor_source ]]; then
  ratio "time: zintrel / pdffloor (embedded font)" "$zin_seconds" "$floor_seconds" 1.5
else
  printf '%-43s not measured (no pdffloor.c)\n' "time: zintrel / pdffloor (embedded font):"
fi
ratio "size: zintrel / enscript | ps2pdf" "$zin_bytes" "$ens_bytes" 1.2

# time reports hundredths of a second: a command faster than that has no rate to show.
rate() { # LABEL SECONDS
  awk -v label="$1:" -v n="$lines" -v s="$2" 'BEGIN {
    printf "%-38s %s lines/s\n", label, (s > 0 ? sprintf("%.0f", n / s) : "?") }'
}
rate "zintrel-bench --type pdf" "$zin_seconds"
rate "  the same on one thread" "$one_seconds"
if [[ -n $floor_source ]]; then
  rate "pdffloor, embedded font" "$floor_seconds"
  rate "pdffloor, standard font" "$floor_standard_seconds"
fi
rate "enscript | ps2pdf" "$ens_seconds"
rm -rf "$work/tree100k" "$work"/*.pdf

echo "== 1,000,000 entries (one run)"
make_tree "$work/tree1m" 1000 1000
measure 1 "$bench" --type pdf --now "$now" "$work/tree1m" "$work/big.pdf"
big_bytes=$(bytes "$work/big.pdf")
printf '%-38s %6s s, %s pages, %s bytes (%.1f MB)\n' "zintrel-bench --type pdf:" "$seconds" \
  "$(pages "$work/big.pdf")" "$big_bytes" "$(awk -v b="$big_bytes" 'BEGIN { print b / 1048576 }')"
mb=$(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }')
printf '%-43s %s MB (goal: under 150) %s\n' "peak memory:" "$mb" "$(verdict "$mb" "<" 150)"
