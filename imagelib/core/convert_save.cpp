// Save-direction row converters: a Bitmap row is brought into a working row of the writer's depth
// (packed bits, one byte per value, or three or four bytes per pixel in red, green, blue order),
// then written into the row layout the writer asked for. The selection at the end picks the pair
// once per save.
#include <cstring>
#include <limits>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/convert.h"
#include "imagelib/core/convert_bits.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

inline size_t bit_bytes(int64_t bits) { return static_cast<size_t>((bits + 7) / 8); }

// ---- First converter: Bitmap row -> working row ---------------------------------------------

void copy_bits(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  std::memcpy(dst, src, bit_bytes(width));
}

// Bilevel rows for a writer that wants inverted levels (layout 0x10000, no palette).
void invert_bits(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  const size_t n = bit_bytes(width);
  for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(~src[i]);
}

void copy_step(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  std::memcpy(dst, src, static_cast<size_t>(width) * static_cast<size_t>(p->src_step));
}

// 3-byte source: output bytes (I0, I1, I2) and, with N == 4, a zero fourth byte.
template <int N, int I0, int I1, int I2>
void from3(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* s = src + x * 3;
    uint8_t* d = dst + x * N;
    const uint8_t a = s[I0], b = s[I1], c = s[I2];
    d[0] = a;
    d[1] = b;
    d[2] = c;
    if constexpr (N == 4) d[3] = 0;
  }
}

// 4-byte source: output bytes (I0, I1, I2) or (I0, I1, I2, I3).
template <int N, int I0, int I1, int I2, int I3>
void from4(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* s = src + x * 4;
    uint8_t* d = dst + x * N;
    const uint8_t a = s[I0], b = s[I1], c = s[I2], e = s[I3];
    d[0] = a;
    d[1] = b;
    d[2] = c;
    if constexpr (N == 4) d[3] = e;
  }
}

// Ink values for a writer that stores them inverted (255 - ink).
void invert_bytes4(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  const size_t n = static_cast<size_t>(width) * 4;
  for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(255 - src[i]);
}

// Cyan, magenta, yellow, black to red, green, blue: (255 - ink) x (255 - black) / 255.
template <int N>
void cmyk_to_rgb(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* s = src + x * 4;
    uint8_t* d = dst + x * N;
    const unsigned k = 255u - s[3];
    d[0] = static_cast<uint8_t>((255u - s[0]) * k / 255u);
    d[1] = static_cast<uint8_t>((255u - s[1]) * k / 255u);
    d[2] = static_cast<uint8_t>((255u - s[2]) * k / 255u);
    if constexpr (N == 4) d[3] = 0;
  }
}

// ---- Second converter: working row -> writer row --------------------------------------------

// The reverse of the word interleave: bit p of each value goes to the word of plane p; each group
// of 16 pixels gives one 16-bit word per plane (the processor's byte order), plane 0 first.
void to_word_interleaved(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const int planes = p->planes;
  for (int32_t group = 0; group * 16 < width; ++group) {
    const int32_t n = width - group * 16 < 16 ? width - group * 16 : 16;
    const uint8_t* in = src + static_cast<size_t>(group) * 16;
    uint8_t* words = dst + static_cast<size_t>(group) * static_cast<size_t>(planes) * 2;
    for (int plane = 0; plane < planes; ++plane) {
      uint16_t w = 0;
      for (int32_t i = 0; i < n; ++i) w = static_cast<uint16_t>(w | (((in[i] >> plane) & 1) << (15 - i)));
      std::memcpy(words + plane * 2, &w, 2);
    }
  }
}

// Values to several planes of `bits` bits, planes one after another (plane_stride bytes each),
// codes packed most significant first.
void to_planes_packed(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const int bits = p->bits;
  const uint32_t mask = (1u << bits) - 1u;
  std::memset(dst, 0, static_cast<size_t>(p->planes) * p->plane_stride);
  for (int plane = 0; plane < p->planes; ++plane) {
    uint8_t* row = dst + static_cast<size_t>(plane) * p->plane_stride;
    const int shift = plane * bits;
    uint64_t pos = 0;
    for (int32_t x = 0; x < width; ++x, pos += static_cast<uint64_t>(bits)) {
      const uint32_t code = (static_cast<uint32_t>(src[x]) >> shift) & mask;
      const size_t byte = static_cast<size_t>(pos >> 3);
      const int off = static_cast<int>(pos & 7);
      const uint32_t window = code << (16 - off - bits);
      row[byte] = static_cast<uint8_t>(row[byte] | (window >> 8));
      if (off + bits > 8) row[byte + 1] = static_cast<uint8_t>(row[byte + 1] | (window & 0xFF));
    }
  }
}

