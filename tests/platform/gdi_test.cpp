// Drawing: every surface depth blitted 1:1 and stretched, clipping, overlapping blits, text.
#include <cstring>

#include "platform_fixture.h"

namespace lumora::plat {
namespace {

using testing::HeadlessTest;

// A DIB section described by depth, with a colour table where it has one.
struct Dib {
  HBITMAP bitmap = nullptr;
  uint8_t* bits = nullptr;
  HDC dc = nullptr;
  size_t stride = 0;
  int height = 0;
  ~Dib() {
    if (dc) DeleteDC(dc);
    if (bitmap) DeleteObject(bitmap);
  }
  // Byte address of visual row y (rows are stored bottom-up).
  uint8_t* row(int y) const { return bits + stride * static_cast<size_t>(height - 1 - y); }
};

void make_dib(Dib& d, int bpp, int w, int h, bool bitfields = false) {
  std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
  info->bmiHeader = BITMAPINFOHEADER{};
  info->bmiHeader.biWidth = w;
  info->bmiHeader.biHeight = h;  // bottom-up
  info->bmiHeader.biBitCount = static_cast<WORD>(bpp);
  if (bitfields) {
    info->bmiHeader.biCompression = BI_BITFIELDS;
    DWORD masks[3] = {0x7C00, 0x03E0, 0x001F};
    std::memcpy(info->bmiColors, masks, sizeof masks);
  }
  if (bpp == 1) {
    info->bmiColors[0] = RGBQUAD{0, 0, 0, 0};
    info->bmiColors[1] = RGBQUAD{255, 255, 255, 0};
  } else if (bpp == 8) {
    info->bmiHeader.biClrUsed = 3;
    info->bmiColors[0] = RGBQUAD{0, 0, 255, 0};    // red
    info->bmiColors[1] = RGBQUAD{0, 255, 0, 0};    // green
    info->bmiColors[2] = RGBQUAD{255, 0, 0, 0};    // blue
  }
  void* bits = nullptr;
  d.bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(d.bitmap, nullptr);
  d.bits = static_cast<uint8_t*>(bits);
  d.stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  d.height = h;
  d.dc = CreateCompatibleDC(nullptr);
  SelectObject(d.dc, d.bitmap);
}

// Writes a 2 x 2 picture: red, green / blue, white, in each depth's own encoding.
void write_quad(Dib& d, int bpp) {
  switch (bpp) {
    case 1:  // black/white only: 1 0 / 0 1
      d.row(0)[0] = 0x80;
      d.row(1)[0] = 0x40;
      break;
    case 8:
      d.row(0)[0] = 0, d.row(0)[1] = 1;
      d.row(1)[0] = 2, d.row(1)[1] = 0;
      break;
    case 16: {
      const uint16_t px[4] = {0x7C00, 0x03E0, 0x001F, 0x7FFF};
      std::memcpy(d.row(0), px, 4);
      std::memcpy(d.row(1), px + 2, 4);
      break;
    }
    case 24: {
      const uint8_t r0[6] = {0, 0, 255, 0, 255, 0}, r1[6] = {255, 0, 0, 255, 255, 255};
      std::memcpy(d.row(0), r0, 6);
      std::memcpy(d.row(1), r1, 6);
      break;
    }
    case 32: {
      const uint32_t px[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
      std::memcpy(d.row(0), px, 8);
      std::memcpy(d.row(1), px + 2, 8);
      break;
    }
  }
}

struct DepthCase {
  int bpp;
  bool bitfields;
  COLORREF expect[4];  // top-left, top-right, bottom-left, bottom-right
};

const DepthCase kDepths[] = {
    {1, false, {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 0, 0), RGB(255, 255, 255)}},
    {8, false, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 0, 0)}},
    {16, false, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)}},
    {16, true, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)}},
    {24, false, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)}},
    {32, false, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)}},
};

class GdiTest : public HeadlessTest {};

