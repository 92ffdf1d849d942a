#pragma once
// Targa files (Truevision TGA: 18-byte header, image ID, colour map, pixels) built field by field.
#include "tests/support/picture_file.h"

namespace lumora::test {

struct TgaFile {
  uint8_t id_length = 0, map_type = 0, image_type = 2;
  uint16_t map_first = 0, map_length = 0;
  uint8_t map_bits = 0;
  uint16_t width = 2, height = 2;
  uint8_t depth = 24, descriptor = 0x20;
  Bytes id, map, data;

  Bytes bytes() const {
    Bytes b{id_length, map_type, image_type,
            static_cast<uint8_t>(map_first), static_cast<uint8_t>(map_first >> 8),
            static_cast<uint8_t>(map_length), static_cast<uint8_t>(map_length >> 8), map_bits,
            0, 0, 0, 0,
            static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), depth, descriptor};
    b.insert(b.end(), id.begin(), id.end());
    b.insert(b.end(), map.begin(), map.end());
    b.insert(b.end(), data.begin(), data.end());
    return b;
  }
};

}  // namespace lumora::test
