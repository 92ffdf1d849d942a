#!/usr/bin/env bash
# Makes the seed corpora of fuzz/{pcx,pnm,ico,xbm,xpm}_fuzz.cpp in fuzz/corpus/<name>/ (small
# files, under 4 KB each): PCX planes, palettes and runs; plain and raw anymaps with their
# maximum values and XV thumbnails; icons of several depths and images, also stored as PNG; X11
# bitmaps of bytes and words; pixmaps with names, "#" colours, transparency and long codes.
# Needs python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
python3 - "$here/corpus" <<'PY'
import os, struct, sys, zlib
root = sys.argv[1]
for d in ("pcx", "pnm", "ico", "xbm", "xpm"):
    os.makedirs(f"{root}/{d}", exist_ok=True)

def write(path, data):
    if isinstance(data, str):
        data = data.encode()
    with open(f"{root}/{path}", "wb") as f:
        f.write(data)

# PCX (ZSoft technical reference): 128-byte header, then scan lines.
def pcx(version, encoding, bits, planes, w, h, bpl, data, palette16=bytes(48), tail=b""):
    head = struct.pack("<BBBBHHHHHH", 10, version, encoding, bits, 0, 0, w - 1, h - 1, 72, 72)
    head += palette16 + bytes([0, planes]) + struct.pack("<HH", bpl, 1) + bytes(58)
    return head + data + tail

write("pcx/rle8_palette.pcx", pcx(5, 1, 8, 1, 4, 2, 4, bytes([0xC4, 7, 1, 2, 0xC2, 200, 0xC1, 3]),
                                   tail=b"\x0c" + bytes(i % 256 for i in range(768))))
write("pcx/planes4_v3.pcx", pcx(3, 1, 1, 4, 8, 2, 2, bytes([0xC8, 0x55]) * 2))
write("pcx/rgb24_raw.pcx", pcx(5, 0, 8, 3, 2, 2, 2, bytes(range(12))))
write("pcx/cut_run.pcx", pcx(5, 1, 8, 1, 4, 4, 4, bytes([0xFF, 9, 0xC0, 1, 2])))
write("pcx/bits16.pcx", pcx(5, 0, 16, 1, 2, 1, 4, bytes([0x1F, 0x7C, 0xE0, 0x03])))

write("pnm/p1.pbm", "P1\n# plain\n4 2\n1 0 1 0\n0101\n")
write("pnm/p2_max15.pgm", "P2 3 1 15\n0 7 15\n")
write("pnm/p3.ppm", "P3 2 1 65535\n65535 0 0 0 65535 300\n")
write("pnm/p4.pbm", b"P4 10 2\n" + bytes([0xAA, 0x80, 0x55, 0x40]))
write("pnm/p5_max1023.pgm", b"P5 2 1 1023\n" + bytes([3, 255, 0, 1]))
write("pnm/p6.ppm", b"P6\n#c\n2 1\n255\n" + bytes(range(6)))
write("pnm/p7_332.pnm", b"P7 332\n#XVVERSION:3.10a\n#END_OF_COMMENTS\n2 2 255\n" + bytes([0xE0, 0x1C, 0x03, 0xFF]))

