#pragma once
// DXT1 and DXT3 (S3 texture compression) block data behind a bitmap header: 4x4 pixel blocks of
// two 5-6-5 colours and 2-bit indices, DXT3 with 4-bit explicit alpha in front.
#include <cstddef>
#include <cstdint>

namespace lumora::bmp {

constexpr size_t kDxt1BlockBytes = 8;
constexpr size_t kDxt3BlockBytes = 16;

// Decodes one row of blocks (`blocks` bytes for ceil(width / 4) blocks) into up to 4 rows of
// `width` red, green, blue, alpha pixels; `rows` (1 to 4) rows are written, `stride` bytes apart.
// Pixels of blocks beyond the picture's width or height are not written.
void dxt_decode_block_row(bool dxt3, const uint8_t* blocks, int32_t width, int rows, uint8_t* out,
                          size_t stride);

}  // namespace lumora::bmp
