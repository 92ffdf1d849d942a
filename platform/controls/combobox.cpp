// Drop-down list (combo box): one line showing the current entry between two arrows. Left/Right
// step through the entries; the action key opens the whole list as a menu to choose from. Each
// change sends CBN_SELCHANGE to the parent.
#include <algorithm>

#include "platform/controls/control_base.h"
#include "platform/controls/list_items.h"
#include "platform/menu/menu.h"
#include "platform/system/system.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct Combo : ControlState {
  ListItems items;
  bool dropped = false;
};

StateMap<Combo>& states() { return StateMap<Combo>::instance(); }

void select(HWND h, Combo& c, int i, bool notify) {
  if (i == c.items.cur) return;
  c.items.cur = i;
  InvalidateRect(h, nullptr, TRUE);
  if (notify) command_parent(h, CBN_SELCHANGE);
}

constexpr StringList<Combo> kComboList{{CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT, CB_SETCURSEL,
                                         CB_GETCURSEL, CB_GETCOUNT, CB_GETLBTEXT, CB_GETLBTEXTLEN, CB_GETITEMDATA,
                                         CB_SETITEMDATA, CB_FINDSTRINGEXACT},
                                        CB_ERR, CBS_SORT, select, nullptr};

// The list as a popup menu with the current entry checked; returns after the choice.
void drop_down(HWND h, Combo& c) {
  if (c.items.count() == 0 || c.dropped) return;
  command_parent(h, CBN_DROPDOWN);
  Combo* cp = states().get(h);
  if (!cp) return;
  HMENU m = CreatePopupMenu();
  for (int i = 0; i < cp->items.count(); ++i)
    AppendMenu(m, MF_STRING | (i == cp->items.cur ? MF_CHECKED | MFT_RADIOCHECK : 0), static_cast<uintptr_t>(i + 1),
               cp->items.entries[static_cast<size_t>(i)].text);
  RECT wr;
  GetWindowRect(h, &wr);
  cp->dropped = true;
  int chosen = TrackPopupMenuEx(m, TPM_RETURNCMD | TPM_NONOTIFY, wr.left, wr.bottom, h, nullptr);
  DestroyMenu(m);
  cp = states().get(h);
  if (!cp) return;
  cp->dropped = false;
  if (chosen > 0 && chosen <= cp->items.count()) {
    command_parent(h, CBN_SELENDOK);
    if ((cp = states().get(h))) select(h, *cp, chosen - 1, true);
  } else {
    command_parent(h, CBN_SELENDCANCEL);
  }
  if (IsWindow(h)) command_parent(h, CBN_CLOSEUP);
}

void paint(HWND h, Combo& c) {
  ControlPaint p(h);
  const RECT& r = p.client;
  ui::fill(p.dc, r, p.enabled ? ui::kWindow : ui::kFace);
  box_edge(p.dc, r, p.focus);
  int arrow = ui::px(14);
  COLORREF ac = !p.enabled ? ui::kGreyText : p.focus ? ui::kAccent : ui::kBorder;
  bool can_left = c.items.cur > 0, can_right = c.items.cur + 1 < c.items.count();
  ui::triangle(p.dc, RECT{ui::px(3), 0, ui::px(3) + arrow, r.bottom}, 3, can_left ? ac : ui::kFace);
  ui::triangle(p.dc, RECT{r.right - ui::px(3) - arrow, 0, r.right - ui::px(3), r.bottom}, 1, can_right ? ac : ui::kFace);
  if (c.items.valid(c.items.cur))
    ui::text(p.dc, c.items.entries[static_cast<size_t>(c.items.cur)].text,
             RECT{ui::px(5) + arrow, 0, r.right - ui::px(5) - arrow, r.bottom}, DT_LEFT | DT_VCENTER,
             text_colour(p.enabled), control_font(c.font));
}

std::optional<LRESULT> handle(HWND h, Combo& c, UINT msg, WPARAM wp, LPARAM lp) {
  ListItems& it = c.items;
  switch (msg) {
    case WM_CREATE: {
      // A dialog template gives a drop-down list the height of its open list; the closed control
      // is one line high.
      RECT wr;
      GetWindowRect(h, &wr);
      int line = control_line_height(h, c.font) + ui::px(10);
      if (RectHeight(wr) > line * 2) SetWindowPos(h, nullptr, 0, 0, RectWidth(wr), line, SWP_NOMOVE | SWP_NOZORDER);
      return 0;
    }
    case WM_GETDLGCODE:
      return wp == VK_RETURN ? DLGC_WANTALLKEYS : is_left_right(wp) ? DLGC_WANTARROWS : 0;
    case WM_KEYDOWN:
      switch (wp) {
        case VK_LEFT:
          if (it.cur > 0) select(h, c, it.cur - 1, true);
          else if (it.cur < 0 && it.count()) select(h, c, 0, true);
          return 0;
        case VK_RIGHT:
          if (it.cur + 1 < it.count()) select(h, c, it.cur + 1, true);
          return 0;
        case VK_RETURN:
          drop_down(h, c);
          return 0;
        default:
          return {};
      }
    case WM_CHAR:
      // The character of the action key, which opened the list.
      if (wp == '\r') return 0;
      return {};
    case WM_LBUTTONDOWN:
      SetFocus(h);
      drop_down(h, c);
      return 0;
    case WM_GETTEXTLENGTH:
      return it.valid(it.cur) ? it.copy_text(it.cur, nullptr) : 0;
    case WM_GETTEXT: {
      std::string_view t = it.valid(it.cur) ? std::string_view(it.entries[static_cast<size_t>(it.cur)].text) : std::string_view();
      return static_cast<LRESULT>(copy_to_buffer(t, reinterpret_cast<char*>(lp), wp));
    }
    case CB_SHOWDROPDOWN:
      if (wp) drop_down(h, c);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return c.dropped ? TRUE : FALSE;
    default:
      return answer_list_message(h, c, kComboList, msg, wp, lp);
  }
}

constexpr ControlClass<Combo> kCombo{
    WC_COMBOBOX, kKeepsFont | kRedrawsOnFocus | kRedrawsOnEnable | kPassesKeys, paint, handle};

}  // namespace

void ctl::register_combobox() { register_control<kCombo>(); }

}  // namespace lumora::plat
