#!/usr/bin/env bash
# Saves PNGs of the main window in its typical states (empty, registered
# files with folders expanded, a filter on, the scan bar, a status popover,
# the adding sheets and an alert), then of the other windows, drawn on a
# virtual X display with the CJK fonts, in a throw-away home folder. Look at
# them to catch clipped text, empty panes and misplaced controls.
#   tools/screenshots.sh [output folder]   (default: build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/screenshots}")"
cmake --build build --target main_window_screenshots window_screenshots storage_window_screenshot >/dev/null
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.runtime" "$out"
chmod 700 "$home/.runtime"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_RUNTIME_DIR="$home/.runtime" LANG=ja_JP.UTF-8 \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session -- ./build/tools/main_window_screenshots "$home" "$out"
# The other windows have their own drawing tools.
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_RUNTIME_DIR="$home/.runtime" xvfb-run -a -s "-screen 0 1600x1200x24" \
  ./build/tools/window_screenshots "$out/windows"
xvfb-run -a ./build/tools/storage_window_screenshot "$out/storage.png"
echo "PNGs in $out"