TEST_F(GdiTest, EachDepthBlitsOneToOneAndStretched) {
  for (const DepthCase& c : kDepths) {
    SCOPED_TRACE("bits per pixel " + std::to_string(c.bpp) + (c.bitfields ? " bitfields" : ""));
    Dib src;
    make_dib(src, c.bpp, 2, 2, c.bitfields);
    write_quad(src, c.bpp);
    Dib dst;
    make_dib(dst, 32, 16, 16);
    ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 2, 2, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), c.expect[0]);
    EXPECT_EQ(GetPixel(dst.dc, 2, 1), c.expect[1]);
    EXPECT_EQ(GetPixel(dst.dc, 1, 2), c.expect[2]);
    EXPECT_EQ(GetPixel(dst.dc, 2, 2), c.expect[3]);
    EXPECT_EQ(GetPixel(dst.dc, 3, 3), RGB(0, 0, 0));  // nothing outside
    // Stretched x3 into (6, 6): each source pixel becomes a 3 x 3 block.
    ASSERT_TRUE(StretchBlt(dst.dc, 6, 6, 6, 6, src.dc, 0, 0, 2, 2, SRCCOPY));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x)
        ASSERT_EQ(GetPixel(dst.dc, 6 + x, 6 + y), c.expect[(y / 3) * 2 + x / 3]) << x << "," << y;
    // Shrinking picks source columns (2 x i) / 1: the top-left pixel.
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 15, 1, 1, src.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 0, 15), c.expect[0]);
    // Back into the source depth: a blit from 32 bits reproduces the same colours.
    Dib back;
    make_dib(back, c.bpp, 2, 2, c.bitfields);
    ASSERT_TRUE(BitBlt(back.dc, 0, 0, 2, 2, dst.dc, 1, 1, SRCCOPY));
    EXPECT_EQ(std::memcmp(back.row(0), src.row(0), c.bpp >= 8 ? 2 * c.bpp / 8 : 1), 0);
    EXPECT_EQ(std::memcmp(back.row(1), src.row(1), c.bpp >= 8 ? 2 * c.bpp / 8 : 1), 0);
  }
}

TEST_F(GdiTest, FiveBitChannelsWidenToFullScale) {
  Dib d;
  make_dib(d, 16, 1, 1);
  struct {
    uint16_t px;
    COLORREF rgb;
  } cases[] = {{0x7FFF, RGB(255, 255, 255)}, {0x0000, RGB(0, 0, 0)}, {0x4210, RGB(132, 132, 132)}, {0x0001, RGB(0, 0, 8)}};
  for (auto& c : cases) {
    std::memcpy(d.row(0), &c.px, 2);
    EXPECT_EQ(GetPixel(d.dc, 0, 0), c.rgb) << std::hex << c.px;
  }
}

