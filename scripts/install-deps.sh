#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Zintrel need, when any
# of them is missing. Runs apt-get update once, and only when something must be installed.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libqt6svg6 qt6-qpa-plugins
  libqpdf-dev qpdf
  libharfbuzz-dev libfontconfig-dev libfribidi-dev zlib1g-dev
  libgtest-dev libgmock-dev
  fonts-liberation2 fonts-urw-base35 fonts-dejavu-core fonts-noto-cjk fonts-symbola fonts-noto-color-emoji
  poppler-utils mupdf-tools xvfb xauth x11-utils
  enscript ghostscript time bc fontconfig libhpdf-dev
  bindfs libcli11-dev
  tree jq libreoffice-calc-nogui python3
  chromium chromium-driver python3-selenium
  desktop-file-utils appstream dpkg-dev lintian librsvg2-bin file
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
