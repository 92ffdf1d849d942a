#!/usr/bin/env bash
# Makes the seed corpus of fuzz/bmp_fuzz.cpp in fuzz/corpus/bmp/ (small files, under 4 KB each):
# 24-bit bottom-up, 16-bit 5-6-5 bit fields, 32-bit with a V5 header and alpha mask, 8-bit RLE8
# with a delta, 4-bit RLE4 top-down, an OS/2 1-bit file, DXT1 and DXT3 blocks, and a cut 2-bit file.
# Needs python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out="$here/corpus/bmp"
mkdir -p "$out"
python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]

def bmp(name, w, h, bits, pixels, compression=0, palette=b"", header=40, masks=None, offset=None):
    if header == 12:
        info = struct.pack("<IHHHH", 12, w, h, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header, w, h, 1, bits, compression, 0, 2835, 2835, 0, 0)
        if masks and header >= 56:
            info += struct.pack("<IIII", *masks)
        info += b"\0" * (header - len(info))
    extra = struct.pack("<III", *masks[:3]) if masks and header < 56 else b""
    data_offset = offset if offset is not None else 14 + len(info) + len(extra) + len(palette)
    body = info + extra + palette
    body += b"\0" * max(0, data_offset - 14 - len(body))
    total = 14 + len(body) + len(pixels)
    with open(f"{out}/{name}", "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", total, 0, 0, data_offset) + body + pixels)

def pal(n, entry=4):
    return b"".join(bytes([i * 7 % 256, i * 13 % 256, 255 - i]) + (b"\0" if entry == 4 else b"") for i in range(n))

rows24 = b"".join(bytes((x * 9 + y * 40) % 256 for x in range(15)) + b"\0" for y in range(4))
bmp("rgb24.bmp", 5, 4, 24, rows24)
rows16 = b"".join(struct.pack("<4H", 0xF800, 0x07E0, 0x001F, 0xFFFF) for y in range(3))
bmp("rgb565.bmp", 4, 3, 16, rows16, compression=3, masks=(0xF800, 0x7E0, 0x1F, 0))
rows32 = b"".join(struct.pack("<3I", 0x80FF0000, 0x4000FF00, 0xFF0000FF) for y in range(2))
bmp("argb32_v5.bmp", 3, -2, 32, rows32, compression=3, header=124,
    masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000))
rle8 = bytes([3, 1, 0, 3, 4, 5, 6, 0, 0, 0, 0, 2, 1, 1, 2, 9, 0, 0, 1, 7, 0, 1])
bmp("rle8.bmp", 6, 4, 8, rle8, compression=1, palette=pal(16))
rle4 = bytes([4, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 3, 0xAB, 0, 1])
bmp("rle4_topdown.bmp", 9, -3, 4, rle4, compression=2, palette=pal(16))
rows1 = b"".join(bytes([0xA5 ^ y, 0x3C, 0, 0]) for y in range(5))
bmp("os2_1bit.bmp", 12, 5, 1, rows1, palette=pal(2, 3), header=12)
dxt1 = struct.pack("<HHI", 0x001F, 0xF800, 0xE4E4E4E4) * 2
bmp("dxt1.bmp", 8, 4, 32, dxt1, compression=0x31545844, offset=74)
dxt3 = (struct.pack("<4H", 0x0F0F, 0xFFFF, 0x1234, 0) + struct.pack("<HHI", 0xF800, 0x07E0, 0x1B1B1B1B))
bmp("dxt3.bmp", 4, 4, 32, dxt3, compression=0x33545844, offset=74)
bmp("cut_2bit.bmp", 7, 6, 2, bytes([0x1B, 0xE4, 0, 0]) * 3, palette=pal(4))
PY
ls -l "$out"
