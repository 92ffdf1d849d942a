#pragma once
// Tables shared by the row converters of both directions (not part of the public interface).
#include <bit>
#include <cstdint>

namespace lumora {

// Each bit of a byte as one byte of 0 or 1, leftmost bit first in memory, as a 64-bit word.
struct BitSpread {
  uint64_t v[256];
  constexpr BitSpread() : v() {
    for (int b = 0; b < 256; ++b) {
      uint64_t w = 0;
      for (int i = 0; i < 8; ++i) {
        const uint64_t bit = (b >> (7 - i)) & 1;
        const int byte = std::endian::native == std::endian::little ? i : 7 - i;
        w |= bit << (8 * byte);
      }
      v[b] = w;
    }
  }
};
inline constexpr BitSpread kBitSpread{};

}  // namespace lumora
