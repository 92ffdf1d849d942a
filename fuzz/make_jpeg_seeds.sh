#!/usr/bin/env bash
# Makes the seed corpus of fuzz/jpeg_fuzz.cpp in fuzz/corpus/jpeg/ (small files, under 4 KB each):
# baseline, progressive, grey with restart markers, 4:4:4 with metadata markers and an Exif
# thumbnail, and a truncated file. Needs cjpeg (Debian package libjpeg-turbo-progs) and python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out="$here/corpus/jpeg"
command -v cjpeg >/dev/null || { echo "cjpeg not found: install the Debian package libjpeg-turbo-progs" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import sys
w = sys.argv[1]
def ppm(name, width, height, grey=False):
    with open(f"{w}/{name}", "wb") as f:
        f.write(b"P5\n" if grey else b"P6\n")
        f.write(f"{width} {height}\n255\n".encode())
        for y in range(height):
            for x in range(width):
                if grey:
                    f.write(bytes([(x * 16 + y * 8) & 255]))
                else:
                    f.write(bytes([(x * 16) & 255, (y * 16) & 255, ((x ^ y) * 32) & 255]))
ppm("rgb.ppm", 16, 16)
ppm("thumb.ppm", 8, 8)
ppm("grey.pgm", 24, 16, grey=True)
PY

cjpeg -quality 75 -outfile "$out/baseline.jpg" "$work/rgb.ppm"
cjpeg -quality 75 -progressive -outfile "$out/progressive.jpg" "$work/rgb.ppm"
cjpeg -quality 90 -grayscale -restart 1 -outfile "$out/grey_restart.jpg" "$work/grey.pgm"
cjpeg -quality 50 -sample 1x1 -outfile "$work/main444.jpg" "$work/rgb.ppm"
cjpeg -quality 50 -outfile "$work/thumb.jpg" "$work/thumb.ppm"

python3 - "$work" "$out" <<'PY'
import struct, sys
w, out = sys.argv[1], sys.argv[2]
main = open(f"{w}/main444.jpg", "rb").read()
thumb = open(f"{w}/thumb.jpg", "rb").read()
def seg(code, payload):
    return bytes([0xFF, code]) + struct.pack(">H", len(payload) + 2) + payload
# Exif (little-endian TIFF): IFD0 with one entry, IFD1 with the thumbnail offset and length.
tiff = b"II*\x00" + struct.pack("<I", 8)
tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x0112, 3, 1, 1) + struct.pack("<I", 26)
tiff += struct.pack("<H", 2) + struct.pack("<HHII", 0x0201, 4, 1, 56) + struct.pack("<HHII", 0x0202, 4, 1, len(thumb))
tiff += struct.pack("<I", 0) + thumb
markers = seg(0xE1, b"Exif\x00\x00" + tiff)
markers += seg(0xE1, b"http://ns.adobe.com/xap/1.0/\x00<x:xmpmeta/>")
markers += seg(0xE2, b"ICC_PROFILE\x00\x01\x02" + b"A" * 16)
markers += seg(0xE2, b"ICC_PROFILE\x00\x02\x02" + b"B" * 16)
markers += seg(0xED, b"Photoshop 3.0\x008BIM\x04\x04\x00\x00\x00\x00\x00\x00")
markers += seg(0xFE, b"seed comment")
open(f"{out}/exif_thumbnail.jpg", "wb").write(main[:2] + markers + main[2:])
base = open(f"{out}/baseline.jpg", "rb").read()
open(f"{out}/truncated.jpg", "wb").write(base[: len(base) * 2 // 3])
PY
ls -l "$out"
