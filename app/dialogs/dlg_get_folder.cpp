#include "app/dialogs/dlg_get_folder.h"

#include <algorithm>
#include <memory>

#include "app/dialogs/dialogs.h"
#include "app/shell/language.h"
#include "app/shell/paths.h"
#include "app/shell/resource.h"

namespace lumora::app {

std::string shorten_path(std::string_view path, int limit, const std::function<int(std::string_view)>& width) {
  if (path.size() < 4 || width(path) < limit) return std::string(path);
  const std::string head = std::string(path.substr(0, 3)) + "...";
  std::string shown;
  for (size_t i = path.find('/', 3); i != std::string_view::npos; i = path.find('/', i + 1)) {
    shown = head + std::string(path.substr(i));
    if (width(shown) < limit) break;
  }
  return shown.empty() ? std::string(path) : shown;
}

CDlgGetFolder::CDlgGetFolder(HWND parent, std::string* folder) : CDlg(parent, "DlgBrowse"), folder_(folder) {}

CDlgGetFolder::~CDlgGetFolder() = default;

LUMORA_BEGIN_MESSAGE_TABLE(CDlgGetFolder)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND(IDOK, OnAction)
  ON_COMMAND(ID_DIALOG_DONE, OnSelect)
  ON_COMMAND(IDCANCEL, OnCancel)
  ON_NOTIFY_ANY(OnNotify)
  ON_MESSAGE(WM_HOTKEY, OnHotKey)
  ON_MESSAGE(UM_BROWSE_FOLDER, OnBrowseFolder)
  ON_DESTROY(OnDestroy)
LUMORA_END_MESSAGE_TABLE()

LRESULT CDlgGetFolder::OnInitDialog(WPARAM, LPARAM) {
  HWND tree = GetDlgItem(hwnd_, kTreeId);
  tree_.init(tree);
  // The tree takes the height the screen has below the label.
  RECT client, r;
  GetClientRect(hwnd_, &client);
  GetWindowRect(tree, &r);
  POINT top{r.left, r.top};
  ScreenToClient(hwnd_, &top);
  MoveWindow(tree, top.x, top.y, RectWidth(r), std::max(1, static_cast<int>(client.bottom) - top.y - (top.x > 0 ? top.x : 2)), TRUE);
  SHMENUBARINFO mb;
  mb.cbSize = 36;
  mb.hwndParent = hwnd_;
  mb.nToolBarId = IDM_CHOOSE_FOLDER;
  mb.hInstRes = instance_;
  if (SHCreateMenuBar(&mb)) {
    menu_bar_ = mb.hwndMB;
    the_language().translate_menu(menu_bar_, static_cast<HMENU>(SendMessage(menu_bar_, SHCMBM_GETMENU, 0, 0)));
    // Back climbs the tree instead of closing the dialog.
    SendMessage(menu_bar_, SHCMBM_OVERRIDEKEY, VK_TBACK,
                MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
  }
  tree_.select_path(folder_ ? *folder_ : std::string("/"));
  SetFocus(tree_.hwnd());
  show_label(tree_.selected_path());
  return FALSE;  // the focus is set
}

void CDlgGetFolder::show_label(const std::string& path) {
  HWND label = GetDlgItem(hwnd_, kLabelId);
  if (!label) return;
  RECT r;
  GetClientRect(label, &r);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessage(label, WM_GETFONT, 0, 0)));
  auto measure = [dc](std::string_view t) {
    SIZE s{};
    GetTextExtentPoint32(dc, t, &s);
    return static_cast<int>(s.cx);
  };
  std::string shown = shorten_path(path, r.right - 4, measure);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  SetWindowText(label, shown);
}

void CDlgGetFolder::OnAction(UINT) {
  HTREEITEM sel = tree_.selected_item();
  if (!sel) return;
  tree_.expand(sel, tree_.item_state(sel, TVIS_EXPANDED) ? TVE_COLLAPSE : TVE_EXPAND);
  show_label(tree_.selected_path());
}

void CDlgGetFolder::OnSelect(UINT) {
  std::string path = tree_.selected_path();
  if (path.empty()) return;
  if (folder_) *folder_ = std::move(path);
  end_dialog(1);
}

void CDlgGetFolder::OnCancel(UINT) { end_dialog(0); }

BOOL CDlgGetFolder::OnNotify(WPARAM, NMHDR* hdr, LRESULT* result) { return tree_.on_notify(hdr, result) ? TRUE : FALSE; }

LRESULT CDlgGetFolder::OnHotKey(WPARAM, LPARAM lp) {
  if (HIWORD(lp) != VK_TBACK) return FALSE;
  if (LOWORD(lp) & MOD_KEYUP) {
    HTREEITEM sel = tree_.selected_item();
    if (HTREEITEM parent = sel ? tree_.parent_item(sel) : nullptr) tree_.select_item(parent);
    show_label(tree_.selected_path());
  }
  return TRUE;
}

// The tree tells its parent each new selection with a path it allocated; the label follows it.
LRESULT CDlgGetFolder::OnBrowseFolder(WPARAM, LPARAM lp) {
  std::unique_ptr<std::string> path(reinterpret_cast<std::string*>(lp));
  if (path && hwnd_) show_label(*path);
  return 0;
}

void CDlgGetFolder::OnDestroy() {
  // Selections made just before the dialog closed leave their strings in the queue.
  MSG m;
  while (PeekMessage(&m, hwnd_, UM_BROWSE_FOLDER, UM_BROWSE_FOLDER, PM_REMOVE))
    delete reinterpret_cast<std::string*>(m.lParam);
}

bool browse_for_folder(HWND parent, std::string* folder) {
  CDlgGetFolder dlg(parent, folder);
  return dlg.run() == 1;
}

bool choose_folder(HWND owner, std::string* folder) { return browse_for_folder(owner, folder); }

}  // namespace lumora::app