# Icons: directory, 40-byte bitmap header, palette, XOR rows, AND rows (bottom-up, 4-byte rows).
def icon_image(w, h, bits, pixel):
    head = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bits, 0, 0, 0, 0, 0, 0)
    pal = b"".join(bytes([i * 3 % 256, i * 5 % 256, i * 7 % 256, 0]) for i in range(1 << bits)) if bits <= 8 else b""
    row = ((w * bits + 31) // 32) * 4
    xor = b""
    for y in range(h):
        r = bytearray(row)
        for x in range(w):
            v = pixel(x, y)
            if bits == 4: r[x // 2] |= (v & 15) << (0 if x % 2 else 4)
            elif bits == 8: r[x] = v & 255
            elif bits == 1: r[x // 8] |= (v & 1) << (7 - x % 8)
            else: r[x * bits // 8:(x + 1) * bits // 8] = bytes([v & 255]) * (bits // 8)
        xor += bytes(r)
    mrow = ((w + 31) // 32) * 4
    mask = b"".join(bytes([0x80 >> (y % 8)] + [0] * (mrow - 1)) for y in range(h))
    return head + pal + xor + mask

def icon(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    off = 6 + 16 * len(images)
    for w, h, bits, data in images:
        out += struct.pack("<BBBBHHII", w, h, 0, 0, 1, bits, len(data), off)
        off += len(data)
    return out + b"".join(d for *_, d in images)

write("ico/four_bit.ico", icon([(8, 8, 4, icon_image(8, 8, 4, lambda x, y: x + y))]))
write("ico/three_images.ico", icon([(4, 4, 1, icon_image(4, 4, 1, lambda x, y: x ^ y)),
                                      (4, 4, 8, icon_image(4, 4, 8, lambda x, y: 16 * x + y)),
                                      (4, 4, 24, icon_image(4, 4, 24, lambda x, y: 40 * x))]))
write("ico/rgba32.ico", icon([(4, 4, 32, icon_image(4, 4, 32, lambda x, y: 60 * y))]))
write("ico/cut.ico", icon([(8, 8, 8, icon_image(8, 8, 8, lambda x, y: x))])[:400])
# Images stored as PNG (ISO/IEC 15948): a 3 x 2 RGBA stream next to a bitmap, and a damaged one.
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
rows = b"".join(b"\0" + bytes([40 * x, 100 * y, 7, 255 - 60 * x][c] for x in range(3) for c in range(4)) for y in range(2))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 3, 2, 8, 6, 0, 0, 0)) +
       chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
write("ico/png_and_bitmap.ico", icon([(4, 4, 4, icon_image(4, 4, 4, lambda x, y: x)), (0, 0, 32, png)]))
write("ico/png_damaged.ico", icon([(0, 0, 32, png[:20] + b"\xff" + png[21:])]))

write("xbm/bytes.xbm", "#define a_width 10\n#define a_height 3\nstatic unsigned char a_bits[] = {\n"
      "0x01, 0x02, 0xff, 0x03, 0x80, 0x00 };\n")
write("xbm/words.xbm", "#define b_width 20\n#define b_height 2\n#define b_x_hot 1\n#define b_y_hot 1\n"
      "static unsigned short b_bits[] = {\n0x8001, 0x0005, 0xffff, 0x1234 };\n")
write("xbm/inline.xbm", "/* x */\n#define c_width 8\n#define c_height 2\nstatic const char c_bits[] = { 0x81, 0x7e };\n")

def xpm(values, colours, rows):
    return ("/* XPM */\nstatic char *p[] = {\n\"" + values + "\",\n" +
            "".join(f"\"{c}\",\n" for c in colours) + "".join(f"\"{r}\",\n" for r in rows) + "};\n")

write("xpm/names.xpm", xpm("4 2 4 1", [". c None", "g c Gray50", "r c #FFFF00000000", "b s x c blue m black"],
                            ["g.rb", "bbr."]))
write("xpm/two_chars.xpm", xpm("3 1 3 2", ["aa c #F80", "bb c #10203040", "cc c light goldenrod"], ["aabbcc"]))
write("xpm/four_chars.xpm", xpm("2 2 2 4", ["abcd c red", "abce c #102030"], ["abcdabce", "abceabcd"]))
# More than 256 colours (24-bit delivery); the code runs straight into its key to stay small.
names = ["red", "blue", "#F80", "gold", "#0A0", "None"]
write("xpm/many.xpm", xpm("2 1 257 2", [f"{chr(65 + i // 26)}{chr(97 + i % 26)}c {names[i % 6]}"
                                          for i in range(257)], ["JwAa"]))
PY