TEST_F(GdiTest, ClippingLimitsFillsAndBlits) {
  Dib d;
  make_dib(d, 32, 20, 20);
  RECT all{0, 0, 20, 20};
  FillRect(d.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SaveDC(d.dc);
  IntersectClipRect(d.dc, 5, 5, 15, 15);
  ExcludeClipRect(d.dc, 8, 8, 10, 10);
  FillRect(d.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  RECT box;
  EXPECT_EQ(GetClipBox(d.dc, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{5, 5, 15, 15}));
  RestoreDC(d.dc, -1);
  struct {
    int x, y;
    COLORREF c;
  } probes[] = {{4, 4, 0}, {5, 5, 0xFFFFFF}, {14, 14, 0xFFFFFF}, {15, 15, 0}, {8, 8, 0}, {9, 9, 0}, {10, 9, 0xFFFFFF}};
  for (auto& p : probes) EXPECT_EQ(GetPixel(d.dc, p.x, p.y), p.c) << p.x << "," << p.y;
  // After RestoreDC the whole surface is drawable again.
  SetPixel(d.dc, 0, 0, RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(d.dc, 0, 0), RGB(1, 2, 3));
}

TEST_F(GdiTest, OverlappingBlitWithinOneSurfaceMovesPixelsExactly) {
  Dib d;
  make_dib(d, 32, 8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) SetPixel(d.dc, x, y, RGB(x * 10, y * 10, 0));
  // Scroll the picture down and right by one pixel, as a viewer does.
  ASSERT_TRUE(BitBlt(d.dc, 1, 1, 7, 7, d.dc, 0, 0, SRCCOPY));
  for (int y = 1; y < 8; ++y)
    for (int x = 1; x < 8; ++x) ASSERT_EQ(GetPixel(d.dc, x, y), RGB((x - 1) * 10, (y - 1) * 10, 0)) << x << "," << y;
}

TEST_F(GdiTest, RectanglesAndLinesFollowPenAndBrush) {
  Dib d;
  make_dib(d, 24, 10, 10);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
  HGDIOBJ old_pen = SelectObject(d.dc, pen);
  HGDIOBJ old_brush = SelectObject(d.dc, brush);
  Rectangle(d.dc, 1, 1, 6, 6);
  EXPECT_FALSE(DeleteObject(pen));  // still selected
  SelectObject(d.dc, old_pen);
  SelectObject(d.dc, old_brush);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetPixel(d.dc, 1, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(d.dc, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(d.dc, 3, 3), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(d.dc, 6, 6), RGB(0, 0, 0));
  SelectObject(d.dc, GetStockObject(WHITE_PEN));
  MoveToEx(d.dc, 0, 9, nullptr);
  LineTo(d.dc, 9, 9);  // the end point is not drawn
  EXPECT_EQ(GetPixel(d.dc, 0, 9), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(d.dc, 8, 9), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(d.dc, 9, 9), RGB(0, 0, 0));
}

TEST_F(GdiTest, TextExtentGrowsWithTextAndDrawingSetsPixelsInsideIt) {
  HDC screen = GetDC(nullptr);
  HFONT normal = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, "MS Sans Serif");
  HFONT bold = CreateFont(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, "MS Sans Serif");
  HGDIOBJ old = SelectObject(screen, normal);
  SIZE a{}, ab{}, w{}, empty{};
  ASSERT_TRUE(GetTextExtentPoint32(screen, "i", &a));
  ASSERT_TRUE(GetTextExtentPoint32(screen, "ii", &ab));
  ASSERT_TRUE(GetTextExtentPoint32(screen, "WWW", &w));
  ASSERT_TRUE(GetTextExtentPoint32(screen, "", &empty));
  EXPECT_GT(a.cx, 0);
  EXPECT_EQ(ab.cx, 2 * a.cx);
  EXPECT_GT(w.cx, ab.cx);
  EXPECT_EQ(empty.cx, 0);
  TEXTMETRIC tm;
  ASSERT_TRUE(GetTextMetrics(screen, &tm));
  EXPECT_EQ(a.cy, tm.tmHeight);
  EXPECT_GE(tm.tmHeight, 12);
  EXPECT_LE(tm.tmHeight, 18);
  SIZE wb{};
  SelectObject(screen, bold);
  GetTextExtentPoint32(screen, "WWW", &wb);
  EXPECT_GT(wb.cx, w.cx);  // the bold face is wider
  SelectObject(screen, normal);

  // UTF-8: "é" is one character, as wide as itself, and fits as a whole.
  int fit = 0;
  SIZE e{};
  GetTextExtentPoint32(screen, "\xC3\xA9", &e);
  ASSERT_TRUE(GetTextExtentExPoint(screen, "\xC3\xA9\xC3\xA9", e.cx, &fit, nullptr));
  EXPECT_EQ(fit, 2);

  // Drawing: black text on white, transparent and opaque.
  RECT all{0, 0, 240, 320};
  FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextRecording(true);
  ClearDrawnTexts();
  SetBkMode(screen, TRANSPARENT);
  SetTextColor(screen, RGB(0, 0, 0));
  TextOut(screen, 10, 10, "WWW");
  int dark = 0, outside = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 120; ++x) {
      bool in = x >= 10 && x < 10 + w.cx && y >= 10 && y < 10 + w.cy;
      if (testing::screen_pixel(x, y) != 0xFFFFFF) (in ? dark : outside)++;
    }
  EXPECT_GT(dark, 20);
  EXPECT_EQ(outside, 0);
  auto texts = DrawnTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "WWW");
  EXPECT_EQ(texts[0].bounds, (RECT{10, 10, 10 + w.cx, 10 + w.cy}));
  SetTextRecording(false);

  SetBkMode(screen, OPAQUE);
  SetBkColor(screen, RGB(0, 255, 0));
  SetTextAlign(screen, TA_RIGHT | TA_TOP);
  TextOut(screen, 200, 100, "i");  // cell from 200 - width to 200
  EXPECT_EQ(testing::screen_pixel(200 - a.cx, 100), 0x00FF00u);
  EXPECT_EQ(testing::screen_pixel(200, 100), 0xFFFFFFu);

  // DrawText centres a line and shortens it with an ellipsis when asked.
  SetTextAlign(screen, TA_LEFT | TA_TOP);
  RECT calc{0, 0, 0, 0};
  DrawText(screen, "WWW", &calc, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(calc.right, w.cx);
  RECT narrow{0, 200, w.cx / 2, 220};
  ClearDrawnTexts();
  SetTextRecording(true);
  DrawText(screen, "WWW", &narrow, DT_SINGLELINE | DT_END_ELLIPSIS);
  texts = DrawnTexts();
  SetTextRecording(false);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text.substr(texts[0].text.size() - 3), "...");

  SelectObject(screen, old);
  DeleteObject(normal);
  DeleteObject(bold);
  ReleaseDC(nullptr, screen);
}

