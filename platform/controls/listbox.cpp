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
  int rows = rows_in_client(h, row_height(h, b));
  if (b.items.cur >= 0) {
    if (b.items.cur < b.top) b.top = b.items.cur;
    if (b.items.cur >= b.top + rows) b.top = b.items.cur - rows + 1;
  }
  b.top = std::clamp(b.top, 0, std::max(0, b.items.count() - rows));
}

void select(HWND h, ListBox& b, int i, bool notify) {
  if (i == b.items.cur) return;
  b.items.cur = i;
  keep_visible(h, b);
  InvalidateRect(h, nullptr, TRUE);
  if (notify && (style_of(h) & LBS_NOTIFY)) command_parent(h, LBN_SELCHANGE);
}

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
      return (wp == VK_UP || wp == VK_DOWN) ? DLGC_WANTARROWS : 0;
    case WM_KEYDOWN:
      if (wp == VK_UP || wp == VK_DOWN) {
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
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      int i = it.insert(msg == LB_ADDSTRING ? -1 : static_cast<int>(static_cast<intptr_t>(wp)),
                        reinterpret_cast<const char*>(lp), msg == LB_ADDSTRING && (style_of(h) & LBS_SORT));
      InvalidateRect(h, nullptr, TRUE);
      return i;
    }
    case LB_DELETESTRING:
      if (!it.erase(static_cast<int>(wp))) return LB_ERR;
      keep_visible(h, b);
      InvalidateRect(h, nullptr, TRUE);
      return it.count();
    case LB_RESETCONTENT:
      it.entries.clear();
      it.cur = -1;
      b.top = 0;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case LB_SETCURSEL: {
      int i = static_cast<int>(static_cast<intptr_t>(wp));
      select(h, b, it.valid(i) ? i : -1, false);
      return it.valid(i) ? i : LB_ERR;
    }
    case LB_GETCURSEL: return it.cur;
    case LB_GETCOUNT: return it.count();
    case LB_GETTEXT: return it.copy_text(static_cast<int>(wp), reinterpret_cast<char*>(lp));
    case LB_GETTEXTLEN: return it.copy_text(static_cast<int>(wp), nullptr);
    case LB_GETITEMDATA: return it.valid(static_cast<int>(wp)) ? static_cast<LRESULT>(it.entries[wp].data) : LB_ERR;
    case LB_SETITEMDATA:
      if (!it.valid(static_cast<int>(wp))) return LB_ERR;
      it.entries[wp].data = static_cast<uintptr_t>(lp);
      return TRUE;
    case LB_GETTOPINDEX: return b.top;
    case LB_SETTOPINDEX:
      b.top = std::clamp(static_cast<int>(wp), 0, std::max(0, it.count() - 1));
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case LB_FINDSTRINGEXACT:
      return it.find_exact(static_cast<int>(static_cast<intptr_t>(wp)), reinterpret_cast<const char*>(lp));
    default:
      return {};
  }
}

// A list box has no disabled look, so enabling it changes nothing on screen.
constexpr ControlClass<ListBox> kListBox{WC_LISTBOX, kKeepsFont | kRedrawsOnFocus | kPassesKeys, paint, handle};

}  // namespace

void ctl::register_listbox() { register_control<kListBox>(); }

}  // namespace lumora::plat
