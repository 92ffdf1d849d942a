// The PNG reader: transformations by colour type, transparency, text, pHYs, interlace and
// damaged files; the writer is tested in writers_test.
#include <gtest/gtest.h>
#include <png.h>

#include <random>

#include "imagelib/codecs/png/png.h"
#include "tests/support/png_file.h"
#include "tests/support/reader_harness.h"

namespace lumora {
namespace {

using test::PngRecipe;
using test::make_png;
using Bytes = std::vector<uint8_t>;

void read(const Bytes& bytes, test::ReaderRun* r, uint32_t flags = 0, bool blend_alpha = false,
          bool blend_palette = false, int cancel_after = -1) {
  LoadParams p = test::default_params();
  p.flags = flags;
  p.png_blend_alpha = blend_alpha;
  p.png_blend_palette = blend_palette;
  r->load.cancel_after_rows = cancel_after;
  r->run(png_read, bytes, p);
}

TEST(PngReader, TransformationsByColourType) {
  struct Case {
    const char* name;
    PngRecipe recipe;
    bool blend_alpha, blend_palette;
    uint16_t bits;
    uint32_t row_bytes;
    Bytes first_row;
    int16_t transparent;
    bool palette;
  };
  PngRecipe rgba16{.color_type = PNG_COLOR_TYPE_RGB_ALPHA, .bit_depth = 16,
                   .rows = {Bytes{0xFF, 0x01, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}, Bytes(16, 0xFF)}};
  PngRecipe grey_alpha{.color_type = PNG_COLOR_TYPE_GRAY_ALPHA, .rows = {Bytes{10, 0, 20, 255}, Bytes{30, 128, 40, 1}}};
  PngRecipe pal{.width = 5, .color_type = PNG_COLOR_TYPE_PALETTE, .bit_depth = 2,
                .rows = {Bytes{0x1B, 0x40}, Bytes{0xE4, 0x00}}, .palette_size = 4, .trans = {255, 0, 255, 0}};
  PngRecipe partial = pal;
  partial.trans = {255, 128};
  PngRecipe interlaced{.interlaced = true, .rows = {Bytes{1, 2, 3, 4, 5, 6}, Bytes{7, 8, 9, 10, 11, 12}}};
  const Case cases[] = {
      {"16-bit RGBA", rgba16, false, false, 32, 8, {0xFF, 0, 0, 0xFF, 0, 0, 0, 0}, -1, false},
      {"16-bit RGBA on white", rgba16, true, false, 24, 6, {0xFF, 0, 0, 0xFF, 0xFF, 0xFF}, -1, false},
      {"grey with alpha", grey_alpha, true, true, 8, 2, {10, 20}, -1, false},
      {"2-bit palette, binary alpha", pal, false, true, 2, 2, {0x1B, 0x40}, 1, true},
      {"partial alpha on white", partial, false, true, 2, 2, {0x1B, 0x40}, -1, true},
      {"interlaced RGB", interlaced, false, false, 24, 6, {1, 2, 3, 4, 5, 6}, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ReaderRun r;
    read(make_png(c.recipe), &r, 0, c.blend_alpha, c.blend_palette);
    ASSERT_EQ(r.status, 0);
    const ImageHeader& h = r.load.header;
    EXPECT_EQ(h.bits_per_plane, c.bits);
    EXPECT_EQ(h.bytes_per_plane, c.row_bytes);
    EXPECT_EQ(h.compression, kCompZip);
    EXPECT_EQ(h.transparent_index, c.transparent);
    EXPECT_EQ(std::string(h.description),
              std::string("Portable Network Graphics") + (c.recipe.interlaced ? " (Interlaced)" : ""));
    ASSERT_EQ(r.load.order.size(), c.recipe.height);
    EXPECT_EQ(r.load.rows[0], c.first_row);
    EXPECT_EQ(r.load.palette_given, c.palette);
    if (c.palette) {
      EXPECT_EQ(r.load.palette_form, 0x100u);
      // Entry 1 is (1, 254, 7); with partial alpha 128 it is composited on white.
      const double expected[3] = {1, 254, 7};
      for (int k = 0; k < 3; ++k) {
        double want = c.transparent == 1 ? expected[k] : (128 * expected[k] + 127 * 255) / 255.0;
        EXPECT_NEAR(r.load.palette[3 + k], want, 1.0) << k;
      }
    }
  }
}

TEST(PngReader, TextResolutionAndProfile) {
  PngRecipe s;
  s.rows = {Bytes(6, 1), Bytes(6, 2)};
  s.ppm = 2835;
  s.texts = {{"COMMENT", "the comment"}, {"Author", "someone"}, {"Title", "nCC marker"}};
  test::ReaderRun r;
  read(make_png(s), &r, kLoadKeepComment | kLoadKeepText);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.load.header.xdpi, 72);
  EXPECT_EQ(r.load.header.ydpi, 72);
  ASSERT_NE(r.context.comment, nullptr);
  EXPECT_STREQ(r.context.comment, "the comment");
  ASSERT_EQ(r.context.text_count, 1u);
  EXPECT_STREQ(r.context.text_lines[0], "Author: someone");
  test::ReaderRun plain;
  read(make_png(s), &plain);
  EXPECT_EQ(plain.context.comment, nullptr);
}

TEST(PngReader, DamagedFiles) {
  std::mt19937 rng(1);
  PngRecipe s;
  s.width = 128;
  s.height = 128;
  for (uint32_t y = 0; y < s.height; ++y) {
    Bytes row(3 * s.width);
    for (auto& v : row) v = static_cast<uint8_t>(rng());   // barely compressible
    s.rows.push_back(row);
  }
  const Bytes good = make_png(s);
  // The IDAT chunk starts after the 8-byte signature and the 25-byte IHDR chunk.
  const size_t idat = 8 + 25;
  struct Case {
    const char* name;
    Bytes bytes;
    int status;
    int end_calls;
    bool some_rows;
  };
  std::vector<Case> cases;
  cases.push_back({"4 bytes", Bytes(good.begin(), good.begin() + 4), 4, 0, false});
  cases.push_back({"not a PNG", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, 2, 0, false});
  Bytes loose = good;
  loose[7] = 0;   // passes the loose test, fails libpng's signature check
  cases.push_back({"bad signature", loose, 2, 0, false});
  Bytes ihdr = good;
  ihdr[16] = ihdr[17] = ihdr[18] = ihdr[19] = 0;   // width 0
  cases.push_back({"width 0", ihdr, 2, 0, false});
  Bytes forged(good.begin(), good.begin() + idat);   // a text chunk claiming 1.5 GB
  const Bytes claim{0x5C, 0, 0, 0x0B, 't', 'E', 'X', 't', 'a', 0, 'b'};
  forged.insert(forged.end(), claim.begin(), claim.end());
  cases.push_back({"forged chunk length", forged, 2, 0, false});
  cases.push_back({"cut inside the image data", Bytes(good.begin(), good.begin() + idat + 30000), 4, 1, true});
  Bytes crc = good;
  crc[idat + 40000] ^= 0x55;
  cases.push_back({"damaged image data", crc, 4, 1, true});
  cases.push_back({"end chunk missing", Bytes(good.begin(), good.end() - 12), 0, 1, true});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ReaderRun r;
    read(c.bytes, &r, kLoadKeepComment | kLoadKeepText | kLoadKeepChunks);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.load.end_calls, c.end_calls);
    EXPECT_EQ(!r.load.order.empty(), c.some_rows);
    if (c.some_rows) {
      EXPECT_EQ(r.load.rows[0], s.rows[0]);
    }
  }
  test::ReaderRun cancelled;
  read(good, &cancelled, 0, false, false, 3);
  EXPECT_EQ(cancelled.status, 15);
  EXPECT_EQ(cancelled.load.end_calls, 1);
}

}  // namespace
}  // namespace lumora
