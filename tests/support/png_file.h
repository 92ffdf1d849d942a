#pragma once
// PNG files made with libpng itself from raw rows, with the chunks a test asks for; and PNG files
// written chunk by chunk, as another program might write them.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <utility>

#include "tests/support/picture_file.h"

namespace lumora::test {

// A PNG made with libpng itself: `rows` hold the raw row bytes of the given type and depth.
struct PngRecipe {
  uint32_t width = 2, height = 2;
  int color_type = PNG_COLOR_TYPE_RGB, bit_depth = 8;
  bool interlaced = false;
  std::vector<Bytes> rows{};
  int palette_size = 0;
  Bytes trans{};             // palette transparency
  int ppm = 0;               // pHYs pixels per metre
  std::vector<std::pair<const char*, const char*>> texts{};
};

void append_png(png_structp png, png_bytep data, size_t size) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

bool write_png_bytes(const PngRecipe* recipe, Bytes* out) {
  // Made before the jump point: a jump from libpng must not skip a destructor.
  std::vector<png_bytep> pointers;
  for (const Bytes& r : recipe->rows) pointers.push_back(const_cast<png_bytep>(r.data()));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, append_png, nullptr);
  png_set_IHDR(png, info, recipe->width, recipe->height, recipe->bit_depth, recipe->color_type,
               recipe->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, 0, 0);
  png_color palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), 7};
  if (recipe->palette_size) png_set_PLTE(png, info, palette, recipe->palette_size);
  if (!recipe->trans.empty())
    png_set_tRNS(png, info, const_cast<png_bytep>(recipe->trans.data()), static_cast<int>(recipe->trans.size()), nullptr);
  if (recipe->ppm) png_set_pHYs(png, info, recipe->ppm, recipe->ppm, PNG_RESOLUTION_METER);
  png_text texts[4];
  for (size_t i = 0; i < recipe->texts.size(); ++i) {
    texts[i] = {};
    texts[i].compression = PNG_TEXT_COMPRESSION_NONE;
    texts[i].key = const_cast<char*>(recipe->texts[i].first);
    texts[i].text = const_cast<char*>(recipe->texts[i].second);
  }
  if (!recipe->texts.empty()) png_set_text(png, info, texts, static_cast<int>(recipe->texts.size()));
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

Bytes make_png(const PngRecipe& recipe) {
  Bytes out;
  EXPECT_TRUE(write_png_bytes(&recipe, &out));
  return out;
}

// The PNG signature, then chunks appended with png_chunk.
inline Bytes png_signature() { return {0x89, 'P', 'N', 'G', 13, 10, 26, 10}; }

// One chunk: length, type, data and the CRC-32 of type and data, numbers big-endian.
inline void png_chunk(Bytes& out, const char* type, const Bytes& data) {
  auto be32 = [&](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
  };
  be32(static_cast<uint32_t>(data.size()));
  Bytes body(type, type + 4);
  append(body, data);
  append(out, body);
  be32(static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// Offset and length of the data of the first chunk of `type`; {0, 0} when there is none.
inline std::pair<size_t, size_t> png_find_chunk(const Bytes& png, const char* type) {
  for (size_t at = 8; at + 8 <= png.size();) {
    const size_t length = (size_t{png[at]} << 24) | (size_t{png[at + 1]} << 16) | (size_t{png[at + 2]} << 8) | png[at + 3];
    if (std::memcmp(png.data() + at + 4, type, 4) == 0) return {at + 8, length};
    at += 12 + length;
  }
  return {0, 0};
}

// The data of every chunk of `type`, in file order.
inline std::vector<Bytes> png_all_chunks(const Bytes& png, const char* type) {
  std::vector<Bytes> out;
  for (size_t at = 8; at + 8 <= png.size();) {
    const size_t length = (size_t{png[at]} << 24) | (size_t{png[at + 1]} << 16) | (size_t{png[at + 2]} << 8) |
                          png[at + 3];
    if (std::memcmp(png.data() + at + 4, type, 4) == 0 && at + 8 + length <= png.size())
      out.emplace_back(png.begin() + static_cast<long>(at + 8), png.begin() + static_cast<long>(at + 8 + length));
    at += 12 + length;
  }
  return out;
}

}  // namespace lumora::test
