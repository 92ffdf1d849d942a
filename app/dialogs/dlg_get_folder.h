#pragma once
// CDlgGetFolder: picks a folder in a tree (template "DlgBrowse"). Select takes the selected folder,
// Cancel leaves the caller's path as it was; the action key opens or closes the selected folder
// and Back moves to its parent. The label above the tree shows the selected folder, shortened to
// fit.
#include <functional>
#include <string>
#include <string_view>

#include "app/dialogs/folder_tree.h"
#include "app/shell/framework.h"

namespace lumora::app {

// The path as it fits a label `limit` pixels wide, as `width` measures a text: whole when it fits
// (or is shorter than 4 characters), else the first three characters, "..." and the longest tail
// beginning at a '/' that fits (the last tail when none does).
std::string shorten_path(std::string_view path, int limit, const std::function<int(std::string_view)>& width);

class CDlgGetFolder : public CDlg {
 public:
  static constexpr int kLabelId = 1008;
  static constexpr int kTreeId = 1009;

  // folder: the folder to start from; replaced by the chosen one when the user selects.
  CDlgGetFolder(HWND parent, std::string* folder);
  ~CDlgGetFolder() override;

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnAction(UINT);
  void OnSelect(UINT);
  void OnCancel(UINT);
  BOOL OnNotify(WPARAM, NMHDR* hdr, LRESULT* result);
  LRESULT OnHotKey(WPARAM, LPARAM lp);
  LRESULT OnBrowseFolder(WPARAM, LPARAM lp);
  void OnDestroy();

 private:
  void show_label(const std::string& path);
  std::string* folder_;
  CFolderTree tree_;
  HWND menu_bar_ = nullptr;
};

// Runs the chooser; true with the chosen folder ('/'-terminated) in *folder on Select.
bool browse_for_folder(HWND parent, std::string* folder);

}  // namespace lumora::app
