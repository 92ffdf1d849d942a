#include "imagelib/ops/tone.h"

#include <cmath>

#include "imagelib/core/status.h"

namespace lumora {
namespace {

constexpr double kOneOver255 = 0.00392156862745098;

int clamp_byte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
int clamp_tone(int v) { return v < kToneMin ? kToneMin : v > kToneMax ? kToneMax : v; }

int apply_contrast(int x, int c) {
  if (c >= kToneMax) {
    // The limit of the stretch as c..255−c narrows to nothing: a hard threshold. The stretch
    // formula itself would divide by 255 − 256 = −1 and invert the picture.
    return x < 128 ? 0 : 255;
  }
  double y;
  if (c > 0)
    y = (x - c) * 255.0 / (255 - 2 * c);
  else
    y = (255 + 2 * c) * x * kOneOver255 - c;
  return clamp_byte(static_cast<int>(std::trunc(y)));
}

}  // namespace

void tone_table(uint8_t table[256], int brightness, int contrast, double gamma) {
  brightness = clamp_tone(brightness);
  contrast = clamp_tone(contrast);
  const bool neutral_gamma = !(gamma > 0) || !std::isfinite(gamma) ||
                             (gamma >= 0.9999 && gamma <= 1.0001);
  for (int i = 0; i < 256; ++i) {
    int y = apply_contrast(clamp_byte(i + brightness), contrast);
    if (!neutral_gamma) y = static_cast<int>(std::pow(y * kOneOver255, 1.0 / gamma) * 255 + 0.5);
    table[i] = static_cast<uint8_t>(clamp_byte(y));
  }
}

int bitmap_apply_tone(Bitmap* b, const uint8_t table[256]) {
  if (!b || b->palette || b->bits_per_sample < 8) return kStatusBadArguments;
  if (b->width <= 0 || b->height <= 0) return kStatusOk;
  if (!b->pixels) return kStatusBadArguments;
  const uint64_t row = static_cast<uint64_t>(b->width) * b->bytes_per_pixel;
  if (row > b->bytes_per_line) return kStatusBadArguments;
  for (int32_t y = 0; y < b->height; ++y) {
    uint8_t* p = bitmap_row(b, y);
    for (uint64_t i = 0; i < row; ++i) p[i] = table[p[i]];
  }
  return kStatusOk;
}

}  // namespace lumora
