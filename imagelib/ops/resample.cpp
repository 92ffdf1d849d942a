#include "imagelib/ops/resample.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "imagelib/core/status.h"
#include "imagelib/ops/box_shrink.h"

namespace lumora {

namespace {

// A source the operations can walk safely: pixels present, sizes positive, rows long enough.
bool usable_source(const Bitmap* b) {
  if (!b || !b->pixels || b->width < 1 || b->height < 1) return false;
  if (b->type != kPixBilevel && b->bytes_per_pixel < 1) return false;
  uint32_t need = bitmap_row_bytes(b->type, b->width, b->bytes_per_pixel);
  return need != 0 && b->bytes_per_line >= need;
}

bool is_deep(const Bitmap* b) { return b->type != kPixBilevel && b->bits_per_sample > 8; }

// The finished result goes to `dst`, or replaces the source when `dst` is null.
void deliver(Bitmap* src, Bitmap* dst, Bitmap& result) {
  if (dst) {
    *dst = result;
  } else {
    bitmap_free(src);
    *src = result;
  }
}

// Colours count, transparent index, attributes and palette travel with every result.
void carry_over(Bitmap& result, const Bitmap* src) {
  result.colors = src->colors;
  result.transparent_index = src->transparent_index;
  bitmap_copy_attributes(&result, src);
  if (result.palette && src->palette) std::memcpy(result.palette, src->palette, kPaletteBytes);
}

// ---- smooth ---------------------------------------------------------------------------------

enum class SmoothMode { kBilinear, kHorizontal, kVertical, kBox };

// The area-weighted walk over source pieces. T is the sample type: 8-bit for ordinary pictures,
// 16 or 32 bits for deep ones; each pixel is bytes_per_pixel / sizeof(T) independent channels.
template <typename T>
int smooth_path(Bitmap* src, Bitmap* dst, int32_t width, int32_t height) {
  Bitmap out{};
  if (!bitmap_alloc_like(&out, src, width, height)) {
    bitmap_free(&out);
    return kStatusNoMemory;
  }
  const int ch = src->bytes_per_pixel / static_cast<int>(sizeof(T));
  std::vector<double> acc;
  try {
    acc.assign((static_cast<size_t>(width) + 10) * ch, 0.0);
  } catch (const std::bad_alloc&) {
    bitmap_free(&out);
    return kStatusNoMemory;
  }
  const int32_t sw = src->width, sh = src->height;
  const double sx = static_cast<double>(sw) / width;
  const double sy = static_cast<double>(sh) / height;
  SmoothMode mode = (sx < 1.0 && sy < 1.0) ? SmoothMode::kBilinear
                    : sx < 1.0             ? SmoothMode::kHorizontal
                    : sy < 1.0             ? SmoothMode::kVertical
                                           : SmoothMode::kBox;
  const double scale = 1.0 / (sx * sy);
  const double top = static_cast<double>(std::numeric_limits<T>::max());
  const size_t row_samples = static_cast<size_t>(width) * ch;

  int32_t j = 0, rows_done = 0;
  double ye = 0.0, ys = 0.0;
  while (rows_done < height) {
    const int32_t r = std::min(j, sh - 1);  // the source row being read
    double t = ye + sy, dy, fy;
    bool row_complete;
    if (t <= j + 1 + 0.0001 || j >= sh - 1) {
      dy = t - ys;
      fy = t - j;
      row_complete = true;
      ye = t;
    } else {
      ++j;
      dy = j - ys;
      fy = 1.0;
      row_complete = false;
    }
    ys += dy;
    const T* row = reinterpret_cast<const T*>(bitmap_row(src, r));
    const T* below = reinterpret_cast<const T*>(bitmap_row(src, r + 1 < sh ? r + 1 : r));

    int32_t i = 0, done = 0;
    double xe = 0.0, xs = 0.0;
    double* a = acc.data();
    while (done < width) {
      const int32_t c = std::min(i, sw - 1);
      double tx = xe + sx, dx, fx;
      bool pixel_complete;
      if (tx <= i + 1 + 0.0001 || i >= sw - 1) {
        dx = tx - xs;
        fx = tx - i;
        pixel_complete = true;
        xe = tx;
      } else {
        ++i;
        dx = i - xs;
        fx = 1.0;
        pixel_complete = false;
      }
      xs += dx;
      const int32_t cr = c + 1 < sw ? c + 1 : c;
      const T* p = row + static_cast<size_t>(c) * ch;
      const T* pr = row + static_cast<size_t>(cr) * ch;
      const T* pb = below + static_cast<size_t>(c) * ch;
      const T* pbr = below + static_cast<size_t>(cr) * ch;
      const double weight = dx * dy;
      for (int k = 0; k < ch; ++k) {
        double v;
        switch (mode) {
          case SmoothMode::kBilinear:
            v = (pb[k] * (1 - fx) + pbr[k] * fx) * fy + (p[k] * (1 - fx) + pr[k] * fx) * (1 - fy);
            break;
          case SmoothMode::kHorizontal: v = p[k] * (1 - fx) + pr[k] * fx; break;
          case SmoothMode::kVertical: v = p[k] * (1 - fy) + pb[k] * fy; break;
          default: v = p[k]; break;
        }
        a[k] += v * weight;
      }
      if (pixel_complete) {
        a += ch;
        ++done;
      }
    }
    if (row_complete) {
      T* o = reinterpret_cast<T*>(bitmap_row(&out, rows_done));
      for (size_t q = 0; q < row_samples; ++q) {
        double v = acc[q] * scale + 0.0001;
        o[q] = static_cast<T>(v <= 0 ? 0 : v >= top ? top : v);
      }
      std::fill(acc.begin(), acc.end(), 0.0);
      ++rows_done;
    }
  }
  carry_over(out, src);
  deliver(src, dst, out);
  return kStatusOk;
}

int smooth_any(Bitmap* src, Bitmap* dst, int32_t width, int32_t height) {
  if (!is_deep(src)) return smooth_path<uint8_t>(src, dst, width, height);
  if (src->bits_per_sample <= 16) return smooth_path<uint16_t>(src, dst, width, height);
  return smooth_path<uint32_t>(src, dst, width, height);
}

// ---- fast reduction -------------------------------------------------------------------------

// Box shrink of a whole picture. `fetch(y, samples)` fills `src_cols` x `n` samples of source
// row y.
template <typename Fetch>
int box_shrink(int32_t src_cols, int32_t src_rows, Bitmap* out, int n, Fetch fetch) {
  BoxShrinker shrinker;
  int status = shrinker.init(src_cols, src_rows, out->width, out->height, n);
  if (status != kStatusOk) return status;
  std::vector<uint8_t> samples;
  try {
    samples.resize(static_cast<size_t>(src_cols) * n);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  const size_t row_bytes = static_cast<size_t>(out->width) * n;
  int32_t target = 0;
  for (int32_t y = 0; y < src_rows; ++y) {
    fetch(y, samples.data());
    if (const uint8_t* row = shrinker.feed(samples.data(), &target))
      std::memcpy(bitmap_row(out, target), row, row_bytes);
  }
  if (const uint8_t* row = shrinker.finish(&target))
    std::memcpy(bitmap_row(out, target), row, row_bytes);
  return kStatusOk;
}

// Grey levels of a type-2 source scaled to 0..255 (a `colors` below 2 is taken as 256).
uint8_t grey_sample(uint8_t v, int colors) {
  if (colors < 2 || colors > 256) return v;
  unsigned s = v * 255u / (colors - 1);
  return static_cast<uint8_t>(s > 255 ? 255 : s);
}

int shrink_bilevel(Bitmap* src, Bitmap* out) {
  const int32_t sw = src->width;
  const double sx = static_cast<double>(sw) / out->width;
  if (sx < 10.0) {
    return box_shrink(sw, src->height, out, 1, [&](int32_t y, uint8_t* s) {
      const uint8_t* row = bitmap_row(src, y);
      for (int32_t x = 0; x < sw; ++x) s[x] = bit_get(row, x) ? 255 : 0;
    });
  }
  // Wide reductions take whole bytes as samples. A byte's sample is the share of its eight
  // pixels that are white; the last data byte and the row padding take the colour of the first
  // row's last pixel, so the padding does not darken the right edge.
  const int32_t cols = static_cast<int32_t>(src->bytes_per_line);
  const int32_t data_end = (sw + 7) / 8 - 1;
  const uint8_t fill = bit_get(src->pixels, sw - 1) ? 255 : 0;
  return box_shrink(cols, src->height, out, 1, [&](int32_t y, uint8_t* s) {
    const uint8_t* row = bitmap_row(src, y);
    for (int32_t x = 0; x < cols; ++x)
      s[x] = x >= data_end ? fill : static_cast<uint8_t>(std::popcount(row[x]) * 255 / 8);
  });
}

int shrink_reduce(Bitmap* src, Bitmap* dst, int32_t width, int32_t height, uint16_t color_type) {
  Bitmap out{};
  uint16_t type;
  if (src->type == kPixBilevel || src->type == kPixGrey) {
    type = kPixGrey;
  } else if (src->type == kPixIndexed) {
    type = color_type;
  } else {
    type = src->type;
  }
  if (!bitmap_alloc(&out, type, src->alignment, width, height)) {
    bitmap_free(&out);
    return kStatusNoMemory;
  }
  const int n = out.bytes_per_pixel;
  int status;
  if (src->type == kPixBilevel) {
    status = shrink_bilevel(src, &out);
  } else if (src->type == kPixIndexed) {
    const uint8_t* pal = src->palette;
    const int first = color_type == kPixRGB ? kPalR : kPalB;
    const int last = color_type == kPixRGB ? kPalB : kPalR;
    status = box_shrink(src->width, src->height, &out, 3, [&](int32_t y, uint8_t* s) {
      const uint8_t* row = bitmap_row(src, y);
      for (int32_t x = 0; x < src->width; ++x, s += 3) {
        s[0] = pal[first + row[x]];
        s[1] = pal[kPalG + row[x]];
        s[2] = pal[last + row[x]];
      }
    });
  } else if (src->type == kPixGrey) {
    const int colors = src->colors;
    status = box_shrink(src->width, src->height, &out, 1, [&](int32_t y, uint8_t* s) {
      const uint8_t* row = bitmap_row(src, y);
      for (int32_t x = 0; x < src->width; ++x) s[x] = grey_sample(row[x], colors);
    });
  } else {
    const size_t bytes = static_cast<size_t>(src->width) * n;
    status = box_shrink(src->width, src->height, &out, n, [&](int32_t y, uint8_t* s) {
      std::memcpy(s, bitmap_row(src, y), bytes);
    });
  }
  if (status != kStatusOk) {
    bitmap_free(&out);
    return status;
  }
  carry_over(out, src);
  if (type == kPixGrey) out.colors = 256;
  if (type & kMaskColor) out.colors = 0;
  deliver(src, dst, out);
  return kStatusOk;
}

}  // namespace

int bitmap_alloc_like(Bitmap* dst, const Bitmap* src, int32_t width, int32_t height) {
  const int alignment = src->alignment < 1 ? 1 : src->alignment;
  if (!is_deep(src)) return bitmap_alloc(dst, src->type, alignment, width, height);
  // Deep samples keep the source's bytes per pixel (2 or 4 bytes per sample).
  const uint64_t raw = static_cast<uint64_t>(width) * src->bytes_per_pixel;
  const uint64_t line = (raw + alignment - 1) / alignment * alignment;
  if (width < 0 || height < 0 || line > std::numeric_limits<uint32_t>::max()) {
    std::memset(dst, 0, sizeof *dst);
    return 0;
  }
  if (!bitmap_init(dst, src->type, static_cast<uint32_t>(line), width, height, 1)) return 0;
  dst->alignment = static_cast<uint16_t>(alignment);
  dst->bytes_per_pixel = src->bytes_per_pixel;
  dst->bits_per_sample = src->bits_per_sample;
  dst->samples_per_pixel = src->samples_per_pixel;
  return 1;
}

int resample_nearest(Bitmap* src, Bitmap* dst, int32_t width, int32_t height) {
  if (width < 1 || height < 1 || !usable_source(src)) return kStatusBadArguments;
  Bitmap out{};
  if (!bitmap_alloc_like(&out, src, width, height)) {
    bitmap_free(&out);
    return kStatusNoMemory;
  }
  const bool bilevel = src->type == kPixBilevel;
  const uint32_t bpp = bilevel ? 1 : src->bytes_per_pixel;
  std::vector<uint32_t> columns;
  try {
    columns.resize(width);
  } catch (const std::bad_alloc&) {
    bitmap_free(&out);
    return kStatusNoMemory;
  }
  for (int32_t x = 0; x < width; ++x)
    columns[x] = static_cast<uint32_t>(static_cast<uint64_t>(x) * src->width / width) * bpp;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* from = bitmap_row(src, static_cast<int32_t>(
                                              static_cast<uint64_t>(y) * src->height / height));
    uint8_t* to = bitmap_row(&out, y);
    if (bilevel) {
      for (int32_t x = 0; x < width; ++x) bit_or(to, x, bit_get(from, columns[x]));
    } else {
      for (int32_t x = 0; x < width; ++x) std::memcpy(to + x * bpp, from + columns[x], bpp);
    }
  }
  carry_over(out, src);
  deliver(src, dst, out);
  return kStatusOk;
}

int resample_smooth(Bitmap* src, Bitmap* dst, int32_t width, int32_t height, int method) {
  if (width < 1 || height < 1 || !usable_source(src)) return kStatusBadArguments;
  if (method == kResampleNearest || src->type == kPixIndexed || src->type == kPixBilevel)
    return resample_nearest(src, dst, width, height);
  return smooth_any(src, dst, width, height);
}

int resample_shrink(Bitmap* src, Bitmap* dst, int32_t width, int32_t height,
                    uint16_t color_type) {
  if (width < 1 || height < 1 || !usable_source(src)) return kStatusBadArguments;
  if (src->type == kPixBilevel) {
    if (src->width <= width || src->height <= height) return kStatusBadArguments;
    return shrink_reduce(src, dst, width, height, color_type);
  }
  if (src->type == kPixIndexed && color_type != kPixRGB && color_type != kPixBGR)
    return kStatusBadArguments;
  // 16- and 32-bit samples do not fit the 8-bit fixed-point sums: average them smoothly.
  if (is_deep(src)) return smooth_any(src, dst, width, height);
  if (width <= src->width && height <= src->height)
    return shrink_reduce(src, dst, width, height, color_type);
  // An enlarged axis has no meaning for the box shrink; palette pictures still become
  // true colour first, then the smooth resampler does the resize.
  if (src->type != kPixIndexed) return smooth_any(src, dst, width, height);
  Bitmap colour{};
  int status = shrink_reduce(src, &colour, src->width, src->height, color_type);
  if (status != kStatusOk) return status;
  Bitmap result{};
  status = smooth_any(&colour, &result, width, height);
  bitmap_free(&colour);
  if (status != kStatusOk) return status;
  deliver(src, dst, result);
  return kStatusOk;
}

int bitmap_duplicate(const Bitmap* src, Bitmap* dst) {
  if (!dst) return kStatusOk;
  if (!src || !src->pixels) {
    std::memset(dst, 0, sizeof *dst);
    return kStatusBadArguments;
  }
  Bitmap out{};
  if (!bitmap_alloc_like(&out, src, src->width, src->height) ||
      out.bytes_per_line != src->bytes_per_line) {
    // A source whose row length differs from its alignment's (built by hand) keeps its own.
    bitmap_free(&out);
    if (!bitmap_init(&out, src->type, src->bytes_per_line, src->width, src->height, 1)) {
      bitmap_free(&out);
      return kStatusNoMemory;
    }
    out.alignment = src->alignment;
    out.bytes_per_pixel = src->bytes_per_pixel;
    out.bits_per_sample = src->bits_per_sample;
    out.samples_per_pixel = src->samples_per_pixel;
  }
  std::memcpy(out.pixels, src->pixels, static_cast<size_t>(src->height) * src->bytes_per_line);
  out.colors = src->colors;
  out.transparent_index = src->transparent_index;
  bitmap_copy_attributes(&out, src);
  if (out.palette && src->palette) std::memcpy(out.palette, src->palette, kPaletteBytes);
  *dst = out;
  return kStatusOk;
}

}  // namespace lumora
