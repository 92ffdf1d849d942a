#pragma once
// Helpers of the bitmap codec tests: files built byte by byte, a temporary folder, loading.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace lumora::bmptest {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
inline void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// A bitmap file: file header, info header of `header_size` bytes (12 = OS/2), then `extra`
// (masks), `palette` and `pixels`. `masks` go into a header of 56 bytes or more.
struct BmpFile {
  uint32_t header_size = 40;
  int32_t width = 1, height = 1;
  uint16_t planes = 1, bits = 24;
  uint32_t compression = 0;
  uint32_t colors_used = 0;
  int32_t ppm = 2835;
  uint32_t masks[4] = {};
  Bytes extra, palette, pixels;
  int64_t data_offset = -1;  // -1: right after the palette

  Bytes build() const {
    Bytes b;
    uint32_t offset = data_offset >= 0 ? static_cast<uint32_t>(data_offset)
                                       : 14 + header_size + static_cast<uint32_t>(extra.size() + palette.size());
    put16(b, 0x4D42);
    put32(b, static_cast<uint32_t>(14 + header_size + extra.size() + palette.size() + pixels.size()));
    put32(b, 0);
    put32(b, offset);
    put32(b, header_size);
    if (header_size == 12) {
      put16(b, static_cast<uint32_t>(width));
      put16(b, static_cast<uint32_t>(height));
      put16(b, planes);
      put16(b, bits);
    } else {
      put32(b, static_cast<uint32_t>(width));
      put32(b, static_cast<uint32_t>(height));
      put16(b, planes);
      put16(b, bits);
      put32(b, compression);
      put32(b, 0);
      put32(b, static_cast<uint32_t>(ppm));
      put32(b, static_cast<uint32_t>(ppm));
      put32(b, colors_used);
      put32(b, 0);
      for (int i = 0; i < 4 && 40 + 4 * i < static_cast<int>(header_size); ++i) put32(b, masks[i]);
      while (b.size() < 14 + header_size) b.push_back(0);
    }
    b.insert(b.end(), extra.begin(), extra.end());
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
  }
};

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/lumora_bmp_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string write(const std::string& name, const Bytes& data) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    return p;
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline Bytes read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The library for the whole test program.
class LibraryEnvironment : public testing::Environment {
 public:
  void SetUp() override { library_start(); }
  void TearDown() override { library_stop(); }
};

// Loads with component order 0 (red, green, blue), alignment 1, and the given flags.
inline int load(const std::string& path, Bitmap* bm, uint32_t flags = 0, FileInfo* info = nullptr,
                int format_index = -1) {
  LoadParams p;
  load_params_init(&p);
  p.alignment = 1;
  p.flags = flags;
  p.format_index = static_cast<int16_t>(format_index);
  return load_image(path.c_str(), bm, &p, info);
}

inline Bytes pixel(const Bitmap& bm, int x, int y) {
  const uint8_t* p = bm.pixels + static_cast<size_t>(y) * bm.bytes_per_line + x * bm.bytes_per_pixel;
  return Bytes(p, p + bm.bytes_per_pixel);
}

}  // namespace lumora::bmptest
