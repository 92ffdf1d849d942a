// Quarter and half turns of a 12-megapixel picture: 3-byte colour, and bilevel through the
// 32-bit word paths and through the bit-by-bit general path.
#include <benchmark/benchmark.h>

#include "bench/bench_pictures.h"
#include "imagelib/ops/rotate.h"

namespace lumora {
namespace {

const Bitmap* photo() {
  static bench::BitmapPtr b = bench::bench_photo();
  return b.get();
}
const Bitmap* bilevel() {
  static bench::BitmapPtr b = bench::threshold(photo());
  return b.get();
}

void run(benchmark::State& state, const Bitmap* src, RotateTurn turn, RotatePath path) {
  for (auto _ : state) {
    Bitmap dst{};
    if (bitmap_rotate_turn(src, &dst, turn, path) != 0) state.SkipWithError("rotate failed");
    benchmark::DoNotOptimize(dst.pixels);
    bitmap_free(&dst);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{src->width} * src->height);
  state.counters["megapixels"] = src->width * double(src->height) / 1e6;
}

void BM_RotateColor90(benchmark::State& s) { run(s, photo(), RotateTurn::kClockwise, RotatePath::kAuto); }
void BM_RotateColor180(benchmark::State& s) { run(s, photo(), RotateTurn::kHalf, RotatePath::kAuto); }
void BM_RotateBilevel90Words(benchmark::State& s) {
  run(s, bilevel(), RotateTurn::kClockwise, RotatePath::kAuto);
}
void BM_RotateBilevel90Bits(benchmark::State& s) {
  run(s, bilevel(), RotateTurn::kClockwise, RotatePath::kGeneral);
}
void BM_RotateBilevel180Words(benchmark::State& s) {
  run(s, bilevel(), RotateTurn::kHalf, RotatePath::kAuto);
}
void BM_RotateBilevel180Bits(benchmark::State& s) {
  run(s, bilevel(), RotateTurn::kHalf, RotatePath::kGeneral);
}

BENCHMARK(BM_RotateColor90)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateColor180)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateBilevel90Words)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateBilevel90Bits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateBilevel180Words)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateBilevel180Bits)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumora
