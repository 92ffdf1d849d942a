// SGILog decompression: LogL16 luminance and LogLuv32 colour pixels (compression 34676), coded
// per row as run-length byte planes, most significant plane first, and LogLuv24 colour pixels
// (compression 34677) stored as they are; converted to 8-bit samples with the conversions of the
// published LogLuv encoding.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/codecs/tiff/tiff_logluv_table.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

// 16-bit log luminance: 256 steps per factor 2 (ln 2 / 256), offset so that 0 is the darkest.
constexpr double kL16Scale = 0.0027076061740622863;
constexpr double kL16Offset = 44.3614195558365;
constexpr double kUvScale = 410.0;
// 10-bit log luminance of LogLuv24: 64 steps per factor 2 (ln 2 / 64), 0 at 2^-12.
constexpr double kL10Scale = 0.010830424696249145;
constexpr double kL10Offset = 8.317766166719343;
// The white point's chromaticity, for colour indices outside the table.
constexpr double kNeutralU = 0.210526316;
constexpr double kNeutralV = 0.473684211;

// Sum of the rows' byte planes: 0, or 4 when the data ends.
int unpack_planes(const uint8_t* in, size_t in_size, size_t* at, uint32_t width, int planes,
                  uint32_t* pixels) {
  std::memset(pixels, 0, sizeof(uint32_t) * width);
  for (int plane = 0; plane < planes; ++plane) {
    const int shift = 8 * (planes - 1 - plane);
    uint32_t x = 0;
    while (x < width) {
      if (*at >= in_size) return kStatusFileEndsEarly;
      const uint32_t b = in[(*at)++];
      if (b >= 128) {
        if (*at >= in_size) return kStatusFileEndsEarly;
        const uint32_t value = in[(*at)++];
        for (uint32_t k = b - 126; k > 0 && x < width; --k) pixels[x++] |= value << shift;
      } else {
        for (uint32_t k = b; k > 0 && x < width; --k) {
          if (*at >= in_size) return kStatusFileEndsEarly;
          pixels[x++] |= static_cast<uint32_t>(in[(*at)++]) << shift;
        }
      }
    }
  }
  return kStatusOk;
}

void xyz_to_rgb_bytes(double X, double Y, double Z, uint8_t* out) {
  const double r = 2.690 * X - 1.276 * Y - 0.414 * Z;
  const double g = -1.022 * X + 1.978 * Y + 0.044 * Z;
  const double b = 0.061 * X - 0.224 * Y + 1.163 * Z;
  out[0] = luminance_byte(r);
  out[1] = luminance_byte(g);
  out[2] = luminance_byte(b);
}

void luv_to_rgb(double Y, double u, double v, uint8_t* out) {
  if (!(Y > 0.0)) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  const double s = 1.0 / (6.0 * u - 16.0 * v + 12.0);
  const double x = 9.0 * u * s;
  const double y = 4.0 * v * s;
  if (!(y > 0.0)) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  xyz_to_rgb_bytes(x / y * Y, Y, (1.0 - x - y) / y * Y, out);
}

// u'v' of a 14-bit LogLuv24 colour index: the band whose first index is the last one not above
// `index`, then the square's centre within it.
void logluv24_uv(uint32_t index, double* u, double* v) {
  if (index >= kLogLuvUvCells) {
    *u = kNeutralU;
    *v = kNeutralV;
    return;
  }
  const LogLuvUvRow* end = kLogLuvUvTable + kLogLuvUvRows;
  const LogLuvUvRow* row =
      std::upper_bound(kLogLuvUvTable, end, index,
                       [](uint32_t i, const LogLuvUvRow& r) { return i < r.offset; }) - 1;
  const auto band = static_cast<uint32_t>(row - kLogLuvUvTable);
  *u = row->u_start + (index - row->offset + 0.5) * kLogLuvUvSquare;
  *v = kLogLuvVStart + (band + 0.5) * kLogLuvUvSquare;
}

}  // namespace

void logluv24_to_rgb(uint32_t p, uint8_t out[3]) {
  const uint32_t l10 = (p >> 14) & 0x3FF;
  if (l10 == 0) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  double u = 0.0, v = 0.0;
  logluv24_uv(p & 0x3FFF, &u, &v);
  luv_to_rgb(std::exp((l10 + 0.5) * kL10Scale - kL10Offset), u, v, out);
}

DecodeResult decode_logluv24(const uint8_t* in, size_t in_size, uint8_t* out, uint32_t width,
                             uint32_t rows) {
  DecodeResult r;
  const size_t wanted = static_cast<size_t>(width) * rows;
  const size_t pixels = std::min(wanted, in_size / 3);
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* b = in + 3 * i;
    logluv24_to_rgb(static_cast<uint32_t>(b[0]) << 16 | static_cast<uint32_t>(b[1]) << 8 | b[2],
                    out + 3 * i);
  }
  r.produced = 3 * pixels;
  if (pixels < wanted) r.status = kStatusFileEndsEarly;
  return r;
}

double logl16_to_y(uint32_t p16) {
  const uint32_t p = p16 & 0x7FFF;
  if (p == 0) return 0.0;
  const double y = std::exp((p + 0.5) * kL16Scale - kL16Offset);
  return (p16 & 0x8000) ? -y : y;
}

uint8_t luminance_byte(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 1.0) return 255;
  return static_cast<uint8_t>(256.0 * std::sqrt(value));
}

DecodeResult decode_sgilog(const uint8_t* in, size_t in_size, uint8_t* out, uint32_t width,
                           uint32_t rows, bool luv) {
  DecodeResult r;
  std::vector<uint32_t> pixels;
  try {
    pixels.resize(width);
  } catch (const std::bad_alloc&) {
    r.status = kStatusNoMemory;
    return r;
  }
  const size_t row_bytes = static_cast<size_t>(width) * (luv ? 3 : 1);
  size_t at = 0;
  for (uint32_t y = 0; y < rows; ++y) {
    const int status = unpack_planes(in, in_size, &at, width, luv ? 4 : 2, pixels.data());
    uint8_t* row = out + y * row_bytes;
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = pixels[x];
      if (luv) {
        const double Y = logl16_to_y(p >> 16);
        luv_to_rgb(Y, (((p >> 8) & 0xFF) + 0.5) / kUvScale, ((p & 0xFF) + 0.5) / kUvScale,
                   row + 3 * static_cast<size_t>(x));
      } else {
        row[x] = luminance_byte(logl16_to_y(p & 0xFFFF));
      }
    }
    r.produced = (y + 1) * row_bytes;
    if (status != kStatusOk) {
      r.status = status;
      return r;
    }
  }
  return r;
}

}  // namespace lumora::tiff
