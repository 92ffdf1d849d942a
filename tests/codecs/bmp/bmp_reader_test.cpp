// The bitmap reader on files written byte by byte: both header forms, long headers, every bit
// field layout, palette depths, RLE, DXT, and files that are damaged or lie about their sizes.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/bmp_file.h"

namespace lumora::test {
namespace {

testing::Environment* const g_env = testing::AddGlobalTestEnvironment(new LibraryEnvironment);

struct PixelCheck {
  int x, y;
  Bytes rgb;  // red, green, blue (and alpha for 4-byte results)
};

struct ReadCase {
  const char* name;
  BmpFile file;
  uint32_t flags;        // load flags (0x8 for 4-byte results)
  int status;
  int width, height;
  std::vector<PixelCheck> pixels;
};

BmpFile true_colour(uint16_t bits, int32_t w, int32_t h, Bytes pixels, uint32_t compression = 0) {
  BmpFile f;
  f.bits = bits;
  f.width = w;
  f.height = h;
  f.compression = compression;
  f.pixels = std::move(pixels);
  return f;
}

BmpFile with_masks(BmpFile f, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0, uint32_t header = 40) {
  f.compression = 3;
  f.header_size = header;
  if (header >= 56) {
    f.masks[0] = r; f.masks[1] = g; f.masks[2] = b; f.masks[3] = a;
  } else {
    put32(f.extra, r); put32(f.extra, g); put32(f.extra, b);
  }
  return f;
}

BmpFile palette_file(uint16_t bits, int32_t w, int32_t h, int entries, Bytes pixels, bool os2 = false) {
  BmpFile f;
  f.bits = bits;
  f.width = w;
  f.height = h;
  f.header_size = os2 ? 12 : 40;
  for (int i = 0; i < entries; ++i) {
    // entry i: blue 3i, green 100 + i, red 200 + i
    f.palette.push_back(static_cast<uint8_t>(3 * i));
    f.palette.push_back(static_cast<uint8_t>(100 + i));
    f.palette.push_back(static_cast<uint8_t>(200 + i));
    if (!os2) f.palette.push_back(0);
  }
  f.pixels = std::move(pixels);
  return f;
}

Bytes rgb_of_entry(int i) { return {static_cast<uint8_t>(200 + i), static_cast<uint8_t>(100 + i), static_cast<uint8_t>(3 * i)}; }

TEST(BmpReader, DecodesCraftedFiles) {
  const uint32_t kRgba = kLoadPrefer4Byte;
  const std::vector<ReadCase> cases = {
      {"24-bit bottom-up rows of 9 bytes plus 3 padding", true_colour(24, 3, 2,
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}), 0, 0, 3, 2,
       {{0, 1, {3, 2, 1}}, {2, 1, {9, 8, 7}}, {0, 0, {12, 11, 10}}, {2, 0, {18, 17, 16}}}},
      {"24-bit top-down", true_colour(24, 1, -2, {1, 2, 3, 0, 4, 5, 6, 0}), 0, 0, 1, 2,
       {{0, 0, {3, 2, 1}}, {0, 1, {6, 5, 4}}}},
      {"32-bit without bit fields", true_colour(32, 1, 1, {1, 2, 3, 4}), 0, 0, 1, 1, {{0, 0, {3, 2, 1}}}},
      {"16-bit plain is 5-5-5", true_colour(16, 2, 1, {0x00, 0x7C, 0x1F, 0x00}), 0, 0, 2, 1,
       {{0, 0, {255, 0, 0}}, {1, 0, {0, 0, 255}}}},
      {"15-bit plain", true_colour(15, 1, 1, {0x1F, 0x00, 0, 0}), 0, 0, 1, 1, {{0, 0, {0, 0, 255}}}},
      {"16-bit 5-5-5 masks", with_masks(true_colour(16, 1, 1, {0xE0, 0x03, 0, 0}), 0x7C00, 0x3E0, 0x1F),
       0, 0, 1, 1, {{0, 0, {0, 255, 0}}}},
      {"16-bit 5-6-5 white and green", with_masks(true_colour(16, 2, 1, {0xFF, 0xFF, 0xE0, 0x07}), 0xF800, 0x7E0, 0x1F),
       0, 0, 2, 1, {{0, 0, {255, 255, 255}}, {1, 0, {0, 255, 0}}}},
      {"16-bit 4-4-4 masks", with_masks(true_colour(16, 1, 1, {0x80, 0x0F, 0, 0}), 0xF00, 0xF0, 0xF),
       0, 0, 1, 1, {{0, 0, {255, 136, 0}}}},
      {"16-bit masks in a V3 header", with_masks(true_colour(16, 1, 1, {0x80, 0x0F, 0, 0}), 0xF00, 0xF0, 0xF, 0xF000, 56),
       0, 0, 1, 1, {{0, 0, {255, 136, 0}}}},
      {"32-bit red in the top byte", with_masks(true_colour(32, 1, 1, {0x44, 0x33, 0x22, 0x11}), 0xFF000000, 0xFF0000, 0xFF00),
       0, 0, 1, 1, {{0, 0, {0x11, 0x22, 0x33}}}},
      {"32-bit V5 header with alpha mask", with_masks(true_colour(32, 1, 1, {0x30, 0x20, 0x10, 0x80}), 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 124),
       kRgba, 0, 1, 1, {{0, 0, {0x10, 0x20, 0x30, 0x80}}}},
      {"32-bit 10-bit fields", with_masks(true_colour(32, 1, 1, {0xFF, 0x03, 0x00, 0x00}), 0x3FF00000, 0xFFC00, 0x3FF),
       0, 0, 1, 1, {{0, 0, {0, 0, 255}}}},
      {"bit fields without room for masks use the defaults", [] {
         BmpFile f = true_colour(16, 1, 1, {0xE0, 0x07, 0, 0}, 3);
         return f; }(), 0, 0, 1, 1, {{0, 0, {0, 255, 0}}}},
      {"1-bit with its palette", palette_file(1, 9, 1, 2, {0x80, 0x80, 0, 0}), 0, 0, 9, 1,
       {{0, 0, rgb_of_entry(1)}, {1, 0, rgb_of_entry(0)}, {8, 0, rgb_of_entry(1)}}},
      {"2-bit", palette_file(2, 4, 1, 4, {0x1B, 0, 0, 0}), 0, 0, 4, 1,
       {{0, 0, rgb_of_entry(0)}, {1, 0, rgb_of_entry(1)}, {3, 0, rgb_of_entry(3)}}},
      {"4-bit", palette_file(4, 3, 1, 16, {0x5A, 0xF0, 0, 0}), 0, 0, 3, 1,
       {{0, 0, rgb_of_entry(5)}, {1, 0, rgb_of_entry(10)}, {2, 0, rgb_of_entry(15)}}},
      {"8-bit OS/2 with 3-byte entries", palette_file(8, 2, 1, 256, {7, 250, 0, 0}, true), 0, 0, 2, 1,
       {{0, 0, rgb_of_entry(7)}, {1, 0, rgb_of_entry(250)}}},
      {"colours used limits the table", [] {
         BmpFile f = palette_file(8, 1, 1, 3, {2, 0, 0, 0});
         f.colors_used = 3;
         return f; }(), 0, 0, 1, 1, {{0, 0, rgb_of_entry(2)}}},
      {"a table claiming more entries stops at the pixel data", [] {
         BmpFile f = palette_file(8, 1, 1, 2, {1, 0, 0, 0});
         f.colors_used = 200;
         return f; }(), 0, 0, 1, 1, {{0, 0, rgb_of_entry(1)}}},
      {"RLE8 ends the picture after its first row", [] {
         BmpFile f = palette_file(8, 2, 3, 4, {2, 3, 0, 1});
         f.compression = 1;
         return f; }(), 0, 0, 2, 3, {{0, 2, rgb_of_entry(3)}, {1, 2, rgb_of_entry(3)}, {0, 0, rgb_of_entry(0)}}},
      {"RLE4 literal and run", [] {
         BmpFile f = palette_file(4, 5, 1, 16, {0, 3, 0x12, 0x30, 2, 0x45, 0, 1});
         f.compression = 2;
         return f; }(), 0, 0, 5, 1, {{0, 0, rgb_of_entry(1)}, {2, 0, rgb_of_entry(3)}, {3, 0, rgb_of_entry(4)}, {4, 0, rgb_of_entry(5)}}},
      {"DXT1 transparent index", [] {
         BmpFile f;
         f.width = 4; f.height = 4; f.bits = 32; f.compression = 0x31545844;
         f.header_size = 40;
         // c0 = blue <= c1 = red; pixel 0 of the first stored row index 3, the rest index 1.
         f.pixels = {0x1F, 0x00, 0x00, 0xF8, 0x57, 0x55, 0x55, 0x55};
         f.data_offset = 74;
         f.extra.assign(74 - 54, 0);
         return f; }(), kRgba, 0, 4, 4, {{0, 3, {0, 0, 0, 0}}, {1, 3, {248, 0, 0, 255}}, {0, 0, {248, 0, 0, 255}}}},
      {"planes of 8 bits", [] {
         BmpFile f = true_colour(8, 2, 1, {1, 2, 0, 0, 3, 4, 0, 0, 5, 6, 0, 0});
         f.planes = 3;
         return f; }(), 0, 0, 2, 1, {{0, 0, {5, 3, 1}}, {1, 0, {6, 4, 2}}}},
  };
  TempDir dir;
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.write("case.bmp", c.file.build());
    Bitmap bm{};
    ASSERT_EQ(load(path, &bm, c.flags), c.status);
    if (c.status) continue;
    EXPECT_EQ(bm.width, c.width);
    EXPECT_EQ(bm.height, c.height);
    for (const PixelCheck& p : c.pixels) {
      Bytes got = pixel(bm, p.x, p.y);
      if (bm.type == kPixIndexed) {
        int i = got[0];
        got = {bm.palette[kPalR + i], bm.palette[kPalG + i], bm.palette[kPalB + i]};
      } else if (bm.type == kPixBilevel) {
        FAIL() << "unexpected bilevel result";
      }
      EXPECT_EQ(Bytes(got.begin(), got.begin() + p.rgb.size()), p.rgb) << "pixel " << p.x << "," << p.y;
    }
    bitmap_free(&bm);
  }
}

