#!/usr/bin/env bash
# Builds the Debian package into build-deb/ (zintrel_<version>-1_<arch>.deb), or into
# ZINTREL_DEB_BUILD_DIR, with Debian's hardening flags and without the tests, then checks it
# with scripts/check-deb.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=${ZINTREL_DEB_BUILD_DIR:-build-deb}

export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZINTREL_TESTS=OFF >/dev/null
cmake --build "$dir"
rm -f "$dir"/zintrel_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
package=$(ls "$dir"/zintrel_*.deb)
scripts/check-deb.sh "$package"
echo "$package"
