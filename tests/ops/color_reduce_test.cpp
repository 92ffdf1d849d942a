#include "imagelib/ops/color_reduce.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "imagelib/core/status.h"
#include "tests/support/pictures.h"

namespace lumora {
namespace {

using test::Picture;

void put_rgb(Bitmap* b, int32_t x, int32_t y, uint32_t rgb) {
  uint8_t* p = bitmap_row(b, y) + static_cast<size_t>(x) * b->bytes_per_pixel;
  p[0] = static_cast<uint8_t>(rgb >> 16);
  p[1] = static_cast<uint8_t>(rgb >> 8);
  p[2] = static_cast<uint8_t>(rgb);
}

uint32_t palette_rgb(const Bitmap* b, int i) {
  return (uint32_t{b->palette[kPalR + i]} << 16) | (uint32_t{b->palette[kPalG + i]} << 8) |
         b->palette[kPalB + i];
}

uint32_t mapped_rgb(const Bitmap* b, int32_t x, int32_t y) {
  return palette_rgb(b, bitmap_row(b, y)[x]);
}

TEST(ColorReduce, FewColoursKeepTheirOrderOfFirstAppearance) {
  for (int code : {kConvertPalette16, kConvertPalette256}) {
    Picture src, dst;
    ASSERT_TRUE(bitmap_alloc(src.get(), kPixRGB, 4, 24, 5));
    const uint32_t colors[12] = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0x000000,
                                 0xFFFFFF, 0x808080, 0x7F7F7F, 0x010203, 0xFEDCBA, 0x00FF01};
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 24; ++x) put_rgb(src.get(), x, y, colors[(x + y * 24) / 10]);
    ASSERT_EQ(bitmap_convert(src.get(), dst.get(), code, kMethodMedianCut), kStatusOk);
    EXPECT_EQ(dst->type, kPixIndexed);
    EXPECT_EQ(dst->colors, code == kConvertPalette16 ? 16 : 256);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(palette_rgb(dst.get(), i), colors[i]) << i;
    for (int i = 12; i < 256; ++i) ASSERT_EQ(palette_rgb(dst.get(), i), 0u);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 24; ++x) ASSERT_EQ(bitmap_row(dst.get(), y)[x], (x + y * 24) / 10);
  }
}

TEST(ColorReduce, OneColourGivesOneEntry) {
  Picture src, dst;
  ASSERT_TRUE(bitmap_alloc(src.get(), kPixBGRA, 4, 9, 9));
  for (size_t i = 0; i < 9u * src->bytes_per_line; i += 4) {
    src->pixels[i] = 10, src->pixels[i + 1] = 20, src->pixels[i + 2] = 30, src->pixels[i + 3] = 7;
  }
  ASSERT_EQ(bitmap_convert(src.get(), dst.get(), kConvertPalette256, kMethodMedianCut), 0);
  EXPECT_EQ(palette_rgb(dst.get(), 0), 0x1E140Au);  // red 30, green 20, blue 10
  EXPECT_EQ(palette_rgb(dst.get(), 1), 0u);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 9; ++x) ASSERT_EQ(bitmap_row(dst.get(), y)[x], 0);
}

