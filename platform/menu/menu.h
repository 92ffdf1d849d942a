#pragma once
// Menus: popup menus with command items, submenus, separators, check marks, radio checks and
// greyed items; built by calls or from C++ tables; shown with TrackPopupMenuEx (navigated with the
// pad, chosen with the action key or the item's number, closed with Back).
#include <span>
#include <string>

#include "platform/base/types.h"
#include "platform/window/window.h"

namespace lumora::plat {

// HMENU (window.h) doubles as a menu handle: menus are numbered from 0x10000 up, far from the
// child ids it carries for child windows.
inline constexpr UINT MF_STRING = 0x0000, MF_ENABLED = 0x0000, MF_UNCHECKED = 0x0000, MF_BYCOMMAND = 0x0000,
                      MF_GRAYED = 0x0001, MF_DISABLED = 0x0002, MF_CHECKED = 0x0008, MF_POPUP = 0x0010,
                      MF_BYPOSITION = 0x0400, MF_SEPARATOR = 0x0800, MFT_RADIOCHECK = 0x0200;
inline constexpr UINT MIIM_STATE = 0x01, MIIM_ID = 0x02, MIIM_SUBMENU = 0x04, MIIM_TYPE = 0x10,
                      MIIM_STRING = 0x40, MIIM_FTYPE = 0x100;
inline constexpr UINT MFT_STRING = 0x0000, MFT_SEPARATOR = 0x0800;
inline constexpr UINT MFS_ENABLED = 0x0000, MFS_GRAYED = 0x0003, MFS_CHECKED = 0x0008;
inline constexpr UINT TPM_LEFTALIGN = 0x0000, TPM_RIGHTALIGN = 0x0008, TPM_TOPALIGN = 0x0000,
                      TPM_BOTTOMALIGN = 0x0020, TPM_NONOTIFY = 0x0080, TPM_RETURNCMD = 0x0100;
inline constexpr UINT kMenuError = 0xFFFFFFFF;  // GetMenuState / CheckMenuItem / EnableMenuItem failure

struct MENUITEMINFO {
  UINT cbSize = sizeof(MENUITEMINFO);
  UINT fMask = 0;
  UINT fType = 0;
  UINT fState = 0;
  UINT wID = 0;
  HMENU hSubMenu = 0;
  std::string* text = nullptr;  // get: receives the text; set: the new text
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);  // with its submenus
BOOL IsMenu(HMENU menu);
// id_or_submenu is the command id, or the submenu's handle with MF_POPUP.
BOOL AppendMenu(HMENU menu, UINT flags, uintptr_t id_or_submenu, std::string_view text);
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, uintptr_t id_or_submenu, std::string_view text);
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, uintptr_t id_or_submenu, std::string_view text);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);  // destroys a submenu it removes
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);  // keeps it
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);  // kMenuError for submenus and bad positions
HMENU GetSubMenu(HMENU menu, int position);
// By command (searching submenus too) or by position. Returns the MF_ flags, kMenuError if absent.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
std::string GetMenuString(HMENU menu, UINT item, UINT flags);
// Return the previous MF_CHECKED / MF_GRAYED state, kMenuError if absent.
UINT CheckMenuItem(HMENU menu, UINT item, UINT flags);
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
// Checks `check` with a radio mark and clears the others of first..last (ids, or positions).
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
BOOL GetMenuItemInfo(HMENU menu, UINT item, BOOL by_position, MENUITEMINFO* info);
BOOL SetMenuItemInfo(HMENU menu, UINT item, BOOL by_position, const MENUITEMINFO* info);

// Shows the popup menu and runs it modally. With TPM_RETURNCMD returns the chosen id (0 when
// closed without a choice); otherwise posts WM_COMMAND to the owner and returns whether an item
// was chosen. x, y: screen point of the menu's corner (TPM_RIGHTALIGN / TPM_BOTTOMALIGN choose
// which). The owner gets WM_INITMENUPOPUP before each (sub)menu opens.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, void* reserved);
// The popup menu window that is open, or null.
HWND ActivePopupMenu();

// Menus as C++ tables: a popup item names its children.
struct MenuTemplateItem {
  const char* text = "";
  UINT id = 0;
  UINT flags = MF_STRING;  // MF_GRAYED, MF_CHECKED, MF_SEPARATOR, MFT_RADIOCHECK
  std::span<const MenuTemplateItem> popup{};
};
HMENU LoadMenuIndirect(std::span<const MenuTemplateItem> items);

// Menu resources by id, registered by the application's resource tables.
void RegisterMenuResource(UINT id, std::span<const MenuTemplateItem> items);
HMENU LoadMenu(HINSTANCE inst, UINT id);  // 0 when no such resource

}  // namespace lumora::plat
