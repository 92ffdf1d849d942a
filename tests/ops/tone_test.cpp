#include "imagelib/ops/tone.h"

#include <gtest/gtest.h>

#include "imagelib/core/status.h"
#include "tests/support/pictures.h"

namespace lumora {
namespace {

using test::Picture;

struct Entry {
  int index, value;
};

TEST(Tone, WorkedValues) {
  const struct {
    int brightness, contrast;
    double gamma;
    std::vector<Entry> entries;
  } cases[] = {
      {0, 0, 1.0, {{0, 0}, {1, 1}, {128, 128}, {254, 254}, {255, 255}}},
      {100, 0, 1.0, {{0, 100}, {154, 254}, {155, 255}, {255, 255}}},
      {-100, 0, 1.0, {{0, 0}, {100, 0}, {101, 1}, {255, 155}}},
      {0, 64, 1.0, {{0, 0}, {64, 0}, {65, 2}, {128, 128}, {190, 252}, {191, 255}, {255, 255}}},
      {0, -128, 1.0, {{0, 128}, {1, 127}, {128, 127}, {255, 127}}},
      {0, -64, 1.0, {{0, 64}, {255, 191}}},
      {0, 0, 2.0, {{0, 0}, {64, 128}, {255, 255}}},
      {0, 0, 1.00005, {{64, 64}}},  // within the neutral band
      // Brightness acts before contrast: 60 + 40 = 100 is stretched by contrast 64.
      {40, 64, 1.0, {{60, 72}}},
      // Contrast 128 is the limit of the stretch: a hard threshold at 128, never an inversion.
      {0, 128, 1.0, {{0, 0}, {127, 0}, {128, 255}, {255, 255}}},
      {0, 127, 1.0, {{127, 0}, {128, 255}}},
      {-20, 128, 1.0, {{147, 0}, {148, 255}}},
      // Out-of-range settings are limited to the dialog's range; unusable gammas are neutral.
      {0, 300, 1.0, {{127, 0}, {128, 255}}},
      {0, 0, 0.0, {{64, 64}}},
      {0, 0, -2.0, {{64, 64}}},
  };
  for (const auto& c : cases) {
    uint8_t table[256];
    tone_table(table, c.brightness, c.contrast, c.gamma);
    for (const Entry& e : c.entries)
      EXPECT_EQ(table[e.index], e.value) << "brightness " << c.brightness << " contrast "
                                         << c.contrast << " gamma " << c.gamma << " entry "
                                         << e.index;
  }
}

TEST(Tone, StretchNeverDecreases) {
  // At −128 the range collapses to 128 − x/255, which falls from 128 to 127.
  for (int c = -127; c <= 128; ++c) {
    uint8_t table[256];
    tone_table(table, 0, c, 1.0);
    for (int i = 1; i < 256; ++i) ASSERT_GE(table[i], table[i - 1]) << "contrast " << c;
  }
}

TEST(Tone, ApplyMapsEveryPixelByteButNotPadding) {
  Picture pic;
  ASSERT_TRUE(bitmap_alloc(pic.get(), kPixRGBA, 8, 1, 2));  // 4 bytes of pixel, 4 of padding
  for (int i = 0; i < 16; ++i) pic->pixels[i] = static_cast<uint8_t>(i);
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i);
  ASSERT_EQ(bitmap_apply_tone(pic.get(), table), kStatusOk);
  const uint8_t want[16] = {255, 254, 253, 252, 4, 5, 6, 7, 247, 246, 245, 244, 12, 13, 14, 15};
  EXPECT_EQ(0, std::memcmp(pic->pixels, want, 16));  // alpha mapped too

  Picture pal;
  ASSERT_TRUE(bitmap_alloc(pal.get(), kPixIndexed, 1, 2, 1));
  pal->pixels[0] = 3;
  EXPECT_EQ(bitmap_apply_tone(pal.get(), table), kStatusBadArguments);
  EXPECT_EQ(pal->pixels[0], 3);
}

}  // namespace
}  // namespace lumora
