#pragma once
// Helpers of the codec conformance tests: the public test files under $LUMORA_TESTDATA, pictures
// loaded through load_image and expanded to 8-bit red, green, blue, alpha, and PNG files decoded
// straight with libpng for comparison.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "tests/support/picture_file.h"

namespace lumora::test {

// The testdata folder, or "" when the variable is not set or the folder is missing.
inline std::string testdata_dir() {
  const char* dir = std::getenv("LUMORA_TESTDATA");
  if (!dir || !std::filesystem::is_directory(dir)) return {};
  return dir;
}

#define LUMORA_REQUIRE_TESTDATA(dir)                                                     \
  const std::string dir = ::lumora::test::testdata_dir();                     \
  if (dir.empty()) GTEST_SKIP() << "LUMORA_TESTDATA is not set: conformance files absent"

// Every regular file below `folder` with the extension `ext` (with the dot), sorted.
inline std::vector<std::filesystem::path> files_below(const std::filesystem::path& folder,
                                                      const std::string& ext) {
  std::vector<std::filesystem::path> out;
  if (!std::filesystem::is_directory(folder)) return out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    if (e.is_regular_file() && e.path().extension() == ext) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

struct Rgba {
  int width = 0, height = 0;
  std::vector<uint8_t> px;   // width x height x 4
  bool has_alpha = false;    // the source carried an alpha channel
};

// Expands a loaded Bitmap (component order 0) to RGBA: grey of fewer than 256 levels is scaled
// to 0..255, palette entries are looked up.
inline Rgba expand(const Bitmap& b) {
  Rgba out;
  out.width = b.width;
  out.height = b.height;
  out.px.resize(static_cast<size_t>(b.width) * b.height * 4);
  out.has_alpha = b.type == kPixRGBA;
  for (int32_t y = 0; y < b.height; ++y) {
    const uint8_t* row = bitmap_row(&b, y);
    for (int32_t x = 0; x < b.width; ++x) {
      uint8_t* o = &out.px[(static_cast<size_t>(y) * b.width + x) * 4];
      o[3] = 255;
      switch (b.type) {
        case kPixBilevel: o[0] = o[1] = o[2] = bit_get(row, x) ? 255 : 0; break;
        case kPixGrey: {
          int v = row[x];
          if (b.colors >= 2 && b.colors < 256) v = std::min<int>(v, b.colors - 1) * 255 / (b.colors - 1);
          o[0] = o[1] = o[2] = static_cast<uint8_t>(v);
          break;
        }
        case kPixIndexed:
          o[0] = b.palette[kPalR + row[x]];
          o[1] = b.palette[kPalG + row[x]];
          o[2] = b.palette[kPalB + row[x]];
          break;
        case kPixRGB: std::copy_n(row + 3 * x, 3, o); break;
        case kPixRGBA: std::copy_n(row + 4 * x, 4, o); break;
        default: break;
      }
    }
  }
  return out;
}

// Loads with component order 0, alignment 1, 4-byte colour where the file has alpha.
inline int load_rgba(const std::string& path, Rgba* out, uint32_t extra_flags = 0,
                     int32_t image = 0) {
  LoadParams p;
  load_params_init(&p);
  p.alignment = 1;
  p.flags = extra_flags;
  p.image_index = image;
  Bitmap b{};
  int status = load_image(path.c_str(), &b, &p, nullptr);
  if (status == 0) *out = expand(b);
  bitmap_free(&b);
  return status;
}

// How libpng_rgba decodes: kLibraryRules as this library's rules say (16-bit samples keep their
// high byte, transparency chunks give no alpha, grey with alpha loses it, colour alpha is kept);
// kReference as the reference renderings do (16-bit samples rounded, every transparency as alpha).
enum class PngDecode { kLibraryRules, kReference };

// A PNG decoded straight by libpng to 8-bit RGBA, without gamma correction.
inline bool libpng_rgba(const std::string& path, Rgba* out, PngDecode mode) {
  const bool reference = mode == PngDecode::kReference;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_bytep volatile data = nullptr;
  png_bytepp volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(data);
    std::free(rows);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  const int color_type = png_get_color_type(png, info);
  const bool alpha = (color_type & PNG_COLOR_MASK_ALPHA) != 0;
  png_set_palette_to_rgb(png);
  png_set_expand_gray_1_2_4_to_8(png);
  if (reference && png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (reference) png_set_scale_16(png);
  else png_set_strip_16(png);
  if (!reference && color_type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const uint32_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  data = static_cast<png_bytep>(std::malloc(static_cast<size_t>(w) * h * 4));
  rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * h));
  for (uint32_t y = 0; y < h; ++y) rows[y] = data + static_cast<size_t>(y) * w * 4;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  out->width = static_cast<int>(w);
  out->height = static_cast<int>(h);
  out->px.assign(data, data + static_cast<size_t>(w) * h * 4);
  out->has_alpha = alpha && (reference || color_type == PNG_COLOR_TYPE_RGB_ALPHA);
  // libpng's palette and grey expansions turn tRNS into alpha as well; the rules give none.
  if (!reference && !out->has_alpha)
    for (size_t i = 3; i < out->px.size(); i += 4) out->px[i] = 255;
  png_destroy_read_struct(&png, &info, nullptr);
  std::free(data);
  std::free(rows);
  std::fclose(f);
  return true;
}

// Number of pixels whose compared components differ by more than `tolerance`; alpha compared
// only with `compare_alpha`, and pixels with `skip_transparent` and reference alpha 0 are left out.
inline long differing_pixels(const Rgba& got, const Rgba& want, int tolerance, bool compare_alpha,
                             bool skip_transparent) {
  if (got.width != want.width || got.height != want.height) return -1;
  long bad = 0;
  for (size_t i = 0; i < got.px.size(); i += 4) {
    if (skip_transparent && want.px[i + 3] == 0) continue;
    for (int k = 0; k < (compare_alpha ? 4 : 3); ++k)
      if (std::abs(got.px[i + k] - want.px[i + k]) > tolerance) {
        ++bad;
        break;
      }
  }
  return bad;
}


}  // namespace lumora::test
