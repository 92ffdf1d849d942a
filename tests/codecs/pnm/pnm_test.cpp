// The portable anymap reader on hand-written files: plain and raw forms, maximum values, comments,
// the thumbnails of XV, and headers with impossible or oversized numbers.
#include <gtest/gtest.h>

#include "tests/support/picture_file.h"

namespace lumora {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;
using Pixel = std::array<int, 4>;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryStarted);

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes operator+(Bytes a, const Bytes& b) {
  append(a, b);
  return a;
}

Pixel grey(int v) { return {v, v, v, 255}; }

TEST(PnmReader, SamplesOfEveryForm) {
  struct Case {
    const char* name;
    Bytes file;
    std::vector<Pixel> row0;
    const char* description;
  };
  const Case cases[] = {
      {"P5 maximum 15", text("P5 2 1 15\n") + Bytes{0, 15}, {grey(0), grey(255)},
       "Portable Graymap (Type 5 - Binary)"},
      {"P5 sample above its maximum", text("P5 2 1 1\n") + Bytes{1, 200}, {grey(255), grey(255)}, nullptr},
      {"comment line between width and height", text("P5 2\n# made by hand\n1 255\n") + Bytes{7, 9},
       {grey(7), grey(9)}, nullptr},
      {"comment right after a number", text("P2 2 1 255#note\n3 4\n"), {grey(3), grey(4)}, nullptr},
      {"P2 maximum 65535", text("P2\n2 1\n65535\n65535 256\n"), {grey(255), grey(1)},
       "Portable Graymap (Type 2 - ASCII)"},
      {"P2 sample above its maximum", text("P2 1 1 100 101\n"), {grey(255)}, nullptr},
      {"P1 with blanks", text("P1\n3 1\n1 0 1\n"), {grey(0), grey(255), grey(0)},
       "Portable Bitmap (Type 1 - ASCII)"},
      {"P1 without blanks", text("P1\n3 1\n101"), {grey(0), grey(255), grey(0)}, nullptr},
      {"P4 packed bits", text("P4 10 1\n") + Bytes{0x80, 0x40}, {grey(0), grey(255)}, nullptr},
      {"P3 colour", text("P3 1 1 255 10 20 30\n"), {{10, 20, 30, 255}}, "Portable Pixmap (Type 3 - ASCII)"},
      {"P6 16-bit, maximum 65535", text("P6 1 1 65535\n") + Bytes{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF},
       {{0x12, 0xAB, 0xFF, 255}}, nullptr},
      {"P6 16-bit, maximum 1023", text("P6 1 1 1023\n") + Bytes{0x03, 0xFF, 0x02, 0x00, 0x00, 0x00},
       {{255, 127, 0, 255}}, nullptr},
      {"P7 332 thumbnail colours", text("P7 332\n#XVVERSION:x\n#END_OF_COMMENTS\n2 1 255\n") + Bytes{0xE0, 0x03},
       {{255, 0, 0, 255}, {0, 0, 255, 255}}, "XV visual schnauzer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadedPicture pic;
    load_bytes(c.file, "pnm", &pic);
    ASSERT_EQ(pic.status, 0);
    ASSERT_GE(pic.bitmap.width, static_cast<int32_t>(c.row0.size()));
    for (size_t x = 0; x < c.row0.size(); ++x) EXPECT_EQ(pic.rgba(static_cast<int32_t>(x), 0), c.row0[x]) << x;
    if (c.description) {
      EXPECT_STREQ(pic.info.description, c.description);
    }
  }
}

TEST(PnmReader, BadHeadersAndCutData) {
  struct Case {
    const char* name;
    Bytes file;
    uint32_t flags;
    int status;
    const char* message;
  };
  const char* size = "Portable Bitmap : Bad picture's size !";
  const Case cases[] = {
      {"wrong magic", text("P8 1 1 255\n") + Bytes{0}, 0, 2, ""},
      {"letter in the header", text("P5 2 x 255\n"), 0, 2, ""},
      {"width 0", text("P5 0 1 255\n"), 0, 9, size},
      {"width 16000", text("P5 16000 1 255\n"), 0, 9, size},
      {"width 15999 fits", text("P5 15999 1 255\n") + Bytes(15999, 1), 0, 0, ""},
      // 70000 would wrap to 4464 in 16 bits.
      {"width beyond 16 bits", text("P5 70000 1 255\n") + Bytes(4464, 1), 0, 9, size},
      {"maximum 0", text("P5 1 1 0\n") + Bytes{0}, 0, 9, "Portable Bitmap : Bad maximum value !"},
      {"maximum beyond 16 bits", text("P5 1 1 65536\n") + Bytes{0, 0}, 0, 9, "Portable Bitmap : Bad maximum value !"},
      {"raw data cut", text("P5 2 2 255\n") + Bytes{1, 2, 3}, 0, 4, ""},
      {"raw data cut, accepted", text("P5 2 2 255\n") + Bytes{1, 2, 3}, kLoadAcceptIncomplete, 0, ""},
      {"plain data cut", text("P2 2 2 255\n1 2 3"), 0, 4, ""},
      {"letter among plain samples", text("P2 2 2 255\n1 2 x 4"), 0, 10, ""},
      {"letter among plain samples, accepted", text("P2 2 2 255\n1 2 x 4"), kLoadAcceptIncomplete, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadParams p = plain_params();
    p.format_index = kFormatPnm;
    p.flags = c.flags;
    LoadedPicture pic;
    load_bytes(c.file, "pnm", p, &pic);
    EXPECT_EQ(pic.status, c.status);
    EXPECT_STREQ(pic.info.message, c.message);
    if (c.flags & kLoadAcceptIncomplete) {
      // The first row arrived; the second stays zero.
      ASSERT_NE(pic.bitmap.pixels, nullptr);
      EXPECT_EQ(pic.rgba(1, 0), grey(2));
      EXPECT_EQ(pic.rgba(1, 1), grey(0));
    }
  }
}

TEST(PnmReader, EveryRowServesItsExtensions) {
  // A binary bitmap named .pbm is read by the "pbm" row; the same bytes named .ppm still load.
  const Bytes file = text("P4 8 1\n") + Bytes{0x0F};
  for (const char* ext : {"pbm", "pgm", "ppm", "pnm", "rpbm"}) {
    SCOPED_TRACE(ext);
    LoadedPicture pic;
    load_bytes(file, ext, &pic);
    ASSERT_EQ(pic.status, 0);
    EXPECT_EQ(pic.bitmap.type, kPixBilevel);
    EXPECT_EQ(pic.rgba(0, 0), grey(255));
    EXPECT_EQ(pic.rgba(7, 0), grey(0));
  }
}

}  // namespace
}  // namespace lumora