// Byte j of each working pixel to plane pos[j] (8-bit planes of plane_stride bytes each).
template <int N>
void to_planes_bytes(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  uint8_t* planes[N];
  for (int j = 0; j < N; ++j) planes[j] = dst + static_cast<size_t>(p->pos[j]) * p->plane_stride;
  for (int32_t x = 0; x < width; ++x) {
    for (int j = 0; j < N; ++j) planes[j][x] = src[x * N + j];
  }
}

// Bits into one byte each: bilevel[0] for a 0 bit, bilevel[1] for a 1 bit.
void spread_bits(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const uint8_t v[2] = {p->bilevel[0], p->bilevel[1]};
  int32_t x = 0;
  if (v[0] == 0) {
    // Eight pixels at once: bytes of 0 or 1 times the value of a set bit (no carries).
    for (; x + 8 <= width; x += 8) {
      const uint64_t d = kBitSpread.v[src[x >> 3]] * v[1];
      std::memcpy(dst + x, &d, 8);
    }
  }
  for (; x < width; ++x) dst[x] = v[(src[x >> 3] >> (7 - (x & 7))) & 1];
}

// Bits into codes of `bits` bits (2 to 7), most significant first, of bilevel[0] / bilevel[1].
void spread_bits_to_codes(const uint8_t* src, uint8_t* dst, int32_t width, int,
                          const RowParams* p) {
  const int bits = p->bits;
  std::memset(dst, 0, bit_bytes(static_cast<int64_t>(width) * bits));
  uint64_t pos = 0;
  for (int32_t x = 0; x < width; ++x, pos += static_cast<uint64_t>(bits)) {
    const uint32_t code = p->bilevel[(src[x >> 3] >> (7 - (x & 7))) & 1];
    const size_t byte = static_cast<size_t>(pos >> 3);
    const int off = static_cast<int>(pos & 7);
    const uint32_t window = code << (16 - off - bits);
    dst[byte] = static_cast<uint8_t>(dst[byte] | (window >> 8));
    if (off + bits > 8) dst[byte + 1] = static_cast<uint8_t>(dst[byte + 1] | (window & 0xFF));
  }
}

// One byte per value into codes of BITS bits, most significant first (values are masked).
template <int BITS>
void pack_codes(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  constexpr int kPerByte = 8 / BITS;
  constexpr uint8_t kMask = (1u << BITS) - 1u;
  int32_t x = 0;
  for (; x + kPerByte <= width; x += kPerByte) {
    uint8_t b = 0;
    for (int i = 0; i < kPerByte; ++i) b = static_cast<uint8_t>(b | ((src[x + i] & kMask) << (8 - BITS * (i + 1))));
    dst[x / kPerByte] = b;
  }
  if (x < width) {
    uint8_t b = 0;
    for (int i = 0; x + i < width; ++i) b = static_cast<uint8_t>(b | ((src[x + i] & kMask) << (8 - BITS * (i + 1))));
    dst[x / kPerByte] = b;
  }
}

void pack_codes_any(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const int bits = p->bits;
  const uint32_t mask = (1u << bits) - 1u;
  std::memset(dst, 0, bit_bytes(static_cast<int64_t>(width) * bits));
  uint64_t pos = 0;
  for (int32_t x = 0; x < width; ++x, pos += static_cast<uint64_t>(bits)) {
    const uint32_t window = (src[x] & mask) << (16 - static_cast<int>(pos & 7) - bits);
    const size_t byte = static_cast<size_t>(pos >> 3);
    dst[byte] = static_cast<uint8_t>(dst[byte] | (window >> 8));
    if ((pos & 7) + static_cast<uint64_t>(bits) > 8) {
      dst[byte + 1] = static_cast<uint8_t>(dst[byte + 1] | (window & 0xFF));
    }
  }
}

template <int I0, int I1, int I2>
void shuffle3(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* s = src + x * 3;
    uint8_t* d = dst + x * 3;
    const uint8_t a = s[I0], b = s[I1], c = s[I2];
    d[0] = a;
    d[1] = b;
    d[2] = c;
  }
}

// ---- Selection ------------------------------------------------------------------------------

// Component order of a colour Bitmap type: 0 to 3, 4 for ink data, -1 for other types.
int bitmap_order(uint16_t type) {
  switch (type) {
    case kPixRGB: case kPixRGBA: return 0;
    case kPixBGR: case kPixABGR: return 1;
    case kPixBGRA: return 2;
    case kPixARGB: return 3;
    case kPixCMYK: return 4;
    default: return -1;
  }
}

