// List view: icon grid (rows, or columns with LVS_ALIGNLEFT), report rows with a column header,
// owner-drawn fixed rows. Items carry texts per column, an image index, a parameter and the
// selected/focused states. Keys move the focus and the selection; the control keeps the focused
// item visible by scrolling whole rows (or columns).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/controls/control_base.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct Column {
  std::string text;
  int width = 0;
  int fmt = LVCFMT_LEFT;
};

struct Item {
  std::vector<std::string> texts;  // per column (sub-item); shorter vectors mean empty texts
  UINT state = 0;
  int image = 0;
  LPARAM param = 0;
};

struct ListView : ControlState {
  std::vector<Column> cols;
  std::vector<Item> items;
  HIMAGELIST il_normal = nullptr, il_small = nullptr;
  DWORD ex_style = 0;
  int mark = -1;    // selection mark
  int scroll = 0;   // first visible row (report, icon) or column (icon with LVS_ALIGNLEFT)
  int spacing_cx = 0, spacing_cy = 0;
  COLORREF bk = ui::kWindow, text = CLR_DEFAULT, text_bk = CLR_DEFAULT;
  bool redraw = true;
  bool in_scrollbar = false;
  DWORD measured_style = 0xFFFFFFFF;  // style the owner-drawn row height was measured for
  int measured_height = 0;
};

StateMap<ListView>& states() { return StateMap<ListView>::instance(); }

DWORD view_of(HWND h) { return style_of(h) & LVS_TYPEMASK; }
bool owner_drawn(HWND h) { return view_of(h) == LVS_REPORT && (style_of(h) & LVS_OWNERDRAWFIXED); }
bool icon_view(HWND h) { return view_of(h) == LVS_ICON; }
bool align_left(HWND h) { return icon_view(h) && (style_of(h) & LVS_ALIGNLEFT); }

struct Metrics {
  RECT client{};
  int line = 0;      // text line height
  int header = 0;    // column header height (report)
  int row = 0;       // row height (report, list)
  int cell_cx = 0, cell_cy = 0;  // icon cell
  int per_line = 1;  // icons per row (or per column with LVS_ALIGNLEFT)
  int lines = 0;     // rows (or columns) of items
  int visible = 1;   // whole rows (or columns) that fit
};

int il_cx(HIMAGELIST il) {
  int cx = 0, cy = 0;
  return ImageList_GetIconSize(il, &cx, &cy) ? cx : 0;
}
int il_cy(HIMAGELIST il) {
  int cx = 0, cy = 0;
  return ImageList_GetIconSize(il, &cx, &cy) ? cy : 0;
}

Metrics metrics(HWND h, ListView& s) {
  Metrics m;
  GetClientRect(h, &m.client);
  m.line = control_line_height(h, s.font);
  int n = static_cast<int>(s.items.size());
  if (icon_view(h)) {
    m.cell_cx = s.spacing_cx > 0 ? s.spacing_cx : std::max(ui::px(64), il_cx(s.il_normal) + ui::px(12));
    m.cell_cy = s.spacing_cy > 0 ? s.spacing_cy : std::max(ui::px(56), il_cy(s.il_normal) + m.line + ui::px(10));
    if (align_left(h)) {
      m.per_line = std::max(1, static_cast<int>(RectHeight(m.client) / m.cell_cy));
      m.visible = std::max(1, static_cast<int>(RectWidth(m.client) / m.cell_cx));
    } else {
      m.per_line = std::max(1, static_cast<int>(RectWidth(m.client) / m.cell_cx));
      m.visible = std::max(1, static_cast<int>(RectHeight(m.client) / m.cell_cy));
    }
    m.lines = (n + m.per_line - 1) / m.per_line;
    return m;
  }
  bool report = view_of(h) == LVS_REPORT;
  m.header = report && !(style_of(h) & LVS_NOCOLUMNHEADER) ? m.line + ui::px(8) : 0;
  m.row = std::max(m.line + ui::px(8), il_cy(s.il_small) + ui::px(2));
  if (owner_drawn(h)) {
    if (s.measured_style != style_of(h)) {
      s.measured_style = style_of(h);
      MEASUREITEMSTRUCT mi;
      mi.CtlType = ODT_LISTVIEW;
      mi.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
      mi.itemHeight = static_cast<UINT>(m.row);
      if (HWND p = GetParent(h)) SendMessage(p, WM_MEASUREITEM, mi.CtlID, reinterpret_cast<LPARAM>(&mi));
      s.measured_height = static_cast<int>(mi.itemHeight);
    }
    if (s.measured_height > 0) m.row = std::max(m.row, s.measured_height);
  }
  m.per_line = 1;
  m.lines = n;
  m.visible = std::max(1, static_cast<int>((RectHeight(m.client) - m.header) / m.row));
  return m;
}

