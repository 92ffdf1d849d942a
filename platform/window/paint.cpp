// Invalidation, visible regions and the paint cycle.
#include <algorithm>

#include "platform/gdi/gdi_internal.h"
#include "platform/system/system.h"
#include "platform/window/window_impl.h"

namespace lumora::plat {

RECT client_screen_rect(const Window* w) {
  POINT o = client_origin(w);
  RECT cl = client_rect_local(w);
  return RECT{o.x, o.y, o.x + RectWidth(cl), o.y + RectHeight(cl)};
}

namespace {

RECT screen_bounds() { return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void add_update(Window* w, const RECT& client_area, bool erase) {
  RECT cl = client_rect_local(w);
  RECT bounds{0, 0, RectWidth(cl), RectHeight(cl)};
  RECT r;
  if (!IntersectRect(&r, &client_area, &bounds)) return;
  w->update.add(r);
  if (erase) w->erase_pending = true;
  w->queue->cv.notify_all();
}

// Every visible window under a screen area gets that part added to its update region.
void expose(HWND h, const RECT& area) {
  Window* w = win(h);
  if (!w || !(w->style & WS_VISIBLE)) return;
  RECT ws = window_screen_rect(w);
  RECT hit;
  if (!IntersectRect(&hit, &ws, &area)) return;
  POINT o = client_origin(w);
  RECT local = hit;
  OffsetRect(&local, -o.x, -o.y);
  add_update(w, local, true);
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) expose(c, hit);
}

}  // namespace

Region visible_region(const Window* w) {
  Region reg;
  if (!IsWindowVisible(w->handle)) return reg;
  reg.add(client_screen_rect(w));
  for (const Window* cur = w; cur;) {
    Window* p = win(cur->parent);
    const std::vector<HWND> sib = p ? p->children : top_level_windows();
    if (p) reg.intersect(client_screen_rect(p));
    // Siblings above in the z-order cover this window.
    for (HWND s : sib) {
      if (s == cur->handle) break;
      Window* sw = win(s);
      if (sw && (sw->style & WS_VISIBLE)) reg.subtract(window_screen_rect(sw));
    }
    cur = p;
  }
  if (w->style & WS_CLIPCHILDREN) {
    for (HWND c : w->children) {
      Window* cw = win(c);
      if (cw && (cw->style & WS_VISIBLE)) reg.subtract(window_screen_rect(cw));
    }
  }
  reg.intersect(screen_bounds());
  return reg;
}

void invalidate_screen_area(const RECT& area) {
  RECT r;
  RECT sb = screen_bounds();
  if (!IntersectRect(&r, &area, &sb)) return;
  std::vector<HWND> top = top_level_windows();
  Region desktop(r);
  for (HWND t : top) {
    expose(t, r);
    Window* w = win(t);
    if (w && (w->style & WS_VISIBLE)) desktop.subtract(window_screen_rect(w));
  }
  // Screen not covered by any window is black.
  if (!desktop.empty()) {
    HDC dc = make_screen_dc(nullptr, POINT{0, 0}, desktop);
    fill_device_rect(dc_cast(dc), r, 0);
    free_screen_dc(dc);
  }
}

BOOL InvalidateRect(HWND hwnd, const RECT* r, BOOL erase) {
  if (!hwnd) {
    invalidate_screen_area(screen_bounds());
    return TRUE;
  }
  Window* w = win(hwnd);
  if (!w) return FALSE;
  if (!IsWindowVisible(hwnd)) return TRUE;
  RECT cl = client_rect_local(w);
  RECT area = r ? *r : RECT{0, 0, RectWidth(cl), RectHeight(cl)};
  add_update(w, area, erase != FALSE);
  // Without WS_CLIPCHILDREN the parent paints over its children, so they are repainted too.
  if (!(w->style & WS_CLIPCHILDREN)) {
    POINT o = client_origin(w);
    RECT screen_area = area;
    OffsetRect(&screen_area, o.x, o.y);
    std::vector<HWND> kids = w->children;
    for (HWND c : kids) expose(c, screen_area);
  }
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* r) {
  Window* w = win(hwnd);
  if (!w) return FALSE;
  if (r) {
    w->update.subtract(*r);
  } else {
    w->update.clear();
  }
  if (w->update.empty()) w->erase_pending = false;
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* r, BOOL) {
  Window* w = win(hwnd);
  if (!w) return FALSE;
  if (r) *r = w->update.bounds();
  return w->update.empty() ? FALSE : TRUE;
}

HWND find_window_to_paint(ThreadQueue& q, HWND filter) {
  // Parents before children, windows further back before windows in front.
  std::vector<HWND> stack;
  std::vector<HWND> top = top_level_windows();
  for (HWND t : top) stack.push_back(t);  // the last pushed (backmost) is visited first
  while (!stack.empty()) {
    HWND h = stack.back();
    stack.pop_back();
    Window* w = win(h);
    if (!w || !(w->style & WS_VISIBLE)) continue;
    if (w->queue.get() == &q && !w->update.empty() && (!filter || filter == h || IsChild(filter, h))) return h;
    for (HWND c : w->children) stack.push_back(c);
  }
  return nullptr;
}

BOOL UpdateWindow(HWND hwnd) {
  Window* w = win(hwnd);
  if (!w) return FALSE;
  if (!w->update.empty() && IsWindowVisible(hwnd)) {
    SendMessage(hwnd, WM_PAINT, 0, 0);
    if (Window* after = win(hwnd)) after->update.clear(), after->erase_pending = false;
  }
  return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* r, UINT flags) {
  Window* w = win(hwnd);
  if (!w) return FALSE;
  if (flags & RDW_INVALIDATE) {
    InvalidateRect(hwnd, r, (flags & RDW_ERASE) ? TRUE : FALSE);
    if ((flags & RDW_ALLCHILDREN) && (w->style & WS_CLIPCHILDREN)) {
      POINT o = client_origin(w);
      RECT cl = client_rect_local(w);
      RECT area = r ? *r : RECT{0, 0, RectWidth(cl), RectHeight(cl)};
      OffsetRect(&area, o.x, o.y);
      for (HWND c : std::vector<HWND>(w->children)) expose(c, area);
    }
  }
  if (flags & RDW_UPDATENOW) {
    std::vector<HWND> order{hwnd};
    for (size_t i = 0; i < order.size(); ++i)
      if (Window* x = win(order[i])) order.insert(order.end(), x->children.begin(), x->children.end());
    for (HWND h : order) UpdateWindow(h);
  }
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  Window* w = win(hwnd);
  if (!w || !ps) return nullptr;
  Region update = w->update;
  bool erase = w->erase_pending;
  w->update.clear();
  w->erase_pending = false;
  paint_nonclient(w);
  POINT o = client_origin(w);
  Region clip = visible_region(w);
  Region screen_update = update;
  screen_update.offset(o.x, o.y);
  clip.intersect(screen_update);
  HDC hdc = make_screen_dc(hwnd, o, clip);
  ps->hdc = hdc;
  ps->rcPaint = update.bounds();
  ps->fErase = FALSE;
  if (erase && hdc) ps->fErase = SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
  return hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* ps) {
  if (!ps || !ps->hdc) return FALSE;
  free_screen_dc(ps->hdc);
  mark_screen_dirty();
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (!hwnd) return make_screen_dc(nullptr, POINT{0, 0}, Region(screen_bounds()));
  Window* w = win(hwnd);
  if (!w) return nullptr;
  return make_screen_dc(hwnd, client_origin(w), visible_region(w));
}

int ReleaseDC(HWND, HDC hdc) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !dc->screen) return 0;
  free_screen_dc(hdc);
  return 1;
}

}  // namespace lumora::plat
