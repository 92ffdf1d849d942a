#!/usr/bin/env bash
# Rotation and colour reduction of one 12-megapixel picture by Lumora and by ImageMagick's
# convert on the very same pixels, in one run:
#  1. kernels: bench_rotate and bench_quantize on the picture in memory, against ImageMagick on a
#     PPM file, with a plain copy timed as well and subtracted to estimate its operation alone;
#  2. whole processes on the same BMP files: `lumora-img convert` against `convert`.
#   usage: [REPEAT=N] bench/ops_compare.sh BUILD_DIR [WORK_DIR]   (N timed runs, default 3)
set -euo pipefail
build=${1:?usage: ops_compare.sh BUILD_DIR [WORK_DIR]}
work=${2:-$(mktemp -d)}
# ImageMagick 6 as Debian installs it (the plain name "convert" may be something else).
im=""
for candidate in magick convert-im6.q16 convert-im6; do
  if command -v "$candidate" >/dev/null 2>&1; then im=$candidate; break; fi
done
if [ -z "$im" ]; then
  echo "ops_compare.sh: ImageMagick not found: it comes with the Debian package imagemagick" >&2
  exit 1
fi
lumora=$build/tools/lumora-img
for p in bench/bench_rotate bench/bench_quantize tools/lumora-img; do
  [ -x "$build/$p" ] || { echo "$build/$p not built" >&2; exit 1; }
done

photo=$work/photo.ppm
[ -f "$photo" ] || "$im" -seed 7 -size 4000x3000 plasma:fractal -depth 8 "$photo"
[ -f "$work/photo.bmp" ] || "$im" "$photo" -type TrueColor "BMP3:$work/photo.bmp"
[ -f "$work/bw.bmp" ] || "$im" "$photo" -threshold 50% -type bilevel "BMP3:$work/bw.bmp"

# Fastest of $repeat runs by processor time (user + system, all threads): "CPU_MS WALL_MS".
repeat=${REPEAT:-3}
timed() {
  local best_cpu= best_wall= tf
  tf=$(mktemp)
  for _ in $(seq "$repeat"); do
    /usr/bin/time -f '%U %S %e' -o "$tf" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; rm -f "$tf"; return 1; }
    read -r cpu wall < <(awk '{ printf "%d %d\n", ($1 + $2) * 1000, $3 * 1000 }' "$tf")
    if [ -z "$best_cpu" ] || [ "$cpu" -lt "$best_cpu" ]; then best_cpu=$cpu best_wall=$wall; fi
  done
  rm -f "$tf"
  echo "$best_cpu $best_wall"
}

kernel_ms() {  # bench program, benchmark name -> median processor time in ms
  LUMORA_BENCH_PPM=$photo "$build/bench/$1" --benchmark_filter="^$2\$" --benchmark_format=csv \
      --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>/dev/null |
    awk -F, -v n="\"$2_median\"" '$1 == n { printf "%.1f", $4 }'
}

echo "Kernels, processor ms: Lumora on the picture in memory; ImageMagick PPM to PPM, less a plain copy"
echo
echo "| operation | Lumora | ImageMagick total | ImageMagick copy | ImageMagick operation | ratio |"
echo "|---|---|---|---|---|---|"
read -r copy _ < <(timed "$im" "$photo" -depth 8 "$work/out.ppm")
while IFS='|' read -r name prog bm args; do
  ours=$(kernel_ms "$prog" "$bm")
  # shellcheck disable=SC2086
  read -r total _ < <(timed "$im" "$photo" $args -depth 8 "$work/out.ppm")
  awk -v n="$name" -v o="$ours" -v t="$total" -v c="$copy" 'BEGIN {
    e = t - c; if (e < 1) e = 1;
    printf "| %s | %s | %d | %d | %d | %.1f |\n", n, o, t, c, e, e / o }'
done <<'ROWS'
rotate 90, 3-byte colour|bench_rotate|BM_RotateColor90|-rotate 90
rotate 180, 3-byte colour|bench_rotate|BM_RotateColor180|-rotate 180
256 colours, no dither|bench_quantize|BM_Quantize256|+dither -colors 256
16 colours, no dither|bench_quantize|BM_Quantize16|+dither -colors 16
ROWS
echo "| rotate 90, bilevel: word path (bit path $(kernel_ms bench_rotate BM_RotateBilevel90Bits)) | $(kernel_ms bench_rotate BM_RotateBilevel90Words) | | | | |"

echo
echo "Whole processes on the same BMP files, processor / elapsed ms"
echo
echo "| operation | lumora-img convert | ImageMagick convert | processor ratio |"
echo "|---|---|---|---|"
while IFS='|' read -r name input ours theirs; do
  # shellcheck disable=SC2086
  read -r lc lw < <(timed "$lumora" convert $ours "$work/$input" "$work/out_l.bmp")
  # shellcheck disable=SC2086
  read -r mc mw < <(timed "$im" "$work/$input" $theirs "BMP3:$work/out_m.bmp")
  awk -v n="$name" -v lc="$lc" -v lw="$lw" -v mc="$mc" -v mw="$mw" 'BEGIN {
    # /usr/bin/time counts in 10 ms steps: below that only a bound can be given.
    if (lc < 10) printf "| %s | <10 / %d | %d / %d | >%.0f |\n", n, lw, mc, mw, mc / 10;
    else printf "| %s | %d / %d | %d / %d | %.1f |\n", n, lc, lw, mc, mw, mc / lc }'
done <<'ROWS'
copy, 3-byte colour|photo.bmp||
rotate 90, 3-byte colour|photo.bmp|--rotate 90|-rotate 90
rotate 90, bilevel|bw.bmp|--rotate 90|-rotate 90
256 colours, no dither|photo.bmp|--colors 256|+dither -colors 256
16 colours, no dither|photo.bmp|--colors 16|+dither -colors 16
ROWS

echo
echo "Colour error against the source (ImageMagick compare -metric RMSE, 0..1):"
compare=compare
for candidate in compare-im6.q16 compare-im6; do
  if command -v "$candidate" >/dev/null 2>&1; then compare=$candidate; break; fi
done
for n in 256 16; do
  "$lumora" convert --colors "$n" "$work/photo.bmp" "$work/q_l.bmp"
  "$im" "$work/photo.bmp" +dither -colors "$n" "BMP3:$work/q_m.bmp"
  el=$("$compare" -metric RMSE "$work/photo.bmp" "$work/q_l.bmp" null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
  em=$("$compare" -metric RMSE "$work/photo.bmp" "$work/q_m.bmp" null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
  echo "- $n colours: lumora-img $el, ImageMagick $em"
done
