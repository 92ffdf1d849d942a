#include "imagelib/core/format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace lumora;

namespace {

class FormatRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { library_start(); }
  void TearDown() override { library_stop(); }
};

TEST(FormatRegistryLife, EmptyBeforeStartAndAfterLastStop) {
  EXPECT_EQ(format_find("jpeg"), -1);
  EXPECT_EQ(format_name(0), nullptr);
  library_start();
  library_start();
  EXPECT_EQ(format_registry().references, 2);
  library_stop();
  EXPECT_EQ(format_find("jpeg"), 0);  // still started once
  library_stop();
  EXPECT_EQ(format_find("jpeg"), -1);
  EXPECT_EQ(format_registry().count, 0);
}

TEST_F(FormatRegistryTest, TableOrderAndNames) {
  const char* names[] = {"jpeg", "tga", "bmp", "gif", "png", "2bp", "tiff", "pcx",
                         "pbm", "pgm", "ppm", "pnm", "xbm", "xpm", "ico"};
  ASSERT_EQ(format_registry().count, 15);
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(format_find(names[i]), i);
    EXPECT_STREQ(format_name(i), names[i]);
  }
  EXPECT_EQ(format_find("JPEG"), -1);  // case-sensitive
  EXPECT_EQ(format_find("webp"), -1);
  EXPECT_EQ(format_name(-1), nullptr);
  EXPECT_EQ(format_name(15), nullptr);
  // Only the 2bp row stays out of recognition by content.
  for (int i = 0; i < 15; ++i)
    EXPECT_EQ((format_entry(i)->flags & kFormatByContent) != 0, i != kFormat2bp) << names[i];
}

TEST_F(FormatRegistryTest, ExtensionLookups) {
  struct Case {
    const char* path;
    int known;
    int index;
    int has;
  };
  const Case cases[] = {
      {"/pics/a.jpg", 1, kFormatJpeg, 1},
      {"/pics/a.JPEG", 1, kFormatJpeg, 1},   // lower-cased before comparing
      {"/pics/a.J", 0, kFormatJpeg, 0},      // "J" in the table never matches
      {"/pics/a.PBM", 1, kFormatPnm, 1},
      {"/pics/a.pbm", 1, kFormatPbm, 1},
      {"/pics/noext", 0, kFormatJpeg, 0},
      {"/pics.d/noext", 0, kFormatJpeg, 0},  // a dot in a folder is no extension
      {"/pics/a.webp", 0, kFormatPng, 0},
      {"a.2bp", 1, kFormat2bp, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_extension_known(c.path), c.known) << c.path;
    EXPECT_EQ(format_has_extension(c.path, c.index), c.has) << c.path;
  }
}

TEST_F(FormatRegistryTest, SetExtension) {
  struct Case {
    const char* in;
    int index;
    const char* out;
  };
  const Case cases[] = {
      {"/p/photo.JPEG", kFormatJpeg, "/p/photo.JPEG"},
      {"/p/photo.bmp", kFormatJpeg, "/p/photo.jpg"},
      {"/p/photo", kFormatJpeg, "/p/photo.jpg"},
      {"/p.q/photo", kFormatPng, "/p.q/photo.png"},
      {"/p/photo.Tif", kFormatTiff, "/p/photo.Tif"},
      {"/p/photo.gif", kFormatBmp, "/p/photo.bmp"},
  };
  for (const Case& c : cases) {
    char path[260];
    std::strcpy(path, c.in);
    format_set_extension(path, sizeof path, c.index);
    EXPECT_STREQ(path, c.out) << c.in;
  }
  char tight[8] = "abc.bmp";  // no room for ".jpeg"-sized growth beyond capacity: unchanged
  format_set_extension(tight, 8, kFormatTiff);
  EXPECT_STREQ(tight, "abc.tif");
  char tighter[6] = "abcde";
  format_set_extension(tighter, 6, kFormatPng);
  EXPECT_STREQ(tighter, "abcde");
}

int fake_reader(ByteStream*, LoadContext*) { return 2; }
int fake_writer(ByteStream*, SaveContext*) { return 0; }
void paletted_only(WriterCapability* list) {
  list[0] = {kPixIndexed, 16, 0, 0, "16 colours"};
  list[1] = {kMaskColor3, -1, 0, 0, "colour"};
}

TEST_F(FormatRegistryTest, WriterCheck) {
  FormatEntry row{};
  row.name = "test-caps";
  row.reader = fake_reader;
  row.writer = fake_writer;
  row.capabilities = paletted_only;
  int index = format_register(row);
  ASSERT_GE(index, 15);
  EXPECT_EQ(format_entry(index)->flags & (kFormatCanRead | kFormatCanWrite),
            kFormatCanRead | kFormatCanWrite);

  Bitmap b{};
  struct Case {
    uint16_t type;
    uint16_t colors;
    int result;
    const char* option;
  };
  const Case cases[] = {
      {kPixIndexed, 16, 1, "16 colours"},
      {kPixIndexed, 256, 0, ""},           // too many colours for the palette entry
      {kPixRGB, 0, 1, "colour"},           // mask 80 takes any colour picture
      {kPixCMYK, 0, 1, "colour"},
      {kPixBilevel, 2, 0, ""},
      {kPixGrey, 256, 0, ""},
  };
  for (const Case& c : cases) {
    b.type = c.type;
    b.colors = c.colors;
    const char* option = nullptr;
    EXPECT_EQ(format_can_store(index, &b, &option), c.result) << c.type;
    EXPECT_STREQ(option, c.option);
  }
  // A row without a capabilities function accepts every picture (Targa, bilevel).
  b.type = kPixBilevel;
  EXPECT_EQ(format_can_store(kFormatTga, &b, nullptr), 1);
  EXPECT_EQ(format_can_store(99, &b, nullptr), 0);
}

TEST(FormatNames, CompressionAndColorModel) {
  // Codes beyond the tables fall back to the first name instead of reading past them.
  EXPECT_STREQ(compression_name(77), "Uncompressed");
  EXPECT_STREQ(color_model_name(42), "RGB");
  char buf[6];
  compression_text(buf, sizeof buf, 255, "PackBits");
  EXPECT_STREQ(buf, "PackB");  // always NUL-terminated within the buffer
  compression_text(buf, sizeof buf, 2, "x");
  EXPECT_STREQ(buf, "LZW");
}

TEST(FormatText, CaseInsensitiveCompareFoldsOnlyAsciiLetters) {
  EXPECT_EQ(ascii_casecmp("JPEG", "jpeg"), 0);
  EXPECT_NE(ascii_casecmp("jpg", "jpeg"), 0);
  EXPECT_NE(ascii_casecmp("\xC9", "\xE9"), 0);  // Latin-1 letters are not folded
  char s[] = "AbC-Z\xC9";
  ascii_lower(s);
  EXPECT_STREQ(s, "abc-z\xC9");
}

}  // namespace
