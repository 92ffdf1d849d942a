// Resampler and on-the-fly reducer throughput (megapixels per second, of the larger of source and
// target), and the heap a reduced load holds while its rows arrive.
//
//   build/<dir>/bench/bench_resample --benchmark_counters_tabular=true
//
// The load benchmarks run the pipeline on a 4000 x 3000 24-bit picture made row by row by a
// reader registered here (no file decoding), reduced to 160 x 120. "heap_kB" is the largest heap
// in use while rows arrive minus the heap before the load; "out_kB" is the produced picture.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/ops/resample.h"

namespace {

using namespace lumora;

void fill(Bitmap* b, uint32_t seed) {
  std::mt19937 rng(seed);
  const size_t n = static_cast<size_t>(b->height) * b->bytes_per_line;
  for (size_t i = 0; i < n; ++i) b->pixels[i] = static_cast<uint8_t>(rng());
}

void set_rate(benchmark::State& state, int64_t pixels_per_iteration) {
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(pixels_per_iteration) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

// Args: source width, source height, target width, target height.
void BM_ResampleSmooth(benchmark::State& state) {
  Bitmap src{};
  bitmap_alloc(&src, kPixRGB, 4, static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  fill(&src, 1);
  for (auto _ : state) {
    Bitmap dst{};
    resample_smooth(&src, &dst, static_cast<int32_t>(state.range(2)), static_cast<int32_t>(state.range(3)), 0);
    benchmark::DoNotOptimize(dst.pixels);
    bitmap_free(&dst);
  }
  set_rate(state, std::max(state.range(0) * state.range(1), state.range(2) * state.range(3)));
  bitmap_free(&src);
}
BENCHMARK(BM_ResampleSmooth)
    ->Args({1600, 1200, 320, 240})
    ->Args({1600, 1200, 1200, 900})
    ->Args({320, 240, 1600, 1200})
    ->Unit(benchmark::kMillisecond);

void BM_ResampleShrink(benchmark::State& state) {
  const uint32_t type = static_cast<uint32_t>(state.range(4));
  Bitmap src{};
  bitmap_alloc(&src, type, 4, static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  fill(&src, 2);
  for (auto _ : state) {
    Bitmap dst{};
    resample_shrink(&src, &dst, static_cast<int32_t>(state.range(2)), static_cast<int32_t>(state.range(3)), kPixRGB);
    benchmark::DoNotOptimize(dst.pixels);
    bitmap_free(&dst);
  }
  set_rate(state, state.range(0) * state.range(1));
  bitmap_free(&src);
}
BENCHMARK(BM_ResampleShrink)
    ->Args({4000, 3000, 160, 120, kPixRGB})
    ->Args({1600, 1200, 800, 600, kPixRGB})
    ->Args({1600, 1200, 320, 240, kPixIndexed})
    ->Args({4000, 3000, 160, 120, kPixBilevel})
    ->Args({4000, 3000, 800, 600, kPixBilevel})
    ->Unit(benchmark::kMillisecond);

void BM_ResampleNearest(benchmark::State& state) {
  Bitmap src{};
  bitmap_alloc(&src, kPixRGB, 4, 1600, 1200);
  fill(&src, 3);
  for (auto _ : state) {
    Bitmap dst{};
    resample_nearest(&src, &dst, 320, 240);
    benchmark::DoNotOptimize(dst.pixels);
    bitmap_free(&dst);
  }
  set_rate(state, 320 * 240);
  bitmap_free(&src);
}
BENCHMARK(BM_ResampleNearest)->Unit(benchmark::kMillisecond);

// ---- loads through the pipeline --------------------------------------------------------------

constexpr int32_t kLoadWidth = 4000, kLoadHeight = 3000;
size_t g_heap_base = 0, g_heap_peak = 0;

// Bytes handed out by malloc, including the large blocks it maps separately.
size_t heap_in_use() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Delivers a 24-bit gradient picture row by row, as a decoder would.
int gradient_reader(ByteStream* s, LoadContext* ctx) {
  uint8_t magic[4];
  if (stream_read(s, magic, 4) || std::memcmp(magic, "LMBN", 4)) return 2;
  ImageHeader h;
  ctx->services.header_init(&h);
  h.width = kLoadWidth;
  h.height = kLoadHeight;
  h.bits_per_plane = 24;
  h.bytes_per_plane = 3 * kLoadWidth;
  int status = ctx->services.begin_image(ctx, &h);
  if (status) return status;
  for (int32_t y = 0; y < kLoadHeight && status == 0; ++y) {
    uint8_t* row = h.row_buffer;
    for (int32_t x = 0; x < kLoadWidth; ++x, row += 3) {
      row[0] = static_cast<uint8_t>(x);
      row[1] = static_cast<uint8_t>(y);
      row[2] = static_cast<uint8_t>(x + y);
    }
    status = ctx->services.put_rows(ctx, -1, y, 1);
  }
  ctx->services.end_image(ctx, 0, 0, nullptr);
  return status;
}

int sample_heap(int32_t, int32_t, void*) {
  g_heap_peak = std::max(g_heap_peak, heap_in_use());
  return 0;
}

struct BenchFile {
  std::string path;
  BenchFile() {
    char name[] = "/tmp/lumora_benchXXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) {
      if (write(fd, "LMBN", 4) != 4) path.clear();
      close(fd);
      path = name;
    }
  }
  ~BenchFile() {
    if (!path.empty()) std::remove(path.c_str());
  }
};

int register_reader() {
  static int index = -1;
  if (index >= 0) return index;
  library_start();
  FormatEntry row{};
  row.name = "gradient";
  row.description = "Gradient";
  row.reader = gradient_reader;
  index = format_register(row);
  return index;
}

// Arg 0: reduce mode (0 nearest, 2 averaging); arg 1: 1 = reduce to 160 x 120, 0 = full size.
void BM_LoadReduced(benchmark::State& state) {
  const int index = register_reader();
  BenchFile file;
  if (index < 0 || file.path.empty()) {
    state.SkipWithError("cannot set up the bench reader");
    return;
  }
  LoadParams p;
  load_params_init(&p);
  p.format_index = static_cast<int16_t>(index);
  p.reduce_mode = static_cast<uint32_t>(state.range(0));
  if (state.range(1)) p.max_width = 160, p.max_height = 120;
  p.row_callback = sample_heap;
  size_t heap = 0, produced = 0;
  for (auto _ : state) {
    Bitmap b{};
    g_heap_base = g_heap_peak = heap_in_use();
    if (load_image(file.path.c_str(), &b, &p, nullptr) != 0) {
      state.SkipWithError("load failed");
      break;
    }
    heap = std::max(heap, g_heap_peak - g_heap_base);
    produced = static_cast<size_t>(b.height) * b.bytes_per_line;
    bitmap_free(&b);
  }
  set_rate(state, static_cast<int64_t>(kLoadWidth) * kLoadHeight);
  state.counters["heap_kB"] = static_cast<double>(heap) / 1024;
  state.counters["out_kB"] = static_cast<double>(produced) / 1024;
}
BENCHMARK(BM_LoadReduced)
    ->Args({0, 1})
    ->Args({2, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace
