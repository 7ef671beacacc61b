#!/usr/bin/env bash
# Checks a built Zintrel package: its contents list against the one expected, its control
# fields, the desktop entry and AppStream metadata with their validators, and lintian (no
# errors, no warnings). Exits non-zero on the first failure.
set -euo pipefail
package=${1:?usage: check-deb.sh zintrel_VERSION_ARCH.deb}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-deb: $*" >&2; exit 1; }

expected=(
  /usr/bin/zintrel
  /usr/bin/zintrel-list
  "/usr/lib/$multiarch/zintrel/zintrel-pdf-plugin.so"
  /usr/share/applications/zintrel.desktop
  /usr/share/bash-completion/completions/zintrel-list
  /usr/share/doc/zintrel/Zintrel.html
  /usr/share/doc/zintrel/changelog.Debian.gz
  /usr/share/doc/zintrel/copyright
  /usr/share/icons/hicolor/scalable/apps/zintrel.svg
  /usr/share/man/man1/zintrel-list.1.gz
  /usr/share/man/man1/zintrel.1.gz
  /usr/share/lintian/overrides/zintrel
  /usr/share/metainfo/org.example.zintrel.metainfo.xml
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/zintrel.png")
done
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
dpkg-deb --fsys-tarfile "$package" | tar -t | sed -n 's|^\./|/|p' | grep -v '/$' | sort >"$work/actual"
diff -u "$work/expected" "$work/actual" || fail "$package holds other files than expected (- missing, + extra)"

# Owned by root, directories 755, files 644 and programs 755.
dpkg-deb -c "$package" | awk '
  $2 != "root/root" { print "owner: " $0; bad = 1 }
  /^d/ && $1 != "drwxr-xr-x" { print "mode: " $0; bad = 1 }
  /^-/ && $1 != "-rw-r--r--" && $1 != "-rwxr-xr-x" { print "mode: " $0; bad = 1 }
  END { exit bad }' || fail "wrong owners or modes in $package"

[[ $(dpkg-deb -f "$package" Package) == zintrel ]] || fail "package name"
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libqt6gui6 libqpdf29 libharfbuzz0b libfontconfig1 qt6-qpa-plugins; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$package" "$work/root"
for program in "$work/root/usr/bin/zintrel" "$work/root/usr/bin/zintrel-list"; do
  file "$program" | grep -q 'ELF.*, stripped' || fail "$program is not a stripped ELF program"
done
desktop-file-validate "$work/root/usr/share/applications/zintrel.desktop" || fail "desktop entry"
grep -qx 'MimeType=inode/directory;' "$work/root/usr/share/applications/zintrel.desktop" || fail "MimeType"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.example.zintrel.metainfo.xml" >/dev/null ||
  fail "AppStream metadata: $(appstreamcli validate --no-net "$work/root/usr/share/metainfo/"*.xml)"
for size in 16 256; do
  file "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/zintrel.png" | grep -q "PNG image data, $size x $size" ||
    fail "the ${size}px icon"
done

lintian --fail-on error,warning --info --tag-display-limit 0 "$package" | tee "$work/lintian" || fail "lintian reports errors or warnings"
echo "check-deb: $package is sound"
