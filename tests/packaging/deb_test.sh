#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CPack's .deb: its dependencies come from the libraries the program links,
# the program runs from the unpacked package, and lintian finds no error.
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

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6core6 libqt6widgets6 libsqlite3-0 libssl3 libc6; do
  case ", $depends," in
    *", $library "*|*", $library,"*) ;;
    *) echo "Depends lacks $library"; exit 1 ;;
  esac
done

dpkg-deb -x "$deb" "$work/root"
version=$("$work/root/usr/bin/kelvane" --version)
echo "unpacked: $version"
case $version in "Kelvane "*) ;; *) echo "unexpected --version output"; exit 1 ;; esac
[ -f "$work/root/usr/share/applications/com.orbwright.kelvane.desktop" ] || { echo "no desktop entry in the package"; exit 1; }

if ! command -v lintian >/dev/null; then
  echo "lintian SKIPPED: not installed (Debian package lintian; scripts/install-deps.sh installs it)"
  exit 0
fi
lintian --fail-on error "$deb"
