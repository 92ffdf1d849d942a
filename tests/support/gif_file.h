#pragma once
// Builds GIF files byte by byte for the tests (GIF89a block layout), compressing the pixels with
// the library's LZW encoder (whose output is checked on its own in lzw_test).
#include <cstdio>
#include <string>
#include <vector>

#include "imagelib/codecs/gif/lzw_decode.h"
#include "imagelib/codecs/gif/lzw_encode.h"
#include "tests/support/picture_file.h"

namespace lumora::test {

struct Rgb {
  uint8_t r, g, b;
};

// Entry i of the default tables: distinct colours.
inline Rgb default_color(int i) {
  return {static_cast<uint8_t>(i * 10 + 5), static_cast<uint8_t>(i * 20 + 1), static_cast<uint8_t>(i * 30 + 2)};
}

class GifBuilder {
 public:
  std::vector<uint8_t> bytes;

  GifBuilder& header(int width, int height, int global_bits, uint8_t background = 0,
                     const char* signature = "GIF89a", std::vector<Rgb> colors = {}) {
    for (int i = 0; i < 6; ++i) bytes.push_back(static_cast<uint8_t>(signature[i]));
    u16(width);
    u16(height);
    bytes.push_back(static_cast<uint8_t>(global_bits ? 0x80 | (global_bits - 1) : 0));
    bytes.push_back(background);
    bytes.push_back(0);
    if (global_bits) table(global_bits, colors);
    return *this;
  }

  GifBuilder& control(int disposal, int delay, int transparent) {
    for (int b : {0x21, 0xF9, 4}) bytes.push_back(static_cast<uint8_t>(b));
    bytes.push_back(static_cast<uint8_t>((disposal << 2) | (transparent >= 0 ? 1 : 0)));
    u16(delay);
    bytes.push_back(static_cast<uint8_t>(transparent >= 0 ? transparent : 0));
    bytes.push_back(0);
    return *this;
  }

  // A comment extension, split into sub-blocks of at most `chunk` bytes.
  GifBuilder& comment(const std::string& text, size_t chunk = 255) {
    bytes.push_back(0x21);
    bytes.push_back(0xFE);
    for (size_t i = 0; i < text.size(); i += chunk) {
      size_t n = std::min(chunk, text.size() - i);
      bytes.push_back(static_cast<uint8_t>(n));
      bytes.insert(bytes.end(), text.begin() + static_cast<long>(i), text.begin() + static_cast<long>(i + n));
    }
    bytes.push_back(0);
    return *this;
  }

  // An image; `pixels` are in picture order (reordered here for interlaced images).
  GifBuilder& image(int left, int top, int width, int height, const std::vector<uint8_t>& pixels,
                    int local_bits = 0, bool interlaced = false, int code_size = 0,
                    std::vector<Rgb> colors = {}) {
    bytes.push_back(0x2C);
    u16(left);
    u16(top);
    u16(width);
    u16(height);
    bytes.push_back(static_cast<uint8_t>((local_bits ? 0x80 | (local_bits - 1) : 0) | (interlaced ? 0x40 : 0)));
    if (local_bits) table(local_bits, colors);
    if (code_size == 0) {
      int top_value = 1;
      for (uint8_t p : pixels) top_value = std::max<int>(top_value, p);
      code_size = 2;
      while ((1 << code_size) <= top_value) ++code_size;
    }
    bytes.push_back(static_cast<uint8_t>(code_size));
    std::vector<uint8_t> ordered(pixels);
    if (interlaced)
      for (int k = 0; k < height; ++k) {
        int row = gif_interlaced_row(k, height);
        std::copy_n(pixels.begin() + static_cast<long>(row) * width, width, ordered.begin() + static_cast<long>(k) * width);
      }
    if (code_size >= 2 && code_size <= 8) {
      LzwEncoder encoder(code_size + 1, append, &bytes);
      encoder.add(ordered.data(), ordered.size());
      encoder.finish();
    }
    bytes.push_back(0);
    return *this;
  }

  GifBuilder& trailer() {
    bytes.push_back(0x3B);
    return *this;
  }


 private:
  static int append(void* user, const uint8_t* data, size_t size) {
    auto* v = static_cast<std::vector<uint8_t>*>(user);
    v->insert(v->end(), data, data + size);
    return 0;
  }
  void u16(int v) {
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  void table(int bits, const std::vector<Rgb>& colors) {
    for (int i = 0; i < (1 << bits); ++i) {
      Rgb c = i < static_cast<int>(colors.size()) ? colors[static_cast<size_t>(i)] : default_color(i);
      bytes.push_back(c.r);
      bytes.push_back(c.g);
      bytes.push_back(c.b);
    }
  }
};

inline std::vector<uint8_t> filled(int count, uint8_t value) {
  return std::vector<uint8_t>(static_cast<size_t>(count), value);
}

}  // namespace lumora::test
