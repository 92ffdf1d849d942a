#include "app/shell/tree_ctrl.h"

namespace lumora::app {

HTREEITEM CTreeCtrl::insert_item(HTREEITEM parent, const TVITEM& item, HTREEITEM after) {
  TVINSERTSTRUCT in;
  in.hParent = parent ? parent : TVI_ROOT;
  in.hInsertAfter = after;
  in.item = item;
  return reinterpret_cast<HTREEITEM>(SendMessage(hwnd_, TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&in)));
}

bool CTreeCtrl::delete_item(HTREEITEM item) {
  return SendMessage(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)) != 0;
}

void CTreeCtrl::delete_children(HTREEITEM item) {
  while (HTREEITEM c = child(item))
    if (!delete_item(c)) break;
}

HTREEITEM CTreeCtrl::next_item(HTREEITEM item, UINT relation) const {
  return reinterpret_cast<HTREEITEM>(SendMessage(hwnd_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::string CTreeCtrl::item_text(HTREEITEM item) const {
  char buf[264] = {};
  TVITEM it;
  it.mask = TVIF_TEXT | TVIF_HANDLE;
  it.hItem = item;
  it.pszText = buf;
  it.cchTextMax = static_cast<int>(sizeof buf);
  if (!item || !SendMessage(hwnd_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it))) return {};
  return it.pszText ? std::string(it.pszText) : std::string();
}

UINT CTreeCtrl::item_state(HTREEITEM item, UINT mask) const {
  TVITEM it;
  it.mask = TVIF_STATE | TVIF_HANDLE;
  it.hItem = item;
  it.stateMask = mask;
  if (!item || !SendMessage(hwnd_, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it))) return 0;
  return it.state & mask;
}

bool CTreeCtrl::expand(HTREEITEM item, UINT code) {
  return SendMessage(hwnd_, TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)) != 0;
}

bool CTreeCtrl::select_item(HTREEITEM item) {
  return SendMessage(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

void CTreeCtrl::sort_children(HTREEITEM item) {
  SendMessage(hwnd_, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(item));
}

void CTreeCtrl::set_image_list(HIMAGELIST list) {
  SendMessage(hwnd_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(list));
}

}  // namespace lumora::app
