#!/usr/bin/env bash
# Makes the seed corpora of fuzz/png_fuzz.cpp, fuzz/gif_fuzz.cpp and fuzz/tga_fuzz.cpp in
# fuzz/corpus/{png,gif,tga}/ (small files, under 4 KB each): PNG colour types, depths, interlace,
# tRNS, text and pHYs; GIF animations with disposal, transparency, local tables, interlace and a
# frame beyond the canvas; Targa colour maps (also of 5-5-5 words), origins, run-length packets
# and 16-bit grey with alpha. Needs python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
python3 - "$here/corpus" <<'PY'
import os, struct, sys, zlib
root = sys.argv[1]
for d in ("png", "gif", "tga"):
    os.makedirs(f"{root}/{d}", exist_ok=True)

def write(path, data):
    with open(f"{root}/{path}", "wb") as f:
        f.write(data)

# PNG (ISO/IEC 15948): chunks with their CRC.
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

def png(w, h, depth, ctype, rows, interlace=0, extra=b""):
    ihdr = struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, interlace)
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))

write("png/rgb8.png", png(4, 3, 8, 2, [bytes((x * 40 + y * 9) % 256 for x in range(12)) for y in range(3)],
      extra=chunk(b"pHYs", struct.pack(">IIB", 2835, 2835, 1)) + chunk(b"tEXt", b"Comment\0seed")))
def adam7_2bit(w, h, pixel):
    # The seven passes of Adam7 (ISO/IEC 15948 section 8.2), each row packed 2 bits a pixel.
    out = b""
    for xs, ys, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)):
        xs_ = list(range(xs, w, dx))
        if not xs_:
            continue
        for y in range(ys, h, dy):
            row = bytearray((len(xs_) + 3) // 4)
            for i, x in enumerate(xs_):
                row[i // 4] |= pixel(x, y) << (6 - 2 * (i % 4))
            out += b"\0" + bytes(row)
    return out

ihdr = struct.pack(">IIBBBBB", 9, 9, 2, 3, 0, 0, 1)
write("png/palette2_trns_interlaced.png",
      b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"PLTE", bytes(range(12))) +
      chunk(b"tRNS", bytes([255, 0, 128])) +
      chunk(b"IDAT", zlib.compress(adam7_2bit(9, 9, lambda x, y: (x + 2 * y) % 4))) + chunk(b"IEND", b""))
write("png/grey_alpha16.png", png(3, 2, 16, 4, [bytes(range(12)), bytes(range(12, 24))]))
write("png/rgba8_text.png", png(2, 2, 8, 6, [bytes(range(8)), bytes(range(8, 16))],
      extra=chunk(b"tEXt", b"Author\0fuzz") + chunk(b"iCCP", b"p\0\0" + zlib.compress(b"profile"))))
write("png/grey1.png", png(17, 2, 1, 0, [bytes([0xA5, 0x5A, 0x80])] * 2))
cut = png(16, 16, 8, 2, [bytes((x * y) % 256 for x in range(48)) for y in range(16)])
write("png/cut.png", cut[: len(cut) - 40])

# GIF (GIF89a): pixels compressed with literal codes only, a clear code before the table would
# grow, which every decoder reads as plain LZW.
def lzw(pixels, m):
    clear, end = 1 << m, (1 << m) + 1
    width, codes, run = m + 1, [clear], 0
    for p in pixels:
        if run == clear - 2:
            codes.append(clear)
            run = 0
        codes.append(p)
        run += 1
    codes.append(end)
    bits = nbits = 0
    out = bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 255)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 255)
    blocks = b"".join(bytes([len(out[i:i + 255])]) + out[i:i + 255] for i in range(0, len(out), 255))
    return bytes([m]) + blocks + b"\0"

def table(n):
    return bytes((i * 37 + k * 90) % 256 for i in range(n) for k in range(3))

def screen(w, h, bits, bg=0, sig=b"GIF89a"):
    return sig + struct.pack("<HHBBB", w, h, 0x80 | (bits - 1), bg, 0) + table(1 << bits)

