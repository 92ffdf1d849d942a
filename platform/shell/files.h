#pragma once
// Folder listing and the file operations of the browser, on native UTF-8 paths.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/types.h"

namespace lumora::plat {

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;  // the name begins with a dot
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;  // a plain file without other attributes
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// One directory entry. Symbolic links report what they point at (a dangling link reports itself).
struct FolderEntry {
  std::string name;
  DWORD attributes = 0;
  uint64_t size = 0;          // bytes
  int64_t write_time_ns = 0;  // last modification, nanoseconds since 1970-01-01 UTC
};

// Entries of a folder except "." and "..", in the file system's order. False when the folder
// cannot be listed (it is missing, not a folder, or not readable); *out is then empty.
// With `keep`, only the names it accepts are listed: the others are never stat'ed, which matters in
// a large folder where most of the cost is one stat per entry.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>* out,
                bool (*keep)(const char* name, void* ctx) = nullptr, void* ctx = nullptr);
// The entry of one path (its name is the last component). False when it does not exist.
bool GetFileEntry(const std::string& path, FolderEntry* out);
DWORD GetFileAttributes(const std::string& path);  // INVALID_FILE_ATTRIBUTES when missing
bool IsDirectory(const std::string& path);

enum class FileOpResult {
  Ok = 0,
  NotFound,      // the source does not exist
  Exists,        // the target exists; nothing was overwritten
  AccessDenied,  // permissions or a read-only file system
  NoSpace,       // the target's file system is full
  IsFolder,      // the operation takes files only
  Failed,        // any other failure
};
const char* FileOpResultText(FileOpResult r);

// Copies a file, keeping its modification time and permission bits. Never overwrites: an
// existing target gives Exists. A copy that fails half-way is removed.
FileOpResult CopyFile(const std::string& from, const std::string& to);
// Moves or renames a file or folder without overwriting. Across file systems a file is copied
// and the source deleted; when the source cannot be deleted the copy is removed again, so
// exactly one of the two exists afterwards.
FileOpResult MoveFile(const std::string& from, const std::string& to);
// Deletes a file (not a folder).
FileOpResult DeleteFile(const std::string& path);

// Path helpers: the folder part of a path (without its trailing '/'; "/" for the root) and its
// last component.
std::string PathFolder(const std::string& path);
std::string PathName(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace lumora::plat
