// Trackbar: a position within a range, moved by Left/Right one line at a time (and by pages with
// the page keys); every move reports to the parent as WM_HSCROLL (WM_VSCROLL with TBS_VERT),
// followed by TB_ENDTRACK.
#include <algorithm>

#include "platform/controls/control_base.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct Trackbar : ControlState {
  int min = 0, max = 100, pos = 0;
  int page = 20, line = 1;
};

bool vertical(HWND h) { return (style_of(h) & TBS_VERT) != 0; }

void set_range(HWND h, Trackbar& t, int lo, int hi, bool redraw) {
  // A range handed over upside down is the same range.
  if (lo > hi) std::swap(lo, hi);
  t.min = lo;
  t.max = hi;
  t.pos = std::clamp(t.pos, t.min, t.max);
  if (redraw) InvalidateRect(h, nullptr, TRUE);
}

void scroll_to(HWND h, Trackbar& t, int pos, int code) {
  pos = std::clamp(pos, t.min, t.max);
  if (pos == t.pos) return;
  t.pos = pos;
  InvalidateRect(h, nullptr, TRUE);
  HWND parent = GetParent(h);
  if (!parent) return;
  UINT msg = vertical(h) ? WM_VSCROLL : WM_HSCROLL;
  SendMessage(parent, msg, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(h));
  if (IsWindow(h)) SendMessage(parent, msg, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(h));
}

void paint(HWND h, Trackbar& t) {
  ControlPaint p(h);
  HDC dc = p.dc;
  const RECT& c = p.client;
  ui::fill(dc, c, ui::kWindow);
  bool focus = p.focus;
  bool vert = vertical(h);
  int thumb = ui::px(12);
  int len = (vert ? RectHeight(c) : RectWidth(c)) - thumb - ui::px(8);
  int span = std::max(1, t.max - t.min);
  int off = len > 0 ? static_cast<int>(static_cast<long long>(len) * (t.pos - t.min) / span) : 0;
  int track = std::max(2, ui::px(4));
  COLORREF active = p.enabled ? ui::kAccent : ui::kGreyText;
  if (!vert) {
    int cy = c.bottom / 2, x0 = ui::px(4) + thumb / 2;
    ui::fill(dc, RECT{x0, cy - track / 2, x0 + std::max(0, len), cy - track / 2 + track}, ui::kFace);
    ui::frame(dc, RECT{x0, cy - track / 2, x0 + std::max(0, len), cy - track / 2 + track}, ui::kBorder, 1);
    ui::fill(dc, RECT{x0, cy - track / 2, x0 + off, cy - track / 2 + track}, active);
    RECT th{x0 + off - thumb / 2, cy - thumb, x0 + off - thumb / 2 + thumb, cy + thumb};
    ui::fill(dc, th, focus ? active : ui::kFace);
    ui::frame(dc, th, focus ? active : ui::kBorder, 1);
  } else {
    int cx = c.right / 2, y0 = ui::px(4) + thumb / 2;
    ui::fill(dc, RECT{cx - track / 2, y0, cx - track / 2 + track, y0 + std::max(0, len)}, ui::kFace);
    ui::fill(dc, RECT{cx - track / 2, y0, cx - track / 2 + track, y0 + off}, active);
    RECT th{cx - thumb, y0 + off - thumb / 2, cx + thumb, y0 + off - thumb / 2 + thumb};
    ui::fill(dc, th, focus ? active : ui::kFace);
    ui::frame(dc, th, focus ? active : ui::kBorder, 1);
  }
  if (focus) ui::focus_frame(dc, c);
}

int lparam_int(LPARAM lp) { return static_cast<int>(static_cast<intptr_t>(lp)); }

std::optional<LRESULT> handle(HWND h, Trackbar& t, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_GETDLGCODE:
      return (is_left_right(wp) || (vertical(h) && is_up_down(wp))) ? DLGC_WANTARROWS : 0;
    case WM_KEYDOWN:
      switch (wp) {
        case VK_LEFT: scroll_to(h, t, t.pos - t.line, TB_LINEUP); return 0;
        case VK_RIGHT: scroll_to(h, t, t.pos + t.line, TB_LINEDOWN); return 0;
        case VK_PRIOR: scroll_to(h, t, t.pos - t.page, TB_PAGEUP); return 0;
        case VK_NEXT: scroll_to(h, t, t.pos + t.page, TB_PAGEDOWN); return 0;
        case VK_HOME: scroll_to(h, t, t.min, TB_TOP); return 0;
        case VK_END: scroll_to(h, t, t.max, TB_BOTTOM); return 0;
        case VK_UP:
        case VK_DOWN:
          if (!vertical(h)) return {};
          scroll_to(h, t, t.pos + (wp == VK_DOWN ? t.line : -t.line), wp == VK_DOWN ? TB_LINEDOWN : TB_LINEUP);
          return 0;
        default:
          return {};
      }
    case WM_LBUTTONDOWN: {
      SetFocus(h);
      RECT c;
      GetClientRect(h, &c);
      int thumb = ui::px(12);
      int len = std::max(1, static_cast<int>((vertical(h) ? RectHeight(c) : RectWidth(c))) - thumb - ui::px(8));
      int at = (vertical(h) ? GET_Y_LPARAM(lp) : GET_X_LPARAM(lp)) - ui::px(4) - thumb / 2;
      scroll_to(h, t, t.min + static_cast<int>(static_cast<long long>(at) * (t.max - t.min) / len), TB_THUMBPOSITION);
      return 0;
    }
    case TBM_GETPOS: return t.pos;
    case TBM_GETRANGEMIN: return t.min;
    case TBM_GETRANGEMAX: return t.max;
    case TBM_SETPOS:
      t.pos = std::clamp(lparam_int(lp), t.min, t.max);
      if (wp) InvalidateRect(h, nullptr, TRUE);
      return 0;
    case TBM_SETRANGE:
      set_range(h, t, static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))),
                static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp))), wp != 0);
      return 0;
    case TBM_SETRANGEMIN: set_range(h, t, lparam_int(lp), std::max(t.max, lparam_int(lp)), wp != 0); return 0;
    case TBM_SETRANGEMAX: set_range(h, t, std::min(t.min, lparam_int(lp)), lparam_int(lp), wp != 0); return 0;
    case TBM_SETPAGESIZE: {
      int old = t.page;
      t.page = std::max(1, lparam_int(lp));
      return old;
    }
    case TBM_GETPAGESIZE: return t.page;
    case TBM_SETLINESIZE: {
      int old = t.line;
      t.line = std::max(1, lparam_int(lp));
      return old;
    }
    case TBM_GETLINESIZE: return t.line;
    default:
      return {};
  }
}

constexpr ControlClass<Trackbar> kTrackbar{
    TRACKBAR_CLASS, kRedrawsOnFocus | kRedrawsOnEnable | kPassesKeys, paint, handle};

}  // namespace

void ctl::register_trackbar() { register_control<kTrackbar>(); }

}  // namespace lumora::plat