TEST(BmpReader, DescribesTheFile) {
  BmpFile rle = palette_file(8, 2, 1, 2, {2, 1, 0, 1});
  rle.compression = 1;
  struct Case {
    const char* file_name;
    Bytes data;
    const char* description;  // nullptr: not checked
    uint16_t row_order;
    int format;
    uint16_t compression;
    int32_t xdpi;  // of the FileInfo: 0 where the header has no resolution
  };
  const Case cases[] = {
      {"top.bmp", true_colour(24, 2, -10, Bytes(80, 0)).build(), "Windows Bitmap", 0, kFormatBmp, 0, 72},
      // OS/2 headers have no compression or resolution fields.
      {"os2.bmp", palette_file(8, 1, 1, 2, {1, 1, 0, 1}, true).build(), "OS/2 Bitmap", 16, kFormatBmp, 0, 0},
      // A "2bp" file goes to the same reader and reports its own row.
      {"pocket.2bp", palette_file(2, 4, 1, 4, {0x1B, 0, 0, 0}).build(), nullptr, 16, kFormat2bp, 0, 72},
      {"rle.bmp", rle.build(), "Windows Bitmap", 16, kFormatBmp, kCompRle, 72},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file_name);
    FileInfo info{};
    Bitmap bm{};
    ASSERT_EQ(load(dir.write(c.file_name, c.data), &bm, 0, &info), 0);
    if (c.description) {
      EXPECT_STREQ(info.description, c.description);
    }
    EXPECT_EQ(info.row_order, c.row_order);
    EXPECT_EQ(info.format_index, c.format);
    EXPECT_EQ(info.compression, c.compression);
    EXPECT_EQ(info.xdpi, c.xdpi);
    EXPECT_EQ(bm.xdpi, 72);
    bitmap_free(&bm);
    file_info_free(&info);
  }
}

