// CBmp: painting the picture, the background around it and the caption.
#include "app/viewer/picture_window.h"

#include <algorithm>

namespace lumora::app {

LRESULT CBmp::OnEraseBackground(WPARAM, LPARAM) {
  return 1;  // the paint covers every pixel: picture, bands of background and caption
}

void CBmp::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  paint_picture(dc, client, ps.rcPaint);
  paint_caption(dc, client);
  EndPaint(hwnd_, &ps);
}

void CBmp::paint_picture(HDC dc, const RECT& client, const RECT& update) {
  HBRUSH background = CreateSolidBrush(background_);
  const bool shown = (picture_ || device_bitmap_) && display_width_ > 0 && display_height_ > 0;
  if (!shown) {
    FillRect(dc, &client, background);
    DeleteObject(background);
    return;
  }
  const RECT at{-scroll_x_, -scroll_y_, -scroll_x_ + display_width_, -scroll_y_ + display_height_};
  // The four bands around the picture.
  const RECT bands[4] = {{client.left, client.top, client.right, std::max(client.top, at.top)},
                         {client.left, std::min(client.bottom, at.bottom), client.right, client.bottom},
                         {client.left, std::max(client.top, at.top), std::max(client.left, at.left),
                          std::min(client.bottom, at.bottom)},
                         {std::min(client.right, at.right), std::max(client.top, at.top), client.right,
                          std::min(client.bottom, at.bottom)}};
  for (const RECT& band : bands)
    if (band.right > band.left && band.bottom > band.top) FillRect(dc, &band, background);
  DeleteObject(background);

  if (picture_ && use_display_image_) {
    if (display_dirty_) rebuild_display();
    display_draw(dc, at.left, at.top, update);
  } else if (device_bitmap_) {
    BITMAP bm{};
    GetObject(device_bitmap_, sizeof bm, &bm);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, device_bitmap_);
    StretchBlt(dc, at.left, at.top, display_width_, display_height_, memory, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
}

void CBmp::paint_caption(HDC dc, const RECT& client) {
  if (caption_.empty()) return;
  // A white copy one pixel right and down keeps the red text legible on any picture.
  const int old_mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old_colour = SetTextColor(dc, RGB(255, 255, 255));
  RECT shadow{client.left + 1, client.top + 1, client.right + 1, client.bottom + 1};
  DrawText(dc, caption_, &shadow, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SetTextColor(dc, RGB(255, 0, 0));
  RECT text = client;
  DrawText(dc, caption_, &text, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SetTextColor(dc, old_colour);
  SetBkMode(dc, old_mode);
}

}  // namespace lumora::app
