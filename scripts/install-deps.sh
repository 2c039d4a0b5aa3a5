#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages Kelvane needs to build, test and run.
# Quick when everything is already there: apt runs only for missing packages.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libqt6dbus6 qt6-qpa-plugins
  libsqlite3-dev libssl-dev zlib1g-dev libacl1-dev libicu-dev uuid-dev libmount-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 dbus-daemon
  libfuse3-dev fuse3 bindfs
  xvfb xauth fonts-noto-cjk adwaita-icon-theme libqt6svg6
  qt6-translations-l10n
  # the checks of what is installed and packaged
  desktop-file-utils appstream man-db lintian dpkg-dev file gzip git
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "Kelvane needs these Debian packages, which are not installed: ${missing[*]}" >&2
      echo "Install them as root (apt-get install ${missing[*]}), or install sudo, then run this again." >&2
      exit 1
    fi
    sudo_cmd=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
