// Static text: a label, wrapped over several lines when it does not fit on one. With SS_NOTIFY a
// click (or the action key, when it takes the focus) sends STN_CLICKED to the parent.
#include "platform/controls/control_base.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct Static : ControlState {};

void paint(HWND h, Static& s) {
  ControlPaint p(h);
  HDC dc = p.dc;
  const RECT& c = p.client;
  ui::fill(dc, c, ui::kWindow);
  DWORD st = style_of(h);
  std::string t = GetWindowText(h);
  if (!(st & SS_NOPREFIX)) t = without_prefix(t);
  DWORD kind = st & SS_TYPEMASK;
  UINT fmt = kind == SS_CENTER ? DT_CENTER : kind == SS_RIGHT ? DT_RIGHT : DT_LEFT;
  HFONT f = control_font(s.font);
  HGDIOBJ old = SelectObject(dc, f);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, p.enabled ? ((st & SS_NOTIFY) ? ui::kAccent : ui::kText) : ui::kGreyText);
  RECT r = c;
  SIZE one;
  GetTextExtentPoint32(dc, t, &one);
  if (one.cx <= RectWidth(c)) DrawText(dc, t, &r, fmt | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  else DrawText(dc, t, &r, fmt | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  if (p.focus) ui::focus_frame(dc, c);
}

std::optional<LRESULT> handle(HWND h, Static&, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_STATIC | ((wp == VK_RETURN && (style_of(h) & SS_NOTIFY)) ? DLGC_WANTALLKEYS : 0);
    case WM_KEYDOWN:
      if (wp == VK_RETURN && (style_of(h) & SS_NOTIFY)) {
        command_parent(h, STN_CLICKED);
        return 0;
      }
      return {};
    case WM_LBUTTONUP:
      if (style_of(h) & SS_NOTIFY) command_parent(h, STN_CLICKED);
      return 0;
    default:
      return {};
  }
}

constexpr ControlClass<Static> kStatic{
    WC_STATIC, kKeepsFont | kRedrawsOnFocus | kRedrawsOnEnable | kRedrawsOnText | kPassesKeys, paint, handle};

}  // namespace

void ctl::register_static() { register_control<kStatic>(); }

}  // namespace lumora::plat
