#include "app/browser/folder_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace lumora::app {

namespace {

// Lower-case forms of the extensions the registry's readers know. Built once per scan rather than
// walking the registry for every one of thousands of names.
class ExtensionSet {
 public:
  ExtensionSet() {
    const FormatRegistry& reg = format_registry();
    for (int i = 0; i < reg.count; ++i) {
      const FormatEntry& row = reg.rows[i];
      if (!row.reader) continue;
      for (const char* e : row.extensions) {
        if (!e || !*e) break;
        std::string ext(e);
        for (char& c : ext) c = ascii_lower_char(c);
        extensions_.push_back(std::move(ext));
      }
    }
    std::sort(extensions_.begin(), extensions_.end());
    extensions_.erase(std::unique(extensions_.begin(), extensions_.end()), extensions_.end());
  }

  bool accepts(std::string_view name) const {
    size_t dot = name.rfind('.');
    // A name that is all extension (".jpg") or has none is no picture of ours.
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return false;
    std::string_view ext = name.substr(dot + 1);
    if (ext.size() > kLongestExtension) return false;
    char lower[kLongestExtension];
    for (size_t i = 0; i < ext.size(); ++i) lower[i] = ascii_lower_char(ext[i]);
    return std::binary_search(extensions_.begin(), extensions_.end(), std::string_view(lower, ext.size()));
  }

