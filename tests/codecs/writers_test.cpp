// The Targa, PNG, GIF and bitmap writers through save_image: the header fields each picture type
// gets, round trips of every type each takes through load_image, their metadata, write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "imagelib/core/save.h"
#include "imagelib/core/stream.h"
#include "tests/support/png_file.h"
#include "tests/support/reader_harness.h"

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;
using Pixel = std::array<int, 4>;

// Each row starts with a third of one value (run-length packets of both kinds), then varies;
// grey and indexed values stay below `colors`. Palette entry i is (i, 255 - i, 7 i).
Bitmap picture(uint16_t type, int width, int height, int colors) {
  Bitmap b{};
  EXPECT_EQ(bitmap_alloc(&b, type, 4, width, height), 1);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap_row(&b, y);
    const int32_t samples = type == kPixBilevel ? width : width * b.bytes_per_pixel;
    for (int32_t i = 0; i < samples; ++i) {
      const int v = i < samples / 3 ? y : i * 7 + y * 3;
      if (type == kPixBilevel) bit_put(row, i, v & 1);
      else row[i] = static_cast<uint8_t>(v % colors);
    }
  }
  if (type == kPixIndexed || type == kPixGrey) b.colors = static_cast<uint16_t>(colors);
  if (b.palette)
    for (int i = 0; i < 256; ++i) {
      b.palette[kPalR + i] = static_cast<uint8_t>(i);
      b.palette[kPalG + i] = static_cast<uint8_t>(255 - i);
      b.palette[kPalB + i] = static_cast<uint8_t>(i * 7);
    }
  return b;
}

// Red, green, blue, alpha of pixel (x, y) of any type the writers take.
Pixel colour(const Bitmap& b, int32_t x, int32_t y) {
  const uint8_t* p = bitmap_row(&b, y) + static_cast<size_t>(x) * b.bytes_per_pixel;
  switch (b.type) {
    case kPixBilevel: {
      const int v = bit_get(bitmap_row(&b, y), x) ? 255 : 0;
      return {v, v, v, 255};
    }
    case kPixGrey: {
      const int v = p[0] * 255 / (b.colors >= 2 && b.colors < 256 ? b.colors - 1 : 255);
      return {v, v, v, 255};
    }
    case kPixIndexed: return {b.palette[kPalR + p[0]], b.palette[kPalG + p[0]], b.palette[kPalB + p[0]], 255};
    case kPixRGB: return {p[0], p[1], p[2], 255};
    case kPixBGR: return {p[2], p[1], p[0], 255};
    case kPixRGBA: return {p[0], p[1], p[2], p[3]};
    case kPixBGRA: return {p[2], p[1], p[0], p[3]};
    case kPixABGR: return {p[3], p[2], p[1], p[0]};
    default: return {-1, -1, -1, -1};
  }
}

class Writers : public ::testing::Test {
 protected:
  void SetUp() override { library_start(); }
  void TearDown() override { library_stop(); }
  // `option`: run-length packets for Targa, interlaced rows for PNG and GIF.
  static SaveParams params(int16_t format, bool option = false) {
    SaveParams p;
    save_params_init(&p);
    p.format_index = format;
    if (format == kFormatTga) p.rle = option;
    else p.interlaced = option;
    return p;
  }
  int save(const Bitmap& b, const SaveParams& p) { return save_image(path_.c_str(), &b, &p); }
  Bytes file() const { return test::read_file(path_); }
  // The data of the first PNG chunk of the given type, or empty.
  Bytes chunk(const char* type) const {
    const Bytes f = file();
    const auto [at, length] = test::png_find_chunk(f, type);
    return Bytes(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + length));
  }
  test::TempDir dir_;
  std::string path_ = dir_.file("picture");
};

