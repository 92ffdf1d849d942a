#pragma once
// PNG files made with libpng itself from raw rows, with the chunks a test asks for.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
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

}  // namespace lumora::test