// Grey and palette sources using few values: ordered by falling use, values scaled to 0..255.
TEST(ColorReduce, FewValuesOrderedByUse) {
  Picture grey, pal, dg, dp;
  ASSERT_TRUE(bitmap_alloc(grey.get(), kPixGrey, 1, 10, 1));
  grey->colors = 16;
  const uint8_t values[10] = {15, 3, 3, 3, 0, 0, 15, 3, 15, 3};  // 3 five times, 15 thrice, 0 twice
  std::memcpy(grey->pixels, values, 10);
  ASSERT_EQ(bitmap_convert(grey.get(), dg.get(), kConvertPalette16, kMethodMedianCut), 0);
  EXPECT_EQ(palette_rgb(dg.get(), 0), 0x333333u);  // 3 × 255 / 15 = 51
  EXPECT_EQ(palette_rgb(dg.get(), 1), 0xFFFFFFu);
  EXPECT_EQ(palette_rgb(dg.get(), 2), 0x000000u);
  const uint8_t want[10] = {1, 0, 0, 0, 2, 2, 1, 0, 1, 0};
  EXPECT_EQ(0, std::memcmp(dg->pixels, want, 10));

  ASSERT_TRUE(bitmap_alloc(pal.get(), kPixIndexed, 1, 10, 1));
  std::memcpy(pal->pixels, values, 10);
  pal->palette[kPalR + 3] = 200, pal->palette[kPalG + 15] = 100, pal->palette[kPalB + 0] = 50;
  ASSERT_EQ(bitmap_convert(pal.get(), dp.get(), kConvertPalette16, kMethodMedianCut), 0);
  EXPECT_EQ(palette_rgb(dp.get(), 0), 0xC80000u);
  EXPECT_EQ(palette_rgb(dp.get(), 1), 0x006400u);
  EXPECT_EQ(palette_rgb(dp.get(), 2), 0x000032u);
  EXPECT_EQ(0, std::memcmp(dp->pixels, want, 10));
}

TEST(ColorReduce, GreyRampThroughMedianCutGivesSixteenGreys) {
  Picture src, dst;
  ASSERT_TRUE(bitmap_alloc(src.get(), kPixGrey, 4, 256, 4));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 256; ++x) bitmap_row(src.get(), y)[x] = static_cast<uint8_t>(x);
  ASSERT_EQ(bitmap_convert(src.get(), dst.get(), kConvertPalette16, kMethodMedianCut), 0);
  std::set<uint32_t> distinct;
  for (int i = 0; i < 16; ++i) {
    const int r = dst->palette[kPalR + i], g = dst->palette[kPalG + i], b = dst->palette[kPalB + i];
    EXPECT_LE(std::abs(r - g), 3) << i;  // cell centres differ by at most 2 between axes
    EXPECT_EQ(r, b) << i;
    distinct.insert(palette_rgb(dst.get(), i));
  }
  EXPECT_EQ(distinct.size(), 16u);
  for (int32_t x = 0; x < 256; ++x)
    EXPECT_LE(std::abs(int(mapped_rgb(dst.get(), x, 0) & 0xFF) - x), 16) << x;
}

// The lazily filled inverse map must give, for every pixel, the palette entry nearest to its
// histogram cell's centre; brute force over all entries says which that is.
TEST(ColorReduce, InverseMapPicksTheNearestEntry) {
  for (int code : {kConvertPalette16, kConvertPalette256}) {
    Picture src, dst;
    ASSERT_TRUE(bitmap_alloc(src.get(), kPixRGB, 4, 97, 61));
    test::fill_random(src.get(), static_cast<uint32_t>(code));
    ASSERT_EQ(bitmap_convert(src.get(), dst.get(), code, kMethodMedianCut), 0);
    int used = 0;
    while (used < 256 && (used == 0 || palette_rgb(dst.get(), used) != 0)) ++used;
    EXPECT_EQ(used, code == kConvertPalette16 ? 16 : 256);
    for (int32_t y = 0; y < src->height; ++y)
      for (int32_t x = 0; x < src->width; ++x) {
        const uint8_t* p = bitmap_row(src.get(), y) + 3 * x;
        const int cr = (p[0] >> 3 << 3) + 4, cg = (p[1] >> 2 << 2) + 2, cb = (p[2] >> 3 << 3) + 4;
        int best = 0;
        long best_d = -1;
        for (int i = 0; i < used; ++i) {
          const long dr = 2 * (dst->palette[kPalR + i] - cr), dg = 3 * (dst->palette[kPalG + i] - cg),
                     db = dst->palette[kPalB + i] - cb;
          const long d = dr * dr + dg * dg + db * db;
          if (best_d < 0 || d < best_d) best_d = d, best = i;
        }
        ASSERT_EQ(bitmap_row(dst.get(), y)[x], best) << x << "," << y;
      }
  }
}

