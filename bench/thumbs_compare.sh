#!/usr/bin/env bash
# The browser's thumbnails against the thumbnail modes of feh and nsxiv (Debian packages), on the
# same folders, with empty caches and then warm ones. Every program runs in a real window on an
# Xvfb screen of 1280 x 720 and is timed by bench/screen_watch.py until its thumbnail screen is
# complete (and unchanged for 1.5 s; that wait is not counted). Lumora is also run headless with
# its key script's "settle", which waits until every thumbnail of the folder is made, not only
# those on screen: the stricter figure. Folders:
#   exif   COUNT photographs of 4000 x 3000 (JPEG, quality 90) with a 160 x 120 Exif thumbnail
#   plain  the same photographs without one
#   png    COUNT pictures of 2400 x 1800 saved as PNG
#   huge   a 20000 x 20000 grey PNG and a 12000 x 12000 tiled colour TIFF (memory only)
# Prints Markdown tables: seconds and peak memory (MiB), first and second visit.
#
# usage: bench/thumbs_compare.sh [LUMORA [COUNT]]
#   LUMORA  the program (default build/release/app/lumora, a Release build)
#   COUNT   pictures per folder (default 200; a few distinct pictures, copied)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
lumora=${1:-$top/build/release/app/lumora}
count=${2:-200}
. "$top/bench/bench_lib.sh"
bench_require thumbs_compare.sh "xvfb x11-utils feh nsxiv libjpeg-turbo-progs python3 time procps" \
  Xvfb xdpyinfo feh nsxiv cjpeg python3 /usr/bin/time pkill
bench_find_magick thumbs_compare.sh
[ -x "$lumora" ] || { echo "thumbs_compare.sh: $lumora not found; build it first" >&2; exit 1; }

work=$(mktemp -d /tmp/lumora_thumbs_XXXXXX)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/exif" "$work/plain" "$work/png" "$work/huge"

distinct=4
echo "making the folders in $work ..." >&2
for i in $(seq 1 $distinct); do
  bench_photo "$i" "$work/p$i.ppm" "$work/p$i.jpg"
  bench_exif_copy "$work/p$i.ppm" "$work/p$i.jpg" "$work/e$i.jpg"
  "$magick" "$work/p$i.ppm" -resize 2400x1800! "$work/g$i.png"
  rm "$work/p$i.ppm"
done
for n in $(seq 1 "$count"); do
  i=$(( (n - 1) % distinct + 1 ))
  cp "$work/e$i.jpg" "$work/exif/photo$(printf %04d "$n").jpg"
  cp "$work/p$i.jpg" "$work/plain/photo$(printf %04d "$n").jpg"
  cp "$work/g$i.png" "$work/png/picture$(printf %04d "$n").png"
done
# The two huge pictures, written row by row so that making them needs little memory.
python3 - "$work/huge" <<'PY'
import struct, sys, zlib
folder = sys.argv[1]

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

