#pragma once
// Run-length encoded bitmaps (BI_RLE8 and BI_RLE4): decoding of a whole picture into rows, and
// encoding of one row.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora::bmp {

// Where the decoder takes its bytes from: `next(user)` returns 0..255, or -1 at the end.
struct RleInput {
  int (*next)(void* user);
  void* user;
};

// Receives each finished row: the row buffer holds it, `row` is its number in file order.
// A non-zero answer stops decoding with that status.
struct RleOutput {
  int (*deliver)(void* user, int32_t row);
  void* user;
};

// Decodes an RLE8 (`bits` 8) or RLE4 (`bits` 4) picture of `width` x `height` pixels. `row`
// holds `row_bytes` bytes, at least ceil(width x bits / 8); it is cleared before each row and
// nothing is ever written beyond `width` pixels, whatever the counts, literal lengths and deltas
// say. Escapes: end of row, end of picture (later rows stay empty), delta (a delta past the last
// row ends the picture the same way). Returns 0, 4 (the data ended; the row being decoded is
// delivered first) or the output's status.
int rle_decode(int bits, int32_t width, int32_t height, uint8_t* row, size_t row_bytes,
               const RleInput& input, const RleOutput& output);

// Appends the RLE8 code of one row of `width` bytes (ending with the end-of-row escape).
void rle8_encode_row(const uint8_t* row, int32_t width, std::vector<uint8_t>* out);
// Appends the RLE4 code of one row of `width` 4-bit pixels packed high nibble first.
void rle4_encode_row(const uint8_t* row, int32_t width, std::vector<uint8_t>* out);

}  // namespace lumora::bmp
