#!/usr/bin/env bash
# Makes the seeds that came out of fuzzing the readers (inputs that once exhausted memory or
# broke a reader, minimised), each beside the regular seeds of its target in fuzz/corpus/<name>/.
# The same inputs are checked by tests/codecs/fuzz_regression_test.cpp. Needs python3.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
python3 - "$here/corpus" <<'PY'
import os, struct, sys
root = sys.argv[1]

def write(path, data):
    assert len(data) < 4096, path
    os.makedirs(os.path.dirname(f"{root}/{path}"), exist_ok=True)
    with open(f"{root}/{path}", "wb") as f:
        f.write(data)

# GIF: 260 one-pixel frames on a 1024 x 1024 screen, a dozen bytes each. Every frame is a full
# canvas, so the frame loader must stop at its memory budget.
def tiny_frames(w, h, frames):
    g = b"GIF89a" + struct.pack("<HH", w, h) + bytes([0x80, 0, 0]) + bytes([0, 0, 0, 255, 255, 255])
    for _ in range(frames):
        # Code size 2: clear, pixel 0, end in 3-bit codes.
        g += b"\x2c" + struct.pack("<HHHH", 0, 0, 1, 1) + b"\0" + bytes([2, 2, 0x44, 0x01, 0])
    return g + b"\x3b"

write("gif/many_tiny_frames.gif", tiny_frames(1024, 1024, 260))

# JPEG: 300 progressive DC scans without data over 4096 x 4096 grey pixels. Each scan costs a
# pass over 262144 blocks, so the reader must stop at its budget of scan work.
def empty_scans(side, scans):
    j = b"\xff\xd8\xff\xdb\x00\x43\x00" + bytes([1] * 64)
    j += b"\xff\xc2\x00\x0b\x08" + struct.pack(">HH", side, side) + b"\x01\x01\x11\x00"
    j += b"\xff\xc4\x00\x14\x00" + bytes([1] + [0] * 15) + b"\x00"
    j += b"\xff\xda\x00\x08\x01\x01\x00\x00\x00\x00" * scans
    return j + b"\xff\xd9"

write("jpeg/empty_scans.jpg", empty_scans(4096, 300))
PY
