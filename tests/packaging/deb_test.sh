#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CPack's .deb: its dependencies come from the libraries the program links
# and name what it needs besides, the program runs from the unpacked package,
# and lintian finds no error and no warning.
# Usage: deb_test.sh BUILD_DIR
set -euo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (Debian packages cmake, dpkg-dev; scripts/install-deps.sh installs them)"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
debs=("$work"/out/kelvane_*.deb)
[ -f "${debs[0]}" ] || { echo "no package made"; cat "$work/cpack.log"; exit 1; }
deb=${debs[0]}

# Whether a control field lists ENTRY as one of its comma-separated entries
# (a version constraint after a library's name aside).
lists() {
  local field=$1 entry=$2 value
  value=$(dpkg-deb -f "$deb" "$field" | sed 's/ *([^)]*)//g')
  case ", $value," in
    *", $entry,"*) ;;
    *) echo "$field lacks \"$entry\": $(dpkg-deb -f "$deb" "$field")"; return 1 ;;
  esac
}
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
status=0
# The libraries the program links, found by dpkg-shlibdeps.
for library in libqt6core6 libqt6widgets6 libsqlite3-0 libssl3 libc6; do
  lists Depends "$library" || status=1
done
# What no link shows: Japanese glyphs for every label, Qt's platform plugins
# for any window, fusermount3 for the mounts.
for needed in "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic" qt6-qpa-plugins fuse3; do
  lists Depends "$needed" || status=1
done
for wanted in qt6-translations-l10n "adwaita-icon-theme | breeze-icon-theme" libqt6svg6; do
  lists Recommends "$wanted" || status=1
done
[ $status = 0 ] || exit 1

dpkg-deb -x "$deb" "$work/root"
version=$("$work/root/usr/bin/kelvane" --version)
echo "unpacked: $version"
case $version in "Kelvane "*) ;; *) echo "unexpected --version output"; exit 1 ;; esac
[ -f "$work/root/usr/share/applications/com.orbwright.kelvane.desktop" ] || { echo "no desktop entry in the package"; exit 1; }

if ! command -v lintian >/dev/null; then
  echo "lintian SKIPPED: not installed (Debian package lintian; scripts/install-deps.sh installs it)"
  exit 0
fi
# No error and no warning; what lintian still says below that is printed.
lintian --fail-on error,warning --display-info "$deb"
