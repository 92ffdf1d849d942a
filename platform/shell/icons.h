#pragma once
// Small icons of the shell, drawn by the platform: the device (the root folder), drives (mount
// points), folders and files. Image lists take them as one strip of pictures with a mask.
#include <string>

#include "platform/base/types.h"

namespace lumora::plat {

inline constexpr int SHELL_ICON_DEVICE = 0;
inline constexpr int SHELL_ICON_DRIVE = 1;
inline constexpr int SHELL_ICON_FOLDER = 2;
inline constexpr int SHELL_ICON_FOLDER_OPEN = 3;
inline constexpr int SHELL_ICON_FILE = 4;
inline constexpr int SHELL_ICON_COUNT = 5;

// The icon of a path: the root "/" is the device, a folder on another file system than its
// parent a drive, other folders folders, everything else (missing paths too) a file.
int ShellIconIndex(const std::string& path);

// Draws one icon of size x size pixels (16 at 96 dpi; other sizes are scaled) at (x, y).
BOOL DrawShellIcon(HDC hdc, int x, int y, int index, int size);
// All icons side by side (SHELL_ICON_COUNT x size wide, size high): a 32-bit picture and a
// monochrome mask in which white marks the transparent pixels. The caller deletes both.
BOOL CreateShellIconStrip(int size, HBITMAP* image, HBITMAP* mask);

}  // namespace lumora::plat