TEST(BmpReader, DamagedAndImpossibleFiles) {
  struct Case {
    const char* name;
    Bytes data;
    uint32_t flags;
    int status;
    const char* message;
  };
  auto file = [](auto change) {
    BmpFile f = true_colour(24, 2, 2, Bytes(16, 0x40));
    change(f);
    return f.build();
  };
  Bytes bad_magic = file([](BmpFile&) {});
  bad_magic[1] = 'X';
  Bytes cut_header = file([](BmpFile&) {});
  cut_header.resize(30);
  Bytes cut_pixels = file([](BmpFile&) {});
  cut_pixels.resize(cut_pixels.size() - 9);
  const char* kBadSize = "Windows Bitmap : Bad picture's size !";
  const std::vector<Case> cases = {
      {"no BM magic", bad_magic, 0, 2, ""},
      {"header size between 12 and 40", file([](BmpFile& f) { f.header_size = 20; }), 0, 2, ""},
      {"unknown compression", file([](BmpFile& f) { f.compression = 5; }), 0, 2, ""},
      {"end of file inside the headers", cut_header, 0, 2, ""},
      {"width 0", file([](BmpFile& f) { f.width = 0; }), 0, 9, kBadSize},
      {"height 0", file([](BmpFile& f) { f.height = 0; }), 0, 9, kBadSize},
      {"width 32000", file([](BmpFile& f) { f.width = 32000; }), 0, 9, kBadSize},
      {"height -32000", file([](BmpFile& f) { f.height = -32000; }), 0, 9, kBadSize},
      {"width 65536 + 2 is not read as 2", file([](BmpFile& f) { f.width = 65538; }), 0, 9, kBadSize},
      {"3 bits per pixel", file([](BmpFile& f) { f.bits = 3; }), 0, 2, ""},
      {"RLE8 with 4 bits", file([](BmpFile& f) { f.bits = 4; f.compression = 1; }), 0, 2, ""},
      {"pixel data ends early", cut_pixels, 0, 4, ""},
      {"pixel data ends early, incomplete accepted", cut_pixels, kLoadAcceptIncomplete, 0, ""},
      {"pixel offset past the end", file([](BmpFile& f) { f.data_offset = 5000; }), 0, 4, ""},
      {"large DXT picture with no data", file([](BmpFile& f) {
         f.width = 2048; f.height = 2048; f.compression = 0x31545844; f.bits = 32; }), 0, 4, ""},
      {"palette cut short", file([](BmpFile& f) {
         f.bits = 8; f.pixels.clear(); f.data_offset = 54; }), 0, 4, ""},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap bm{};
    FileInfo info{};
    EXPECT_EQ(load(dir.write("bad.bmp", c.data), &bm, c.flags, &info), c.status);
    EXPECT_STREQ(info.message, c.message);
    if (c.status) {
      EXPECT_EQ(bm.pixels, nullptr);
    }
    bitmap_free(&bm);
    file_info_free(&info);
  }
}

TEST(BmpReader, IncompleteFileKeepsTheRowsRead) {
  // 1 x 3 bottom-up, the file holds only the first stored (bottom) row.
  BmpFile f = true_colour(24, 1, 3, {10, 20, 30, 0});
  TempDir dir;
  Bitmap bm{};
  ASSERT_EQ(load(dir.write("cut.bmp", f.build()), &bm, kLoadAcceptIncomplete), 0);
  EXPECT_EQ(pixel(bm, 0, 2), (Bytes{30, 20, 10}));
  EXPECT_EQ(pixel(bm, 0, 0), (Bytes{0, 0, 0}));
  bitmap_free(&bm);
}

}  // namespace
}  // namespace lumora::test
