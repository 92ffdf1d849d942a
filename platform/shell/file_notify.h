#pragma once
// File-change notifications. A watcher follows folders with inotify on a thread of its own and
// posts each change to a window, so that the change arrives on the user-interface thread in the
// window's message queue.
//
// Events for files in a watched folder:
//   SHCNE_CREATE      a file appeared (created and closed after writing, or moved in);
//   SHCNE_DELETE      a file went away (deleted, or moved out);
//   SHCNE_RENAMEITEM  a file was renamed within the watched folders: one event with the old path
//                     in dwItem1 and the new one in dwItem2;
//   SHCNE_UPDATEITEM  a file was written again (closed after writing);
// and the same for folders with SHCNE_MKDIR, SHCNE_RMDIR and SHCNE_RENAMEFOLDER. When the kernel's
// queue overflowed, SHCNE_UPDATEDIR names the watched folder: its contents must be read again.
#include <memory>
#include <string>

#include "platform/base/messages.h"
#include "platform/base/types.h"

namespace lumora::plat {

// lParam: a FILECHANGENOTIFY* that the receiver releases with SHChangeNotifyFree.
inline constexpr UINT WM_FILECHANGEINFO = WM_APP + 0x0101;

inline constexpr LONG SHCNE_RENAMEITEM = 0x00000001;
inline constexpr LONG SHCNE_CREATE = 0x00000002;
inline constexpr LONG SHCNE_DELETE = 0x00000004;
inline constexpr LONG SHCNE_MKDIR = 0x00000008;
inline constexpr LONG SHCNE_RMDIR = 0x00000010;
inline constexpr LONG SHCNE_UPDATEDIR = 0x00001000;
inline constexpr LONG SHCNE_UPDATEITEM = 0x00002000;
inline constexpr LONG SHCNE_RENAMEFOLDER = 0x00020000;
inline constexpr LONG SHCNE_ALLEVENTS = 0x7FFFFFFF;

struct FILECHANGEINFO {
  LONG wEventId = 0;
  std::string dwItem1;  // full path
  std::string dwItem2;  // full new path of a rename; empty otherwise
  DWORD dwAttributes = 0;  // FILE_ATTRIBUTE_DIRECTORY for folders
};
struct FILECHANGENOTIFY {
  FILECHANGEINFO fci;
};
void SHChangeNotifyFree(FILECHANGENOTIFY* n);

class FileChangeWatcher {
 public:
  FileChangeWatcher();
  ~FileChangeWatcher();  // stops the thread; notifications already posted stay valid
  FileChangeWatcher(const FileChangeWatcher&) = delete;
  FileChangeWatcher& operator=(const FileChangeWatcher&) = delete;

  // Starts posting msg (lParam: FILECHANGENOTIFY*) to hwnd for the events in event_mask.
  bool Start(HWND hwnd, LONG event_mask = SHCNE_ALLEVENTS, UINT msg = WM_FILECHANGEINFO);
  // Follows one more folder (not its subfolders). Works before and after Start.
  bool Watch(const std::string& folder);
  // Stops following a folder; Unwatch("") stops following all of them.
  void Unwatch(const std::string& folder);
  void Stop();

  // How long a file that was moved out waits for its arrival under another watched name before
  // it counts as deleted, and how long a new file that nobody writes waits before it counts as
  // created (hard links, special files). Milliseconds of real time.
  static constexpr int kMovePairMs = 50;
  static constexpr int kQuietCreateMs = 1000;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace lumora::plat
