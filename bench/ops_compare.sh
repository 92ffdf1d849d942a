#!/usr/bin/env bash
# Times rotation and colour reduction of one 12-megapixel picture by Lumora's kernels
# (bench_rotate, bench_quantize) and by ImageMagick's convert on the very same pixels, in one run.
# ImageMagick's figures include reading and writing a PPM file, so a plain copy is timed as well
# and subtracted to estimate the operation alone.
#   usage: bench/ops_compare.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:?usage: ops_compare.sh BUILD_DIR [WORK_DIR]}
work=${2:-$(mktemp -d)}
im=/usr/bin/convert
[ -x "$im" ] || im=$(command -v convert || true)
if [ -z "$im" ] || ! "$im" -version 2>/dev/null | grep -q ImageMagick; then
  echo "ImageMagick's convert not found; nothing to compare" >&2
  exit 1
fi
for b in bench_rotate bench_quantize; do
  [ -x "$build/bench/$b" ] || { echo "$build/bench/$b not built" >&2; exit 1; }
done

photo=$work/photo.ppm
bw=$work/bw.pbm
[ -f "$photo" ] || "$im" -seed 7 -size 4000x3000 plasma:fractal -depth 8 "$photo"
[ -f "$bw" ] || "$im" "$photo" -colorspace gray -threshold 50% -depth 1 "$bw"

# Best of three wall-clock runs, in milliseconds.
best_ms() {
  local best=
  for _ in 1 2 3; do
    local t0 t1 ms
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

lumora_ms() {  # bench program, benchmark name -> real time in ms
  LUMORA_BENCH_PPM=$photo "$build/bench/$1" --benchmark_filter="^$2\$" --benchmark_format=csv \
      --benchmark_repetitions=3 --benchmark_report_aggregates_only=true 2>/dev/null |
    awk -F, -v n="\"$2_median\"" '$1 == n { printf "%.1f", $3 }'
}

copy_rgb=$(best_ms "$im" "$photo" -depth 8 "$work/out.ppm")
copy_bw=$(best_ms "$im" "$bw" "$work/out.pbm")
rows=(
  "rotate 90, 3-byte colour|bench_rotate|BM_RotateColor90|$(best_ms "$im" "$photo" -rotate 90 -depth 8 "$work/out.ppm")|$copy_rgb"
  "rotate 180, 3-byte colour|bench_rotate|BM_RotateColor180|$(best_ms "$im" "$photo" -rotate 180 -depth 8 "$work/out.ppm")|$copy_rgb"
  "rotate 90, bilevel|bench_rotate|BM_RotateBilevel90Words|$(best_ms "$im" "$bw" -rotate 90 "$work/out.pbm")|$copy_bw"
  "256 colours, no dither|bench_quantize|BM_Quantize256|$(best_ms "$im" "$photo" +dither -colors 256 "$work/out.ppm")|$copy_rgb"
  "16 colours, no dither|bench_quantize|BM_Quantize16|$(best_ms "$im" "$photo" +dither -colors 16 "$work/out.ppm")|$copy_rgb"
)
echo "| operation | Lumora kernel (ms) | ImageMagick with file I/O (ms) | ImageMagick copy only (ms) | ImageMagick op estimate (ms) | ratio op estimate / Lumora |"
echo "|---|---|---|---|---|---|"
for r in "${rows[@]}"; do
  IFS='|' read -r name prog bm im_total im_copy <<<"$r"
  ours=$(lumora_ms "$prog" "$bm")
  awk -v n="$name" -v o="$ours" -v t="$im_total" -v c="$im_copy" 'BEGIN {
    e = t - c; if (e < 1) e = 1;
    printf "| %s | %s | %d | %d | %d | %.1f |\n", n, o, t, c, e, e / o }'
done
