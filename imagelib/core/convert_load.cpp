// Load-direction row converters: raw rows of a file's layout are unpacked into a working row
// (one byte per pixel, three or four bytes per pixel, or packed bits), then packed into the
// produced Bitmap type. Each function is one fixed conversion; the selection at the end of this
// file picks the pair once per load.
#include <bit>
#include <cstring>
#include <limits>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/convert.h"
#include "imagelib/core/convert_bits.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

inline uint16_t load_u16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);  // the processor's byte order; readers swap beforehand when needed
  return v;
}

inline uint32_t load_native(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, static_cast<size_t>(bytes));
  } else {
    std::memcpy(reinterpret_cast<uint8_t*>(&v) + (4 - bytes), p, static_cast<size_t>(bytes));
  }
  return v;
}

inline size_t bit_bytes(int64_t bits) { return static_cast<size_t>((bits + 7) / 8); }

// ---- Unpackers: raw row -> working row ------------------------------------------------------

// 1-bit data delivered one pixel per byte: gather the low bit of each byte into MSB-first bits.
void unpack_gather_low_bits(const uint8_t* src, uint8_t* dst, int32_t width, int,
                            const RowParams*) {
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const uint8_t* s = src + x;
    dst[x >> 3] = static_cast<uint8_t>(((s[0] & 1) << 7) | ((s[1] & 1) << 6) | ((s[2] & 1) << 5) |
                                       ((s[3] & 1) << 4) | ((s[4] & 1) << 3) | ((s[5] & 1) << 2) |
                                       ((s[6] & 1) << 1) | (s[7] & 1));
  }
  if (x < width) {
    uint8_t b = 0;
    for (int i = 0; x + i < width; ++i) b = static_cast<uint8_t>(b | ((src[x + i] & 1) << (7 - i)));
    dst[x >> 3] = b;
  }
}

void unpack_copy_bits(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  std::memcpy(dst, src, bit_bytes(width));
}

void copy_bytes(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  std::memcpy(dst, src, static_cast<size_t>(width) * static_cast<size_t>(p->src_step));
}

// One pixel per byte of fewer than 8 bits: only the low `bits` bits count.
void unpack_masked_bytes(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const uint8_t mask = static_cast<uint8_t>((1u << p->bits) - 1u);
  for (int32_t x = 0; x < width; ++x) dst[x] = static_cast<uint8_t>(src[x] & mask);
}

// Packed pixels of BITS bits (1, 2, 4), most significant first, into one byte each.
template <int BITS>
void unpack_expand(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  constexpr int kPerByte = 8 / BITS;
  constexpr uint8_t kMask = (1u << BITS) - 1u;
  int32_t x = 0;
  if constexpr (BITS == 1) {
    for (; x + 8 <= width; x += 8) std::memcpy(dst + x, &kBitSpread.v[src[x >> 3]], 8);
  }
  for (; x + kPerByte <= width; x += kPerByte) {
    const uint8_t b = src[x / kPerByte];
    for (int i = 0; i < kPerByte; ++i) dst[x + i] = (b >> (8 - BITS * (i + 1))) & kMask;
  }
  if (x < width) {
    const uint8_t b = src[x / kPerByte];
    for (int i = 0; x + i < width; ++i) dst[x + i] = (b >> (8 - BITS * (i + 1))) & kMask;
  }
}

// Packed pixels of any width 1..8 bits (3, 5, 6, 7 as well), most significant first.
void unpack_expand_any(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const int bits = p->bits;
  const uint32_t mask = (1u << bits) - 1u;
  uint64_t pos = 0;
  for (int32_t x = 0; x < width; ++x, pos += static_cast<uint64_t>(bits)) {
    const size_t byte = static_cast<size_t>(pos >> 3);
    const int off = static_cast<int>(pos & 7);
    // Two bytes cover any code of up to 8 bits; the second is read only when the code crosses.
    uint32_t window = static_cast<uint32_t>(src[byte]) << 8;
    if (off + bits > 8) window |= src[byte + 1];
    dst[x] = static_cast<uint8_t>((window >> (16 - off - bits)) & mask);
  }
}

