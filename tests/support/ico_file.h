#pragma once
// Icon files (ICONDIR, directory entries, then each image as a bitmap information header, palette,
// XOR and AND rows) built field by field.
#include "tests/support/picture_file.h"

namespace lumora::test {

// One image: a bitmap information header, palette, XOR rows and AND rows, bottom row first.
// Pixel (x, y) of the picture (y from the top) has colour index or grey value `value(x, y)`;
// the mask marks the pixels where x == y as transparent.
struct IconImage {
  int32_t width = 4, height = 4;
  uint16_t bits = 4;
  uint32_t info_size = 40;
  uint32_t colors_used = 0;
  bool with_mask = true;

  static int value(int32_t x, int32_t y) { return (x + 2 * y) % 16; }

  Bytes bytes() const {
    Bytes b;
    put32(b, info_size);
    put32(b, static_cast<uint32_t>(width));
    put32(b, static_cast<uint32_t>(2 * height));
    put16(b, 1);
    put16(b, bits);
    for (int i = 0; i < 6; ++i) put32(b, i == 4 ? colors_used : 0);
    const uint32_t entries = bits <= 8 ? (colors_used ? colors_used : 1u << bits) : 0;
    for (uint32_t i = 0; i < entries; ++i) {
      b.push_back(static_cast<uint8_t>(3 * i));        // blue
      b.push_back(static_cast<uint8_t>(2 * i));        // green
      b.push_back(static_cast<uint8_t>(10 * i));       // red
      b.push_back(0);
    }
    const size_t xor_row = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    for (int32_t y = height - 1; y >= 0; --y) {
      Bytes row(xor_row, 0);
      for (int32_t x = 0; x < width; ++x) {
        const int v = value(x, y);
        switch (bits) {
          case 1: row[x / 8] = static_cast<uint8_t>(row[x / 8] | ((v & 1) << (7 - x % 8))); break;
          case 4: row[x / 2] = static_cast<uint8_t>(row[x / 2] | (v << (x % 2 ? 0 : 4))); break;
          case 8: row[x] = static_cast<uint8_t>(v); break;
          case 24: row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = static_cast<uint8_t>(16 * v); break;
          case 32:
            row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = static_cast<uint8_t>(16 * v);
            row[4 * x + 3] = static_cast<uint8_t>(x == y ? 0 : 200);
            break;
        }
      }
      append(b, row);
    }
    if (!with_mask) return b;
    const size_t mask_row = (static_cast<size_t>(width) + 31) / 32 * 4;
    for (int32_t y = height - 1; y >= 0; --y) {
      Bytes row(mask_row, 0);
      for (int32_t x = 0; x < width; ++x)
        if (x == y) row[x / 8] = static_cast<uint8_t>(row[x / 8] | (0x80 >> (x % 8)));
      append(b, row);
    }
    return b;
  }
};

Bytes icon_file(const std::vector<IconImage>& images) {
  Bytes b;
  put16(b, 0);
  put16(b, 1);
  put16(b, static_cast<uint32_t>(images.size()));
  std::vector<Bytes> data;
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (const IconImage& image : images) {
    data.push_back(image.bytes());
    b.push_back(static_cast<uint8_t>(image.width));
    b.push_back(static_cast<uint8_t>(image.height));
    b.push_back(0);
    b.push_back(0);
    put16(b, 1);
    put16(b, image.bits);
    put32(b, static_cast<uint32_t>(data.back().size()));
    put32(b, offset);
    offset += static_cast<uint32_t>(data.back().size());
  }
  for (const Bytes& d : data) append(b, d);
  return b;
}

}  // namespace lumora::test
