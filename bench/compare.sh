#!/usr/bin/env bash
# Whole-process thumbnailing of the same 4000 x 3000 photographs, side by side in one run:
# lumora-img thumbs (46 x 46 box) against libvips' vipsthumbnail, libjpeg-turbo's djpeg -scale 1/8
# and ImageMagick, once on photographs that carry a 160 x 120 Exif thumbnail and once on the same
# photographs without one; then the peak memory of a 240 x 320 reduced load against a full one.
# Every program runs once per file (a fresh process each time, as a file manager would call it);
# each set is timed REPEAT times and the fastest run counts. Prints a Markdown report.
#
# usage: bench/compare.sh [LUMORA_IMG [COUNT [REPEAT]]]
#   LUMORA_IMG  the lumora-img program (default: build/release/tools/lumora-img, a Release build)
#   COUNT       photographs to make (default 6)
#   REPEAT      timed runs per program (default 5)
# Installs nothing: it names the Debian package of each missing program and stops.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
img=${1:-$top/build/release/tools/lumora-img}
count=${2:-6}
repeat=${3:-5}

missing=0
need() {  # program, Debian package
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "compare.sh: $1 not found: it comes with the Debian package $2" >&2
    missing=1
  fi
}
need djpeg libjpeg-turbo-progs
need cjpeg libjpeg-turbo-progs
need vipsthumbnail libvips-tools
need python3 python3
need /usr/bin/time time
# ImageMagick 6 as Debian installs it (the plain name "convert" may be something else).
. "$top/bench/bench_lib.sh"
bench_find_magick compare.sh
if [ ! -x "$img" ]; then
  echo "compare.sh: $img not found: build it first (cmake -B build/release -DCMAKE_BUILD_TYPE=Release && ninja -C build/release lumora-img)" >&2
  missing=1
fi
[ "$missing" = 0 ] || exit 1

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
work=$(mktemp -d /tmp/lumora_compare_XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/plain" "$work/exif" "$work/out"

# Photographs: ImageMagick plasma fractals (the detail of a real scene), written by cjpeg at
# quality 90 with 4:2:0 chroma as cameras do; the Exif copies get a 160 x 120 thumbnail in IFD1.
echo "making $count photographs of 4000 x 3000 in $work ..." >&2
for i in $(seq 1 "$count"); do
  bench_photo "$i" "$work/p$i.ppm" "$work/plain/photo$i.jpg"
  bench_exif_copy "$work/p$i.ppm" "$work/plain/photo$i.jpg" "$work/exif/photo$i.jpg"
  rm -f "$work/p$i.ppm"
done

# "WALL CPU": seconds of the fastest of $repeat runs of "$@" over every file of a set, as wall
# time and as the processor time (user + system) of the processes. The word FILE stands for the
# file, OUT for an output path. Processor time does not count the waits of a busy machine.
time_set() {
  local set=$1; shift
  python3 - "$work/$set" "$work/out" "$repeat" "$@" <<'PY'
import glob, os, resource, subprocess, sys, time
folder, out, repeat, template = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4:]
files = sorted(glob.glob(os.path.join(folder, "*.jpg")))
best_wall = best_cpu = None
for _ in range(repeat):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    for f in files:
        name = os.path.join(out, os.path.splitext(os.path.basename(f))[0])
        args = [a.replace("FILE", f).replace("OUT", name) for a in template]
        subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    best_wall = wall if best_wall is None else min(best_wall, wall)
    best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
print(best_wall, best_cpu)
PY
}

declare -A wall cpu
for set in exif plain; do
  for prog in lumora vips djpeg magick; do
    case $prog in
      lumora) cmd=("$img" thumbs --quiet --size 46x46 -o "$work/out" FILE) ;;
      vips) cmd=(vipsthumbnail FILE -s 46 -o OUT_vips.png) ;;
      djpeg) cmd=(djpeg -scale 1/8 -outfile OUT_djpeg.ppm FILE) ;;
      magick) cmd=("$magick" -define jpeg:size=92x92 FILE -thumbnail 46x46 OUT_im.png) ;;
    esac
    read -r w c < <(time_set "$set" "${cmd[@]}")
    wall[$set,$prog]=$w
    cpu[$set,$prog]=$c
  done
