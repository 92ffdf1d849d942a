#include "imagelib/ops/color_reduce.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/core/status.h"
#include "imagelib/ops/color_rows.h"
#include "imagelib/ops/median_cut.h"
#include "imagelib/ops/resample.h"

namespace lumora {
namespace {

// Black and white by error diffusion: 3/8 of a pixel's error goes right, 3/8 down, 1/4 down
// and right, always scanning left to right.
int to_black_white(const Bitmap* src, const ColorRows& rows, Bitmap* dst) {
  if (bitmap_clone_layout(dst, kPixBilevel, src) != 0) return kStatusNoMemory;
  const int32_t w = src->width;
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * 3);
  // Two error rows of width + 1 entries that swap roles every row; the extra entry takes the
  // share pushed past the right edge.
  std::vector<int32_t> errors_a(static_cast<size_t>(w) + 1), errors_b(static_cast<size_t>(w) + 1);
  int32_t* cur = errors_a.data();
  int32_t* next = errors_b.data();
  for (int32_t y = 0; y < src->height; ++y) {
    rows.read(y, rgb.data());
    uint8_t* out = bitmap_row(dst, y);
    const uint8_t* p = rgb.data();
    for (int32_t x = 0; x < w; ++x, p += 3) {
      const int32_t g = grey_of(p[0], p[1], p[2]) + cur[x];
      const bool white = g >= 128;
      const int32_t e = white ? g - 255 : g;
      if (white) bit_or(out, x, 1);
      const int32_t q = 3 * e / 8;
      cur[x] = 0;
      cur[x + 1] += q;
      next[x] += q;
      next[x + 1] += e / 4;
    }
    // The share pushed past the edge is dropped, so the buffer is clean as the next "next" row.
    cur[w] = 0;
    std::swap(cur, next);
  }
  return kStatusOk;
}

// Bilevel to palette: entry 0 black, entry 1 white, each bit its index.
void bilevel_to_palette(const Bitmap* src, Bitmap* dst) {
  dst->palette[kPalR + 1] = dst->palette[kPalG + 1] = dst->palette[kPalB + 1] = 255;
  for (int32_t y = 0; y < src->height; ++y) {
    const uint8_t* in = bitmap_row(src, y);
    uint8_t* out = bitmap_row(dst, y);
    for (int32_t x = 0; x < src->width; ++x) out[x] = static_cast<uint8_t>(bit_get(in, x));
  }
}

// Distinct 24-bit colours in order of first appearance, found through a small open-addressing
// table. Gives up once more than `limit` colours have been seen.
class ColorSet {
 public:
  explicit ColorSet(int limit) : limit_(limit) { keys_.fill(kEmpty); }
  // Index of the colour, adding it when new; -1 when it would exceed the limit.
  int index_of(uint32_t key) {
    if (key == last_key_) return last_index_;
    uint32_t slot = (key * 2654435761u) >> (32 - kBits);
    while (keys_[slot] != kEmpty) {
      if (keys_[slot] == key) return remember(key, values_[slot]);
      slot = (slot + 1) & (kSlots - 1);
    }
    if (static_cast<int>(order_.size()) >= limit_) return -1;
    keys_[slot] = key;
    values_[slot] = static_cast<uint16_t>(order_.size());
    order_.push_back(key);
    return remember(key, values_[slot]);
  }
  const std::vector<uint32_t>& colors() const { return order_; }

 private:
  static constexpr int kBits = 10;
  static constexpr uint32_t kSlots = 1u << kBits;  // at least twice the largest limit
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
  int remember(uint32_t key, int index) {
    last_key_ = key;
    last_index_ = index;
    return index;
  }
  int limit_;
  std::array<uint32_t, kSlots> keys_;
  std::array<uint16_t, kSlots> values_{};
  std::vector<uint32_t> order_;
  uint32_t last_key_ = kEmpty;
  int last_index_ = -1;
};

// Colour source with at most n colours: they become the palette in order of first appearance.
bool exact_colors(const Bitmap* src, const ColorRows& rows, int n, Bitmap* dst) {
  ColorSet set(n);
  std::vector<uint8_t> rgb(static_cast<size_t>(src->width) * 3);
  for (int32_t y = 0; y < src->height; ++y) {
    rows.read(y, rgb.data());
    const uint8_t* p = rgb.data();
    uint8_t* out = bitmap_row(dst, y);
    for (int32_t x = 0; x < src->width; ++x, p += 3) {
      const int i = set.index_of((uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]);
      if (i < 0) return false;
      out[x] = static_cast<uint8_t>(i);
    }
  }
  const auto& colors = set.colors();
  for (size_t i = 0; i < colors.size(); ++i) {
    dst->palette[kPalR + i] = static_cast<uint8_t>(colors[i] >> 16);
    dst->palette[kPalG + i] = static_cast<uint8_t>(colors[i] >> 8);
    dst->palette[kPalB + i] = static_cast<uint8_t>(colors[i]);
  }
  return true;
}

// Grey or palette source using at most n of its values: the values in order of falling use
// become the palette.
bool exact_values(const Bitmap* src, const ColorRows& rows, int n, Bitmap* dst) {
  std::array<uint64_t, 256> counts{};
  for (int32_t y = 0; y < src->height; ++y) {
    const uint8_t* in = bitmap_row(src, y);
    for (int32_t x = 0; x < src->width; ++x) ++counts[in[x]];
  }
  std::array<int, 256> order;
  for (int v = 0; v < 256; ++v) order[static_cast<size_t>(v)] = v;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return counts[static_cast<size_t>(a)] > counts[static_cast<size_t>(b)];
  });
  int used = 0;
  while (used < 256 && counts[static_cast<size_t>(order[static_cast<size_t>(used)])]) ++used;
  if (used > n) return false;

  std::array<uint8_t, 256> remap{};
  for (int i = 0; i < used; ++i) {
    const int v = order[static_cast<size_t>(i)];
    remap[static_cast<size_t>(v)] = static_cast<uint8_t>(i);
    uint8_t c[3];
    rows.value_color(v, c);
    dst->palette[kPalR + i] = c[0];
    dst->palette[kPalG + i] = c[1];
    dst->palette[kPalB + i] = c[2];
  }
  for (int32_t y = 0; y < src->height; ++y) {
    const uint8_t* in = bitmap_row(src, y);
    uint8_t* out = bitmap_row(dst, y);
    for (int32_t x = 0; x < src->width; ++x) out[x] = remap[in[x]];
  }
  return true;
}

