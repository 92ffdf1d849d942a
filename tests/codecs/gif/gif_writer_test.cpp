// The GIF writer through the save pipeline: file framing, colour-table sizes, extensions, round
// trips through the reader for every pixel type it takes, and write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "imagelib/codecs/gif/gif.h"
#include "imagelib/core/save.h"
#include "tests/support/reader_harness.h"

namespace lumora {
namespace {

using test::RecordedLoad;

class GifWriter : public ::testing::Test {
 protected:
  void SetUp() override { library_start(); }
  void TearDown() override {
    library_stop();
    std::remove(path_.c_str());
  }

  // A picture of the given type whose pixel (x, y) is (x + 3y) mod `colors`.
  static Bitmap picture(uint16_t type, int width, int height, int colors) {
    Bitmap b{};
    EXPECT_EQ(bitmap_alloc(&b, type, 4, width, height), 1);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        int v = (x + 3 * y) % colors;
        if (type == kPixBilevel) bit_put(bitmap_row(&b, y), x, v);
        else bitmap_row(&b, y)[x] = static_cast<uint8_t>(v);
      }
    if (type != kPixBilevel) b.colors = static_cast<uint16_t>(colors);
    if (b.palette)
      for (int i = 0; i < 256; ++i) {
        b.palette[kPalR + i] = static_cast<uint8_t>(i);
        b.palette[kPalG + i] = static_cast<uint8_t>(255 - i);
        b.palette[kPalB + i] = static_cast<uint8_t>(i * 7);
      }
    return b;
  }

  int save(const Bitmap& b, bool interlaced = false, bool gif87a = false) {
    SaveParams p;
    save_params_init(&p);
    p.format_index = kFormatGif;
    p.interlaced = interlaced;
    p.gif87a = gif87a;
    return save_image(path_.c_str(), &b, &p);
  }

  std::vector<uint8_t> file() const { return test::read_file(path_); }

  std::string path_ = "/tmp/lumora_gif_writer_" + std::to_string(::getpid()) + ".gif";
};

TEST_F(GifWriter, ColourTableSizeFollowsTheColourCount) {
  struct Case {
    uint16_t type;
    int colors;
    int bits;
    int code_size;
  };
  const Case cases[] = {{kPixIndexed, 2, 1, 2}, {kPixIndexed, 8, 3, 3}, {kPixIndexed, 200, 8, 8},
                        {kPixGrey, 256, 8, 8},  {kPixBilevel, 2, 1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " colours " << c.colors);
    Bitmap b = picture(c.type, 13, 5, c.colors);
    ASSERT_EQ(save(b), 0);
    std::vector<uint8_t> f = file();
    const size_t table = 3u << c.bits;
    ASSERT_GT(f.size(), 13 + table + 11);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF89a");
    EXPECT_EQ(f[10], 0x80 | (c.bits - 1));
    EXPECT_EQ(f[13 + table], 0x2C) << "image descriptor right after the table";
    EXPECT_EQ(f[13 + table + 10], c.code_size);
    EXPECT_EQ(f[f.size() - 2], 0);
    EXPECT_EQ(f.back(), 0x3B);
    if (c.type == kPixIndexed) {
      EXPECT_EQ(f[13 + 3 * 1 + 1], 254) << "palette green of entry 1";
    }
    bitmap_free(&b);
  }
}

TEST_F(GifWriter, TransparencyAndCommentExtensions) {
  Bitmap b = picture(kPixIndexed, 4, 4, 4);
  b.transparent_index = 3;
  b.comment = string_dup("hello");
  ASSERT_EQ(save(b, false, true), 0);
  std::vector<uint8_t> f = file();
  EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF87a");
  const size_t at = 13 + 12;
  const std::vector<uint8_t> expected{0x21, 0xF9, 4, 1, 0, 0, 3, 0, 0x21, 0xFE, 6, 'h', 'e', 'l', 'l', 'o', 0, 0, 0x2C};
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + at, f.begin() + at + expected.size()), expected);
  // A comment of 255 characters or more is left out.
  std::free(b.comment);
  b.comment = string_dup(std::string(300, 'c').c_str());
  b.transparent_index = -1;
  ASSERT_EQ(save(b), 0);
  EXPECT_EQ(file()[at], 0x2C);
  bitmap_free(&b);
}

TEST_F(GifWriter, RoundTripsThroughTheReader) {
  struct Case {
    uint16_t type;
    int colors;
    bool interlaced;
  };
  const Case cases[] = {{kPixIndexed, 256, false}, {kPixIndexed, 16, true}, {kPixGrey, 256, true},
                        {kPixBilevel, 2, false},   {kPixIndexed, 5, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " interlaced " << c.interlaced);
    Bitmap b = picture(c.type, 37, 29, c.colors);
    ASSERT_EQ(save(b, c.interlaced), 0);
    test::ReaderRun run;
    run.run(gif_read, file(), test::default_params());
    ASSERT_EQ(run.status, 0);
    const RecordedLoad& r = run.load;
    for (int32_t y = 0; y < b.height; ++y)
      for (int32_t x = 0; x < b.width; ++x) {
        int expected = c.type == kPixBilevel ? bit_get(bitmap_row(&b, y), x) : bitmap_row(&b, y)[x];
        ASSERT_EQ(r.rows[static_cast<size_t>(y)][static_cast<size_t>(x)], expected) << x << "," << y;
      }
    if (c.type == kPixIndexed) {
      EXPECT_EQ(r.palette[3 * 2 + 2], 14);
    }
    bitmap_free(&b);
  }
}

TEST_F(GifWriter, RefusesColourAndReportsWriteFailures) {
  Bitmap colour{};
  ASSERT_EQ(bitmap_alloc(&colour, kPixRGB, 4, 4, 4), 1);
  EXPECT_EQ(save(colour), 7);
  bitmap_free(&colour);

  Bitmap b = picture(kPixIndexed, 200, 200, 256);
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatGif;
  EXPECT_EQ(test::save_to_full_disk(b, p), 6);
  bitmap_free(&b);
}

}  // namespace
}  // namespace lumora