done

# Peak resident memory (kilobytes) of one load: reduced to 240 x 320 on the fly, and at full size.
photo="$work/plain/photo1.jpg"
rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
rss_reduced=$(rss "$img" thumbs --quiet --no-embedded --size 240x320 -o "$work/out" "$photo")
rss_full=$(rss "$img" thumbs --quiet --no-embedded --size 4000x3000 -o "$work/out" "$photo")
rss_djpeg=$(rss djpeg -outfile "$work/out/full.ppm" "$photo")

ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }
ms() { python3 -c "print(f'{$1 * 1000 / $count:.1f}')"; }
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
cat <<EOF
## Run of $(date -u '+%Y-%m-%d %H:%M UTC')

Machine: $(nproc) CPUs, $cpu; $(uname -sr). $count photographs of 4000 x 3000 (about
$(( $(du -k "$work/plain" | cut -f1) / count )) KB each), fastest of $repeat runs, one process per file;
load average at the start ${load_start}, at the end $(cut -d' ' -f1-3 /proc/loadavg).
Programs: $("$img" --version 2>/dev/null || echo lumora-img), $(vipsthumbnail --vips-version 2>/dev/null | head -1),
djpeg of libjpeg-turbo $(dpkg-query -W -f '${Version}' libjpeg-turbo-progs 2>/dev/null), ImageMagick $("$magick" -version | head -1 | awk '{print $3}').

Times are per file and include process start-up; "cpu" is user + system time of the process,
which the other work on a busy machine does not inflate, "wall" the elapsed time.

| program (46 x 46 box) | with Exif thumbnail: cpu / wall ms | without: cpu / wall ms |
|---|---|---|
| lumora-img thumbs | $(ms "${cpu[exif,lumora]}") / $(ms "${wall[exif,lumora]}") | $(ms "${cpu[plain,lumora]}") / $(ms "${wall[plain,lumora]}") |
| vipsthumbnail -s 46 | $(ms "${cpu[exif,vips]}") / $(ms "${wall[exif,vips]}") | $(ms "${cpu[plain,vips]}") / $(ms "${wall[plain,vips]}") |
| djpeg -scale 1/8 | $(ms "${cpu[exif,djpeg]}") / $(ms "${wall[exif,djpeg]}") | $(ms "${cpu[plain,djpeg]}") / $(ms "${wall[plain,djpeg]}") |
| ImageMagick -thumbnail (jpeg:size hint) | $(ms "${cpu[exif,magick]}") / $(ms "${wall[exif,magick]}") | $(ms "${cpu[plain,magick]}") / $(ms "${wall[plain,magick]}") |

| ratio | cpu | wall | target |
|---|---|---|---|
| vipsthumbnail / lumora-img, with Exif thumbnail | $(ratio "${cpu[exif,vips]}" "${cpu[exif,lumora]}") | $(ratio "${wall[exif,vips]}" "${wall[exif,lumora]}") | at least 10 |
| lumora-img / vipsthumbnail, without | $(ratio "${cpu[plain,lumora]}" "${cpu[plain,vips]}") | $(ratio "${wall[plain,lumora]}" "${wall[plain,vips]}") | at most 1 |
| lumora-img / djpeg -scale 1/8, without | $(ratio "${cpu[plain,lumora]}" "${cpu[plain,djpeg]}") | $(ratio "${wall[plain,lumora]}" "${wall[plain,djpeg]}") | at most 1.2 |
| ImageMagick / lumora-img, without | $(ratio "${cpu[plain,magick]}" "${cpu[plain,lumora]}") | $(ratio "${wall[plain,magick]}" "${wall[plain,lumora]}") | |

Peak resident memory of one process: reduced load to 240 x 320 ${rss_reduced} KB; full-size load
(box 4000 x 3000) ${rss_full} KB; djpeg full decode ${rss_djpeg} KB.
EOF