// 65536 pixels of one colour fill a 16-bit histogram cell exactly; the count must not wrap to
// zero and lose the picture's main colour.
TEST(ColorReduce, CrowdedCellKeepsItsColour) {
  Picture src, dst;
  ASSERT_TRUE(bitmap_alloc(src.get(), kPixRGB, 4, 256, 257));
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x) put_rgb(src.get(), x, y, 0xC81E5A);
  for (int32_t x = 0; x < 256; ++x) put_rgb(src.get(), x, 256, 0x010101u * static_cast<uint32_t>(x));
  ASSERT_EQ(bitmap_convert(src.get(), dst.get(), kConvertPalette16, kMethodMedianCut), 0);
  const uint32_t got = mapped_rgb(dst.get(), 0, 0);
  EXPECT_LE(std::abs(int(got >> 16) - 0xC8), 8);
  EXPECT_LE(std::abs(int((got >> 8) & 0xFF) - 0x1E), 8);
  EXPECT_LE(std::abs(int(got & 0xFF) - 0x5A), 8);
}

// Error diffusion keeps the mean: a flat area of value v comes out about v/255 white.
TEST(ColorReduce, ErrorDiffusionOnFlatAreas) {
  for (int v : {0, 32, 64, 127, 128, 192, 254, 255}) {
    Picture src, dst;
    ASSERT_TRUE(bitmap_alloc(src.get(), kPixGrey, 4, 64, 64));
    std::memset(src->pixels, v, 64u * src->bytes_per_line);
    ASSERT_EQ(bitmap_convert(src.get(), dst.get(), kConvertBlackWhite, kMethodErrorDiffusion), 0);
    ASSERT_EQ(dst->type, kPixBilevel);
    int white = 0;
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 64; ++x) white += bit_get(bitmap_row(dst.get(), y), x);
    EXPECT_NEAR(white / 4096.0, v / 255.0, 0.02) << v;
    EXPECT_EQ(bit_get(dst->pixels, 0), v >= 128 ? 1 : 0) << v;  // first pixel carries no error
  }
}

