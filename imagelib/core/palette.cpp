// Palette forms in both directions (colour maps of readers, palettes of writers).
#include "imagelib/core/palette.h"

#include <algorithm>
#include <cstring>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/convert.h"

namespace lumora {
namespace {

constexpr uint32_t kWordForms = kPaletteWord3 | kPaletteWord4Split | kPaletteWord4;
constexpr uint32_t kQuadForms = kPaletteRGBA | kPaletteABGR | kPaletteBGRA;

int entry_count(int source_bits) {
  const int bits = std::clamp(source_bits, 1, 8);
  return 1 << bits;
}

// Bytes of one map entry; the planes form counts all three of its 16-bit values.
size_t map_entry_bytes(uint32_t form) {
  if (form & kWordForms) return 2;
  if (form & kPalettePlanes16) return 6;
  if (form & kQuadForms) return 4;
  return 3;
}

inline uint16_t word_msb_first(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

inline uint16_t word_native(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Reader component of `bits` bits (1..8) to 8 bits; a value above the range clamps to 255.
inline uint8_t scale_component(uint32_t v, int bits) {
  if (bits > 8) return static_cast<uint8_t>(v > 255 ? 255 : v);
  const uint32_t max = (1u << bits) - 1u;
  const uint32_t s = v * 255u / max;
  return static_cast<uint8_t>(s > 255 ? 255 : s);
}

inline void put(uint8_t* planar, int i, uint8_t r, uint8_t g, uint8_t b) {
  planar[kPalR + i] = r;
  planar[kPalG + i] = g;
  planar[kPalB + i] = b;
}

}  // namespace

size_t palette_map_size(uint32_t form, int source_bits) {
  return map_entry_bytes(form) * static_cast<size_t>(entry_count(source_bits));
}

int palette_read_map(uint8_t* planar, uint32_t form, int palette_bits, int source_bits,
                     const uint8_t* map, size_t map_size) {
  std::memset(planar, 0, kPaletteBytes);
  if (!map) return 0;
  const int bits = palette_bits < 1 ? 8 : palette_bits;
  const int count = entry_count(source_bits);
  const size_t entry_bytes = map_entry_bytes(form);
  const int available = static_cast<int>(std::min<size_t>(map_size / entry_bytes, count));

  if (form & kPaletteWord3) {
    for (int i = 0; i < available; ++i) {
      const uint16_t v = word_msb_first(map + i * 2);
      put(planar, i, scale_to_8((v >> 8) & 7, 3), scale_to_8((v >> 4) & 7, 3), scale_to_8(v & 7, 3));
    }
  } else if (form & kPaletteWord4Split) {
    // Each component's three high bits lie together and its lowest bit apart (bits 11, 7, 3).
    for (int i = 0; i < available; ++i) {
      const uint16_t v = word_msb_first(map + i * 2);
      const uint32_t r = (((v >> 8) & 7u) << 1) | ((v >> 11) & 1u);
      const uint32_t g = (((v >> 4) & 7u) << 1) | ((v >> 7) & 1u);
      const uint32_t b = ((v & 7u) << 1) | ((v >> 3) & 1u);
      put(planar, i, scale_to_8(r, 4), scale_to_8(g, 4), scale_to_8(b, 4));
    }
  } else if (form & kPaletteWord4) {
    for (int i = 0; i < available; ++i) {
      const uint16_t v = word_msb_first(map + i * 2);
      put(planar, i, scale_to_8((v >> 8) & 15, 4), scale_to_8((v >> 4) & 15, 4), scale_to_8(v & 15, 4));
    }
  } else if (form & kPalettePlanes16) {
    // Three planes of `count` values each (TIFF ColorMap layout, TIFF 6.0 section 5).
    const uint8_t* plane[3];
    const size_t plane_bytes = static_cast<size_t>(count) * 2;
    const bool bgr = form & kPaletteBGR;
    for (int k = 0; k < 3; ++k) plane[k] = map + plane_bytes * static_cast<size_t>(bgr ? 2 - k : k);
    // A short map: only the entries whose three values are all present.
    const int have = map_size >= 3 * plane_bytes ? count
                     : map_size > 2 * plane_bytes ? static_cast<int>((map_size - 2 * plane_bytes) / 2)
                                                  : 0;
    bool high = false;
    if (bits > 8) {
      for (int k = 0; k < 3 && !high; ++k) {
        for (int i = 0; i < have; ++i) {
          if (word_native(plane[k] + i * 2) > 255) {
            high = true;
            break;
          }
        }
      }
    }
    for (int i = 0; i < have; ++i) {
      uint8_t c[3];
      for (int k = 0; k < 3; ++k) {
        const uint16_t v = word_native(plane[k] + i * 2);
        c[k] = bits > 8 ? static_cast<uint8_t>(high ? v >> 8 : v & 0xFF) : scale_component(v, bits);
      }
      put(planar, i, c[0], c[1], c[2]);
    }
    return have;
  } else if (form & kQuadForms) {
    // Byte positions of red, green, blue, alpha in a 4-byte entry.
    int r = 0, g = 1, b = 2, a = 3;
    if (form & kPaletteRGBA) {
    } else if (form & kPaletteABGR) {
      a = 0; b = 1; g = 2; r = 3;
    } else {
      b = 0; g = 1; r = 2; a = 3;
    }
    for (int i = 0; i < available; ++i) {
      const uint8_t* e = map + i * 4;
      put(planar, i, scale_component(e[r], bits), scale_component(e[g], bits), scale_component(e[b], bits));
      planar[kPalA + i] = scale_component(e[a], bits);
    }
  } else {
    const bool bgr = form & kPaletteBGR;
    for (int i = 0; i < available; ++i) {
      const uint8_t* e = map + i * 3;
      const uint8_t c0 = scale_component(e[0], bits), c1 = scale_component(e[1], bits),
                    c2 = scale_component(e[2], bits);
      if (bgr) put(planar, i, c2, c1, c0);
      else put(planar, i, c0, c1, c2);
    }
  }
  return available;
}

size_t palette_form_size(uint32_t form, int palette_bits, int writer_bits) {
  if (writer_bits < 1 || writer_bits > 8) return 0;
  const size_t n = size_t{1} << writer_bits;
  if (form & kWordForms) return n * 2;
  if (form & kPalettePlanes16) return n * 6;
  return n * (palette_bits > 8 ? 6 : 3);
}

void palette_write_form(uint8_t* out, uint32_t form, int palette_bits, int writer_bits,
                        uint16_t bitmap_type, int colors, const uint8_t* planar) {
  const size_t size = palette_form_size(form, palette_bits, writer_bits);
  if (size == 0) return;
  std::memset(out, 0, size);
  const int n = 1 << writer_bits;

  // Source entries by the Bitmap's kind.
  uint8_t src[3][256] = {};
  int have = 0;
  if (bitmap_type == kPixBilevel) {
    have = 2;
    src[0][1] = src[1][1] = src[2][1] = 255;
  } else if (bitmap_type == kPixGrey) {
    have = (colors >= 2 && colors <= 256) ? colors : 256;
    for (int i = 0; i < have; ++i) {
      src[0][i] = src[1][i] = src[2][i] = static_cast<uint8_t>(i * 255 / (have - 1));
    }
  } else if (planar) {
    have = 256;
    std::memcpy(src[0], planar + kPalR, 256);
    std::memcpy(src[1], planar + kPalG, 256);
    std::memcpy(src[2], planar + kPalB, 256);
  }
  have = std::min(have, n);
  if (form & kPaletteInverted) {
    for (int k = 0; k < 3; ++k) {
      for (int i = 0; i < have; ++i) src[k][i] = static_cast<uint8_t>(255 - src[k][i]);
    }
  }

  if (form & kWordForms) {
    for (int i = 0; i < have; ++i) {
      uint32_t w;
      if (form & kPaletteWord3) {
        w = (src[0][i] * 7u / 255u) << 8 | (src[1][i] * 7u / 255u) << 4 | (src[2][i] * 7u / 255u);
      } else if (form & kPaletteWord4Split) {
        const uint32_t r = src[0][i] * 15u / 255u, g = src[1][i] * 15u / 255u,
                       b = src[2][i] * 15u / 255u;
        w = ((r >> 1) << 8) | ((r & 1) << 11) | ((g >> 1) << 4) | ((g & 1) << 7) | (b >> 1) |
            ((b & 1) << 3);
      } else {
        w = (src[0][i] * 15u / 255u) << 8 | (src[1][i] * 15u / 255u) << 4 | (src[2][i] * 15u / 255u);
      }
      // Stored most significant byte first.
      out[i * 2] = static_cast<uint8_t>(w >> 8);
      out[i * 2 + 1] = static_cast<uint8_t>(w);
    }
    return;
  }

  const bool bgr = form & kPaletteBGR;
  const int order[3] = {bgr ? 2 : 0, 1, bgr ? 0 : 2};
  const bool wide = (form & kPalettePlanes16) || palette_bits > 8;
  auto scaled = [&](uint8_t v) -> uint32_t {
    if (palette_bits > 8) return v * 257u;
    const int bits = palette_bits < 1 ? 8 : palette_bits;
    return v * ((1u << bits) - 1u) / 255u;
  };
  if (form & kPalettePlanes16) {
    for (int k = 0; k < 3; ++k) {
      uint8_t* plane = out + static_cast<size_t>(k) * static_cast<size_t>(n) * 2;
      for (int i = 0; i < have; ++i) {
        const uint16_t v = static_cast<uint16_t>(scaled(src[order[k]][i]));
        std::memcpy(plane + i * 2, &v, 2);
      }
    }
    return;
  }
  for (int i = 0; i < have; ++i) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t v = scaled(src[order[k]][i]);
      if (wide) {
        const uint16_t w = static_cast<uint16_t>(v);
        std::memcpy(out + i * 6 + k * 2, &w, 2);
      } else {
        out[i * 3 + k] = static_cast<uint8_t>(v);
      }
    }
  }
}

}  // namespace lumora
