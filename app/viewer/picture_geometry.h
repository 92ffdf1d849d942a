#pragma once
// The picture window's arithmetic, kept apart from the window so that each rule can be checked
// on its own: the size request of a load, the turn on loading, the zoom steps and the layout of
// the picture in the window.
#include <cstdint>

namespace lumora::app {

enum ZoomMode : int { kZoomPercent = 0, kZoomFit = 1, kZoomFill = 2, kZoomFitWidth = 3, kZoomFitHeight = 4 };
enum RotationMode : int { kRotateNone = 0, kRotateAutoLeft = 1, kRotateAutoRight = 2, kRotateLeft = 3, kRotateRight = 4 };

constexpr int kZoomMin = 11, kZoomMax = 1199;  // accepted percentages
constexpr int kZoomSteps[] = {800, 700, 600, 500, 400, 300, 200, 100, 67, 50, 33, 25, 17, 12, 8, 6};

// The next step of the table above the current zoom (the current zoom when there is none), and
// the next one below it; steps outside the accepted range are never chosen.
int zoom_step_in(int zoom);
int zoom_step_out(int zoom);

// Size limits of the ResizeBigPicture setting (1..4); 0 and other values: none (-1, -1).
void big_picture_limits(uint32_t setting, int* width, int* height);

struct LoadRequestInput {
  int limit_width = -1, limit_height = -1;  // big-picture limits, -1 none
  bool reduce_black_and_white = false;      // 1-bit pictures are limited like any other
  int32_t picture_width = 0, picture_height = 0;
  int bits_per_pixel = 24;
  int request_width = 0, request_height = 0;  // the caller's; 0 none
};
// The box handed to the loader: the limit box oriented like the picture when the picture
// exceeds both limits, else a square of the caller's larger side.
void load_request(const LoadRequestInput& in, int* width, int* height);

// The turn in degrees (-90, 0, 90) that the rotation mode gives a picture on a screen.
int auto_rotation(int mode, int screen_width, int screen_height, int32_t picture_width, int32_t picture_height);

struct LayoutInput {
  int area_width = 0, area_height = 0;  // the client area with any shown scroll bars added back
  int vbar_width = 0, hbar_height = 0;  // sizes of the scroll bars
  bool scroll_bars = true;              // the window maintains scroll bars
  int32_t picture_width = 0, picture_height = 0;
  int zoom_mode = kZoomFill;
  int zoom_x = 100, zoom_y = 100;
  int scroll_x = 0, scroll_y = 0;
};
struct LayoutResult {
  int display_width = 0, display_height = 0;
  int zoom_x = 100, zoom_y = 100;
  int scroll_x = 0, scroll_y = 0;  // negative: the picture is centred in a larger window
  int scroll_max_x = 0, scroll_max_y = 0;
  int view_width = 0, view_height = 0;  // the area left for the picture beside the scroll bars
  bool hbar = false, vbar = false;      // scroll bars wanted
};
LayoutResult layout_picture(const LayoutInput& in);

// The scroll position that keeps the window's centre on the same picture point when the zoom
// changes from `old_zoom` to `new_zoom` percent.
int zoom_keep_centre(int scroll, int view, int old_zoom, int new_zoom);

}  // namespace lumora::app
