#!/usr/bin/env bash
# The browser as a person meets it: time from start until every thumbnail of a folder of camera
# photographs is on screen (the program headless, its key script "settle" waits until the
# thumbnail worker is idle), and the program's peak memory. Three folders of COUNT photographs of
# 4000 x 3000 pixels: with a 160 x 120 Exif thumbnail; without one on a first visit (empty
# thumbnail cache); the same on a second visit (the shared cache warm). Then a folder of 10,000
# small files listed and sorted. Prints a Markdown table.
#
# usage: bench/browse_bench.sh [LUMORA [COUNT]]
#   LUMORA  the program (default build/release/app/lumora, a Release build)
#   COUNT   photographs per folder (default 200; a few distinct pictures, copied)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
lumora=${1:-$top/build/release/app/lumora}
count=${2:-200}
for tool in cjpeg python3 /usr/bin/time; do
  command -v "$tool" >/dev/null 2>&1 || { echo "browse_bench.sh: $tool not found (libjpeg-turbo-progs, python3, time)" >&2; exit 1; }
done
magick=""
for candidate in magick convert-im6.q16 convert-im6; do
  if command -v "$candidate" >/dev/null 2>&1; then magick=$candidate; break; fi
done
[ -n "$magick" ] || { echo "browse_bench.sh: ImageMagick not found (Debian package imagemagick)" >&2; exit 1; }
[ -x "$lumora" ] || { echo "browse_bench.sh: $lumora not found; build it first" >&2; exit 1; }

work=$(mktemp -d /tmp/lumora_browse_XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/exif" "$work/plain" "$work/many" "$work/config" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"

distinct=4
echo "making $distinct photographs of 4000 x 3000 and $count copies of each kind in $work ..." >&2
for i in $(seq 1 $distinct); do
  "$magick" -seed "$i" -size 4000x3000 plasma:fractal -blur 0x0.6 "$work/p$i.ppm"
  cjpeg -quality 90 -outfile "$work/p$i.jpg" "$work/p$i.ppm"
  "$magick" "$work/p$i.ppm" -resize 160x120! "$work/t$i.ppm"
  cjpeg -quality 80 -outfile "$work/t$i.jpg" "$work/t$i.ppm"
  python3 - "$work/p$i.jpg" "$work/t$i.jpg" "$work/e$i.jpg" <<'PY'
import struct, sys
main, thumb = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
tiff = b"II*\x00" + struct.pack("<I", 8)
tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x0112, 3, 1, 1) + struct.pack("<I", 26)
tiff += struct.pack("<H", 2) + struct.pack("<HHII", 0x0201, 4, 1, 56)
tiff += struct.pack("<HHII", 0x0202, 4, 1, len(thumb)) + struct.pack("<I", 0) + thumb
app1 = b"Exif\x00\x00" + tiff
open(sys.argv[3], "wb").write(main[:2] + b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1 + main[2:])
PY
done
for n in $(seq 1 "$count"); do
  i=$(( (n - 1) % distinct + 1 ))
  cp "$work/e$i.jpg" "$work/exif/photo$(printf %04d "$n").jpg"
  cp "$work/p$i.jpg" "$work/plain/photo$(printf %04d "$n").jpg"
done
python3 -c "
import os, sys
for n in range(10000): open(os.path.join(sys.argv[1], 'f%05d.png' % n), 'wb').close()" "$work/many"

# One run: "WALL CPU PEAK_KB" of the program on a folder, with the shared cache in $work/cache.
run() {
  local folder=$1 keys=${2:-settle}
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" env XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" \
    "$lumora" --headless --screen 480x640 --config-dir "$work/config" --keys "$keys" --screenshot "$work/shot.png" \
    "$folder" >/dev/null 2>&1
  read -r wall user sys peak < "$work/time.txt"
  python3 -c "print('%.2f %.2f %d' % ($wall, $user + $sys, $peak))"
}

echo "| folder ($count photographs of 4000 x 3000) | wall s | CPU s | peak memory |"
echo "|---|---|---|---|"
read -r w c m < <(run "$work/exif");  echo "| with Exif thumbnails | $w | $c | $((m / 1024)) MiB |"
rm -rf "$work/cache"; mkdir -p "$work/cache"
read -r w c m < <(run "$work/plain"); echo "| without, first visit (empty cache) | $w | $c | $((m / 1024)) MiB |"
read -r w c m < <(run "$work/plain"); echo "| without, second visit (cache warm) | $w | $c | $((m / 1024)) MiB |"
read -r w c m < <(run "$work/many" "wait:0");  echo "| 10,000 files: listed, sorted, first screen drawn (no thumbnails waited for) | $w | $c | $((m / 1024)) MiB |"
echo
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
