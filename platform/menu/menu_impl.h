#pragma once
// Menu records behind menu handles. Internal to the menu code.
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/menu/menu.h"

namespace lumora::plat::menu_detail {

struct MenuItem {
  UINT flags = 0;  // MF_* (MF_POPUP: submenu is valid)
  UINT id = 0;
  HMENU submenu = 0;
  std::string text;
};

struct Menu {
  bool popup = true;
  std::vector<MenuItem> items;
};

struct MenuTable {
  std::unordered_map<HMENU, Menu> menus;
  HMENU next = 0x10000;
};

MenuTable& table();
Menu* find(HMENU h);
MenuItem* locate(HMENU h, UINT item, UINT flags, HMENU* owner_menu);

}  // namespace lumora::plat::menu_detail

namespace lumora::plat::menu_detail {
void register_popup_class();
}  // namespace lumora::plat::menu_detail
