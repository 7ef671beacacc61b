#!/usr/bin/env bash
# Times the HTML catalogue against the text listing of the same tree (goals: at most 1.5 x
# its time and 1.5 x its size), and in headless Chromium the time from navigation start to
# the first level shown (goal < 3 s) and a search for a name that occurs once (goal < 1 s),
# beside `tree -H . -o out.html` of the same tree loaded in the same browser.
# Usage: bench/html-bench.sh [ENTRIES]   (default 1,000,000)
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-1000000}
build=${BUILD_DIR:-build}
tree=${ZINTREL_BENCH_TREE:-${TMPDIR:-/tmp}/zintrel-bench-tree-$entries}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for tool in chromium chromedriver tree /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "html-bench: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
cmake --build "$build" --target zintrel-bench make-tree >/dev/null
if [[ ! -f "$tree/.complete" ]]; then
  rm -rf "$tree"
  "$build/bench/make-tree" "$tree" "$entries" >/dev/null
  touch "$tree/.complete"
fi
touch "$tree/zz-the-only-one.bin" 2>/dev/null || true
"$build/bench/zintrel-bench" "$tree" "$out/l.txt" >/dev/null # warm the cache
timed() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
txt=$(timed "$build/bench/zintrel-bench" "$tree" "$out/l.txt")
html=$(timed "$build/bench/zintrel-bench" --type html "$tree" "$out/l.html")
(cd "$tree" && tree -H . -o "$out/tree.html" >/dev/null)
awk -v t="$txt" -v h="$html" -v ts="$(stat -c %s "$out/l.txt")" -v hs="$(stat -c %s "$out/l.html")" \
    -v rs="$(stat -c %s "$out/tree.html")" 'BEGIN {
  printf "txt %.2f s %d bytes, html %.2f s %d bytes, tree -H %d bytes\n", t, ts, h, hs, rs
  printf "html / txt time: %.2f (goal <= 1.5) %s\n", h / t, (h / t <= 1.5 ? "ok" : "MISSED")
  printf "html / txt size: %.2f (goal <= 1.5) %s\n", hs / ts, (hs / ts <= 1.5 ? "ok" : "MISSED")
}'
/usr/bin/python3 - "$out/l.html" "$out/tree.html" <<'PY'
import os, sys, time
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait
o = webdriver.ChromeOptions()
for a in ('--headless=new', '--no-sandbox', '--disable-gpu'):
    o.add_argument(a)
# Chromium's temporary folders go with the bench's own.
scratch = os.path.join(os.path.dirname(sys.argv[1]), 'browser')
os.makedirs(scratch, exist_ok=True)
b = webdriver.Chrome(options=o, service=Service('/usr/bin/chromedriver', env=dict(os.environ, TMPDIR=scratch)))
b.set_page_load_timeout(600)
def first_shown(path):
    b.get('file://' + path)
    return b.execute_script("return performance.now()") / 1000
shown = first_shown(sys.argv[1])
print('catalogue: first level shown after %.2f s (goal < 3) %s' % (shown, 'ok' if shown < 3 else 'MISSED'))
s = time.time()
q = b.find_element(By.ID, 'q')
q.send_keys('zz-the-only-one')
q.send_keys('\n')
WebDriverWait(b, 60, 0.01).until(lambda d: d.find_element(By.ID, 'found').text)
took = time.time() - s
print('catalogue: search of one name %.2f s (%s; goal < 1) %s' % (took, b.find_element(By.ID, 'found').text, 'ok' if took < 1 else 'MISSED'))
# tree's page is one flat document of every entry, which Chromium may take many minutes
# over, or give up on.
limit = 120
b.set_page_load_timeout(limit)
try:
    print('tree -H: page loaded after %.2f s' % first_shown(sys.argv[2]))
except WebDriverException as error:
    print('tree -H: page not shown within %d s (%s)' % (limit, error.msg.splitlines()[0] if error.msg else type(error).__name__))
b.quit()
PY
