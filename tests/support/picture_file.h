#pragma once
// Loads bytes written by a test through the whole load pipeline (load_image on a temporary file
// with the extension given), and reads single pixels of the result as red, green, blue, alpha.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace lumora::testing_support {

class LibraryStarted : public ::testing::Environment {
 public:
  void SetUp() override { library_start(); }
  void TearDown() override { library_stop(); }
};

struct LoadedPicture {
  int status = -1;
  Bitmap bitmap{};
  FileInfo info{};
  LoadedPicture() = default;
  LoadedPicture(const LoadedPicture&) = delete;
  LoadedPicture& operator=(const LoadedPicture&) = delete;
  ~LoadedPicture() {
    bitmap_free(&bitmap);
    file_info_free(&info);
  }

  // Red, green, blue, alpha of pixel (x, y) of a picture loaded with component order 0.
  std::array<int, 4> rgba(int32_t x, int32_t y) const {
    const uint8_t* row = bitmap_row(&bitmap, y);
    switch (bitmap.type) {
      case kPixBilevel: {
        const int v = bit_get(row, x) ? 255 : 0;
        return {v, v, v, 255};
      }
      case kPixGrey: return {row[x], row[x], row[x], 255};
      case kPixIndexed:
        return {bitmap.palette[row[x]], bitmap.palette[256 + row[x]], bitmap.palette[512 + row[x]], 255};
      case kPixRGB: return {row[3 * x], row[3 * x + 1], row[3 * x + 2], 255};
      case kPixRGBA: return {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
      default: return {-1, -1, -1, -1};
    }
  }
};

// Appends `tail` to `bytes` (resize and copy: GCC 12 misreports vector::insert under -O3).
inline void append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& tail) {
  const size_t at = bytes.size();
  bytes.resize(at + tail.size());
  std::copy(tail.begin(), tail.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

inline LoadParams plain_params() {
  LoadParams p;
  load_params_init(&p);
  p.alignment = 1;
  return p;
}

// Writes `bytes` to a temporary file ending in `extension` (without the dot) and loads it.
inline void load_bytes(const std::vector<uint8_t>& bytes, const char* extension,
                       const LoadParams& params, LoadedPicture* out) {
  std::string name = std::string("/tmp/lumora_codec_XXXXXX.") + extension;
  const int fd = mkstemps(name.data(), static_cast<int>(std::string(extension).size() + 1));
  ASSERT_GE(fd, 0);
  FILE* f = fdopen(fd, "wb");
  ASSERT_NE(f, nullptr);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  out->status = load_image(name.c_str(), &out->bitmap, &params, &out->info);
  std::remove(name.c_str());
}

inline void load_bytes(const std::vector<uint8_t>& bytes, const char* extension, LoadedPicture* out) {
  load_bytes(bytes, extension, plain_params(), out);
}

inline void load_text(const std::string& text, const char* extension, LoadedPicture* out,
                      LoadParams params = plain_params()) {
  load_bytes(std::vector<uint8_t>(text.begin(), text.end()), extension, params, out);
}

// An 8-bit RGBA PNG written by libpng from `rgba` (width x height x 4 bytes); empty on failure.
inline std::vector<uint8_t> png_rgba(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) return {};
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) return {};
  out.resize(size);
  return out;
}

}  // namespace lumora::testing_support
