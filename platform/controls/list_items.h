#pragma once
// The string list shared by the list box and the drop-down list, and the messages both answer
// the same way for it.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/window/window.h"

namespace lumora::plat::ctl {

struct ListItems {
  struct Entry {
    std::string text;
    uintptr_t data = 0;
  };
  std::vector<Entry> entries;
  int cur = -1;

  int count() const { return static_cast<int>(entries.size()); }
  bool valid(int i) const { return i >= 0 && i < count(); }

  // Inserts at i (-1: the end; sorted: by text without regard to case); returns the index.
  int insert(int i, const char* text, bool sorted) {
    Entry e{text ? text : "", 0};
    if (sorted) {
      auto less = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
          return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
      };
      auto it = std::upper_bound(entries.begin(), entries.end(), e,
                                 [&](const Entry& a, const Entry& b) { return less(a.text, b.text); });
      i = static_cast<int>(it - entries.begin());
    } else if (i < 0 || i > count()) {
      i = count();
    }
    entries.insert(entries.begin() + i, std::move(e));
    if (cur >= i) ++cur;
    return i;
  }

  bool erase(int i) {
    if (!valid(i)) return false;
    entries.erase(entries.begin() + i);
    if (cur == i) cur = -1;
    else if (cur > i) --cur;
    return true;
  }

  int find_exact(int after, const char* text) const {
    std::string t = text ? text : "";
    int n = count();
    for (int k = 1; k <= n; ++k) {
      int i = (after + k + n) % n;
      const std::string& s = entries[static_cast<size_t>(i)].text;
      if (s.size() == t.size() &&
          std::equal(s.begin(), s.end(), t.begin(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
          }))
        return i;
    }
    return -1;
  }

  LRESULT copy_text(int i, char* out) const {
    if (!valid(i)) return -1;
    const std::string& s = entries[static_cast<size_t>(i)].text;
    if (out) {
      std::memcpy(out, s.data(), s.size());
      out[s.size()] = '\0';
    }
    return static_cast<LRESULT>(s.size());
  }
};

// The string-list messages, by what they do; the list box and the drop-down list give them
// different numbers (LB_*, CB_*).
enum class ListMessage { Add, Insert, Delete, Reset, SetCurrent, GetCurrent, Count, GetText, GetTextLength, GetData, SetData, FindExact };

// A string-list control: its number for each ListMessage (in the order of the enumeration), its
// answer for a wrong index, the style that sorts what is added, and its own steps: moving the
// current entry without telling the parent, and following a removal of entries (null: nothing to
// do; the list box keeps its current entry in view).
template <class State>
struct StringList {
  std::array<UINT, 12> numbers;
  LRESULT error;
  DWORD sort_style;
  void (*select)(HWND, State&, int, bool notify);
  void (*after_removal)(HWND, State&);
};

// Answers a string-list message for a control whose state keeps its ListItems in `items`;
// nothing for any other message.
template <class State>
std::optional<LRESULT> answer_list_message(HWND h, State& s, const StringList<State>& list, UINT msg, WPARAM wp, LPARAM lp) {
  auto number = std::find(list.numbers.begin(), list.numbers.end(), msg);
  if (number == list.numbers.end()) return {};
  const auto what = static_cast<ListMessage>(number - list.numbers.begin());
  ListItems& it = s.items;
  const int index = static_cast<int>(static_cast<intptr_t>(wp));
  switch (what) {
    case ListMessage::Add:
    case ListMessage::Insert: {
      const bool add = what == ListMessage::Add;
      const bool sorted = add && (static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE)) & list.sort_style);
      int i = it.insert(add ? -1 : index, reinterpret_cast<const char*>(lp), sorted);
      InvalidateRect(h, nullptr, TRUE);
      return i;
    }
    case ListMessage::Delete:
      if (!it.erase(index)) return list.error;
      if (list.after_removal) list.after_removal(h, s);
      InvalidateRect(h, nullptr, TRUE);
      return it.count();
    case ListMessage::Reset:
      it.entries.clear();
      it.cur = -1;
      if (list.after_removal) list.after_removal(h, s);
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case ListMessage::SetCurrent:
      list.select(h, s, it.valid(index) ? index : -1, false);
      return it.valid(index) ? index : list.error;
    case ListMessage::GetCurrent:
      return it.cur;
    case ListMessage::Count:
      return it.count();
    case ListMessage::GetText:
      return it.copy_text(index, reinterpret_cast<char*>(lp));
    case ListMessage::GetTextLength:
      return it.copy_text(index, nullptr);
    case ListMessage::GetData:
      return it.valid(index) ? static_cast<LRESULT>(it.entries[wp].data) : list.error;
    case ListMessage::SetData:
      if (!it.valid(index)) return list.error;
      it.entries[wp].data = static_cast<uintptr_t>(lp);
      return TRUE;
    case ListMessage::FindExact:
      return it.find_exact(index, reinterpret_cast<const char*>(lp));
  }
  return {};
}

}  // namespace lumora::plat::ctl
