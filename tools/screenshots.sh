#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Saves PNGs of every window and sheet, drawn on a virtual X display with the
# CJK fonts, each program in a throw-away home folder of its own:
#   main-window/  the main window in its typical states (empty, registered
#                 files with folders expanded, a filter on, the scan bar, a
#                 status popover, the adding sheets and an alert)
#   sheets/       the menus, the search sheet (form and results), the ask
#                 sheet (answered and without a local AI), the wizard (list
#                 and detail) and the storage sheet as the main window opens them
#   windows/      every tab of About and settings, the notices sheet, the
#                 history window
#   bulk-run/     the row buttons and the bottom bar before and after a run,
#                 the progress sheet running, finished, and cancelled
#   storage.png   the storage window with the root volume selected
# Each in the desktop's default light palette (light/) and in a dark one (dark/).
# Look at them to catch clipped text, empty panes, misplaced controls and text
# or symbols that vanish in one of the palettes.
#   tools/screenshots.sh [output folder]   (default: build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/screenshots}")"
cmake --build build --target main_window_screenshots sheet_screenshots window_screenshots \
  storage_window_screenshot progress_sheet_screenshots >/dev/null
homes="$(mktemp -d)"
trap 'rm -rf "$homes"' EXIT
mkdir -p "$out"

fresh_home() {
  local home
  home="$(mktemp -d "$homes/home.XXXXXX")"
  mkdir -p "$home/.runtime"
  chmod 700 "$home/.runtime"
  echo "$home"
}

# in_home HOME SCREEN PROGRAM ARGS...: runs the program under xvfb-run on a
# screen of that size, with HOME and the XDG folders in HOME.
in_home() {
  local home="$1" screen="$2"
  shift 2
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_STATE_HOME="$home/.local/state" \
    XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/.runtime" LANG=ja_JP.UTF-8 \
    KELVANE_AI_ENDPOINT= KELVANE_AI_MODEL= KELVANE_SCREENSHOT_PALETTE="$palette" \
    xvfb-run -a -s "-screen 0 ${screen}x24" dbus-run-session -- "$@"
}

for palette in light dark; do
  mkdir -p "$out/$palette"
  # The main window's sample files live in its home, so that a cloud folder is
  # recognised as one.
  home="$(fresh_home)"
  in_home "$home" 1280x800 ./build/tools/main_window_screenshots "$home" "$out/$palette/main-window"
  home="$(fresh_home)"
  in_home "$home" 1280x800 ./build/tools/sheet_screenshots "$home" "$out/$palette/sheets"
  in_home "$(fresh_home)" 1600x1200 ./build/tools/window_screenshots "$out/$palette/windows"
  in_home "$(fresh_home)" 1280x800 ./build/tools/storage_window_screenshot "$out/$palette/storage.png"
  in_home "$(fresh_home)" 1280x800 ./build/tools/progress_sheet_screenshots "$out/$palette/bulk-run"
done
echo "PNGs in $out"