TEST_F(Writers, HeadersAndRoundTrips) {
  struct Case {
    const char* name;
    int16_t format;
    uint16_t type;
    int colors;
    bool option;   // Targa run-length packets, PNG and GIF interlaced rows
    int png_filter;
    std::vector<std::pair<size_t, int>> bytes;   // file bytes at offsets
  };
  // Targa: map type, image type, depth, top-down origin; a map of 256 24-bit entries, entry 10
  // (blue, green, red) at 18 + 30.
  const std::vector<std::pair<size_t, int>> tga_map = {{5, 0}, {6, 1}, {7, 24}, {48, 70}, {49, 245}, {50, 10}};
  auto tga = [&](uint8_t map, uint8_t image_type, uint8_t depth) {
    std::vector<std::pair<size_t, int>> b = {{0, 0}, {1, map}, {2, image_type}, {16, depth}, {17, 0x20}};
    if (map) b.insert(b.end(), tga_map.begin(), tga_map.end());
    return b;
  };
  // PNG: IHDR depth, colour type and interlace; PLTE (length, then its name) right after IHDR.
  auto png = [](int depth, int colour_type, bool interlaced, int palette = 0) {
    std::vector<std::pair<size_t, int>> b = {{24, depth}, {25, colour_type}, {28, interlaced}};
    if (palette) b.insert(b.end(), {{35, 3 * palette >> 8}, {36, 3 * palette & 0xFF}, {37, 'P'}});
    return b;
  };
  // GIF: "GIF89a", a global table of 2^bits entries, the image descriptor right after it and the
  // LZW code size; green of palette entry 1.
  auto gif = [](int bits, int code_size, bool indexed) {
    const size_t table = 3u << bits;
    std::vector<std::pair<size_t, int>> b = {{4, '9'}, {10, 0x80 | (bits - 1)}, {13 + table, 0x2C},
                                             {13 + table + 10, code_size}};
    if (indexed) b.push_back({17, 254});
    return b;
  };
  const Case cases[] = {
      {"TGA RGB", kFormatTga, kPixRGB, 256, false, 0, tga(0, 2, 24)},
      {"TGA RGB, run-length", kFormatTga, kPixRGB, 256, true, 0, tga(0, 10, 24)},
      {"TGA BGRA, run-length", kFormatTga, kPixBGRA, 256, true, 0, tga(0, 10, 32)},
      {"TGA RGBA", kFormatTga, kPixRGBA, 256, false, 0, tga(0, 2, 32)},
      {"TGA indexed", kFormatTga, kPixIndexed, 256, false, 0, tga(1, 1, 8)},
      {"TGA indexed, run-length", kFormatTga, kPixIndexed, 256, true, 0, tga(1, 9, 8)},
      {"TGA grey, run-length", kFormatTga, kPixGrey, 256, true, 0, tga(0, 11, 8)},
      {"TGA grey", kFormatTga, kPixGrey, 256, false, 0, tga(0, 3, 8)},
      {"TGA bilevel", kFormatTga, kPixBilevel, 2, true, 0, tga(0, 3, 1)},
      {"PNG RGB", kFormatPng, kPixRGB, 256, false, 0, png(8, 2, false)},
      {"PNG BGR, interlaced, Paeth", kFormatPng, kPixBGR, 256, true, 4, png(8, 2, true)},
      {"PNG RGBA, adaptive filters", kFormatPng, kPixRGBA, 256, false, 5, png(8, 6, false)},
      {"PNG ABGR, interlaced, sub", kFormatPng, kPixABGR, 256, true, 1, png(8, 6, true)},
      {"PNG grey, up", kFormatPng, kPixGrey, 256, false, 2, png(8, 0, false)},
      {"PNG 8 colours, interlaced, average", kFormatPng, kPixIndexed, 8, true, 3, png(4, 3, true, 16)},
      {"PNG 200 colours", kFormatPng, kPixIndexed, 200, false, 0, png(8, 3, false, 256)},
      {"PNG bilevel, interlaced", kFormatPng, kPixBilevel, 2, true, 0, png(1, 0, true)},
      {"GIF 2 colours", kFormatGif, kPixIndexed, 2, false, 0, gif(1, 2, true)},
      {"GIF 8 colours, interlaced", kFormatGif, kPixIndexed, 8, true, 0, gif(3, 3, true)},
      {"GIF 5 colours, interlaced", kFormatGif, kPixIndexed, 5, true, 0, gif(3, 3, true)},
      {"GIF 16 colours, interlaced", kFormatGif, kPixIndexed, 16, true, 0, gif(4, 4, true)},
      {"GIF 200 colours", kFormatGif, kPixIndexed, 200, false, 0, gif(8, 8, true)},
      {"GIF grey, interlaced", kFormatGif, kPixGrey, 256, true, 0, gif(8, 8, false)},
      {"GIF bilevel", kFormatGif, kPixBilevel, 2, false, 0, gif(1, 2, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap b = picture(c.type, 150, 9, c.colors);
    SaveParams p = params(c.format, c.option);
    p.png_filter = static_cast<uint16_t>(c.png_filter);
    ASSERT_EQ(save(b, p), 0);
    const Bytes f = file();
    for (const auto& [at, value] : c.bytes) {
      ASSERT_LT(at, f.size());
      EXPECT_EQ(f[at], value) << "byte " << at;
    }
    if (c.format == kFormatGif) {
      EXPECT_EQ(f[f.size() - 2], 0);
      EXPECT_EQ(f.back(), 0x3B);
    }
    const bool alpha = c.type == kPixRGBA || c.type == kPixBGRA || c.type == kPixABGR;
    test::LoadedPicture back;
    test::load_path(path_, test::plain_params(alpha ? kLoadPrefer4Byte : 0), &back);
    ASSERT_EQ(back.status, 0);
    ASSERT_EQ(back.bitmap.width, b.width);
    ASSERT_EQ(back.bitmap.height, b.height);
    for (int32_t y = 0; y < b.height; ++y)
      for (int32_t x = 0; x < b.width; ++x) ASSERT_EQ(back.rgba(x, y), colour(b, x, y)) << x << "," << y;
    bitmap_free(&b);
  }
}

TEST_F(Writers, PngTransparencyResolutionAndComment) {
  Bitmap b = picture(kPixIndexed, 5, 5, 8);
  b.transparent_index = 3;
  b.xdpi = b.ydpi = 72;
  b.comment = string_dup("a comment");
  ASSERT_EQ(save(b, params(kFormatPng)), 0);
  EXPECT_EQ(chunk("tRNS"), (Bytes{255, 255, 255, 0}));
  Bytes phys = chunk("pHYs");
  ASSERT_EQ(phys.size(), 9u);
  EXPECT_EQ(get_u32be(phys.data()), 2834u);
  EXPECT_EQ(phys[8], 1);
  Bytes text = chunk("tEXt");
  EXPECT_EQ(std::string(text.begin(), text.end()), std::string("Comment\0a comment", 17));
  bitmap_free(&b);

  // A grey picture's transparent level is the index itself; colour pictures get no tRNS.
  Bitmap grey = picture(kPixGrey, 4, 4, 256);
  grey.transparent_index = 77;
  ASSERT_EQ(save(grey, params(kFormatPng)), 0);
  EXPECT_EQ(chunk("tRNS"), (Bytes{0, 77}));
  EXPECT_TRUE(chunk("pHYs").empty());
  bitmap_free(&grey);
  Bitmap rgb = picture(kPixRGB, 4, 4, 256);
  rgb.transparent_index = 2;
  ASSERT_EQ(save(rgb, params(kFormatPng)), 0);
  EXPECT_TRUE(chunk("tRNS").empty());
  bitmap_free(&rgb);
}

TEST_F(Writers, TgaCommentInTheImageIdField) {
  Bitmap b = picture(kPixGrey, 3, 2, 256);
  b.comment = string_dup("note");
  ASSERT_EQ(save(b, params(kFormatTga)), 0);
  Bytes f = file();
  EXPECT_EQ(f[0], 5);
  EXPECT_EQ(Bytes(f.begin() + 18, f.begin() + 23), (Bytes{'n', 'o', 't', 'e', 0}));
  std::free(b.comment);
  b.comment = string_dup(std::string(300, 'x').c_str());
  ASSERT_EQ(save(b, params(kFormatTga)), 0);
  f = file();
  EXPECT_EQ(f[0], 0);
  EXPECT_EQ(f.size(), 18u + 6u);
  bitmap_free(&b);
}

TEST_F(Writers, GifTransparencyAndCommentExtensions) {
  Bitmap b = picture(kPixIndexed, 4, 4, 4);
  b.transparent_index = 3;
  b.comment = string_dup("hello");
  SaveParams p = params(kFormatGif);
  p.gif87a = true;
  ASSERT_EQ(save(b, p), 0);
  std::vector<uint8_t> f = file();
  EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF87a");
  const size_t at = 13 + 12;
  const std::vector<uint8_t> expected{0x21, 0xF9, 4, 1, 0, 0, 3, 0, 0x21, 0xFE, 6, 'h', 'e', 'l', 'l', 'o', 0, 0, 0x2C};
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + at, f.begin() + at + expected.size()), expected);
  // A comment of 255 characters or more is left out.
  std::free(b.comment);
  b.comment = string_dup(std::string(300, 'c').c_str());
  b.transparent_index = -1;
  ASSERT_EQ(save(b, params(kFormatGif)), 0);
  EXPECT_EQ(file()[at], 0x2C);
  bitmap_free(&b);
}

