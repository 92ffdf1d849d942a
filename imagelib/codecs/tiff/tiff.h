#pragma once
// The TIFF reader (TIFF 6.0): both byte orders, pages, strips and tiles, chunky and planar
// samples, 1 to 32 bits per sample, bilevel, grey, palette, RGB, CMYK, YCbCr, CIE L*a*b* and
// LogL/LogLuv pictures, and the compressions none, PackBits, LZW, deflate, CCITT (modified
// Huffman, T.4 one- and two-dimensional, T.6), ThunderScan, SGILog and JPEG (old and new style).
#include "imagelib/core/format.h"

namespace lumora {

// Format table entry (row "tiff").
int tiff_read(ByteStream* stream, LoadContext* context);

// The reader with an optional description that replaces "TIFF" in the header (null = none).
int tiff_read_common(ByteStream* stream, LoadContext* context, const char* description);

}  // namespace lumora
