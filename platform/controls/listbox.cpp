// List box: a column of strings with one current entry, moved by Up/Down; with LBS_NOTIFY a
// change sends LBN_SELCHANGE to the parent.
#include <algorithm>

#include "platform/controls/control_base.h"
#include "platform/controls/list_items.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct ListBox : ControlState {
  ListItems items;
  int top = 0;
};

int row_height(HWND h, ListBox& b) { return control_line_height(h, b.font) + ui::px(6); }

void keep_visible(HWND h, ListBox& b) {
  b.top = scroll_to_show(b.top, b.items.cur, rows_in_client(h, row_height(h, b)), b.items.count());
}

void select(HWND h, ListBox& b, int i, bool notify) {
  if (i == b.items.cur) return;
  b.items.cur = i;
  keep_visible(h, b);
  InvalidateRect(h, nullptr, TRUE);
  if (notify && (style_of(h) & LBS_NOTIFY)) command_parent(h, LBN_SELCHANGE);
}

// Emptied, the list scrolls back to its top as keep_visible clamps it.
constexpr StringList<ListBox> kListBoxList{{LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_SETCURSEL,
                                            LB_GETCURSEL, LB_GETCOUNT, LB_GETTEXT, LB_GETTEXTLEN, LB_GETITEMDATA,
                                            LB_SETITEMDATA, LB_FINDSTRINGEXACT},
                                           LB_ERR, LBS_SORT, select, keep_visible};

void paint(HWND h, ListBox& b) {
  ControlPaint p(h);
  HDC dc = p.dc;
  const RECT& c = p.client;
  ui::fill(dc, c, ui::kWindow);
  int rh = row_height(h, b);
  bool focus = p.focus;
  for (int i = b.top, y = 0; i < b.items.count() && y < c.bottom; ++i, y += rh) {
    bool cur = i == b.items.cur;
    if (cur) ui::fill(dc, RECT{ui::px(2), y + 1, c.right - ui::px(2), y + rh - 1}, focus ? ui::kAccent : ui::kAccentLight);
    RECT tr{ui::px(8), y, c.right - ui::px(8), y + rh};
    ui::text(dc, b.items.entries[static_cast<size_t>(i)].text, tr, DT_LEFT | DT_VCENTER,
             cur && focus ? ui::kAccentText : ui::kText, control_font(b.font));
  }
  box_edge(dc, c, focus);
}

std::optional<LRESULT> handle(HWND h, ListBox& b, UINT msg, WPARAM wp, LPARAM lp) {
  ListItems& it = b.items;
  switch (msg) {
    case WM_GETDLGCODE:
      return is_up_down(wp) ? DLGC_WANTARROWS : 0;
    case WM_KEYDOWN:
      if (is_up_down(wp)) {
        if (it.count() == 0) return 0;
        int next = it.cur < 0 ? 0 : it.cur + (wp == VK_DOWN ? 1 : -1);
        if (next >= 0 && next < it.count()) select(h, b, next, true);
        return 0;
      }
      return {};
    case WM_LBUTTONDOWN: {
      SetFocus(h);
      int i = b.top + GET_Y_LPARAM(lp) / row_height(h, b);
      if (it.valid(i)) select(h, b, i, true);
      return 0;
    }
    case LB_GETTOPINDEX: return b.top;
    case LB_SETTOPINDEX:
      b.top = std::clamp(static_cast<int>(wp), 0, std::max(0, it.count() - 1));
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    default:
      return answer_list_message(h, b, kListBoxList, msg, wp, lp);
  }
}

// A list box has no disabled look, so enabling it changes nothing on screen.
constexpr ControlClass<ListBox> kListBox{WC_LISTBOX, kKeepsFont | kRedrawsOnFocus | kPassesKeys, paint, handle};

}  // namespace

void ctl::register_listbox() { register_control<kListBox>(); }

}  // namespace lumora::plat
