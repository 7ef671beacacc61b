#!/usr/bin/env bash
# zintrel-list against the engine as zintrel-bench runs it, its options, statuses and signals.
# usage: cli-test.sh ZINTREL_LIST ZINTREL_BENCH MAN_PAGE
set -u
LIST=$1 BENCH=$2 MAN=$3
NOW=2024-01-02T03:04:05
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
pass=0 fail=0
check() { # name, then a command that must succeed
    local name=$1; shift
    if "$@"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAILED: $name"; fi
}
command -v qpdf >/dev/null || { echo "qpdf is missing (scripts/install-deps.sh)"; exit 1; }

tree=$work/tree
mkdir -p "$tree/sub/deeper" "$tree/other"
printf 'alpha\n' > "$tree/a.txt"
head -c 50000 /dev/zero > "$tree/big.bin"
printf 'beta\n' > "$tree/sub/b.md"
printf 'gamma\n' > "$tree/sub/deeper/c.txt"
printf 'hidden\n' > "$tree/.secret"
chmod a-w "$tree/a.txt"
touch -d 2020-05-05T10:00:00 "$tree/sub/b.md"

# The same listing as the engine gives, byte for byte: defaults, a settings file, PDF.
"$BENCH" --now $NOW "$tree" "$work/bench.txt" >/dev/null
"$LIST" --now $NOW "$tree" "$work/list.txt"
check "text equals the engine's" cmp -s "$work/bench.txt" "$work/list.txt"
"$LIST" --now $NOW "$tree" - > "$work/stdout.txt"
check "standard output equals the file" cmp -s "$work/bench.txt" "$work/stdout.txt"
printf 'showSize=false\nindentSize=5\nfileMask=*.txt\n' > "$work/bench.opts"
printf '# comment\nshow-size = false\nindent=5\nmask=*.txt\n' > "$work/list.settings"
"$BENCH" --now $NOW --options "$work/bench.opts" "$tree" "$work/bench2.txt" >/dev/null
"$LIST" --now $NOW --settings "$work/list.settings" "$tree" "$work/list2.txt"
check "settings file equals the engine's options" cmp -s "$work/bench2.txt" "$work/list2.txt"
"$LIST" --now $NOW --settings "$work/list.settings" --indent 3 --show-size "$tree" "$work/list3.txt"
check "options override the settings file" bash -c "grep -q 'a.txt' '$work/list3.txt' && ! cmp -s '$work/list2.txt' '$work/list3.txt'"
printf 'showSize=true\nindentSize=3\nfileMask=*.txt\n' > "$work/bench3.opts"
"$BENCH" --now $NOW --options "$work/bench3.opts" "$tree" "$work/bench3.txt" >/dev/null
check "overridden settings equal the engine's" cmp -s "$work/bench3.txt" "$work/list3.txt"
"$BENCH" --type pdf --now $NOW "$tree" "$work/bench.pdf" >/dev/null 2>&1
"$LIST" -q --now $NOW "$tree" "$work/list.pdf"
# A PDF holds the moment it was written (and an ID from it), so its text and pages are compared.
check "PDF equals the engine's" bash -c "pdftotext -layout '$work/bench.pdf' - > '$work/b.pdf.txt' && pdftotext -layout '$work/list.pdf' - > '$work/l.pdf.txt' && cmp -s '$work/b.pdf.txt' '$work/l.pdf.txt' && [[ \$(stat -c %s '$work/bench.pdf') == \$(stat -c %s '$work/list.pdf') ]]"

# Every option changes the listing: each against the defaults.
options=(
  "--no-show-name" "--no-show-size" "--no-show-attributes" "--no-show-date-time" "--no-show-path"
  "--no-show-level" "--spacing=5" "--indent=0" "--mask=*.md" "--exclude-read-only" "--exclude-hidden"
  "--exclude-directory" "--exclude-any-file" "--size-filter --size-kb=20"
  "--size-filter --size-mode=at-most --size-kb=20" "--date-filter --date-from=2020-01-01 --date-to=2020-12-31"
  "--no-subfolders"
)
for option in "${options[@]}"; do
    # shellcheck disable=SC2086
    "$LIST" --now $NOW $option "$tree" "$work/opt.txt"
    check "$option changes the text listing" bash -c "! cmp -s '$work/list.txt' '$work/opt.txt'"
done
pdf_options=(
  "--title=Inventory" "--author=Someone" "--no-landscape" "--font=DejaVuSans" "--font-size=12"
  "--folder-color=green" "--file-color=#123456" "--password-file=$work/pw --allow-print"
)
printf 'secret\n' > "$work/pw"
"$LIST" -q --now $NOW --password-file "$work/pw" "$tree" "$work/enc.pdf"
for option in "${pdf_options[@]}"; do
    rm -f "$work/opt.pdf"
    # shellcheck disable=SC2086
    "$LIST" -q --now $NOW $option "$tree" "$work/opt.pdf" 2>/dev/null
    base=$work/list.pdf
    [[ $option == --password-file* ]] && base=$work/enc.pdf
    check "$option changes the PDF" bash -c "[[ -s '$work/opt.pdf' ]] && ! cmp -s '$base' '$work/opt.pdf'"
