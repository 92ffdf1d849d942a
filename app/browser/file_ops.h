#pragma once
// The File menu's operations on one picture file: Copy to, Move to, Rename and Delete. The caller
// has already asked for the target folder or the new name. The browser list is not touched: it
// follows the file system through its change events.
//
// Every failure is shown in a message box on owner that names the file, the operation and the
// reason (a file of that name exists, no permission, the disk is full, ...), and the files stay as
// they were. Delete asks nothing: it moves the file to the user's trash; only where no trash can
// be used it asks before deleting the file for good.
#include <string>

#include "platform/platform.h"

namespace lumora::app {

using namespace lumora::plat;

enum class FileOperation { Copy, Move, Rename, Delete };

struct FileOpOutcome {
  bool ok = false;
  std::string target;   // the new path (copy, move, rename; the trash entry for a delete)
  std::string message;  // for a failure: the sentence shown to the user
};

// Copies path into folder under the same name, never over an existing file.
FileOpOutcome copy_file_to(const std::string& path, const std::string& folder);
// Moves path into folder under the same name, never over an existing file.
FileOpOutcome move_file_to(const std::string& path, const std::string& folder);
// Renames path to new_path (a full path); the same path is no change and succeeds.
FileOpOutcome rename_file(const std::string& path, const std::string& new_path);

// The operations as the main window calls them: false after a failure was shown on owner (or the
// user declined to delete for good).
bool copy_to(HWND owner, const std::string& path, const std::string& folder);
bool move_to(HWND owner, const std::string& path, const std::string& folder);
bool rename_to(HWND owner, const std::string& path, const std::string& new_path);
bool delete_to_trash(HWND owner, const std::string& path);

// The sentence for a failed operation on path (target: the folder or new name involved).
std::string file_op_failure_text(FileOperation op, const std::string& path, const std::string& target,
                                 FileOpResult result);

}  // namespace lumora::app
