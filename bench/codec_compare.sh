#!/usr/bin/env bash
# Whole-process PNG and GIF loads of the same pictures, side by side in one run: lumora-img decode
# (the load pipeline and the PNG or GIF reader, writing a PAM) against ImageMagick writing the same
# PAM. Pictures: 1600 x 1200 plasma fractals (photograph-like detail) as 24-bit PNG, interlaced
# 24-bit PNG, 8-bit palette PNG and 256-colour GIF (plain and interlaced). Every program runs once
# per file as a fresh process; each set is timed REPEAT times and the fastest run counts. Prints a
# Markdown report.
#
# usage: bench/codec_compare.sh [LUMORA_IMG [COUNT [REPEAT]]]
#   LUMORA_IMG  the lumora-img program (default: build/release/tools/lumora-img, a Release build)
#   COUNT       pictures per set (default 4)
#   REPEAT      timed runs per program (default 5)
# Installs nothing: it names the Debian package of each missing program and stops.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
img=${1:-$top/build/release/tools/lumora-img}
count=${2:-4}
repeat=${3:-5}

missing=0
command -v python3 >/dev/null 2>&1 || { echo "codec_compare.sh: python3 not found: Debian package python3" >&2; missing=1; }
magick=""
for candidate in magick convert-im6.q16 convert-im6; do
  if command -v "$candidate" >/dev/null 2>&1; then magick=$candidate; break; fi
done
[ -n "$magick" ] || { echo "codec_compare.sh: ImageMagick not found: Debian package imagemagick" >&2; missing=1; }
if [ ! -x "$img" ]; then
  echo "codec_compare.sh: $img not found: build it first (cmake -B build/release -DCMAKE_BUILD_TYPE=Release && ninja -C build/release lumora-img)" >&2
  missing=1
fi
[ "$missing" = 0 ] || exit 1

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
work=$(mktemp -d /tmp/lumora_codec_compare_XXXXXX)
trap 'rm -rf "$work"' EXIT
sets=(png24 png24i png8 gif gifi)
for s in "${sets[@]}"; do mkdir -p "$work/$s"; done
mkdir -p "$work/out"

for i in $(seq 1 "$count"); do
  src="$work/src$i.ppm"
  "$magick" -seed "$i" -size 1600x1200 plasma:fractal -depth 8 "$src"
  "$magick" "$src" "$work/png24/p$i.png"
  "$magick" "$src" -interlace PNG "$work/png24i/p$i.png"
  "$magick" "$src" -colors 256 PNG8:"$work/png8/p$i.png"
  "$magick" "$src" -colors 256 "$work/gif/p$i.gif"
  "$magick" "$src" -colors 256 -interlace GIF "$work/gifi/p$i.gif"
done

# "WALL CPU": seconds of the fastest of $repeat runs of "$@" over every file of a set, as wall
# time and as the processor time (user + system) of the processes. FILE stands for the file.
time_set() {
  local set=$1; shift
  python3 - "$work/$set" "$repeat" "$@" <<'PY'
import glob, os, resource, subprocess, sys, time
folder, repeat, template = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
files = sorted(glob.glob(os.path.join(folder, "*")))
best_wall = best_cpu = None
for _ in range(repeat):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    for f in files:
        subprocess.run([a.replace("FILE", f) for a in template], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    best_wall = wall if best_wall is None else min(best_wall, wall)
    best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
print(best_wall / len(files), best_cpu / len(files))
PY
}

echo "## PNG and GIF loads, $(date -u +%Y-%m-%d), $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo
echo "$count pictures of 1600 x 1200 per set, fastest of $repeat runs, one process per file, milliseconds"
echo "per file (cpu = user + system time, which other work on a busy machine does not inflate)."
echo "Load average at the start: $load_start."
echo
echo "| set | lumora-img decode cpu | ImageMagick cpu | ratio | lumora-img wall | ImageMagick wall |"
echo "|---|---|---|---|---|---|"
for s in "${sets[@]}"; do
  read -r lw lc < <(time_set "$s" "$img" decode FILE "$work/out/l.pam")
  read -r mw mc < <(time_set "$s" "$magick" FILE -depth 8 "$work/out/m.pam")
  python3 -c "import sys; lw,lc,mw,mc=map(float,sys.argv[2:]); print(f'| {sys.argv[1]} | {lc*1000:.1f} | {mc*1000:.1f} | {lc/mc:.2f} | {lw*1000:.1f} | {mw*1000:.1f} |')" \
    "$s" "$lw" "$lc" "$mw" "$mc"
done
