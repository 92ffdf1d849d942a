#include "imagelib/ops/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <bit>
#include <random>
#include <vector>

#include "tests/support/pictures.h"

namespace lumora {
namespace {

using test::Picture;

void make(Picture& p, uint32_t type, int32_t w, int32_t h, uint32_t seed) {
  ASSERT_EQ(bitmap_alloc(p.get(), type, 4, w, h), 1);
  test::fill_random(p.get(), seed);
}

// The exact area average of channel c over target pixel (px, py).
double area_average(const Bitmap* b, int32_t ow, int32_t oh, int32_t px, int32_t py, int c) {
  const double sx = static_cast<double>(b->width) / ow, sy = static_cast<double>(b->height) / oh;
  double sum = 0;
  for (int32_t y = static_cast<int32_t>(py * sy); y < b->height && y < (py + 1) * sy; ++y) {
    const double cy = std::min<double>(y + 1, (py + 1) * sy) - std::max<double>(y, py * sy);
    for (int32_t x = static_cast<int32_t>(px * sx); x < b->width && x < (px + 1) * sx; ++x) {
      const double cx = std::min<double>(x + 1, (px + 1) * sx) - std::max<double>(x, px * sx);
      sum += cx * cy * bitmap_row(b, y)[x * b->bytes_per_pixel + c];
    }
  }
  return sum / (sx * sy);
}

TEST(ResampleSmooth, SameSizeIsIdentity) {
  for (uint32_t type : {kPixGrey, kPixRGB, kPixBGR, kPixRGBA, kPixCMYK}) {
    Picture src, dst;
    make(src, type, 13, 7, type);
    ASSERT_EQ(resample_smooth(src.get(), dst.get(), 13, 7, kResampleSmooth), 0);
    EXPECT_TRUE(test::same_pixels(src.get(), dst.get())) << type;
  }
}

// Linear enlarging takes the value at each piece's end: (p0 + p1) / 2, p1, (p1 + p2) / 2, p2, p2,
// p2 for 10, 20, 70 made six times longer, along a row and down a column alike.
TEST(ResampleSmooth, EnlargingTakesTheValueAtThePieceEnd) {
  const uint8_t expect[6] = {15, 20, 45, 70, 70, 70};
  for (bool vertical : {false, true}) {
    Picture src, dst;
    ASSERT_EQ(bitmap_alloc(src.get(), kPixGrey, 1, vertical ? 1 : 3, vertical ? 3 : 1), 1);
    src->pixels[0] = 10;
    src->pixels[1] = 20;
    src->pixels[2] = 70;
    ASSERT_EQ(resample_smooth(src.get(), dst.get(), vertical ? 1 : 6, vertical ? 6 : 1, kResampleSmooth), 0);
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(vertical ? bitmap_row(dst.get(), i)[0] : dst->pixels[i], expect[i]) << vertical << " " << i;
  }
}

TEST(ResampleSmooth, ReductionIsTheAreaAverage) {
  struct Case {
    int32_t w, h, ow, oh;
  } cases[] = {{40, 30, 10, 10}, {37, 23, 11, 7}, {100, 3, 9, 2}, {17, 90, 17, 31}};
  for (const Case& c : cases) {
    Picture src, dst;
    make(src, kPixRGB, c.w, c.h, static_cast<uint32_t>(c.w * c.h));
    ASSERT_EQ(resample_smooth(src.get(), dst.get(), c.ow, c.oh, kResampleSmooth), 0);
    for (int32_t y = 0; y < c.oh; ++y)
      for (int32_t x = 0; x < c.ow; ++x)
        for (int ch = 0; ch < 3; ++ch)
          ASSERT_NEAR(bitmap_row(dst.get(), y)[x * 3 + ch],
                      area_average(src.get(), c.ow, c.oh, x, y, ch), 1.0)
              << c.w << "x" << c.h << " -> " << c.ow << "x" << c.oh;
  }
}

TEST(ResampleSmooth, PaletteAndBilevelArePointSampled) {
  for (uint32_t type : {kPixIndexed, kPixBilevel}) {
    Picture src, smooth, nearest;
    make(src, type, 21, 9, 11);
    ASSERT_EQ(resample_smooth(src.get(), smooth.get(), 8, 5, kResampleSmooth), 0);
    ASSERT_EQ(resample_nearest(src.get(), nearest.get(), 8, 5), 0);
    EXPECT_TRUE(test::same_pixels(smooth.get(), nearest.get()));
    if (type == kPixIndexed) {
      EXPECT_EQ(std::memcmp(smooth->palette, src->palette, kPaletteBytes), 0);
    }
  }
}

TEST(ResampleSmooth, DeepSamplesAreAveragedAsWholeSamples) {
  Picture src, dst;
  ASSERT_EQ(bitmap_alloc_deep(src.get(), kPixGrey, 1, 2, 1, 16), 1);
  const uint16_t v[2] = {0x00FF, 0x0101};
  std::memcpy(src->pixels, v, 4);
  ASSERT_EQ(resample_smooth(src.get(), dst.get(), 1, 1, kResampleSmooth), 0);
  EXPECT_EQ(dst->bits_per_sample, 16);
  uint16_t out;
  std::memcpy(&out, dst->pixels, 2);
  EXPECT_EQ(out, 0x0100);  // byte-wise averaging would give 0x0080
}

TEST(ResampleNearest, ColumnAndRowTables) {
  struct Case {
    uint32_t type;
    int32_t w, h, ow, oh;
  } cases[] = {{kPixRGB, 10, 7, 4, 3},   {kPixBilevel, 37, 5, 11, 9}, {kPixGrey, 5, 5, 12, 13},
               {kPixRGBA, 9, 1, 2, 1},   {kPixBilevel, 8, 8, 20, 3}};
  for (const Case& c : cases) {
    Picture src, dst;
    make(src, c.type, c.w, c.h, 5);
    ASSERT_EQ(resample_nearest(src.get(), dst.get(), c.ow, c.oh), 0);
    for (int32_t y = 0; y < c.oh; ++y)
      for (int32_t x = 0; x < c.ow; ++x)
        ASSERT_EQ(test::pixel_at(dst.get(), x, y),
                  test::pixel_at(src.get(), x * c.w / c.ow, y * c.h / c.oh));
  }
}

TEST(ResampleShrink, MatchesTheBoxAverage) {
  struct Case {
    uint32_t type;
    int32_t w, h, ow, oh;
  } cases[] = {{kPixRGB, 64, 48, 16, 12},  {kPixBGR, 101, 67, 30, 29}, {kPixRGBA, 35, 90, 11, 40},
               {kPixGrey, 300, 20, 37, 3}, {kPixRGB, 50, 50, 50, 25},  {kPixGrey, 9, 9, 1, 1}};
  for (const Case& c : cases) {
    Picture src, dst;
    make(src, c.type, c.w, c.h, 21);
    ASSERT_EQ(resample_shrink(src.get(), dst.get(), c.ow, c.oh, kPixRGB), 0);
    ASSERT_EQ(dst->type, c.type);
    for (int32_t y = 0; y < c.oh; ++y)
      for (int32_t x = 0; x < c.ow; ++x)
        for (int ch = 0; ch < src->bytes_per_pixel; ++ch)
          ASSERT_NEAR(bitmap_row(dst.get(), y)[x * src->bytes_per_pixel + ch],
                      area_average(src.get(), c.ow, c.oh, x, y, ch), 2.0)
              << c.w << "x" << c.h << " -> " << c.ow << "x" << c.oh << " at " << x << "," << y;
  }
}

TEST(ResampleShrink, LargeFactorsDoNotOverflow) {
  // A white 1000 x 1000 picture to 3 x 3: each target pixel sums over 110000 source pixels.
  Picture src, dst;
  ASSERT_EQ(bitmap_alloc(src.get(), kPixGrey, 4, 1000, 1000), 1);
  std::memset(src->pixels, 255, static_cast<size_t>(src->height) * src->bytes_per_line);
  ASSERT_EQ(resample_shrink(src.get(), dst.get(), 3, 3, kPixRGB), 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_NEAR(bitmap_row(dst.get(), y)[x], 255, 1);
}

TEST(ResampleShrink, PaletteBecomesTrueColour) {
  struct Case {
    uint16_t color_type;
    uint8_t expect[3];
  } cases[] = {{kPixBGR, {30, 20, 10}}, {kPixRGB, {10, 20, 30}}};
  for (const Case& c : cases) {
    Picture src, dst;
    ASSERT_EQ(bitmap_alloc(src.get(), kPixIndexed, 4, 4, 4), 1);
    std::memset(src->pixels, 7, static_cast<size_t>(src->height) * src->bytes_per_line);
    src->palette[kPalR + 7] = 10;
    src->palette[kPalG + 7] = 20;
    src->palette[kPalB + 7] = 30;
    ASSERT_EQ(resample_shrink(src.get(), dst.get(), 2, 2, c.color_type), 0);
    EXPECT_EQ(dst->type, c.color_type);
    EXPECT_EQ(dst->palette, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(dst->pixels, dst->pixels + 3),
              std::vector<uint8_t>(c.expect, c.expect + 3));
  }
  Picture src, dst;
  ASSERT_EQ(bitmap_alloc(src.get(), kPixIndexed, 4, 4, 4), 1);
  EXPECT_EQ(resample_shrink(src.get(), dst.get(), 2, 2, kPixRGBA), 16);
}

TEST(ResampleShrink, GreyWithFewColoursIsScaled) {
  Picture src, dst;
  ASSERT_EQ(bitmap_alloc(src.get(), kPixGrey, 1, 2, 2), 1);
  src->colors = 16;
  std::memset(src->pixels, 15, 4);
  ASSERT_EQ(resample_shrink(src.get(), dst.get(), 1, 1, kPixRGB), 0);
  EXPECT_EQ(dst->pixels[0], 255);
  EXPECT_EQ(dst->colors, 256);
}

TEST(ResampleShrink, BilevelPaths) {
  // All black except the first row's last pixel. The byte path (factor 10 or more) fills the last
  // data byte and the row padding with that pixel's colour; the bit path does not.
  struct Case {
    int32_t ow, oh;
    int status;
    bool right_edge_white;
  } cases[] = {{10, 2, 0, true}, {40, 4, 0, false}, {200, 4, 16, false}, {40, 20, 16, false}};
  for (const Case& c : cases) {
    Picture src, dst;
    ASSERT_EQ(bitmap_alloc(src.get(), kPixBilevel, 4, 200, 20), 1);
    bit_put(src->pixels, 199, 1);
    const int status = resample_shrink(src.get(), dst.get(), c.ow, c.oh, kPixRGB);
    ASSERT_EQ(status, c.status) << c.ow;
    if (status) continue;
    EXPECT_EQ(dst->type, kPixGrey);
    EXPECT_EQ(dst->colors, 256);
    EXPECT_EQ(bitmap_row(dst.get(), c.oh - 1)[c.ow - 1] > 128, c.right_edge_white) << c.ow;
    EXPECT_EQ(bitmap_row(dst.get(), c.oh - 1)[0], 0);
  }
  // The byte path reads the share of white pixels in a byte, whichever bits they are.
  for (uint8_t pattern : {0x80, 0x01, 0x18}) {
    Picture src, dst;
    ASSERT_EQ(bitmap_alloc(src.get(), kPixBilevel, 1, 160, 10), 1);
    for (int32_t y = 0; y < 10; ++y) std::memset(bitmap_row(src.get(), y), pattern, 19);
    std::memset(src->pixels + 19, pattern, 1);
    ASSERT_EQ(resample_shrink(src.get(), dst.get(), 8, 2, kPixRGB), 0);
    const int expect = std::popcount(pattern) * 255 / 8;
    EXPECT_NEAR(dst->pixels[0], expect, 1) << int(pattern);
  }
}

TEST(Resample, ResultConventions) {
  Picture src;
  make(src, kPixIndexed, 12, 12, 3);
  src->transparent_index = 5;
  src->colors = 200;
  src->xdpi = 300;
  src->comment = string_dup("kept");
  const uint8_t exif[] = {1, 2, 3};
  ASSERT_EQ(chunk_append(&src->chunks, kChunkExif, exif, 3), 0);
  // Unusable sizes leave the source as it is.
  for (auto [w, h] : {std::pair{0, 5}, std::pair{5, -1}}) {
    EXPECT_EQ(resample_smooth(src.get(), nullptr, w, h, 0), 16);
    EXPECT_EQ(resample_shrink(src.get(), nullptr, w, h, kPixRGB), 16);
  }
  EXPECT_EQ(src->width, 12);
  Picture copy;
  ASSERT_EQ(bitmap_duplicate(src.get(), copy.get()), 0);
  EXPECT_TRUE(test::same_pixels(src.get(), copy.get()));
  EXPECT_EQ(std::memcmp(copy->palette, src->palette, kPaletteBytes), 0);
  EXPECT_EQ(copy->transparent_index, 5);
  EXPECT_EQ(copy->colors, 200);
  EXPECT_STREQ(copy->comment, "kept");
  ASSERT_NE(copy->chunks, nullptr);
  EXPECT_EQ(copy->chunks->size, 3u);
  EXPECT_EQ(bitmap_duplicate(src.get(), nullptr), 0);
  // No target: the result replaces the source and keeps its attributes.
  ASSERT_EQ(resample_smooth(src.get(), nullptr, 5, 4, 0), 0);
  EXPECT_EQ(src->width, 5);
  EXPECT_EQ(src->height, 4);
  EXPECT_EQ(src->type, kPixIndexed);
  EXPECT_EQ(src->xdpi, 300);
  EXPECT_EQ(src->transparent_index, 5);
  EXPECT_STREQ(src->comment, "kept");
  EXPECT_EQ(std::memcmp(src->palette, copy->palette, kPaletteBytes), 0);
}

TEST(ResampleShrink, EnlargedAxisIsSmoothed) {
  Picture src, shrunk, smooth;
  make(src, kPixRGB, 20, 4, 9);
  ASSERT_EQ(resample_shrink(src.get(), shrunk.get(), 10, 8, kPixRGB), 0);
  ASSERT_EQ(resample_smooth(src.get(), smooth.get(), 10, 8, 0), 0);
  EXPECT_TRUE(test::same_pixels(shrunk.get(), smooth.get()));
}

}  // namespace
}  // namespace lumora
