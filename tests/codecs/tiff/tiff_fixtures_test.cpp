// The TIFF reader on small files written by libtiff-tools (scripts/make_tiff_fixtures.sh): every
// compression, both byte orders, predictor, planar and tiled pages, 16-bit grey, CMYK and pages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/support/tiff_file.h"

namespace lumora {
namespace {

using namespace test;

::testing::Environment* const library_env =
    ::testing::AddGlobalTestEnvironment(new test::LibraryEnvironment);

enum class Picture { kColour, kGrey, kBilevel, kCmyk };

struct FixtureCase {
  const char* file;
  Picture picture;
  int tolerance;          // per-sample difference allowed (JPEG)
  uint16_t compression;   // FileInfo code
  const char* description;
};

// Mean absolute difference allowed for the lossy files; exact files must match exactly.
const FixtureCase kCases[] = {
    {"rgb_none.tif", Picture::kColour, 0, kCompNone, "TIFF"},
    {"rgb_none_be.tif", Picture::kColour, 0, kCompNone, "TIFF"},
    {"rgb_lzw.tif", Picture::kColour, 0, kCompLzw, "TIFF"},
    {"rgb_lzw_predictor_be.tif", Picture::kColour, 0, kCompLzw, "TIFF"},
    {"rgb_zip.tif", Picture::kColour, 0, kCompZip, "TIFF"},
    {"rgb_zip_predictor.tif", Picture::kColour, 0, kCompZip, "TIFF"},
    {"rgb_packbits.tif", Picture::kColour, 0, kCompRle, "TIFF"},
    {"rgb_planar_lzw.tif", Picture::kColour, 0, kCompLzw, "TIFF"},
    {"rgb_tiled_zip.tif", Picture::kColour, 0, kCompZip, "TIFF (Tiled)"},
    {"rgb_tiled_planar_be.tif", Picture::kColour, 0, kCompLzw, "TIFF (Tiled)"},
    {"rgb_jpeg.tif", Picture::kColour, 12, kCompJpeg, "TIFF"},
    {"ycbcr_jpeg.tif", Picture::kColour, 40, kCompJpeg, "TIFF"},
    {"grey_lzw.tif", Picture::kGrey, 0, kCompLzw, "TIFF"},
    {"grey16_lzw_predictor.tif", Picture::kGrey, 0, kCompLzw, "TIFF"},
    {"cmyk.tif", Picture::kCmyk, 0, kCompNone, "TIFF"},
    {"bilevel_packbits.tif", Picture::kBilevel, 0, kCompRle, "TIFF"},
    {"bilevel_g3.tif", Picture::kBilevel, 0, kCompCcittG3, "TIFF"},
    {"bilevel_g3_2d.tif", Picture::kBilevel, 0, kCompCcittG3_2D, "TIFF"},
    {"bilevel_g3_2d_fill_lsb.tif", Picture::kBilevel, 0, kCompCcittG3_2D, "TIFF"},
    {"bilevel_g4.tif", Picture::kBilevel, 0, kCompCcittG4, "TIFF"},
    {"bilevel_g4_tiled.tif", Picture::kBilevel, 0, kCompCcittG4, "TIFF (Tiled)"},
};

class FixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureTest, DecodesTheKnownPixels) {
  const FixtureCase& c = GetParam();
  LoadedPicture l;
  load_tiff(fixture(c.file), &l);
  ASSERT_EQ(l.status, 0) << l.info.message;
  EXPECT_EQ(l.info.compression, c.compression);
  EXPECT_STREQ(l.info.description, c.description);
  const Bitmap& b = l.bitmap;
  double total = 0;
  long wrong = 0;
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      uint8_t want[3];
      switch (c.picture) {
        case Picture::kColour: fixture_colour(x, y, want); break;
        case Picture::kCmyk: fixture_cmyk_rgb(x, y, want); break;
        case Picture::kGrey: want[0] = want[1] = want[2] = fixture_grey(x, y); break;
        case Picture::kBilevel: want[0] = want[1] = want[2] = fixture_black(x, y) ? 0 : 255; break;
      }
      const std::array<int, 4> got = l.rgba(x, y);
      for (int k = 0; k < 3; ++k) {
        const int d = std::abs(got[k] - want[k]);
        total += d;
        wrong += d != 0;
      }
    }
  }
  if (c.tolerance == 0) {
    EXPECT_EQ(wrong, 0);
  } else {
    EXPECT_LT(total / (3.0 * b.width * b.height), c.tolerance);
  }
  EXPECT_EQ(b.width, c.picture == Picture::kBilevel ? 61 : 40);
  EXPECT_EQ(b.height, c.picture == Picture::kBilevel ? 9 : 20);
  const uint16_t types[] = {kPixRGB, kPixGrey, kPixBilevel, kPixRGB};   // by Picture
  EXPECT_EQ(b.type, types[static_cast<int>(c.picture)]);
}

INSTANTIATE_TEST_SUITE_P(Files, FixtureTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FixtureCase>& i) {
                           std::string n = i.param.file;
                           n = n.substr(0, n.find('.'));
                           return n;
                         });

TEST(TiffPages, CountsPagesAndLoadsTheChosenOne) {
  struct Case {
    int32_t page;
    uint32_t type;
    int width;
  };
  // Page 0 grey, page 1 colour, page 2 bilevel; an index beyond the count loads page 0.
  const Case cases[] = {{0, kPixGrey, 40}, {1, kPixRGB, 40}, {2, kPixBilevel, 61}, {5, kPixGrey, 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    LoadedPicture l;
    load_tiff(fixture("three_pages.tif"), &l, 0, c.page);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.info.image_count, 3u);
    EXPECT_EQ(l.bitmap.type, c.type);
    EXPECT_EQ(l.bitmap.width, c.width);
  }
}

// Every fixture cut short: a clean status, never a crash; with flag 0x400 the rows that arrived
// are kept and the load succeeds unless the description itself was lost.
TEST(TiffTruncated, CutFilesEndCleanly) {
  for (const FixtureCase& c : kCases) {
    FILE* f = std::fopen(fixture(c.file).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> bytes(8192);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    for (size_t cut : {size_t{5}, size_t{9}, bytes.size() / 3, bytes.size() / 2, bytes.size() - 3}) {
      SCOPED_TRACE(std::string(c.file) + " cut at " + std::to_string(cut));
      TempFile t(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
      LoadedPicture strict, lenient;
      load_tiff(t.path(), &strict);
      EXPECT_TRUE(strict.status == 2 || strict.status == 4 || strict.status == 9 || strict.status == 10 ||
                  strict.status == 0)
          << strict.status;
      if (strict.status != 0) {
        EXPECT_EQ(strict.bitmap.pixels, nullptr);
      }
      load_tiff(t.path(), &lenient, kLoadAcceptIncomplete);
      if (strict.status == 4 || strict.status == 10) {
        EXPECT_EQ(lenient.status, 0);
      }
    }
  }
}

}  // namespace
}  // namespace lumora
