#include "imagelib/ops/rotate.h"

#include <cstring>
#include <new>
#include <vector>

#include "imagelib/core/status.h"
#include "imagelib/ops/color_rows.h"
#include "imagelib/ops/resample.h"

namespace lumora {
namespace {

// Side of the square tiles the byte paths walk, so that the source rows one tile reads stay in
// cache while its target rows are written.
constexpr int kTile = 64;

// Allocates the target with the source's type, alignment and sample size. Returns 0, 1 or 16.
int alloc_target(const Bitmap* src, Bitmap* dst, int32_t width, int32_t height) {
  if (!bitmap_alloc_deep(dst, src->type, src->alignment, width, height, src->bits_per_sample)) {
    bitmap_free(dst);
    return kStatusNoMemory;
  }
  if (src->type != kPixBilevel && dst->bytes_per_pixel != src->bytes_per_pixel) {
    // A record whose pixel size does not follow from its type cannot be re-laid out safely.
    bitmap_free(dst);
    return kStatusBadArguments;
  }
  return kStatusOk;
}

void finish_target(const Bitmap* src, Bitmap* dst) {
  dst->colors = src->colors;
  dst->transparent_index = src->transparent_index;
  bitmap_copy_attributes(dst, src);
  if (src->palette && dst->palette) std::memcpy(dst->palette, src->palette, kPaletteBytes);
}

// ---- 32-bit word helpers for the bilevel paths. A row word is read most significant byte
// first, so that pixel p of the word is bit (31 - p) whatever the host byte order.
inline uint32_t load_word(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline void store_word(uint8_t* p, uint32_t w) {
  p[0] = static_cast<uint8_t>(w >> 24);
  p[1] = static_cast<uint8_t>(w >> 16);
  p[2] = static_cast<uint8_t>(w >> 8);
  p[3] = static_cast<uint8_t>(w);
}
inline uint32_t reverse_bits(uint32_t v) {
  v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
  v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
  v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
  v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
  return (v >> 16) | (v << 16);
}

// Transposes a 32 x 32 bit block in place: afterwards bit (31 - k) of a[i] is what bit (31 - i)
// of a[k] was. Recursive block swaps, five rounds of 16 word pairs.
void transpose32(uint32_t a[32]) {
  uint32_t m = 0x0000FFFFu;
  for (int j = 16; j != 0; j >>= 1, m ^= m << j) {
    for (int k = 0; k < 32; k = (k + j + 1) & ~j) {
      uint32_t t = (a[k] ^ (a[k + j] >> j)) & m;
      a[k] ^= t;
      a[k + j] ^= t << j;
    }
  }
}

// ---- bilevel, bit by bit

void quarter_bits(const Bitmap* s, Bitmap* d, bool clockwise) {
  const int32_t w = s->width, h = s->height;
  for (int32_t y = 0; y < d->height; ++y) {
    uint8_t* out = bitmap_row(d, y);
    std::memset(out, 0, d->bytes_per_line);
    if (clockwise) {
      // Target row y is source column y read from the bottom row upwards.
      for (int32_t x = 0; x < d->width; ++x) bit_or(out, x, bit_get(bitmap_row(s, h - 1 - x), y));
    } else {
      // Target row y is source column (w - 1 - y) read from the top row downwards.
      const int32_t col = w - 1 - y;
      for (int32_t x = 0; x < d->width; ++x) bit_or(out, x, bit_get(bitmap_row(s, x), col));
    }
  }
}

void half_bits(const Bitmap* s, Bitmap* d) {
  const int32_t w = s->width;
  for (int32_t y = 0; y < d->height; ++y) {
    const uint8_t* in = bitmap_row(s, s->height - 1 - y);
    uint8_t* out = bitmap_row(d, y);
    std::memset(out, 0, d->bytes_per_line);
    for (int32_t x = 0; x < w; ++x) bit_or(out, x, bit_get(in, w - 1 - x));
  }
}

// ---- bilevel, 32-bit words (rows are whole words with no extra padding on both sides)

void quarter_words(const Bitmap* s, Bitmap* d, bool clockwise) {
  const int32_t w = s->width, h = s->height;
  const int32_t src_words = static_cast<int32_t>(s->bytes_per_line / 4);
  const int32_t dst_words = static_cast<int32_t>(d->bytes_per_line / 4);
  uint32_t block[32];
  for (int32_t tx = 0; tx < dst_words; ++tx) {
    for (int32_t wx = 0; wx < src_words; ++wx) {
      // Target pixel q of word tx comes from source row r(q); rows outside the picture give 0.
      for (int q = 0; q < 32; ++q) {
        int64_t r = clockwise ? int64_t{h} - 1 - 32 * int64_t{tx} - q : 32 * int64_t{tx} + q;
        block[q] = (r >= 0 && r < h) ? load_word(bitmap_row(s, static_cast<int32_t>(r)) + 4 * wx)
                                     : 0;
      }
      transpose32(block);
      // block[p] now holds source column 32 wx + p; its target row is that column (clockwise)
      // or its mirror (counter-clockwise). Columns in the source padding are not written.
      for (int p = 0; p < 32; ++p) {
        int64_t col = 32 * int64_t{wx} + p;
        if (col >= w) break;
        int32_t ty = clockwise ? static_cast<int32_t>(col) : static_cast<int32_t>(w - 1 - col);
        store_word(bitmap_row(d, ty) + 4 * tx, block[p]);
      }
    }
  }
}

void half_words(const Bitmap* s, Bitmap* d) {
  const int32_t words = static_cast<int32_t>(s->bytes_per_line / 4);
  // The mirrored row is the reversed word sequence shifted left by the padding bits, so that
  // the last picture pixel lands on target pixel 0 and the padding falls out on the left.
  const int pad = static_cast<int>(32 * int64_t{words} - s->width);
  for (int32_t y = 0; y < d->height; ++y) {
    const uint8_t* in = bitmap_row(s, s->height - 1 - y);
    uint8_t* out = bitmap_row(d, y);
    auto mirrored = [&](int32_t t) -> uint32_t {
      return t < words ? reverse_bits(load_word(in + 4 * (words - 1 - t))) : 0;
    };
    uint32_t cur = mirrored(0);
    for (int32_t t = 0; t < words; ++t) {
      uint32_t next = mirrored(t + 1);
      store_word(out + 4 * t, pad ? (cur << pad) | (next >> (32 - pad)) : cur);
      cur = next;
    }
  }
}

// ---- byte pixels

template <int kBpp>
inline void copy_pixel(uint8_t* d, const uint8_t* s, int bpp) {
  if constexpr (kBpp > 0) {
    std::memcpy(d, s, kBpp);
  } else {
    std::memcpy(d, s, static_cast<size_t>(bpp));
  }
}

template <int kBpp>
void quarter_bytes(const Bitmap* s, Bitmap* d, const std::vector<const uint8_t*>& rows,
                   bool clockwise) {
  const int bpp = s->bytes_per_pixel;
  const int32_t w = s->width, h = s->height;
  for (int32_t y0 = 0; y0 < d->height; y0 += kTile) {
    const int32_t y1 = y0 + kTile < d->height ? y0 + kTile : d->height;
    for (int32_t x0 = 0; x0 < d->width; x0 += kTile) {
      const int32_t x1 = x0 + kTile < d->width ? x0 + kTile : d->width;
      for (int32_t y = y0; y < y1; ++y) {
        uint8_t* out = bitmap_row(d, y) + static_cast<size_t>(x0) * bpp;
        // Clockwise: target (x, y) = source (y, h - 1 - x); counter-clockwise: (w - 1 - y, x).
        const size_t col = static_cast<size_t>(clockwise ? y : w - 1 - y) * bpp;
        for (int32_t x = x0; x < x1; ++x, out += bpp)
          copy_pixel<kBpp>(out, rows[clockwise ? h - 1 - x : x] + col, bpp);
      }
    }
  }
}

template <int kBpp>
void half_bytes(const Bitmap* s, Bitmap* d) {
  const int bpp = s->bytes_per_pixel;
  const int32_t w = s->width;
  for (int32_t y = 0; y < d->height; ++y) {
    const uint8_t* in = bitmap_row(s, s->height - 1 - y) + static_cast<size_t>(w) * bpp;
    uint8_t* out = bitmap_row(d, y);
    for (int32_t x = 0; x < w; ++x, out += bpp) {
      in -= bpp;
      copy_pixel<kBpp>(out, in, bpp);
    }
  }
}

template <int kBpp>
void run_bytes(const Bitmap* s, Bitmap* d, const std::vector<const uint8_t*>& rows,
               RotateTurn turn) {
  if (turn == RotateTurn::kHalf)
    half_bytes<kBpp>(s, d);
  else
    quarter_bytes<kBpp>(s, d, rows, turn == RotateTurn::kClockwise);
}

int rotate_into(const Bitmap* s, Bitmap* d, RotateTurn turn, RotatePath path) {
  if (!bitmap_layout_usable(s)) return kStatusBadArguments;
  const bool quarter = turn != RotateTurn::kHalf;
  int st = alloc_target(s, d, quarter ? s->height : s->width, quarter ? s->width : s->height);
  if (st != kStatusOk) return st;

  if (s->type == kPixBilevel) {
    if (path == RotatePath::kAuto && rotate_word_layout(s)) {
      if (quarter)
        quarter_words(s, d, turn == RotateTurn::kClockwise);
      else
        half_words(s, d);
    } else if (quarter) {
      quarter_bits(s, d, turn == RotateTurn::kClockwise);
    } else {
      half_bits(s, d);
    }
  } else {
    std::vector<const uint8_t*> rows;
    if (quarter) {
      // Start of every source row, built once.
      rows.resize(static_cast<size_t>(s->height));
      for (int32_t r = 0; r < s->height; ++r) rows[static_cast<size_t>(r)] = bitmap_row(s, r);
    }
    switch (s->bytes_per_pixel) {
      case 1: run_bytes<1>(s, d, rows, turn); break;
      case 3: run_bytes<3>(s, d, rows, turn); break;
      case 4: run_bytes<4>(s, d, rows, turn); break;
      default: run_bytes<0>(s, d, rows, turn); break;
    }
  }
  finish_target(s, d);
  return kStatusOk;
}

}  // namespace

bool rotate_word_layout(const Bitmap* s) {
  return s->type == kPixBilevel && s->alignment == 4 && s->width >= 0 &&
         s->bytes_per_line == ((static_cast<uint64_t>(s->width) + 31) & ~uint64_t{31}) / 8;
}

int bitmap_rotate_turn(const Bitmap* src, Bitmap* dst, RotateTurn turn, RotatePath path) {
  if (!src || !dst) return kStatusBadArguments;
  // The result is built in a record of our own and handed over only when complete.
  Bitmap result{};
  int st;
  try {
    st = rotate_into(src, &result, turn, path);
  } catch (const std::bad_alloc&) {
    st = kStatusNoMemory;
  }
  if (st != kStatusOk) {
    bitmap_free(&result);
    return st;
  }
  *dst = result;
  return kStatusOk;
}

int bitmap_rotate(Bitmap* src, Bitmap* dst, int angle) {
  if (!src) return kStatusBadArguments;
  if (angle % 360 == 0) return bitmap_duplicate(src, dst);

  RotateTurn turn;
  if (angle == 90 || angle == -270)
    turn = RotateTurn::kClockwise;
  else if (angle == -90 || angle == 270)
    turn = RotateTurn::kCounterClockwise;
  else if (angle == 180 || angle == -180)
    turn = RotateTurn::kHalf;
  else
    return bitmap_duplicate(src, dst);

  // Rows stored bottom row first, or each stored right to left, are a mirror image of the
  // screen: a quarter turn in memory shows as the opposite turn. Both together cancel out.
  const bool reversed = ((src->orientation & kOrientBottomUp) != 0) !=
                        ((src->orientation & kOrientMirrored) != 0);
  if (reversed && turn != RotateTurn::kHalf)
    turn = turn == RotateTurn::kClockwise ? RotateTurn::kCounterClockwise : RotateTurn::kClockwise;

  if (dst && dst != src) return bitmap_rotate_turn(src, dst, turn, RotatePath::kAuto);
  Bitmap result{};
  int st = bitmap_rotate_turn(src, &result, turn, RotatePath::kAuto);
  if (st != kStatusOk) return st;
  bitmap_free(src);
  *src = result;
  return kStatusOk;
}

}  // namespace lumora
