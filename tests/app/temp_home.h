#pragma once
// A private folder for one test, removed at its end, with environment variables (HOME, the XDG
// folders, LUMORA_CONFIG_DIR, PATH) pointed into it for the test and put back afterwards.
#include <filesystem>
#include <string>

#include "tests/support/picture_file.h"
#include "tests/support/scoped_env.h"

namespace lumora::test {

class TempHome : public TempDir {
 public:
  // Points the variable NAME at the folder SUB below this one, made first when `make`; returns
  // its path.
  std::string point(const char* name, const std::string& sub, bool make = true) {
    if (make) std::filesystem::create_directories(path(sub));
    env_.set(name, path(sub).c_str());
    return path(sub);
  }

 private:
  ScopedEnv env_;
};

}  // namespace lumora::test
