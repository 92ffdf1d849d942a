#pragma once
// CDlgAbout: the program's icon, name and version, its makers, and two links: the user guide and
// the licence notices, opened with the desktop's handler.
#include <string>

#include "app/shell/framework.h"

namespace lumora::app {

class CDlgAbout : public CDlgEx {
 public:
  static constexpr int kUserGuide = 1010, kNotices = 1011, kNameLine = 1012, kAuthorLine = 1013;

  explicit CDlgAbout(HWND parent);

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnLink(UINT id);
  void OnDone(UINT);
};

// The installed document `name` (share/doc/lumora/ beside the program's bin folder), else the one
// in the source tree the program was built from; "" when neither exists.
std::string find_document(const std::string& name);

}  // namespace lumora::app
