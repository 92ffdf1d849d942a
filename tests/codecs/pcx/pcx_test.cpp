// The PCX reader on byte-built files: plane and palette variants, run-length edge cases,
// impossible headers and files cut short.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/pcx_file.h"

namespace lumora {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryStarted);

// A 16-colour picture of 8 x 1 pixels in four 1-bit planes: pixel x has colour x (bits from
// plane 0 upwards), so plane p holds the bits p of 0..7.
PcxFile sixteen_colours(uint8_t version) {
  PcxFile f;
  f.version = version;
  f.encoding = 0;
  f.bits = 1;
  f.planes = 4;
  f.xmax = 7;
  f.bytes_per_line = 2;
  for (int i = 0; i < 16; ++i) {
    f.header_palette[3 * i] = static_cast<uint8_t>(10 * i);
    f.header_palette[3 * i + 1] = static_cast<uint8_t>(10 * i + 1);
    f.header_palette[3 * i + 2] = static_cast<uint8_t>(10 * i + 2);
  }
  for (int p = 0; p < 4; ++p) {
    uint8_t bits = 0;
    for (int x = 0; x < 8; ++x) bits = static_cast<uint8_t>(bits | (((x >> p) & 1) << (7 - x)));
    f.data.push_back(bits);
    f.data.push_back(0);
  }
  return f;
}

TEST(PcxReader, SixteenColourPalettes) {
  const uint8_t ega[8][3] = {{0, 0, 0},     {0, 0, 170},   {0, 170, 0},   {0, 170, 170},
                             {170, 0, 0},   {170, 0, 170}, {170, 85, 0},  {170, 170, 170}};
  for (uint8_t version : {5, 3}) {
    SCOPED_TRACE(static_cast<int>(version));
    LoadedPicture pic;
    load_bytes(sixteen_colours(version).bytes(), "pcx", &pic);
    ASSERT_EQ(pic.status, 0);
    EXPECT_EQ(pic.bitmap.type, kPixIndexed);
    for (int x = 0; x < 8; ++x) {
      const auto c = pic.rgba(x, 0);
      const std::array<int, 4> want =
          version == 5 ? std::array<int, 4>{10 * x, 10 * x + 1, 10 * x + 2, 255}
                       : std::array<int, 4>{ega[x][0], ega[x][1], ega[x][2], 255};
      EXPECT_EQ(c, want);
    }
  }
}

