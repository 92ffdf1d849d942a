#pragma once
// The picture files of one folder in display order: the scan from directory entries, the sort
// orders, the selection that follows its files, and the file-change events applied in place.
// A plain model without window code: the list control draws item i from items()[i].
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/browser/file_item.h"
#include "platform/shell/file_notify.h"
#include "platform/shell/files.h"

namespace lumora::app {

// The SortBy value: the key in the low bits, kSortDescending for the reverse order.
enum SortKey : uint32_t {
  kSortName = 0,        // name, case ignored
  kSortDate = 1,        // modification time, then name
  kSortType = 2,        // extension, case ignored, then name
  kSortSize = 3,        // size, then name
  kSortResolution = 4,  // pictures with known facts first, then pixel count, then name
};
inline constexpr uint32_t kSortDescending = 0x1000;
inline constexpr uint32_t kSortKeyMask = 0x0FFF;

// True when the name has a non-empty base and an extension that one of the library's readers
// knows (case ignored). Needs the library started.
bool is_picture_file(std::string_view name);

// What apply_change did, so that the list control can follow with the least work.
struct ListChange {
  enum class Kind {
    None,      // the event concerned no item of this list
    Inserted,  // a new item at index
    Removed,   // the item at index went away
    Updated,   // the item at index changed in place (size, time, or its facts must be read again)
    Moved,     // the item now at index was at from (renamed, or its sort key changed)
    Reset,     // several items changed: show the whole list again
    Rescan,    // events were lost: scan the folder again
  };
  Kind kind = Kind::None;
  int index = -1;
  int from = -1;
};

class FolderList {
 public:
  // Lists the picture files of folder (a trailing '/' is added when missing) in the current sort
  // order. Reads directory entries only; no file is opened. False, with an empty list, when the
  // folder cannot be listed.
  bool scan(const std::string& folder);
  // Takes items built elsewhere (tests, benchmarks) as the files of folder, and sorts them.
  void assign(const std::string& folder, std::vector<FileItem> items);

  const std::string& folder() const { return folder_; }
  const std::vector<FileItem>& items() const { return items_; }
  FileItem& item(size_t i) { return items_[i]; }
  const FileItem& item(size_t i) const { return items_[i]; }
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }

  uint32_t sort_value() const { return sort_value_; }
  // Reorders by sort_value and keeps it for later insertions. Selected items stay selected and
  // the mark stays on its file.
  void sort(uint32_t sort_value);

  // Index of the item whose full path is path (exact: Linux file names are case-sensitive), or -1.
  int find_by_path(std::string_view path) const;
  int find_by_id(uint32_t id) const;

  // The selection mark (the focused item), -1 when none.
  int mark() const { return mark_; }
  void set_mark(int index) { mark_ = index >= 0 && static_cast<size_t>(index) < items_.size() ? index : -1; }

  // Applies one file-change event (full paths). Only files directly in the folder shown join the
  // list; a file moved or renamed out of it leaves; a rename within it keeps the item (its
  // thumbnail and facts) and moves it to its new place in the order.
  ListChange apply_change(const plat::FILECHANGEINFO& change);

 private:
  bool in_folder(std::string_view path) const;
  FileItem make_item(const plat::FolderEntry& entry);
  int insert_sorted(FileItem item);
  int reposition(int index);
  ListChange remove_at(int index);
  ListChange refresh(const std::string& path);
  ListChange rename(const std::string& from, const std::string& to);

  std::string folder_;
  std::vector<FileItem> items_;
  uint32_t sort_value_ = kSortName;
  int mark_ = -1;
  uint32_t next_id_ = 1;
};

}  // namespace lumora::app
