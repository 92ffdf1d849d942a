#pragma once
// A pixel surface of 1, 4, 8, 16, 24 or 32 bits per pixel, addressed by visual rows (row 0 at
// the top, whatever the storage order). All conversions go through spans of 0x00RRGGBB values,
// so every drawing operation works on every depth.
#include <array>
#include <cstddef>
#include <cstdint>

namespace lumora::plat {

class Surface {
 public:
  int width = 0;
  int height = 0;
  int bpp = 32;
  uint8_t* row0 = nullptr;  // visual row 0
  ptrdiff_t pitch = 0;      // bytes from one visual row to the next (negative when bottom-up)

  // Channel masks for 16 and 32 bits per pixel.
  uint32_t mask[3] = {0xFF0000, 0x00FF00, 0x0000FF};
  // Colour table for 1, 4 and 8 bits per pixel, as 0x00RRGGBB.
  std::array<uint32_t, 256> colours{};
  int colour_count = 0;

  // Sets the geometry of a surface over existing memory. stride is the positive row size.
  void attach(uint8_t* bits, int w, int h, int bits_per_pixel, size_t stride, bool bottom_up);
  void set_masks(uint32_t r, uint32_t g, uint32_t b);
  void colours_changed() { cache_valid_.fill(false); }

  uint8_t* row(int y) const { return row0 + static_cast<ptrdiff_t>(y) * pitch; }
  bool valid() const { return row0 != nullptr && width > 0 && height > 0; }

  // The caller keeps x, y, n inside the surface.
  void read_span(int x, int y, int n, uint32_t* out) const;
  void write_span(int x, int y, int n, const uint32_t* in);
  void fill_span(int x, int y, int n, uint32_t rgb);

  static size_t stride_for(int w, int bits_per_pixel) {
    return ((static_cast<size_t>(w) * bits_per_pixel + 31) / 32) * 4;
  }

 private:
  uint32_t pack(uint32_t rgb) const;    // 16/32-bit pixel value through the masks
  uint32_t unpack(uint32_t px) const;
  uint8_t index_for(uint32_t rgb);      // nearest colour-table entry

  int shift_[3] = {16, 8, 0};
  int bits_[3] = {8, 8, 8};
  // Small direct-mapped cache of nearest-colour look-ups for palette surfaces.
  std::array<uint32_t, 64> cache_key_{};
  std::array<uint8_t, 64> cache_index_{};
  std::array<bool, 64> cache_valid_{};
};

// 0x00BBGGRR <-> 0x00RRGGBB.
inline uint32_t colorref_to_rgb(uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline uint32_t rgb_to_colorref(uint32_t rgb) { return colorref_to_rgb(rgb); }

}  // namespace lumora::plat
