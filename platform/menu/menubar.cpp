// The soft-key bar: a band at the bottom of the screen owned by the window it serves.
#include "platform/menu/menubar.h"

#include <algorithm>
#include <vector>

#include "platform/controls/theme.h"
#include "platform/menu/menu_impl.h"
#include "platform/system/system.h"

namespace lumora::plat {

using namespace menu_detail;

namespace {

constexpr const char* kBarClass = "LumoraSoftKeyBar";
constexpr UINT WM_PRIV_SOFTKEY = WM_USER + 0x3E0;  // wParam: key position (0 left, 1 right)

struct Bar {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  HMENU menu = 0;
  int pressed = -1;  // key whose menu is open
};

std::vector<Bar>& bars() {
  static std::vector<Bar> v;
  return v;
}

Bar* bar_of(HWND h) {
  for (Bar& b : bars())
    if (b.hwnd == h) return &b;
  return nullptr;
}

HWND top_level_of(HWND h) {
  while (h && (GetWindowLongPtr(h, GWL_STYLE) & WS_CHILD)) h = GetParent(h);
  return h;
}

// The bar that takes the soft keys now: the newest shown bar of the window that has the keyboard
// (or of the window that window belongs to).
HWND bar_for_keys() {
  HWND f = GetFocus();
  HWND t = f && IsWindowVisible(f) ? top_level_of(f) : GetForegroundWindow();
  for (int hop = 0; t && hop < 8; ++hop) {
    for (auto it = bars().rbegin(); it != bars().rend(); ++it)
      if (it->owner == t && IsWindowVisible(it->hwnd)) return it->hwnd;
    t = GetParent(t);  // a window without a bar of its own uses its owner's
  }
  return nullptr;
}

bool soft_key_filter(UINT vk, bool down) {
  if (vk != VK_TSOFT1 && vk != VK_TSOFT2) return false;
  if (ActivePopupMenu()) return false;  // the open menu closes on a soft key
  HWND bar = bar_for_keys();
  if (!bar) return false;
  HWND owner = bar_of(bar) ? bar_of(bar)->owner : nullptr;
  if (owner && !IsWindowEnabled(owner)) return false;
  if (down) PostMessage(bar, WM_PRIV_SOFTKEY, vk == VK_TSOFT1 ? 0 : 1, 0);
  return true;
}

RECT key_rect(const RECT& c, int key) {
  int mid = c.right / 2;
  return key == 0 ? RECT{0, 0, mid, c.bottom} : RECT{mid, 0, c.right, c.bottom};
}

void paint(HWND h, Bar& b) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT c;
  GetClientRect(h, &c);
  ui::fill(dc, c, ui::kBar);
  ui::fill(dc, RECT{0, 0, c.right, ui::px(1)}, ui::kBorder);
  int count = GetMenuItemCount(b.menu);
  for (int key = 0; key < 2 && key < count; ++key) {
    RECT r = key_rect(c, key);
    if (b.pressed == key) ui::fill(dc, RECT{r.left, ui::px(1), r.right, r.bottom}, ui::kBarPressed);
    UINT state = GetMenuState(b.menu, static_cast<UINT>(key), MF_BYPOSITION);
    bool on = !(state & (MF_GRAYED | MF_DISABLED));
    InflateRect(&r, -ui::px(8), 0);
    ui::text(dc, GetMenuString(b.menu, static_cast<UINT>(key), MF_BYPOSITION), r,
             (key == 0 ? DT_LEFT : DT_RIGHT) | DT_VCENTER, on ? ui::kBarText : ui::kGreyText,
             ui::font(ui::Font::Bold));
  }
  if (count >= 2) {
    int mid = c.right / 2;
    ui::fill(dc, RECT{mid, ui::px(6), mid + 1, c.bottom - ui::px(6)}, ui::kBarPressed);
  }
  EndPaint(h, &ps);
}

void press(HWND h, Bar& b, int key) {
  if (key >= GetMenuItemCount(b.menu)) return;
  UINT state = GetMenuState(b.menu, static_cast<UINT>(key), MF_BYPOSITION);
  if (state == kMenuError || (state & (MF_GRAYED | MF_DISABLED))) return;
  HWND owner = b.owner;
  HMENU sub = GetSubMenu(b.menu, key);
  if (!sub) {
    UINT id = GetMenuItemID(b.menu, key);
    if (owner) PostMessage(owner, WM_COMMAND, MAKEWPARAM(static_cast<int>(id), 0), 0);
    return;
  }
  b.pressed = key;
  InvalidateRect(h, nullptr, TRUE);
  RECT wr;
  GetWindowRect(h, &wr);
  int x = key == 0 ? wr.left + ui::px(2) : wr.right - ui::px(2);
  int id = TrackPopupMenuEx(sub, TPM_RETURNCMD | TPM_BOTTOMALIGN | (key == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN), x,
                            wr.top, owner, nullptr);
  if (Bar* again = bar_of(h)) {
    again->pressed = -1;
    InvalidateRect(h, nullptr, TRUE);
  }
  if (id && owner && IsWindow(owner)) PostMessage(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

LRESULT bar_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Bar* b = bar_of(h);
  if (!b) return DefWindowProc(h, msg, wp, lp);
  switch (msg) {
    case WM_PAINT:
      paint(h, *b);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PRIV_SOFTKEY:
      press(h, *b, static_cast<int>(wp));
      return 0;
    case WM_LBUTTONDOWN: {
      RECT c;
      GetClientRect(h, &c);
      press(h, *b, GET_X_LPARAM(lp) < c.right / 2 ? 0 : 1);
      return 0;
    }
    case SHCMBM_GETMENU:
      return static_cast<LRESULT>(b->menu);
    case SHCMBM_GETSUBMENU:
      return static_cast<LRESULT>(GetSubMenu(b->menu, static_cast<int>(lp)));
    case SHCMBM_SETSUBMENU: {
      HMENU old = GetSubMenu(b->menu, static_cast<int>(wp));
      std::string text = GetMenuString(b->menu, static_cast<UINT>(wp), MF_BYPOSITION);
      if (!ModifyMenu(b->menu, static_cast<UINT>(wp), MF_BYPOSITION | MF_POPUP, static_cast<uintptr_t>(lp), text))
        return 0;
      InvalidateRect(h, nullptr, TRUE);
      return static_cast<LRESULT>(old);
    }
    case SHCMBM_OVERRIDEKEY: {
      UINT mask = LOWORD(static_cast<uintptr_t>(lp)), value = HIWORD(static_cast<uintptr_t>(lp));
      if (wp != VK_TBACK || !(mask & SHMBOF_NOTIFY)) return TRUE;
      SetBackKeyOverride(b->owner, (value & SHMBOF_NOTIFY) ? TRUE : FALSE);
      return TRUE;
    }
    case WM_NCDESTROY: {
      HMENU m = b->menu;
      auto& v = bars();
      v.erase(std::remove_if(v.begin(), v.end(), [&](const Bar& x) { return x.hwnd == h; }), v.end());
      DestroyMenu(m);
      return 0;
    }
    default:
      return DefWindowProc(h, msg, wp, lp);
  }
}

}  // namespace

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (!info || !IsWindow(info->hwndParent)) return FALSE;
  register_menu_classes();
  HMENU menu = 0;
  if (info->dwFlags & SHCMBF_EMPTYBAR) menu = CreatePopupMenu();
  else if (info->dwFlags & SHCMBF_HMENU) menu = static_cast<HMENU>(info->nToolBarId);
  else menu = LoadMenu(info->hInstRes, info->nToolBarId);
  if (!menu || !IsMenu(menu)) return FALSE;
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  int bh = ui::softkey_bar_height();
  HWND owner = top_level_of(info->hwndParent);
  HWND h = CreateWindowEx(0, kBarClass, "", WS_POPUP, 0, sh - bh, sw, bh, owner, 0, nullptr, nullptr);
  if (!h) {
    if (!(info->dwFlags & SHCMBF_HMENU)) DestroyMenu(menu);
    return FALSE;
  }
  bars().push_back(Bar{h, owner, menu, -1});
  // The owner's client area ends where the bar begins.
  RECT wr;
  GetWindowRect(owner, &wr);
  if (wr.bottom > sh - bh && wr.top < sh - bh) MoveWindow(owner, wr.left, wr.top, RectWidth(wr), sh - bh - wr.top, TRUE);
  if (!(info->dwFlags & SHCMBF_HIDDEN)) ShowWindow(h, SW_SHOWNA);
  info->hwndMB = h;
  return TRUE;
}

