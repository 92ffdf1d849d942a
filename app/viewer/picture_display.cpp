// CBmp: the display image, one screen-sized surface into which each paint converts only the
// visible part of the working picture at the display size.
#include "app/viewer/picture_window.h"
#include "app/viewer/screen_conv.h"

namespace lumora::app {

void CBmp::display_init() {
  display_ = std::make_unique<ScreenImage>();
  display_->init(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  display_dirty_ = true;
}

void CBmp::display_free() { display_.reset(); }

void CBmp::display_detach() {
  // The display image reads the picture at every draw: it is built again before the next one.
  display_dirty_ = true;
}

void CBmp::rebuild_display() {
  display_dirty_ = false;
  display_ready_ = false;
  if (!display_ || !picture_ || !picture_->pixels) return;
  display_->set_tone_table(tone_active_ ? tone_ : nullptr);
  display_ready_ = display_->build(*picture_, display_width_, display_height_, kBuildPalette);
}

void CBmp::display_draw(HDC dc, int x, int y, const RECT& update) {
  if (display_ && display_ready_) display_->draw(dc, x, y, update);
}

HBITMAP CBmp::make_screen_bitmap(const Bitmap* picture) {
  if (!picture || !picture->pixels) return nullptr;
  void* bits = nullptr;
  return ScreenImage::make_screen_bitmap(*picture, picture->width, picture->height, &bits);
}

}  // namespace lumora::app
