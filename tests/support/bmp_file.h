#pragma once
// Bitmap files (BITMAPFILEHEADER, then a BITMAPINFOHEADER or longer, or the OS/2 core header)
// built field by field.
#include "tests/support/picture_file.h"

namespace lumora::test {

// A bitmap file: file header, info header of `header_size` bytes (12 = OS/2), then `extra`
// (masks), `palette` and `pixels`. `masks` go into a header of 56 bytes or more.
struct BmpFile {
  uint32_t header_size = 40;
  int32_t width = 1, height = 1;
  uint16_t planes = 1, bits = 24;
  uint32_t compression = 0;
  uint32_t colors_used = 0;
  int32_t ppm = 2835;
  uint32_t masks[4] = {};
  Bytes extra, palette, pixels;
  int64_t data_offset = -1;  // -1: right after the palette

  Bytes build() const {
    Bytes b;
    uint32_t offset = data_offset >= 0 ? static_cast<uint32_t>(data_offset)
                                       : 14 + header_size + static_cast<uint32_t>(extra.size() + palette.size());
    put16(b, 0x4D42);
    put32(b, static_cast<uint32_t>(14 + header_size + extra.size() + palette.size() + pixels.size()));
    put32(b, 0);
    put32(b, offset);
    put32(b, header_size);
    if (header_size == 12) {
      put16(b, static_cast<uint32_t>(width));
      put16(b, static_cast<uint32_t>(height));
      put16(b, planes);
      put16(b, bits);
    } else {
      put32(b, static_cast<uint32_t>(width));
      put32(b, static_cast<uint32_t>(height));
      put16(b, planes);
      put16(b, bits);
      put32(b, compression);
      put32(b, 0);
      put32(b, static_cast<uint32_t>(ppm));
      put32(b, static_cast<uint32_t>(ppm));
      put32(b, colors_used);
      put32(b, 0);
      for (int i = 0; i < 4 && 40 + 4 * i < static_cast<int>(header_size); ++i) put32(b, masks[i]);
      while (b.size() < 14 + header_size) b.push_back(0);
    }
    b.insert(b.end(), extra.begin(), extra.end());
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
  }
};

}  // namespace lumora::test
