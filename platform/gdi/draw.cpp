// Rectangles, lines and single pixels.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace lumora::plat {

namespace {

// Calls fn(x, y, n) for each clipped horizontal span of a device rectangle.
template <class Fn>
void for_each_span(DeviceContext* dc, const RECT& dev, Fn fn) {
  if (!dc->surface || !dc->surface->valid()) return;
  Region clip = dc->clip();
  for (const RECT& c : clip.rects()) {
    RECT r;
    if (!IntersectRect(&r, &c, &dev)) continue;
    for (int y = r.top; y < r.bottom; ++y) fn(r.left, y, r.right - r.left);
  }
  if (dc->screen) mark_screen_dirty();
}

void draw_device_pixel(DeviceContext* dc, const Region& clip, int x, int y, uint32_t rgb) {
  if (clip.contains(x, y)) dc->surface->fill_span(x, y, 1, rgb);
}

}  // namespace

void fill_device_rect(DeviceContext* dc, const RECT& dev, uint32_t rgb) {
  for_each_span(dc, dev, [&](int x, int y, int n) { dc->surface->fill_span(x, y, n, rgb); });
}

int FillRect(HDC hdc, const RECT* r, HBRUSH brush) {
  DeviceContext* dc = dc_cast(hdc);
  auto* b = gdi_cast<BrushObject>(brush, GdiType::Brush);
  if (!dc || !r || !b) return 0;
  if (!b->null) fill_device_rect(dc, dc->to_device(*r), colorref_to_rgb(b->colour));
  return 1;
}

int FrameRect(HDC hdc, const RECT* r, HBRUSH brush) {
  DeviceContext* dc = dc_cast(hdc);
  auto* b = gdi_cast<BrushObject>(brush, GdiType::Brush);
  if (!dc || !r || !b) return 0;
  if (b->null || IsRectEmpty(r)) return 1;
  RECT d = dc->to_device(*r);
  uint32_t rgb = colorref_to_rgb(b->colour);
  fill_device_rect(dc, RECT{d.left, d.top, d.right, d.top + 1}, rgb);
  fill_device_rect(dc, RECT{d.left, d.bottom - 1, d.right, d.bottom}, rgb);
  fill_device_rect(dc, RECT{d.left, d.top + 1, d.left + 1, d.bottom - 1}, rgb);
  fill_device_rect(dc, RECT{d.right - 1, d.top + 1, d.right, d.bottom - 1}, rgb);
  return 1;
}

BOOL InvertRect(HDC hdc, const RECT* r) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !r) return FALSE;
  std::vector<uint32_t> row;
  for_each_span(dc, dc->to_device(*r), [&](int x, int y, int n) {
    row.resize(static_cast<size_t>(n));
    dc->surface->read_span(x, y, n, row.data());
    for (uint32_t& p : row) p = ~p & 0xFFFFFF;
    dc->surface->write_span(x, y, n, row.data());
  });
  return TRUE;
}

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  RECT r{std::min(x, x + w), std::min(y, y + h), std::max(x, x + w), std::max(y, y + h)};
  switch (rop) {
    case PATCOPY: return FillRect(hdc, &r, dc->st.brush) ? TRUE : FALSE;
    case BLACKNESS: fill_device_rect(dc, dc->to_device(r), 0x000000); return TRUE;
    case WHITENESS: fill_device_rect(dc, dc->to_device(r), 0xFFFFFF); return TRUE;
    case DSTINVERT: return InvertRect(hdc, &r);
    default: return FALSE;
  }
}

// Bresenham line in device pixels, excluding the end point as the classic system does.
static void device_line(DeviceContext* dc, POINT a, POINT b, const PenObject& pen) {
  if (pen.style == PS_NULL || !dc->surface || !dc->surface->valid()) return;
  Region clip = dc->clip();
  uint32_t rgb = colorref_to_rgb(pen.colour);
  int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
  int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
  int err = dx + dy;
  int x = a.x, y = a.y;
  int step = 0;
  int half = (pen.width - 1) / 2;
  while (x != b.x || y != b.y) {
    bool on = pen.style == PS_SOLID || (pen.style == PS_DASH ? (step % 9) < 6 : (step % 2) == 0);
    if (on) {
      if (pen.width == 1) {
        draw_device_pixel(dc, clip, x, y, rgb);
      } else {
        for (int yy = y - half; yy < y - half + pen.width; ++yy)
          for (int xx = x - half; xx < x - half + pen.width; ++xx) draw_device_pixel(dc, clip, xx, yy, rgb);
      }
    }
    ++step;
    int e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
  if (dc->screen) mark_screen_dirty();
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  if (old) *old = dc->st.current;
  dc->st.current = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  auto* pen = gdi_cast<PenObject>(dc->st.pen, GdiType::Pen);
  if (pen) device_line(dc, dc->to_device(dc->st.current.x, dc->st.current.y), dc->to_device(x, y), *pen);
  dc->st.current = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  if (!dc_cast(hdc) || !points || count < 2) return FALSE;
  POINT saved;
  MoveToEx(hdc, points[0].x, points[0].y, &saved);
  for (int i = 1; i < count; ++i) LineTo(hdc, points[i].x, points[i].y);
  MoveToEx(hdc, saved.x, saved.y, nullptr);
  return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  auto* pen = gdi_cast<PenObject>(dc->st.pen, GdiType::Pen);
  int inset = pen && pen->style != PS_NULL ? 1 : 0;
  RECT inner{left + inset, top + inset, right - inset, bottom - inset};
  FillRect(hdc, &inner, dc->st.brush);
  if (inset) {
    // The outline lies inside the rectangle, on its first and last rows and columns.
    POINT pts[5] = {{left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}, {left, top}};
    for (int i = 0; i < 4; ++i) device_line(dc, dc->to_device(pts[i].x, pts[i].y), dc->to_device(pts[i + 1].x, pts[i + 1].y), *pen);
  }
  return TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF c) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !dc->surface || !dc->surface->valid()) return CLR_INVALID;
  POINT p = dc->to_device(x, y);
  if (!dc->clip().contains(p.x, p.y)) return CLR_INVALID;
  dc->surface->fill_span(p.x, p.y, 1, colorref_to_rgb(c));
  if (dc->screen) mark_screen_dirty();
  uint32_t back;
  dc->surface->read_span(p.x, p.y, 1, &back);
  return rgb_to_colorref(back);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !dc->surface || !dc->surface->valid()) return CLR_INVALID;
  POINT p = dc->to_device(x, y);
  // Reads anywhere on the surface that the context may draw on.
  if (p.x < 0 || p.y < 0 || p.x >= dc->surface->width || p.y >= dc->surface->height) return CLR_INVALID;
  if (!dc->clip().contains(p.x, p.y)) return CLR_INVALID;
  uint32_t v;
  dc->surface->read_span(p.x, p.y, 1, &v);
  return rgb_to_colorref(v);
}

}  // namespace lumora::plat
