#!/usr/bin/env bash
# Makes the Windows program's images from the rendered PNGs
# (scripts/render-icons.sh): res/windows/quorvia.ico, the program's icon in
# the sizes Windows shows (16 to 256 pixels, the largest PNG-compressed),
# res/windows/quorvia-list.ico, a hash list's icon in the same sizes, and
# res/windows/toolbar.bmp, the toolbar strip: eight 16 x 15 images side by
# side in button order, 32 bits per pixel with their alpha channel, as a
# bottom-up BITMAPINFOHEADER bitmap; and toolbar-32.bmp, the same at twice
# the size for screens of 150 % and more.
#
# Development-time only: both files are committed. Needs ImageMagick and
# python3.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
icons=$here/res/icons
out=$here/res/windows

convert "$icons"/quorvia-{16,24,32,48,64,128,256}.png "$out/quorvia.ico"
convert "$icons"/quorvia-list-{16,24,32,48,64,128,256}.png "$out/quorvia-list.ico"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
order=(new open save relocate verify stop find about)

# strip SOURCE_SIZE WIDTH HEIGHT TARGET
strip() {
  local source=$1 width=$2 height=$3 target=$4
  for i in "${!order[@]}"; do
    convert "$here/res/toolbar/${order[$i]}-$source.png" -resize "${width}x${height}!" -depth 8 "rgba:$work/$i.rgba"
  done
  python3 - "$work" "$target" "${#order[@]}" "$width" "$height" <<'PY'
import struct, sys
work, target, count, w, h = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
images = [open(f"{work}/{i}.rgba", "rb").read() for i in range(count)]
rows = []
for y in range(h - 1, -1, -1):  # bottom-up
    row = bytearray()
    for image in images:
        for x in range(w):
            r, g, b, a = image[(y * w + x) * 4:(y * w + x) * 4 + 4]
            # Premultiplied, as the image list draws 32-bit images with alpha.
            row += bytes((b * a // 255, g * a // 255, r * a // 255, a))
    rows.append(bytes(row))
pixels = b"".join(rows)
header = struct.pack("<IiiHHIIiiII", 40, w * count, h, 1, 32, 0, len(pixels), 3780, 3780, 0, 0)
with open(target, "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)))
    f.write(header + pixels)
PY
}
strip 16 16 15 "$out/toolbar.bmp"
strip 32 32 30 "$out/toolbar-32.bmp"
echo "render-windows-images: wrote $out/quorvia.ico, $out/quorvia-list.ico, $out/toolbar.bmp and $out/toolbar-32.bmp"
