#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders resources/icons/kelvane.svg into the PNG sizes the window and the
# icon theme use. Run after changing the SVG (needs rsvg-convert, Debian librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" kelvane.svg -o "kelvane-$size.png"
done