TEST_F(Writers, RefusedPicturesAndWriteFailures) {
  Bitmap colour{};
  ASSERT_EQ(bitmap_alloc(&colour, kPixRGB, 4, 4, 4), 1);
  EXPECT_EQ(save(colour, params(kFormatGif)), 7);
  bitmap_free(&colour);

  struct Case {
    int16_t format;
    uint16_t type;
    bool option;
  };
  const Case cases[] = {{kFormatTga, kPixRGB, false}, {kFormatTga, kPixRGB, true}, {kFormatPng, kPixRGB, false},
                        {kFormatPng, kPixRGB, true},  {kFormatGif, kPixIndexed, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " option " << c.option);
    Bitmap b = picture(c.type, 400, 400, 256);
    SaveParams p = params(c.format, c.option);
    p.compression_level = 0;
    EXPECT_EQ(test::save_to_full_disk(b, p), 6);
    bitmap_free(&b);
  }
}

// A picture of `type` with varied content: noise, runs and a few flat rows.
Bitmap make_picture(uint16_t type, int w, int h, int colors, unsigned seed) {
  Bitmap b{};
  EXPECT_EQ(bitmap_alloc(&b, type, 4, w, h), 1);
  std::mt19937 rng(seed);
  if (type == kPixGrey || type == kPixIndexed) b.colors = static_cast<uint16_t>(colors);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bitmap_row(&b, y);
    bool flat = y % 3 == 1;
    if (type == kPixBilevel) {
      for (int x = 0; x < w; ++x) bit_put(row, x, flat ? 1 : static_cast<int>(rng() & 1));
    } else if (type == kPixGrey || type == kPixIndexed) {
      for (int x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(flat ? (x / 5) % colors : rng() % colors);
    } else {
      for (int i = 0; i < w * b.bytes_per_pixel; ++i) row[i] = static_cast<uint8_t>(flat ? i / 7 : rng());
    }
  }
  if (type == kPixIndexed) {
    for (int i = 0; i < 256; ++i) {
      b.palette[kPalR + i] = static_cast<uint8_t>(i * 7);
      b.palette[kPalG + i] = static_cast<uint8_t>(255 - i);
      b.palette[kPalB + i] = static_cast<uint8_t>(i * 3 + 1);
    }
  }
  b.xdpi = b.ydpi = 150;
  return b;
}

