#pragma once
// Shell services: opening documents and web addresses with the desktop's handler, full-screen
// mode, and the other services of this folder in one include.
#include <string>

#include "platform/base/types.h"
#include "platform/shell/file_notify.h"
#include "platform/shell/files.h"
#include "platform/shell/folders.h"
#include "platform/shell/icons.h"
#include "platform/shell/locale_info.h"
#include "platform/shell/single_instance.h"

namespace lumora::plat {

// Opens a file or a web address with the desktop's handler (xdg-open, found on PATH), the verb
// "open". The handler runs on its own; false with a reason when it cannot be started or fails at
// once.
bool ShellExecuteOpen(const std::string& target, std::string* error = nullptr);
// How long ShellExecuteOpen waits for the handler to report a failure, in milliseconds; a handler
// still running then is taken as started.
inline constexpr int kShellOpenWaitMs = 300;

// Full-screen mode of the backend, in the terms of the phone shell: hiding the task bar makes the
// program's screen cover the whole host display; showing it again returns to the window (a
// program started with --fullscreen stays full screen). The input-panel and start flags are
// accepted and mean nothing here.
inline constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
inline constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
inline constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
inline constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
inline constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
inline constexpr DWORD SHFS_HIDESTARTICON = 0x0020;
BOOL SHFullScreen(HWND hwnd, DWORD state);
bool IsFullScreen();

}  // namespace lumora::plat