TEST_F(GdiTest, StretchDIBitsMeasuresBottomUpSourcesFromTheBottom) {
  // A 1 x 4 bottom-up 24-bit column: stored rows 0..3 are red, green, blue, white from the bottom.
  std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 4);
  auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
  info->bmiHeader = BITMAPINFOHEADER{};
  info->bmiHeader.biWidth = 1;
  info->bmiHeader.biHeight = 4;
  info->bmiHeader.biBitCount = 24;
  const uint8_t bits[16] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
  Dib dst;
  make_dib(dst, 32, 4, 4);
  // Source rows 1 and 2 counted from the bottom (green, blue); blue is the upper one on screen.
  ASSERT_EQ(StretchDIBits(dst.dc, 0, 0, 1, 2, 0, 1, 1, 2, bits, info, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dst.dc, 0, 1), RGB(0, 255, 0));
  // Top-down sources are measured from the top.
  info->bmiHeader.biHeight = -4;
  ASSERT_EQ(StretchDIBits(dst.dc, 1, 0, 1, 1, 0, 0, 1, 1, bits, info, DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(GetPixel(dst.dc, 1, 0), RGB(255, 0, 0));
}

TEST_F(GdiTest, UnderlineRunsUnderTheWholeTextBlanksIncluded) {
  Dib d;
  make_dib(d, 32, 80, 30);
  RECT all{0, 0, 80, 30};
  FillRect(d.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HFONT f = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, TRUE, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, "Tahoma");
  HGDIOBJ old = SelectObject(d.dc, f);
  SetBkMode(d.dc, TRANSPARENT);
  ASSERT_TRUE(TextOut(d.dc, 0, 0, "a  b"));
  TEXTMETRIC tm;
  SIZE sz;
  GetTextMetrics(d.dc, &tm);
  GetTextExtentPoint32(d.dc, "a  b", &sz);
  int inked = 0;
  for (int x = 0; x < sz.cx; ++x) inked += GetPixel(d.dc, x, tm.tmAscent + 1) == RGB(0, 0, 0);
  EXPECT_EQ(inked, sz.cx);
  EXPECT_EQ(GetPixel(d.dc, sz.cx, tm.tmAscent + 1), RGB(255, 255, 255));
  SelectObject(d.dc, old);
  DeleteObject(f);
}

TEST_F(GdiTest, UnusableDescriptionsAreRefused) {
  BITMAPINFO info;
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = 4;
  struct {
    WORD bpp;
    DWORD compression;
    LONG width;
  } bad[] = {{3, BI_RGB, 4}, {24, BI_BITFIELDS, 4}, {8, BI_RGB, 0}, {8, BI_RGB, -4}, {8, 1 /* RLE */, 4}, {32, BI_RGB, 100000}};
  for (auto& b : bad) {
    info.bmiHeader.biBitCount = b.bpp;
    info.bmiHeader.biCompression = b.compression;
    info.bmiHeader.biWidth = b.width;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr) << b.bpp;
    EXPECT_EQ(bits, nullptr);
  }
}

}  // namespace
}  // namespace lumora::plat
