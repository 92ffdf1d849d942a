// The shell's small icons, drawn from boxes laid out on a 16 x 16 grid and scaled to the size
// asked for, so that they stay sharp at every dpi.
#include "platform/shell/icons.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/shell/files.h"

namespace lumora::plat {

namespace {

constexpr uint32_t kClear = 0xFF000000;  // not a colour: marks transparent pixels while drawing

// A box on the 16-unit grid, filled with `fill` inside a one-pixel `edge`.
struct Box {
  int x0, y0, x1, y1;
  uint32_t fill, edge;  // 0x00RRGGBB
};

constexpr uint32_t kFolderEdge = 0x9A6A00, kFolderBack = 0xF2C232, kFolderFront = 0xFFDA5E, kFolderTab = 0xE8B020;

const std::vector<Box>& boxes(int index) {
  static const std::vector<Box> device = {
      {4, 0, 12, 16, 0x404850, 0x202428},  // body
      {5, 1, 11, 8, 0x8EC8F0, 0x303840},   // screen
      {5, 9, 7, 11, 0xD0D4D8, 0xD0D4D8},   // keys
      {9, 9, 11, 11, 0xD0D4D8, 0xD0D4D8},
      {5, 12, 7, 14, 0xD0D4D8, 0xD0D4D8},
      {9, 12, 11, 14, 0xD0D4D8, 0xD0D4D8},
  };
  static const std::vector<Box> drive = {
      {1, 5, 15, 12, 0xC8CCD0, 0x606468},  // case
      {2, 9, 10, 10, 0x808488, 0x808488},  // slot
      {12, 9, 14, 10, 0x30C040, 0x30C040}, // light
  };
  static const std::vector<Box> folder = {
      {1, 2, 7, 5, kFolderTab, kFolderEdge},
      {1, 4, 15, 14, kFolderBack, kFolderEdge},
      {1, 6, 15, 14, kFolderFront, kFolderEdge},
  };
  static const std::vector<Box> folder_open = {
      {1, 2, 7, 5, kFolderTab, kFolderEdge},
      {1, 4, 14, 14, kFolderBack, kFolderEdge},
      {3, 5, 13, 9, 0xFFFFFF, 0xA0A0A0},  // paper inside
      {3, 8, 16, 14, kFolderFront, kFolderEdge},
  };
  static const std::vector<Box> file = {
      {3, 1, 13, 15, 0xFFFFFF, 0x707070},
      {5, 4, 11, 5, 0xA0A8B0, 0xA0A8B0},  // lines of text
      {5, 7, 11, 8, 0xA0A8B0, 0xA0A8B0},
      {5, 10, 9, 11, 0xA0A8B0, 0xA0A8B0},
  };
  static const std::vector<Box>* all[SHELL_ICON_COUNT] = {&device, &drive, &folder, &folder_open, &file};
  return *all[std::clamp(index, 0, SHELL_ICON_COUNT - 1)];
}

// Renders one icon into pixels[size * size] (rows top-down), leaving untouched pixels as kClear.
void render(int index, int size, uint32_t* pixels, int stride) {
  auto px = [&](int unit) { return unit * size / 16; };
  for (const Box& b : boxes(index)) {
    int x0 = px(b.x0), y0 = px(b.y0), x1 = std::max(px(b.x1), x0 + 1), y1 = std::max(px(b.y1), y0 + 1);
    for (int y = y0; y < y1 && y < size; ++y)
      for (int x = x0; x < x1 && x < size; ++x) {
        bool edge = x == x0 || y == y0 || x == x1 - 1 || y == y1 - 1;
        pixels[y * stride + x] = edge ? b.edge : b.fill;
      }
  }
}

bool valid(int index, int size) { return index >= 0 && index < SHELL_ICON_COUNT && size >= 4 && size <= 256; }

}  // namespace

int ShellIconIndex(const std::string& path) {
  struct stat st;
  if (path == "/" ) return SHELL_ICON_DEVICE;
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return SHELL_ICON_FILE;
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p == "/") return SHELL_ICON_DEVICE;
  struct stat parent;
  if (::stat(PathFolder(p).c_str(), &parent) == 0 && parent.st_dev != st.st_dev) return SHELL_ICON_DRIVE;
  return SHELL_ICON_FOLDER;
}

BOOL DrawShellIcon(HDC hdc, int x, int y, int index, int size) {
  if (!hdc || !valid(index, size)) return FALSE;
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size, kClear);
  render(index, size, pixels.data(), size);
  for (int j = 0; j < size; ++j)
    for (int i = 0; i < size; ++i) {
      uint32_t c = pixels[static_cast<size_t>(j) * size + i];
      if (c != kClear) SetPixel(hdc, x + i, y + j, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    }
  return TRUE;
}

BOOL CreateShellIconStrip(int size, HBITMAP* image, HBITMAP* mask) {
  if (!image || !mask || !valid(0, size)) return FALSE;
  const int width = size * SHELL_ICON_COUNT;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * size, kClear);
  for (int i = 0; i < SHELL_ICON_COUNT; ++i) render(i, size, pixels.data() + i * size, width);
  // Monochrome rows are word aligned, most significant bit first; a set bit (white) is transparent.
  const size_t mask_stride = ((static_cast<size_t>(width) + 15) / 16) * 2;
  std::vector<uint8_t> bits(mask_stride * size, 0);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t& c = pixels[static_cast<size_t>(y) * width + x];
      if (c == kClear) {
        bits[y * mask_stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        c = 0;  // transparent pixels are black in the picture, as masked image lists expect
      }
    }
  *image = CreateBitmap(width, size, 1, 32, pixels.data());
  *mask = CreateBitmap(width, size, 1, 1, bits.data());
  if (*image && *mask) return TRUE;
  if (*image) DeleteObject(*image);
  if (*mask) DeleteObject(*mask);
  *image = *mask = nullptr;
  return FALSE;
}

}  // namespace lumora::plat
