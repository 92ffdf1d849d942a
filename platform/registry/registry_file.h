#pragma once
// One registry root held in memory and stored as a JSON text file:
//   { "Software\\Lumora": { "Mode": 1, "Path": "/home/me/Pictures", "": "default" }, ... }
// Numbers are 32-bit values, strings are string values; values of other forms are kept as they
// stand. Every key appears with its full path, so empty keys survive.
#include <functional>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/base/types.h"
#include "platform/registry/registry.h"

namespace lumora::plat {

struct RegValue {
  std::string name;  // as first written
  DWORD type = 0;    // REG_SZ, REG_DWORD, or REG_NONE for a value kept as it stands
  std::string text;
  DWORD number = 0;
  nlohmann::json raw;
};

struct RegNode {
  std::string name;
  std::map<std::string, RegValue> values;  // by lower-case name
  std::map<std::string, RegNode> keys;     // by lower-case name
};

std::string reg_fold(std::string_view name);

class RegistryFile {
 public:
  // Writes all of data to the open file; false on failure. Replaceable to simulate a failure in
  // the middle of a write.
  using Writer = std::function<bool(int fd, const std::string& data)>;

  explicit RegistryFile(std::string path, Writer writer = {});

  // The tree, loaded on first use. A file that cannot be parsed is renamed to "<file>.corrupt"
  // and the tree starts empty.
  RegNode& tree();
  // Stores a new tree: written to a temporary file in the same folder, flushed, then renamed over
  // the file. On failure the file and the tree in memory stay as they were.
  bool commit(const RegNode& next);
  // Whether the file is on disk (it may have been removed since it was read).
  bool on_disk() const;

  static std::string serialise(const RegNode& root);
  static bool parse(const std::string& text, RegNode* root);

 private:
  std::string path_;
  Writer writer_;
  RegNode root_;
  bool loaded_ = false;
};

}  // namespace lumora::plat
