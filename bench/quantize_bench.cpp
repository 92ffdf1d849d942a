// Colour reduction of a 12-megapixel photograph: median cut to 256 and 16 colours, error-diffusion
// black and white, and the tone table applied to every byte.
#include <benchmark/benchmark.h>

#include "bench/bench_pictures.h"
#include "imagelib/ops/color_reduce.h"
#include "imagelib/ops/tone.h"

namespace lumora {
namespace {

const Bitmap* photo() {
  static bench::BitmapPtr b = bench::bench_photo();
  return b.get();
}

void run(benchmark::State& state, int code, int method) {
  const Bitmap* src = photo();
  for (auto _ : state) {
    Bitmap dst{};
    if (bitmap_convert(const_cast<Bitmap*>(src), &dst, code, method) != 0)
      state.SkipWithError("convert failed");
    benchmark::DoNotOptimize(dst.pixels);
    bitmap_free(&dst);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{src->width} * src->height);
}

void BM_Quantize256(benchmark::State& s) { run(s, kConvertPalette256, kMethodMedianCut); }
void BM_Quantize16(benchmark::State& s) { run(s, kConvertPalette16, kMethodMedianCut); }
void BM_BlackWhite(benchmark::State& s) { run(s, kConvertBlackWhite, kMethodErrorDiffusion); }

void BM_ApplyTone(benchmark::State& state) {
  Bitmap work{};
  if (!bitmap_alloc(&work, photo()->type, 4, photo()->width, photo()->height)) std::abort();
  std::memcpy(work.pixels, photo()->pixels, size_t{work.bytes_per_line} * work.height);
  uint8_t table[256];
  tone_table(table, 10, 20, 1.5);
  for (auto _ : state) benchmark::DoNotOptimize(bitmap_apply_tone(&work, table));
  state.SetItemsProcessed(state.iterations() * int64_t{work.width} * work.height);
  bitmap_free(&work);
}

BENCHMARK(BM_Quantize256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quantize16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlackWhite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyTone)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumora
