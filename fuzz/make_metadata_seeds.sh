#!/usr/bin/env bash
# Makes the seed corpora of fuzz/exif_fuzz.cpp (TIFF bodies of Exif blocks, without the "Exif\0\0"
# prefix) and fuzz/iptc_fuzz.cpp (Photoshop resource blocks after the "Photoshop 3.0\0"
# signature) in fuzz/corpus/exif/ and fuzz/corpus/iptc/: small files, under 4 KB each. The Exif
# seeds carry an Exif IFD, GPS, a thumbnail IFD and one maker note of each layout.
# Needs python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$here/corpus/exif" "$here/corpus/iptc"
python3 - "$here/corpus" <<'PY'
import struct, sys
out = sys.argv[1]
SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1, 8: 2, 9: 4, 10: 8}

class Tiff:
    """Directories laid out one after another, each followed by its data area."""
    def __init__(self, be):
        self.e = ">" if be else "<"
        self.ifds = []
    def ifd(self):
        self.ifds.append([])
        return len(self.ifds) - 1
    def add(self, d, tag, typ, values=None, raw=None, link=None, make=None, size=None):
        self.ifds[d].append((tag, typ, values, raw, link, make, size))
    def pack_values(self, typ, values):
        if typ in (2, 7, 1):
            return bytes(values)
        fmt = {3: "H", 4: "I", 5: "II", 8: "h", 9: "i", 10: "ii"}[typ]
        b = b""
        for v in values:
            b += struct.pack(self.e + fmt, *(v if isinstance(v, tuple) else (v,)))
        return b
    def count(self, typ, values):
        return len(self.pack_values(typ, values)) // SIZES[typ]
    def build(self, base=0, header=True, next_of=None):
        next_of = next_of or {}
        sizes = []
        for entries in self.ifds:
            n = 2 + 12 * len(entries) + 4
            for tag, typ, values, raw, link, make, size in entries:
                length = size if make else (len(self.pack_values(typ, values)) if values is not None else 0)
                if raw is None and link is None and length > 4:
                    n += (length + 1) & ~1
            sizes.append(n)
        pos, at = [], 8 if header else 0
        for n in sizes:
            pos.append(at)
            at += n
        out = bytearray()
        if header:
            out += (b"MM" if self.e == ">" else b"II") + struct.pack(self.e + "HI", 42, base + pos[0])
        for i, entries in enumerate(self.ifds):
            data_at = pos[i] + 2 + 12 * len(entries) + 4
            area = bytearray()
            out += struct.pack(self.e + "H", len(entries))
            for tag, typ, values, raw, link, make, size in entries:
                if raw is not None:
                    out += struct.pack(self.e + "HHII", tag, typ, raw[0], raw[1])
                    continue
                if link is not None:
                    out += struct.pack(self.e + "HHII", tag, 4, 1, base + pos[link])
                    continue
                if make:
                    count = size
                    where = data_at + len(area) if size > 4 else len(out) + 8
                    data = make(base + where)
                else:
                    data = self.pack_values(typ, values)
                    count = len(data) // SIZES[typ]
                out += struct.pack(self.e + "HHI", tag, typ, count)
                if len(data) <= 4:
                    out += data + b"\0" * (4 - len(data))
                else:
                    out += struct.pack(self.e + "I", base + data_at + len(area))
                    area += data
                    if len(area) & 1:
                        area += b"\0"
            nxt = next_of.get(i)
            out += struct.pack(self.e + "I", base + pos[nxt] if nxt is not None else 0)
            out += area
        return bytes(out)

def asc(s):
    return list(s.encode("latin-1")) + [0]

def camera(name, be, make, note=None):
    t = Tiff(be)
    d0, ex, gps, d1 = t.ifd(), t.ifd(), t.ifd(), t.ifd()
    t.add(d0, 0x10F, 2, asc(make))
    t.add(d0, 0x110, 2, asc("Model"))
    t.add(d0, 0x112, 3, [1])
    t.add(d0, 0x11A, 5, [(72, 1)])
    t.add(d0, 0x8769, 4, link=ex)
    t.add(d0, 0x8825, 4, link=gps)
    t.add(ex, 0x829A, 5, [(1, 250)])
    t.add(ex, 0x829D, 5, [(28, 10)])
    t.add(ex, 0x8827, 3, [100])
    t.add(ex, 0x9000, 7, list(b"0220"))
    t.add(ex, 0x9003, 2, asc("2004:05:06 07:08:09"))
    t.add(ex, 0x9201, 10, [(8, 1)])
    t.add(ex, 0x920A, 5, [(58, 10)])
    t.add(ex, 0x9286, 7, list(b"ASCII\0\0\0Hello"))
    if note:
        prefix, inner, relative = note
        size = len(prefix) + len(inner.build(0, header=inner_header(inner)))
        def make(pos, prefix=prefix, inner=inner, relative=relative):
            base = {"tiff": pos + len(prefix), "note": len(prefix), "body": 0}[relative]
            return prefix + inner.build(base, header=inner_header(inner))
        t.add(ex, 0x927C, 7, make=make, size=size)
    t.add(gps, 0x0, 1, [2, 2, 0, 0])
    t.add(gps, 0x1, 2, asc("N"))
    t.add(gps, 0x2, 5, [(52, 1), (30, 1), (1234, 100)])
    t.add(gps, 0x7, 5, [(14, 1), (27, 1), (724, 100)])
    t.add(d1, 0x201, 4, [100])
    t.add(d1, 0x202, 4, [50])
    with open(f"{out}/exif/{name}", "wb") as f:
        f.write(t.build(next_of={0: d1}))