// Planes interleaved word by word: each group of 16 pixels is one 16-bit word per plane,
// plane 0 first; bit p of a pixel's value comes from the word of plane p.
void unpack_word_interleaved(const uint8_t* src, uint8_t* dst, int32_t width, int,
                             const RowParams* p) {
  const int planes = p->planes;
  for (int32_t group = 0; group * 16 < width; ++group) {
    const uint8_t* words = src + static_cast<size_t>(group) * static_cast<size_t>(planes) * 2;
    const int32_t n = width - group * 16 < 16 ? width - group * 16 : 16;
    uint8_t* out = dst + static_cast<size_t>(group) * 16;
    std::memset(out, 0, static_cast<size_t>(n));
    for (int plane = 0; plane < planes; ++plane) {
      const uint16_t w = load_u16(words + plane * 2);
      for (int32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(out[i] | (((w >> (15 - i)) & 1) << plane));
    }
  }
}

// Several planes of `bits` bits each, one after another in the row (each plane_stride bytes);
// the code of plane p becomes bits p*bits.. of the pixel's index byte.
void unpack_planes_to_index(const uint8_t* src, uint8_t* dst, int32_t width, int,
                            const RowParams* p) {
  const int bits = p->bits;
  if (bits == 1) {
    // Bit-planes (EGA-style PCX and the like): eight pixels per byte of each plane.
    std::memset(dst, 0, static_cast<size_t>(width));
    for (int plane = 0; plane < p->planes; ++plane) {
      const uint8_t* row = src + static_cast<size_t>(plane) * p->plane_stride;
      int32_t x = 0;
      for (; x + 8 <= width; x += 8) {
        uint64_t d;
        std::memcpy(&d, dst + x, 8);
        d |= kBitSpread.v[row[x >> 3]] << plane;
        std::memcpy(dst + x, &d, 8);
      }
      for (; x < width; ++x) {
        dst[x] = static_cast<uint8_t>(dst[x] | (((row[x >> 3] >> (7 - (x & 7))) & 1u) << plane));
      }
    }
    return;
  }
  const uint32_t mask = (1u << bits) - 1u;
  std::memset(dst, 0, static_cast<size_t>(width));
  for (int plane = 0; plane < p->planes; ++plane) {
    const uint8_t* row = src + static_cast<size_t>(plane) * p->plane_stride;
    const int shift = plane * bits;
    uint64_t pos = 0;
    for (int32_t x = 0; x < width; ++x, pos += static_cast<uint64_t>(bits)) {
      const size_t byte = static_cast<size_t>(pos >> 3);
      const int off = static_cast<int>(pos & 7);
      uint32_t window = static_cast<uint32_t>(row[byte]) << 8;
      if (off + bits > 8) window |= row[byte + 1];
      const uint32_t code = (window >> (16 - off - bits)) & mask;
      dst[x] = static_cast<uint8_t>(dst[x] | (code << shift));
    }
  }
}

// Several 8-bit planes: output byte j of each pixel comes from plane src_pos[j].
template <int N>
void unpack_planes_bytes(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const uint8_t* planes[N];
  for (int j = 0; j < N; ++j) planes[j] = src + static_cast<size_t>(p->src_pos[j]) * p->plane_stride;
  for (int32_t x = 0; x < width; ++x) {
    for (int j = 0; j < N; ++j) dst[x * N + j] = planes[j][x];
  }
}

// Two pixels in three bytes, nibbles red, green, blue, red, green, blue; each x 255 / 15.
void unpack_12bit(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  int32_t x = 0;
  for (; x + 2 <= width; x += 2) {
    const uint8_t* s = src + (x / 2) * 3;
    uint8_t* d = dst + x * 3;
    d[0] = static_cast<uint8_t>((s[0] >> 4) * 17);
    d[1] = static_cast<uint8_t>((s[0] & 15) * 17);
    d[2] = static_cast<uint8_t>((s[1] >> 4) * 17);
    d[3] = static_cast<uint8_t>((s[1] & 15) * 17);
    d[4] = static_cast<uint8_t>((s[2] >> 4) * 17);
    d[5] = static_cast<uint8_t>((s[2] & 15) * 17);
  }
  if (x < width) {
    const uint8_t* s = src + (x / 2) * 3;
    uint8_t* d = dst + x * 3;
    d[0] = static_cast<uint8_t>((s[0] >> 4) * 17);
    d[1] = static_cast<uint8_t>((s[0] & 15) * 17);
    d[2] = static_cast<uint8_t>((s[1] >> 4) * 17);
  }
}

// The k-bit to 8-bit scaling as a table, built at compile time.
template <int BITS>
struct ScaleTable {
  uint8_t v[1 << BITS];
  constexpr ScaleTable() : v() {
    for (uint32_t i = 0; i < (1u << BITS); ++i) v[i] = scale_to_8(i, BITS);
  }
};
template <int BITS>
inline constexpr ScaleTable<BITS> kScale{};

// 15- and 16-bit pixels read as native words; each field (shift, bits) scaled to 8 bits.
template <int RS, int RB, int GS, int GB, int BS, int BB>
void unpack_word_rgb(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint32_t v = load_u16(src + x * 2);
    dst[x * 3 + 0] = kScale<RB>.v[(v >> RS) & ((1u << RB) - 1u)];
    dst[x * 3 + 1] = kScale<GB>.v[(v >> GS) & ((1u << GB) - 1u)];
    dst[x * 3 + 2] = kScale<BB>.v[(v >> BS) & ((1u << BB) - 1u)];
  }
}

