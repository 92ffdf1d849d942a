#pragma once
// A path as the edit dialogs show it: folder (with its trailing '/'), base name and extension.
#include <string>

namespace lumora::app {

struct PathParts {
  std::string folder;     // "/a/b/"
  std::string base;       // "photo"
  std::string extension;  // "jpg", without the dot; "" when the name has none
};

// The name splits at its last '.', unless that dot begins the name (".profile" has no extension).
inline PathParts split_path(const std::string& path) {
  PathParts p;
  const size_t slash = path.rfind('/');
  p.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    p.extension = name.substr(dot + 1);
    name.resize(dot);
  }
  p.base = std::move(name);
  return p;
}

}  // namespace lumora::app
