#!/usr/bin/env bash
# Renders the PNG images of the application icon (res/icons/quorvia.svg), of
# a hash list's icon (res/icons/quorvia-list.svg) and of the toolbar buttons (res/toolbar/*.svg). The toolbar PNGs let a system
# without Qt's SVG plugin still draw every button.
#
# Development-time only: the PNGs are committed, so neither the build nor CI
# needs the renderer. Run it again after changing the SVG. Needs rsvg-convert
# (Debian package librsvg2-bin).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
svg="$here/res/icons/quorvia.svg"
out="$here/res/icons"

if ! command -v rsvg-convert >/dev/null; then
  echo "render-icons: rsvg-convert not found (apt-get install librsvg2-bin)" >&2
  exit 1
fi

for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$svg" -o "$out/quorvia-$size.png"
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$out/quorvia-list.svg" \
    -o "$out/quorvia-list-$size.png"
done

for svg in "$here"/res/toolbar/*.svg; do
  base=${svg%.svg}
  rsvg-convert --width 16 --height 16 "$svg" -o "$base-16.png"
  rsvg-convert --width 32 --height 32 "$svg" -o "$base-32.png"
done
echo "render-icons: wrote $(ls "$out"/quorvia-*.png "$here"/res/toolbar/*.png | wc -l) images"
