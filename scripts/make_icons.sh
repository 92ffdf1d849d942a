#!/usr/bin/env bash
# Renders data/icons/lumora.svg into the PNG sizes of the hicolor icon theme under
# data/icons/hicolor/NxN/apps/lumora.png. The PNGs are committed, so the build never needs this
# script; run it after changing the SVG. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
svg=$top/data/icons/lumora.svg
command -v rsvg-convert >/dev/null || { echo "make_icons.sh: rsvg-convert not found (apt-get install librsvg2-bin)" >&2; exit 1; }
for size in 16 24 32 48 64 128 256; do
  out=$top/data/icons/hicolor/${size}x${size}/apps/lumora.png
  mkdir -p "$(dirname "$out")"
  rsvg-convert --width "$size" --height "$size" --format png "$svg" --output "$out"
done
echo "icons written under $top/data/icons/hicolor"
