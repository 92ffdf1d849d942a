#!/usr/bin/env bash
# Remakes the sample pictures in samples/ with the library's own writers:
#   scripts/make_samples.sh [PATH_TO_LUMORA_IMG]   (default build/release/tools/lumora-img)
# python3 draws three source bitmaps (a colour landscape, a 16-colour palette picture and a
# black-and-white pattern); lumora-img convert writes them as JPEG, PNG, GIF, Targa and bitmaps.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
img=${1:-$top/build/release/tools/lumora-img}
[ -x "$img" ] || { echo "lumora-img not found at $img (build first or pass its path)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import math, struct, sys
w = sys.argv[1]

def bmp(path, width, height, bits, rows, palette=b""):
    # rows: top-down list of packed row bytes; written bottom-up and padded to 4 bytes.
    body = b"".join(r + b"\0" * (-len(r) % 4) for r in reversed(rows))
    offset = 54 + len(palette)
    head = b"BM" + struct.pack("<IHHI", offset + len(body), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(head + info + palette + body)

# A landscape: sky gradient, a sun, hills and a lake.
W, H = 240, 160
rows = []
for y in range(H):
    row = bytearray()
    for x in range(W):
        t = y / H
        r, g, b = int(40 + 150 * t), int(90 + 110 * t), int(200 - 60 * t)
        if (x - 170) ** 2 + (y - 45) ** 2 < 22 ** 2:
            r, g, b = 255, 214, 90
        hill = 105 + 18 * math.sin(x / 23.0) + 9 * math.sin(x / 7.0 + 1)
        if y > hill:
            r, g, b = int(40 + 30 * math.sin(x / 11.0)), int(120 + 40 * (y - hill) / H), 50
        if y > 135:
            r, g, b = 30, int(90 + 20 * math.sin(x / 5.0 + y)), int(160 + 30 * math.sin(y / 3.0))
        row += bytes((b, g, r))
    rows.append(bytes(row))
bmp(f"{w}/landscape.bmp", W, H, 24, rows)

# 16 colours in rings (4 bits per pixel).
pal = b"".join(bytes((int(127 + 127 * math.cos(i / 2.5 + 2)), int(127 + 127 * math.cos(i / 2.5 + 4)),
                      int(127 + 127 * math.cos(i / 2.5)), 0)) for i in range(16))
rows = []
for y in range(96):
    v = [int(math.hypot(x - 64, y - 48) / 4) % 16 for x in range(128)]
    rows.append(bytes((v[i] << 4) | v[i + 1] for i in range(0, 128, 2)))
bmp(f"{w}/rings.bmp", 128, 96, 4, rows, pal)

# A black-and-white checker with a diagonal (1 bit per pixel).
rows = []
for y in range(64):
    bits = [1 if ((x // 8 + y // 8) % 2 == 0) != (abs(x - y) < 3) else 0 for x in range(96)]
    rows.append(bytes(sum(bits[i + k] << (7 - k) for k in range(8)) for i in range(0, 96, 8)))
bmp(f"{w}/checker.bmp", 96, 64, 1, rows, b"\0\0\0\0\xff\xff\xff\0")
PY

out="$top/samples"
mkdir -p "$out"
"$img" convert --quality 85 "$work/landscape.bmp" "$out/landscape.jpg"
"$img" convert --resize 120x80 "$work/landscape.bmp" "$out/landscape-small.png"
"$img" convert "$work/rings.bmp" "$out/rings.gif"
"$img" convert --rle "$work/rings.bmp" "$out/rings-rle4.bmp"
"$img" convert --rle --resize 80x60 "$work/landscape.bmp" "$out/landscape-rle.tga"
"$img" convert --os2 "$work/checker.bmp" "$out/checker-os2.bmp"
ls -l "$out"