int save_bmp(const Bitmap& b, const std::string& path, bool rle, bool os2) {
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatBmp;
  p.rle = rle;
  p.os2_bitmap = os2;
  return save_image(path.c_str(), &b, &p);
}

TEST_F(Writers, BmpRoundTripsEveryTypeAndForm) {
  struct Kind {
    const char* name;
    uint16_t type;
    int colors;
    int bits;        // expected bits per pixel in the file
    uint16_t loaded; // type read back (component order 0)
  };
  const std::vector<Kind> kinds = {
      {"bilevel", kPixBilevel, 2, 1, kPixBilevel},
      {"10-colour indexed", kPixIndexed, 10, 4, kPixIndexed},
      {"16-level grey", kPixGrey, 16, 4, kPixIndexed},
      {"200-colour indexed", kPixIndexed, 200, 8, kPixIndexed},
      {"256-level grey", kPixGrey, 256, 8, kPixIndexed},
      {"24-bit colour", kPixRGB, 0, 24, kPixRGB},
      {"32-bit colour with alpha", kPixRGBA, 0, 32, kPixRGBA},
  };
  struct Form {
    const char* name;
    bool rle, os2;
  };
  const std::vector<Form> forms = {{"windows", false, false}, {"windows rle", true, false}, {"os/2", false, true}};
  for (const Kind& k : kinds) {
    for (const Form& f : forms) {
      for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{7, 5}, std::pair{33, 4}, std::pair{300, 3}}) {
        SCOPED_TRACE(testing::Message() << k.name << ", " << f.name << ", " << w << "x" << h);
        Bitmap src = make_picture(k.type, w, h, k.colors, w * 131u + h);
        std::string path = dir_.file("rt.bmp");
        ASSERT_EQ(save_bmp(src, path, f.rle, f.os2), 0);
        Bytes file = test::read_file(path);
        ASSERT_GE(file.size(), 26u);
        EXPECT_EQ(get_u32le(&file[2]), file.size());  // the file-size field
        bool compressed = f.rle && !f.os2 && (k.bits == 4 || k.bits == 8);
        if (f.os2) {
          EXPECT_EQ(get_u32le(&file[14]), 12u);
          EXPECT_EQ(get_u16le(&file[24]), k.bits);
        } else {
          EXPECT_EQ(get_u16le(&file[28]), k.bits);
          EXPECT_EQ(get_u32le(&file[30]), compressed ? (k.bits == 8 ? 1u : 2u) : 0u);
        }
        int entries = k.bits <= 8 ? 1 << k.bits : 0;
        EXPECT_EQ(get_u32le(&file[10]), f.os2 ? 26u + 3 * entries : 54u + 4 * entries);

        Bitmap back{};
        LoadParams lp;
        load_params_init(&lp);
        lp.flags = kLoadPrefer4Byte * (k.type == kPixRGBA);
        ASSERT_EQ(load_image(path.c_str(), &back, &lp, nullptr), 0);
        ASSERT_EQ(back.type, k.loaded);
        ASSERT_EQ(back.width, w);
        ASSERT_EQ(back.height, h);
        if (!f.os2) {
          EXPECT_EQ(back.xdpi, 150);
        }
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            ASSERT_EQ(colour(back, x, y), colour(src, x, y)) << x << "," << y;
          }
        }
        bitmap_free(&src);
        bitmap_free(&back);
      }
    }
  }
}