int max_scroll(const Metrics& m) { return std::max(0, m.lines - m.visible); }

int total_width(const ListView& s) {
  int w = 0;
  for (const Column& c : s.cols) w += c.width;
  return w;
}

// Bounds of an item in client coordinates.
RECT item_rect(HWND h, const ListView& s, const Metrics& m, int i) {
  if (icon_view(h)) {
    int line = i / m.per_line, pos = i % m.per_line;
    if (align_left(h)) {
      int x = (line - s.scroll) * m.cell_cx;
      int y = pos * m.cell_cy;
      return RECT{x, y, x + m.cell_cx, y + m.cell_cy};
    }
    int margin = std::max(0, static_cast<int>(RectWidth(m.client) - m.per_line * m.cell_cx) / 2);
    int x = margin + pos * m.cell_cx;
    int y = (line - s.scroll) * m.cell_cy;
    return RECT{x, y, x + m.cell_cx, y + m.cell_cy};
  }
  int y = m.header + (i - s.scroll) * m.row;
  int right = view_of(h) == LVS_REPORT ? std::max(total_width(s), static_cast<int>(m.client.right)) : m.client.right;
  return RECT{0, y, right, y + m.row};
}

const std::string& item_text(const ListView& s, int i, int sub) {
  static const std::string empty;
  if (i < 0 || i >= static_cast<int>(s.items.size())) return empty;
  const Item& it = s.items[static_cast<size_t>(i)];
  return sub >= 0 && sub < static_cast<int>(it.texts.size()) ? it.texts[static_cast<size_t>(sub)] : empty;
}

void update_scrollbars(HWND h, ListView& s) {
  if (s.in_scrollbar || (style_of(h) & LVS_NOSCROLL)) return;
  s.in_scrollbar = true;
  Metrics m = metrics(h, s);
  s.scroll = std::clamp(s.scroll, 0, max_scroll(m));
  int bar = align_left(h) ? SB_HORZ : SB_VERT;
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, m.lines - 1);
  si.nPage = static_cast<UINT>(m.visible);
  si.nPos = s.scroll;
  SetScrollInfo(h, bar, &si, TRUE);
  SCROLLINFO none;
  none.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  SetScrollInfo(h, bar == SB_HORZ ? SB_VERT : SB_HORZ, &none, TRUE);
  // Showing a bar narrows the client area, which may change the layout once more.
  m = metrics(h, s);
  s.scroll = std::clamp(s.scroll, 0, max_scroll(m));
  SetScrollPos(h, bar, s.scroll, TRUE);
  s.in_scrollbar = false;
}

void refresh(HWND h, ListView& s) {
  if (!s.redraw) return;
  update_scrollbars(h, s);
  InvalidateRect(h, nullptr, TRUE);
}

void ensure_visible(HWND h, ListView& s, int i) {
  if (i < 0 || i >= static_cast<int>(s.items.size())) return;
  Metrics m = metrics(h, s);
  int old = s.scroll;
  s.scroll = scroll_to_show(s.scroll, i / m.per_line, m.visible, m.lines);
  if (s.scroll != old) refresh(h, s);
}

// Changes the states of one item with the changing/changed pair; false when the parent refused.
bool set_state(HWND h, ListView& s, int i, UINT state, UINT mask) {
  if (i < 0 || i >= static_cast<int>(s.items.size())) return false;
  mask &= LVIS_FOCUSED | LVIS_SELECTED;
  Item& it = s.items[static_cast<size_t>(i)];
  UINT old_state = it.state;
  UINT new_state = (old_state & ~mask) | (state & mask);
  if (new_state == old_state) return true;
  NMLISTVIEW nm;
  nm.iItem = i;
  nm.uOldState = old_state;
  nm.uNewState = new_state;
  nm.uChanged = LVIF_STATE;
  nm.lParam = it.param;
  if (notify_parent(h, &nm.hdr, LVN_ITEMCHANGING)) return false;
  if (i >= static_cast<int>(s.items.size())) return false;  // the parent changed the list meanwhile
  // Only one item holds the focus.
  if ((new_state & LVIS_FOCUSED) && !(old_state & LVIS_FOCUSED)) {
    for (size_t k = 0; k < s.items.size(); ++k)
      if (static_cast<int>(k) != i && (s.items[k].state & LVIS_FOCUSED)) set_state(h, s, static_cast<int>(k), 0, LVIS_FOCUSED);
  }
  if (i >= static_cast<int>(s.items.size())) return false;
  s.items[static_cast<size_t>(i)].state = new_state;
  if (s.redraw) InvalidateRect(h, nullptr, FALSE);
  NMLISTVIEW done = nm;
  notify_parent(h, &done.hdr, LVN_ITEMCHANGED);
  return true;
}

