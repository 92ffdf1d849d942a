// CBmp: layout of the picture in the window, zoom and scrolling.
#include "app/viewer/picture_window.h"

#include <algorithm>

namespace lumora::app {

void CBmp::full_area(int* width, int* height) const {
  RECT c{};
  if (hwnd_) GetClientRect(hwnd_, &c);
  *width = c.right - c.left;
  *height = c.bottom - c.top;
  if (!hwnd_) return;
  // The picture may use the room of scroll bars it will not need.
  const auto style = static_cast<DWORD>(GetWindowLongPtr(hwnd_, GWL_STYLE));
  if (style & WS_VSCROLL) *width += GetSystemMetrics(SM_CXVSCROLL);
  if (style & WS_HSCROLL) *height += GetSystemMetrics(SM_CYHSCROLL);
}

void CBmp::layout(bool force_rebuild) {
  if (in_layout_) return;  // showing or hiding a scroll bar resizes the client area
  in_layout_ = true;
  if (!picture_ && !device_bitmap_) {
    display_width_ = display_height_ = 0;
    scroll_x_ = scroll_y_ = scroll_max_x_ = scroll_max_y_ = 0;
    if (hwnd_ && show_scroll_bars_) apply_scroll_bars(LayoutResult{});
    in_layout_ = false;
    return;
  }
  LayoutInput in;
  full_area(&in.area_width, &in.area_height);
  in.vbar_width = GetSystemMetrics(SM_CXVSCROLL);
  in.hbar_height = GetSystemMetrics(SM_CYHSCROLL);
  in.scroll_bars = show_scroll_bars_;
  in.picture_width = picture_width_, in.picture_height = picture_height_;
  in.zoom_mode = zoom_mode_;
  in.zoom_x = zoom_x_, in.zoom_y = zoom_y_;
  in.scroll_x = scroll_x_, in.scroll_y = scroll_y_;
  const LayoutResult r = layout_picture(in);

  if (force_rebuild || r.display_width != display_width_ || r.display_height != display_height_)
    display_dirty_ = true;
  display_width_ = r.display_width, display_height_ = r.display_height;
  zoom_x_ = r.zoom_x, zoom_y_ = r.zoom_y;
  scroll_x_ = r.scroll_x, scroll_y_ = r.scroll_y;
  scroll_max_x_ = r.scroll_max_x, scroll_max_y_ = r.scroll_max_y;
  if (hwnd_ && show_scroll_bars_) apply_scroll_bars(r);
  in_layout_ = false;
}

void CBmp::apply_scroll_bars(const LayoutResult& r) {
  // Range 0 .. display size - 1 with the view as page: the bar's last position is the layout's
  // maximum, and a view that holds the whole picture hides the bar.
  const int size[2] = {r.display_width, r.display_height};
  const int view[2] = {r.view_width, r.view_height};
  const int pos[2] = {std::max(0, r.scroll_x), std::max(0, r.scroll_y)};
  for (int bar : {SB_HORZ, SB_VERT}) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, size[bar] - 1);
    si.nPage = static_cast<UINT>(std::max(0, view[bar]));
    si.nPos = pos[bar];
    SetScrollInfo(hwnd_, bar, &si, TRUE);
  }
}

void CBmp::OnSize(UINT, int, int) {
  if (picture_ || device_bitmap_) layout(false);
}

void CBmp::set_zoom_mode(int mode) {
  if (mode < kZoomPercent || mode > kZoomFitHeight) return;
  zoom_mode_ = mode;
  layout(false);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

int CBmp::zoom_mode() const { return zoom_mode_; }
int CBmp::zoom() const { return zoom_x_; }

void CBmp::set_zoom(int percent) {
  if (percent < kZoomMin || percent > kZoomMax) return;
  if (!picture_ && !device_bitmap_) {
    zoom_x_ = zoom_y_ = percent;
    zoom_mode_ = kZoomPercent;
    return;
  }
  RECT c{};
  GetClientRect(hwnd_, &c);
  // The picture point at the window's centre stays there.
  scroll_x_ = zoom_keep_centre(scroll_x_, c.right, zoom_x_, percent);
  scroll_y_ = zoom_keep_centre(scroll_y_, c.bottom, zoom_y_, percent);
  zoom_x_ = zoom_y_ = percent;
  zoom_mode_ = kZoomPercent;
  layout(false);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBmp::zoom_in() { set_zoom(zoom_step_in(zoom_x_)); }
void CBmp::zoom_out() { set_zoom(zoom_step_out(zoom_x_)); }

void CBmp::scroll_to(int x, int y) {
  const int nx = scroll_max_x_ > 0 ? std::clamp(x, 0, scroll_max_x_) : scroll_x_;
  const int ny = scroll_max_y_ > 0 ? std::clamp(y, 0, scroll_max_y_) : scroll_y_;
  if (nx == scroll_x_ && ny == scroll_y_) return;
  if (nx != scroll_x_ && show_scroll_bars_) SetScrollPos(hwnd_, SB_HORZ, nx, TRUE);
  if (ny != scroll_y_ && show_scroll_bars_) SetScrollPos(hwnd_, SB_VERT, ny, TRUE);
  scroll_x_ = nx, scroll_y_ = ny;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBmp::scroll_by(int dx, int dy) { scroll_to(scroll_x_ + dx, scroll_y_ + dy); }

void CBmp::scroll_axis(int bar, int code, int pos) {
  const int current = bar == SB_HORZ ? scroll_x_ : scroll_y_;
  const int max = bar == SB_HORZ ? scroll_max_x_ : scroll_max_y_;
  SCROLLINFO si;
  si.fMask = SIF_PAGE;
  GetScrollInfo(hwnd_, bar, &si);
  const int page = si.nPage ? static_cast<int>(si.nPage) : 10;
  int target = current;
  switch (code) {
    case SB_LINEUP: target = current - 1; break;
    case SB_LINEDOWN: target = current + 1; break;
    case SB_PAGEUP: target = current - page; break;
    case SB_PAGEDOWN: target = current + page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: target = pos; break;
    case SB_TOP: target = 0; break;
    case SB_BOTTOM: target = max; break;
    default: return;
  }
  if (bar == SB_HORZ) scroll_to(target, scroll_y_);
  else scroll_to(scroll_x_, target);
}

void CBmp::OnHScroll(int code, int pos, HWND) { scroll_axis(SB_HORZ, code, pos); }
void CBmp::OnVScroll(int code, int pos, HWND) { scroll_axis(SB_VERT, code, pos); }

void CBmp::OnKeyUp(UINT key, UINT, LPARAM) {
  switch (key) {
    case VK_LEFT: scroll_by(-scroll_step_, 0); break;
    case VK_RIGHT: scroll_by(scroll_step_, 0); break;
    case VK_UP: scroll_by(0, -scroll_step_); break;
    case VK_DOWN: scroll_by(0, scroll_step_); break;
    default: break;
  }
}

// Key presses and typed characters mean nothing here; the release scrolls.
void CBmp::OnKeyIgnored(UINT, UINT, LPARAM) {}

}  // namespace lumora::app
