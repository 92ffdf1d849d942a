// The pieces of the bitmap codec that work without the pipelines: the true-colour row plan,
// splitting pixels by colour masks, DXT block decoding and the resolution conversion.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imagelib/codecs/bmp/bmp_bitfields.h"
#include "imagelib/codecs/bmp/bmp_dxt.h"
#include "imagelib/codecs/bmp/bmp_header.h"

namespace lumora::bmp {
namespace {

TEST(BmpBitFields, RefusesDepthsNoRowLayoutFits) {
  const uint32_t masks[4] = {};
  TrueColorPlan plan;
  for (auto [bits, planes] : {std::pair<uint16_t, uint16_t>{8, 2}, {16, 2}, {48, 1}, {24, 0}, {8, 5}})
    EXPECT_EQ(plan_true_color(bits, planes, false, masks, &plan), 2) << bits << " bits, " << planes << " planes";
}

TEST(BmpBitFields, SplitsPixelsByMasks) {
  struct Case {
    const char* name;
    bool wide;
    uint32_t masks[4];
    uint32_t pixel;
    uint8_t expect[4];  // 16-bit: blue, green, red; 32-bit: red, green, blue, alpha
  };
  const std::vector<Case> cases = {
      {"4-4-4 scaled by 255/15", false, {0xF00, 0xF0, 0xF, 0}, 0x0F80, {0, 136, 255}},
      {"5-5-5 with a half red", false, {0x7C00, 0x3E0, 0x1F, 0}, 16u << 10, {0, 0, 131}},
      {"empty mask gives 0", false, {0, 0x3E0, 0x1F, 0}, 0xFFFF, {255, 255, 0}},
      {"mask with a hole is clamped", false, {0xA, 0, 0, 0}, 0xA, {0, 0, 255}},
      {"mask bits above 16 are ignored", false, {0x10000, 0xF0, 0xF, 0}, 0xFFFF, {255, 255, 0}},
      {"32-bit 11-11-10 white", true, {0xFFE00000, 0x1FFC00, 0x3FF, 0}, 0xFFFFFFFF, {255, 255, 255, 255}},
      {"32-bit 10-bit blue half", true, {0xFFE00000, 0x1FFC00, 0x3FF, 0}, 0x200, {0, 0, 127, 255}},
      {"32-bit alpha mask", true, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0x80FF0000, {255, 0, 0, 128}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaskField f[4];
    for (int i = 0; i < 4; ++i) f[i] = make_mask_field(c.masks[i]);
    uint8_t src[4] = {static_cast<uint8_t>(c.pixel), static_cast<uint8_t>(c.pixel >> 8),
                      static_cast<uint8_t>(c.pixel >> 16), static_cast<uint8_t>(c.pixel >> 24)};
    uint8_t dst[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    if (c.wide) {
      split32_row(src, dst, 1, f);
      EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), std::vector<uint8_t>(c.expect, c.expect + 4));
      EXPECT_EQ(dst[4], 0xEE);
    } else {
      split16_row(src, dst, 1, f);
      EXPECT_EQ(std::vector<uint8_t>(dst, dst + 3), std::vector<uint8_t>(c.expect, c.expect + 3));
      EXPECT_EQ(dst[3], 0xEE);
    }
  }
}

// One DXT colour block: colours c0, c1 and 16 two-bit indices (row by row, lowest bits first).
std::vector<uint8_t> colour_block(uint16_t c0, uint16_t c1, const int idx[16]) {
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) bits |= static_cast<uint32_t>(idx[i]) << (2 * i);
  return {static_cast<uint8_t>(c0), static_cast<uint8_t>(c0 >> 8), static_cast<uint8_t>(c1),
          static_cast<uint8_t>(c1 >> 8), static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

std::vector<uint8_t> pixel(const std::vector<uint8_t>& out, size_t stride, int x, int y) {
  return {out.begin() + y * stride + 4 * x, out.begin() + y * stride + 4 * x + 4};
}

TEST(BmpDxt, Dxt1FourColourAndTransparentModes) {
  const int idx[16] = {0, 1, 2, 3, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 3};
  struct Case {
    const char* name;
    uint16_t c0, c1;
    std::vector<uint8_t> p0, p1, p2, p3;
  };
  const std::vector<Case> cases = {
      // Red 0xF800 over blue 0x001F: thirds in between, all opaque.
      {"c0 > c1", 0xF800, 0x001F, {248, 0, 0, 255}, {0, 0, 248, 255}, {165, 0, 83, 255}, {83, 0, 165, 255}},
      // c0 <= c1: the half-way colour and a transparent index 3.
      {"c0 <= c1", 0x001F, 0xF800, {0, 0, 248, 255}, {248, 0, 0, 255}, {124, 0, 124, 255}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> block = colour_block(c.c0, c.c1, idx);
    const size_t stride = 4 * 4 + 8;  // guard bytes after each row
    std::vector<uint8_t> out(4 * stride, 0xEE);
    dxt_decode_block_row(false, block.data(), 4, 4, out.data(), stride);
    EXPECT_EQ(pixel(out, stride, 0, 0), c.p0);
    EXPECT_EQ(pixel(out, stride, 1, 0), c.p1);
    EXPECT_EQ(pixel(out, stride, 2, 0), c.p2);
    EXPECT_EQ(pixel(out, stride, 3, 0), c.p3);
    EXPECT_EQ(pixel(out, stride, 0, 1), c.p3);
    EXPECT_EQ(pixel(out, stride, 3, 3), c.p3);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(out[y * stride + 16], 0xEE);
  }
}

TEST(BmpDxt, Dxt3ExplicitAlphaAlwaysFourColours) {
  const int idx[16] = {3, 3, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> block = {0x10, 0xF2, 0xFF, 0xFF, 0, 0, 0, 0};  // alpha rows 0..3
  std::vector<uint8_t> colours = colour_block(0x001F, 0xF800, idx);   // c0 <= c1
  block.insert(block.end(), colours.begin(), colours.end());
  const size_t stride = 16;
  std::vector<uint8_t> out(4 * stride, 0xEE);
  dxt_decode_block_row(true, block.data(), 4, 4, out.data(), stride);
  // Row 0 alpha nibbles 0, 1, 2, 15 (lowest first), each times 17; index 3 is an opaque colour.
  EXPECT_EQ(pixel(out, stride, 0, 0), (std::vector<uint8_t>{165, 0, 83, 0}));
  EXPECT_EQ(pixel(out, stride, 1, 0)[3], 17);
  EXPECT_EQ(pixel(out, stride, 2, 0)[3], 34);
  EXPECT_EQ(pixel(out, stride, 3, 0)[3], 255);
  EXPECT_EQ(pixel(out, stride, 0, 1), (std::vector<uint8_t>{0, 0, 248, 255}));
  EXPECT_EQ(pixel(out, stride, 0, 2)[3], 0);
}

TEST(BmpDxt, BlocksBeyondThePictureAreNotWritten) {
  const int idx[16] = {};
  std::vector<uint8_t> blocks = colour_block(0xFFFF, 0, idx);
  std::vector<uint8_t> second = colour_block(0xFFFF, 0, idx);
  blocks.insert(blocks.end(), second.begin(), second.end());
  const int width = 5;  // two blocks, one column of the second used
  const size_t stride = 4 * width;
  std::vector<uint8_t> out(4 * stride + 4, 0xEE);
  dxt_decode_block_row(false, blocks.data(), width, 2, out.data(), stride);
  EXPECT_EQ(pixel(out, stride, 4, 1), (std::vector<uint8_t>{248, 252, 248, 255}));
  for (size_t i = 2 * stride; i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE) << i;  // rows 2, 3 untouched
}

TEST(BmpHeader, ResolutionBothWays) {
  EXPECT_EQ(dpi_from_ppm(0), 0);
  EXPECT_EQ(dpi_from_ppm(2835), 72);
  EXPECT_EQ(dpi_from_ppm(3780), 96);
  EXPECT_EQ(ppm_from_dpi(72), 2834);
  EXPECT_EQ(ppm_from_dpi(300), 11811);
  EXPECT_EQ(ppm_from_dpi(0), 0);
  for (int dpi : {50, 72, 96, 150, 300, 600, 1200}) EXPECT_EQ(dpi_from_ppm(ppm_from_dpi(dpi)), dpi);
}

}  // namespace
}  // namespace lumora::bmp