def gce(disposal, delay, transparent=None):
    t = transparent if transparent is not None else 0
    return b"\x21\xf9\x04" + bytes([(disposal << 2) | (transparent is not None)]) + struct.pack("<H", delay) + bytes([t, 0])

def image(x, y, w, h, pixels, m=2, local=0, interlace=False):
    flags = (0x80 | (local - 1) if local else 0) | (0x40 if interlace else 0)
    return (b"\x2c" + struct.pack("<HHHHB", x, y, w, h, flags) + (table(1 << local) if local else b"") +
            lzw(pixels, m))

write("gif/animation.gif", screen(4, 4, 2) + b"\x21\xff\x0bNETSCAPE2.0\x03\x01\0\0\0" +
      gce(2, 10) + image(0, 0, 4, 4, [1] * 16) + gce(0, 5, 3) + image(1, 1, 2, 2, [3, 2, 2, 3]) +
      gce(3, 0) + image(0, 0, 3, 3, [0, 1, 2] * 3) + image(2, 2, 2, 2, [1] * 4) + b"\x3b")
write("gif/interlaced_comment.gif", screen(3, 10, 3, 0, b"GIF87a") + b"\x21\xfe\x05hello\0" +
      image(0, 0, 3, 10, [i % 8 for i in range(30)], m=3, interlace=True) + b"\x3b")
write("gif/local_table_oob.gif", screen(4, 2, 1) + image(0, 0, 4, 2, [0, 1] * 4) +
      gce(1, 0, 0) + image(3, 1, 3, 2, [1, 0, 3] * 2, local=2) + image(0, 0, 8, 1, [1] * 8) + b"\x3b")
write("gif/cut.gif", (screen(8, 8, 2) + image(0, 0, 8, 8, [i % 4 for i in range(64)]))[:60])

# Targa (TGA 2.0).
def tga(image_type, w, h, depth, data, descriptor=0x20, cmap=None, first=0, ident=b""):
    if cmap:
        entries, size, body = cmap
        header = struct.pack("<BBBHHBHHHHBB", len(ident), 1, image_type, first, entries, size, 0, 0, w, h, depth, descriptor)
        return header + ident + body + data
    header = struct.pack("<BBBHHBHHHHBB", len(ident), 0, image_type, 0, 0, 0, 0, 0, w, h, depth, descriptor)
    return header + ident + data

write("tga/rle24_bottom_up.tga", tga(10, 3, 2, 24, bytes([0x83, 1, 2, 3, 0x01, 7, 8, 9, 4, 5, 6]), 0x00))
write("tga/cmap8_offset.tga", tga(1, 2, 2, 8, bytes([2, 3, 4, 2]), cmap=(3, 24, bytes(range(9))), first=2,
      ident=b"id\0"))
write("tga/rgb16.tga", tga(2, 2, 2, 16, struct.pack("<4H", 0x7C00, 0x03E0, 0x001F, 0x7FFF)))
write("tga/grey_rle.tga", tga(11, 4, 2, 8, bytes([0x02, 9, 8, 7, 0x84, 200])))
write("tga/bilevel.tga", tga(3, 9, 2, 1, bytes([0xAA, 0x80, 0x55, 0x00])))
write("tga/rgba32_top_right.tga", tga(2, 2, 1, 32, bytes(range(8)), 0x38))
write("tga/rle_cmap32.tga", tga(9, 4, 1, 8, bytes([0x81, 0, 0x01, 1, 0]), cmap=(2, 32, bytes(range(8)))))
# 16-bit grey is grey and alpha; colour maps may hold 5-5-5 words (15 or 16 bits).
write("tga/grey_alpha16.tga", tga(3, 2, 2, 16, bytes([10, 255, 200, 0, 50, 128, 0, 0])))
write("tga/grey_alpha16_rle.tga", tga(11, 3, 1, 16, bytes([0x81, 50, 128, 0x00, 7, 9])))
write("tga/cmap15.tga", tga(1, 2, 1, 8, bytes([0, 2]), cmap=(3, 15, struct.pack("<3H", 0x7C1F, 0x03E0, 0x4210))))
write("tga/rgb24_after_cmap16.tga", tga(2, 2, 1, 24, bytes(range(6)), cmap=(3, 16, bytes(6))))
PY
