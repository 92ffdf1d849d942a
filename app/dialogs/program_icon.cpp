#include "app/dialogs/program_icon.h"

#include <algorithm>

#include "platform/controls/theme.h"

namespace lumora::app {

using namespace lumora::plat;

namespace {

constexpr COLORREF kTile = RGB(40, 96, 184);
constexpr COLORREF kSky = RGB(140, 196, 240);
constexpr COLORREF kSun = RGB(255, 204, 64);
constexpr COLORREF kFarHill = RGB(64, 150, 96);
constexpr COLORREF kNearHill = RGB(36, 112, 64);

// A hill: a triangle of spans from apex (x, top) widening by `slope` pixels per row to the bottom.
void hill(HDC dc, const RECT& clip, int apex_x, int top, int slope, COLORREF c) {
  for (int y = std::max(top, static_cast<int>(clip.top)); y < clip.bottom; ++y) {
    const int half = (y - top) * slope;
    RECT row{std::max(clip.left, apex_x - half), y, std::min(clip.right, apex_x + half + 1), y + 1};
    if (row.right > row.left) ui::fill(dc, row, c);
  }
}

LRESULT icon_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT c;
      GetClientRect(h, &c);
      ui::fill(dc, c, ui::kWindow);
      const int side = std::min(RectWidth(c), RectHeight(c));
      RECT box{(c.right - side) / 2, (c.bottom - side) / 2, (c.right - side) / 2 + side, (c.bottom - side) / 2 + side};
      draw_program_icon(dc, box);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefWindowProc(h, msg, wp, lp);
  }
}

}  // namespace

void draw_program_icon(HDC dc, const RECT& box) {
  const int s = RectWidth(box);
  if (s < 8) return;
  // The tile with its corners cut by one step, a rounded look without smoothing.
  const int r = std::max(1, s / 10);
  ui::fill(dc, RECT{box.left + r, box.top, box.right - r, box.bottom}, kTile);
  ui::fill(dc, RECT{box.left, box.top + r, box.right, box.bottom - r}, kTile);
  // The picture inside it.
  const int m = s / 6;
  RECT pic{box.left + m, box.top + m, box.right - m, box.bottom - m};
  ui::fill(dc, pic, kSky);
  const int p = RectWidth(pic);
  RECT sun{pic.right - p * 9 / 20, pic.top + p / 10, pic.right - p / 10, pic.top + p * 9 / 20};
  ui::disc(dc, sun, kSun);
  hill(dc, pic, pic.left + p / 3, pic.top + p * 2 / 5, 1, kFarHill);
  hill(dc, pic, pic.left + p * 3 / 4, pic.top + p * 3 / 5, 2, kNearHill);
}

void register_program_icon_class() {
  WNDCLASS wc;
  if (GetClassInfo(nullptr, kProgramIconClass, &wc)) return;
  wc.lpfnWndProc = icon_proc;
  wc.lpszClassName = kProgramIconClass;
  RegisterClass(&wc);
}

}  // namespace lumora::app
