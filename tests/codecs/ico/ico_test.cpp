// The icon reader on byte-built icon files: the directory and image choice, palettes, the AND
// mask as alpha, 32-bit alpha, images stored as PNG, and refused or cut files.
#include <gtest/gtest.h>

#include "tests/support/ico_file.h"

namespace lumora {
namespace {

using namespace test;
using Pixel = std::array<int, 4>;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryStarted);

Pixel palette_colour(int i) { return {10 * i, 2 * i, 3 * i, 255}; }

TEST(IcoReader, ImagesOfTheDirectory) {
  IconImage a, b, c;
  a.width = a.height = 2;
  b.width = 3;
  b.height = 5;
  b.bits = 8;
  c.width = c.height = 6;
  c.bits = 24;
  const Bytes file = icon_file({a, b, c});
  const struct {
    int32_t index;
    int32_t width, height;
  } cases[] = {{0, 2, 2}, {1, 3, 5}, {2, 6, 6}, {3, 2, 2}, {-1, 2, 2}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.index);
    LoadParams p = plain_params();
    p.image_index = k.index;
    LoadedPicture pic;
    load_bytes(file, "ico", p, &pic);
    ASSERT_EQ(pic.status, 0);
    EXPECT_EQ(pic.info.image_count, 3u);
    EXPECT_EQ(pic.bitmap.width, k.width);
    EXPECT_EQ(pic.bitmap.height, k.height);
  }
}

// Pictures are checked against the rule that made them: colour `value(x, y)`, rows top-down
// after the bottom-up storage is undone, and for the alpha forms transparency on the diagonal.
TEST(IcoReader, DepthsWithAndWithoutMaskAlpha) {
  struct Case {
    uint16_t bits;
    uint32_t colors_used;
    bool mask_alpha;
    uint16_t type;
  };
  const Case cases[] = {
      {4, 0, false, kPixIndexed}, {4, 0, true, kPixRGBA},  {8, 0, false, kPixIndexed},
      {8, 0, true, kPixRGBA},     {8, 16, false, kPixIndexed}, {24, 0, false, kPixRGB},
      {24, 0, true, kPixRGBA},    {32, 0, false, kPixRGBA},  {32, 0, true, kPixRGBA},
      {1, 0, false, kPixIndexed}, {1, 0, true, kPixIndexed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, mask alpha " << c.mask_alpha
                                    << ", colours used " << c.colors_used);
    IconImage image;
    image.width = image.height = 32;
    image.bits = c.bits;
    image.colors_used = c.colors_used;
    LoadParams p = plain_params();
    p.icon_mask_alpha = c.mask_alpha;
    LoadedPicture pic;
    load_bytes(icon_file({image}), "ico", p, &pic);
    ASSERT_EQ(pic.status, 0);
    EXPECT_EQ(pic.bitmap.type, c.type);
    ASSERT_EQ(pic.bitmap.height, 32);
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 32; ++x) {
        const int v = IconImage::value(x, y);
        Pixel want = c.bits <= 8 ? palette_colour(c.bits == 1 ? v & 1 : v) : Pixel{16 * v, 16 * v, 16 * v, 255};
        if (c.type == kPixRGBA && c.bits == 32) want[3] = x == y ? 0 : 200;
        else if (c.type == kPixRGBA) want[3] = x == y ? 0 : 255;
        ASSERT_EQ(pic.rgba(x, y), want) << x << "," << y;
      }
  }
}