HEADERED = set()
def inner_header(t):
    return id(t) in HEADERED

def note(be, entries, header=False):
    t = Tiff(be)
    d = t.ifd()
    for e in entries:
        t.add(d, *e[:3]) if len(e) == 3 else t.add(d, e[0], e[1], raw=e[2:])
    if header:
        HEADERED.add(id(t))
    return t

camera("plain_ii.tif", False, "Acme")
camera("plain_mm.tif", True, "Acme")
canon = [(1, 3, [50] + [1, 0, 3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 65535, 0, 0, 17, 3, 1, 0x3003, 1, 0, 0, 300, 100]),
         (4, 3, [16, 0, 0, 0, 0, 0, 0, 2]), (8, 4, [1001234])]
camera("canon_ii.tif", False, "Canon", (b"", note(False, canon), "tiff"))
camera("nikon3_mm.tif", True, "NIKON CORPORATION",
       (b"Nikon\0\2\x10\0\0", note(False, [(1, 7, list(b"0210")), (2, 3, [0, 200]), (0x85, 5, [(1, 1)]),
                                          (0x88, 4, [0x10002]), (0x98, 7, list(b"0100\1\2\3\4"))], True), "body"))
camera("nikon1_ii.tif", False, "NIKON", (b"Nikon\0\1\0", note(False, [(3, 3, [3]), (6, 3, [5])]), "tiff"))
camera("fuji_mm.tif", True, "FUJIFILM",
       (b"FUJIFILM\x0c\0\0\0", note(False, [(0, 7, list(b"0130")), (0x1001, 3, [3]), (0x1302, 3, [1])]), "note"))
camera("olympus_ii.tif", False, "OLYMPUS", (b"OLYMP\0\1\0", note(False, [(0x201, 3, [2]), (0x207, 2, asc("SX75"))]), "tiff"))
minolta = bytearray(4 * 0x33)
for pos, v in [(1, 1), (8, 48), (9, 104), (0x15, 0x07D30415), (0x25, 1)]:
    minolta[4 * pos:4 * pos + 4] = struct.pack(">I", v)
camera("minolta_mm.tif", True, "Minolta", (b"", note(True, [(0, 7, list(b"MLT0")), (3, 7, list(minolta))]), "tiff"))
camera("casio_qvc_ii.tif", False, "CASIO", (b"QVC\0\0\0", note(True, [(9, 3, [4]), (0x3006, 2, asc("+09:00"))]), "tiff"))
camera("sanyo_ii.tif", False, "SANYO", (b"SANYO\0\1\0", note(False, [(0x201, 3, [257])]), "tiff"))
camera("sigma_mm.tif", True, "SIGMA", (b"SIGMA\0\0\0\1\0", note(True, [(0xA, 2, asc("18-50mm"))]), "tiff"))
# A loop: the thumbnail directory's next offset points back at IFD0.
t = Tiff(False)
a, b = t.ifd(), t.ifd()
t.add(a, 0x112, 3, [1])
t.add(a, 0x8769, 4, link=a)
t.add(b, 0x201, 4, [1])
with open(f"{out}/exif/loop_ii.tif", "wb") as f:
    f.write(t.build(next_of={0: 1, 1: 0}))

def dataset(rec, num, text):
    data = text.encode("latin-1")
    return bytes([0x1C, rec, num]) + struct.pack(">H", len(data)) + data

def resource(rid, data, name=b""):
    pascal = bytes([len(name)]) + name
    if len(pascal) & 1:
        pascal += b"\0"
    body = b"8BIM" + struct.pack(">H", rid) + pascal + struct.pack(">I", len(data)) + data
    return body + (b"\0" if len(data) & 1 else b"")

iim = dataset(2, 0, "\0\4") + dataset(2, 120, "A caption") + dataset(2, 25, "sea") + dataset(2, 25, "sun") \
    + dataset(1, 90, "skip") + dataset(2, 80, "Ann") + dataset(2, 200, "x") + dataset(2, 118, "a")
with open(f"{out}/iptc/keywords", "wb") as f:
    f.write(resource(0x03ED, b"\0\x48\0\1\0\x48\0\1") + resource(0x0404, iim))
with open(f"{out}/iptc/named", "wb") as f:
    f.write(resource(0x0404, iim, b"ab"))
with open(f"{out}/iptc/extended", "wb") as f:
    f.write(resource(0x0404, bytes([0x1C, 2, 120, 0x80, 2, 0, 3]) + b"abc"))
with open(f"{out}/iptc/truncated", "wb") as f:
    f.write(resource(0x0404, iim)[:40])
PY
