// Screenshots as 8-bit RGB PNG files (libpng), written atomically enough for tests: a failed
// write removes the partial file.
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/system/system.h"

namespace lumora::plat {

namespace {

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngWriter() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  }
};

bool write_png(FILE* f, const uint32_t* pixels, int w, int h) {
  PngWriter wr;
  wr.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!wr.png) return false;
  wr.info = png_create_info_struct(wr.png);
  if (!wr.info) return false;
  std::vector<png_byte> row(static_cast<size_t>(w) * 3);
  if (setjmp(png_jmpbuf(wr.png))) return false;
  png_init_io(wr.png, f);
  png_set_IHDR(wr.png, wr.info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(wr.png, wr.info);
  for (int y = 0; y < h; ++y) {
    const uint32_t* src = pixels + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<png_byte>(src[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(src[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(src[x]);
    }
    png_write_row(wr.png, row.data());
  }
  png_write_end(wr.png, nullptr);
  return true;
}

}  // namespace

bool SaveScreenshot(const std::string& path) {
  const uint32_t* pixels = ScreenPixels();
  if (!pixels || path.empty()) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = write_png(f, pixels, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace lumora::plat