// Byte shuffles: output byte j of each pixel = input byte I_j of the pixel.
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

template <int I0, int I1, int I2, int I3>
void shuffle4(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* s = src + x * 4;
    uint8_t* d = dst + x * 4;
    const uint8_t a = s[I0], b = s[I1], c = s[I2], e = s[I3];
    d[0] = a;
    d[1] = b;
    d[2] = c;
    d[3] = e;
  }
}

// One wide grey sample (9 to 32 bits, in a container of ceil(bits / 8) bytes in the processor's
// byte order) scaled to 8 bits.
void unpack_grey16(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) dst[x] = static_cast<uint8_t>(load_u16(src + x * 2) * 255u / 65535u);
}

void unpack_wide_grey(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const int bytes = p->src_step;
  const uint64_t max = (uint64_t{1} << p->bits) - 1;
  const uint64_t mask = max;
  for (int32_t x = 0; x < width; ++x) {
    const uint64_t v = load_native(src + static_cast<size_t>(x) * bytes, bytes) & mask;
    dst[x] = static_cast<uint8_t>(v * 255 / max);
  }
}

// Grey and alpha (two samples of 8 or 16 bits): working pixel (grey, grey, grey, alpha).
void unpack_grey_alpha8(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t g = src[x * 2], a = src[x * 2 + 1];
    uint8_t* d = dst + x * 4;
    d[0] = g;
    d[1] = g;
    d[2] = g;
    d[3] = a;
  }
}

void unpack_grey_alpha16(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t g = static_cast<uint8_t>(load_u16(src + x * 4) >> 8);
    const uint8_t a = static_cast<uint8_t>(load_u16(src + x * 4 + 2) >> 8);
    uint8_t* d = dst + x * 4;
    d[0] = g;
    d[1] = g;
    d[2] = g;
    d[3] = a;
  }
}