n = 20000
z = zlib.compressobj(1)
with open(folder + "/grey.png", "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 0, 0, 0, 0)))
    data = bytearray()
    for y in range(n):
        data += b"\x00" + bytes(((x + y) // 80) & 255 for x in range(0, n, 80)) * 80
        if len(data) > 1 << 22:
            f.write(chunk(b"IDAT", z.compress(bytes(data))))
            data = bytearray()
    f.write(chunk(b"IDAT", z.compress(bytes(data)) + z.flush()) + chunk(b"IEND", b""))

# Tiled TIFF (TIFF 6.0 section 15), 12000 x 12000 RGB in 256 x 256 tiles, deflate (code 8).
size, tile = 12000, 256
across = (size + tile - 1) // tile
tiles = []
for ty in range(across):
    for tx in range(across):
        r, g = (tx * 5) & 255, (ty * 5) & 255
        tiles.append(zlib.compress(bytes((r, g, 128)) * (tile * tile), 6))
entries = [(256, 4, 1, size), (257, 4, 1, size), (258, 3, 3, None), (259, 3, 1, 8), (262, 3, 1, 2),
           (277, 3, 1, 3), (284, 3, 1, 1), (322, 3, 1, tile), (323, 3, 1, tile), (324, 4, len(tiles), None),
           (325, 4, len(tiles), None)]
ifd_size = 2 + 12 * len(entries) + 4
bps_at = 8 + ifd_size
offsets_at = bps_at + 6
counts_at = offsets_at + 4 * len(tiles)
data_at = counts_at + 4 * len(tiles)
offsets, pos = [], data_at
for t in tiles:
    offsets.append(pos)
    pos += len(t)
with open(folder + "/tiled.tif", "wb") as f:
    f.write(b"II*\x00" + struct.pack("<I", 8) + struct.pack("<H", len(entries)))
    for tag, kind, cnt, value in entries:
        if tag == 258:
            value = bps_at
        elif tag == 324:
            value = offsets_at
        elif tag == 325:
            value = counts_at
        f.write(struct.pack("<HHI", tag, kind, cnt) + (struct.pack("<HH", value, 0) if kind == 3 and cnt == 1 else struct.pack("<I", value)))
    f.write(struct.pack("<I", 0) + struct.pack("<HHH", 8, 8, 8))
    f.write(struct.pack("<%dI" % len(tiles), *offsets) + struct.pack("<%dI" % len(tiles), *(len(t) for t in tiles)))
    for t in tiles:
        f.write(t)
PY

# Lumora headless, waiting for every thumbnail: "SECONDS CPU PEAK_KIB".
headless() {
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" env HOME="$work/home" XDG_CACHE_HOME="$work/cache" \
    XDG_RUNTIME_DIR="$work/runtime" "$lumora" --headless --screen 1280x720 --config-dir "$work/config" \
    --keys settle "$1" >/dev/null 2>&1 || true
  read -r wall user sys peak < "$work/time.txt"
  python3 -c "print('%.2f | %.2f | %d' % ($wall, $user + $sys, $peak / 1024))"
}
# A program in the window until its screen is complete: "SECONDS | PEAK_MIB".
watched() {
  env HOME="$work/home" XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime" python3 "$top/bench/screen_watch.py" --timeout 600 "$@" |
    python3 -c 'import sys
t, kib, _ = sys.stdin.read().split()
print("%s | %d" % ("failed" if t == "nan" else "%.2f" % float(t), int(kib) / 1024))' || echo "failed | -"
}
fresh() {
  rm -rf "$work/cache" "$work/config" "$work/home" "$work/runtime"
  mkdir -p "$work/cache" "$work/config" "$work/home" "$work/runtime"
  chmod 700 "$work/runtime"
}

bench_start_xvfb 96 1280x720

echo "| folder | program | first visit: s | peak MiB | second visit: s | peak MiB |"
echo "|---|---|---|---|---|---|"
for folder in exif plain png; do
  echo "folder $folder ..." >&2
  fresh; a=$(watched -- "$lumora" --screen 1280x720 "$work/$folder/"); b=$(watched -- "$lumora" --screen 1280x720 "$work/$folder/")
  echo "| $folder | Lumora (window) | $a | $b |"
  # Both given the whole screen (without a window manager their windows keep default sizes).
  fresh; a=$(watched -- feh -t -W 1280 -H 720 "$work/$folder/"); b=$(watched -- feh -t -W 1280 -H 720 "$work/$folder/")
  echo "| $folder | feh -t | $a | $b |"
  fresh; a=$(watched -- nsxiv -t -g 1280x720+0+0 "$work/$folder/"*); b=$(watched -- nsxiv -t -g 1280x720+0+0 "$work/$folder/"*)
  echo "| $folder | nsxiv -t | $a | $b |"
done
echo
echo "Lumora headless, until every thumbnail of the folder is made (\`--keys settle\`):"
echo
echo "| folder | first visit: s | CPU s | peak MiB | second visit: s | CPU s | peak MiB |"
echo "|---|---|---|---|---|---|---|"
for folder in exif plain png huge; do
  fresh; a=$(headless "$work/$folder"); b=$(headless "$work/$folder")
  echo "| $folder | $a | $b |"
done
echo
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
