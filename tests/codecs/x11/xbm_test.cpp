// The X11 bitmap reader on hand-written files: byte and word declarations, header variants, and
// refused or cut files.
#include <gtest/gtest.h>

#include "tests/support/picture_file.h"

namespace lumora {
namespace {

using namespace test;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryStarted);

// The pixels of row `y` as a string of '#' (black) and '.' (white).
std::string row_text(const LoadedPicture& pic, int32_t y) {
  std::string s;
  for (int32_t x = 0; x < pic.bitmap.width; ++x) s += pic.rgba(x, y)[0] == 0 ? '#' : '.';
  return s;
}

TEST(XbmReader, Declarations) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"bytes, lowest bit leftmost",
       "#define a_width 10\n#define a_height 2\nstatic unsigned char a_bits[] = {\n"
       "0x01, 0x02, 0xff, 0x03 };\n",
       {"#........#", "##########"}},
      {"X10 words of 16 bits",
       "#define a_width 20\n#define a_height 1\nstatic unsigned short a_bits[] = {\n"
       "0x8001, 0x0005 };\n",
       {"#..............##.#."}},
      {"hot spot lines before the declaration",
       "#define b_width 3\n#define b_height 1\n#define b_x_hot 1\n#define b_y_hot 1\n"
       "static char b_bits[] = {\n0x05};\n",
       {"#.#"}},
      {"values on the declaration's line",
       "#define c_width 8\n#define c_height 2\nstatic const unsigned char c_bits[] = { 0x80,\n0x0F };\n",
       {".......#", "####...."}},
      {"comment first, blank lines between",
       "/* drawn by hand */\n\n#define d_width 4\n\n#define d_height 1\nstatic char d_bits[] = {\n0x09};",
       {"#..#"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadedPicture pic;
    load_text(c.file, "xbm", &pic);
    ASSERT_EQ(pic.status, 0);
    EXPECT_STREQ(pic.info.description, "X BitMap");
    ASSERT_EQ(pic.bitmap.height, static_cast<int32_t>(c.rows.size()));
    for (size_t y = 0; y < c.rows.size(); ++y) EXPECT_EQ(row_text(pic, static_cast<int32_t>(y)), c.rows[y]);
  }
}

TEST(XbmReader, RefusedAndCutFiles) {
  struct Case {
    const char* name;
    std::string file;
    int status;
  };
  const Case cases[] = {
      {"no height", "#define a_width 8\nstatic char a_bits[] = {\n0x01 };\n", 2},
      {"width 16000", "#define a_width 16000\n#define a_height 1\nstatic char a_bits[] = {\n0x01 };\n", 2},
      {"negative height", "#define a_width 8\n#define a_height -3\nstatic char a_bits[] = {\n0x01 };\n", 2},
      {"height beyond 32 bits", "#define a_width 8\n#define a_height 4294967297\nstatic char a_bits[] = {\n1};\n", 2},
      {"only defines", "#define a_width 8\n#define a_height 1\n", 2},
      {"values cut", "#define a_width 8\n#define a_height 3\nstatic char a_bits[] = {\n0x01, 0x02,", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadParams p = plain_params();
    p.format_index = kFormatXbm;
    LoadedPicture pic;
    load_text(c.file, "xbm", &pic, p);
    EXPECT_EQ(pic.status, c.status);
  }
}

}  // namespace
}  // namespace lumora
