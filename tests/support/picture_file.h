#pragma once
// What every test that writes picture files shares: little-endian fields, temporary files and
// folders, the library started for the whole program, and loads through the whole pipeline
// (load_image with component order 0 and alignment 1) with single pixels read back.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace lumora::test {

using Bytes = std::vector<uint8_t>;

// Little-endian fields (the byte order of BMP, ICO, TGA, PCX and GIF headers).
inline void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// Appends `tail` to `bytes` (resize and copy: GCC 12 misreports vector::insert under -O3).
inline void append(Bytes& bytes, const Bytes& tail) {
  const size_t at = bytes.size();
  bytes.resize(at + tail.size());
  std::copy(tail.begin(), tail.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

inline Bytes text_bytes(const char* s, size_t n) { return Bytes(s, s + n); }

inline Bytes read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

inline void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// A private folder removed with its files at the end of the test.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/lumora_test_XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  ~TempDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path(const std::string& name) const { return path_ + "/" + name; }
  std::string file(const std::string& name) const { return path(name); }
  std::string operator/(const std::string& name) const { return path(name); }
  std::string write(const std::string& name, const Bytes& data) const {
    write_file(path(name), data);
    return path(name);
  }
  const std::string& dir() const { return path_; }
  // The names in the folder, "." and ".." left out.
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.insert(e.path().filename().string());
    return names;
  }
  static Bytes read(const std::string& p) { return read_file(p); }

 private:
  std::string path_;
};

// One file with the given bytes and extension, removed with the object.
class TempFile {
 public:
  explicit TempFile(const Bytes& bytes, const std::string& extension = "tif")
      : path_(dir_.write("picture." + extension, bytes)) {}
  const std::string& path() const { return path_; }

 private:
  TempDir dir_;
  std::string path_;
};

class LibraryStarted : public ::testing::Environment {
 public:
  void SetUp() override { library_start(); }
  void TearDown() override { library_stop(); }
};
using LibraryEnvironment = LibraryStarted;

inline LoadParams plain_params(uint32_t flags = 0) {
  LoadParams p;
  load_params_init(&p);
  p.alignment = 1;
  p.flags = flags;
  return p;
}

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
  const uint8_t* pixel(int32_t x, int32_t y) const {
    return bitmap.pixels + static_cast<size_t>(y) * bitmap.bytes_per_line +
           static_cast<size_t>(x) * bitmap.bytes_per_pixel;
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

inline void load_path(const std::string& path, const LoadParams& params, LoadedPicture* out) {
  out->status = load_image(path.c_str(), &out->bitmap, &params, &out->info);
}

// Writes `bytes` to a temporary file ending in `extension` (without the dot) and loads it.
inline void load_bytes(const Bytes& bytes, const char* extension, const LoadParams& params,
                       LoadedPicture* out) {
  TempFile file(bytes, extension);
  load_path(file.path(), params, out);
}

inline void load_bytes(const Bytes& bytes, const char* extension, LoadedPicture* out) {
  load_bytes(bytes, extension, plain_params(), out);
}

inline void load_text(const std::string& text, const char* extension, LoadedPicture* out,
                      LoadParams params = plain_params()) {
  load_bytes(Bytes(text.begin(), text.end()), extension, params, out);
}

// Loads into a caller's Bitmap with the given flags (and reader, -1 = by content and name).
inline int load(const std::string& path, Bitmap* bm, uint32_t flags = 0, FileInfo* info = nullptr,
                int format_index = -1) {
  LoadParams p = plain_params(flags);
  p.format_index = static_cast<int16_t>(format_index);
  return load_image(path.c_str(), bm, &p, info);
}

inline Bytes pixel(const Bitmap& bm, int x, int y) {
  const uint8_t* p = bm.pixels + static_cast<size_t>(y) * bm.bytes_per_line + x * bm.bytes_per_pixel;
  return Bytes(p, p + bm.bytes_per_pixel);
}

// An 8-bit RGBA PNG written by libpng from `rgba` (width x height x 4 bytes); empty on failure.
inline Bytes png_rgba(uint32_t width, uint32_t height, const Bytes& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) return {};
  Bytes out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) return {};
  out.resize(size);
  return out;
}

}  // namespace lumora::test
