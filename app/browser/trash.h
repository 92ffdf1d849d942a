#pragma once
// The user's trash in the freedesktop.org layout ("Trash" 1.0, shared by the desktops), so that
// a deleted picture can be put back with the desktop's file manager or `gio trash --restore`:
//   - a file on the file system of $XDG_DATA_HOME goes to $XDG_DATA_HOME/Trash
//     (default ~/.local/share/Trash);
//   - a file on another file system goes to that file system's top directory: $topdir/.Trash/$uid
//     when $topdir/.Trash is a real folder with the sticky bit, else $topdir/.Trash-$uid;
//   - each trashed file lies in files/NAME with info/NAME.trashinfo beside it, holding
//     "[Trash Info]", Path= (URL-escaped; absolute in the home trash, relative to the top
//     directory in a top-directory trash) and DeletionDate= (local time, YYYY-MM-DDThh:mm:ss).
#include <string>

namespace lumora::app {

struct TrashResult {
  enum Kind {
    Trashed,  // the file is in the trash
    NoTrash,  // no trash can be used for this file; it was not touched
    Failed,   // a trash was found but the file could not be moved there; it was not touched
  };
  Kind kind = Failed;
  std::string trash_dir;   // the trash folder used (with files/ and info/ below it)
  std::string trashed;     // the file's new path under files/
  std::string info;        // its .trashinfo file
  std::string reason;      // for NoTrash and Failed: why, in words for the user
  int error = 0;           // errno of the failure, 0 when none
};

TrashResult move_to_trash(const std::string& path);

// RFC 2396 escaping of a path for the Path= key: every byte outside the unreserved characters
// and '/' becomes %XX.
std::string trash_escape_path(const std::string& path);

}  // namespace lumora::app
