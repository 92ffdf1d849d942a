// CBmp: the slideshow's way of showing a picture, and the tone preview of the Adjust dialog.
#include <cstring>

#include "app/viewer/picture_window.h"
#include "app/viewer/transitions.h"
#include "imagelib/core/status.h"
#include "imagelib/ops/color_reduce.h"
#include "imagelib/ops/tone.h"

namespace lumora::app {

void CBmp::show_in_slideshow() {
  free_device_bitmap();
  device_bitmap_ = make_screen_bitmap(picture_);
  const bool had_picture = display_width_ > 0 && display_height_ > 0;
  const PictureRect before{-scroll_x_, -scroll_y_, had_picture ? display_width_ : 0, had_picture ? display_height_ : 0};
  if (!animating_) {
    // The screen bitmap is all the slideshow keeps of a still picture.
    if (owns_picture_) bitmap_free(&loaded_);
    std::memset(&loaded_, 0, sizeof loaded_);
    picture_ = nullptr;
    owns_picture_ = false;
  }
  layout(true);
  if (!hwnd_) return;
  if (device_bitmap_ && use_transition_ && IsWindowVisible(hwnd_)) {
    ValidateRect(hwnd_, nullptr);
    const PictureRect now{-scroll_x_, -scroll_y_, display_width_, display_height_};
    run_transition(hwnd_, &transition_state_, device_bitmap_, now, before, background_);
  }
  // The normal paint finishes the picture (and is all there is without a transition).
  InvalidateRect(hwnd_, nullptr, device_bitmap_ ? FALSE : TRUE);
}

void CBmp::preview_tone(int brightness, int contrast, int gamma) {
  if (!own_working_picture()) return;
  // The table works on colour bytes: a palette, grey or bilevel picture becomes 3-byte colour
  // first, and stays so even when the preview is cancelled.
  if (picture_->bytes_per_pixel < 3 || picture_->type == kPixIndexed) {
    if (bitmap_convert(picture_, nullptr, kConvertBGR, kMethodCopy) != kStatusOk) return;
    picture_bits_ = 24;
  }
  tone_table(tone_, brightness, contrast, gamma / 10.0);
  tone_active_ = true;
  display_dirty_ = true;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBmp::apply_tone(int brightness, int contrast, int gamma) {
  uint8_t table[256];
  tone_table(table, brightness, contrast, gamma / 10.0);
  tone_active_ = false;
  display_dirty_ = true;
  if (own_working_picture()) bitmap_apply_tone(picture_, table);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

}  // namespace lumora::app