 private:
  static constexpr size_t kLongestExtension = 16;
  static char ascii_lower_char(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
  std::vector<std::string> extensions_;
};

// Case folding for the name order: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic capitals,
// which covers the two-byte UTF-8 range where people's file names live. Other characters compare
// by code point (UTF-8 byte order is code point order).
char32_t fold_code_point(char32_t c) {
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  return c;
}

std::string fold_name(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(name[i]);
    if (b >= 'A' && b <= 'Z') {
      out.push_back(static_cast<char>(b + 32));
    } else if (b >= 0xC2 && b <= 0xDF && i + 1 < name.size() &&
               (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80) {
      char32_t c = fold_code_point((char32_t(b & 0x1F) << 6) | (static_cast<unsigned char>(name[i + 1]) & 0x3F));
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      ++i;
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

// A signed number mapped to an unsigned one of the same order.
uint64_t order_of(int64_t v) { return static_cast<uint64_t>(v) ^ (uint64_t(1) << 63); }

// Everything one comparison needs, computed once per item and sort.
struct OrderKey {
  uint64_t group = 0;
  uint64_t value = 0;
  std::string text;    // extension for the type order
  std::string folded;  // name with case folded
  const std::string* name = nullptr;
};

OrderKey make_key(const FileItem& item, uint32_t key) {
  OrderKey k;
  k.name = &item.name;
  k.folded = fold_name(item.name);
  switch (key) {
    case kSortDate: k.value = order_of(item.write_time_ns); break;
    case kSortSize: k.value = order_of(item.size); break;
    case kSortType: {
      size_t dot = k.folded.rfind('.');
      if (dot != std::string::npos) k.text = k.folded.substr(dot + 1);
      break;
    }
    case kSortResolution:
      // Pictures not yet read go after every known one; among known ones fewer pixels first.
      k.group = item.info_known ? 0 : 1;
      if (item.info_known) k.value = uint64_t(item.facts.width) * item.facts.height;
      break;
    default: break;
  }
  return k;
}

int compare_keys(const OrderKey& a, const OrderKey& b) {
  if (a.group != b.group) return a.group < b.group ? -1 : 1;
  if (a.value != b.value) return a.value < b.value ? -1 : 1;
  if (int c = a.text.compare(b.text)) return c;
  if (int c = a.folded.compare(b.folded)) return c;
  // Names that differ only in case are distinct files here; keep their order fixed.
  return a.name->compare(*b.name);
}

bool comes_before(const OrderKey& a, const OrderKey& b, bool descending) {
  return descending ? compare_keys(b, a) < 0 : compare_keys(a, b) < 0;
}

std::string with_slash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

}  // namespace

bool is_picture_file(std::string_view name) { return ExtensionSet().accepts(name); }

bool FolderList::scan(const std::string& folder) {
  folder_ = with_slash(folder);
  items_.clear();
  mark_ = -1;
  std::vector<plat::FolderEntry> entries;
  ExtensionSet extensions;
  // Names are filtered before the walk stats them: other files cost no system call.
  auto keep = [](const char* name, void* ctx) { return static_cast<ExtensionSet*>(ctx)->accepts(name); };
  if (!plat::ListFolder(folder_, &entries, keep, &extensions)) return false;
  items_.reserve(entries.size());
  for (const plat::FolderEntry& e : entries) {
    if (e.attributes & plat::FILE_ATTRIBUTE_DIRECTORY) continue;
    items_.push_back(make_item(e));
  }
  sort(sort_value_);
  return true;
}

void FolderList::assign(const std::string& folder, std::vector<FileItem> items) {
  folder_ = with_slash(folder);
  items_ = std::move(items);
  for (FileItem& it : items_) {
    it.id = next_id_++;
    it.folder = folder_;
  }
  mark_ = -1;
  sort(sort_value_);
}

FileItem FolderList::make_item(const plat::FolderEntry& entry) {
  FileItem it;
  it.id = next_id_++;
  it.attributes = entry.attributes;
  it.folder = folder_;
  it.name = entry.name;
  it.size = entry.size > uint64_t(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max()
                                                                       : static_cast<int64_t>(entry.size);
  it.write_time_ns = entry.write_time_ns;
  return it;
}

void FolderList::sort(uint32_t sort_value) {
  sort_value_ = sort_value;
  const uint32_t key = sort_value & kSortKeyMask;
  const bool descending = (sort_value & kSortDescending) != 0;
  std::vector<OrderKey> keys;
  keys.reserve(items_.size());
  for (const FileItem& it : items_) keys.push_back(make_key(it, key));
  std::vector<uint32_t> order(items_.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return comes_before(keys[a], keys[b], descending); });
  std::vector<FileItem> sorted;
  sorted.reserve(items_.size());
  int new_mark = -1;
  for (size_t i = 0; i < order.size(); ++i) {
    if (static_cast<int>(order[i]) == mark_) new_mark = static_cast<int>(i);
    sorted.push_back(std::move(items_[order[i]]));
  }
  items_ = std::move(sorted);
  mark_ = new_mark;
}

int FolderList::find_by_path(std::string_view path) const {
  if (path.size() <= folder_.size() || path.substr(0, folder_.size()) != folder_) return -1;
  std::string_view name = path.substr(folder_.size());
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].name == name && items_[i].folder == folder_) return static_cast<int>(i);
  return -1;
}

int FolderList::find_by_id(uint32_t id) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].id == id) return static_cast<int>(i);
  return -1;
}

bool FolderList::in_folder(std::string_view path) const {
  return !folder_.empty() && path.size() > folder_.size() && path.substr(0, folder_.size()) == folder_ &&
         path.find('/', folder_.size()) == std::string_view::npos;
}

int FolderList::insert_sorted(FileItem item) {
  const uint32_t key = sort_value_ & kSortKeyMask;
  const bool descending = (sort_value_ & kSortDescending) != 0;
  const OrderKey k = make_key(item, key);
  // After every item it does not come before: equal keys keep their arrival order.
  size_t lo = 0, hi = items_.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (comes_before(k, make_key(items_[mid], key), descending))
      hi = mid;
    else
      lo = mid + 1;
  }
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(lo), std::move(item));
  const int at = static_cast<int>(lo);
  if (mark_ >= at) ++mark_;
  return at;
}

