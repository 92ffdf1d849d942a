// CIE L*a*b* and ink pictures turned into red, green, blue.
#include "imagelib/core/colorspace.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"

namespace lumora {
namespace {

using Px = std::array<int, 3>;

// A one-row Bitmap of the given type holding `pixels` (bytes per pixel of the type).
struct Picture {
  Bitmap b{};
  Picture(uint16_t type, const std::vector<uint8_t>& pixels, int alignment = 4) {
    const int bpp = bitmap_bytes_per_pixel_for_type(type);
    EXPECT_EQ(bitmap_alloc(&b, type, alignment, static_cast<int32_t>(pixels.size() / bpp), 1), 1);
    std::memcpy(b.pixels, pixels.data(), pixels.size());
  }
  ~Picture() { bitmap_free(&b); }
  Px at(int x) const {
    const uint8_t* p = b.pixels + x * b.bytes_per_pixel;
    return {p[0], p[1], p[2]};
  }
};

TEST(ColorSpace, InkAndLabPixels) {
  struct Case {
    const char* name;
    uint32_t layout;
    uint16_t type;  // as produced: 16 for 3 bytes, 32 for 4 bytes
    std::vector<uint8_t> in;
    Px expected;    // red, green, blue
  };
  const Case cases[] = {
      {"inks: none is white", 0x8000, kPixRGBA, {0, 0, 0, 0}, {255, 255, 255}},
      {"inks: magenta and yellow are red", 0x8000, kPixRGBA, {0, 255, 255, 0}, {255, 0, 0}},
      {"inks: full black", 0x8000, kPixRGBA, {10, 20, 30, 255}, {0, 0, 0}},
      {"inks: cyan half black", 0x8000, kPixRGBA, {255, 0, 0, 128}, {0, 127, 127}},
      {"inverted inks", 0x4000, kPixRGBA, {255, 128, 0, 255}, {255, 128, 0}},
      {"inverted inks, black", 0x4000, kPixRGBA, {255, 255, 255, 0}, {0, 0, 0}},
      {"three inks", 0x8000, kPixRGB, {0, 255, 55}, {255, 0, 200}},
      {"three inverted inks", 0x4000, kPixRGB, {1, 2, 3}, {1, 2, 3}},
      {"Lab D65 white", 0x20000, kPixRGB, {255, 128, 128}, {255, 255, 255}},
      {"Lab D65 black", 0x20000, kPixRGB, {0, 128, 128}, {0, 0, 0}},
      {"Lab D50 white", 0x40000, kPixRGB, {255, 128, 128}, {255, 255, 255}},
      {"signed Lab D50 white", 0x80000, kPixRGB, {255, 0, 0}, {255, 255, 255}},
      {"signed Lab D65 black", 0x100000, kPixRGB, {0, 0, 0}, {0, 0, 0}},
      // A strongly red L*a*b* colour: red far above green and blue; a = +80.
      {"signed Lab red", 0x80000, kPixRGB, {136, 80, 67}, {255, 0, 0}},
      {"Lab from 4 bytes", 0x20000, kPixRGBA, {255, 128, 128, 9}, {255, 255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Picture p(c.type, c.in);
    ASSERT_EQ(colorspace_convert(&p.b, c.layout, 0, 4), 0);
    EXPECT_EQ(p.b.type, kPixRGB);
    EXPECT_EQ(p.b.bytes_per_pixel, 3);
    if (std::string(c.name) == "signed Lab red") {
      const Px got = p.at(0);
      EXPECT_GT(got[0], 200);
      EXPECT_LT(got[1], 60);
      EXPECT_LT(got[2], 60);
    } else {
      EXPECT_EQ(p.at(0), c.expected);
    }
  }
}

TEST(ColorSpace, RowsAreRelaidAsThreeBytesInTheLoadsOrder) {
  // 3 pixels of 4 bytes in 2 rows (12 bytes per row) become rows of 9 bytes, aligned to 4 (12).
  Bitmap b{};
  ASSERT_EQ(bitmap_alloc(&b, kPixRGBA, 4, 3, 2), 1);
  ASSERT_EQ(b.bytes_per_line, 12u);
  const uint8_t rows[2][12] = {{0, 0, 0, 0, 0, 255, 255, 0, 255, 0, 255, 0},
                               {0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0}};
  for (int y = 0; y < 2; ++y) std::memcpy(bitmap_row(&b, y), rows[y], 12);
  ASSERT_EQ(colorspace_convert(&b, 0x8000, 1, 4), 0);
  EXPECT_EQ(b.type, kPixBGR);
  EXPECT_EQ(b.bytes_per_line, 12u);
  const uint8_t want[2][9] = {{255, 255, 255, 0, 0, 255, 0, 255, 0},
                              {0, 0, 0, 255, 0, 0, 255, 255, 255}};
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(0, std::memcmp(bitmap_row(&b, y), want[y], 9)) << y;
  }
  bitmap_free(&b);

  // Alignment 8 on a Bitmap laid out with 1: the rows grow, so a new buffer is taken.
  ASSERT_EQ(bitmap_alloc(&b, kPixRGB, 1, 3, 2), 1);
  std::memset(b.pixels, 0, 18);
  ASSERT_EQ(colorspace_convert(&b, 0x8000, 0, 8), 0);
  EXPECT_EQ(b.bytes_per_line, 16u);
  EXPECT_EQ(bitmap_row(&b, 1)[8], 255);
  bitmap_free(&b);
}

TEST(ColorSpace, KeptInksAreOnlyInverted) {
  Picture p(kPixCMYK, {0, 10, 200, 255});
  ASSERT_EQ(colorspace_convert(&p.b, 0x4000, 1, 4), 0);
  EXPECT_EQ(p.b.type, kPixCMYK);
  EXPECT_EQ(p.b.pixels[0], 255);
  EXPECT_EQ(p.b.pixels[1], 245);
  EXPECT_EQ(p.b.pixels[2], 55);
  EXPECT_EQ(p.b.pixels[3], 0);
  Picture q(kPixCMYK, {0, 10, 200, 255});
  ASSERT_EQ(colorspace_convert(&q.b, 0x8000, 1, 4), 0);
  EXPECT_EQ(q.b.pixels[1], 10);
}

TEST(ColorSpace, UnusablePicturesAreRefused) {
  Picture grey(kPixGrey, {1, 2, 3});
  EXPECT_EQ(colorspace_convert(&grey.b, 0x8000, 0, 4), 16);
  Bitmap empty{};
  EXPECT_EQ(colorspace_convert(&empty, 0x8000, 0, 4), 16);
}

TEST(ColorSpace, GammaTable) {
  uint8_t t[256];
  lab_gamma_table(t);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[255], 255);
  // The linear segment: t < 0.00303951 (i = 0) only; i = 1 is already on the curve.
  EXPECT_EQ(t[1], 13);
  for (int i = 1; i < 256; ++i) EXPECT_GE(t[i], t[i - 1]);
}

}  // namespace
}  // namespace lumora
