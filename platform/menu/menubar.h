#pragma once
// The soft-key menu bar: a band at the bottom of the screen with two labelled soft keys. Each
// top-level item of the bar's menu belongs to one key (left, then right): a popup item opens its
// menu above the bar, a command item sends WM_COMMAND to the bar's owner. The bar takes the left
// and right soft keys of the window it belongs to and of everything inside it.
#include "platform/menu/menu.h"

namespace lumora::plat {

struct SHMENUBARINFO {
  DWORD cbSize = sizeof(SHMENUBARINFO);
  HWND hwndParent = nullptr;
  DWORD dwFlags = 0;
  UINT nToolBarId = 0;  // menu resource id (or an HMENU with SHCMBF_HMENU)
  HINSTANCE hInstRes = nullptr;
  int nBmpId = 0;
  int cBmpImages = 0;
  HWND hwndMB = nullptr;  // receives the bar
  COLORREF clrBk = 0;
};
inline constexpr DWORD SHCMBF_EMPTYBAR = 0x0001, SHCMBF_HIDDEN = 0x0002, SHCMBF_HIDESIPBUTTON = 0x0004,
                       SHCMBF_COLORBK = 0x0008, SHCMBF_HMENU = 0x0010;

// Creates the bar (shown unless SHCMBF_HIDDEN). A top-level parent that reaches into the bar's
// band is made shorter so that its client area ends above the bar.
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
// The bar of a window (the latest one created for it), or null.
HWND SHFindMenuBar(HWND owner);

// Messages to the bar.
inline constexpr UINT SHCMBM_SETSUBMENU = WM_USER + 400;   // wParam: key position, lParam: HMENU
inline constexpr UINT SHCMBM_GETSUBMENU = WM_USER + 401;   // lParam: key position -> HMENU
inline constexpr UINT SHCMBM_GETMENU = WM_USER + 402;      // -> HMENU of the bar
inline constexpr UINT SHCMBM_OVERRIDEKEY = WM_USER + 403;  // wParam: VK, lParam: MAKELPARAM(mask, value)
inline constexpr UINT SHMBOF_NODEFAULT = 0x1, SHMBOF_NOTIFY = 0x2;

// The label of soft key `key` (0 left, 1 right): the text of that top-level item of the bar's
// menu. Get gives "" and set FALSE for a window that is not a bar or a key the bar lacks.
std::string SHGetSoftKeyText(HWND bar, int key);
BOOL SHSetSoftKeyText(HWND bar, int key, std::string_view text);

// Registers the bar and popup window classes and installs the soft-key hook (done by
// InitCommonControls).
void register_menu_classes();
// Repaints the bars (after a change of a menu they show).
void refresh_menu_bars();

}  // namespace lumora::plat
