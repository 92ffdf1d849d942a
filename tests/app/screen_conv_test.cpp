// Screen conversion: the 5-5-5 ordered dither, the nearest-pixel tables, the 24-bit converter
// against a direct scale, the 1-bit and grey surfaces, and drawing only the visible part.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "app/viewer/screen_conv.h"
#include "platform/gdi/gdi.h"

namespace lumora::app {
namespace {

using namespace lumora::plat;

struct Picture {
  Bitmap b{};
  Picture(uint32_t type, int w, int h) { EXPECT_EQ(bitmap_alloc(&b, type, 4, w, h), 1); }
  ~Picture() { bitmap_free(&b); }
  uint8_t* px(int x, int y) { return bitmap_row(&b, y) + static_cast<size_t>(x) * b.bytes_per_pixel; }
};

// Surface row y (rows lie bottom-up below the top row).
const uint8_t* surface_row(const ScreenImage& s, int y) { return s.top_row() - static_cast<ptrdiff_t>(y) * s.stride(); }
uint16_t pixel16(const ScreenImage& s, int x, int y) {
  uint16_t v;
  std::memcpy(&v, surface_row(s, y) + 2 * x, 2);
  return v;
}

class ScreenConvTest : public ::testing::Test {
 protected:
  void SetUp() override { screen_conv_start(16); }
  void TearDown() override { screen_conv_stop(); }
};

TEST_F(ScreenConvTest, Dither555) {
  // One colour over a 4 x 4 block: each pixel rounds by the threshold of its own position,
  // (x mod 4) x 4 + (y mod 4) into 0 4 1 5 / 6 2 7 3 / 1 5 0 4 / 7 3 6 2.
  constexpr int kThreshold[16] = {0, 4, 1, 5, 6, 2, 7, 3, 1, 5, 0, 4, 7, 3, 6, 2};
  const struct {
    uint8_t r, g, b;
  } cases[] = {{7, 0, 255}, {4, 3, 250}, {248, 252, 9}, {100, 101, 102}};
  for (const auto& c : cases) {
    Picture pic(kPixBGR, 4, 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) pic.px(x, y)[0] = c.b, pic.px(x, y)[1] = c.g, pic.px(x, y)[2] = c.r;
    ScreenImage s;
    ASSERT_TRUE(s.init(4, 4, 16));
    ASSERT_TRUE(s.build(pic.b, 4, 4));
    s.convert(0, 0, 4, 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const int t = kThreshold[(x % 4) * 4 + y % 4];
        auto level = [t](int v) { return (v & 7) > t && v < 248 ? (v + 8) / 8 : v / 8; };
        EXPECT_EQ(pixel16(s, x, y), (level(c.r) << 10) | (level(c.g) << 5) | level(c.b))
            << int(c.r) << "," << int(c.g) << "," << int(c.b) << " at " << x << "," << y;
      }
  }
  // The worked values: red 7 rounds up to 1 at position 0, blue 255 stays 31 (no overflow).
  Picture one(kPixBGR, 1, 1);
  one.px(0, 0)[0] = 255, one.px(0, 0)[1] = 0, one.px(0, 0)[2] = 7;
  void* bits = nullptr;
  HBITMAP h = ScreenImage::make_screen_bitmap(one.b, 1, 1, &bits, 16);
  ASSERT_TRUE(h && bits);
  uint16_t v;
  std::memcpy(&v, bits, 2);
  EXPECT_EQ(v, (1 << 10) | 31);
  DeleteObject(h);
}

TEST_F(ScreenConvTest, ColumnAndRowTables) {
  Picture pic(kPixBGR, 100, 10);
  ScreenImage s;
  ASSERT_TRUE(s.init(240, 320, 16));
  ASSERT_TRUE(s.build(pic.b, 40, 25));
  const uint32_t columns[] = {0, 2, 5, 7, 10, 12, 15};  // (100 x x) / 40
  for (size_t x = 0; x < std::size(columns); ++x) EXPECT_EQ(s.column_table()[x], columns[x] * 3) << x;
  EXPECT_EQ(s.column_table().back(), 97u * 3);
  ASSERT_TRUE(s.build(pic.b, 100, 10));
  for (uint32_t x = 0; x < 100; ++x) EXPECT_EQ(s.column_table()[x], x * 3);
}

// The 24-bit surface against a direct nearest-pixel scale, for both three-byte orders, with and
// without a tone table, over the whole display and over an inner part.
TEST_F(ScreenConvTest, ThreeByteSurfaceMatchesDirectScale) {
  const int sw = 37, sh = 23, dw = 50, dh = 17;
  std::mt19937 rng(7);
  uint8_t invert[256];
  for (int i = 0; i < 256; ++i) invert[i] = static_cast<uint8_t>(255 - i);
  const struct {
    uint32_t type;
    bool tone;
    int x0, y0, w, h;
  } cases[] = {
      {kPixBGR, false, 0, 0, dw, dh}, {kPixBGR, false, 13, 5, 20, 9}, {kPixRGB, false, 0, 0, dw, dh},
      {kPixBGR, true, 13, 5, 20, 9},  {kPixBGR, false, 0, 0, sw, sh},  // unscaled: whole rows copied
  };
  for (const auto& c : cases) {
    Picture pic(c.type, sw, sh);
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw * 3; ++x) bitmap_row(&pic.b, y)[x] = static_cast<uint8_t>(rng());
    const bool unscaled = c.w == sw && c.h == sh;
    const int ow = unscaled ? sw : dw, oh = unscaled ? sh : dh;
    ScreenImage s;
    ASSERT_TRUE(s.init(64, 32, 24));
    ASSERT_TRUE(s.build(pic.b, ow, oh));
    ASSERT_EQ(s.surface_bits(), 24);
    s.set_tone_table(c.tone ? invert : nullptr);
    s.convert(c.x0, c.y0, c.w, c.h);
    const int red = c.type == kPixBGR ? 2 : 0, blue = 2 - red;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const int sx = sw * (c.x0 + x) / ow, sy = sh * (c.y0 + y) / oh;
        const uint8_t* p = pic.px(sx, sy);
        const uint8_t* q = surface_row(s, y) + 3 * x;
        auto t = [&](uint8_t v) { return c.tone ? invert[v] : v; };
        ASSERT_EQ(q[0], t(p[blue])) << x << "," << y;
        ASSERT_EQ(q[1], t(p[1])) << x << "," << y;
        ASSERT_EQ(q[2], t(p[red])) << x << "," << y;
      }
  }
}

