#pragma once
// CListCtrl: a list-view control bound to the framework (subclassed from a dialog's control or
// created as a child), with the few calls the program's lists need spelled as member functions.
#include <string>

#include "app/shell/framework.h"

namespace lumora::app {

class CListCtrl : public CWindow {
 public:
  // Binds the dialog's list control id; false when the dialog has none.
  bool attach(HWND dialog, int id) { return subclass(GetDlgItem(dialog, id)); }

  int insert_column(int index, const std::string& text, int width, int format = LVCFMT_LEFT);
  void set_column_width(int column, int width);
  int column_width(int column) const;
  // Appends a row with its first column's text; returns its index (-1 on failure).
  int add_item(const std::string& text);
  void set_item_text(int item, int column, const std::string& text);
  std::string item_text(int item, int column) const;
  int item_count() const;
  void delete_all_items();
  // Focuses and selects one row.
  void select(int item);
  int selected() const;
  void set_extended_style(DWORD style);
  // The width of a text in the list's font, without the cell's padding.
  int string_width(const std::string& text) const;
};

}  // namespace lumora::app