// Deep samples: each of `samples` values of `bits` bits (container src_step / samples bytes)
// scaled to the full range of a dst_sample_bytes (2 or 4) sample in the processor's byte order.
void unpack_deep(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const int in_bytes = p->src_step / p->samples;
  const int out_bytes = p->dst_sample_bytes;
  const uint64_t in_max = (uint64_t{1} << p->bits) - 1;
  const uint64_t out_max = (uint64_t{1} << (8 * out_bytes)) - 1;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(p->samples);
  for (size_t i = 0; i < n; ++i) {
    const uint64_t v = load_native(src + i * in_bytes, in_bytes) & in_max;
    // Both factors may reach 2^32 - 1: the product needs more than 64 bits.
    const uint64_t scaled = static_cast<uint64_t>(static_cast<unsigned __int128>(v) * out_max / in_max);
    if (out_bytes == 2) {
      const uint16_t w = static_cast<uint16_t>(scaled);
      std::memcpy(dst + i * 2, &w, 2);
    } else {
      const uint32_t w = static_cast<uint32_t>(scaled);
      std::memcpy(dst + i * 4, &w, 4);
    }
  }
}

// ---- Packers: working row -> Bitmap row -----------------------------------------------------

void pack_copy_bits(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  std::memcpy(dst, src, bit_bytes(width));
}

void pack_copy(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  std::memcpy(dst, src, static_cast<size_t>(width) * static_cast<size_t>(p->dst_step));
}

// Index or grey byte into one byte of a colour pixel (pos[0]); the other bytes zero. The palette
// (or the grey value) is applied to the whole picture at the end of the load.
void pack_index_to_color(const uint8_t* src, uint8_t* dst, int32_t width, int,
                         const RowParams* p) {
  const int step = p->dst_step;
  const int at = p->pos[0];
  std::memset(dst, 0, static_cast<size_t>(width) * static_cast<size_t>(step));
  for (int32_t x = 0; x < width; ++x) dst[x * step + at] = src[x];
}

// A grey byte into the three colour bytes (and alpha at pos[3] for 4-byte pixels).
void pack_grey_to_color3(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    dst[x * 3] = dst[x * 3 + 1] = dst[x * 3 + 2] = src[x];
  }
}

void pack_grey_to_color4(const uint8_t* src, uint8_t* dst, int32_t width, int,
                         const RowParams* p) {
  const int a = p->pos[3];
  const uint8_t alpha = p->alpha;
  for (int32_t x = 0; x < width; ++x) {
    uint8_t* d = dst + x * 4;
    d[0] = d[1] = d[2] = d[3] = src[x];
    d[a] = alpha;
  }
}

// Planar delivery of a picture of 8 bits or less in all: plane p's value goes into bits
// p * shift_per_plane of the index byte at pos[0] of each pixel, the other bits kept.
void pack_plane_index(const uint8_t* src, uint8_t* dst, int32_t width, int plane,
                      const RowParams* p) {
  if (plane < 0 || plane >= p->planes) return;
  const int step = p->dst_step;
  const int at = p->pos[0];
  const int shift = plane * p->shift_per_plane;
  const uint32_t mask = ((1u << p->shift_per_plane) - 1u);
  const uint8_t keep = static_cast<uint8_t>(~(mask << shift));
  for (int32_t x = 0; x < width; ++x) {
    uint8_t& d = dst[x * step + at];
    d = static_cast<uint8_t>((d & keep) | ((src[x] & mask) << shift));
  }
}

// Planar delivery of 8-bit planes into colour pixels: plane p into byte pos[p] (planes without a
// position are ignored). With fewer than four planes into 4-byte pixels, the first plane's call
// also gives every pixel its alpha (pos[3] then holds the alpha position).
void pack_plane_bytes(const uint8_t* src, uint8_t* dst, int32_t width, int plane,
                      const RowParams* p) {
  const int step = p->dst_step;
  if (plane < 0 || plane >= step || plane >= p->planes) return;
  const int at = p->pos[plane];
  for (int32_t x = 0; x < width; ++x) dst[x * step + at] = src[x];
  if (plane == 0 && step == 4 && p->planes < 4) {
    const int a = p->pos[3];
    for (int32_t x = 0; x < width; ++x) dst[x * 4 + a] = p->alpha;
  }
}

