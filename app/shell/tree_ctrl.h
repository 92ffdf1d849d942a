#pragma once
// CTreeCtrl: a platform tree view bound to an object. The view keeps the items; the object reaches
// them through these small wrappers of the tree messages.
#include <string>

#include "app/shell/framework.h"

namespace lumora::app {

class CTreeCtrl : public CWindow {
 public:
  // Binds the tree view `control` (a dialog's control) to this object.
  bool attach(HWND control) { return subclass(control); }

  HTREEITEM insert_item(HTREEITEM parent, const TVITEM& item, HTREEITEM after = TVI_LAST);
  bool delete_item(HTREEITEM item);
  void delete_children(HTREEITEM item);
  HTREEITEM next_item(HTREEITEM item, UINT relation) const;
  HTREEITEM child(HTREEITEM item) const { return next_item(item, TVGN_CHILD); }
  HTREEITEM next_sibling(HTREEITEM item) const { return next_item(item, TVGN_NEXT); }
  HTREEITEM parent_item(HTREEITEM item) const { return next_item(item, TVGN_PARENT); }
  HTREEITEM root_item() const { return next_item(nullptr, TVGN_ROOT); }
  HTREEITEM selected_item() const { return next_item(nullptr, TVGN_CARET); }
  std::string item_text(HTREEITEM item) const;
  UINT item_state(HTREEITEM item, UINT mask) const;
  bool expand(HTREEITEM item, UINT code);
  bool select_item(HTREEITEM item);
  void sort_children(HTREEITEM item);
  void set_image_list(HIMAGELIST list);
};

}  // namespace lumora::app
