// The browser's thumbnail (46 x 46 box, quick decoding, averaging) of a 12-megapixel JPEG without
// an Exif thumbnail and of a large PNG, decoded from the picture against read from a warm
// freedesktop.org thumbnail cache (a private $XDG_CACHE_HOME), and the cost of filling the cache.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_pictures.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "imagelib/thumbcache/thumb_cache.h"

namespace lumora::bench {
namespace {

struct Files {
  std::string dir, jpeg, png;
  Files() {
    library_start();
    char pattern[] = "/tmp/lumora-thumbcache-bench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    dir = pattern;
    setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
    BitmapPtr photo = bench_photo();
    jpeg = dir + "/photo.jpg";
    png = dir + "/photo.png";
    SaveParams s;
    save_params_init(&s);
    s.format_index = kFormatJpeg;
    s.quality = 90;
    if (save_image(jpeg.c_str(), photo.get(), &s) != 0) std::abort();
    s.format_index = kFormatPng;
    if (save_image(png.c_str(), photo.get(), &s) != 0) std::abort();
  }
  ~Files() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

const Files& files() {
  static Files f;
  return f;
}

LoadParams browser_params(int box) {
  LoadParams p;
  load_params_init(&p);
  p.component_order = 1;
  p.alignment = 4;
  p.flags = kLoadApplicationFlags | kLoadQuick;
  p.reduce_mode = kReduceAverage;
  p.max_width = p.max_height = box;
  p.use_embedded = 1;
  return p;
}

const std::string& file_for(int which) { return which == 0 ? files().jpeg : files().png; }

// Decoded from the picture, as without a cache.
void BM_Uncached(benchmark::State& state) {
  const std::string& path = file_for(static_cast<int>(state.range(0)));
  const LoadParams p = browser_params(46);
  for (auto _ : state) {
    Bitmap b{};
    if (load_image(path.c_str(), &b, &p, nullptr) != 0) state.SkipWithError("load failed");
    bitmap_free(&b);
  }
}

// First visit with the cache: decoded at the cache's 128-pixel size and stored.
void BM_DecodeAndStore(benchmark::State& state) {
  const std::string& path = file_for(static_cast<int>(state.range(0)));
  const LoadParams p = browser_params(kThumbNormalSize);
  for (auto _ : state) {
    Bitmap b{};
    if (load_image(path.c_str(), &b, &p, nullptr) != 0 || thumb_cache_store(path.c_str(), &b) != 0)
      state.SkipWithError("load or store failed");
    bitmap_free(&b);
  }
}

// Later visits: the cached 128-pixel PNG, checked and fitted to the box.
void BM_Cached(benchmark::State& state) {
  const std::string& path = file_for(static_cast<int>(state.range(0)));
  const LoadParams fill = browser_params(kThumbNormalSize);
  Bitmap b{};
  if (load_image(path.c_str(), &b, &fill, nullptr) != 0 || thumb_cache_store(path.c_str(), &b) != 0)
    state.SkipWithError("cannot fill the cache");
  bitmap_free(&b);
  const LoadParams p = browser_params(46);
  for (auto _ : state) {
    Bitmap t{};
    if (thumb_cache_lookup(path.c_str(), 46, &t, &p) != 0) state.SkipWithError("cache miss");
    bitmap_free(&t);
  }
}

// Argument 0: the 12-megapixel JPEG (no Exif thumbnail); 1: the same picture as PNG.
BENCHMARK(BM_Uncached)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_DecodeAndStore)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Cached)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
}  // namespace lumora::bench
