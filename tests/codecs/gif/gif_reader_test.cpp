// The GIF reader on byte-crafted files, through a recording load context.
#include <gtest/gtest.h>

#include <cstring>

#include "imagelib/codecs/gif/gif.h"
#include "tests/support/gif_file.h"
#include "tests/support/reader_harness.h"

namespace lumora {
namespace {

using test::default_color;
using test::filled;
using test::GifBuilder;
using test::ReaderRun;

void run(const std::vector<uint8_t>& bytes, ReaderRun* r, int32_t image = 0, uint32_t flags = 0,
         int cancel_after = -1, bool info_only = false) {
  LoadParams p = test::default_params();
  p.image_index = image;
  p.flags = flags;
  r->load.cancel_after_rows = cancel_after;
  r->load.info_only = info_only;
  r->run(gif_read, bytes, p);
}

// Three 2x2 images filled with 1, 2 and 3.
GifBuilder three_images() {
  GifBuilder g;
  g.header(2, 2, 2);
  for (uint8_t v : {1, 2, 3}) g.image(0, 0, 2, 2, filled(4, v));
  g.trailer();
  return g;
}

TEST(GifReader, DeliversTheChosenImageAndCountsThemAll) {
  struct Case {
    int32_t index;
    uint32_t flags;
    int status;
    uint32_t count;
    int value;   // pixel value delivered, -1 for none
  };
  const Case cases[] = {
      {0, 0, 0, 3, 1},
      {2, 0, 0, 3, 3},
      {5, 0, 2, 3, -1},            // fewer images than asked for
      {1, kLoadSingleImage, 0, 2, 2},   // stops after the image it delivers
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    ReaderRun r;
    run(three_images().bytes, &r, c.index, c.flags);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.context.image_count, c.count);
    EXPECT_EQ(r.load.begin_calls, c.value < 0 ? 0 : 1);
    EXPECT_EQ(r.load.end_calls, c.value < 0 ? 0 : 1);
    if (c.value >= 0) {
      ASSERT_EQ(r.load.order.size(), 2u);
      EXPECT_EQ(r.load.rows[0], filled(2, static_cast<uint8_t>(c.value)));
      EXPECT_EQ(r.load.rows[1], filled(2, static_cast<uint8_t>(c.value)));
    }
  }
}

TEST(GifReader, HeaderDescribesTheImage) {
  std::vector<uint8_t> pixels(6 * 10);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i / 6);
  GifBuilder g;
  g.header(6, 10, 4, 0, "GIF87a").image(0, 0, 6, 10, pixels, 0, true).trailer();
  ReaderRun r;
  run(g.bytes, &r);
  ASSERT_EQ(r.status, 0);
  const ImageHeader& h = r.load.header;
  EXPECT_STREQ(h.description, "Compuserve GIF (Version 87a - Interlaced)");
  EXPECT_EQ(h.compression, kCompLzw);
  EXPECT_EQ(h.layout, 2u);
  EXPECT_EQ(h.bits_per_plane, 4);
  EXPECT_EQ(h.bytes_per_plane, 6u);
  // Interlaced rows reach their picture rows in the four-pass order.
  const std::vector<int32_t> order{0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  EXPECT_EQ(r.load.order, order);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(r.load.rows[static_cast<size_t>(y)], filled(6, static_cast<uint8_t>(y)));
  EXPECT_EQ(r.load.palette_form, 0x100u);
  EXPECT_EQ(r.load.palette[3], default_color(1).r);
}

TEST(GifReader, LocalTableAndTransparencyApplyToTheirOwnImageOnly) {
  GifBuilder g;
  g.header(2, 1, 2);
  g.control(0, 0, 3).image(0, 0, 2, 1, {0, 1}, 1, false, 0, {{9, 9, 9}, {8, 8, 8}});
  g.image(0, 0, 2, 1, {2, 3}).trailer();
  for (int32_t index : {0, 1}) {
    SCOPED_TRACE(index);
    ReaderRun r;
    run(g.bytes, &r, index);
    ASSERT_EQ(r.status, 0);
    if (index == 0) {
      EXPECT_EQ(r.load.header.transparent_index, 3);
      EXPECT_EQ(r.load.header.bits_per_plane, 1);
      EXPECT_EQ(r.load.palette[0], 9);
    } else {
      EXPECT_EQ(r.load.header.transparent_index, -1);
      EXPECT_EQ(r.load.header.bits_per_plane, 2);
      EXPECT_EQ(r.load.palette[0], default_color(0).r) << "the global table is back";
    }
  }
}

TEST(GifReader, DataEndingEarlyKeepsTheRowsDecoded) {
  std::vector<uint8_t> pixels(8 * 40);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>((i * 7 + i / 8) % 16);
  GifBuilder g;
  g.header(8, 40, 4).image(0, 0, 8, 40, pixels);
  std::vector<uint8_t> bytes = g.bytes;
  bytes.resize(bytes.size() * 2 / 3);   // cut inside the image data
  ReaderRun r;
  run(bytes, &r);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.load.end_calls, 1);
  ASSERT_GT(r.load.order.size(), 5u);
  ASSERT_LT(r.load.order.size(), 40u);
  const size_t last = r.load.order.size() - 1;
  for (size_t y = 0; y < last; ++y)
    EXPECT_TRUE(std::equal(r.load.rows[y].begin(), r.load.rows[y].end(), pixels.begin() + static_cast<long>(8 * y)));
  EXPECT_TRUE(r.load.rows[last + 1].empty()) << "rows after the cut are never delivered";
}

