#pragma once
// PCX files (128-byte ZSoft header, then the encoded planes) built field by field.
#include <cstring>

#include "tests/support/picture_file.h"

namespace lumora::test {

struct PcxFile {
  uint8_t version = 5, encoding = 1, bits = 8, planes = 1;
  uint16_t xmin = 0, ymin = 0, xmax = 1, ymax = 0;
  uint16_t bytes_per_line = 2;
  uint8_t header_palette[48] = {};
  Bytes data;

  Bytes bytes() const {
    Bytes b(128, 0);
    b[0] = 10;
    b[1] = version;
    b[2] = encoding;
    b[3] = bits;
    const uint16_t words[] = {xmin, ymin, xmax, ymax, 72, 72};
    for (int i = 0; i < 6; ++i) {
      b[4 + 2 * i] = static_cast<uint8_t>(words[i]);
      b[5 + 2 * i] = static_cast<uint8_t>(words[i] >> 8);
    }
    std::memcpy(&b[16], header_palette, 48);
    b[65] = planes;
    b[66] = static_cast<uint8_t>(bytes_per_line);
    b[67] = static_cast<uint8_t>(bytes_per_line >> 8);
    append(b, data);
    return b;
  }
};

}  // namespace lumora::test