TEST_F(ScreenConvTest, BilevelAndGreySurfaces) {
  // 1 bit: a two-colour surface, black for 0 and white for 1, enlarged 2x without dithering.
  Picture bw(kPixBilevel, 10, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) bit_put(bitmap_row(&bw.b, y), x, (x * 7 + y) % 3 == 0);
  ScreenImage s;
  ASSERT_TRUE(s.init(240, 320, 16));
  ASSERT_TRUE(s.build(bw.b, 20, 6, kBuildPalette));
  ASSERT_EQ(s.surface_bits(), 1);
  EXPECT_EQ(s.colour_table()[0].rgbRed, 0);
  EXPECT_EQ(s.colour_table()[1].rgbRed, 255);
  s.convert(0, 0, 20, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 20; ++x)
      EXPECT_EQ(bit_get(surface_row(s, y), x), bit_get(bitmap_row(&bw.b, y / 2), x / 2)) << x << "," << y;

  // Grey without palette, 16 levels: the ramp 0, 17, 34 ... 255.
  Picture grey(kPixGrey, 4, 4);
  grey.b.colors = 16;
  ASSERT_TRUE(s.build(grey.b, 4, 4));
  ASSERT_EQ(s.surface_bits(), 8);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(s.colour_table()[i].rgbGreen, i * 17) << i;

  // A colour picture afterwards gets a surface of the screen's depth again.
  Picture colour(kPixBGR, 4, 4);
  ASSERT_TRUE(s.build(colour.b, 4, 4));
  EXPECT_EQ(s.surface_bits(), 16);
}

TEST_F(ScreenConvTest, DrawsOnlyTheVisiblePart) {
  Picture pic(kPixBGR, 40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) pic.px(x, y)[0] = static_cast<uint8_t>(x), pic.px(x, y)[1] = static_cast<uint8_t>(y), pic.px(x, y)[2] = 200;
  ScreenImage s;
  ASSERT_TRUE(s.init(10, 10, 24));  // a surface smaller than the paint: at most this much is converted
  ASSERT_TRUE(s.build(pic.b, 40, 40));

  struct {
    BITMAPINFOHEADER h;
    RGBQUAD pad[3];
  } info{};
  info.h.biWidth = 20, info.h.biHeight = -20, info.h.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP target = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_TRUE(target && bits);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  // The picture lies at (-15, -5): the paint (0, 0)-(20, 20) shows its part from (15, 5).
  s.draw(dc, -15, -5, RECT{0, 0, 20, 20});
  auto target_px = [&](int x, int y) { return static_cast<const uint32_t*>(bits)[y * 20 + x]; };
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(target_px(x, y), (200u << 16) | (uint32_t(y + 5) << 8) | uint32_t(x + 15)) << x << "," << y;
  EXPECT_EQ(target_px(12, 12), 0u);  // beyond the surface's worth nothing was drawn
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);
}

TEST_F(ScreenConvTest, RefusesWhatItCannotShow) {
  Picture cmyk(kPixCMYK, 4, 4);
  ScreenImage s;
  ASSERT_TRUE(s.init(8, 8, 16));
  EXPECT_FALSE(s.build(cmyk.b, 4, 4));
  Picture pic(kPixBGR, 4, 4);
  EXPECT_FALSE(s.build(pic.b, 0, 4));
  pic.b.bytes_per_line = 3;  // shorter than a row
  EXPECT_FALSE(s.build(pic.b, 4, 4));
  pic.b.bytes_per_line = 12;
  EXPECT_EQ(ScreenImage::make_screen_bitmap(cmyk.b, 4, 4, nullptr, 16), nullptr);
}

}  // namespace
}  // namespace lumora::app