TEST(GifReader, HostileAndBrokenFiles) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int status;
    const char* message;
  };
  auto screen = [] { GifBuilder g; g.header(4, 4, 2); return g; };
  std::vector<Case> cases;
  cases.push_back({"other signature", GifBuilder().header(4, 4, 2, 0, "GIF88a").trailer().bytes, 2, ""});
  std::vector<uint8_t> short_screen = screen().bytes;
  short_screen.resize(9);
  cases.push_back({"screen cut short", short_screen, 4, ""});
  std::vector<uint8_t> short_table = screen().bytes;
  short_table.resize(15);
  cases.push_back({"table cut short", short_table, 4, ""});
  std::vector<uint8_t> short_image = screen().bytes;
  for (uint8_t b : {0x2C, 0, 0, 0}) short_image.push_back(b);
  cases.push_back({"descriptor cut short", short_image, 4, ""});
  cases.push_back({"zero width", screen().image(0, 0, 0, 4, {}).trailer().bytes, 9, "GIF : Bad picture's size !"});
  cases.push_back({"code size 1", screen().image(0, 0, 4, 4, filled(16, 0), 0, false, 1).trailer().bytes, 9,
                   "GIF : Bad code's size !"});
  cases.push_back({"code size 12", screen().image(0, 0, 4, 4, filled(16, 0), 0, false, 12).trailer().bytes, 9,
                   "GIF : Bad code's size !"});
  cases.push_back({"no image", screen().trailer().bytes, 2, ""});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReaderRun r;
    run(c.bytes, &r);
    EXPECT_EQ(r.status, c.status);
    EXPECT_STREQ(r.context.message, c.message);
    EXPECT_EQ(r.load.end_calls, 0);
  }
}

TEST(GifReader, CommentSubBlocksAreJoined) {
  const std::string text = "made by a test, long enough to need three sub-blocks of ten";
  for (bool keep : {false, true}) {
    GifBuilder g;
    g.header(1, 1, 1).comment(text, 10).comment("nCC style marker").image(0, 0, 1, 1, {1}).trailer();
    ReaderRun r;
    run(g.bytes, &r, 0, keep ? kLoadKeepComment : 0);
    ASSERT_EQ(r.status, 0);
    if (keep) {
      ASSERT_NE(r.context.comment, nullptr);
      EXPECT_EQ(std::string(r.context.comment), text);
    } else {
      EXPECT_EQ(r.context.comment, nullptr);
    }
  }
}

TEST(GifReader, BlackOnBlackTwoColourTableGetsWhite) {
  GifBuilder g;
  g.header(2, 1, 1, 0, "GIF89a", {{0, 0, 0}, {0, 0, 0}}).image(0, 0, 2, 1, {0, 1}).trailer();
  ReaderRun r;
  run(g.bytes, &r);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(std::vector<uint8_t>(r.load.palette.begin(), r.load.palette.begin() + 6),
            (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
}

TEST(GifReader, CancelAndDescriptionOnly) {
  GifBuilder g;
  g.header(3, 8, 2).image(0, 0, 3, 8, filled(24, 2)).trailer();
  ReaderRun cancelled;
  run(g.bytes, &cancelled, 0, 0, 2);
  EXPECT_EQ(cancelled.status, 15);
  EXPECT_EQ(cancelled.load.order.size(), 2u);
  EXPECT_EQ(cancelled.load.end_calls, 1);
  ReaderRun info;
  run(g.bytes, &info, 0, 0, -1, true);
  EXPECT_EQ(info.status, -1);
  EXPECT_EQ(info.load.end_calls, 0);
  EXPECT_EQ(info.load.header.width, 3);
}

}  // namespace
}  // namespace lumora