done
check "title reaches the PDF" bash -c "pdfinfo '$work/list.pdf' >/dev/null && \"$LIST\" -q --title=Inventory '$tree' '$work/t.pdf' && pdfinfo '$work/t.pdf' | grep -q 'Title: *Inventory'"

# The password file: the PDF opens with it and not without.
check "PDF opens with the password" qpdf --password=secret --check "$work/enc.pdf" >/dev/null
check "PDF needs the password" bash -c "! qpdf --check '$work/enc.pdf' >/dev/null 2>&1"
: > "$work/empty"
"$LIST" -q --password-file "$work/empty" "$tree" "$work/nopw.pdf" 2> "$work/err"; rc=$?
check "empty password refused with the window's message" bash -c "[[ $rc == 1 ]] && grep -q 'Passwords do not match or not entered' '$work/err' && [[ ! -e '$work/nopw.pdf' ]]"

# Exit statuses.
"$LIST" --size-filter --size-mode=none "$tree" "$work/x.txt" 2> "$work/err"; rc=$?
check "size filter without a mode: 1 and the message" bash -c "[[ $rc == 1 ]] && grep -q 'The \"Size\" filter is not correct' '$work/err'"
"$LIST" --no-such-option "$tree" "$work/x.txt" 2> "$work/err"; rc=$?
check "unknown option: 2 and the hint" bash -c "[[ $rc == 2 ]] && grep -q \"Try 'zintrel-list --help'\" '$work/err'"
"$LIST" --spacing=11 "$tree" "$work/x.txt" 2>/dev/null; rc=$?
check "spacing out of range: 2" test $rc = 2
"$LIST" "$tree" 2>/dev/null; rc=$?
check "missing OUTPUT: 2" test $rc = 2
"$LIST" --format pdf "$tree" - 2> "$work/err"; rc=$?
check "PDF to standard output refused: 2" bash -c "[[ $rc == 2 ]] && grep -q 'standard output' '$work/err'"
mkdir "$work/ro"; chmod 555 "$work/ro"
if [[ $(id -u) != 0 ]]; then
    "$LIST" "$tree" "$work/ro/x.txt" 2> "$work/err"; rc=$?
    check "unwritable target: 1 naming the file" bash -c "[[ $rc == 1 ]] && grep -q '$work/ro/x.txt' '$work/err'"
fi
"$LIST" "$tree" "$work/no/such/folder/x.txt" 2> "$work/err"; rc=$?
check "target in a missing folder: 1 naming the file" bash -c "[[ $rc == 1 ]] && grep -q 'no/such/folder/x.txt' '$work/err'"
if [[ $(id -u) != 0 ]] || command -v bindfs >/dev/null; then :; fi
locked=$work/locked; mkdir -p "$locked/open" "$locked/shut"; printf x > "$locked/open/f"
chmod 000 "$locked/shut"
if [[ $(id -u) == 0 ]]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null && chmod -R o+rX "$work" && chmod 000 "$locked/shut" \
        && chmod o+w "$work" && setpriv --reuid=65534 --regid=65534 --clear-groups "$LIST" "$locked" "$work/unreadable.txt" 2> "$work/err"
    rc=$?
else
    "$LIST" "$locked" "$work/unreadable.txt" 2> "$work/err"; rc=$?
fi
check "unreadable folder: 3, named" bash -c "[[ $rc == 3 ]] && grep -q 'shut' '$work/err' && [[ -s '$work/unreadable.txt' ]]"
chmod 755 "$locked/shut"

# Format from the extension, and from --format.
"$LIST" -q "$tree" "$work/by-ext.pdf"
check "PDF from the extension" bash -c "head -c 5 '$work/by-ext.pdf' | grep -q '%PDF-'"
"$LIST" --format txt "$tree" "$work/forced.pdf"
check "--format txt wins over the extension, completing the name" bash -c "[[ -s '$work/forced.pdf.txt' ]] && ! head -c 5 '$work/forced.pdf.txt' | grep -q '%PDF-'"

# Ctrl+C while the save is held leaves nothing behind, and the exit says cancelled.
for step in started ranges-drawn; do
    target=$work/cancel-$step.pdf
    ZINTREL_LIST_STOP_AT=$step "$LIST" -q "$tree" "$target" 2> "$work/err" &
    pid=$!
    for _ in $(seq 200); do
        [[ $(ps -o stat= -p $pid 2>/dev/null) == T* ]] && break
        sleep 0.05
    done
    kill -INT $pid; kill -CONT $pid
    wait $pid; rc=$?
    check "Ctrl+C at $step: status 130" test $rc = 130
    check "Ctrl+C at $step: nothing left" bash -c "[[ ! -e '$target' ]] && [[ -z \$(ls -A '$work' | grep -i 'cancel') ]]"
done

# --help and --version, the man page.
"$LIST" --help > "$work/help"; rc=$?
check "--help lists the settings" bash -c "[[ $rc == 0 ]] && grep -q -- '--folder-color' '$work/help' && grep -q -- '--no-subfolders' '$work/help'"
check "--version" bash -c "\"$LIST\" --version | grep -q '^zintrel-list [0-9]'"
if command -v groff >/dev/null; then
    check "the man page renders" bash -c "groff -man -Tutf8 -ww -z '$MAN' 2>&1 | (! grep -q .)"
else
    echo "groff not installed: man page not rendered"
fi

echo "$pass passed, $fail failed"
[[ $fail == 0 ]]
