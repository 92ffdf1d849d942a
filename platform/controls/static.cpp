// Static text: a label, wrapped over several lines when it does not fit on one. With SS_NOTIFY a
// click (or the action key, when it takes the focus) sends STN_CLICKED to the parent.
#include "platform/controls/control_base.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct Static {
  HFONT font = nullptr;
};

StateMap<Static>& states() {
  static StateMap<Static> m;
  return m;
}

DWORD style_of(HWND h) { return static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE)); }

void paint(HWND h, Static& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT c;
  GetClientRect(h, &c);
  ui::fill(dc, c, ui::kWindow);
  DWORD st = style_of(h);
  std::string t = GetWindowText(h);
  if (!(st & SS_NOPREFIX)) t = without_prefix(t);
  DWORD kind = st & SS_TYPEMASK;
  UINT fmt = kind == SS_CENTER ? DT_CENTER : kind == SS_RIGHT ? DT_RIGHT : DT_LEFT;
  HFONT f = control_font(s.font);
  HGDIOBJ old = SelectObject(dc, f);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(h) ? ((st & SS_NOTIFY) ? ui::kAccent : ui::kText) : ui::kGreyText);
  RECT r = c;
  SIZE one;
  GetTextExtentPoint32(dc, t, &one);
  if (one.cx <= RectWidth(c)) DrawText(dc, t, &r, fmt | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  else DrawText(dc, t, &r, fmt | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  if (has_focus(h)) ui::focus_frame(dc, c);
  EndPaint(h, &ps);
}

LRESULT static_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT unhandled = 0;
  Static* sp = states().for_message(h, msg, wp, lp, &unhandled);
  if (!sp) return unhandled;
  switch (msg) {
    case WM_NCDESTROY:
      states().erase(h);
      return 0;
    case WM_PAINT:
      paint(h, *sp);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTEXT:
      DefWindowProc(h, msg, wp, lp);
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    case WM_SETFONT:
      sp->font = reinterpret_cast<HFONT>(wp);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(sp->font);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_STATIC | ((wp == VK_RETURN && (style_of(h) & SS_NOTIFY)) ? DLGC_WANTALLKEYS : 0);
    case WM_KEYDOWN:
      if (wp == VK_RETURN && (style_of(h) & SS_NOTIFY)) {
        command_parent(h, STN_CLICKED);
        return 0;
      }
      return pass_key_to_parent(h, msg, wp, lp);
    case WM_KEYUP:
    case WM_CHAR:
      return pass_key_to_parent(h, msg, wp, lp);
    case WM_LBUTTONUP:
      if (style_of(h) & SS_NOTIFY) command_parent(h, STN_CLICKED);
      return 0;
    default:
      return DefWindowProc(h, msg, wp, lp);
  }
}

}  // namespace

namespace ctl {
void register_static() {
  WNDCLASS wc;
  wc.lpfnWndProc = static_proc;
  wc.lpszClassName = WC_STATIC;
  RegisterClass(&wc);
}
}  // namespace ctl

}  // namespace lumora::plat
