// The X11 pixmap reader and its colour name table on hand-written pixmaps.
#include <gtest/gtest.h>

#include <cstring>

#include "imagelib/codecs/x11/x11.h"
#include "tests/support/picture_file.h"

namespace lumora {
namespace {

using namespace test;
using Pixel = std::array<int, 4>;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryStarted);

std::string pixmap(const std::string& values, const std::vector<std::string>& colours,
                   const std::vector<std::string>& rows) {
  std::string s = "/* XPM */\nstatic char *p[] = {\n\"" + values + "\",\n";
  for (const std::string& c : colours) s += "\"" + c + "\",\n";
  for (const std::string& r : rows) s += "\"" + r + "\",\n";
  return s + "};\n";
}

TEST(X11Colors, GreyRamps) {
  const struct {
    const char* name;
    int level;
  } greys[] = {{"gray0", 0}, {"gray3", 8}, {"gray50", 127}, {"grey50", 127}, {"gray51", 130},
               {"gray90", 229}, {"grey90", 229}, {"gray99", 252}, {"grey100", 255}};
  for (const auto& g : greys) {
    SCOPED_TRACE(g.name);
    const X11Color* c = x11_color_find(g.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ((Pixel{c->red, c->green, c->blue, 0}), (Pixel{g.level, g.level, g.level, 0}));
  }
  EXPECT_EQ(x11_color_find("Gray50"), nullptr);   // exact names only
  EXPECT_EQ(x11_color_find("brown")->green, 42);
}

TEST(XpmReader, ColourForms) {
  struct Case {
    const char* colour;
    Pixel want;
  };
  const Case cases[] = {
      {"c Gray50", {127, 127, 127, 255}},
      {"c #FFFF00000000", {255, 0, 0, 255}},
      {"c #102030", {16, 32, 48, 255}},
      {"c #10203040", {16, 32, 48, 255}},
      {"c #F80", {255, 136, 0, 255}},
      {"c #100200300", {16, 32, 48, 255}},
      {"c brown", {165, 42, 42, 255}},
      {"c light goldenrod", {0, 0, 0, 255}},   // not in the table: black
      {"s edge c gold m white", {255, 215, 0, 255}},
      {"g4 white", {255, 255, 255, 255}},     // no colour key: the grey value
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colour);
    LoadedPicture pic;
    load_text(pixmap("2 1 2 1", {std::string(". c #000000"), std::string("x ") + c.colour}, {".x"}), "xpm", &pic);
    ASSERT_EQ(pic.status, 0);
    EXPECT_EQ(pic.rgba(0, 0), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(pic.rgba(1, 0), c.want);
  }
}

TEST(XpmReader, CodesTransparencyAndDepth) {
  LoadedPicture pic;
  load_text(pixmap("3 2 3 2", {".. c None", "ab c red", "cd c blue"}, {"ab..cd", "zzabab"}), "xpm", &pic);
  ASSERT_EQ(pic.status, 0);
  EXPECT_STREQ(pic.info.description, "X PixMap");
  EXPECT_EQ(pic.bitmap.type, kPixIndexed);
  EXPECT_EQ(pic.bitmap.transparent_index, 0);
  EXPECT_EQ(bitmap_row(&pic.bitmap, 0)[0], 1);
  EXPECT_EQ(pic.rgba(2, 0), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(bitmap_row(&pic.bitmap, 1)[0], 0);   // an undefined code gives colour 0

  // Four characters per pixel go through the long-code look-up.
  LoadedPicture wide;
  load_text(pixmap("2 1 2 4", {"abcd c red", "abce c blue"}, {"abceabcd"}), "xpm", &wide);
  ASSERT_EQ(wide.status, 0);
  EXPECT_EQ(wide.rgba(0, 0), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(wide.rgba(1, 0), (Pixel{255, 0, 0, 255}));

  // 300 colours with two characters per pixel: 24-bit colour.
  std::vector<std::string> colours;
  for (int i = 0; i < 300; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "%c%c c #%02X%02X00", 'A' + i / 26, 'a' + i % 26, i % 256, i / 256);
    colours.push_back(line);
  }
  LoadedPicture many;
  load_text(pixmap("2 1 300 2", colours, {"LnAa"}), "xpm", &many);   // colours 299 and 0
  ASSERT_EQ(many.status, 0);
  EXPECT_EQ(many.bitmap.type, kPixRGB);
  EXPECT_EQ(many.rgba(0, 0), (Pixel{299 % 256, 1, 0, 255}));
  EXPECT_EQ(many.rgba(1, 0), (Pixel{0, 0, 0, 255}));
}

TEST(XpmReader, RefusedAndCutFiles) {
  struct Case {
    const char* name;
    std::string file;
    int status;
  };
  const std::string good = pixmap("2 2 1 1", {". c red"}, {"..", ".."});
  const Case cases[] = {
      {"no XPM mark", "/* PXM */\n" + good.substr(10), 2},
      {"five characters per pixel", pixmap("2 2 1 5", {"..... c red"}, {"..........", ".........."}), 2},
      {"no characters per pixel", pixmap("2 2 1 0", {" c red"}, {"", ""}), 2},
      {"width 32001", pixmap("32001 1 1 1", {". c red"}, {"."}), 2},
      {"no colours", pixmap("2 2 0 1", {}, {"..", ".."}), 2},
      {"more colours than the file can hold", pixmap("2 2 4000000 1", {". c red"}, {"..", ".."}), 2},
      {"width beyond 32 bits", pixmap("4294967297 1 1 1", {". c red"}, {"."}), 2},
      {"rows cut", good.substr(0, good.size() - 8), 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadParams p = plain_params();
    p.format_index = kFormatXpm;
    LoadedPicture pic;
    load_text(c.file, "xpm", &pic, p);
    EXPECT_EQ(pic.status, c.status);
  }
}

}  // namespace
}  // namespace lumora
