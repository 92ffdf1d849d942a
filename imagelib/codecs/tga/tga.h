#pragma once
// Truevision Targa (TGA 2.0 file format): the format table's reader and writer,
// uncompressed and run-length encoded.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imagelib/core/format.h"

namespace lumora {

int tga_read(ByteStream* stream, LoadContext* context);
// Takes every picture: 32-bit colour, 24-bit colour, 8-bit colour-mapped, 8-bit grey or 1-bit.
int tga_write(ByteStream* stream, SaveContext* context);

// Run-length encodes one row of `row_bytes` bytes made of pixels of `pixel_bytes` bytes into
// Targa packets appended to `out` (packets never cross rows). Returns 0, or 1 when memory is short.
int tga_rle_encode_row(const uint8_t* row, size_t row_bytes, int pixel_bytes,
                       std::vector<uint8_t>* out);

}  // namespace lumora