TEST(PcxReader, EightBitPaletteBlockOrGrey) {
  struct Case {
    const char* name;
    uint8_t version;
    Bytes tail;
    int status;
    std::array<int, 4> pixel1;
  };
  Bytes block{12};
  Bytes after_gap{0, 0, 0, 12};
  for (int i = 0; i < 256; ++i) {
    for (Bytes* b : {&block, &after_gap}) {
      b->push_back(static_cast<uint8_t>(i));
      b->push_back(static_cast<uint8_t>(255 - i));
      b->push_back(7);
    }
  }
  const Case cases[] = {
      {"marker right after the data", 5, block, 0, {200, 55, 7, 255}},
      {"marker a few bytes later", 5, after_gap, 0, {200, 55, 7, 255}},
      {"no marker: grey", 5, {}, 0, {200, 200, 200, 255}},
      {"version 2 ignores the block", 2, block, 0, {200, 200, 200, 255}},
      {"cut palette block", 5, Bytes(block.begin(), block.begin() + 100), 4, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PcxFile f;
    f.version = c.version;
    f.data = {9, 0xC1, 200};   // the literal 9, then 200 as a run of one (2 pixels)
    append(f.data, c.tail);
    LoadedPicture pic;
    load_bytes(f.bytes(), "pcx", &pic);
    ASSERT_EQ(pic.status, c.status);
    if (c.status == 0) {
      EXPECT_EQ(pic.rgba(1, 0), c.pixel1);
    }
  }
}

// One 8-bit row of 4 pixels per case, two rows; row 1 always "5 6 7 8" as literals.
TEST(PcxReader, RunLengthsStayInsideTheRow) {
  struct Case {
    const char* name;
    Bytes row0;
    Bytes want0;
  };
  const Case cases[] = {
      {"literals", {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"count 0 consumes its value", {0xC0, 99, 1, 2, 3, 4}, {1, 2, 3, 4}},
      {"run of 4", {0xC4, 77}, {77, 77, 77, 77}},
      {"run of 63 cut at the row's end", {1, 0xFF, 33}, {1, 33, 33, 33}},
      {"value 192 as a run of one", {0xC1, 0xC0, 0xC1, 0xFF, 9, 9}, {0xC0, 0xFF, 9, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PcxFile f;
    f.version = 2;
    f.xmax = 3;
    f.ymax = 1;
    f.bytes_per_line = 4;
    f.data = c.row0;
    append(f.data, {5, 6, 7, 8});
    LoadedPicture pic;
    load_bytes(f.bytes(), "pcx", &pic);
    ASSERT_EQ(pic.status, 0);
    ASSERT_EQ(pic.bitmap.type, kPixGrey);
    EXPECT_EQ(Bytes(pic.bitmap.pixels, pic.bitmap.pixels + 4), c.want0);
    EXPECT_EQ(Bytes(bitmap_row(&pic.bitmap, 1), bitmap_row(&pic.bitmap, 1) + 4), (Bytes{5, 6, 7, 8}));
  }
}

TEST(PcxReader, TwentyFourBitPlanes) {
  PcxFile f;
  f.encoding = 0;
  f.planes = 3;
  f.bytes_per_line = 2;
  f.data = {10, 11, 20, 21, 30, 31};   // red plane, green plane, blue plane
  LoadedPicture pic;
  load_bytes(f.bytes(), "pcx", &pic);
  ASSERT_EQ(pic.status, 0);
  EXPECT_EQ(pic.rgba(0, 0), (std::array<int, 4>{10, 20, 30, 255}));
  EXPECT_EQ(pic.rgba(1, 0), (std::array<int, 4>{11, 21, 31, 255}));
}

TEST(PcxReader, RefusedAndCutFiles) {
  struct Case {
    const char* name;
    PcxFile file;
    uint32_t flags;
    int status;
    const char* message;
  };
  auto with = [](auto change) {
    PcxFile f;
    f.xmax = 3;
    f.ymax = 1;
    f.bytes_per_line = 4;
    f.version = 2;
    f.data = {1, 2, 3, 4, 5, 6, 7, 8};
    change(f);
    return f;
  };
  const Case cases[] = {
      {"width 0", with([](PcxFile& f) { f.xmin = 10; f.xmax = 9; }), 0, 2, "Pcx : Bad picture's size !"},
      {"no planes", with([](PcxFile& f) { f.planes = 0; }), 0, 2, "Pcx : Bad picture's size !"},
      {"nine planes", with([](PcxFile& f) { f.planes = 9; }), 0, 2, "Pcx : Bad picture's size !"},
      {"32 bits", with([](PcxFile& f) { f.bits = 32; }), 0, 2, "Pcx : Bad picture's size !"},
      {"version 7", with([](PcxFile& f) { f.version = 7; }), 0, 2, ""},
      {"encoding 2", with([](PcxFile& f) { f.encoding = 2; }), 0, 2, ""},
      {"line shorter than its pixels", with([](PcxFile& f) { f.bytes_per_line = 3; }), 0, 2,
       "Pcx : Bad picture's size !"},
      {"encoded data cut", with([](PcxFile& f) { f.data.resize(6); }), 0, 4, ""},
      {"encoded data cut, accepted", with([](PcxFile& f) { f.data.resize(6); }), kLoadAcceptIncomplete, 0, ""},
      {"raw data cut", with([](PcxFile& f) { f.encoding = 0; f.data.resize(7); }), 0, 4, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadParams p = plain_params();
    p.format_index = kFormatPcx;
    p.flags = c.flags;
    LoadedPicture pic;
    load_bytes(c.file.bytes(), "pcx", p, &pic);
    EXPECT_EQ(pic.status, c.status);
    EXPECT_STREQ(pic.info.message, c.message);
    if (c.status == 0) {
      // The first row arrived whole, the second up to where the data stop.
      EXPECT_EQ(Bytes(bitmap_row(&pic.bitmap, 1), bitmap_row(&pic.bitmap, 1) + 4), (Bytes{5, 6, 0, 0}));
    }
  }
  LoadedPicture not_pcx;
  load_bytes(Bytes(200, 0), "pcx", &not_pcx);
  EXPECT_EQ(not_pcx.status, 2);
}

}  // namespace
}  // namespace lumora
