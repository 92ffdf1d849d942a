#include "app/shell/list_ctrl.h"

#include <vector>

namespace lumora::app {

int CListCtrl::insert_column(int index, const std::string& text, int width, int format) {
  LVCOLUMN c;
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  c.fmt = format;
  c.cx = width;
  std::string copy = text;
  c.pszText = copy.data();
  return static_cast<int>(SendMessage(hwnd_, LVM_INSERTCOLUMN, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&c)));
}

void CListCtrl::set_column_width(int column, int width) {
  SendMessage(hwnd_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width);
}

int CListCtrl::column_width(int column) const {
  return static_cast<int>(SendMessage(hwnd_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

int CListCtrl::add_item(const std::string& text) {
  LVITEM it;
  it.mask = LVIF_TEXT;
  it.iItem = item_count();
  std::string copy = text;
  it.pszText = copy.data();
  return static_cast<int>(SendMessage(hwnd_, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it)));
}

void CListCtrl::set_item_text(int item, int column, const std::string& text) {
  LVITEM it;
  it.iSubItem = column;
  std::string copy = text;
  it.pszText = copy.data();
  SendMessage(hwnd_, LVM_SETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
}

std::string CListCtrl::item_text(int item, int column) const {
  std::vector<char> buffer(1024, '\0');
  LVITEM it;
  it.iSubItem = column;
  it.pszText = buffer.data();
  it.cchTextMax = static_cast<int>(buffer.size());
  SendMessage(hwnd_, LVM_GETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
  return std::string(buffer.data());
}

int CListCtrl::item_count() const { return static_cast<int>(SendMessage(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }

void CListCtrl::delete_all_items() { SendMessage(hwnd_, LVM_DELETEALLITEMS, 0, 0); }

void CListCtrl::select(int item) {
  LVITEM st;
  st.state = st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessage(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&st));
  SendMessage(hwnd_, LVM_SETSELECTIONMARK, 0, item);
}

int CListCtrl::selected() const {
  return static_cast<int>(SendMessage(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CListCtrl::set_extended_style(DWORD style) {
  SendMessage(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, style, style);
}

int CListCtrl::string_width(const std::string& text) const {
  return static_cast<int>(SendMessage(hwnd_, LVM_GETSTRINGWIDTH, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

}  // namespace lumora::app
