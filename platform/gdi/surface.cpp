#include "platform/gdi/surface.h"

#include <bit>
#include <cstring>

namespace lumora::plat {

void Surface::attach(uint8_t* bits, int w, int h, int bits_per_pixel, size_t stride, bool bottom_up) {
  width = w;
  height = h;
  bpp = bits_per_pixel;
  if (bottom_up && h > 0) {
    row0 = bits + stride * static_cast<size_t>(h - 1);
    pitch = -static_cast<ptrdiff_t>(stride);
  } else {
    row0 = bits;
    pitch = static_cast<ptrdiff_t>(stride);
  }
  if (bpp == 16) set_masks(0x7C00, 0x03E0, 0x001F);
  if (bpp == 32) set_masks(0xFF0000, 0x00FF00, 0x0000FF);
  colours_changed();
}

void Surface::set_masks(uint32_t r, uint32_t g, uint32_t b) {
  mask[0] = r, mask[1] = g, mask[2] = b;
  for (int c = 0; c < 3; ++c) {
    shift_[c] = mask[c] ? std::countr_zero(mask[c]) : 0;
    bits_[c] = mask[c] ? std::popcount(mask[c]) : 0;
  }
}

// Narrow channels are widened by repeating their bits, so full scale maps to 255 and zero to 0.
static inline uint32_t widen(uint32_t v, int bits) {
  if (bits >= 8) return v >> (bits - 8);
  if (bits == 0) return 0;
  uint32_t out = 0;
  int have = 0;
  while (have < 8) {
    out = (out << bits) | v;
    have += bits;
  }
  return out >> (have - 8);
}

uint32_t Surface::unpack(uint32_t px) const {
  uint32_t out = 0;
  for (int c = 0; c < 3; ++c) {
    uint32_t v = (px & mask[c]) >> shift_[c];
    out |= widen(v, bits_[c]) << (16 - 8 * c);
  }
  return out;
}

uint32_t Surface::pack(uint32_t rgb) const {
  uint32_t px = 0;
  for (int c = 0; c < 3; ++c) {
    uint32_t v = (rgb >> (16 - 8 * c)) & 0xFF;
    uint32_t narrowed = bits_[c] >= 8 ? v << (bits_[c] - 8) : v >> (8 - bits_[c]);
    px |= (narrowed << shift_[c]) & mask[c];
  }
  return px;
}

uint8_t Surface::index_for(uint32_t rgb) {
  size_t slot = ((rgb >> 16) * 7 + (rgb >> 8) * 3 + rgb) & 63;
  if (cache_valid_[slot] && cache_key_[slot] == rgb) return cache_index_[slot];
  int count = colour_count > 0 ? colour_count : 1;
  int best = 0;
  long best_d = -1;
  for (int i = 0; i < count; ++i) {
    uint32_t c = colours[i];
    long dr = static_cast<long>((c >> 16) & 0xFF) - static_cast<long>((rgb >> 16) & 0xFF);
    long dg = static_cast<long>((c >> 8) & 0xFF) - static_cast<long>((rgb >> 8) & 0xFF);
    long db = static_cast<long>(c & 0xFF) - static_cast<long>(rgb & 0xFF);
    long d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
    if (best_d < 0 || d < best_d) best_d = d, best = i;
    if (d == 0) break;
  }
  cache_valid_[slot] = true;
  cache_key_[slot] = rgb;
  cache_index_[slot] = static_cast<uint8_t>(best);
  return static_cast<uint8_t>(best);
}

void Surface::read_span(int x, int y, int n, uint32_t* out) const {
  const uint8_t* p = row(y);
  switch (bpp) {
    case 32:
      for (int i = 0; i < n; ++i) {
        uint32_t v;
        std::memcpy(&v, p + 4 * (x + i), 4);
        out[i] = (mask[0] == 0xFF0000 && mask[1] == 0xFF00 && mask[2] == 0xFF) ? (v & 0xFFFFFF) : unpack(v);
      }
      break;
    case 24:
      for (int i = 0; i < n; ++i) {
        const uint8_t* q = p + 3 * (x + i);  // blue, green, red
        out[i] = (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
      }
      break;
    case 16:
      for (int i = 0; i < n; ++i) {
        const uint8_t* q = p + 2 * (x + i);
        out[i] = unpack(q[0] | (uint32_t(q[1]) << 8));
      }
      break;
    case 8:
      for (int i = 0; i < n; ++i) out[i] = colours[p[x + i]];
      break;
    case 4:
      for (int i = 0; i < n; ++i) {
        int xx = x + i;
        uint8_t b = p[xx >> 1];
        out[i] = colours[(xx & 1) ? (b & 0x0F) : (b >> 4)];
      }
      break;
    case 1:
      for (int i = 0; i < n; ++i) {
        int xx = x + i;
        out[i] = colours[(p[xx >> 3] >> (7 - (xx & 7))) & 1];
      }
      break;
    default:
      std::memset(out, 0, sizeof(uint32_t) * static_cast<size_t>(n));
  }
}

void Surface::write_span(int x, int y, int n, const uint32_t* in) {
  uint8_t* p = row(y);
  switch (bpp) {
    case 32:
      if (mask[0] == 0xFF0000 && mask[1] == 0xFF00 && mask[2] == 0xFF) {
        std::memcpy(p + 4 * x, in, 4 * static_cast<size_t>(n));
      } else {
        for (int i = 0; i < n; ++i) {
          uint32_t v = pack(in[i]);
          std::memcpy(p + 4 * (x + i), &v, 4);
        }
      }
      break;
    case 24:
      for (int i = 0; i < n; ++i) {
        uint8_t* q = p + 3 * (x + i);
        q[0] = in[i] & 0xFF;
        q[1] = (in[i] >> 8) & 0xFF;
        q[2] = (in[i] >> 16) & 0xFF;
      }
      break;
    case 16:
      for (int i = 0; i < n; ++i) {
        uint32_t v = pack(in[i]);
        p[2 * (x + i)] = v & 0xFF;
        p[2 * (x + i) + 1] = (v >> 8) & 0xFF;
      }
      break;
    case 8:
      for (int i = 0; i < n; ++i) p[x + i] = index_for(in[i] & 0xFFFFFF);
      break;
    case 4:
      for (int i = 0; i < n; ++i) {
        int xx = x + i;
        uint8_t idx = index_for(in[i] & 0xFFFFFF) & 0x0F;
        uint8_t& b = p[xx >> 1];
        b = (xx & 1) ? static_cast<uint8_t>((b & 0xF0) | idx) : static_cast<uint8_t>((b & 0x0F) | (idx << 4));
      }
      break;
    case 1:
      for (int i = 0; i < n; ++i) {
        int xx = x + i;
        uint8_t bit = static_cast<uint8_t>(0x80 >> (xx & 7));
        if (index_for(in[i] & 0xFFFFFF) & 1)
          p[xx >> 3] |= bit;
        else
          p[xx >> 3] &= static_cast<uint8_t>(~bit);
      }
      break;
    default:
      break;
  }
}

void Surface::fill_span(int x, int y, int n, uint32_t rgb) {
  if (n <= 0) return;
  if (bpp == 32 && mask[0] == 0xFF0000 && mask[1] == 0xFF00 && mask[2] == 0xFF) {
    uint32_t* p = reinterpret_cast<uint32_t*>(row(y)) + x;
    for (int i = 0; i < n; ++i) p[i] = rgb;
    return;
  }
  uint32_t buf[256];
  for (int i = 0; i < 256; ++i) buf[i] = rgb;
  while (n > 0) {
    int chunk = n < 256 ? n : 256;
    write_span(x, y, chunk, buf);
    x += chunk;
    n -= chunk;
  }
}

}  // namespace lumora::plat