// Four-byte working pixels to three bytes: bytes (I0, I1, I2).
template <int I0, int I1, int I2>
void pack_4_to_3(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams*) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* s = src + x * 4;
    uint8_t* d = dst + x * 3;
    d[0] = s[I0];
    d[1] = s[I1];
    d[2] = s[I2];
  }
}

// Three-byte working pixels to four bytes; index 3 (A) stands for the load's alpha.
template <int I0, int I1, int I2, int I3>
void pack_3_to_4(const uint8_t* src, uint8_t* dst, int32_t width, int, const RowParams* p) {
  const uint8_t alpha = p->alpha;
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* s = src + x * 3;
    const uint8_t v[4] = {s[0], s[1], s[2], alpha};
    uint8_t* d = dst + x * 4;
    d[0] = v[I0];
    d[1] = v[I1];
    d[2] = v[I2];
    d[3] = v[I3];
  }
}

constexpr int A = 3;  // position of the alpha value in pack_3_to_4's source view

// ---- Selection --------------------------------------------------------------------------------

struct Unpacked {
  RowConverter fn = nullptr;
  WorkingForm form = kWorkIndex;
};

bool is_deep(uint32_t produced) {
  return produced == kRequestDeep2048 || produced == kRequestDeep4096 ||
         produced == kRequestDeep8192 || produced == kRequestDeep16384;
}

// The 16-bit and 15-bit unpackers by layout bit, in the order the bits are tested.
RowConverter select_word_unpacker(int bits, uint32_t layout) {
  if (bits == 15) {
    if (layout & kLayoutRedLow) return unpack_word_rgb<0, 5, 5, 5, 10, 5>;
    return unpack_word_rgb<10, 5, 5, 5, 0, 5>;
  }
  if (layout & kLayout444High) return unpack_word_rgb<12, 4, 8, 4, 4, 4>;
  if (layout & kLayout444Low) return unpack_word_rgb<8, 4, 4, 4, 0, 4>;
  if (layout & kLayout565) return unpack_word_rgb<11, 5, 5, 6, 0, 5>;
  if (layout & kLayout555Green6) return unpack_word_rgb<11, 5, 6, 5, 0, 5>;
  if (layout & kLayout555RedTop) return unpack_word_rgb<11, 5, 5, 5, 0, 5>;
  return unpack_word_rgb<10, 5, 5, 5, 0, 5>;
}

