// Image lists: a size for the images of a list or tree, and optionally the images themselves
// (copied, with a monochrome mask where white marks the transparent pixels).
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/controls/commctrl.h"

namespace lumora::plat {

struct ImageListTag {
  int cx = 0, cy = 0;
  UINT flags = 0;
  struct Image {
    HBITMAP picture = nullptr;
    HBITMAP mask = nullptr;  // null: opaque
  };
  std::vector<Image> images;
};

namespace {

void free_image(ImageListTag::Image& im) {
  if (im.picture) DeleteObject(im.picture);
  if (im.mask) DeleteObject(im.mask);
  im = {};
}

// Copies the cx x cy piece at x of src into a new bitmap; for a mask the transparent (white)
// pixels become white and the others black, and the picture is blacked out where transparent so
// that AND-then-OR blits draw it.
HBITMAP copy_piece(HDC screen, HBITMAP src, int x, int cx, int cy) {
  HBITMAP out = CreateCompatibleBitmap(screen, cx, cy);
  if (!out) return nullptr;
  HDC s = CreateCompatibleDC(screen), d = CreateCompatibleDC(screen);
  HGDIOBJ os = SelectObject(s, src), od = SelectObject(d, out);
  BitBlt(d, 0, 0, cx, cy, s, x, 0, SRCCOPY);
  SelectObject(s, os);
  SelectObject(d, od);
  DeleteDC(s);
  DeleteDC(d);
  return out;
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int) {
  if (cx < 0 || cy < 0) return nullptr;
  auto* il = new (std::nothrow) ImageListTag;
  if (!il) return nullptr;
  il->cx = cx;
  il->cy = cy;
  il->flags = flags;
  il->images.reserve(static_cast<size_t>(std::clamp(initial, 0, 1024)));
  return il;
}

BOOL ImageList_Destroy(HIMAGELIST il) {
  if (!il) return FALSE;
  for (auto& im : il->images) free_image(im);
  delete il;
  return TRUE;
}

BOOL ImageList_GetIconSize(HIMAGELIST il, int* cx, int* cy) {
  if (!il) return FALSE;
  if (cx) *cx = il->cx;
  if (cy) *cy = il->cy;
  return TRUE;
}

BOOL ImageList_SetIconSize(HIMAGELIST il, int cx, int cy) {
  if (!il || cx < 0 || cy < 0) return FALSE;
  ImageList_Remove(il, -1);
  il->cx = cx;
  il->cy = cy;
  return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST il) { return il ? static_cast<int>(il->images.size()) : 0; }

int ImageList_Add(HIMAGELIST il, HBITMAP image, HBITMAP mask) {
  if (!il || !image || il->cx <= 0 || il->cy <= 0) return -1;
  BITMAP bm;
  if (!GetObject(image, sizeof bm, &bm) || bm.bmWidth < il->cx || bm.bmHeight < il->cy) return -1;
  int first = static_cast<int>(il->images.size());
  HDC screen = GetDC(nullptr);
  for (int x = 0; x + il->cx <= bm.bmWidth; x += il->cx) {
    ImageListTag::Image im;
    im.picture = copy_piece(screen, image, x, il->cx, il->cy);
    if (mask && (il->flags & ILC_MASK)) {
      im.mask = copy_piece(screen, mask, x, il->cx, il->cy);
      // Black out the picture where the mask is white.
      HDC d = CreateCompatibleDC(screen), m = CreateCompatibleDC(screen);
      HGDIOBJ od = SelectObject(d, im.picture), om = SelectObject(m, im.mask);
      // dest AND NOT mask, as (dest OR mask) XOR mask.
      BitBlt(d, 0, 0, il->cx, il->cy, m, 0, 0, SRCPAINT);
      BitBlt(d, 0, 0, il->cx, il->cy, m, 0, 0, SRCINVERT);
      SelectObject(d, od);
      SelectObject(m, om);
      DeleteDC(d);
      DeleteDC(m);
    }
    if (!im.picture) {
      free_image(im);
      break;
    }
    il->images.push_back(im);
  }
  ReleaseDC(nullptr, screen);
  return static_cast<int>(il->images.size()) > first ? first : -1;
}

BOOL ImageList_Remove(HIMAGELIST il, int index) {
  if (!il) return FALSE;
  if (index == -1) {
    for (auto& im : il->images) free_image(im);
    il->images.clear();
    return TRUE;
  }
  if (index < 0 || index >= static_cast<int>(il->images.size())) return FALSE;
  free_image(il->images[static_cast<size_t>(index)]);
  il->images.erase(il->images.begin() + index);
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST il, int index, HDC dc, int x, int y, UINT) {
  if (!il || index < 0 || index >= static_cast<int>(il->images.size())) return FALSE;
  const auto& im = il->images[static_cast<size_t>(index)];
  HDC src = CreateCompatibleDC(dc);
  if (im.mask) {
    HGDIOBJ o = SelectObject(src, im.mask);
    BitBlt(dc, x, y, il->cx, il->cy, src, 0, 0, SRCAND);
    SelectObject(src, im.picture);
    BitBlt(dc, x, y, il->cx, il->cy, src, 0, 0, SRCPAINT);
    SelectObject(src, o);
  } else {
    HGDIOBJ o = SelectObject(src, im.picture);
    BitBlt(dc, x, y, il->cx, il->cy, src, 0, 0, SRCCOPY);
    SelectObject(src, o);
  }
  DeleteDC(src);
  return TRUE;
}

}  // namespace lumora::plat
