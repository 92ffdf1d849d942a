// The dialogs as the main window calls them.
#include "app/dialogs/dialogs.h"

#include "app/dialogs/dlg_about.h"
#include "app/dialogs/dlg_rename.h"
#include "app/dialogs/dlg_resize.h"

namespace lumora::app {

bool run_resize_dialog(HWND owner, int* width, int* height) {
  CDlgResize dlg(owner, width, height);
  return dlg.run() == 1;
}

bool run_rename_dialog(HWND owner, const std::string& path, std::string* new_path) {
  std::string chosen = path;
  CDlgRename dlg(owner, &chosen);
  if (dlg.run() != 1) return false;
  *new_path = std::move(chosen);
  return true;
}

void show_about(HWND owner) {
  CDlgAbout dlg(owner);
  dlg.run();
}

}  // namespace lumora::app
