#pragma once
// Pictures for the operation benchmarks: a 12-megapixel photograph-like picture made here, or the
// binary PPM (P6, maxval 255) named by LUMORA_BENCH_PPM, so that other programs can be timed on
// the very same pixels.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "imagelib/core/bitmap.h"

namespace lumora::bench {

struct BitmapDeleter {
  void operator()(Bitmap* b) const {
    bitmap_free(b);
    delete b;
  }
};
using BitmapPtr = std::unique_ptr<Bitmap, BitmapDeleter>;

inline BitmapPtr new_bitmap(uint32_t type, int32_t w, int32_t h) {
  BitmapPtr b(new Bitmap{});
  if (!bitmap_alloc(b.get(), type, 4, w, h)) std::abort();
  return b;
}

// Reads a P6 file with maxval 255 into a blue-green-red picture; null when it cannot.
inline BitmapPtr read_ppm(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  int w = 0, h = 0, maxval = 0;
  BitmapPtr b;
  if (std::fscanf(f, "P6 %d %d %d", &w, &h, &maxval) == 3 && maxval == 255 && w > 0 && h > 0 &&
      w <= 65535 && h <= 65535 && std::fgetc(f) != EOF) {
    b = new_bitmap(kPixBGR, w, h);
    std::unique_ptr<uint8_t[]> row(new uint8_t[static_cast<size_t>(w) * 3]);
    for (int32_t y = 0; y < h && b; ++y) {
      if (std::fread(row.get(), 3, static_cast<size_t>(w), f) != static_cast<size_t>(w)) {
        b.reset();
        break;
      }
      uint8_t* out = bitmap_row(b.get(), y);
      for (int32_t x = 0; x < w; ++x) {
        out[3 * x] = row[3 * x + 2];
        out[3 * x + 1] = row[3 * x + 1];
        out[3 * x + 2] = row[3 * x];
      }
    }
  }
  std::fclose(f);
  return b;
}

// Smooth colour gradients with fine noise: tens of thousands of distinct colours, as a photograph.
inline BitmapPtr synthetic_photo(int32_t w, int32_t h) {
  BitmapPtr b = new_bitmap(kPixBGR, w, h);
  std::mt19937 rng(12345);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap_row(b.get(), y);
    for (int32_t x = 0; x < w; ++x, p += 3) {
      const double fx = x / static_cast<double>(w), fy = y / static_cast<double>(h);
      const int n = static_cast<int>(rng() % 9) - 4;
      auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      p[2] = clamp(128 + 110 * std::sin(6.0 * fx + 2.0 * fy) + n);
      p[1] = clamp(128 + 100 * std::cos(4.0 * fy - 3.0 * fx * fy) + n);
      p[0] = clamp(90 + 80 * std::sin(9.0 * fx * fy + 1.0) + n);
    }
  }
  return b;
}

// The picture the benchmarks work on: LUMORA_BENCH_PPM when set and readable, else 4000 × 3000.
inline BitmapPtr bench_photo() {
  if (const char* path = std::getenv("LUMORA_BENCH_PPM")) {
    if (BitmapPtr b = read_ppm(path)) return b;
    std::fprintf(stderr, "cannot read %s as a binary PPM; using the built-in picture\n", path);
  }
  return synthetic_photo(4000, 3000);
}

// Bilevel picture of the same size: white where the grey value is 128 or more.
inline BitmapPtr threshold(const Bitmap* src) {
  BitmapPtr b = new_bitmap(kPixBilevel, src->width, src->height);
  for (int32_t y = 0; y < src->height; ++y) {
    const uint8_t* p = bitmap_row(src, y);
    uint8_t* out = bitmap_row(b.get(), y);
    for (int32_t x = 0; x < src->width; ++x, p += 3)
      if (((29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8) >= 128) bit_or(out, x, 1);
  }
  return b;
}

}  // namespace lumora::bench
