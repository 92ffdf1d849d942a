#pragma once
// Pictures written and read back through the library's own writers and readers, for tests whose
// subject is elsewhere (the command-line tool, the thumbnail cache): inputs made from a pixel
// function, outputs read back as red, green, blue.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"

namespace lumora::test {

// Writes a width x height picture of `type` with the writer of `format`; pixel(x, y, bytes) fills
// each pixel's bytes. Returns the save status, or -1 when the picture cannot be allocated.
inline int save_picture(const std::string& path, int format, int width, int height,
                        const std::function<void(int, int, uint8_t*)>& pixel, uint16_t type = kPixRGB) {
  Bitmap b{};
  if (bitmap_alloc(&b, type, 4, width, height) != 1) return -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixel(x, y, bitmap_row(&b, y) + static_cast<size_t>(x) * b.bytes_per_pixel);
  SaveParams params;
  save_params_init(&params);
  params.format_index = static_cast<int16_t>(format);
  const int status = save_image(path.c_str(), &b, &params);
  bitmap_free(&b);
  return status;
}

// A file loaded as 3-byte red, green, blue, top row first.
struct RgbPicture {
  int status = -1;
  int width = 0, height = 0;
  std::string format;  // short name of the reader that accepted the file
  std::vector<uint32_t> pixels;  // 0xRRGGBB, row by row
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline RgbPicture load_rgb(const std::string& path) {
  LoadParams params;
  load_params_init(&params);
  params.flags = kLoadForceColor | kLoadPrefer3Byte;
  Bitmap b{};
  FileInfo info{};
  RgbPicture out;
  out.status = load_image(path.c_str(), &b, &params, &info);
  if (out.status == 0 && b.type == kPixRGB) {
    out.width = b.width;
    out.height = b.height;
    out.format = format_name(info.format_index) ? format_name(info.format_index) : "";
    for (int y = 0; y < b.height; ++y)
      for (int x = 0; x < b.width; ++x) {
        const uint8_t* p = bitmap_row(&b, y) + 3 * x;
        out.pixels.push_back((uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]);
      }
  } else if (out.status == 0) {
    out.status = -1;  // not the 3-byte colour asked for
  }
  bitmap_free(&b);
  file_info_free(&info);
  return out;
}

}  // namespace lumora::test
