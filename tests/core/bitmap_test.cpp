#include "imagelib/core/bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace lumora;

namespace {

struct LayoutCase {
  uint32_t request;
  int alignment;
  int32_t width, height;
  uint16_t type, bpp, bits, samples, align_stored;
  uint32_t bytes_per_line;
  uint16_t colors;
};

class BitmapLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(BitmapLayout, AllocDerivesTheRowLayout) {
  const LayoutCase& c = GetParam();
  Bitmap b;
  ASSERT_EQ(bitmap_alloc(&b, c.request, c.alignment, c.width, c.height), 1);
  EXPECT_EQ(b.type, c.type);
  EXPECT_EQ(b.bytes_per_pixel, c.bpp);
  EXPECT_EQ(b.bits_per_sample, c.bits);
  EXPECT_EQ(b.samples_per_pixel, c.samples);
  EXPECT_EQ(b.alignment, c.align_stored);
  EXPECT_EQ(b.bytes_per_line, c.bytes_per_line);
  EXPECT_EQ(b.colors, c.colors);
  EXPECT_EQ(b.transparent_index, -1);
  EXPECT_EQ(b.palette != nullptr, (c.type & kPixIndexed) != 0);
  ASSERT_NE(b.pixels, nullptr);
  for (size_t i = 0; i < size_t(b.height) * b.bytes_per_line; ++i) ASSERT_EQ(b.pixels[i], 0);
  bitmap_free(&b);
  EXPECT_EQ(b.pixels, nullptr);
  bitmap_free(&b);  // a second free does nothing
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BitmapLayout,
    ::testing::Values(
        LayoutCase{1, 4, 1, 1, 1, 1, 1, 1, 4, 4, 2},
        LayoutCase{16, 4, 33, 2, 16, 3, 8, 3, 4, 100, 0},
        LayoutCase{1, 0, 9, 1, 1, 1, 1, 1, 1, 2, 2},     // alignment 0 -> 1
        LayoutCase{1, -3, 17, 1, 1, 1, 1, 1, 1, 3, 2},   // negative alignment -> 1
        LayoutCase{1, 4, 33, 1, 1, 1, 1, 1, 4, 8, 2},
        LayoutCase{2, 4, 5, 3, 2, 1, 8, 1, 4, 8, 256},
        LayoutCase{4, 1, 5, 3, 4, 1, 8, 1, 1, 5, 256},
        LayoutCase{2032, 4, 3, 1, 16, 3, 8, 3, 4, 12, 0},
        LayoutCase{80, 2, 3, 1, 16, 3, 8, 3, 2, 10, 0},
        LayoutCase{1952, 4, 3, 1, 32, 4, 8, 4, 4, 12, 0},
        LayoutCase{1024, 8, 3, 1, 1024, 4, 8, 4, 8, 16, 0},
        LayoutCase{64, 4, 0, 0, 64, 3, 8, 3, 4, 0, 0}));

TEST(Bitmap, DeepAllocationDoublesTheSamples) {
  Bitmap b;
  ASSERT_EQ(bitmap_alloc_deep(&b, 16, 4, 3, 2, 16), 1);
  EXPECT_EQ(b.bytes_per_pixel, 6);
  EXPECT_EQ(b.bits_per_sample, 16);
  EXPECT_EQ(b.bytes_per_line, 20u);
  bitmap_free(&b);
}

TEST(Bitmap, RefusesSizesThatOverflow) {
  Bitmap b;
  EXPECT_EQ(bitmap_alloc(&b, 32, 4, 0x7FFFFFFF, 0x7FFFFFFF), 0);
  EXPECT_EQ(b.pixels, nullptr);
  EXPECT_EQ(bitmap_alloc(&b, 16, 4, -1, 5), 0);
  bitmap_free(&b);
}

TEST(Bitmap, CopyAttributesDeepCopiesChunksInOrder) {
  Bitmap src, dst;
  ASSERT_EQ(bitmap_alloc(&src, 2, 4, 2, 2), 1);
  src.xdpi = 300;
  src.ydpi = 150;
  src.orientation = kOrientBottomUp;
  src.comment = string_dup("hello");
  const uint8_t a[] = {1, 2, 3}, b[] = {9};
  ASSERT_EQ(chunk_append(&src.chunks, kChunkExif, a, 3), 0);
  ASSERT_EQ(chunk_append(&src.chunks, kChunkIcc, b, 1), 0);
  ASSERT_EQ(bitmap_clone_layout(&dst, 64, &src), 0);
  EXPECT_EQ(dst.type, 64);
  EXPECT_EQ(dst.width, 2);
  EXPECT_EQ(dst.xdpi, 300);
  EXPECT_EQ(dst.ydpi, 150);
  EXPECT_EQ(dst.orientation, kOrientBottomUp);
  ASSERT_NE(dst.comment, src.comment);
  EXPECT_STREQ(dst.comment, "hello");
  ASSERT_NE(dst.chunks, nullptr);
  EXPECT_EQ(dst.chunks->kind, uint32_t(kChunkExif));
  EXPECT_NE(dst.chunks->data, src.chunks->data);
  EXPECT_EQ(std::memcmp(dst.chunks->data, a, 3), 0);
  ASSERT_NE(dst.chunks->next, nullptr);
  EXPECT_EQ(dst.chunks->next->kind, uint32_t(kChunkIcc));
  EXPECT_EQ(dst.chunks->next->next, nullptr);
  EXPECT_EQ(chunk_find(dst.chunks, kChunkIcc), dst.chunks->next);
  bitmap_free(&src);
  bitmap_free(&dst);
}

TEST(Bitmap, FreeHandlesChunkNodesWithoutData) {
  Bitmap b{};
  auto* node = static_cast<MetadataChunk*>(std::calloc(1, sizeof(MetadataChunk)));
  node->kind = kChunkXmp;
  node->size = 100;  // data could not be allocated
  b.chunks = node;
  bitmap_free(&b);
  EXPECT_EQ(b.chunks, nullptr);
}

struct ClipCase {
  Rect rect;
  int status;
  Rect out;
};

TEST(Bitmap, ClipRect) {
  Bitmap b;
  ASSERT_EQ(bitmap_alloc(&b, 2, 1, 10, 8), 1);
  const ClipCase cases[] = {
      {{2, 3, 4, 2}, 0, {2, 3, 4, 2}},
      {{-5, -1, 8, 4}, 0, {0, 0, 3, 3}},
      {{5, 5, 100, 100}, 0, {5, 5, 5, 3}},
      {{12, 0, 3, 3}, 16, {}},   // entirely right of the picture
      {{0, 9, 3, 3}, 16, {}},    // entirely below
      {{3, 3, 0, 2}, 16, {}},    // empty
  };
  for (const ClipCase& c : cases) {
    Rect out{};
    EXPECT_EQ(bitmap_clip_rect(&b, &c.rect, &out), c.status) << c.rect.x << "," << c.rect.y;
    if (c.status == 0) {
      EXPECT_EQ(out.x, c.out.x);
      EXPECT_EQ(out.y, c.out.y);
      EXPECT_EQ(out.width, c.out.width);
      EXPECT_EQ(out.height, c.out.height);
    }
  }
  Rect whole{};
  EXPECT_EQ(bitmap_clip_rect(&b, nullptr, &whole), 0);
  EXPECT_EQ(whole.width, 10);
  EXPECT_EQ(whole.height, 8);
  bitmap_free(&b);
}

TEST(Bitmap, RowBitOperations) {
  uint8_t row[3] = {0, 0, 0};
  for (int x : {0, 7, 8, 13, 23}) bit_or(row, x, 1);
  EXPECT_EQ(row[0], 0x81);
  EXPECT_EQ(row[1], 0x84);
  EXPECT_EQ(row[2], 0x01);
  EXPECT_EQ(bit_get(row, 13), 1);
  EXPECT_EQ(bit_get(row, 12), 0);
  bit_put(row, 13, 0);
  bit_put(row, 12, 1);
  EXPECT_EQ(row[1], 0x88);
}

TEST(Bitmap, BitsForColors) {
  const int expect[][2] = {{0, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {8, 3}, {9, 4}, {16, 4},
                           {17, 5}, {32, 5}, {33, 6}, {64, 6}, {65, 7}, {128, 7}, {129, 8}, {256, 8}};
  for (auto& e : expect) EXPECT_EQ(bits_for_colors(e[0]), e[1]) << e[0];
}

}  // namespace