int to_palette(const Bitmap* src, const ColorRows& rows, int n, Bitmap* dst) {
  if (bitmap_clone_layout(dst, kPixIndexed, src) != 0) return kStatusNoMemory;
  if (src->type == kPixBilevel) {
    bilevel_to_palette(src, dst);
  } else {
    const bool values = src->type == kPixGrey || src->type == kPixIndexed;
    const bool exact = values ? exact_values(src, rows, n, dst) : exact_colors(src, rows, n, dst);
    if (!exact && median_cut_quantize(src, rows, n, dst) < 0) {
      bitmap_free(dst);
      return kStatusNoMemory;
    }
  }
  dst->colors = static_cast<uint16_t>(n);
  return kStatusOk;
}

int to_true_color(const Bitmap* src, const ColorRows& rows, uint16_t type, Bitmap* dst) {
  if (bitmap_clone_layout(dst, type, src) != 0) return kStatusNoMemory;
  std::vector<uint8_t> rgb(static_cast<size_t>(src->width) * 3);
  const bool bgr = type == kPixBGR;
  for (int32_t y = 0; y < src->height; ++y) {
    rows.read(y, rgb.data());
    uint8_t* out = bitmap_row(dst, y);
    const uint8_t* p = rgb.data();
    for (int32_t x = 0; x < src->width; ++x, p += 3, out += 3) {
      out[0] = bgr ? p[2] : p[0];
      out[1] = p[1];
      out[2] = bgr ? p[0] : p[2];
    }
  }
  return kStatusOk;
}

int convert_into(const Bitmap* src, Bitmap* dst, int code) {
  ColorRows rows;
  if (!rows.init(src)) return kStatusBadArguments;
  switch (code) {
    case kConvertBlackWhite: return to_black_white(src, rows, dst);
    case kConvertPalette16: return to_palette(src, rows, 16, dst);
    case kConvertPalette256: return to_palette(src, rows, 256, dst);
    case kConvertRGB: return to_true_color(src, rows, kPixRGB, dst);
    case kConvertBGR: return to_true_color(src, rows, kPixBGR, dst);
    default: return kStatusBadArguments;
  }
}

// The type a code produces when the source may already have it, else 0.
uint16_t unchanged_type(int code) {
  switch (code) {
    case kConvertBlackWhite: return kPixBilevel;
    case kConvertRGB: return kPixRGB;
    case kConvertBGR: return kPixBGR;
    default: return 0;
  }
}

}  // namespace

int bitmap_convert(Bitmap* src, Bitmap* dst, int code, int /*method*/) {
  if (!src) return kStatusBadArguments;
  switch (code) {
    case kConvertBlackWhite:
    case kConvertPalette16:
    case kConvertPalette256:
    case kConvertRGB:
    case kConvertBGR:
      break;
    default:
      // The numbering reserves further grey, palette and 4-byte targets; none is carried out.
      return kStatusBadArguments;
  }
  if (!bitmap_layout_usable(src)) return kStatusBadArguments;
  if (src->type == unchanged_type(code) && src->bits_per_sample <= 8)
    return bitmap_duplicate(src, dst == src ? nullptr : dst);

  // The result is built in a record of our own and handed over only when complete.
  Bitmap result{};
  int st;
  try {
    st = convert_into(src, &result, code);
  } catch (const std::bad_alloc&) {
    st = kStatusNoMemory;
  }
  if (st != kStatusOk) {
    bitmap_free(&result);
    return st;
  }
  if (dst && dst != src) {
    *dst = result;
  } else {
    bitmap_free(src);
    *src = result;
  }
  return kStatusOk;
}

}  // namespace lumora
