#include "imagelib/ops/rotate.h"

#include <gtest/gtest.h>

#include <string>

#include "imagelib/core/status.h"
#include "tests/support/pictures.h"

namespace lumora {
namespace {

using test::Picture;
using test::pixel_at;
using test::same_pixels;

struct Layout {
  uint32_t type;
  int bits;  // sample size
};

const Layout kLayouts[] = {{kPixBilevel, 1}, {kPixGrey, 8},  {kPixIndexed, 8}, {kPixRGB, 8},
                           {kPixBGR, 8},     {kPixRGBA, 8},  {kPixABGR, 8},    {kPixBGRA, 8},
                           {kPixARGB, 8},    {kPixCMYK, 8},  {kPixGrey, 16},   {kPixRGB, 16}};

struct Size {
  int32_t w, h;
  int alignment;
};
const Size kSizes[] = {{1, 1, 1}, {3, 2, 4}, {37, 5, 1}, {70, 33, 4}, {9, 40, 2}};

// Source pixel that lands on target pixel (x, y), straight from the geometry of each turn.
std::vector<uint8_t> expected(const Bitmap* s, int angle, int32_t x, int32_t y) {
  switch (angle) {
    case 90: return pixel_at(s, y, s->height - 1 - x);
    case -90: return pixel_at(s, s->width - 1 - y, x);
    default: return pixel_at(s, s->width - 1 - x, s->height - 1 - y);
  }
}

TEST(Rotate, EveryTypeAndTurnMatchesGeometry) {
  uint32_t seed = 1;
  for (const Layout& l : kLayouts)
    for (const Size& sz : kSizes)
      for (int angle : {90, -90, 180}) {
        SCOPED_TRACE("type " + std::to_string(l.type) + " bits " + std::to_string(l.bits) + " " +
                     std::to_string(sz.w) + "x" + std::to_string(sz.h) + " angle " +
                     std::to_string(angle));
        Picture src, dst;
        ASSERT_TRUE(bitmap_alloc_deep(src.get(), l.type, sz.alignment, sz.w, sz.h, l.bits));
        test::fill_random(src.get(), seed++);
        src->colors = 77;
        src->transparent_index = 5;
        src->xdpi = 300;
        src->comment = string_dup("note");
        ASSERT_EQ(bitmap_rotate(src.get(), dst.get(), angle), kStatusOk);

        const bool quarter = angle != 180;
        ASSERT_EQ(dst->width, quarter ? sz.h : sz.w);
        ASSERT_EQ(dst->height, quarter ? sz.w : sz.h);
        EXPECT_EQ(dst->type, src->type);
        EXPECT_EQ(dst->bytes_per_pixel, src->bytes_per_pixel);
        EXPECT_EQ(dst->alignment, src->alignment);
        EXPECT_EQ(dst->colors, 77);
        EXPECT_EQ(dst->transparent_index, 5);
        EXPECT_EQ(dst->xdpi, 300);
        ASSERT_NE(dst->comment, nullptr);
        EXPECT_STREQ(dst->comment, "note");
        if (src->palette) {
          EXPECT_EQ(0, std::memcmp(src->palette, dst->palette, kPaletteBytes));
        }
        for (int32_t y = 0; y < dst->height; ++y)
          for (int32_t x = 0; x < dst->width; ++x)
            ASSERT_EQ(pixel_at(dst.get(), x, y), expected(src.get(), angle, x, y))
                << "at " << x << "," << y;
      }
}

TEST(Rotate, TurnAndTurnBackGivesTheSource) {
  uint32_t seed = 100;
  for (const Layout& l : kLayouts)
    for (const Size& sz : kSizes)
      for (auto [first, second] : {std::pair{90, -90}, {-90, 90}, {180, 180}, {270, -270}}) {
        Picture src, turned;
        ASSERT_TRUE(bitmap_alloc_deep(src.get(), l.type, sz.alignment, sz.w, sz.h, l.bits));
        test::fill_random(src.get(), seed++);
        ASSERT_EQ(bitmap_rotate(src.get(), turned.get(), first), kStatusOk);
        ASSERT_EQ(bitmap_rotate(turned.get(), nullptr, second), kStatusOk);  // in place
        EXPECT_TRUE(same_pixels(src.get(), turned.get()))
            << "type " << l.type << " " << sz.w << "x" << sz.h << " by " << first;
      }
}

// The word paths must give exactly the pixels of the bit paths, padding bits included (both
// leave it clear), for every width around the word and byte boundaries.
TEST(Rotate, BilevelWordPathsMatchBitPaths) {
  uint32_t seed = 500;
  std::vector<int32_t> widths;
  for (int32_t w = 1; w <= 70; ++w) widths.push_back(w);
  for (int32_t w : {95, 96, 97, 255, 257}) widths.push_back(w);
  for (int32_t w : widths)
    for (int32_t h : {1, 7, 31, 32, 33, 64, 65}) {
      Picture src;
      ASSERT_TRUE(bitmap_alloc(src.get(), kPixBilevel, 4, w, h));
      ASSERT_TRUE(rotate_word_layout(src.get()));
      test::fill_random(src.get(), seed++);
      for (RotateTurn turn :
           {RotateTurn::kClockwise, RotateTurn::kCounterClockwise, RotateTurn::kHalf}) {
        Picture fast, slow;
        ASSERT_EQ(bitmap_rotate_turn(src.get(), fast.get(), turn, RotatePath::kAuto), kStatusOk);
        ASSERT_EQ(bitmap_rotate_turn(src.get(), slow.get(), turn, RotatePath::kGeneral),
                  kStatusOk);
        ASSERT_EQ(fast->bytes_per_line, slow->bytes_per_line);
        const size_t bytes = static_cast<size_t>(slow->height) * slow->bytes_per_line;
        ASSERT_EQ(0, std::memcmp(fast->pixels, slow->pixels, bytes))
            << w << "x" << h << " turn " << static_cast<int>(turn);
      }
    }
}

TEST(Rotate, WordLayoutNeedsAlignmentFourWithoutExtraPadding) {
  Picture a, b;
  ASSERT_TRUE(bitmap_alloc(a.get(), kPixBilevel, 4, 33, 2));
  EXPECT_EQ(a->bytes_per_line, 8u);
  EXPECT_TRUE(rotate_word_layout(a.get()));
  ASSERT_TRUE(bitmap_alloc(b.get(), kPixBilevel, 8, 33, 2));
  EXPECT_FALSE(rotate_word_layout(b.get()));
}

TEST(Rotate, OtherAnglesGiveACopy) {
  Picture src;
  ASSERT_TRUE(bitmap_alloc(src.get(), kPixRGB, 4, 5, 3));
  test::fill_random(src.get(), 9);
  for (int angle : {0, 360, -360, 720, 45, 450, -1}) {
    Picture dst;
    ASSERT_EQ(bitmap_rotate(src.get(), dst.get(), angle), kStatusOk);
    EXPECT_TRUE(same_pixels(src.get(), dst.get())) << angle;
  }
}

// Rows stored bottom first, or each stored right to left, are mirrored against the screen: a
// clockwise turn on the screen is a counter-clockwise turn in memory. Both mirrors cancel out.
TEST(Rotate, MirroredStorageReversesQuarterTurns) {
  const struct {
    uint16_t orientation;
    RotateTurn in_memory;
  } cases[] = {{0, RotateTurn::kClockwise},
               {kOrientBottomUp, RotateTurn::kCounterClockwise},
               {kOrientMirrored, RotateTurn::kCounterClockwise},
               {kOrientBottomUp | kOrientMirrored, RotateTurn::kClockwise}};
  for (const auto& c : cases) {
    Picture src, got, want;
    ASSERT_TRUE(bitmap_alloc(src.get(), kPixGrey, 4, 6, 4));
    test::fill_random(src.get(), 3);
    src->orientation = c.orientation;
    ASSERT_EQ(bitmap_rotate(src.get(), got.get(), 90), kStatusOk);
    ASSERT_EQ(bitmap_rotate_turn(src.get(), want.get(), c.in_memory, RotatePath::kGeneral), 0);
    EXPECT_TRUE(same_pixels(got.get(), want.get())) << c.orientation;
    EXPECT_EQ(got->orientation, c.orientation);
  }
}

TEST(Rotate, UnusableSourceIsRefused) {
  Picture src, dst;
  ASSERT_TRUE(bitmap_alloc(src.get(), kPixRGB, 1, 4, 4));
  src->bytes_per_line = 5;  // shorter than 4 pixels of 3 bytes
  EXPECT_EQ(bitmap_rotate(src.get(), dst.get(), 90), kStatusBadArguments);
  EXPECT_EQ(dst->pixels, nullptr);
}

}  // namespace
}  // namespace lumora
