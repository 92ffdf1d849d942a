// Shared helpers of the controls and the registration of their classes.
#include "platform/controls/control_base.h"

#include <algorithm>
#include <cstring>

#include "platform/menu/menubar.h"

namespace lumora::plat {

namespace ctl {

LRESULT notify_parent(HWND hwnd, NMHDR* hdr, int code) {
  hdr->hwndFrom = hwnd;
  hdr->idFrom = static_cast<uintptr_t>(GetDlgCtrlID(hwnd));
  hdr->code = code;
  HWND parent = GetParent(hwnd);
  if (!parent) return 0;
  return SendMessage(parent, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr));
}

void command_parent(HWND hwnd, WORD code) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

LRESULT pass_key_to_parent(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!(GetWindowLongPtr(hwnd, GWL_STYLE) & WS_CHILD)) return 0;
  HWND parent = GetParent(hwnd);
  return parent ? SendMessage(parent, msg, wp, lp) : 0;
}

LRESULT shared_answer(HWND hwnd, ControlState& state, unsigned shared, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFONT:
      if (!(shared & kKeepsFont)) break;
      state.font = reinterpret_cast<HFONT>(wp);
      return 0;
    case WM_GETFONT:
      if (!(shared & kKeepsFont)) break;
      return reinterpret_cast<LRESULT>(state.font);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (!(shared & kRedrawsOnFocus)) break;
      if (shared & kNotifiesFocus) {
        NMHDR hdr;
        notify_parent(hwnd, &hdr, msg == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ENABLE:
      if (!(shared & kRedrawsOnEnable)) break;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SETTEXT:
      if (!(shared & kRedrawsOnText)) break;
      DefWindowProc(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      if (!(shared & kPassesKeys)) break;
      return pass_key_to_parent(hwnd, msg, wp, lp);
    default:
      break;
  }
  return DefWindowProc(hwnd, msg, wp, lp);
}

ControlPaint::ControlPaint(HWND hwnd) : hwnd_(hwnd) {
  dc = BeginPaint(hwnd, &ps_);
  GetClientRect(hwnd, &client);
  focus = has_focus(hwnd);
  enabled = IsWindowEnabled(hwnd) != FALSE;
}

ControlPaint::~ControlPaint() { EndPaint(hwnd_, &ps_); }

int scroll_to_show(int first, int row, int shown, int count) {
  if (row >= 0) {
    if (row < first) first = row;
    else if (row >= first + shown) first = row - shown + 1;
  }
  return std::clamp(first, 0, std::max(0, count - shown));
}

void box_edge(HDC dc, const RECT& r, bool focus) {
  if (focus) ui::focus_frame(dc, r);
  else ui::frame(dc, r, ui::kBorder, 1);
}

COLORREF text_colour(bool enabled) { return enabled ? ui::kText : ui::kGreyText; }

void draw_by_parent(HWND hwnd, DRAWITEMSTRUCT& di, UINT type, HDC dc, const RECT& r) {
  di.CtlType = type;
  di.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
  di.itemAction = ODA_DRAWENTIRE;
  di.hwndItem = hwnd;
  di.hDC = dc;
  di.rcItem = r;
  if (HWND p = GetParent(hwnd)) SendMessage(p, WM_DRAWITEM, di.CtlID, reinterpret_cast<LPARAM>(&di));
}

HFONT control_font(HFONT set) { return set ? set : ui::font(ui::Font::Body); }

int control_line_height(HWND hwnd, HFONT set) {
  HDC dc = GetDC(hwnd);
  int line = ui::line_height(dc, control_font(set));
  ReleaseDC(hwnd, dc);
  return line;
}

int rows_in_client(HWND hwnd, int row_height) {
  RECT c;
  GetClientRect(hwnd, &c);
  return std::max(1, static_cast<int>(RectHeight(c)) / row_height);
}

DWORD style_of(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtr(hwnd, GWL_STYLE)); }

bool has_focus(HWND hwnd) { return GetFocus() == hwnd; }

size_t copy_to_buffer(std::string_view text, char* buf, size_t size) {
  if (!buf || size == 0) return 0;
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
  return n;
}

std::string without_prefix(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') {
        out.push_back('&');
        ++i;
      }
      continue;
    }
    out.push_back(s[i]);
  }
  return out;
}

}  // namespace ctl

BOOL InitCommonControls() {
  static bool done = false;
  // Classes live in the window system's table, which a new start-up empties; register again
  // whenever the list view class is missing.
  WNDCLASS probe;
  if (done && GetClassInfo(nullptr, WC_LISTVIEW, &probe)) return TRUE;
  ctl::register_listview();
  ctl::register_treeview();
  ctl::register_trackbar();
  ctl::register_updown();
  ctl::register_edit();
  ctl::register_button();
  ctl::register_static();
  ctl::register_listbox();
  ctl::register_combobox();
  register_menu_classes();
  done = true;
  return TRUE;
}

}  // namespace lumora::plat
