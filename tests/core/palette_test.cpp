// Palette forms: colour maps read into the planar palette, and palettes written in a writer's form.
#include "imagelib/core/palette.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "imagelib/core/bitmap.h"

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;
using Rgba = std::array<int, 4>;

Rgba entry(const uint8_t* planar, int i) {
  return {planar[kPalR + i], planar[kPalG + i], planar[kPalB + i], planar[kPalA + i]};
}

Bytes native_words(std::initializer_list<uint16_t> values) {
  Bytes out;
  for (uint16_t v : values) {
    uint8_t b[2];
    std::memcpy(b, &v, 2);
    out.insert(out.end(), b, b + 2);
  }
  return out;
}

TEST(PaletteRead, EveryFormGivesTheEntriesOfItsFile) {
  struct Case {
    const char* name;
    uint32_t form;
    int palette_bits;
    int source_bits;
    Bytes map;
    int index;       // entry checked
    Rgba expected;
  };
  const Case cases[] = {
      {"3-bit words, all 7", 0x2, 8, 1, {0x07, 0x77}, 0, {255, 255, 255, 0}},
      {"3-bit words, red 7", 0x2, 8, 1, {0x07, 0x00}, 0, {255, 0, 0, 0}},
      {"3-bit words, second entry", 0x2, 8, 1, {0, 0, 0x01, 0x23}, 1, {36, 72, 109, 0}},
      // Split 4-bit: red 3 high bits 5 (0b101) with low bit 1 -> 11; green 0b011 + 0 -> 6.
      {"split 4-bit words", 0x4, 8, 1, {0x0D, 0x30}, 0, {187, 102, 0, 0}},
      {"split 4-bit, blue low bit", 0x4, 8, 1, {0x00, 0x0F}, 0, {0, 0, 255, 0}},
      {"4-bit words", 0x8, 8, 1, {0x0F, 0x08}, 0, {255, 0, 136, 0}},
      {"byte triplets, 4-bit values", 0, 4, 1, {15, 0, 8}, 0, {255, 0, 136, 0}},
      {"byte triplets, 8-bit", 0, 8, 1, {1, 2, 3, 4, 5, 6}, 1, {4, 5, 6, 0}},
      {"byte triplets out of range clamp", 0, 4, 1, {200, 15, 0}, 0, {255, 255, 0, 0}},
      {"blue-green-red triplets", 0x200, 8, 1, {1, 2, 3}, 0, {3, 2, 1, 0}},
      {"RGBA entries", 0x400, 8, 1, {1, 2, 3, 4}, 0, {1, 2, 3, 4}},
      {"ABGR entries", 0x800, 8, 1, {4, 3, 2, 1}, 0, {1, 2, 3, 4}},
      {"BGRA entries", 0x1000, 8, 1, {3, 2, 1, 4}, 0, {1, 2, 3, 4}},
      // Three planes of 16-bit values (TIFF colour maps): high byte when any value exceeds 255.
      {"16-bit planes, high bytes", 0x110, 16, 1, native_words({0xFF00, 0x1200, 0, 0x3400, 0x5600, 0x0100}),
       1, {0x12, 0x34, 0x01, 0}},
      {"16-bit planes, small values", 0x10, 16, 1, native_words({0x00FF, 0x0012, 0, 0x0034, 0x0056, 0x0001}),
       1, {0x12, 0x34, 0x01, 0}},
      {"16-bit planes, blue first", 0x210, 16, 1, native_words({0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006}),
       0, {5, 3, 1, 0}},
      {"16-bit planes, scaled 4-bit", 0x10, 4, 1, native_words({15, 0, 8, 0, 0, 0}), 0, {255, 136, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t planar[kPaletteBytes];
    std::memset(planar, 0xAA, sizeof planar);
    palette_read_map(planar, c.form, c.palette_bits, c.source_bits, c.map.data(), c.map.size());
    EXPECT_EQ(entry(planar, c.index), c.expected);
  }
}

TEST(PaletteRead, AShortMapFillsOnlyTheEntriesItHolds) {
  const Bytes map{10, 20, 30, 40, 50};  // one full triplet, one partial
  uint8_t planar[kPaletteBytes];
  std::memset(planar, 0xAA, sizeof planar);
  EXPECT_EQ(palette_read_map(planar, 0, 8, 8, map.data(), map.size()), 1);
  EXPECT_EQ(entry(planar, 0), (Rgba{10, 20, 30, 0}));
  EXPECT_EQ(entry(planar, 1), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(palette_map_size(0, 8), 768u);
  EXPECT_EQ(palette_map_size(0x110, 4), 96u);
  EXPECT_EQ(palette_map_size(0x2, 1), 4u);
  EXPECT_EQ(palette_map_size(0x400, 2), 16u);
  // Planes: the map must hold the third plane's value for an entry to count.
  const Bytes planes = native_words({1, 2, 3, 4, 5});
  EXPECT_EQ(palette_read_map(planar, 0x10, 8, 1, planes.data(), planes.size()), 1);
}

TEST(PaletteWrite, FormsAndSourcesAsTheWriterAsks) {
  uint8_t own[kPaletteBytes] = {};
  own[kPalR + 1] = 255;  // entry 1: red
  own[kPalB + 2] = 255;  // entry 2: blue
  own[kPalG + 3] = 128;
  struct Case {
    const char* name;
    uint32_t form;
    int palette_bits, writer_bits;
    uint16_t type;
    int colors;
    Bytes expected;  // the first bytes written
  };
  const Case cases[] = {
      {"grey 16 levels, 4-bit writer", 0, 8, 4, kPixGrey, 16, {0, 0, 0, 17, 17, 17, 34, 34, 34}},
      {"bilevel", 0, 8, 1, kPixBilevel, 2, {0, 0, 0, 255, 255, 255}},
      {"bilevel inverted", 0x1, 8, 1, kPixBilevel, 2, {255, 255, 255, 0, 0, 0}},
      {"own entries, BGR", 0x200, 8, 2, kPixIndexed, 4, {0, 0, 0, 0, 0, 255, 255, 0, 0, 0, 128, 0}},
      {"own entries, 4-bit components", 0, 4, 2, kPixIndexed, 4, {0, 0, 0, 15, 0, 0, 0, 0, 15, 0, 7, 0}},
      {"3-bit words", 0x2, 8, 2, kPixIndexed, 4, {0, 0, 0x07, 0x00, 0x00, 0x07, 0x00, 0x30}},
      {"4-bit words", 0x8, 8, 2, kPixIndexed, 4, {0, 0, 0x0F, 0x00, 0x00, 0x0F, 0x00, 0x70}},
      // 4-bit red 15: bits 1-3 (7) in 8-10, bit 0 in 11 -> 0x0F00; green 7 -> 3 in 4-6, 1 in 7.
      {"split 4-bit words", 0x4, 8, 2, kPixIndexed, 4, {0, 0, 0x0F, 0x00, 0x00, 0x0F, 0x00, 0xB0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t size = palette_form_size(c.form, c.palette_bits, c.writer_bits);
    Bytes out(size, 0xAA);
    palette_write_form(out.data(), c.form, c.palette_bits, c.writer_bits, c.type, c.colors, own);
    ASSERT_GE(out.size(), c.expected.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(c.expected.size())), c.expected);
  }
  // A grey ramp of 16 ends at 255, and entries beyond a 2-entry source are zero.
  Bytes ramp(palette_form_size(0, 8, 4));
  palette_write_form(ramp.data(), 0, 8, 4, kPixGrey, 16, nullptr);
  EXPECT_EQ(ramp[15 * 3], 255);
  Bytes bw(palette_form_size(0, 8, 8));
  palette_write_form(bw.data(), 0, 8, 8, kPixBilevel, 2, nullptr);
  EXPECT_EQ(bw[2 * 3], 0);
  // Planes of 16-bit values: v x 257, red plane then green then blue.
  Bytes planes(palette_form_size(0x10, 16, 1));
  ASSERT_EQ(planes.size(), 12u);
  palette_write_form(planes.data(), 0x10, 16, 1, kPixBilevel, 2, nullptr);
  EXPECT_EQ(planes, native_words({0, 0xFFFF, 0, 0xFFFF, 0, 0xFFFF}));
  EXPECT_EQ(palette_form_size(0, 8, 9), 0u);
}

TEST(PaletteForms, WordFormsReadBackWhatWasWritten) {
  // Entries made of exact 3- and 4-bit levels survive a write followed by a read.
  uint8_t own[kPaletteBytes] = {};
  for (int i = 0; i < 16; ++i) {
    own[kPalR + i] = static_cast<uint8_t>(i * 17);
    own[kPalG + i] = static_cast<uint8_t>((15 - i) * 17);
    own[kPalB + i] = static_cast<uint8_t>((i * 5 % 16) * 17);
  }
  for (uint32_t form : {0x4u, 0x8u}) {
    SCOPED_TRACE(form);
    Bytes written(palette_form_size(form, 8, 4));
    palette_write_form(written.data(), form, 8, 4, kPixIndexed, 16, own);
    uint8_t back[kPaletteBytes];
    palette_read_map(back, form, 8, 4, written.data(), written.size());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(entry(back, i), entry(own, i)) << i;
  }
}

}  // namespace
}  // namespace lumora
