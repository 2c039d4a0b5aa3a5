#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `cmake --install` into PREFIX installs exactly the files a desktop application
# of ours should have, and share/kelvane/installed-files names exactly those.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR PREFIX WITH_KELVANEFS(0|1)
set -euo pipefail
build=$1 source=$2 prefix=$3 with_fs=$4
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

id=com.orbwright.kelvane
expected=(
  bin/kelvane
  share/applications/$id.desktop
  share/metainfo/$id.metainfo.xml
  share/icons/hicolor/scalable/apps/$id.svg
  share/man/man1/kelvane.1.gz
  share/doc/kelvane/copyright
  share/doc/kelvane/NOTICES
  share/doc/kelvane/changelog.gz
  share/doc/kelvane/CHANGELOG.md.gz
  share/kelvane/installed-files
  lib/systemd/user/kelvane-auto-recompress.service
  lib/systemd/user/kelvane-auto-recompress.timer
)
for size in 16 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
if [ "$with_fs" = 1 ]; then
  expected+=(bin/kelvanefs share/man/man1/kelvanefs.1.gz)
fi
# Units of other parts of the program (the mount's) are installed beside ours.
for unit in "$source"/packaging/systemd/*.service "$source"/packaging/systemd/*.timer; do
  [ -e "$unit" ] && expected+=("lib/systemd/user/$(basename "$unit")")
done

want=$(printf '%s\n' "${expected[@]}" | sort -u)
have=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)
if [ "$want" != "$have" ]; then
  echo "installed files differ from the expected ones (< expected, > installed):"
  diff <(echo "$want") <(echo "$have") || true
  exit 1
fi
listed=$(sort "$prefix/share/kelvane/installed-files")
if [ "$listed" != "$have" ]; then
  echo "share/kelvane/installed-files does not name the installed files:"
  diff <(echo "$listed") <(echo "$have") || true
  exit 1
fi

# The timer's service starts the kelvane of this prefix, which runs.
exec_line=$(grep '^ExecStart=' "$prefix/lib/systemd/user/kelvane-auto-recompress.service")
if [ "$exec_line" != "ExecStart=$prefix/bin/kelvane --auto-recompress" ]; then
  echo "unexpected $exec_line"
  exit 1
fi
# So does the mount unit with the kelvanefs beside it (the user manager looks
# up no PATH of the user's).
if [ -e "$prefix/bin/kelvanefs" ]; then
  mount_line=$(grep '^ExecStart=' "$prefix/lib/systemd/user/kelvanefs@.service")
  if [ "$mount_line" != "ExecStart=$prefix/bin/kelvanefs -f -o auto_unmount %f" ]; then
    echo "unexpected $mount_line"
    exit 1
  fi
fi
"$prefix/bin/kelvane" --version | grep -q '^Kelvane ' || { echo "installed kelvane --version failed"; exit 1; }

# Debian's changelog is of the newest release of CHANGELOG.md, and of its day.
heading=$(grep -m1 '^## ' "$source/CHANGELOG.md")
release=$(echo "$heading" | awk '{print $2}')
day=$(echo "$heading" | grep -o '[0-9]\{4\}-[0-9]\{2\}-[0-9]\{2\}')
if command -v dpkg-parsechangelog >/dev/null; then
  changelog=$(mktemp)
  trap 'rm -f "$changelog"' EXIT
  zcat "$prefix/share/doc/kelvane/changelog.gz" >"$changelog"
  got="$(dpkg-parsechangelog -l "$changelog" -S Version) $(date -u -d "$(dpkg-parsechangelog -l "$changelog" -S Date)" +%F)"
  [ "$got" = "$release $day" ] || { echo "Debian's changelog is of $got, CHANGELOG.md of $release $day"; exit 1; }
fi
echo "installed ${#expected[@]} files as expected under $prefix"
