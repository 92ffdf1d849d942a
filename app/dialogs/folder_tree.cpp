#include "app/dialogs/folder_tree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

#include "app/shell/language.h"
#include "app/shell/resource.h"

namespace lumora::app {

namespace {

bool is_dot_entry(const char* name) { return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)); }

}  // namespace

CFolderTree::~CFolderTree() {
  destroy();
  if (images_) ImageList_Destroy(images_);
}

bool CFolderTree::init(HWND tree_view) {
  if (!attach(tree_view)) return false;
  const int side = GetSystemMetrics(SM_CXSMICON);
  HBITMAP strip = nullptr, mask = nullptr;
  if (CreateShellIconStrip(side, &strip, &mask)) {
    images_ = ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, SHELL_ICON_COUNT, 0);
    if (images_) ImageList_Add(images_, strip, mask);
    DeleteObject(strip);
    DeleteObject(mask);
    if (images_) set_image_list(images_);
  }
  std::string root = load_string(IDS_TREEROOT);
  TVITEM it;
  it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
  it.pszText = root.data();
  it.iImage = it.iSelectedImage = SHELL_ICON_DEVICE;
  it.cChildren = 1;
  return insert_item(TVI_ROOT, it) != nullptr;
}

void CFolderTree::fill(HTREEITEM item, const std::string& folder) {
  std::vector<FolderEntry> entries;
  ListFolder(folder, &entries);
  for (FolderEntry& e : entries) {
    if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY) || (e.attributes & FILE_ATTRIBUTE_HIDDEN)) continue;
    TVITEM it;
    it.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    it.pszText = e.name.data();
    it.iImage = it.iSelectedImage = I_IMAGECALLBACK;
    it.cChildren = I_CHILDRENCALLBACK;
    insert_item(item, it);
  }
  sort_children(item);
}

bool CFolderTree::has_subfolders(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
  if (!dir) return false;
  while (dirent* e = ::readdir(dir.get())) {
    if (is_dot_entry(e->d_name)) continue;
    if (e->d_type == DT_DIR) return true;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      if (::stat((folder + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    }
  }
  return false;
}

std::string CFolderTree::item_path(HTREEITEM item) const {
  std::string path;
  for (HTREEITEM i = item; i; i = parent_item(i)) {
    if (!parent_item(i)) {
      path.insert(0, "/");  // the root item
      break;
    }
    path.insert(0, item_text(i) + "/");
  }
  return path;
}

std::string CFolderTree::selected_path() const {
  HTREEITEM sel = selected_item();
  return sel ? item_path(sel) : std::string();
}

bool CFolderTree::on_notify(NMHDR* hdr, LRESULT* result) {
  if (!hdr || hdr->hwndFrom != hwnd_) return false;
  switch (hdr->code) {
    case TVN_ITEMEXPANDING: {
      auto* nm = reinterpret_cast<NMTREEVIEW*>(hdr);
      if (nm->action & TVE_EXPAND) {
        // Read the folder again each time it opens.
        delete_children(nm->itemNew.hItem);
        fill(nm->itemNew.hItem, item_path(nm->itemNew.hItem));
      }
      *result = FALSE;  // the expansion goes on
      return true;
    }
    case TVN_GETDISPINFO: {
      auto* di = reinterpret_cast<NMTVDISPINFO*>(hdr);
      const std::string path = item_path(di->item.hItem);
      if (di->item.mask & TVIF_CHILDREN) {
        di->item.cChildren = has_subfolders(path) ? 1 : 0;
        di->item.mask |= TVIF_DI_SETITEM;  // asked once per item
      }
      if (di->item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
        const int icon = ShellIconIndex(path);
        di->item.iImage = icon;
        di->item.iSelectedImage = icon == SHELL_ICON_FOLDER ? SHELL_ICON_FOLDER_OPEN : icon;
      }
      *result = 0;
      return true;
    }
    case TVN_SELCHANGED: {
      auto* nm = reinterpret_cast<NMTREEVIEW*>(hdr);
      if (nm->itemNew.hItem) {
        // The receiver owns the string.
        auto* path = new std::string(item_path(nm->itemNew.hItem));
        if (!PostMessage(GetParent(hwnd_), UM_BROWSE_FOLDER, 0, reinterpret_cast<LPARAM>(path))) delete path;
      }
      *result = 0;
      return true;
    }
    default:
      return false;
  }
}

void CFolderTree::select_path(const std::string& folder) {
  HTREEITEM item = root_item();
  if (!item) return;
  expand(item, TVE_EXPAND);
  std::string wanted = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  HTREEITEM best = item;
  std::string path = "/";
  while (wanted.size() > path.size() && wanted.compare(0, path.size(), path) == 0) {
    HTREEITEM next = nullptr;
    for (HTREEITEM c = child(item); c; c = next_sibling(c)) {
      std::string candidate = path + item_text(c) + "/";
      if (wanted.compare(0, candidate.size(), candidate) == 0) {
        next = c;
        path = std::move(candidate);
        break;
      }
    }
    if (!next) break;
    expand(next, TVE_EXPAND);
    item = best = next;
  }
  select_item(best);
  SendMessage(hwnd_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(best));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

}  // namespace lumora::app
