// Menu records: a table of menus addressed by number, items by position or command id.
#include "platform/menu/menu_impl.h"

#include <algorithm>
#include <map>

#include "platform/menu/menubar.h"

namespace lumora::plat {

namespace menu_detail {

MenuTable& table() {
  static MenuTable t;
  return t;
}

Menu* find(HMENU h) {
  auto& t = table();
  auto it = t.menus.find(h);
  return it == t.menus.end() ? nullptr : &it->second;
}

// The item at a position, or the item with the command id here or in a submenu.
MenuItem* locate(HMENU h, UINT item, UINT flags, HMENU* owner_menu) {
  Menu* m = find(h);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) {
    if (item >= m->items.size()) return nullptr;
    if (owner_menu) *owner_menu = h;
    return &m->items[item];
  }
  for (MenuItem& it : m->items) {
    if (!(it.flags & MF_POPUP) && !(it.flags & MF_SEPARATOR) && it.id == item) {
      if (owner_menu) *owner_menu = h;
      return &it;
    }
  }
  for (MenuItem& it : m->items)
    if (it.flags & MF_POPUP)
      if (MenuItem* found = locate(it.submenu, item, flags, owner_menu)) return found;
  return nullptr;
}

}  // namespace menu_detail

using namespace menu_detail;

namespace {

HMENU new_menu(bool popup) {
  auto& t = table();
  HMENU h = t.next++;
  t.menus[h].popup = popup;
  return h;
}

MenuItem make_item(UINT flags, uintptr_t id_or_submenu, std::string_view text) {
  MenuItem it;
  it.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR | MFT_RADIOCHECK);
  if (flags & MF_POPUP) it.submenu = id_or_submenu;
  else it.id = static_cast<UINT>(id_or_submenu);
  it.text = std::string(text);
  return it;
}

}  // namespace

HMENU CreateMenu() { return new_menu(false); }
HMENU CreatePopupMenu() { return new_menu(true); }
BOOL IsMenu(HMENU menu) { return find(menu) != nullptr; }

BOOL DestroyMenu(HMENU menu) {
  Menu* m = find(menu);
  if (!m) return FALSE;
  std::vector<HMENU> subs;
  for (const MenuItem& it : m->items)
    if (it.flags & MF_POPUP) subs.push_back(it.submenu);
  table().menus.erase(menu);
  for (HMENU s : subs) DestroyMenu(s);
  return TRUE;
}

BOOL AppendMenu(HMENU menu, UINT flags, uintptr_t id_or_submenu, std::string_view text) {
  Menu* m = find(menu);
  if (!m || ((flags & MF_POPUP) && !find(id_or_submenu))) return FALSE;
  m->items.push_back(make_item(flags, id_or_submenu, text));
  refresh_menu_bars();
  return TRUE;
}

BOOL InsertMenu(HMENU menu, UINT position, UINT flags, uintptr_t id_or_submenu, std::string_view text) {
  Menu* m = find(menu);
  if (!m || ((flags & MF_POPUP) && !find(id_or_submenu))) return FALSE;
  HMENU where = menu;
  size_t at = m->items.size();
  if (flags & MF_BYPOSITION) {
    at = std::min<size_t>(position, m->items.size());
  } else if (MenuItem* it = locate(menu, position, MF_BYCOMMAND, &where)) {
    Menu* wm = find(where);
    at = static_cast<size_t>(it - wm->items.data());
    m = wm;
  }
  m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), make_item(flags, id_or_submenu, text));
  refresh_menu_bars();
  return TRUE;
}

BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, uintptr_t id_or_submenu, std::string_view text) {
  MenuItem* it = locate(menu, position, flags, nullptr);
  if (!it) return FALSE;
  if ((flags & MF_POPUP) && !find(id_or_submenu)) return FALSE;
  *it = make_item(flags, id_or_submenu, text);
  refresh_menu_bars();
  return TRUE;
}

static BOOL remove_item(HMENU menu, UINT position, UINT flags, bool destroy) {
  HMENU where = 0;
  MenuItem* it = locate(menu, position, flags, &where);
  if (!it) return FALSE;
  Menu* m = find(where);
  HMENU sub = (it->flags & MF_POPUP) ? it->submenu : 0;
  m->items.erase(m->items.begin() + (it - m->items.data()));
  if (destroy && sub) DestroyMenu(sub);
  refresh_menu_bars();
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return remove_item(menu, position, flags, true); }
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return remove_item(menu, position, flags, false); }

int GetMenuItemCount(HMENU menu) {
  Menu* m = find(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  Menu* m = find(menu);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return kMenuError;
  const MenuItem& it = m->items[static_cast<size_t>(position)];
  return (it.flags & MF_POPUP) ? kMenuError : it.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  Menu* m = find(menu);
  if (!m || position < 0 || position >= static_cast<int>(m->items.size())) return 0;
  const MenuItem& it = m->items[static_cast<size_t>(position)];
  return (it.flags & MF_POPUP) ? it.submenu : 0;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  MenuItem* it = locate(menu, item, flags, nullptr);
  if (!it) return kMenuError;
  UINT state = it->flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_POPUP | MFT_RADIOCHECK);
  if (it->flags & MF_POPUP) {
    int n = GetMenuItemCount(it->submenu);
    state = (state & 0xFF) | (static_cast<UINT>(std::max(0, n)) << 8);
  }
  return state;
}

