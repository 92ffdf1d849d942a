#pragma once
// The string list shared by the list box and the drop-down list.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/types.h"

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

}  // namespace lumora::plat::ctl
