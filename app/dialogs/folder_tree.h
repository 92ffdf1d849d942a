#pragma once
// CFolderTree: the folders of the file system as a tree, filled as the user opens it. The root
// item stands for "/"; below it one item per folder, named after it. Children, icons and the
// expansion markers are asked for when the tree shows an item, and a folder is read again each
// time it opens, so the tree follows folders made or removed meanwhile.
#include <string>

#include "app/shell/tree_ctrl.h"

namespace lumora::app {

class CFolderTree : public CTreeCtrl {
 public:
  CFolderTree() = default;
  ~CFolderTree() override;

  // Binds the tree view, gives it the folder icons and inserts the root item.
  bool init(HWND tree_view);
  // The tree's notifications as its parent receives them; true when handled (*result set).
  bool on_notify(NMHDR* hdr, LRESULT* result);
  // Opens the tree down to `folder` and selects it (a folder that is gone: its nearest existing
  // ancestor stays selected).
  void select_path(const std::string& folder);
  // The path of the selected folder ("/a/b/"), "" when nothing is selected.
  std::string selected_path() const;
  // The path of an item: the names from the root down, joined and ended by '/'.
  std::string item_path(HTREEITEM item) const;

  // True when the folder holds at least one folder (hidden ones count: they are not listed,
  // but the user can still type such a path elsewhere, and the marker then is honest).
  static bool has_subfolders(const std::string& folder);

 private:
  void fill(HTREEITEM item, const std::string& folder);
  HIMAGELIST images_ = nullptr;
};

}  // namespace lumora::app
