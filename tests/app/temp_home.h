#pragma once
// A private folder for one test, removed at its end, with environment variables (HOME, the XDG
// folders, LUMORA_CONFIG_DIR, PATH) pointed into it for the test and put back afterwards.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/picture_file.h"

namespace lumora::test {

class TempHome : public TempDir {
 public:
  ~TempHome() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) setenv(it->first.c_str(), it->second->c_str(), 1);
      else unsetenv(it->first.c_str());
    }
  }
  // Points the variable NAME at the folder SUB below this one, made first when `make`; returns
  // its path.
  std::string point(const char* name, const std::string& sub, bool make = true) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (make) std::filesystem::create_directories(path(sub));
    setenv(name, path(sub).c_str(), 1);
    return path(sub);
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace lumora::test