TEST(IcoReader, OddRefusedAndCutFiles) {
  auto with = [](auto change) {
    IconImage image;
    change(image);
    return icon_file({image});
  };
  Bytes reserved = with([](IconImage&) {});
  reserved[0] = 1;
  Bytes no_type = with([](IconImage&) {});
  no_type[2] = 0;
  Bytes far_offset = with([](IconImage&) {});
  far_offset[18] = 0xFF;
  far_offset[19] = 0x7F;
  const Bytes good = with([](IconImage&) {});
  struct Case {
    const char* name;
    Bytes file;
    bool mask_alpha;
    int status;
  };
  const Case cases[] = {
      {"32 bits need no mask", with([](IconImage& i) { i.bits = 32; i.with_mask = false; }), false, 0},
      {"reserved word set", reserved, false, 2},
      {"type 0", no_type, false, 2},
      {"directory cut", Bytes(good.begin(), good.begin() + 12), false, 2},
      {"information header of 124 bytes", with([](IconImage& i) { i.info_size = 124; }), false, 2},
      {"3 bits per pixel", with([](IconImage& i) { i.bits = 3; }), false, 2},
      {"width 16000", with([](IconImage& i) { i.width = 16000; i.with_mask = false; }), false, 2},
      {"data offset beyond the file", far_offset, false, 2},
      // Cut before the picture could be described: not a usable icon.
      {"palette cut", Bytes(good.begin(), good.begin() + 22 + 40 + 20), false, 2},
      {"colour rows cut", Bytes(good.begin(), good.end() - 20), false, 4},
      {"mask rows cut", Bytes(good.begin(), good.end() - 4), true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadParams p = plain_params();
    p.format_index = kFormatIco;
    p.icon_mask_alpha = c.mask_alpha;
    LoadedPicture pic;
    load_bytes(c.file, "ico", p, &pic);
    EXPECT_EQ(pic.status, c.status);
  }
}

// An icon whose directory points at each of `images` in turn (dimension fields left 0).
Bytes icon_of(const std::vector<Bytes>& images) {
  Bytes b;
  put16(b, 0);
  put16(b, 1);
  put16(b, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (const Bytes& image : images) {
    put32(b, 0);
    put32(b, 0);
    put32(b, static_cast<uint32_t>(image.size()));
    put32(b, offset);
    offset += static_cast<uint32_t>(image.size());
  }
  for (const Bytes& image : images) append(b, image);
  return b;
}

// A 3 x 2 RGBA picture written by libpng; pixel (x, y) is (40 x, 100 y, 7, 255 - 60 x).
Bytes png_picture() {
  std::vector<uint8_t> rgba;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      append(rgba, {static_cast<uint8_t>(40 * x), static_cast<uint8_t>(100 * y), 7, static_cast<uint8_t>(255 - 60 * x)});
  return png_rgba(3, 2, rgba);
}

TEST(IcoReader, ImageStoredAsPng) {
  const Bytes file = icon_of({IconImage{}.bytes(), png_picture()});
  LoadParams p = plain_params();
  p.image_index = 1;
  LoadedPicture pic;
  load_bytes(file, "ico", p, &pic);
  ASSERT_EQ(pic.status, 0);
  EXPECT_EQ(pic.info.image_count, 2u);
  EXPECT_STREQ(pic.info.description, "Windows Icon (PNG)");
  ASSERT_EQ(pic.bitmap.width, 3);
  ASSERT_EQ(pic.bitmap.height, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(pic.rgba(x, y), (Pixel{40 * x, 100 * y, 7, 255 - 60 * x}));
}

// A damaged PNG inside an icon ends the load with a status of its own; the icon is not handed on
// to other readers as unrecognised.
TEST(IcoReader, DamagedPngImage) {
  const Bytes good = png_picture();
  Bytes bad_header = good;
  bad_header[16] ^= 0xFF;   // the IHDR width: its checksum no longer matches
  struct Case {
    const char* name;
    Bytes png;
    int status;
  };
  const Case cases[] = {
      {"damaged header", bad_header, 10},
      {"signature only", Bytes(good.begin(), good.begin() + 8), 10},
      {"cut in the image data", Bytes(good.begin(), good.end() - 20), 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadedPicture pic;
    load_bytes(icon_of({c.png}), "ico", &pic);
    EXPECT_EQ(pic.status, c.status);
    EXPECT_EQ(pic.bitmap.pixels, nullptr);
  }
}

}  // namespace
}  // namespace lumora
