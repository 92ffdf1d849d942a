#pragma once
// CBmp: the picture window. Shows one page of one picture file at a zoom, scrolled, turned to the
// screen's orientation, playing GIF animations; serves the full-screen viewer, the preview under
// the browser's strip and the slideshow.
#include <memory>
#include <string>

#include "app/shell/framework.h"
#include "app/viewer/picture_geometry.h"
#include "app/viewer/screen_conv.h"
#include "imagelib/codecs/gif/gif.h"
#include "imagelib/core/bitmap.h"

namespace lumora::app {

class CBmp : public CWindow {
 public:
  CBmp();
  ~CBmp() override;

  // Creates the window (class "BmpClass") as a child of parent.
  bool create(HWND parent, const RECT& r, DWORD style);

  // Loads a page of a file; width and height 0 mean no size request. True when a picture shows.
  bool load(const std::string& path, int page, int request_width, int request_height);
  void clear();  // shows nothing

  void set_zoom(int percent);
  void zoom_in();
  void zoom_out();
  void set_zoom_mode(int mode);  // 0 percentage, 1 fit, 2 fill, 3 fit width, 4 fit height
  int zoom_mode() const;
  int zoom() const;
  void set_rotation_mode(int mode);  // 0 none, 1 auto left, 2 auto right, 3 left, 4 right
  int rotation_mode() const;
  void set_exif_rotate(bool on);
  void set_max_pixels(uint32_t pixels);
  void rotate(int degrees);  // -90, 90, 180
  void resize(int width, int height);
  void scroll_by(int dx, int dy);
  void next_page();
  void previous_page();
  void set_caption(const std::string& text);
  const std::string& path() const;
  int page() const;
  int page_count() const;
  const lumora::Bitmap* picture() const;  // the working picture, null when none
  // Big-picture limits (-1, -1: none) and whether 1-bit pictures are exempt.
  void set_limits(int width, int height, bool no_bw_resize);

  // Slideshow mode: loads go through the transition effects.
  void set_slideshow(bool on, bool use_transition);
  bool slideshow() const;

  // Tone preview on the display image only, and applying it to the working picture. Gamma in
  // tenths (10 = 1.0), the Adjust dialog's steps.
  void preview_tone(int brightness, int contrast, int gamma);
  void apply_tone(int brightness, int contrast, int gamma);

  // The library status of the last load (0 success); the main window words the reason.
  int last_status() const { return last_status_; }
  // Where the picture lies in the window and how it is scrolled (client pixels).
  int scroll_x() const { return scroll_x_; }
  int scroll_y() const { return scroll_y_; }
  int scroll_max_x() const { return scroll_max_x_; }
  int scroll_max_y() const { return scroll_max_y_; }
  int display_width() const { return display_width_; }
  int display_height() const { return display_height_; }
  bool rotated_on_load() const { return rotated_on_load_; }
  // The animation: frame shown, frame count (0 when the picture is still), and whether its timer runs.
  int frame_index() const { return frame_index_; }
  int frame_count() const { return static_cast<int>(animation_.frame_count); }
  bool animating() const { return animating_; }
  void set_animate(bool on) { animate_ = on; }
  void set_background(COLORREF colour);

  static constexpr UINT kAnimationTimer = 1000;
  // A GIF frame delay this short (0 or one hundredth of a second) is shown for 100 ms, as web
  // browsers do, so that a careless file never spins the processor.
  static constexpr uint32_t kShortFrameDelayMs = 10;
  static constexpr uint32_t kDefaultFrameDelayMs = 100;

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnCreate(CREATESTRUCT* cs);
  void OnDestroy();
  void OnSize(UINT type, int cx, int cy);
  void OnPaint();
  LRESULT OnEraseBackground(WPARAM wp, LPARAM lp);
  void OnHScroll(int code, int pos, HWND bar);
  void OnVScroll(int code, int pos, HWND bar);
  void OnTimer(UINT id);
  void OnKeyUp(UINT key, UINT repeat, LPARAM lp);
  void OnKeyIgnored(UINT key, UINT repeat, LPARAM lp);

 private:
  void free_picture();
  bool own_working_picture();
  // Animation (picture_animation.cpp).
  bool start_animation(const lumora::FileInfo& info);
  void stop_animation();
  void show_frame(uint32_t index);
  uint32_t frame_delay(uint32_t index) const;
  bool rotate_frames(int degrees);
  // Layout and scrolling (picture_zoom.cpp).
  void layout(bool force_rebuild);
  void apply_scroll_bars(const LayoutResult& r);
  void scroll_axis(int bar, int code, int pos);
  void scroll_to(int x, int y);
  void full_area(int* width, int* height) const;
  // Painting (picture_paint.cpp) through the display image (picture_display.cpp).
  void paint_picture(HDC dc, const RECT& client, const RECT& update);
  void paint_caption(HDC dc, const RECT& client);
  void display_init();
  void display_free();
  void display_detach();
  void rebuild_display();
  void display_draw(HDC dc, int x, int y, const RECT& update);
  HBITMAP make_screen_bitmap(const lumora::Bitmap* picture);
  // The slideshow (picture_slideshow.cpp).
  void show_in_slideshow();
  void free_device_bitmap();

  std::string path_;
  bool use_display_image_ = true;
  int limit_width_ = -1, limit_height_ = -1;
  bool reduce_black_and_white_ = false;
  lumora::Bitmap* picture_ = nullptr;  // the working picture, owned or a borrowed frame
  lumora::Bitmap loaded_{};            // storage of an owned picture
  bool owns_picture_ = false;
  HBITMAP device_bitmap_ = nullptr;    // the slideshow's screen bitmap
  lumora::GifAnimation animation_{};
  bool show_scroll_bars_ = true;
  bool animate_ = true;
  int zoom_mode_ = kZoomFill;
  int rotation_mode_ = kRotateNone;
  bool rotated_on_load_ = false;
  int scroll_step_ = 16;
  int page_ = 0, page_count_ = 0;
  int frame_index_ = 0;
  int zoom_x_ = 100, zoom_y_ = 100;
  int scroll_x_ = 0, scroll_y_ = 0;
  int scroll_max_x_ = 0, scroll_max_y_ = 0;
  int display_width_ = 0, display_height_ = 0;
  int picture_width_ = 0, picture_height_ = 0, picture_bits_ = 0;
  COLORREF background_ = 0;
  bool slideshow_ = false;
  bool use_transition_ = true;
  int transition_state_ = 0;
  bool animating_ = false;
  std::string caption_;

  bool exif_rotate_ = true;
  uint32_t max_pixels_ = 64u << 20;
  int last_status_ = 0;
  bool in_layout_ = false;
  bool display_dirty_ = true;  // the display image must be built again before the next paint
  int built_width_ = 0, built_height_ = 0;
  bool tone_active_ = false;
  uint8_t tone_[256] = {};
  std::unique_ptr<ScreenImage> display_;  // made at WM_CREATE, freed at WM_DESTROY
  bool display_ready_ = false;
};

}  // namespace lumora::app