RowConverter select_color_to_working(uint16_t type, int writer_bits, uint32_t layout) {
  const int order = bitmap_order(type);
  const bool four = writer_bits == 32;
  if (order < 0 || (writer_bits != 24 && writer_bits != 32)) return nullptr;
  if (type == kPixRGB) return four ? from3<4, 0, 1, 2> : copy_step;
  if (type == kPixBGR) return four ? from3<4, 2, 1, 0> : from3<3, 2, 1, 0>;
  switch (order) {
    case 0: return four ? copy_step : from4<3, 0, 1, 2, 3>;
    case 1: return four ? from4<4, 3, 2, 1, 0> : from4<3, 3, 2, 1, 0>;
    case 2: return four ? from4<4, 2, 1, 0, 3> : from4<3, 2, 1, 0, 3>;
    case 3: return four ? from4<4, 1, 2, 3, 0> : from4<3, 1, 2, 3, 0>;
    default: break;
  }
  // Ink data: a writer that stores inks takes all four bytes.
  if (layout & kLayoutInkInverted) return four ? invert_bytes4 : nullptr;
  if (layout & kLayoutInk) return four ? copy_step : nullptr;
  return four ? cmyk_to_rgb<4> : cmyk_to_rgb<3>;
}

}  // namespace

int convert_writer_bits(const SaveRowFormat& f) {
  const int64_t bits = f.samples > 0 ? static_cast<int64_t>(f.samples) * f.bits_per_sample
                                     : static_cast<int64_t>(f.planes) * f.bits_per_plane;
  return (bits < 1 || bits > 64) ? 0 : static_cast<int>(bits);
}