HWND SHFindMenuBar(HWND owner) {
  for (auto it = bars().rbegin(); it != bars().rend(); ++it)
    if (it->owner == owner) return it->hwnd;
  return nullptr;
}

std::string SHGetSoftKeyText(HWND bar, int key) {
  Bar* b = bar_of(bar);
  if (!b || key < 0 || key > 1 || key >= GetMenuItemCount(b->menu)) return {};
  return GetMenuString(b->menu, static_cast<UINT>(key), MF_BYPOSITION);
}

BOOL SHSetSoftKeyText(HWND bar, int key, std::string_view text) {
  Bar* b = bar_of(bar);
  if (!b || key < 0 || key > 1 || key >= GetMenuItemCount(b->menu)) return FALSE;
  std::string t(text);
  MENUITEMINFO info;
  info.fMask = MIIM_STRING;
  info.text = &t;
  if (!SetMenuItemInfo(b->menu, static_cast<UINT>(key), TRUE, &info)) return FALSE;
  InvalidateRect(bar, nullptr, TRUE);
  return TRUE;
}

void refresh_menu_bars() {
  for (const Bar& b : bars())
    if (IsWindow(b.hwnd)) InvalidateRect(b.hwnd, nullptr, TRUE);
}

void register_menu_classes() {
  WNDCLASS probe;
  if (!GetClassInfo(nullptr, kBarClass, &probe)) {
    WNDCLASS wc;
    wc.lpfnWndProc = bar_proc;
    wc.lpszClassName = kBarClass;
    RegisterClass(&wc);
  }
  if (!GetClassInfo(nullptr, "LumoraPopupMenu", &probe)) register_popup_class();
  SetKeyFilter(soft_key_filter);
}

}  // namespace lumora::plat
