#!/usr/bin/env bash
# Rotation and colour reduction of one 12-megapixel picture by Lumora and by ImageMagick's
# convert on the very same pixels, in one run:
#  1. kernels: bench_rotate and bench_quantize on the picture in memory, against ImageMagick on a
#     PPM file, with a plain copy timed as well and subtracted to estimate its operation alone;
#  2. whole processes on the same BMP files: `lumora-img convert` against `convert`.
#   usage: bench/ops_compare.sh BUILD_DIR [WORK_DIR]
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

# Best of three wall-clock runs, in milliseconds.
best_ms() {
  local best=
  for _ in 1 2 3; do
    local t0 t1 ms
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

kernel_ms() {  # bench program, benchmark name -> median real time in ms
  LUMORA_BENCH_PPM=$photo "$build/bench/$1" --benchmark_filter="^$2\$" --benchmark_format=csv \
      --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>/dev/null |
    awk -F, -v n="\"$2_median\"" '$1 == n { printf "%.1f", $3 }'
}

echo "Kernels: Lumora in memory; ImageMagick PPM to PPM less a plain copy"
echo
echo "| operation | Lumora (ms) | ImageMagick total (ms) | ImageMagick copy (ms) | ImageMagick operation (ms) | ratio |"
echo "|---|---|---|---|---|---|"
copy=$(best_ms "$im" "$photo" -depth 8 "$work/out.ppm")
while IFS='|' read -r name prog bm args; do
  ours=$(kernel_ms "$prog" "$bm")
  # shellcheck disable=SC2086
  total=$(best_ms "$im" "$photo" $args -depth 8 "$work/out.ppm")
  awk -v n="$name" -v o="$ours" -v t="$total" -v c="$copy" 'BEGIN {
    e = t - c; if (e < 1) e = 1;
    printf "| %s | %s | %d | %d | %d | %.1f |\n", n, o, t, c, e, e / o }'
done <<'ROWS'
rotate 90, 3-byte colour|bench_rotate|BM_RotateColor90|-rotate 90
rotate 180, 3-byte colour|bench_rotate|BM_RotateColor180|-rotate 180
256 colours, no dither|bench_quantize|BM_Quantize256|+dither -colors 256
16 colours, no dither|bench_quantize|BM_Quantize16|+dither -colors 16
ROWS
echo "| rotate 90, bilevel (word path; bit path $(kernel_ms bench_rotate BM_RotateBilevel90Bits) ms) | $(kernel_ms bench_rotate BM_RotateBilevel90Words) | - | - | - | - |"

echo
echo "Whole processes, BMP file to BMP file"
echo
echo "| operation | lumora-img convert (ms) | ImageMagick convert (ms) | ratio |"
echo "|---|---|---|---|"
while IFS='|' read -r name input ours theirs; do
  # shellcheck disable=SC2086
  l=$(best_ms "$lumora" convert $ours "$work/$input" "$work/out_l.bmp")
  # shellcheck disable=SC2086
  m=$(best_ms "$im" "$work/$input" $theirs "BMP3:$work/out_m.bmp")
  awk -v n="$name" -v l="$l" -v m="$m" 'BEGIN { printf "| %s | %d | %d | %.1f |\n", n, l, m, m / (l < 1 ? 1 : l) }'
done <<'ROWS'
copy, 3-byte colour|photo.bmp||
rotate 90, 3-byte colour|photo.bmp|--rotate 90|-rotate 90
rotate 90, bilevel|bw.bmp|--rotate 90|-rotate 90
256 colours, no dither|photo.bmp|--colors 256|+dither -colors 256
16 colours, no dither|photo.bmp|--colors 16|+dither -colors 16
ROWS
