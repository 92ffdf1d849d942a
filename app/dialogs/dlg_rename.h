#pragma once
// CDlgRename: a file's new name and extension, in its folder.
#include <string>

#include "app/shell/framework.h"

namespace lumora::app {

class CDlgRename : public CDlgEx {
 public:
  static constexpr int kFolder = 1008, kName = 1003, kExtension = 1036;

  // path: the file's full path; the new one on Done.
  CDlgRename(HWND parent, std::string* path);

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnDone(UINT);
  void OnCancel(UINT);

 private:
  std::string* path_;
};

}  // namespace lumora::app