// Chooses the unpacker; false when no converter handles the raw layout.
bool select_unpack(const LoadRowFormat& f, int bits, RowParams* p, Unpacked* u) {
  const uint32_t layout = f.layout;
  const int planes = f.planes;
  const int bpp = f.bits_per_plane;
  p->planes = planes;
  p->plane_stride = f.bytes_per_plane;

  if (f.produced == kPixBilevel) {
    if (planes != 1 || bits != 1) return false;
    u->fn = (layout & kLayoutOnePerByte) ? unpack_gather_low_bits : unpack_copy_bits;
    u->form = kWorkBits;
    return true;
  }
  if (is_deep(f.produced)) {
    if (f.samples < 1 || bits % f.samples != 0 || planes != 1 || (layout & kLayoutPlanar)) {
      return false;
    }
    const int bps = bits / f.samples;
    p->samples = f.samples;
    p->bits = bps;
    p->src_step = ((bps + 7) / 8) * f.samples;
    p->dst_sample_bytes = (f.produced == kRequestDeep8192 || f.produced == kRequestDeep16384) ? 4 : 2;
    u->fn = unpack_deep;
    u->form = kWorkDeep;
    return true;
  }
  if (layout & kLayoutWordInterleaved) {
    if (bpp != 1 || bits > 8) return false;
    u->fn = unpack_word_interleaved;
    u->form = kWorkIndex;
    return true;
  }
  if (layout & kLayoutPlanar) {
    // Each call carries one plane; it is brought to one byte per pixel, the packer places it.
    if (bpp < 1 || bpp > 8) return false;
    if (bits > 8 && bpp != 8) return false;
    p->bits = bpp;
    p->src_step = 1;
    switch (bpp) {
      case 1: u->fn = unpack_expand<1>; break;
      case 2: u->fn = unpack_expand<2>; break;
      case 4: u->fn = unpack_expand<4>; break;
      case 8: u->fn = copy_bytes; break;
      default: u->fn = unpack_expand_any; break;
    }
    u->form = kWorkPlane;
    return true;
  }
  if (planes > 1) {
    if (bits <= 8) {
      p->bits = bpp;
      u->fn = unpack_planes_to_index;
      u->form = kWorkIndex;
      return true;
    }
    if (bpp != 8) return false;
    if (planes == 3) {
      const bool rev = layout & kLayoutReversed;
      p->src_pos[0] = static_cast<int8_t>(rev ? 2 : 0);
      p->src_pos[1] = 1;
      p->src_pos[2] = static_cast<int8_t>(rev ? 0 : 2);
      u->fn = unpack_planes_bytes<3>;
      u->form = kWorkColor3;
      return true;
    }
    if (planes == 4) {
      static constexpr int8_t kRev[4] = {3, 2, 1, 0}, kFirst[4] = {1, 2, 3, 0},
                              kPlain[4] = {0, 1, 2, 3};
      const int8_t* pos = (layout & kLayoutReversed) ? kRev
                          : (layout & kLayoutFourthFirst) ? kFirst
                                                          : kPlain;
      std::memcpy(p->src_pos, pos, 4);
      u->fn = unpack_planes_bytes<4>;
      u->form = kWorkColor4;
      return true;
    }
    return false;
  }
  // One plane.
  if (f.samples == 1 && bits > 8) {
    p->bits = bits;
    p->src_step = (bits + 7) / 8;
    u->fn = bits == 16 ? unpack_grey16 : unpack_wide_grey;
    u->form = kWorkGrey;
    return true;
  }
  if (f.samples == 2 && (bits == 16 || bits == 32)) {
    u->fn = bits == 16 ? unpack_grey_alpha8 : unpack_grey_alpha16;
    u->form = kWorkColor4;
    return true;
  }
  if (bits <= 8) {
    p->bits = bits;
    p->src_step = 1;
    if (layout & kLayoutOnePerByte) {
      u->fn = bits == 8 ? copy_bytes : unpack_masked_bytes;
    } else {
      switch (bits) {
        case 1: u->fn = unpack_expand<1>; break;
        case 2: u->fn = unpack_expand<2>; break;
        case 4: u->fn = unpack_expand<4>; break;
        case 8: u->fn = copy_bytes; break;
        default: u->fn = unpack_expand_any; break;
      }
    }
    u->form = kWorkIndex;
    return true;
  }
  switch (bits) {
    case 12:
      u->fn = unpack_12bit;
      u->form = kWorkColor3;
      return true;
    case 15:
    case 16:
      u->fn = select_word_unpacker(bits, layout);
      u->form = kWorkColor3;
      return true;
    case 24:
      p->src_step = 3;
      u->fn = (layout & (kLayoutReversed | kLayoutFourthLast)) ? shuffle3<2, 1, 0> : copy_bytes;
      u->form = kWorkColor3;
      return true;
    case 32:
      p->src_step = 4;
      if (layout & kLayoutReversed) u->fn = shuffle4<3, 2, 1, 0>;
      else if (layout & kLayoutFourthFirst) u->fn = shuffle4<1, 2, 3, 0>;
      else if (layout & kLayoutFourthLast) u->fn = shuffle4<2, 1, 0, 3>;
      else u->fn = copy_bytes;
      u->form = kWorkColor4;
      return true;
    default:
      return false;
  }
}

