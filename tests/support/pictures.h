#pragma once
// Pictures built by the operation tests: random pixels of any type and pixel look-ups.
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imagelib/core/bitmap.h"

namespace lumora::test {

// An owned Bitmap released when it goes out of scope.
struct Picture {
  Bitmap b{};
  Picture() = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture() { bitmap_free(&b); }
  Bitmap* operator->() { return &b; }
  Bitmap* get() { return &b; }
};

// Fills every byte of the rows (padding included) and of the palette with random values.
inline void fill_random(Bitmap* b, uint32_t seed) {
  std::mt19937 rng(seed);
  const size_t bytes = static_cast<size_t>(b->height) * b->bytes_per_line;
  for (size_t i = 0; i < bytes; ++i) b->pixels[i] = static_cast<uint8_t>(rng());
  if (b->palette)
    for (int i = 0; i < kPaletteBytes; ++i) b->palette[i] = static_cast<uint8_t>(rng());
}

// The bytes of pixel (x, y): one 0/1 value for bilevel pictures, else its bytes_per_pixel bytes.
inline std::vector<uint8_t> pixel_at(const Bitmap* b, int32_t x, int32_t y) {
  const uint8_t* row = bitmap_row(b, y);
  if (b->type == kPixBilevel) return {static_cast<uint8_t>(bit_get(row, x))};
  const uint8_t* p = row + static_cast<size_t>(x) * b->bytes_per_pixel;
  return std::vector<uint8_t>(p, p + b->bytes_per_pixel);
}

inline bool same_pixels(const Bitmap* a, const Bitmap* b) {
  if (a->width != b->width || a->height != b->height || a->type != b->type) return false;
  for (int32_t y = 0; y < a->height; ++y)
    for (int32_t x = 0; x < a->width; ++x)
      if (pixel_at(a, x, y) != pixel_at(b, x, y)) return false;
  return true;
}

}  // namespace lumora::test
