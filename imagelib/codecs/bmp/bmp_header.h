#pragma once
// The file header and the info header of a bitmap file (Windows BITMAPINFOHEADER and its longer
// versions, OS/2 BITMAPCOREHEADER). All numbers are little-endian.
#include <cstdint>

#include "imagelib/core/stream.h"

namespace lumora::bmp {

constexpr uint16_t kMagic = 19778;           // "BM"
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kOs2HeaderBytes = 12;     // BITMAPCOREHEADER
constexpr uint32_t kInfoHeaderBytes = 40;    // BITMAPINFOHEADER
constexpr uint32_t kMasksInHeaderBytes = 56; // BITMAPV3INFOHEADER and longer hold the masks
constexpr uint32_t kDxtDataOffset = 74;      // where block data starts in DXT bitmaps

// Compression codes of the info header.
constexpr uint32_t kCompressNone = 0;
constexpr uint32_t kCompressRle8 = 1;
constexpr uint32_t kCompressRle4 = 2;
constexpr uint32_t kCompressBitFields = 3;
constexpr uint32_t kCompressDxt1 = 0x31545844;  // "DXT1" read as a little-endian number
constexpr uint32_t kCompressDxt3 = 0x33545844;  // "DXT3"

// Largest side of a non-DXT bitmap this library accepts.
constexpr uint32_t kMaxSide = 32000;

struct BmpHeader {
  uint32_t file_size;
  uint32_t data_offset;      // offset of the pixel data from the start of the file
  uint32_t header_size;      // 12 = OS/2, 40 or more = Windows
  bool os2;
  uint32_t width;            // absolute value
  uint32_t height;           // absolute value
  bool top_down;             // negative height in the file
  uint16_t planes;
  uint16_t bits;             // bits per pixel per plane
  uint32_t compression;
  int32_t x_pixels_per_metre;
  int32_t y_pixels_per_metre;
  uint32_t colors_used;
  bool masks_in_header;      // the red, green, blue, alpha masks were read from the header
  uint32_t masks[4];         // red, green, blue, alpha (alpha 0 when the header has none)
};

// Reads both headers from the stream's current position (offset 0). Returns 0, 2 (no "BM",
// header size neither 12 nor 40 or more, unsupported compression) or 4 (file ends inside them).
// Leaves the stream just after the info header.
int read_headers(ByteStream* stream, BmpHeader* header);

// Dots per inch from pixels per metre (0 stays 0), and back.
int32_t dpi_from_ppm(int32_t pixels_per_metre);
int32_t ppm_from_dpi(int32_t dpi);

}  // namespace lumora::bmp
