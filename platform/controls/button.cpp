// Push buttons and check boxes (also radio buttons). The action key clicks the focused button; a
// click toggles an automatic check box and sends BN_CLICKED to the parent.
#include <algorithm>

#include "platform/controls/control_base.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct Button : ControlState {
  LRESULT check = BST_UNCHECKED;
  bool pushed = false;
};

DWORD kind_of(HWND h) { return style_of(h) & BS_TYPEMASK; }
bool is_check(DWORD k) { return k == BS_CHECKBOX || k == BS_AUTOCHECKBOX; }
bool is_radio(DWORD k) { return k == BS_RADIOBUTTON || k == BS_AUTORADIOBUTTON; }
// The action key, or the space bar of a desktop keyboard.
bool is_click_key(WPARAM key) { return key == VK_RETURN || key == VK_SPACE; }

void paint(HWND h, Button& b) {
  ControlPaint p(h);
  const RECT& c = p.client;
  DWORD k = kind_of(h);
  std::string label = without_prefix(GetWindowText(h));
  HFONT f = control_font(b.font);
  if (k == BS_OWNERDRAW) {
    DRAWITEMSTRUCT di;
    di.itemState = (p.focus ? ODS_FOCUS : 0) | (b.pushed ? ODS_SELECTED : 0) | (p.enabled ? 0 : ODS_DISABLED);
    draw_by_parent(h, di, ODT_BUTTON, p.dc, c);
    return;
  }
  ui::fill(p.dc, c, ui::kWindow);
  COLORREF fg = text_colour(p.enabled);
  if (is_check(k) || is_radio(k)) {
    int box = std::min(static_cast<int>(RectHeight(c)) - ui::px(4), ui::px(14));
    RECT br{c.left + ui::px(4), c.top + (RectHeight(c) - box) / 2, 0, 0};
    br.right = br.left + box;
    br.bottom = br.top + box;
    if (is_radio(k)) {
      ui::disc(p.dc, br, fg);
      RECT inner = br;
      InflateRect(&inner, -1, -1);
      ui::disc(p.dc, inner, ui::kWindow);
      if (b.check == BST_CHECKED) ui::radio_dot(p.dc, br, ui::kAccent);
    } else {
      ui::frame(p.dc, br, fg, 1);
      if (b.check == BST_CHECKED) {
        RECT inner = br;
        InflateRect(&inner, -1, -1);
        ui::check_mark(p.dc, inner, p.enabled ? ui::kAccent : ui::kGreyText);
      }
    }
    RECT tr{br.right + ui::px(6), c.top, c.right - ui::px(2), c.bottom};
    ui::text(p.dc, label, tr, DT_LEFT | DT_VCENTER, fg, f);
  } else {
    RECT face = c;
    InflateRect(&face, -ui::px(1), -ui::px(1));
    ui::fill(p.dc, face, b.pushed ? ui::kAccentLight : ui::kFace);
    ui::frame(p.dc, face, ui::kBorder, 1);
    ui::text(p.dc, label, face, DT_CENTER | DT_VCENTER, fg, (kind_of(h) == BS_DEFPUSHBUTTON) ? ui::font(ui::Font::Bold) : f);
  }
  if (p.focus) ui::focus_frame(p.dc, c);
}

void click(HWND h, Button& b) {
  if (!IsWindowEnabled(h)) return;
  DWORD k = kind_of(h);
  if (k == BS_AUTOCHECKBOX) b.check = b.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  if (k == BS_AUTORADIOBUTTON) {
    // The other radio buttons of the parent lose their mark.
    if (HWND p = GetParent(h))
      for (HWND s = GetWindow(p, GW_CHILD); s; s = GetWindow(s, GW_HWNDNEXT))
        if (s != h && GetClassName(s) == WC_BUTTON && kind_of(s) == BS_AUTORADIOBUTTON) SendMessage(s, BM_SETCHECK, BST_UNCHECKED, 0);
    b.check = BST_CHECKED;
  }
  InvalidateRect(h, nullptr, TRUE);
  command_parent(h, BN_CLICKED);
}

std::optional<LRESULT> handle(HWND h, Button& b, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_GETDLGCODE:
      return wp == VK_RETURN ? DLGC_BUTTON : 0;
    case WM_KEYDOWN:
      if (!is_click_key(wp)) return {};
      click(h, b);
      return 0;
    case WM_KEYUP:
    case WM_CHAR:
      // The release and the character of a click key belong to the click.
      if (is_click_key(wp)) return 0;
      return {};
    case WM_LBUTTONDOWN:
      SetFocus(h);
      b.pushed = true;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_LBUTTONUP:
      if (b.pushed) {
        b.pushed = false;
        click(h, b);
      }
      return 0;
    case BM_CLICK:
      click(h, b);
      return 0;
    case BM_GETCHECK:
      return b.check;
    case BM_SETCHECK:
      b.check = wp == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case BM_GETSTATE:
      return b.check | (b.pushed ? 0x4 : 0) | (has_focus(h) ? 0x8 : 0);
    case BM_SETSTATE:
      b.pushed = wp != 0;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    default:
      return {};
  }
}

constexpr ControlClass<Button> kButton{
    WC_BUTTON, kKeepsFont | kRedrawsOnFocus | kRedrawsOnEnable | kRedrawsOnText | kPassesKeys, paint, handle};

}  // namespace

void ctl::register_button() { register_control<kButton>(); }

}  // namespace lumora::plat
