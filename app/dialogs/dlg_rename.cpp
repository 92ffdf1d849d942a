#include "app/dialogs/dlg_rename.h"

#include "app/dialogs/dialogs.h"
#include "app/dialogs/path_parts.h"
#include "app/shell/resource.h"

namespace lumora::app {

CDlgRename::CDlgRename(HWND parent, std::string* path) : CDlgEx(parent, "DlgRename"), path_(path) {}

LUMORA_BEGIN_MESSAGE_TABLE(CDlgRename)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND(IDOK, OnDone)
  ON_COMMAND(IDCANCEL, OnCancel)
LUMORA_END_MESSAGE_TABLE()

LRESULT CDlgRename::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_DONE_CANCEL);
  const PathParts parts = split_path(*path_);
  SetDlgItemText(hwnd_, kFolder, parts.folder);
  SetDlgItemText(hwnd_, kName, parts.base);
  SetDlgItemText(hwnd_, kExtension, parts.extension);
  HWND name = GetDlgItem(hwnd_, kName);
  SetFocus(name);
  SendMessage(name, EM_SETSEL, 0, -1);
  return FALSE;  // the focus is set
}

void CDlgRename::OnDone(UINT) {
  const std::string name = GetDlgItemText(hwnd_, kName);
  const std::string extension = GetDlgItemText(hwnd_, kExtension);
  // A name is needed, and neither part may lead into another folder.
  const int bad = name.empty() || name.find('/') != std::string::npos ? kName
                  : extension.find('/') != std::string::npos          ? kExtension
                                                                      : 0;
  if (bad) {
    HWND edit = GetDlgItem(hwnd_, bad);
    SetFocus(edit);
    SendMessage(edit, EM_SETSEL, 0, -1);
    return;
  }
  // An emptied extension means a name without one, not a name ending in a dot.
  *path_ = GetDlgItemText(hwnd_, kFolder) + name + (extension.empty() ? "" : "." + extension);
  end_dialog(1);
}

void CDlgRename::OnCancel(UINT) { end_dialog(0); }

}  // namespace lumora::app