TEST_F(Writers, BmpDeepPicturesAreNarrowedToTheirHighBytes) {
  for (uint16_t type : {kPixRGB, kPixGrey}) {
    SCOPED_TRACE(type);
    Bitmap deep{};
    ASSERT_EQ(bitmap_alloc_deep(&deep, type, 4, 2, 2, 16), 1);
    const int samples = type == kPixRGB ? 3 : 1;
    for (int y = 0; y < 2; ++y) {
      auto* row = reinterpret_cast<uint16_t*>(bitmap_row(&deep, y));
      for (int i = 0; i < 2 * samples; ++i) row[i] = static_cast<uint16_t>(0x1100 * (i + 3 * y) + 0xFF);
    }
    ASSERT_EQ(save_bmp(deep, dir_.file("deep.bmp"), false, false), 0);
    Bitmap back{};
    ASSERT_EQ(test::load(dir_.file("deep.bmp"), &back), 0);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) {
        Pixel want{0, 0, 0, 255};
        for (int c = 0; c < 3; ++c) want[c] = 0x11 * (x * samples + (samples == 3 ? c : 0) + 3 * y);
        EXPECT_EQ(colour(back, x, y), want) << x << "," << y;
      }
    }
    bitmap_free(&deep);
    bitmap_free(&back);
  }
}

TEST_F(Writers, BmpRleIntoAStreamThatAlreadyHoldsData) {
  Bitmap b = make_picture(kPixIndexed, 9, 4, 200, 5);
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatBmp;
  p.rle = 1;
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fputs("prefix", f);
  ASSERT_EQ(save_image(nullptr, 0, f, &b, &p), 0);
  long end = std::ftell(f);
  Bytes file(static_cast<size_t>(end));
  std::rewind(f);
  ASSERT_EQ(std::fread(file.data(), 1, file.size(), f), file.size());
  std::fclose(f);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "prefix");
  EXPECT_EQ(get_u32le(&file[6 + 2]), file.size() - 6);
  bitmap_free(&b);
}

TEST_F(Writers, BmpOversizedOs2AndCancelledSaves) {
  Bitmap wide{};
  ASSERT_EQ(bitmap_alloc(&wide, kPixBilevel, 4, 70000, 1), 1);
  EXPECT_EQ(save_bmp(wide, dir_.file("w.bmp"), false, true), 7);  // 16-bit OS/2 sizes
  EXPECT_EQ(save_bmp(wide, dir_.file("w.bmp"), false, false), 0);
  bitmap_free(&wide);

  Bitmap b = make_picture(kPixGrey, 8, 8, 256, 3);
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatBmp;
  p.rle = 1;
  p.row_callback = [](int32_t row, int32_t, void*) { return row == 4 ? 1 : 0; };
  EXPECT_EQ(save_image(dir_.file("cancel.bmp").c_str(), &b, &p), 15);
  EXPECT_TRUE(test::read_file(dir_.file("cancel.bmp")).empty());
  bitmap_free(&b);
}

}  // namespace
}  // namespace lumora
