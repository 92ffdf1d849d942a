#pragma once
// Writing a file so that a save never destroys what it replaces: the data goes to a temporary
// file in the destination's folder, which is flushed to disk and renamed over the destination
// only when the whole save succeeded. Private to the save pipeline.
#include <cstdio>
#include <string>

namespace lumora {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  // Removes the temporary file unless commit() succeeded.
  ~ReplacingFile();

  // Creates the temporary file for `path`. 0, or 5 when it cannot be created (folder missing or
  // not writable, `path` names a folder).
  int open(const char* path);
  std::FILE* file() const { return file_; }
  // Flushes and closes the temporary file and renames it over the destination; when a file is
  // replaced, its successor is synced to disk first so that a crash cannot leave neither. 0, 6
  // when writing or syncing failed, 5 when the rename failed. The temporary file is gone either way.
  int commit();
  // Closes and removes the temporary file.
  void discard();
  const std::string& temp_path() const { return temp_path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string target_;     // the file to replace (symbolic links resolved)
  std::string temp_path_;
  bool replacing_ = false; // the destination existed
};

}  // namespace lumora