// Byte positions inside a produced pixel. Ink and L*a*b* data are always packed plainly: the
// colour-space step at the end of the load reads the bytes in the file's order.
struct Positions {
  int8_t index;     // where an index byte goes
  int8_t alpha;     // the alpha byte of a 4-byte pixel
  int8_t plane[4];  // where plane p of a planar delivery goes
};

Positions positions(int produced_bpp, int order, bool special) {
  if (produced_bpp == 3) {
    if (order == 0 || special) return {0, -1, {0, 1, 2, -1}};
    return {2, -1, {2, 1, 0, -1}};
  }
  if (order == 0 || special) return {0, 3, {0, 1, 2, 3}};
  switch (order) {
    case 1: return {3, 0, {3, 2, 1, 0}};   // alpha, blue, green, red
    case 2: return {2, 3, {2, 1, 0, 3}};   // blue, green, red, alpha
    default: return {1, 0, {1, 2, 3, 0}};  // alpha, red, green, blue
  }
}

RowConverter select_pack_color3(WorkingForm form, int order, bool special) {
  const bool plain = order == 0 || special;
  if (form == kWorkColor3) return plain ? pack_copy : shuffle3<2, 1, 0>;
  return plain ? pack_4_to_3<0, 1, 2> : pack_4_to_3<2, 1, 0>;
}

RowConverter select_pack_color4(WorkingForm form, int order, bool special) {
  const int o = special ? 0 : order;
  if (form == kWorkColor3) {
    switch (o) {
      case 1: return pack_3_to_4<A, 2, 1, 0>;
      case 2: return pack_3_to_4<2, 1, 0, A>;
      case 3: return pack_3_to_4<A, 0, 1, 2>;
      default: return pack_3_to_4<0, 1, 2, A>;
    }
  }
  switch (o) {
    case 1: return shuffle4<3, 2, 1, 0>;
    case 2: return shuffle4<2, 1, 0, 3>;
    case 3: return shuffle4<3, 0, 1, 2>;
    default: return pack_copy;
  }
}

}  // namespace

