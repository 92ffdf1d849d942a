// Window scroll bars: state, automatic showing and hiding, and non-client drawing.
#include <algorithm>

#include "platform/gdi/gdi_internal.h"
#include "platform/system/system.h"
#include "platform/window/window_impl.h"

namespace lumora::plat {

namespace {

DWORD style_bit(int bar) { return bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL; }

// Whether the range needs a bar at all: the page does not cover it.
bool needs_bar(const Window::ScrollState& s) {
  if (s.max <= s.min) return false;
  if (s.page == 0) return true;
  return static_cast<int64_t>(s.max) - s.min + 1 > static_cast<int64_t>(s.page);
}

int max_pos(const Window::ScrollState& s) {
  int64_t m = static_cast<int64_t>(s.max) - (s.page ? static_cast<int64_t>(s.page) - 1 : 0);
  return static_cast<int>(std::max<int64_t>(s.min, m));
}

void set_bar_visible(HWND hwnd, int bar, bool show) {
  Window* w = win(hwnd);
  if (!w) return;
  DWORD bit = style_bit(bar);
  if (((w->style & bit) != 0) == show) return;
  // The client area changes: the window is told its new size and repainted whole.
  SetWindowLongPtr(hwnd, GWL_STYLE, static_cast<LONG_PTR>(show ? (w->style | bit) : (w->style & ~bit)));
  RECT c;
  GetClientRect(hwnd, &c);
  SendMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
  InvalidateRect(hwnd, nullptr, TRUE);
  if ((w = win(hwnd))) paint_nonclient(w);
}

}  // namespace

void paint_nonclient(Window* w) {
  if (!(w->style & (WS_BORDER | WS_VSCROLL | WS_HSCROLL)) || !IsWindowVisible(w->handle)) return;
  RECT ws = window_screen_rect(w);
  Region vis(ws);
  // Clipped like the client area, but over the whole window rectangle.
  for (Window* cur = w; cur;) {
    Window* p = win(cur->parent);
    const std::vector<HWND> sib = p ? p->children : top_level_windows();
    if (p) vis.intersect(client_screen_rect(p));
    for (HWND s : sib) {
      if (s == cur->handle) break;
      Window* sw = win(s);
      if (sw && (sw->style & WS_VISIBLE)) vis.subtract(window_screen_rect(sw));
    }
    cur = p;
  }
  vis.subtract(client_screen_rect(w));
  if (vis.empty()) return;
  HDC dc = make_screen_dc(w->handle, POINT{ws.left, ws.top}, vis);
  RECT whole{0, 0, RectWidth(ws), RectHeight(ws)};
  FillRect(dc, &whole, GetSysColorBrush(COLOR_SCROLLBAR));
  RECT cl = client_rect_local(w);
  for (int bar : {SB_HORZ, SB_VERT}) {
    if (!(w->style & style_bit(bar))) continue;
    const Window::ScrollState& s = w->scroll[bar];
    // Track along the client edge; the thumb shows the page's share of the range.
    RECT track = bar == SB_VERT ? RECT{cl.right, cl.top, cl.right + GetSystemMetrics(SM_CXVSCROLL), cl.bottom}
                                : RECT{cl.left, cl.bottom, cl.right, cl.bottom + GetSystemMetrics(SM_CYHSCROLL)};
    int len = bar == SB_VERT ? RectHeight(track) : RectWidth(track);
    int64_t range = static_cast<int64_t>(s.max) - s.min + 1;
    if (len <= 0 || range <= 0) continue;
    int thumb = s.page ? static_cast<int>(std::clamp<int64_t>(len * static_cast<int64_t>(s.page) / range, 6, len)) : 6;
    int travel = max_pos(s) - s.min;
    int offset = travel > 0 ? static_cast<int>(static_cast<int64_t>(len - thumb) * (s.pos - s.min) / travel) : 0;
    RECT t = track;
    if (bar == SB_VERT) t.top += offset, t.bottom = t.top + thumb;
    else t.left += offset, t.right = t.left + thumb;
    InflateRect(&t, bar == SB_VERT ? -2 : 0, bar == SB_VERT ? 0 : -2);
    FillRect(dc, &t, GetSysColorBrush(COLOR_BTNSHADOW));
  }
  if (w->style & WS_BORDER) FrameRect(dc, &whole, GetSysColorBrush(COLOR_WINDOWFRAME));
  free_screen_dc(dc);
  mark_screen_dirty();
}

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* si, BOOL redraw) {
  Window* w = win(hwnd);
  if (!w || !si || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  Window::ScrollState& s = w->scroll[bar];
  if (si->fMask & SIF_RANGE) s.min = si->nMin, s.max = std::max(si->nMin, si->nMax);
  if (si->fMask & SIF_PAGE) s.page = si->nPage;
  if (si->fMask & SIF_POS) s.pos = si->nPos;
  s.pos = std::clamp(s.pos, s.min, max_pos(s));
  int pos = s.pos;
  if (si->fMask & (SIF_RANGE | SIF_PAGE)) {
    bool show = needs_bar(s) || (si->fMask & SIF_DISABLENOSCROLL);
    set_bar_visible(hwnd, bar, show);
  }
  if (redraw && (w = win(hwnd))) paint_nonclient(w);
  return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* si) {
  Window* w = win(hwnd);
  if (!w || !si || (bar != SB_HORZ && bar != SB_VERT)) return FALSE;
  const Window::ScrollState& s = w->scroll[bar];
  if (si->fMask & SIF_RANGE) si->nMin = s.min, si->nMax = s.max;
  if (si->fMask & SIF_PAGE) si->nPage = s.page;
  if (si->fMask & SIF_POS) si->nPos = s.pos;
  if (si->fMask & SIF_TRACKPOS) si->nTrackPos = s.pos;
  return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  int old = GetScrollPos(hwnd, bar);
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return old;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = min;
  si.nMax = max;
  return win(hwnd) && (SetScrollInfo(hwnd, bar, &si, redraw), TRUE);
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  if (!win(hwnd)) return FALSE;
  if (bar == SB_HORZ || bar == SB_BOTH) set_bar_visible(hwnd, SB_HORZ, show != FALSE);
  if (bar == SB_VERT || bar == SB_BOTH) set_bar_visible(hwnd, SB_VERT, show != FALSE);
  return TRUE;
}

}  // namespace lumora::plat