int convert_select_save(const SaveRowFormat& f, SaveConverters* out) {
  *out = SaveConverters{};
  SaveConverters c{};
  const int wbits = convert_writer_bits(f);
  const uint32_t layout = f.writer_layout;
  const uint16_t type = f.bitmap_type;
  const bool bilevel = type == kPixBilevel;
  if (wbits == 0 || f.planes < 1 || f.width < 0) return kStatusCannotStore;
  c.writer_bits = wbits;
  c.params.planes = f.planes;

  // First converter.
  if (f.bitmap_bits_per_sample > 8) {
    // Deep samples pass unchanged to a writer of the same depth.
    if (f.bitmap_bytes_per_pixel < 1 || wbits != f.bitmap_bytes_per_pixel * 8) return kStatusCannotStore;
    c.params.src_step = f.bitmap_bytes_per_pixel;
    c.to_working = copy_step;
    c.to_writer = copy_step;
    c.working_bytes_per_pixel = f.bitmap_bytes_per_pixel;
    *out = c;
    return 0;
  }
  if (bilevel) {
    // Inverted levels are asked by layout 0x10000 from a writer without a palette and without
    // one-value-per-byte rows (the same condition as the pipeline's level table).
    const bool invert = (layout & kLayoutInvertLevels) && f.palette_form == 0 &&
                        !(layout & kLayoutOnePerByte);
    c.to_working = invert ? invert_bits : copy_bits;
    c.working_bytes_per_pixel = 0;
  } else if (type == kPixGrey || type == kPixIndexed) {
    c.params.src_step = 1;
    c.to_working = copy_step;
    c.working_bytes_per_pixel = 1;
    c.level_table_applies = true;
  } else {
    c.to_working = select_color_to_working(type, wbits, layout);
    if (!c.to_working) return kStatusCannotStore;
    c.params.src_step = wbits == 32 ? 4 : 3;  // copy_step for 3-byte and 4-byte copies
    c.working_bytes_per_pixel = wbits / 8;
  }
  const int wbpp = c.working_bytes_per_pixel;  // 0 = bits

  // Second converter.
  if (layout & kLayoutWordInterleaved) {
    if (bilevel) {
      c.to_writer = copy_bits;
    } else {
      if (wbpp != 1 || f.planes > 8) return kStatusCannotStore;
      c.to_writer = to_word_interleaved;
    }
  } else if (layout & kLayoutPlanar) {
    // The writer takes the working row as it is.
    c.params.src_step = wbpp;
    c.to_writer = bilevel ? copy_bits : copy_step;
  } else if (f.planes > 1) {
    const int bpp = f.bits_per_plane;
    c.params.plane_stride = static_cast<uint32_t>(bit_bytes(static_cast<int64_t>(f.width) * bpp));
    if (wbits <= 8) {
      if (bilevel) {
        c.to_writer = copy_bits;
      } else {
        if (wbpp != 1) return kStatusCannotStore;
        c.params.bits = bpp;
        c.to_writer = to_planes_packed;
      }
    } else if (wbits == 24 && f.planes == 3 && bpp == 8 && wbpp == 3) {
      const bool rev = layout & kLayoutReversed;
      c.params.pos[0] = static_cast<int8_t>(rev ? 2 : 0);
      c.params.pos[1] = 1;
      c.params.pos[2] = static_cast<int8_t>(rev ? 0 : 2);
      c.to_writer = to_planes_bytes<3>;
    } else if (wbits == 32 && f.planes == 4 && bpp == 8 && wbpp == 4) {
      const bool rev = layout & kLayoutReversed;
      for (int j = 0; j < 4; ++j) c.params.pos[j] = static_cast<int8_t>(rev ? 3 - j : j);
      c.to_writer = to_planes_bytes<4>;
    } else {
      return kStatusCannotStore;
    }
  } else if (wbits <= 8) {
    if (wbpp > 1) return kStatusCannotStore;
    c.params.bits = wbits;
    if (layout & kLayoutOnePerByte) {
      if (bilevel) {
        c.params.bilevel[0] = 0;
        c.params.bilevel[1] = 1;
        c.to_writer = spread_bits;
      } else {
        c.params.src_step = 1;
        c.to_writer = copy_step;
      }
    } else if (!bilevel) {
      switch (wbits) {
        case 1: c.to_writer = pack_codes<1>; break;
        case 2: c.to_writer = pack_codes<2>; break;
        case 4: c.to_writer = pack_codes<4>; break;
        case 8:
          c.params.src_step = 1;
          c.to_writer = copy_step;
          break;
        default: c.to_writer = pack_codes_any; break;
      }
    } else if (wbits == 1) {
      c.to_writer = copy_bits;
    } else {
      // Bilevel to a wider code: palette indexes 0 and 1, or black and full white levels when
      // the writer wants plain levels (no palette).
      c.params.bilevel[0] = 0;
      c.params.bilevel[1] = f.palette_form == 0 ? static_cast<uint8_t>((1u << wbits) - 1u) : 1;
      c.to_writer = wbits == 8 ? spread_bits : spread_bits_to_codes;
    }
  } else if (wbits == 24) {
    if (wbpp != 3) return kStatusCannotStore;
    c.params.src_step = 3;
    c.to_writer = (layout & kLayoutReversed) ? shuffle3<2, 1, 0> : copy_step;
  } else if (wbits == 32) {
    if (wbpp != 4) return kStatusCannotStore;
    c.params.src_step = 4;
    if (layout & kLayoutReversed) c.to_writer = from4<4, 3, 2, 1, 0>;
    else if (layout & kLayoutFourthLast) c.to_writer = from4<4, 2, 1, 0, 3>;
    else if (layout & kLayoutFourthFirst) c.to_writer = from4<4, 3, 0, 1, 2>;
    else c.to_writer = copy_step;
  } else {
    return kStatusCannotStore;
  }
  *out = c;
  return 0;
}

size_t convert_save_working_bytes(const SaveConverters& c, int32_t width) {
  if (width < 0) return 0;
  if (c.working_bytes_per_pixel == 0) return bit_bytes(width);
  return static_cast<size_t>(width) * static_cast<size_t>(c.working_bytes_per_pixel);
}

size_t convert_save_output_bytes(const SaveRowFormat& f, const SaveConverters& c) {
  const int64_t w = f.width < 0 ? 0 : f.width;
  const uint32_t layout = f.writer_layout;
  const bool bilevel = c.working_bytes_per_pixel == 0;
  if (!c.to_writer) return 0;
  if (layout & kLayoutWordInterleaved) {
    return bilevel ? bit_bytes(w) : static_cast<size_t>((w + 15) / 16 * f.planes * 2);
  }
  if (layout & kLayoutPlanar) return convert_save_working_bytes(c, f.width);
  if (f.planes > 1) {
    if (bilevel && c.writer_bits <= 8) return bit_bytes(w);
    return static_cast<size_t>(f.planes) * c.params.plane_stride;
  }
  if (c.writer_bits <= 8) {
    if (layout & kLayoutOnePerByte) return static_cast<size_t>(w);
    return bit_bytes(w * c.writer_bits);
  }
  return static_cast<size_t>(w) * static_cast<size_t>(c.writer_bits / 8);
}

}  // namespace lumora