int convert_select_load(const LoadRowFormat& f, LoadConverters* out) {
  *out = LoadConverters{};
  const int64_t bits64 = static_cast<int64_t>(f.planes) * f.bits_per_plane;
  if (f.planes < 1 || f.bits_per_plane < 1 || bits64 > 32) return kStatusNotRecognised;
  const int bits = static_cast<int>(bits64);
  const int order = (f.component_order >= 0 && f.component_order <= 3) ? f.component_order : 0;
  const bool special = (f.layout & kLayoutSpecialMask) != 0;

  LoadConverters c{};
  c.params.alpha = f.alpha;
  Unpacked u;
  if (!select_unpack(f, bits, &c.params, &u)) return kStatusNotRecognised;
  c.unpack = u.fn;
  c.working_form = u.form;
  switch (u.form) {
    case kWorkBits: c.working_bytes_per_pixel = 0; break;
    case kWorkColor3: c.working_bytes_per_pixel = 3; break;
    case kWorkColor4: c.working_bytes_per_pixel = 4; break;
    case kWorkDeep: c.working_bytes_per_pixel = c.params.samples * c.params.dst_sample_bytes; break;
    default: c.working_bytes_per_pixel = 1; break;
  }

  int produced_bpp;
  switch (f.produced) {
    case kPixBilevel: produced_bpp = 0; break;
    case kPixGrey:
    case kPixIndexed: produced_bpp = 1; break;
    case kMaskColor3: produced_bpp = 3; break;
    case kMaskColor4: produced_bpp = 4; break;
    default:
      if (!is_deep(f.produced)) return kStatusNotRecognised;
      produced_bpp = c.working_bytes_per_pixel;
      break;
  }
  c.produced_bytes_per_pixel = produced_bpp;
  c.params.dst_step = produced_bpp;

  if (produced_bpp == 3 || produced_bpp == 4) {
    if (!is_deep(f.produced)) {
      const Positions pos = positions(produced_bpp, order, special);
      c.params.pos[0] = pos.index;
      c.params.pos[3] = pos.alpha;
      // Planar bytes: plane p goes to plane[p]; in 4-byte pixels plane 3's position is also the
      // alpha position, where pack_plane_bytes puts the alpha when fewer planes arrive.
      if (u.form == kWorkPlane && bits > 8) std::memcpy(c.params.pos, pos.plane, 4);
    }
  }

  switch (u.form) {
    case kWorkBits:
      if (produced_bpp != 0) return kStatusNotRecognised;
      c.pack = pack_copy_bits;
      break;
    case kWorkDeep:
      c.pack = pack_copy;
      break;
    case kWorkIndex:
      if (produced_bpp == 1) c.pack = pack_copy;
      else if (produced_bpp >= 3) c.pack = pack_index_to_color;
      else return kStatusNotRecognised;
      break;
    case kWorkGrey:
      if (produced_bpp == 1) c.pack = pack_copy;
      else if (produced_bpp == 3) c.pack = pack_grey_to_color3;
      else if (produced_bpp == 4) c.pack = pack_grey_to_color4;
      else return kStatusNotRecognised;
      break;
    case kWorkPlane:
      if (produced_bpp == 0) return kStatusNotRecognised;
      if (bits <= 8) {
        c.params.shift_per_plane = static_cast<uint8_t>(f.bits_per_plane);
        if (produced_bpp == 1) c.params.pos[0] = 0;
        c.pack = pack_plane_index;
      } else {
        if (produced_bpp < 3) return kStatusNotRecognised;
        c.pack = pack_plane_bytes;
      }
      break;
    case kWorkColor3:
    case kWorkColor4:
      if (produced_bpp == 3) c.pack = select_pack_color3(u.form, order, special);
      else if (produced_bpp == 4) c.pack = select_pack_color4(u.form, order, special);
      else return kStatusNotRecognised;
      break;
  }
  *out = c;
  return 0;
}

size_t convert_load_source_bytes(const LoadRowFormat& f, int32_t width) {
  if (width < 0 || f.planes < 1 || f.bits_per_plane < 1) return 0;
  const int64_t w = width;
  const int64_t bits = static_cast<int64_t>(f.planes) * f.bits_per_plane;
  int64_t n;
  if (f.produced == kPixBilevel) {
    n = (f.layout & kLayoutOnePerByte) ? w : (w + 7) / 8;
  } else if (is_deep(f.produced)) {
    if (f.samples < 1) return 0;
    n = w * ((bits / f.samples + 7) / 8) * f.samples;
  } else if (f.layout & kLayoutWordInterleaved) {
    n = (w + 15) / 16 * f.planes * 2;
  } else if (f.layout & kLayoutPlanar) {
    n = (w * f.bits_per_plane + 7) / 8;
  } else if (f.planes > 1) {
    const int64_t last = bits <= 8 ? (w * f.bits_per_plane + 7) / 8 : w;
    n = static_cast<int64_t>(f.planes - 1) * f.bytes_per_plane + last;
  } else if (f.samples == 1 && bits > 8) {
    n = w * ((bits + 7) / 8);
  } else if (bits <= 8) {
    n = (f.layout & kLayoutOnePerByte) ? w : (w * bits + 7) / 8;
  } else if (bits == 12) {
    n = (w * 3 + 1) / 2;
  } else {
    n = w * ((bits + 7) / 8);
  }
  if (n < 0 || static_cast<uint64_t>(n) > std::numeric_limits<size_t>::max() / 2) return 0;
  return static_cast<size_t>(n);
}

size_t convert_working_bytes(const LoadConverters& c, int32_t width) {
  if (width < 0) return 0;
  if (c.working_form == kWorkBits) return bit_bytes(width);
  return static_cast<size_t>(width) * static_cast<size_t>(c.working_bytes_per_pixel);
}

}  // namespace lumora
