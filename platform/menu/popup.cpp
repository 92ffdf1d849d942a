// Popup menus: one window per open level, each with its own modal loop. The pad moves the
// focus (wrapping, over separators), Right or the action key opens a submenu or chooses, Left
// or Back closes one level, a number key chooses the item with that number, a soft key closes
// every level.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/controls/theme.h"
#include "platform/menu/menu_impl.h"
#include "platform/menu/menubar.h"
#include "platform/system/system.h"

namespace lumora::plat {

using namespace menu_detail;

namespace {

constexpr const char* kPopupClass = "LumoraPopupMenu";
constexpr int kCloseAll = -1;

enum class Action { None, Choose, OpenSub, Close, CloseAll };

struct Popup {
  HMENU menu = 0;
  HWND owner = nullptr;
  int focus = -1;
  int top = 0;  // first row shown when the menu is taller than the screen
  Action action = Action::None;
};

std::vector<std::pair<HWND, Popup*>>& open_popups() {
  static std::vector<std::pair<HWND, Popup*>> v;
  return v;
}

Popup* popup_of(HWND h) {
  for (auto& [w, p] : open_popups())
    if (w == h) return p;
  return nullptr;
}

int row_height(HDC dc) { return ui::line_height(dc, ui::font(ui::Font::Body)) + ui::px(10); }
int separator_height() { return ui::px(7); }

bool selectable(const MenuItem& it) { return !(it.flags & MF_SEPARATOR); }
bool enabled(const MenuItem& it) { return !(it.flags & (MF_GRAYED | MF_DISABLED)); }

// Number shown in front of the n-th selectable item: 1 to 9, then 0, then none.
int number_of(const Menu& m, int index) {
  int n = 0;
  for (int i = 0; i <= index && i < static_cast<int>(m.items.size()); ++i)
    if (selectable(m.items[static_cast<size_t>(i)])) ++n;
  return n <= 9 ? n : (n == 10 ? 0 : -1);
}

int index_of_number(const Menu& m, int digit) {
  int wanted = digit == 0 ? 10 : digit;
  int n = 0;
  for (size_t i = 0; i < m.items.size(); ++i)
    if (selectable(m.items[i]) && ++n == wanted) return static_cast<int>(i);
  return -1;
}

struct Layout {
  int width = 0, height = 0, row = 0, number_w = 0, mark_w = 0, arrow_w = 0;
  std::vector<RECT> rows;  // unscrolled, client coordinates
};

Layout layout_of(const Menu& m) {
  Layout l;
  HDC dc = GetDC(nullptr);
  l.row = row_height(dc);
  l.number_w = ui::text_width(dc, "0", ui::font(ui::Font::Body)) + ui::px(10);
  l.mark_w = ui::px(16);
  l.arrow_w = ui::px(14);
  int text_w = ui::px(60);
  for (const MenuItem& it : m.items)
    if (!(it.flags & MF_SEPARATOR)) text_w = std::max(text_w, ui::text_width(dc, it.text, ui::font(ui::Font::Body)));
  ReleaseDC(nullptr, dc);
  int border = ui::px(1);
  l.width = std::min(GetSystemMetrics(SM_CXSCREEN) - ui::px(8),
                     border * 2 + ui::px(6) + l.number_w + l.mark_w + text_w + ui::px(8) + l.arrow_w);
  int y = border + ui::px(2);
  for (const MenuItem& it : m.items) {
    int hgt = (it.flags & MF_SEPARATOR) ? separator_height() : l.row;
    l.rows.push_back(RECT{border, y, l.width - border, y + hgt});
    y += hgt;
  }
  l.height = y + border + ui::px(2);
  return l;
}

void paint(HWND h, Popup& p) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT c;
  GetClientRect(h, &c);
  Menu* m = find(p.menu);
  ui::fill(dc, c, ui::kWindow);
  ui::frame(dc, c, ui::kBar, ui::px(1));
  if (m) {
    Layout l = layout_of(*m);
    int shift = p.top < static_cast<int>(l.rows.size()) && p.top > 0 ? l.rows[static_cast<size_t>(p.top)].top - l.rows[0].top : 0;
    for (size_t i = 0; i < m->items.size(); ++i) {
      const MenuItem& it = m->items[i];
      RECT r = l.rows[i];
      OffsetRect(&r, 0, -shift);
      if (r.bottom <= 0 || r.top >= c.bottom) continue;
      if (it.flags & MF_SEPARATOR) {
        int y = (r.top + r.bottom) / 2;
        ui::fill(dc, RECT{r.left + ui::px(6), y, r.right - ui::px(6), y + 1}, ui::kBorder);
        continue;
      }
      bool focused = static_cast<int>(i) == p.focus;
      bool on = enabled(it);
      RECT band = r;
      InflateRect(&band, -ui::px(2), 0);
      if (focused) ui::fill(dc, band, on ? ui::kAccent : ui::kGreyText);
      COLORREF fg = focused ? ui::kAccentText : (on ? ui::kText : ui::kGreyText);
      int x = band.left + ui::px(4);
      int num = number_of(*m, static_cast<int>(i));
      if (num >= 0)
        ui::text(dc, std::to_string(num), RECT{x, r.top, x + l.number_w - ui::px(4), r.bottom}, DT_LEFT | DT_VCENTER,
                 focused ? ui::kAccentText : ui::kGreyText, ui::font(ui::Font::Small));
      x += l.number_w;
      RECT mark{x, r.top + (RectHeight(r) - l.mark_w) / 2, x + l.mark_w, 0};
      mark.bottom = mark.top + l.mark_w;
      if (it.flags & MF_CHECKED) {
        if (it.flags & MFT_RADIOCHECK) ui::radio_dot(dc, mark, fg);
        else ui::check_mark(dc, mark, fg);
      }
      x += l.mark_w + ui::px(4);
      ui::text(dc, it.text, RECT{x, r.top, band.right - l.arrow_w, r.bottom}, DT_LEFT | DT_VCENTER, fg,
               ui::font(ui::Font::Body));
      if (it.flags & MF_POPUP)
        ui::triangle(dc, RECT{band.right - l.arrow_w, r.top, band.right - ui::px(2), r.bottom}, 1, fg);
    }
  }
  EndPaint(h, &ps);
}

void move_focus(HWND h, Popup& p, int dir) {
  Menu* m = find(p.menu);
  if (!m || m->items.empty()) return;
  int n = static_cast<int>(m->items.size());
  int i = p.focus;
  for (int step = 0; step < n; ++step) {
    i = ((i < 0 ? (dir > 0 ? -1 : 0) : i) + dir + n) % n;
    if (selectable(m->items[static_cast<size_t>(i)])) break;
  }
  p.focus = i;
  // Keep the focused row on screen.
  Layout l = layout_of(*m);
  RECT c;
  GetClientRect(h, &c);
  if (p.focus < p.top) p.top = p.focus;
  while (p.top < p.focus &&
         l.rows[static_cast<size_t>(p.focus)].bottom - l.rows[static_cast<size_t>(p.top)].top + l.rows[0].top > c.bottom)
    ++p.top;
  InvalidateRect(h, nullptr, TRUE);
}

void activate(HWND h, Popup& p) {
  Menu* m = find(p.menu);
  if (!m || p.focus < 0 || p.focus >= static_cast<int>(m->items.size())) return;
  const MenuItem& it = m->items[static_cast<size_t>(p.focus)];
  if (!enabled(it) || (it.flags & MF_SEPARATOR)) return;
  p.action = (it.flags & MF_POPUP) ? Action::OpenSub : Action::Choose;
  (void)h;
}

LRESULT popup_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Popup* p = popup_of(h);
  if (!p) return DefWindowProc(h, msg, wp, lp);
  switch (msg) {
    case WM_PAINT:
      paint(h, *p);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_KEYDOWN:
      switch (wp) {
        case VK_UP: move_focus(h, *p, -1); break;
        case VK_DOWN: move_focus(h, *p, +1); break;
        case VK_RIGHT:
        case VK_RETURN: activate(h, *p); break;
        case VK_LEFT: p->action = Action::Close; break;
        case VK_TSOFT1:
        case VK_TSOFT2: p->action = Action::CloseAll; break;
        case VK_TBACK: p->action = Action::Close; break;
        default:
          if (wp >= '0' && wp <= '9') {
            Menu* m = find(p->menu);
            int i = m ? index_of_number(*m, static_cast<int>(wp - '0')) : -1;
            if (i >= 0) {
              p->focus = i;
              InvalidateRect(h, nullptr, TRUE);
              activate(h, *p);
            }
          }
      }
      return 0;
    case WM_HOTKEY:
      // Back closes one level when released (the press reached this menu too).
      if ((LOWORD(static_cast<uintptr_t>(lp)) & MOD_KEYUP) && HIWORD(static_cast<uintptr_t>(lp)) == VK_TBACK)
        p->action = Action::Close;
      return 0;
    case WM_LBUTTONDOWN: {
      Menu* m = find(p->menu);
      if (!m) return 0;
      Layout l = layout_of(*m);
      int y = GET_Y_LPARAM(lp);
      for (size_t i = 0; i < l.rows.size(); ++i)
        if (y >= l.rows[i].top && y < l.rows[i].bottom && selectable(m->items[i])) {
          p->focus = static_cast<int>(i);
          activate(h, *p);
        }
      return 0;
    }
    default:
      return DefWindowProc(h, msg, wp, lp);
  }
}

