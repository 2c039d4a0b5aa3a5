#!/usr/bin/env bash
# Saves PNGs of the bulk-run controls (operation buttons, bottom bar) and of
# the progress sheet running, finished and cancelled, drawn on a virtual X
# display with the CJK fonts, in a throw-away home folder. Look at them to
# catch clipped text and misplaced controls.
#   tools/progress_sheet_screenshots.sh [output folder]   (default: build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/screenshots}")"
cmake --build build --target progress_sheet_screenshots >/dev/null
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.runtime" "$out"
chmod 700 "$home/.runtime"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_RUNTIME_DIR="$home/.runtime" LANG=ja_JP.UTF-8 \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session -- ./build/tools/progress_sheet_screenshots "$home" "$out"
echo "PNGs in $out"
