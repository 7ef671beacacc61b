#!/usr/bin/env bash
# Installs a built package with apt-get in a bare Debian root (for example one made with
# `debootstrap --variant=minbase bookworm ROOT`) and makes a text, a PDF and a JSON listing
# there with zintrel-list. Needs root; the root's /proc, /sys and /dev are mounted for the run and
# unmounted after. Usage: try-deb.sh ROOT build-deb/zintrel_VERSION_ARCH.deb
set -euo pipefail
root=$(realpath "${1:?usage: try-deb.sh ROOT PACKAGE}")
package=${2:?usage: try-deb.sh ROOT PACKAGE}
[[ -f /etc/apt/sources.list.d/debian.sources ]] && cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
[[ -f /etc/apt/sources.list ]] && cp /etc/apt/sources.list "$root/etc/apt/"
cp "$package" "$root/tmp/"
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" || true; done
  rm -f "$root/tmp/$(basename "$package")"
}
trap cleanup EXIT
for fs in proc sys dev; do
  mount --bind "/$fs" "$root/$fs" && mounted+=("$root/$fs")
done
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 bash -euo pipefail -c "
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./tmp/$(basename "$package") >/dev/null
  mkdir -p /tmp/try/tree/sub && echo hello > /tmp/try/tree/sub/file.txt
  zintrel-list --version
  zintrel-list --quiet /tmp/try/tree /tmp/try/list.txt
  grep -q file.txt /tmp/try/list.txt
  zintrel-list --quiet --title Try /tmp/try/tree /tmp/try/list.pdf
  head -c 8 /tmp/try/list.pdf | grep -q '%PDF-1.'
  zintrel-list --format json /tmp/try/tree - | grep -q '\"name\":\"file.txt\"'
  QT_QPA_PLATFORM=offscreen zintrel --version
  rm -rf /tmp/try
"
echo "try-deb: $package installs and lists in $root"
