#!/bin/sh
# Remakes the small TIFF files the TIFF reader's tests and fuzz corpus use, with Debian's
# libtiff-tools (ppm2tiff, raw2tiff, tiffcp). The pictures follow fixed formulas that the tests
# compute again (tests/codecs/tiff/tiff_fixture_pixels.h):
#   colour (x, y) = ((x * 37 + y * 11) & 255, (x * 5 + y * 71) & 255, ((x ^ y) * 13) & 255)
#   grey   (x, y) = (x * 6 + y * 9) & 255;   16-bit grey = grey * 256 + x
#   bilevel(x, y) = black when ((x / (1 + y % 5)) + y) % 3 == 0
#   CMYK   (x, y) = (x * 6, y * 12, (x + y) * 4, 255 - x * 6)
# Usage: scripts/make_tiff_fixtures.sh   (from anywhere)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/codecs/tiff/fixtures"
corpus="$root/fuzz/corpus/tiff"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out" "$corpus"

python3 - "$tmp" <<'PY'
import struct, sys
d = sys.argv[1]
W, H = 40, 20
def colour(x, y): return ((x * 37 + y * 11) & 255, (x * 5 + y * 71) & 255, ((x ^ y) * 13) & 255)
def grey(x, y): return (x * 6 + y * 9) & 255
def black(x, y): return ((x // (1 + y % 5)) + y) % 3 == 0
with open(f"{d}/rgb.ppm", "wb") as f:
    f.write(b"P6 %d %d 255\n" % (W, H))
    f.write(bytes(c for y in range(H) for x in range(W) for c in colour(x, y)))
with open(f"{d}/grey.pgm", "wb") as f:
    f.write(b"P5 %d %d 255\n" % (W, H))
    f.write(bytes(grey(x, y) for y in range(H) for x in range(W)))
BW, BH = 61, 9
with open(f"{d}/bilevel.pbm", "wb") as f:
    f.write(b"P4 %d %d\n" % (BW, BH))
    for y in range(BH):
        row = bytearray((BW + 7) // 8)
        for x in range(BW):
            if black(x, y): row[x >> 3] |= 0x80 >> (x & 7)
        f.write(row)
with open(f"{d}/grey16.raw", "wb") as f:
    f.write(b"".join(struct.pack("<H", grey(x, y) * 256 + x) for y in range(H) for x in range(W)))
with open(f"{d}/cmyk.raw", "wb") as f:
    f.write(bytes(v & 255 for y in range(H) for x in range(W)
                  for v in (x * 6, y * 12, (x + y) * 4, 255 - x * 6)))
PY

ppm2tiff -c none -r 3 "$tmp/rgb.ppm" "$tmp/rgb.tif"
ppm2tiff -c none -r 4 "$tmp/grey.pgm" "$tmp/grey.tif"
ppm2tiff -c none "$tmp/bilevel.pbm" "$tmp/bilevel.tif"

tiffcp -c none -r 3 "$tmp/rgb.tif" "$out/rgb_none.tif"
tiffcp -c none -r 3 -B "$tmp/rgb.tif" "$out/rgb_none_be.tif"
tiffcp -c lzw -r 7 "$tmp/rgb.tif" "$out/rgb_lzw.tif"
tiffcp -c lzw:2 -r 7 -B "$tmp/rgb.tif" "$out/rgb_lzw_predictor_be.tif"
tiffcp -c zip -r 20 "$tmp/rgb.tif" "$out/rgb_zip.tif"
tiffcp -c zip:2 -r 5 "$tmp/rgb.tif" "$out/rgb_zip_predictor.tif"
tiffcp -c packbits -r 3 "$tmp/rgb.tif" "$out/rgb_packbits.tif"
tiffcp -c jpeg:r -r 16 "$tmp/rgb.tif" "$out/rgb_jpeg.tif"
tiffcp -c jpeg -r 16 "$tmp/rgb.tif" "$out/ycbcr_jpeg.tif"
tiffcp -c lzw -p separate -r 6 "$tmp/rgb.tif" "$out/rgb_planar_lzw.tif"
tiffcp -c zip -t -w 16 -l 16 "$tmp/rgb.tif" "$out/rgb_tiled_zip.tif"
tiffcp -c lzw -p separate -t -w 16 -l 16 -B "$tmp/rgb.tif" "$out/rgb_tiled_planar_be.tif"
tiffcp -c lzw -r 4 "$tmp/grey.tif" "$out/grey_lzw.tif"
tiffcp -c none "$tmp/grey.tif" "$tmp/rgb.tif" "$tmp/bilevel.tif" "$out/three_pages.tif"
tiffcp -c g3:1d "$tmp/bilevel.tif" "$out/bilevel_g3.tif"
tiffcp -c g3:2d "$tmp/bilevel.tif" "$out/bilevel_g3_2d.tif"
tiffcp -c g3:2d:fill -f lsb2msb "$tmp/bilevel.tif" "$out/bilevel_g3_2d_fill_lsb.tif"
tiffcp -c g4 "$tmp/bilevel.tif" "$out/bilevel_g4.tif"
tiffcp -c g4 -t -w 16 -l 16 "$tmp/bilevel.tif" "$out/bilevel_g4_tiled.tif"
tiffcp -c packbits "$tmp/bilevel.tif" "$out/bilevel_packbits.tif"
raw2tiff -w 40 -l 20 -d short -b 1 -p minisblack -c lzw:2 "$tmp/grey16.raw" "$out/grey16_lzw_predictor.tif"
raw2tiff -w 40 -l 20 -d byte -b 4 -p cmyk -c none "$tmp/cmyk.raw" "$out/cmyk.tif"
ls -l "$out"

# Seeds for the compressions libtiff-tools do not write, built field by field: CCITT modified
# Huffman, ThunderScan, SGILog (LogL and LogLuv), old-style LZW, old-style JPEG, subsampled
# YCbCr, a 4-bit palette and CIE L*a*b*.
printf 'P6 16 8 255\n' > "$tmp/small.ppm"
head -c 384 /dev/zero | tr '\0' '\200' >> "$tmp/small.ppm"
cjpeg -quality 80 "$tmp/small.ppm" > "$tmp/small.jpg"
python3 - "$corpus" "$tmp/small.jpg" <<'PY'
import struct, sys
out, jpeg_path = sys.argv[1], sys.argv[2]

def tiff(name, width, height, bits, samples, photometric, compression, strip, extra=()):
    """A little-endian file: header, the strip, then one directory."""
    data = bytearray(b"II*\0\0\0\0\0")
    strip_at = len(data)
    data += strip
    if len(data) & 1: data += b"\0"
    blobs = {}
    entries = [(256, 4, [width]), (257, 4, [height]), (258, 3, [bits] * samples),
               (259, 3, [compression]), (262, 3, [photometric]), (273, 4, [strip_at]),
               (277, 3, [samples]), (278, 4, [height]), (279, 4, [len(strip)])] + list(extra)
    entries.sort()
    encoded = []
    for tag, typ, values in entries:
        fmt = {1: "B", 3: "H", 4: "I", 5: "I"}[typ]
        raw = b"".join(struct.pack("<" + fmt, v) for v in values)
        count = len(values) // 2 if typ == 5 else len(values)
        if len(raw) > 4:
            at = len(data)
            data += raw
            if len(data) & 1: data += b"\0"
            raw = struct.pack("<I", at)
        encoded.append(struct.pack("<HHI", tag, typ, count) + raw.ljust(4, b"\0"))
    directory = len(data)
    data[4:8] = struct.pack("<I", directory)
    data += struct.pack("<H", len(encoded)) + b"".join(encoded) + struct.pack("<I", 0)
    open(f"{out}/{name}.tif", "wb").write(data)

def lsb_codes(codes):
    acc = n = 0
    res = bytearray()
    for c in codes:
        acc |= c << n
        n += 9
        while n >= 8:
            res.append(acc & 255); acc >>= 8; n -= 8
    if n: res.append(acc & 255)
    return bytes(res)

tiff("ccitt_rle", 8, 2, 1, 1, 0, 2, bytes([0x98, 0x72]))
tiff("thunderscan", 4, 1, 4, 1, 1, 32809, bytes([0xC5, 0x5B, 0x01]))
tiff("sgilog_l", 2, 1, 16, 1, 32844, 34676, bytes([2, 0, 0x3E, 2, 0, 0]))
tiff("sgilog_luv", 1, 1, 32, 1, 32845, 34676, bytes([1, 0x3E, 1, 0, 1, 86, 1, 194]))
# LogLuv24: grey (L 640, colour index 12266), a red-magenta (index 12296), the white point (index
# past the table) and black.
tiff("sgilog24", 2, 2, 16, 3, 32845, 34677,
     b"".join(((l << 14) | c).to_bytes(3, "big") for l, c in [(640, 12266), (640, 12296), (640, 16300), (0, 9000)]))
tiff("lzw_old_style", 3, 1, 8, 1, 1, 5, lsb_codes([256, 65, 66, 258, 257]))
tiff("ycbcr_subsampled", 3, 2, 8, 3, 6, 1, bytes([10, 20, 30, 40, 128, 128, 100, 100, 100, 100, 128, 228]),
     [(530, 3, [2, 2])])
tiff("palette4", 2, 1, 4, 1, 3, 1, bytes([0x1F]), [(320, 3, [65535 * (i % 3 == 0) for i in range(48)])])
tiff("lab", 2, 1, 8, 3, 8, 1, bytes([255, 0, 0, 0, 0, 0]))
jpeg = open(jpeg_path, "rb").read()
tiff("jpeg_old_style", 16, 8, 8, 3, 6, 6, jpeg, [(513, 4, [8]), (514, 4, [len(jpeg)])])
PY

# The fuzz corpus: one small file per compression.
for f in rgb_none rgb_lzw_predictor_be rgb_zip rgb_packbits rgb_jpeg rgb_tiled_planar_be \
         bilevel_g3 bilevel_g3_2d bilevel_g4 grey16_lzw_predictor cmyk three_pages; do
  cp "$out/$f.tif" "$corpus/$f.tif"
done