int FolderList::reposition(int index) {
  const bool was_mark = mark_ == index;
  FileItem item = std::move(items_[static_cast<size_t>(index)]);
  items_.erase(items_.begin() + index);
  if (mark_ > index) --mark_;
  if (was_mark) mark_ = -1;
  int at = insert_sorted(std::move(item));
  if (was_mark) mark_ = at;
  return at;
}

ListChange FolderList::remove_at(int index) {
  const bool was_mark = mark_ == index;
  const bool was_selected = items_[static_cast<size_t>(index)].selected;
  items_.erase(items_.begin() + index);
  if (mark_ > index) {
    --mark_;
  } else if (was_mark) {
    // The mark goes to the file that took the place, or to the new last one; the selection
    // goes with it so that the user keeps a selected file to act on.
    mark_ = items_.empty() ? -1 : std::min(index, static_cast<int>(items_.size()) - 1);
    if (mark_ >= 0 && was_selected) items_[static_cast<size_t>(mark_)].selected = true;
  }
  return {ListChange::Kind::Removed, index, -1};
}

ListChange FolderList::refresh(const std::string& path) {
  if (!in_folder(path)) return {};
  const int index = find_by_path(path);
  plat::FolderEntry entry;
  const bool exists = plat::GetFileEntry(path, &entry) && !(entry.attributes & plat::FILE_ATTRIBUTE_DIRECTORY) &&
                      is_picture_file(entry.name);
  if (!exists) return index >= 0 ? remove_at(index) : ListChange{};
  if (index < 0) return {ListChange::Kind::Inserted, insert_sorted(make_item(entry)), -1};
  // Written again: new size and time, and the picture must be read again.
  FileItem& it = items_[static_cast<size_t>(index)];
  FileItem fresh = make_item(entry);
  it.attributes = fresh.attributes;
  it.size = fresh.size;
  it.write_time_ns = fresh.write_time_ns;
  it.info_known = false;
  it.facts = {};
  const int at = reposition(index);
  return at == index ? ListChange{ListChange::Kind::Updated, at, -1} : ListChange{ListChange::Kind::Moved, at, index};
}

ListChange FolderList::rename(const std::string& from, const std::string& to) {
  const int index = find_by_path(from);
  if (index < 0) return refresh(to);  // renamed into the folder, or from a name we do not list
  if (!in_folder(to) || !is_picture_file(plat::PathName(to))) return remove_at(index);
  const int replaced = find_by_path(to);
  if (replaced >= 0 && replaced != index) {
    // The new name overwrote a listed file: that item goes, the renamed one takes its name.
    const uint32_t id = items_[static_cast<size_t>(index)].id;
    remove_at(replaced);
    const int moved = find_by_id(id);
    items_[static_cast<size_t>(moved)].name = to.substr(folder_.size());
    const int at = reposition(moved);
    return {ListChange::Kind::Reset, at, -1};
  }
  items_[static_cast<size_t>(index)].name = to.substr(folder_.size());
  const int at = reposition(index);
  return at == index ? ListChange{ListChange::Kind::Updated, at, -1} : ListChange{ListChange::Kind::Moved, at, index};
}

ListChange FolderList::apply_change(const plat::FILECHANGEINFO& change) {
  switch (change.wEventId) {
    case plat::SHCNE_RENAMEITEM: return rename(change.dwItem1, change.dwItem2);
    case plat::SHCNE_CREATE:
    case plat::SHCNE_UPDATEITEM: return refresh(change.dwItem1);
    case plat::SHCNE_DELETE: {
      const int index = find_by_path(change.dwItem1);
      return index >= 0 ? remove_at(index) : ListChange{};
    }
    case plat::SHCNE_UPDATEDIR:
    case plat::SHCNE_RMDIR:
    case plat::SHCNE_RENAMEFOLDER:
      // The folder itself changed, or the watcher lost events: only a new scan tells the truth.
      if (with_slash(change.dwItem1) == folder_) return {ListChange::Kind::Rescan, -1, -1};
      return {};
    default: return {};
  }
}

}  // namespace lumora::app
