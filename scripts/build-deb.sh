#!/usr/bin/env bash
# Builds the Debian package into build-deb/ (zintrel_<version>-1_<arch>.deb), with Debian's
# hardening flags and without the tests, then checks it with scripts/check-deb.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/install-deps.sh dpkg-dev lintian librsvg2-bin desktop-file-utils appstream file

export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DZINTREL_TESTS=OFF >/dev/null
cmake --build build-deb
rm -f build-deb/zintrel_*.deb
(cd build-deb && cpack -G DEB >/dev/null)
package=$(ls build-deb/zintrel_*.deb)
scripts/check-deb.sh "$package"
echo "$package"
