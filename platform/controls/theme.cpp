// The shared look of controls, menus and dialogs.
#include "platform/controls/theme.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/system/system.h"

namespace lumora::plat::ui {

int px(int v) { return MulDiv(v, GetOptions().dpi > 0 ? GetOptions().dpi : 96, 96); }

namespace {

struct Fonts {
  int dpi = 0;
  HFONT f[4] = {};
};

// Fonts follow the dpi of the running screen; a new start-up with another dpi remakes them.
Fonts& fonts() {
  static Fonts s;
  return s;
}

HFONT make(int points, int weight) {
  int dpi = GetOptions().dpi > 0 ? GetOptions().dpi : 96;
  return CreateFont(-MulDiv(points, dpi, 72), 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH,
                    "Tahoma");
}

}  // namespace

HFONT font(Font which) {
  Fonts& s = fonts();
  int dpi = GetOptions().dpi;
  if (s.dpi != dpi || !s.f[0]) {
    for (HFONT& f : s.f) {
      if (f) DeleteObject(f);
      f = nullptr;
    }
    s.dpi = dpi;
    s.f[0] = make(9, FW_NORMAL);
    s.f[1] = make(9, FW_BOLD);
    s.f[2] = make(10, FW_BOLD);
    s.f[3] = make(8, FW_NORMAL);
  }
  return s.f[static_cast<int>(which)];
}

int line_height(HDC dc, HFONT f) {
  HGDIOBJ old = SelectObject(dc, f);
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  return tm.tmHeight > 0 ? tm.tmHeight : px(14);
}

int softkey_bar_height() { return px(26); }
int title_height() { return px(22); }

void fill(HDC dc, const RECT& r, COLORREF c) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void frame(HDC dc, const RECT& r, COLORREF c, int t) {
  fill(dc, RECT{r.left, r.top, r.right, r.top + t}, c);
  fill(dc, RECT{r.left, r.bottom - t, r.right, r.bottom}, c);
  fill(dc, RECT{r.left, r.top + t, r.left + t, r.bottom - t}, c);
  fill(dc, RECT{r.right - t, r.top + t, r.right, r.bottom - t}, c);
}

void focus_frame(HDC dc, const RECT& r) { frame(dc, r, kAccent, std::max(2, px(2))); }

void text(HDC dc, std::string_view s, const RECT& r, UINT format, COLORREF c, HFONT f) {
  HGDIOBJ old = SelectObject(dc, f);
  int mode = SetBkMode(dc, TRANSPARENT);
  COLORREF oc = SetTextColor(dc, c);
  RECT rr = r;
  DrawText(dc, s, &rr, format | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  SetTextColor(dc, oc);
  SetBkMode(dc, mode);
  SelectObject(dc, old);
}

int text_width(HDC dc, std::string_view s, HFONT f) {
  HGDIOBJ old = SelectObject(dc, f);
  SIZE sz;
  GetTextExtentPoint32(dc, s, &sz);
  SelectObject(dc, old);
  return sz.cx;
}

void check_mark(HDC dc, const RECT& box, COLORREF c) {
  // A tick of two strokes, each two pixels thick at 96 dpi.
  int w = box.right - box.left, h = box.bottom - box.top;
  int t = std::max(2, px(2));
  int x0 = box.left + w / 6, y0 = box.top + h / 2;
  int x1 = box.left + w * 5 / 12, y1 = box.bottom - h / 5;
  int x2 = box.right - w / 8, y2 = box.top + h / 6;
  for (int x = x0; x <= x1; ++x) {
    int y = y0 + (y1 - y0) * (x - x0) / std::max(1, x1 - x0);
    fill(dc, RECT{x, y - t / 2, x + 1, y - t / 2 + t}, c);
  }
  for (int x = x1; x <= x2; ++x) {
    int y = y1 + (y2 - y1) * (x - x1) / std::max(1, x2 - x1);
    fill(dc, RECT{x, y - t / 2, x + 1, y - t / 2 + t}, c);
  }
}

void disc(HDC dc, const RECT& box, COLORREF c) {
  int w = box.right - box.left, h = box.bottom - box.top;
  double rx = w / 2.0, ry = h / 2.0;
  for (int y = 0; y < h; ++y) {
    double dy = (y + 0.5 - ry) / ry;
    if (dy * dy > 1) continue;
    int half = static_cast<int>(std::lround(rx * std::sqrt(1 - dy * dy)));
    int cx = box.left + w / 2;
    fill(dc, RECT{cx - half, box.top + y, cx + half + (w & 1), box.top + y + 1}, c);
  }
}

void radio_dot(HDC dc, const RECT& box, COLORREF c) {
  int w = box.right - box.left, h = box.bottom - box.top;
  int d = std::max(4, std::min(w, h) / 2);
  RECT r{box.left + (w - d) / 2, box.top + (h - d) / 2, 0, 0};
  r.right = r.left + d;
  r.bottom = r.top + d;
  disc(dc, r, c);
}

void triangle(HDC dc, const RECT& box, int direction, COLORREF c) {
  int w = box.right - box.left, h = box.bottom - box.top;
  int size = std::max(3, std::min(w, h) / 2);  // length of the base's half
  int cx = box.left + w / 2, cy = box.top + h / 2;
  for (int i = 0; i < size; ++i) {
    int half = size - i;  // from the base to the tip
    switch (direction & 3) {
      case 0: fill(dc, RECT{cx - half, cy + size / 2 - i, cx + half, cy + size / 2 - i + 1}, c); break;
      case 2: fill(dc, RECT{cx - half, cy - size / 2 + i, cx + half, cy - size / 2 + i + 1}, c); break;
      case 1: fill(dc, RECT{cx - size / 2 + i, cy - half, cx - size / 2 + i + 1, cy + half}, c); break;
      case 3: fill(dc, RECT{cx + size / 2 - i, cy - half, cx + size / 2 - i + 1, cy + half}, c); break;
    }
  }
}

}  // namespace lumora::plat::ui
