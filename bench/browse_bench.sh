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
. "$top/bench/bench_lib.sh"
bench_require browse_bench.sh "libjpeg-turbo-progs python3 time" cjpeg python3 /usr/bin/time
bench_find_magick browse_bench.sh
[ -x "$lumora" ] || { echo "browse_bench.sh: $lumora not found; build it first" >&2; exit 1; }

work=$(mktemp -d /tmp/lumora_browse_XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/exif" "$work/plain" "$work/many" "$work/config" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"

distinct=4
echo "making $distinct photographs of 4000 x 3000 and $count copies of each kind in $work ..." >&2
for i in $(seq 1 $distinct); do
  bench_photo "$i" "$work/p$i.ppm" "$work/p$i.jpg"
  bench_exif_copy "$work/p$i.ppm" "$work/p$i.jpg" "$work/e$i.jpg"
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
