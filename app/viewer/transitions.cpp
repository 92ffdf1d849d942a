// Slideshow transitions. Every effect works on two off-screen images: the canvas, which is the
// final look of the area the transition covers (background with the new picture in place), and,
// for the two slides, the new picture at its display size. A step copies rectangles of these onto
// the window, never scaling, then shows the screen and pauses.
#include "app/viewer/transitions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace lumora::app {

namespace {

constexpr DWORD kStepPauseMs = 10;
// Positions and sizes are clamped to this, so step arithmetic in 64 bits never overflows and
// rectangle edges always fit an int.
constexpr int kCoordLimit = 1 << 24;
// Stretches wider or taller than this are drawn only where they are visible, so the blit's
// per-column tables stay small for absurd zooms.
constexpr int kDirectStretchLimit = 8192;
// The slides keep the picture at its display size while it moves; above this many pixels they
// stretch the visible part at every step instead.
constexpr int64_t kScaledCopyLimit = int64_t{4} << 20;

using i64 = int64_t;

int clamp_coord(int v) { return std::clamp(v, -kCoordLimit, kCoordLimit); }
int clamp_size(int v) { return std::clamp(v, 0, kCoordLimit); }

PictureRect clamped(const PictureRect& r) {
  return PictureRect{clamp_coord(r.x), clamp_coord(r.y), clamp_size(r.width), clamp_size(r.height)};
}

bool bitmap_size(HBITMAP bmp, int* w, int* h) {
  BITMAP bm;
  if (!bmp || !GetObject(bmp, sizeof(bm), &bm)) return false;
  *w = bm.bmWidth;
  *h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  return *w > 0 && *h > 0;
}

// The part of (left, top, right, bottom) inside `within`; empty when they do not meet.
RECT intersect(i64 left, i64 top, i64 right, i64 bottom, const RECT& within) {
  RECT r{static_cast<int>(std::clamp<i64>(left, within.left, within.right)),
         static_cast<int>(std::clamp<i64>(top, within.top, within.bottom)),
         static_cast<int>(std::clamp<i64>(right, within.left, within.right)),
         static_cast<int>(std::clamp<i64>(bottom, within.top, within.bottom))};
  if (r.right <= r.left || r.bottom <= r.top) return RECT{};
  return r;
}

bool empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// Stretches all of src (sw x sh) into (x, y, w, h) of dst. Huge targets are cut to `visible`
// first, taking the matching part of the source, so the cost follows what is seen.
void stretch_picture(HDC dst, const RECT& visible, i64 x, i64 y, int w, int h, HDC src, int sw, int sh) {
  if (w <= 0 || h <= 0) return;
  if (w <= kDirectStretchLimit && h <= kDirectStretchLimit) {
    if (w == sw && h == sh) BitBlt(dst, static_cast<int>(x), static_cast<int>(y), w, h, src, 0, 0, SRCCOPY);
    else StretchBlt(dst, static_cast<int>(x), static_cast<int>(y), w, h, src, 0, 0, sw, sh, SRCCOPY);
    return;
  }
  RECT r = intersect(x, y, x + w, y + h, visible);
  if (empty(r)) return;
  // Source columns and rows under the visible part, by nearest pixel as the blit samples.
  i64 sx0 = (r.left - x) * sw / w, sx1 = ((r.right - x) * sw + w - 1) / w;
  i64 sy0 = (r.top - y) * sh / h, sy1 = ((r.bottom - y) * sh + h - 1) / h;
  sx1 = std::max(sx1, sx0 + 1);
  sy1 = std::max(sy1, sy0 + 1);
  StretchBlt(dst, r.left, r.top, r.right - r.left, r.bottom - r.top, src, static_cast<int>(sx0),
             static_cast<int>(sy0), static_cast<int>(sx1 - sx0), static_cast<int>(sy1 - sy0), SRCCOPY);
}

void fill_bands(HDC dc, const RECT& client, const PictureRect& at, HBRUSH brush) {
  i64 l = at.x, t = at.y, r = i64{at.x} + at.width, b = i64{at.y} + at.height;
  if (at.width <= 0 || at.height <= 0) l = r = client.left, t = b = client.top;
  const RECT bands[4] = {
      intersect(client.left, client.top, client.right, t, client),
      intersect(client.left, b, client.right, client.bottom, client),
      intersect(client.left, t, l, b, client),
      intersect(r, t, client.right, b, client),
  };
  for (const RECT& band : bands)
    if (!empty(band)) FillRect(dc, &band, brush);
}

// The shuffled effect order: 23 (random key, effect) pairs sorted by key, made once.
const std::array<int, kTransitionEffectCount>& effect_order() {
  static const std::array<int, kTransitionEffectCount> order = [] {
    std::array<std::pair<int, int>, kTransitionEffectCount> table{};
    for (int e = 0; e < kTransitionEffectCount; ++e) table[static_cast<size_t>(e)] = {std::rand(), e};
    std::sort(table.begin(), table.end());
    std::array<int, kTransitionEffectCount> out{};
    for (size_t i = 0; i < out.size(); ++i) out[i] = table[i].second;
    return out;
  }();
  return order;
}

int wrap_index(int i) {
  i %= kTransitionEffectCount;
  return i < 0 ? i + kTransitionEffectCount : i;
}

// Everything one transition draws with. `area` is the union of the old and the new picture cut
// to the client area; the screen context is clipped to it and the canvas covers exactly it.
struct Stage {
  HWND hwnd = nullptr;
  HDC screen = nullptr;
  RECT area{};
  int client_width = 0;
  PictureRect now{};
  HBRUSH brush = nullptr;
  HDC canvas_dc = nullptr;
  HBITMAP canvas = nullptr;
  HGDIOBJ canvas_old = nullptr;
  HDC picture_dc = nullptr;  // the new picture as given
  HGDIOBJ picture_old = nullptr;
  int picture_w = 0, picture_h = 0;
  HDC scaled_dc = nullptr;   // the new picture at its display size, when it had to be scaled
  HBITMAP scaled = nullptr;
  HGDIOBJ scaled_old = nullptr;

