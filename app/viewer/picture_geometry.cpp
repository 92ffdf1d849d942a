#include "app/viewer/picture_geometry.h"

#include <algorithm>

namespace lumora::app {
namespace {

// A side of the shown picture: at least one pixel, and never beyond what the display tables
// are meant to hold (a 1199 % zoom of the widest picture the budget lets through).
constexpr int64_t kMaxDisplaySide = int64_t{1} << 26;

int side(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, 1, kMaxDisplaySide)); }

bool accepted(int zoom) { return zoom >= kZoomMin && zoom <= kZoomMax; }

// One axis: centre a picture the view holds, else keep the position inside the picture.
void place(int display, int view, int* pos, int* max) {
  if (view >= display) {
    *pos = (display - view) / 2;
    *max = 0;
  } else {
    // The last position shows the picture's last column at the view's right edge.
    *max = display - view;
    *pos = std::clamp(*pos, 0, *max);
  }
}

}  // namespace

int zoom_step_in(int zoom) {
  int best = zoom;
  for (int step : kZoomSteps)
    if (accepted(step) && step > zoom && (best == zoom || step < best)) best = step;
  return best;
}

int zoom_step_out(int zoom) {
  int best = zoom;
  for (int step : kZoomSteps)
    if (accepted(step) && step < zoom && (best == zoom || step > best)) best = step;
  return best;
}

void big_picture_limits(uint32_t setting, int* width, int* height) {
  static constexpr int kLimits[][2] = {{120, 160}, {240, 320}, {480, 640}, {720, 960}};
  if (setting >= 1 && setting <= 4) {
    *width = kLimits[setting - 1][0];
    *height = kLimits[setting - 1][1];
  } else {
    *width = *height = -1;
  }
}

void load_request(const LoadRequestInput& in, int* width, int* height) {
  const bool limited = in.limit_width > 0 && in.limit_height > 0 && in.picture_width > in.limit_width &&
                       in.picture_height > in.limit_height;
  if (limited && in.bits_per_pixel == 1 && !in.reduce_black_and_white) {
    // Black-and-white pages (faxes, scans) stay legible: only the caller's request applies.
    *width = in.request_width;
    *height = in.request_height;
  } else if (limited) {
    const bool landscape = in.picture_width > in.picture_height;
    *width = landscape ? in.limit_height : in.limit_width;
    *height = landscape ? in.limit_width : in.limit_height;
  } else {
    *width = *height = std::max(in.request_width, in.request_height);
  }
}

int auto_rotation(int mode, int screen_width, int screen_height, int32_t picture_width, int32_t picture_height) {
  switch (mode) {
    case kRotateAutoLeft:
    case kRotateAutoRight: {
      const bool differs = (screen_width < screen_height && picture_width > picture_height) ||
                           (screen_width > screen_height && picture_width < picture_height);
      if (!differs) return 0;
      return mode == kRotateAutoLeft ? -90 : 90;
    }
    case kRotateLeft: return -90;
    case kRotateRight: return 90;
    default: return 0;
  }
}

LayoutResult layout_picture(const LayoutInput& in) {
  LayoutResult r;
  const int64_t pw = std::max<int32_t>(1, in.picture_width), ph = std::max<int32_t>(1, in.picture_height);
  const int W = std::max(1, in.area_width), H = std::max(1, in.area_height);
  const bool larger = pw > W || ph > H;
  r.scroll_x = in.scroll_x;
  r.scroll_y = in.scroll_y;

  if (in.zoom_mode == kZoomFit || (in.zoom_mode == kZoomFill && larger)) {
    // The whole picture in the window, no scroll bars.
    int w = side(pw * H / ph), h;
    if (w > W) {
      w = W;
      h = side(ph * W / pw);
    } else {
      h = H;
    }
    r.display_width = w, r.display_height = h;
    r.zoom_x = static_cast<int>(w * 100 / pw), r.zoom_y = static_cast<int>(h * 100 / ph);
    r.view_width = W, r.view_height = H;
    r.scroll_x = -((W - w) / 2), r.scroll_y = -((H - h) / 2);
    return r;
  }

  switch (in.zoom_mode) {
    case kZoomFill:  // a picture the window holds is shown at its own size
      r.display_width = static_cast<int>(pw), r.display_height = static_cast<int>(ph);
      break;
    case kZoomFitWidth: {
      int w = W;
      int64_t h = ph * w / pw;
      if (h > H && in.scroll_bars) {
        w = std::max(1, W - in.vbar_width);
        h = ph * w / pw;
      }
      r.display_width = w, r.display_height = side(h);
      break;
    }
    case kZoomFitHeight: {
      int h = H;
      int64_t w = pw * h / ph;
      if (w > W && in.scroll_bars) {
        h = std::max(1, H - in.hbar_height);
        w = pw * h / ph;
      }
      r.display_width = side(w), r.display_height = h;
      break;
    }
    default:
      r.display_width = side(pw * in.zoom_x / 100), r.display_height = side(ph * in.zoom_y / 100);
      break;
  }
  if (in.zoom_mode == kZoomPercent) {
    r.zoom_x = in.zoom_x, r.zoom_y = in.zoom_y;
  } else {
    r.zoom_x = static_cast<int>(r.display_width * 100 / pw), r.zoom_y = static_cast<int>(r.display_height * 100 / ph);
  }

  int view_w = W, view_h = H;
  if (in.scroll_bars) {
    // A bar takes room from the other direction, which may then need its own bar too.
    if (r.display_width > view_w) view_h -= in.hbar_height, r.hbar = true;
    if (r.display_height > view_h) view_w -= in.vbar_width, r.vbar = true;
    if (!r.hbar && r.display_width > view_w) view_h -= in.hbar_height, r.hbar = true;
  }
  r.view_width = std::max(1, view_w), r.view_height = std::max(1, view_h);
  place(r.display_width, r.view_width, &r.scroll_x, &r.scroll_max_x);
  place(r.display_height, r.view_height, &r.scroll_y, &r.scroll_max_y);
  return r;
}

int zoom_keep_centre(int scroll, int view, int old_zoom, int new_zoom) {
  const int64_t centre = (static_cast<int64_t>(scroll) + view / 2) * 100 / std::max(1, old_zoom);
  const int64_t moved = centre * new_zoom / 100 - view / 2;
  return static_cast<int>(std::clamp<int64_t>(moved, -kMaxDisplaySide, kMaxDisplaySide));
}

}  // namespace lumora::app
