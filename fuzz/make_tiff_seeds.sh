#!/usr/bin/env bash
# Makes the seeds of fuzz/tiff_fuzz.cpp that need no libtiff tools, in fuzz/corpus/tiff/ (the
# others come from scripts/make_tiff_fixtures.sh): BigTIFF in both byte orders with a page
# chain, half-float samples plain, planar and with the floating-point predictor, and 24-bit
# samples. Needs python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$here/corpus/tiff"
python3 - "$here/corpus/tiff" <<'PY'
import struct, sys
out = sys.argv[1]
TYPES = {1: "B", 3: "H", 4: "I", 5: "I", 16: "Q"}

def tiff(name, pages, big_endian=False, big=False):
    """Pages of (entries, strips): entries (tag, type, values) with "strip" standing for the
    offsets of the page's strips. BigTIFF (version 43) has 8-byte counts, offsets and value fields."""
    e = ">" if big_endian else "<"
    word = 8 if big else 4
    data = bytearray((b"MM" if big_endian else b"II") + struct.pack(e + "H", 43 if big else 42))
    if big: data += struct.pack(e + "HH", 8, 0)
    first = len(data)
    data += bytes(word)
    link = first
    for entries, strips in pages:
        offsets = []
        for s in strips:
            offsets.append(len(data))
            data += s
            if len(data) & 1: data += b"\0"
        encoded = []
        for tag, typ, values in sorted(entries, key=lambda t: t[0]):
            if values == "strip": values = offsets
            raw = b"".join(struct.pack(e + TYPES[typ], v) for v in values)
            count = len(values) // 2 if typ == 5 else len(values)
            if len(raw) > word:
                at = len(data)
                data += raw
                if len(data) & 1: data += b"\0"
                raw = struct.pack(e + ("Q" if big else "I"), at)
            encoded.append(struct.pack(e + "HH" + ("Q" if big else "I"), tag, typ, count) + raw.ljust(word, b"\0"))
        directory = len(data)
        data[link:link + word] = struct.pack(e + ("Q" if big else "I"), directory)
        data += struct.pack(e + ("Q" if big else "H"), len(encoded)) + b"".join(encoded)
        link = len(data)
        data += bytes(word)
    open(f"{out}/{name}.tif", "wb").write(data)

def page(width, height, bits, samples, photometric, strips, extra=(), offset_type=4):
    return ([(256, 4, [width]), (257, 4, [height]), (258, 3, [bits] * samples), (259, 3, [1]),
             (262, 3, [photometric]), (273, offset_type, "strip"), (277, 3, [samples]),
             (278, 4, [height]),
             (279, offset_type, [len(s) for s in strips])] + list(extra), strips)

grey = bytes(range(0, 256, 16))
rgb = bytes((x * 37) & 255 for x in range(48))
for big_endian in (False, True):
    suffix = "be" if big_endian else "le"
    tiff(f"bigtiff_two_pages_{suffix}", [page(4, 4, 8, 1, 1, [grey], [(282, 5, [300, 1])], 16),
                                         page(4, 4, 8, 3, 2, [rgb], offset_type=16)], big_endian, True)

halves = [0x3C00, 0x3800, 0x0000, 0xBC00, 0x4000, 0x3400, 0x7C00, 0x0001]   # 1, .5, 0, -1, 2, .25, inf, tiny
def half_bytes(values, big_endian=False):
    return b"".join(struct.pack(">H" if big_endian else "<H", v) for v in values)
def float_predicted(values, samples):
    """Adobe TIFF Technical Note 3: byte planes, most significant first, then byte differences."""
    planes = bytearray(bytes(v >> 8 for v in values) + bytes(v & 255 for v in values))
    for i in range(len(planes) - 1, samples - 1, -1):
        planes[i] = (planes[i] - planes[i - samples]) & 255
    return bytes(planes)
sf = lambda n: (339, 3, [3] * n)
tiff("half_grey", [page(4, 2, 16, 1, 1, [half_bytes(halves)], [sf(1)])])
tiff("half_rgb_predictor_be", [page(2, 1, 16, 3, 2, [float_predicted(halves[:6], 3)], [sf(3), (317, 3, [3])])], True)
tiff("half_rgb_planar", [page(2, 1, 16, 3, 2, [half_bytes(halves[i:i + 2]) for i in (0, 2, 4)],
                               [sf(3), (284, 3, [2])])])
tiff("grey24", [page(2, 2, 24, 1, 1, [bytes(range(12))])])
tiff("rgb24_be", [page(2, 1, 24, 3, 2, [bytes(range(18))])], True)
PY