  Stage() = default;
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;
  ~Stage() {
    release(scaled_dc, scaled_old);
    if (scaled) DeleteObject(scaled);
    release(canvas_dc, canvas_old);
    if (canvas) DeleteObject(canvas);
    release(picture_dc, picture_old);
    if (brush) DeleteObject(brush);
    if (screen) ReleaseDC(hwnd, screen);
  }

  static void release(HDC dc, HGDIOBJ old) {
    if (!dc) return;
    SelectObject(dc, old);  // gives the bitmap back before either is deleted
    DeleteDC(dc);
  }

  i64 ax() const { return area.left; }
  i64 ay() const { return area.top; }
  i64 aw() const { return area.right - area.left; }
  i64 ah() const { return area.bottom - area.top; }

  // Copies the canvas part under (left, top, right, bottom) to the same place on screen.
  void reveal(i64 left, i64 top, i64 right, i64 bottom) const {
    RECT r = intersect(left, top, right, bottom, area);
    if (empty(r)) return;
    BitBlt(screen, r.left, r.top, r.right - r.left, r.bottom - r.top, canvas_dc, r.left - area.left,
           r.top - area.top, SRCCOPY);
  }
  // Copies canvas rows [top, bottom) (screen coordinates) moved so the canvas' left edge is at `left`.
  void slide_rows(i64 left, i64 top, i64 bottom) const {
    RECT r = intersect(left, top, left + aw(), bottom, area);
    if (empty(r)) return;
    BitBlt(screen, r.left, r.top, r.right - r.left, r.bottom - r.top, canvas_dc, static_cast<int>(r.left - left),
           r.top - area.top, SRCCOPY);
  }
  void fill(i64 left, i64 top, i64 right, i64 bottom) const {
    RECT r = intersect(left, top, right, bottom, area);
    if (!empty(r)) FillRect(screen, &r, brush);
  }
  // The new picture with its top-left corner at (px, py).
  void draw_picture(i64 px, i64 py) const {
    RECT r = intersect(px, py, px + now.width, py + now.height, area);
    if (empty(r)) return;
    if (HDC src = scaled_dc ? scaled_dc
                            : (picture_w == now.width && picture_h == now.height ? picture_dc : nullptr)) {
      BitBlt(screen, r.left, r.top, r.right - r.left, r.bottom - r.top, src, static_cast<int>(r.left - px),
             static_cast<int>(r.top - py), SRCCOPY);
    } else {
      stretch_picture(screen, area, px, py, now.width, now.height, picture_dc, picture_w, picture_h);
    }
  }
};

// The two slides. The picture's leading edge sweeps from the client area's edge to the far edge
// of the union (or of the picture, when that lies further); the band it sweeps is cleared, so the
// old picture is wiped above and below a smaller new one. The picture stops at its place and the
// sweep goes on to the end.
void slide_left(const Stage& st, int s, int n) {
  const i64 x = st.now.x, y = st.now.y, w = st.now.width, h = st.now.height;
  const i64 d = std::max<i64>(st.area.right, x + w);
  auto edge = [&](int step) { return step * d / (n - 1) - w; };
  auto place = [&](int step) { return std::min(edge(step), x); };
  const int prev = s > 0 ? s - 1 : 0;
  st.fill(edge(prev) + w, st.ay(), edge(s) + w, st.ay() + st.ah());
  st.fill(place(prev), y, place(s), y + h);
  if (s == 0 || place(s) != place(prev)) st.draw_picture(place(s), y);
}

void slide_top(const Stage& st, int s, int n) {
  const i64 x = st.now.x, y = st.now.y, w = st.now.width, h = st.now.height;
  const i64 d = std::max<i64>(st.area.bottom, y + h);
  auto edge = [&](int step) { return step * d / (n - 1) - h; };
  auto place = [&](int step) { return std::min(edge(step), y); };
  const int prev = s > 0 ? s - 1 : 0;
  st.fill(st.ax(), edge(prev) + h, st.ax() + st.aw(), edge(s) + h);
  st.fill(x, place(prev), x + w, place(s));
  if (s == 0 || place(s) != place(prev)) st.draw_picture(x, place(s));
}

// Bands of at most 10 rows; the first, third, ... come in from the left, the others from the
// client area's right edge, each leaving background behind it.
void interlaced_slide(const Stage& st, int s, int n) {
  const i64 x = st.ax(), y = st.ay(), w = st.aw(), h = st.ah();
  const i64 band = std::min<i64>(h, 10);
  const i64 right_edge = std::max<i64>(st.client_width, x);
  auto from_left = [&](int step) { return step * (x + w) / (n - 1) - w; };
  auto from_right = [&](int step) { return right_edge - step * (right_edge - x) / (n - 1); };
  const int prev = s > 0 ? s - 1 : 0;
  for (i64 i = 0, top = y; top < y + h; ++i, top += band) {
    const i64 bottom = std::min(top + band, y + h);
    if (i % 2 == 0) {
      st.fill(from_left(prev), top, from_left(s), bottom);
      st.slide_rows(from_left(s), top, bottom);
    } else {
      st.fill(from_right(s) + w, top, from_right(prev) + w, bottom);
      st.slide_rows(from_right(s), top, bottom);
    }
  }
}

// 10 x 10 blocks of the area, row by row (or column by column), spread evenly over the steps.
void blocks(const Stage& st, int s, int n, bool by_rows) {
  const i64 cols = (st.aw() + 10) / 10, rows = (st.ah() + 10) / 10, count = cols * rows;
  const i64 first = count * s / (n - 1), last = std::min(count, count * (s + 1) / (n - 1));
  for (i64 k = first; k < last; ++k) {
    const i64 col = by_rows ? k % cols : k / rows, row = by_rows ? k / cols : k % rows;
    const i64 left = st.ax() + col * 10, top = st.ay() + row * 10;
    st.reveal(left, top, left + 10, top + 10);
  }
}

void step_effect(const Stage& st, int e, int s, int n) {
  const i64 x = st.ax(), y = st.ay(), w = st.aw(), h = st.ah(), r = x + w, b = y + h;
  switch (e) {
    case 0: slide_left(st, s, n); break;
    case 1: slide_top(st, s, n); break;
    case 2: st.reveal(x, y, x + s * w / 100, b); break;
    case 3: st.reveal(r - s * w / 100, y, r, b); break;
    case 4: st.reveal(x, y, r, y + s * h / 100); break;
    case 5: st.reveal(x, b - s * h / 100, r, b); break;
    case 6: {
      const i64 part = (s * w / 2) / (n - 1);
      st.reveal(x, y, x + part, b);
      st.reveal(r - part, y, r, b);
      break;
    }
    case 7: {
      const i64 width = 2 * ((s * w / 2) / 100), left = x + (w - width) / 2;
      st.reveal(left, y, left + width, b);
      break;
    }
    case 8: {
      const i64 part = (s * h / 2) / (n - 1);
      st.reveal(x, y, r, y + part);
      st.reveal(x, b - part, r, b);
      break;
    }
    case 9: {
      const i64 height = 2 * ((s * h / 2) / 100), top = y + (h - height) / 2;
      st.reveal(x, top, r, top + height);
      break;
    }
    case 10: interlaced_slide(st, s, n); break;
    case 11: case 12: case 13: case 14: {
      const i64 cw = s * w / (n - 1), ch = s * h / (n - 1);
      const i64 left = (e == 11 || e == 12) ? r - cw : x;
      const i64 top = (e == 12 || e == 14) ? b - ch : y;
      st.reveal(left, top, left + cw, top + ch);
      break;
    }
    case 15: blocks(st, s, n, true); break;
    case 16: blocks(st, s, n, false); break;
    case 17:
      for (i64 k = 0, row = y + s; k < h / n; ++k, row += n) st.reveal(x, row, r, row + 1);
      break;
    case 18:
      for (i64 k = 0, col = x + s; k < w / n; ++k, col += n) st.reveal(col, y, col + 1, b);
      break;
    case 19: {
      const i64 eh = (s * h / 2) / n, ew = (s * w / 2) / n;
      st.reveal(x, y, r, y + eh);
      st.reveal(x, b - eh, r, b);
      st.reveal(x, y, x + ew, b);
      st.reveal(r - ew, y, r, b);
      break;
    }
    case 20: {
      const i64 bw = s * w / n, bh = s * h / n, left = x + (w - bw) / 2, top = y + (h - bh) / 2;
      st.reveal(left, top, left + bw, top + bh);
      break;
    }
    case 21: {
      const i64 cw = (s * w / 2) / n, ch = (s * h / 2) / n;
      st.reveal(x, y, x + cw, y + ch);
      st.reveal(r - cw, y, r, y + ch);
      st.reveal(x, b - ch, x + cw, b);
      st.reveal(r - cw, b - ch, r, b);
      break;
    }
    case 22: {
      const i64 hb = 2 * ((s * h / 2) / n), vb = 2 * ((s * w / 2) / n);
      const i64 top = y + (h - hb) / 2, left = x + (w - vb) / 2;
      st.reveal(x, top, r, top + hb);
      st.reveal(left, y, left + vb, b);
      break;
    }
    default: break;
  }
}

int step_count(int e) { return e >= 17 ? 20 : 100; }

// What a transition needs that can be checked before it starts: false when nothing would show.
struct Plan {
  PictureRect now, before;
  RECT client{}, area{};
  int picture_w = 0, picture_h = 0;
};

bool make_plan(HWND hwnd, HBITMAP picture, const PictureRect& now, const PictureRect& before, Plan* plan) {
  if (!IsWindow(hwnd) || !bitmap_size(picture, &plan->picture_w, &plan->picture_h)) return false;
  plan->now = clamped(now);
  plan->before = clamped(before);
  if (plan->now.width <= 0 || plan->now.height <= 0) return false;
  if (!GetClientRect(hwnd, &plan->client)) return false;
  const PictureRect& a = plan->now;
  i64 l = a.x, t = a.y, r = i64{a.x} + a.width, b = i64{a.y} + a.height;
  // No old picture (the first slide, or a file that failed to load): the new one alone.
  if (const PictureRect& o = plan->before; o.width > 0 && o.height > 0) {
    l = std::min<i64>(l, o.x), t = std::min<i64>(t, o.y);
    r = std::max<i64>(r, i64{o.x} + o.width), b = std::max<i64>(b, i64{o.y} + o.height);
  }
  plan->area = intersect(l, t, r, b, plan->client);
  return !empty(plan->area);
}

int run_plan(HWND hwnd, int effect, HBITMAP picture, const Plan& plan, COLORREF background) {
  Stage st;
  st.hwnd = hwnd;
  st.area = plan.area;
  st.client_width = plan.client.right - plan.client.left;
  st.now = plan.now;
  st.picture_w = plan.picture_w;
  st.picture_h = plan.picture_h;
  st.screen = GetDC(hwnd);
  st.brush = CreateSolidBrush(background);
  if (!st.screen || !st.brush) return 0;
  IntersectClipRect(st.screen, st.area.left, st.area.top, st.area.right, st.area.bottom);
  st.picture_dc = CreateCompatibleDC(st.screen);
  if (!st.picture_dc) return 0;
  st.picture_old = SelectObject(st.picture_dc, picture);

  const int aw = static_cast<int>(st.aw()), ah = static_cast<int>(st.ah());
  st.canvas = CreateCompatibleBitmap(st.screen, aw, ah);
  st.canvas_dc = st.canvas ? CreateCompatibleDC(st.screen) : nullptr;
  if (!st.canvas_dc) return 0;  // no memory for the canvas: the caller's paint shows the picture
  st.canvas_old = SelectObject(st.canvas_dc, st.canvas);
  PictureRect in_canvas = st.now;
  in_canvas.x = static_cast<int>(in_canvas.x - st.ax());
  in_canvas.y = static_cast<int>(in_canvas.y - st.ay());
  paint_picture(st.canvas_dc, RECT{0, 0, aw, ah}, picture, in_canvas, background);

  if (effect <= 1 && (st.picture_w != st.now.width || st.picture_h != st.now.height) &&
      i64{st.now.width} * st.now.height <= kScaledCopyLimit) {
    st.scaled = CreateCompatibleBitmap(st.screen, st.now.width, st.now.height);
    st.scaled_dc = st.scaled ? CreateCompatibleDC(st.screen) : nullptr;
    if (st.scaled_dc) {
      st.scaled_old = SelectObject(st.scaled_dc, st.scaled);
      const RECT all{0, 0, st.now.width, st.now.height};
      stretch_picture(st.scaled_dc, all, 0, 0, st.now.width, st.now.height, st.picture_dc, st.picture_w,
                      st.picture_h);
    }  // else the slide stretches at every step
  }

  const int n = step_count(effect);
  for (int s = 0; s < n; ++s) {
    if (key_pending()) return 1;
    step_effect(st, effect, s, n);
    Present();
    Sleep(kStepPauseMs);
  }
  st.reveal(st.ax(), st.ay(), st.ax() + st.aw(), st.ay() + st.ah());
  Present();
  return 0;
}

}  // namespace

