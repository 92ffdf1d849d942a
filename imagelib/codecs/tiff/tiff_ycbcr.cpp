// YCbCr to RGB for uncompressed, LZW and deflate pages (TIFF 6.0 section 21): the data come in
// blocks of h x v luma samples followed by one Cb and one Cr sample.
#include <algorithm>

#include "imagelib/codecs/tiff/tiff_internal.h"

namespace lumora::tiff {

namespace {

uint8_t clamp_byte(float v) {
  if (v <= 0.0f) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<uint8_t>(v);
}

}  // namespace

void ycbcr_to_rgb(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_row_bytes,
                  uint32_t width, uint32_t rows, uint32_t h, uint32_t v, const float luma[3]) {
  const float lr = luma[0], lg = luma[1] != 0.0f ? luma[1] : 0.587f, lb = luma[2];
  const float cr_r = 2.0f - 2.0f * lr;
  const float cb_b = 2.0f - 2.0f * lb;
  const float cb_g = lb * cb_b / lg;
  const float cr_g = lr * cr_r / lg;
  const size_t block = static_cast<size_t>(h) * v + 2;
  size_t at = 0;
  // Blocks at the right and bottom edges that overhang the picture are converted in part.
  for (uint32_t y0 = 0; y0 < rows; y0 += v) {
    for (uint32_t x0 = 0; x0 < width; x0 += h) {
      if (at + block > in_size) return;
      const uint8_t* b = in + at;
      at += block;
      const float cb = static_cast<float>(b[h * v]) - 128.0f;
      const float cr = static_cast<float>(b[h * v + 1]) - 128.0f;
      for (uint32_t j = 0; j < v && y0 + j < rows; ++j) {
        uint8_t* row = out + static_cast<size_t>(y0 + j) * out_row_bytes;
        for (uint32_t i = 0; i < h && x0 + i < width; ++i) {
          const float y = b[j * h + i];
          uint8_t* p = row + static_cast<size_t>(x0 + i) * 3;
          p[0] = clamp_byte(y + cr_r * cr);
          p[1] = clamp_byte(y - cb_g * cb - cr_g * cr);
          p[2] = clamp_byte(y + cb_b * cb);
        }
      }
    }
  }
}

}  // namespace lumora::tiff
