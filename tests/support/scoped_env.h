#pragma once
// Environment variables set for the life of the object; their old values, or their absence, are
// put back afterwards, also when a test fails half-way (processes the test starts inherit them
// meanwhile).
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace lumora::test {

class ScopedEnv {
 public:
  ScopedEnv() = default;
  ScopedEnv(const char* name, const std::string& value) { set(name, value.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    for (auto& [name, old] : saved_) old ? setenv(name.c_str(), old->c_str(), 1) : unsetenv(name.c_str());
  }
  // A null value unsets the variable.
  void set(const char* name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace lumora::test