int transition_effect_at(int index) { return effect_order()[static_cast<size_t>(wrap_index(index))]; }

int next_transition_effect(int* counter) {
  if (!counter) return transition_effect_at(0);
  const int i = wrap_index(*counter);
  *counter = wrap_index(i + 1);
  return transition_effect_at(i);
}

bool key_pending() {
  MSG m;
  return PeekMessage(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE) ||
         PeekMessage(&m, nullptr, WM_HOTKEY, WM_HOTKEY, PM_NOREMOVE);
}

int run_transition(HWND hwnd, int* counter, HBITMAP picture, const PictureRect& now, const PictureRect& before,
                   COLORREF background) {
  Plan plan;
  if (!make_plan(hwnd, picture, now, before, &plan)) return 0;
  return run_plan(hwnd, next_transition_effect(counter), picture, plan, background);
}

int run_transition_effect(HWND hwnd, int effect, HBITMAP picture, const PictureRect& now, const PictureRect& before,
                          COLORREF background) {
  Plan plan;
  if (!make_plan(hwnd, picture, now, before, &plan)) return 0;
  return run_plan(hwnd, wrap_index(effect), picture, plan, background);
}

void paint_picture(HDC dc, const RECT& client, HBITMAP picture, const PictureRect& at_in, COLORREF background) {
  if (!dc) return;
  const PictureRect at = clamped(at_in);
  int pw = 0, ph = 0;
  const bool has_picture = bitmap_size(picture, &pw, &ph) && at.width > 0 && at.height > 0;
  HBRUSH brush = CreateSolidBrush(background);
  if (brush) {
    fill_bands(dc, client, has_picture ? at : PictureRect{}, brush);
    DeleteObject(brush);
  }
  if (!has_picture) return;
  HDC mem = CreateCompatibleDC(dc);
  if (!mem) return;
  HGDIOBJ old = SelectObject(mem, picture);
  stretch_picture(dc, client, at.x, at.y, at.width, at.height, mem, pw, ph);
  SelectObject(mem, old);
  DeleteDC(mem);
}

}  // namespace lumora::app
