#pragma once
// CBmp: the picture window. Shows one page of one picture file at a zoom, scrolled, turned to the
// screen's orientation, playing GIF animations; serves the full-screen viewer, the preview under
// the browser's strip and the slideshow.
#include <string>

#include "app/shell/framework.h"
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

  // Tone preview on the display image only, and applying it to the working picture.
  void preview_tone(int brightness, int contrast, int gamma);
  void apply_tone(int brightness, int contrast, int gamma);
};

}  // namespace lumora::app