TEST(ColorReduce, ToTrueColour) {
  Picture bw, grey, pal, abgr, cmyk;
  ASSERT_TRUE(bitmap_alloc(bw.get(), kPixBilevel, 1, 2, 1));
  bw->pixels[0] = 0x40;  // black, white
  ASSERT_TRUE(bitmap_alloc(grey.get(), kPixGrey, 1, 2, 1));
  grey->colors = 16, grey->pixels[0] = 15, grey->pixels[1] = 5;
  ASSERT_TRUE(bitmap_alloc(pal.get(), kPixIndexed, 1, 2, 1));
  pal->pixels[1] = 7;
  pal->palette[kPalR + 7] = 1, pal->palette[kPalG + 7] = 2, pal->palette[kPalB + 7] = 3;
  ASSERT_TRUE(bitmap_alloc(abgr.get(), kPixABGR, 1, 2, 1));
  const uint8_t abgr_px[8] = {9, 3, 2, 1, 9, 30, 20, 10};
  std::memcpy(abgr->pixels, abgr_px, 8);
  ASSERT_TRUE(bitmap_alloc(cmyk.get(), kPixCMYK, 1, 2, 1));
  const uint8_t cmyk_px[8] = {0, 255, 255, 0, 0, 0, 0, 255};  // red; black ink
  std::memcpy(cmyk->pixels, cmyk_px, 8);

  const struct {
    Bitmap* src;
    int code;
    uint8_t want[6];
  } cases[] = {
      {bw.get(), kConvertRGB, {0, 0, 0, 255, 255, 255}},
      {grey.get(), kConvertBGR, {255, 255, 255, 85, 85, 85}},
      {pal.get(), kConvertBGR, {0, 0, 0, 3, 2, 1}},
      {pal.get(), kConvertRGB, {0, 0, 0, 1, 2, 3}},
      {abgr.get(), kConvertRGB, {1, 2, 3, 10, 20, 30}},
      {abgr.get(), kConvertBGR, {3, 2, 1, 30, 20, 10}},
      {cmyk.get(), kConvertRGB, {255, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    Picture dst;
    ASSERT_EQ(bitmap_convert(c.src, dst.get(), c.code, kMethodCopy), 0);
    EXPECT_EQ(dst->type, c.code == kConvertRGB ? kPixRGB : kPixBGR);
    EXPECT_EQ(0, std::memcmp(dst->pixels, c.want, 6)) << c.src->type << " code " << c.code;
  }
}

TEST(ColorReduce, UnknownCodesLeaveTheSource) {
  Picture src;
  ASSERT_TRUE(bitmap_alloc(src.get(), kPixRGB, 4, 3, 3));
  for (int code : {0, 2, 10, 11, 20, 24, 25, -1}) {
    EXPECT_EQ(bitmap_convert(src.get(), nullptr, code, 0), kStatusBadArguments) << code;
    EXPECT_EQ(src->type, kPixRGB);
  }
}

TEST(ColorReduce, UnreadableSourcesAreRefused) {
  Picture short_rows, deep, no_palette;
  ASSERT_TRUE(bitmap_alloc(short_rows.get(), kPixRGB, 1, 4, 2));
  short_rows->bytes_per_line = 11;  // 4 pixels need 12 bytes
  ASSERT_TRUE(bitmap_alloc_deep(deep.get(), kPixRGB, 4, 4, 2, 16));
  ASSERT_TRUE(bitmap_alloc(no_palette.get(), kPixIndexed, 1, 4, 2));
  std::free(no_palette->palette);
  no_palette->palette = nullptr;
  for (Bitmap* b : {short_rows.get(), deep.get(), no_palette.get()})
    for (int code : {kConvertBlackWhite, kConvertPalette16, kConvertRGB}) {
      Picture dst;
      EXPECT_EQ(bitmap_convert(b, dst.get(), code, 0), kStatusBadArguments) << b->type << " " << code;
      EXPECT_EQ(dst->pixels, nullptr);
    }
}

TEST(ColorReduce, WithoutTargetTheSourceIsReplaced) {
  Picture src;
  ASSERT_TRUE(bitmap_alloc(src.get(), kPixBilevel, 4, 5, 2));
  src->pixels[0] = 0xF8;
  src->xdpi = 150;
  EXPECT_EQ(bitmap_convert(src.get(), nullptr, kConvertBlackWhite, kMethodErrorDiffusion), 0);
  EXPECT_EQ(src->type, kPixBilevel);  // already black and white: nothing happens
  ASSERT_EQ(bitmap_convert(src.get(), nullptr, kConvertPalette16, kMethodMedianCut), 0);
  EXPECT_EQ(src->type, kPixIndexed);
  EXPECT_EQ(src->colors, 16);
  EXPECT_EQ(src->xdpi, 150);
  EXPECT_EQ(palette_rgb(src.get(), 1), 0xFFFFFFu);
  const uint8_t row0[5] = {1, 1, 1, 1, 1}, row1[5] = {0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(bitmap_row(src.get(), 0), row0, 5));
  EXPECT_EQ(0, std::memcmp(bitmap_row(src.get(), 1), row1, 5));
}

// A grey picture that claims fewer than two levels cannot be scaled by its level count; it is
// read as 0..255 instead of dividing by zero.
TEST(ColorReduce, GreyWithoutLevelCountReadsAsFullRange) {
  Picture src, dst;
  ASSERT_TRUE(bitmap_alloc(src.get(), kPixGrey, 1, 2, 1));
  src->colors = 1;
  src->pixels[0] = 40, src->pixels[1] = 250;
  ASSERT_EQ(bitmap_convert(src.get(), dst.get(), kConvertRGB, kMethodCopy), 0);
  const uint8_t want[6] = {40, 40, 40, 250, 250, 250};
  EXPECT_EQ(0, std::memcmp(dst->pixels, want, 6));
}

}  // namespace
}  // namespace lumora