// Runs one level; returns the chosen id, 0 when this level was closed, kCloseAll when every
// level closes.
int run_level(HMENU menu, UINT flags, int x, int y, HWND owner, int level) {
  Menu* m = find(menu);
  if (!m || m->items.empty()) return 0;
  if (owner && !(flags & TPM_NONOTIFY)) SendMessage(owner, WM_INITMENUPOPUP, menu, MAKELPARAM(level, 0));
  m = find(menu);
  if (!m) return 0;
  Layout l = layout_of(*m);
  // Menus never cover the soft-key bar.
  int screen_w = GetSystemMetrics(SM_CXSCREEN), screen_h = GetSystemMetrics(SM_CYSCREEN) - ui::softkey_bar_height();
  int w = l.width, hgt = std::min(l.height, screen_h - ui::px(4));
  int left = (flags & TPM_RIGHTALIGN) ? x - w : x;
  int top = (flags & TPM_BOTTOMALIGN) ? y - hgt : y;
  left = std::clamp(left, 0, std::max(0, screen_w - w));
  top = std::clamp(top, 0, std::max(0, screen_h - hgt));

  Popup state;
  state.menu = menu;
  state.owner = owner;
  HWND h = CreateWindowEx(WS_EX_TOPMOST, kPopupClass, "", WS_POPUP, left, top, w, hgt, owner, 0, nullptr, nullptr);
  if (!h) return 0;
  open_popups().emplace_back(h, &state);
  SetBackKeyOverride(h, TRUE);
  move_focus(h, state, +1);
  HWND previous_focus = GetFocus();
  ShowWindow(h, SW_SHOW);
  SetForegroundWindow(h);
  SetFocus(h);

  int result = 0;
  MSG msg;
  for (;;) {
    if (state.action == Action::OpenSub) {
      state.action = Action::None;
      Menu* cur = find(menu);
      if (cur && state.focus >= 0 && state.focus < static_cast<int>(cur->items.size())) {
        RECT wr;
        GetWindowRect(h, &wr);
        int row_top = wr.top + l.rows[static_cast<size_t>(state.focus)].top;
        int r = run_level(cur->items[static_cast<size_t>(state.focus)].submenu, flags & ~(TPM_RIGHTALIGN | TPM_BOTTOMALIGN),
                          wr.left + ui::px(20), row_top, owner, level + 1);
        if (r != 0) {
          result = r;
          break;
        }
        if (IsWindow(h)) SetFocus(h);
      }
      continue;
    }
    if (state.action == Action::Choose) {
      Menu* cur = find(menu);
      result = cur && state.focus >= 0 && state.focus < static_cast<int>(cur->items.size())
                   ? static_cast<int>(cur->items[static_cast<size_t>(state.focus)].id) : 0;
      break;
    }
    if (state.action == Action::Close) break;
    if (state.action == Action::CloseAll) {
      result = kCloseAll;
      break;
    }
    if (!IsWindow(h)) break;
    if (!GetMessage(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      result = kCloseAll;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  auto& v = open_popups();
  v.erase(std::remove_if(v.begin(), v.end(), [&](auto& e) { return e.first == h; }), v.end());
  if (IsWindow(h)) DestroyWindow(h);
  if (level == 0 && previous_focus && IsWindow(previous_focus)) SetFocus(previous_focus);
  return result;
}

}  // namespace

HWND ActivePopupMenu() { return open_popups().empty() ? nullptr : open_popups().back().first; }

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, void*) {
  if (!find(menu)) return FALSE;
  int r = run_level(menu, flags, x, y, owner, 0);
  int id = r > 0 ? r : 0;
  if (flags & TPM_RETURNCMD) return id;
  if (id && owner) PostMessage(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return id ? TRUE : FALSE;
}

namespace menu_detail {
void register_popup_class() {
  WNDCLASS wc;
  wc.lpfnWndProc = popup_proc;
  wc.lpszClassName = kPopupClass;
  RegisterClass(&wc);
}
}  // namespace menu_detail

}  // namespace lumora::plat