int focused_index(const ListView& s) {
  for (size_t i = 0; i < s.items.size(); ++i)
    if (s.items[i].state & LVIS_FOCUSED) return static_cast<int>(i);
  return -1;
}

// Moves focus and selection to item i as a key press does: the others lose their selection.
void move_to(HWND h, ListView& s, int i) {
  int n = static_cast<int>(s.items.size());
  if (n == 0) return;
  i = std::clamp(i, 0, n - 1);
  int from = focused_index(s);
  if (from >= 0 && from != i) set_state(h, s, from, 0, LVIS_FOCUSED | LVIS_SELECTED);
  for (int k = 0; k < static_cast<int>(s.items.size()); ++k)
    if (k != i && (s.items[static_cast<size_t>(k)].state & LVIS_SELECTED)) set_state(h, s, k, 0, LVIS_SELECTED);
  set_state(h, s, i, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  s.mark = i;
  ensure_visible(h, s, i);
}

bool on_key(HWND h, ListView& s, UINT vk) {
  int n = static_cast<int>(s.items.size());
  NMLVKEYDOWN kd;
  kd.wVKey = static_cast<WORD>(vk);
  notify_parent(h, &kd.hdr, LVN_KEYDOWN);
  if (!IsWindow(h) || !states().get(h)) return true;
  int cur = focused_index(s);
  if (vk == VK_RETURN) {
    if (cur < 0) return true;
    NMITEMACTIVATE nm;
    nm.iItem = cur;
    nm.lParam = s.items[static_cast<size_t>(cur)].param;
    notify_parent(h, &nm.hdr, LVN_ITEMACTIVATE);
    return true;
  }
  if (n == 0) return is_up_down(vk);
  Metrics m = metrics(h, s);
  int next = cur;
  bool used = true;
  if (cur < 0) {
    next = 0;
    used = is_up_down(vk) || is_left_right(vk);
  } else if (!icon_view(h)) {
    if (vk == VK_UP) next = cur - 1;
    else if (vk == VK_DOWN) next = cur + 1;
    else used = false;
  } else {
    // Along a line the pad moves by one item; across lines by a whole line.
    int along_prev = align_left(h) ? VK_UP : VK_LEFT, along_next = align_left(h) ? VK_DOWN : VK_RIGHT;
    int across_prev = align_left(h) ? VK_LEFT : VK_UP, across_next = align_left(h) ? VK_RIGHT : VK_DOWN;
    if (static_cast<int>(vk) == along_prev) next = cur - 1;
    else if (static_cast<int>(vk) == along_next) next = cur + 1;
    else if (static_cast<int>(vk) == across_prev) next = cur - m.per_line;
    else if (static_cast<int>(vk) == across_next) {
      next = cur + m.per_line;
      // A shorter last line: go to its last item when the pad points below the end.
      if (next >= n && cur / m.per_line < (n - 1) / m.per_line) next = n - 1;
    } else used = false;
  }
  if (!used) return false;
  if (next < 0 || next >= n) return true;  // at the edge: stay
  if (next != cur || !(s.items[static_cast<size_t>(next)].state & LVIS_SELECTED)) move_to(h, s, next);
  return true;
}

void draw_default_item(HWND h, ListView& s, const Metrics& m, HDC dc, int i, const RECT& r, COLORREF fg,
                       COLORREF bg, HFONT f) {
  const Item& it = s.items[static_cast<size_t>(i)];
  bool selected = (it.state & LVIS_SELECTED) && (has_focus(h) || (style_of(h) & LVS_SHOWSELALWAYS));
  bool sel_dim = (it.state & LVIS_SELECTED) && !selected;
  COLORREF text_c = fg != CLR_DEFAULT ? fg : (s.text != CLR_DEFAULT ? s.text : ui::kText);
  COLORREF back_c = bg != CLR_DEFAULT ? bg : (s.text_bk != CLR_DEFAULT ? s.text_bk : CLR_NONE);
  if (selected) text_c = ui::kAccentText, back_c = ui::kAccent;
  else if (sel_dim) back_c = ui::kAccentLight;
  int pad = ui::px(4);
  if (icon_view(h)) {
    RECT tile = r;
    InflateRect(&tile, -ui::px(2), -ui::px(2));
    if (back_c != CLR_NONE) ui::fill(dc, tile, back_c);
    int icx = il_cx(s.il_normal), icy = il_cy(s.il_normal);
    RECT label{tile.left + pad / 2, tile.bottom - m.line - pad / 2, tile.right - pad / 2, tile.bottom - pad / 2};
    if (icx <= 0 || icy <= 0) {
      icx = icy = std::max(0, std::min(static_cast<int>(RectWidth(tile)) - pad * 2, static_cast<int>(label.top - tile.top) - pad));
    }
    RECT icon{tile.left + (RectWidth(tile) - icx) / 2, tile.top + pad / 2, 0, 0};
    icon.right = icon.left + icx;
    icon.bottom = std::min(icon.top + icy, static_cast<int>(label.top) - 1);
    if (ImageList_GetImageCount(s.il_normal) > it.image && it.image >= 0) {
      ImageList_Draw(s.il_normal, it.image, dc, icon.left, icon.top, ILD_NORMAL);
    } else if (RectWidth(icon) > 4 && RectHeight(icon) > 4) {
      // No picture: a plain frame keeps the grid readable.
      ui::fill(dc, icon, selected ? ui::kAccentLight : ui::kFace);
      ui::frame(dc, icon, ui::kBorder, 1);
    }
    ui::text(dc, item_text(s, i, 0), label, DT_CENTER | DT_VCENTER, text_c, f);
    if ((it.state & LVIS_FOCUSED) && has_focus(h)) ui::focus_frame(dc, tile);
    return;
  }
  if (back_c != CLR_NONE) ui::fill(dc, r, back_c);
  int x = r.left;
  bool report = view_of(h) == LVS_REPORT;
  size_t ncols = report ? std::max<size_t>(1, s.cols.size()) : 1;
  for (size_t c = 0; c < ncols; ++c) {
    int w = report && c < s.cols.size() ? s.cols[c].width : RectWidth(r);
    if (w <= 0) continue;
    RECT cell{x + pad, r.top, x + w - pad, r.bottom};
    if (c == 0) {
      int sx = il_cx(s.il_small);
      if (sx > 1 && ImageList_GetImageCount(s.il_small) > it.image && it.image >= 0) {
        ImageList_Draw(s.il_small, it.image, dc, cell.left, r.top + (RectHeight(r) - il_cy(s.il_small)) / 2, ILD_NORMAL);
        cell.left += sx + pad;
      }
    }
    int fmt = report && c < s.cols.size() ? s.cols[c].fmt : LVCFMT_LEFT;
    UINT align = fmt == LVCFMT_RIGHT ? DT_RIGHT : fmt == LVCFMT_CENTER ? DT_CENTER : DT_LEFT;
    ui::text(dc, item_text(s, i, static_cast<int>(c)), cell, align | DT_VCENTER, text_c, f);
    x += w;
  }
  if ((it.state & LVIS_FOCUSED) && has_focus(h)) ui::focus_frame(dc, r);
}

void draw_header(HWND h, ListView& s, const Metrics& m, HDC dc) {
  RECT band{0, 0, m.client.right, m.header};
  ui::fill(dc, band, ui::kFace);
  ui::fill(dc, RECT{0, m.header - 1, m.client.right, m.header}, ui::kBorder);
  int x = 0, pad = ui::px(4);
  HFONT bold = ui::font(ui::Font::Bold);
  (void)h;
  for (const Column& c : s.cols) {
    if (c.width > 0) {
      RECT cell{x + pad, 0, x + c.width - pad, m.header - 1};
      UINT align = c.fmt == LVCFMT_RIGHT ? DT_RIGHT : c.fmt == LVCFMT_CENTER ? DT_CENTER : DT_LEFT;
      ui::text(dc, c.text, cell, align | DT_VCENTER, ui::kText, bold);
      ui::fill(dc, RECT{x + c.width - 1, ui::px(3), x + c.width, m.header - ui::px(3)}, ui::kBorder);
    }
    x += c.width;
  }
}

LRESULT custom_draw(HWND h, HDC dc, DWORD stage, const RECT& rc, int item, UINT item_state, LPARAM param,
                    COLORREF* fg, COLORREF* bg) {
  NMLVCUSTOMDRAW cd;
  cd.nmcd.dwDrawStage = stage;
  cd.nmcd.hdc = dc;
  cd.nmcd.rc = rc;
  cd.nmcd.dwItemSpec = static_cast<uintptr_t>(item < 0 ? 0 : item);
  cd.nmcd.uItemState = item_state;
  cd.nmcd.lItemlParam = param;
  LRESULT r = notify_parent(h, &cd.nmcd.hdr, NM_CUSTOMDRAW);
  if (fg) *fg = cd.clrText;
  if (bg) *bg = cd.clrTextBk;
  return r;
}

void paint(HWND h, ListView& s) {
  ControlPaint p(h);
  HDC dc = p.dc;
  Metrics m = metrics(h, s);
  ui::fill(dc, m.client, s.bk);
  HFONT f = control_font(s.font);
  int n = static_cast<int>(s.items.size());
  bool od = owner_drawn(h);
  LRESULT pre = od ? CDRF_DODEFAULT : custom_draw(h, dc, CDDS_PREPAINT, m.client, -1, 0, 0, nullptr, nullptr);
  if (!IsWindow(h) || !states().get(h)) return;
  if (!(pre & CDRF_SKIPDEFAULT)) {
    if (m.header) {
      draw_header(h, s, m, dc);
      IntersectClipRect(dc, 0, m.header, m.client.right, m.client.bottom);
    }
    int first = s.scroll * m.per_line;
    int last = std::min(n, (s.scroll + m.visible + 1) * m.per_line);
    for (int i = first; i < last && i < static_cast<int>(s.items.size()); ++i) {
      RECT r = item_rect(h, s, m, i);
      if (r.top >= m.client.bottom || r.left >= m.client.right) continue;
      const Item& it = s.items[static_cast<size_t>(i)];
      UINT st = ((it.state & LVIS_SELECTED) ? CDIS_SELECTED : 0) | ((it.state & LVIS_FOCUSED) ? CDIS_FOCUS : 0);
      if (od) {
        DRAWITEMSTRUCT di;
        di.itemID = static_cast<UINT>(i);
        di.itemState = ((it.state & LVIS_SELECTED) ? ODS_SELECTED : 0) | ((it.state & LVIS_FOCUSED) ? ODS_FOCUS : 0);
        di.itemData = static_cast<uintptr_t>(it.param);
        draw_by_parent(h, di, ODT_LISTVIEW, dc, r);
        if (!IsWindow(h) || !states().get(h)) return;
        continue;
      }
      COLORREF fg = CLR_DEFAULT, bg = CLR_DEFAULT;
      LRESULT ir = CDRF_DODEFAULT;
      if (pre & CDRF_NOTIFYITEMDRAW) {
        ir = custom_draw(h, dc, CDDS_ITEMPREPAINT, r, i, st, it.param, &fg, &bg);
        if (!IsWindow(h) || !states().get(h)) return;
        if (i >= static_cast<int>(s.items.size())) break;
      }
      if (!(ir & CDRF_SKIPDEFAULT)) draw_default_item(h, s, m, dc, i, r, fg, bg, f);
      if (ir & CDRF_NOTIFYPOSTPAINT)
        custom_draw(h, dc, CDDS_ITEMPOSTPAINT, r, i, st, s.items[static_cast<size_t>(i)].param, nullptr, nullptr);
      if (!IsWindow(h) || !states().get(h)) return;
    }
  }
  if (pre & CDRF_NOTIFYPOSTPAINT) custom_draw(h, dc, CDDS_POSTPAINT, m.client, -1, 0, 0, nullptr, nullptr);
}

int autosize_width(HWND h, ListView& s, int col, bool use_header) {
  HDC dc = GetDC(h);
  HFONT f = control_font(s.font);
  int pad = ui::px(4) * 2;
  int w = 0;
  for (size_t i = 0; i < s.items.size(); ++i)
    w = std::max(w, ui::text_width(dc, item_text(s, static_cast<int>(i), col), f) + pad);
  if (col == 0 && il_cx(s.il_small) > 1) w += il_cx(s.il_small) + ui::px(4);
  if (use_header || s.items.empty()) {
    w = std::max(w, ui::text_width(dc, s.cols[static_cast<size_t>(col)].text, ui::font(ui::Font::Bold)) + pad);
    // The last column takes what is left of the client width.
    if (use_header && col + 1 == static_cast<int>(s.cols.size())) {
      RECT c;
      GetClientRect(h, &c);
      int others = total_width(s) - s.cols[static_cast<size_t>(col)].width;
      w = std::max(w, static_cast<int>(c.right) - others);
    }
  }
  ReleaseDC(h, dc);
  return w;
}

void copy_text(const std::string& t, char* buf, int max) { copy_to_buffer(t, buf, static_cast<size_t>(std::max(0, max))); }

void set_item_fields(ListView& s, Item& it, const LVITEM& in) {
  (void)s;
  if (in.mask & LVIF_TEXT) {
    size_t sub = static_cast<size_t>(std::max(0, in.iSubItem));
    if (it.texts.size() <= sub) it.texts.resize(sub + 1);
    it.texts[sub] = in.pszText ? in.pszText : "";
  }
  if (in.iSubItem == 0) {
    if (in.mask & LVIF_IMAGE) it.image = in.iImage;
    if (in.mask & LVIF_PARAM) it.param = in.lParam;
  }
}

LRESULT insert_item(HWND h, ListView& s, const LVITEM* in) {
  if (!in || in->iSubItem != 0) return -1;
  int at = std::clamp(in->iItem, 0, static_cast<int>(s.items.size()));
  Item it;
  set_item_fields(s, it, *in);
  if (in->mask & LVIF_STATE) it.state = in->state & in->stateMask & (LVIS_FOCUSED | LVIS_SELECTED);
  s.items.insert(s.items.begin() + at, std::move(it));
  if (s.mark >= at) ++s.mark;
  NMLISTVIEW nm;
  nm.iItem = at;
  notify_parent(h, &nm.hdr, LVN_INSERTITEM);
  refresh(h, s);
  return at;
}

LRESULT delete_item(HWND h, ListView& s, int i) {
  if (i < 0 || i >= static_cast<int>(s.items.size())) return FALSE;
  NMLISTVIEW nm;
  nm.iItem = i;
  nm.lParam = s.items[static_cast<size_t>(i)].param;
  notify_parent(h, &nm.hdr, LVN_DELETEITEM);
  if (i >= static_cast<int>(s.items.size())) return FALSE;
  s.items.erase(s.items.begin() + i);
  if (s.mark == i) s.mark = -1;
  else if (s.mark > i) --s.mark;
  refresh(h, s);
  return TRUE;
}

std::optional<LRESULT> handle(HWND h, ListView& s, UINT msg, WPARAM wp, LPARAM lp) {
  int n = static_cast<int>(s.items.size());
  switch (msg) {
    case WM_SIZE:
      update_scrollbars(h, s);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_SETFONT:
      s.font = reinterpret_cast<HFONT>(wp);
      s.measured_style = 0xFFFFFFFF;
      if (lp) refresh(h, s);
      return 0;
    case WM_SETREDRAW:
      s.redraw = wp != 0;
      if (s.redraw) refresh(h, s);
      return 0;
    case WM_GETDLGCODE:
      return list_dialog_code(wp);
    case WM_KEYDOWN:
      if (!on_key(h, s, static_cast<UINT>(wp))) return {};
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(h);
      Metrics m = metrics(h, s);
      POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      for (int i = s.scroll * m.per_line; i < n; ++i) {
        RECT r = item_rect(h, s, m, i);
        if (PtInRect(&r, p)) {
          if (s.items[static_cast<size_t>(i)].state & LVIS_FOCUSED) on_key(h, s, VK_RETURN);
          else move_to(h, s, i);
          break;
        }
      }
      return 0;
    }

    case LVM_GETBKCOLOR: return static_cast<LRESULT>(s.bk);
    case LVM_SETBKCOLOR: s.bk = static_cast<COLORREF>(lp) == CLR_NONE ? ui::kWindow : static_cast<COLORREF>(lp); InvalidateRect(h, nullptr, TRUE); return TRUE;
    case LVM_SETTEXTCOLOR: s.text = static_cast<COLORREF>(lp); InvalidateRect(h, nullptr, TRUE); return TRUE;
    case LVM_SETTEXTBKCOLOR: s.text_bk = static_cast<COLORREF>(lp); InvalidateRect(h, nullptr, TRUE); return TRUE;
    case LVM_GETIMAGELIST: return reinterpret_cast<LRESULT>(wp == LVSIL_NORMAL ? s.il_normal : s.il_small);
    case LVM_SETIMAGELIST: {
      HIMAGELIST& slot = wp == LVSIL_NORMAL ? s.il_normal : s.il_small;
      HIMAGELIST old = slot;
      slot = reinterpret_cast<HIMAGELIST>(lp);
      s.measured_style = 0xFFFFFFFF;
      refresh(h, s);
      return reinterpret_cast<LRESULT>(old);
    }
    case LVM_GETITEMCOUNT: return n;
    case LVM_SETITEMCOUNT: s.items.reserve(wp); return TRUE;
    case LVM_INSERTITEM: return insert_item(h, s, reinterpret_cast<const LVITEM*>(lp));
    case LVM_DELETEITEM: return delete_item(h, s, static_cast<int>(wp));
    case LVM_DELETEALLITEMS: {
      NMLISTVIEW nm;
      nm.iItem = -1;
      notify_parent(h, &nm.hdr, LVN_DELETEALLITEMS);
      if (!states().get(h)) return FALSE;
      s.items.clear();
      s.mark = -1;
      s.scroll = 0;
      refresh(h, s);
      return TRUE;
    }
    case LVM_SETITEM: {
      auto* in = reinterpret_cast<const LVITEM*>(lp);
      if (!in || in->iItem < 0 || in->iItem >= n) return FALSE;
      set_item_fields(s, s.items[static_cast<size_t>(in->iItem)], *in);
      if ((in->mask & LVIF_STATE) && in->iSubItem == 0) set_state(h, s, in->iItem, in->state, in->stateMask);
      if (s.redraw) InvalidateRect(h, nullptr, FALSE);
      return TRUE;
    }
    case LVM_GETITEM: {
      auto* io = reinterpret_cast<LVITEM*>(lp);
      if (!io || io->iItem < 0 || io->iItem >= n) return FALSE;
      const Item& it = s.items[static_cast<size_t>(io->iItem)];
      if (io->mask & LVIF_TEXT) copy_text(item_text(s, io->iItem, io->iSubItem), io->pszText, io->cchTextMax);
      if (io->mask & LVIF_IMAGE) io->iImage = it.image;
      if (io->mask & LVIF_PARAM) io->lParam = it.param;
      if (io->mask & LVIF_STATE) io->state = it.state & io->stateMask;
      return TRUE;
    }
    case LVM_SETITEMTEXT: {
      auto* in = reinterpret_cast<const LVITEM*>(lp);
      int i = static_cast<int>(wp);
      if (!in || i < 0 || i >= n) return FALSE;
      LVITEM t = *in;
      t.mask = LVIF_TEXT;
      set_item_fields(s, s.items[static_cast<size_t>(i)], t);
      if (s.redraw) InvalidateRect(h, nullptr, FALSE);
      return TRUE;
    }
    case LVM_GETITEMTEXT: {
      auto* io = reinterpret_cast<LVITEM*>(lp);
      int i = static_cast<int>(wp);
      if (!io || i < 0 || i >= n) return 0;
      copy_text(item_text(s, i, io->iSubItem), io->pszText, io->cchTextMax);
      return static_cast<LRESULT>(io->pszText && io->cchTextMax > 0 ? std::strlen(io->pszText) : 0);
    }
    case LVM_SETITEMSTATE: {
      auto* in = reinterpret_cast<const LVITEM*>(lp);
      if (!in) return FALSE;
      int i = static_cast<int>(static_cast<intptr_t>(wp));
      if (i == -1) {
        for (int k = 0; k < static_cast<int>(s.items.size()); ++k) set_state(h, s, k, in->state, in->stateMask);
        return TRUE;
      }
      return set_state(h, s, i, in->state, in->stateMask) ? TRUE : FALSE;
    }
    case LVM_GETITEMSTATE: {
      int i = static_cast<int>(wp);
      return i >= 0 && i < n ? static_cast<LRESULT>(s.items[static_cast<size_t>(i)].state & static_cast<UINT>(lp)) : 0;
    }
    case LVM_GETNEXTITEM: {
      int start = static_cast<int>(static_cast<intptr_t>(wp));
      UINT flags = static_cast<UINT>(lp) & (LVNI_FOCUSED | LVNI_SELECTED);
      for (int i = std::max(0, start + 1); i < n; ++i)
        if ((s.items[static_cast<size_t>(i)].state & flags) == flags) return i;
      return -1;
    }
    case LVM_GETSELECTEDCOUNT: {
      int c = 0;
      for (const Item& it : s.items) c += (it.state & LVIS_SELECTED) ? 1 : 0;
      return c;
    }
    case LVM_GETSELECTIONMARK: return s.mark;
    case LVM_SETSELECTIONMARK: {
      int old = s.mark;
      s.mark = std::clamp(static_cast<int>(lp), -1, n - 1);
      return old;
    }
    case LVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lp);
      int i = static_cast<int>(wp);
      if (!r || i < 0 || i >= n) return FALSE;
      int code = r->left;
      Metrics m = metrics(h, s);
      *r = item_rect(h, s, m, i);
      if (code == LVIR_LABEL && view_of(h) == LVS_REPORT && !s.cols.empty()) r->right = r->left + s.cols[0].width;
      if (code == LVIR_ICON && icon_view(h)) r->bottom = r->top + std::max(0, il_cy(s.il_normal));
      return TRUE;
    }
    case LVM_ENSUREVISIBLE: ensure_visible(h, s, static_cast<int>(wp)); return TRUE;
    case LVM_SCROLL: {
      Metrics m = metrics(h, s);
      int delta = align_left(h) ? static_cast<int>(wp) / std::max(1, m.cell_cx)
                                : static_cast<int>(lp) / std::max(1, icon_view(h) ? m.cell_cy : m.row);
      s.scroll = std::clamp(s.scroll + delta, 0, max_scroll(m));
      refresh(h, s);
      return TRUE;
    }
    case LVM_GETTOPINDEX: {
      Metrics m = metrics(h, s);
      return n ? std::min(n - 1, s.scroll * m.per_line) : 0;
    }
    case LVM_GETCOUNTPERPAGE: {
      Metrics m = metrics(h, s);
      return m.visible * m.per_line;
    }
    case LVM_REDRAWITEMS:
    case LVM_UPDATE:
      if (s.redraw) InvalidateRect(h, nullptr, FALSE);
      return TRUE;
    case LVM_GETITEMSPACING: {
      Metrics m = metrics(h, s);
      return MAKELPARAM(icon_view(h) ? m.cell_cx : m.client.right, icon_view(h) ? m.cell_cy : m.row);
    }
    case LVM_SETICONSPACING: {
      Metrics m = metrics(h, s);
      LRESULT old = MAKELPARAM(m.cell_cx, m.cell_cy);
      int cx = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp)));
      int cy = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp)));
      s.spacing_cx = cx > 0 ? cx : 0;
      s.spacing_cy = cy > 0 ? cy : 0;
      refresh(h, s);
      return old;
    }
    case LVM_GETSTRINGWIDTH: {
      HDC dc = GetDC(h);
      int w = ui::text_width(dc, lp ? reinterpret_cast<const char*>(lp) : "", control_font(s.font));
      ReleaseDC(h, dc);
      return w;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD old = s.ex_style;
      DWORD mask = wp ? static_cast<DWORD>(wp) : 0xFFFFFFFF;
      s.ex_style = (s.ex_style & ~mask) | (static_cast<DWORD>(lp) & mask);
      return old;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return s.ex_style;
    case LVM_INSERTCOLUMN: {
      auto* c = reinterpret_cast<const LVCOLUMN*>(lp);
      if (!c) return -1;
      int at = std::clamp(static_cast<int>(wp), 0, static_cast<int>(s.cols.size()));
      Column col;
      if (c->mask & LVCF_TEXT) col.text = c->pszText ? c->pszText : "";
      if (c->mask & LVCF_WIDTH) col.width = std::max(0, c->cx);
      if (c->mask & LVCF_FMT) col.fmt = c->fmt & 3;
      s.cols.insert(s.cols.begin() + at, col);
      // Sub-item texts follow their column.
      if (at < static_cast<int>(s.cols.size()) - 1)
        for (Item& it : s.items)
          if (static_cast<int>(it.texts.size()) > at) it.texts.insert(it.texts.begin() + at, std::string());
      refresh(h, s);
      return at;
    }
    case LVM_DELETECOLUMN: {
      int at = static_cast<int>(wp);
      if (at < 0 || at >= static_cast<int>(s.cols.size())) return FALSE;
      s.cols.erase(s.cols.begin() + at);
      for (Item& it : s.items)
        if (static_cast<int>(it.texts.size()) > at) it.texts.erase(it.texts.begin() + at);
      refresh(h, s);
      return TRUE;
    }
    case LVM_SETCOLUMN:
    case LVM_GETCOLUMN: {
      auto* c = reinterpret_cast<LVCOLUMN*>(lp);
      int at = static_cast<int>(wp);
      if (!c || at < 0 || at >= static_cast<int>(s.cols.size())) return FALSE;
      Column& col = s.cols[static_cast<size_t>(at)];
      if (msg == LVM_GETCOLUMN) {
        if (c->mask & LVCF_TEXT) copy_text(col.text, c->pszText, c->cchTextMax);
        if (c->mask & LVCF_WIDTH) c->cx = col.width;
        if (c->mask & LVCF_FMT) c->fmt = col.fmt;
        if (c->mask & LVCF_SUBITEM) c->iSubItem = at;
        return TRUE;
      }
      if (c->mask & LVCF_TEXT) col.text = c->pszText ? c->pszText : "";
      if (c->mask & LVCF_WIDTH) col.width = std::max(0, c->cx);
      if (c->mask & LVCF_FMT) col.fmt = c->fmt & 3;
      refresh(h, s);
      return TRUE;
    }
    case LVM_GETCOLUMNWIDTH: {
      int at = static_cast<int>(wp);
      if (view_of(h) != LVS_REPORT && at == 0) {
        Metrics m = metrics(h, s);
        return icon_view(h) ? m.cell_cx : m.client.right;
      }
      return at >= 0 && at < static_cast<int>(s.cols.size()) ? s.cols[static_cast<size_t>(at)].width : 0;
    }
    case LVM_SETCOLUMNWIDTH: {
      int at = static_cast<int>(wp);
      if (at < 0 || at >= static_cast<int>(s.cols.size())) return FALSE;
      int w = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp)));
      if (w == LVSCW_AUTOSIZE || w == LVSCW_AUTOSIZE_USEHEADER) w = autosize_width(h, s, at, w == LVSCW_AUTOSIZE_USEHEADER);
      s.cols[static_cast<size_t>(at)].width = std::max(0, w);
      refresh(h, s);
      return TRUE;
    }
    default:
      return {};
  }
}

// WM_SETFONT is the list view's own: a new font changes the height of owner-drawn rows.
constexpr ControlClass<ListView> kListView{
    WC_LISTVIEW, kKeepsFont | kRedrawsOnFocus | kNotifiesFocus | kPassesKeys, paint, handle, CS_DBLCLKS};

}  // namespace

void ctl::register_listview() { register_control<kListView>(); }

}  // namespace lumora::plat