std::string GetMenuString(HMENU menu, UINT item, UINT flags) {
  MenuItem* it = locate(menu, item, flags, nullptr);
  return it ? it->text : std::string();
}

UINT CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  MenuItem* it = locate(menu, item, flags, nullptr);
  if (!it) return kMenuError;
  UINT old = it->flags & MF_CHECKED;
  it->flags = (it->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  refresh_menu_bars();
  return old;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  MenuItem* it = locate(menu, item, flags, nullptr);
  if (!it) return kMenuError;
  UINT old = it->flags & (MF_GRAYED | MF_DISABLED);
  it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  refresh_menu_bars();
  return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  if (first > last) std::swap(first, last);
  bool found = false;
  if (flags & MF_BYPOSITION) {
    Menu* m = find(menu);
    if (!m) return FALSE;
    for (UINT p = first; p <= last && p < m->items.size(); ++p) {
      MenuItem& it = m->items[p];
      it.flags &= ~(MF_CHECKED | MFT_RADIOCHECK);
      if (p == check) it.flags |= MF_CHECKED | MFT_RADIOCHECK, found = true;
    }
  } else {
    for (UINT id = first; id <= last; ++id) {
      MenuItem* it = locate(menu, id, MF_BYCOMMAND, nullptr);
      if (!it) continue;
      it->flags &= ~(MF_CHECKED | MFT_RADIOCHECK);
      if (id == check) it->flags |= MF_CHECKED | MFT_RADIOCHECK, found = true;
      if (id == 0xFFFFFFFF) break;
    }
  }
  refresh_menu_bars();
  return found ? TRUE : FALSE;
}

BOOL GetMenuItemInfo(HMENU menu, UINT item, BOOL by_position, MENUITEMINFO* info) {
  if (!info) return FALSE;
  MenuItem* it = locate(menu, item, by_position ? MF_BYPOSITION : MF_BYCOMMAND, nullptr);
  if (!it) return FALSE;
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = it->flags & (MF_SEPARATOR | MFT_RADIOCHECK);
  if (info->fMask & MIIM_STATE) info->fState = it->flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED);
  if (info->fMask & MIIM_ID) info->wID = it->id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = (it->flags & MF_POPUP) ? it->submenu : 0;
  if ((info->fMask & (MIIM_STRING | MIIM_TYPE)) && info->text) *info->text = it->text;
  return TRUE;
}

BOOL SetMenuItemInfo(HMENU menu, UINT item, BOOL by_position, const MENUITEMINFO* info) {
  if (!info) return FALSE;
  MenuItem* it = locate(menu, item, by_position ? MF_BYPOSITION : MF_BYCOMMAND, nullptr);
  if (!it) return FALSE;
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE))
    it->flags = (it->flags & ~(MF_SEPARATOR | MFT_RADIOCHECK)) | (info->fType & (MF_SEPARATOR | MFT_RADIOCHECK));
  if (info->fMask & MIIM_STATE)
    it->flags = (it->flags & ~(MF_CHECKED | MF_GRAYED | MF_DISABLED)) | (info->fState & (MF_CHECKED | MF_GRAYED | MF_DISABLED));
  if (info->fMask & MIIM_ID) it->id = info->wID;
  if (info->fMask & MIIM_SUBMENU) {
    if (info->hSubMenu && !find(info->hSubMenu)) return FALSE;
    it->submenu = info->hSubMenu;
    it->flags = info->hSubMenu ? (it->flags | MF_POPUP) : (it->flags & ~MF_POPUP);
  }
  if ((info->fMask & (MIIM_STRING | MIIM_TYPE)) && info->text) it->text = *info->text;
  refresh_menu_bars();
  return TRUE;
}

HMENU LoadMenuIndirect(std::span<const MenuTemplateItem> items) {
  HMENU m = CreatePopupMenu();
  for (const MenuTemplateItem& t : items) {
    if (t.flags & MF_SEPARATOR) {
      AppendMenu(m, MF_SEPARATOR, 0, "");
    } else if (!t.popup.empty() || (t.flags & MF_POPUP)) {
      HMENU sub = LoadMenuIndirect(t.popup);
      AppendMenu(m, (t.flags & ~MF_POPUP) | MF_POPUP, sub, t.text ? t.text : "");
    } else {
      AppendMenu(m, t.flags, t.id, t.text ? t.text : "");
    }
  }
  return m;
}

namespace {
std::map<UINT, std::span<const MenuTemplateItem>>& menu_resources() {
  static std::map<UINT, std::span<const MenuTemplateItem>> r;
  return r;
}
}  // namespace

void RegisterMenuResource(UINT id, std::span<const MenuTemplateItem> items) { menu_resources()[id] = items; }

HMENU LoadMenu(HINSTANCE, UINT id) {
  auto it = menu_resources().find(id);
  return it == menu_resources().end() ? 0 : LoadMenuIndirect(it->second);
}

}  // namespace lumora::plat
