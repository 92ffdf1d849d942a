// CBmp: playing the frames of an animated GIF on timer 1000.
#include <cstring>

#include "app/viewer/picture_window.h"
#include "imagelib/core/status.h"
#include "imagelib/ops/rotate.h"

namespace lumora::app {

uint32_t CBmp::frame_delay(uint32_t index) const {
  if (index >= animation_.frame_count) return kDefaultFrameDelayMs;
  const uint32_t delay = animation_.frames[index].delay_ms;
  return delay <= kShortFrameDelayMs ? kDefaultFrameDelayMs : delay;
}

bool CBmp::start_animation(const FileInfo& info) {
  // Every frame is a whole canvas of one byte per pixel: the frames together stay inside the
  // same pixel budget as a still picture, or the file is shown still.
  const uint64_t canvas = uint64_t{info.width} * info.height;
  if (canvas == 0 || canvas * std::max<uint32_t>(1, info.image_count) > max_pixels_) return false;
  GifAnimation frames;
  std::memset(&frames, 0, sizeof frames);
  const int status = gif_load_frames(path_.c_str(), &frames);
  // A still picture needs no timer; a file whose frames did not all load, or whose frames
  // together pass the budget (the file's count of images may name only the first), is shown still.
  const uint64_t frames_pixels = canvas * frames.frame_count;
  if (status != kStatusOk || frames.frame_count < 2 || !frames.frames || frames_pixels > max_pixels_) {
    gif_animation_free(&frames);
    return false;
  }
  animation_ = frames;
  frame_index_ = 0;
  animating_ = true;
  return true;
}

void CBmp::stop_animation() {
  if (hwnd_) KillTimer(hwnd_, kAnimationTimer);
  if (animating_ && !owns_picture_) picture_ = nullptr;
  gif_animation_free(&animation_);
  std::memset(&animation_, 0, sizeof animation_);
  animating_ = false;
  frame_index_ = 0;
}

void CBmp::show_frame(uint32_t index) {
  frame_index_ = static_cast<int>(index);
  picture_ = &animation_.frames[index].bitmap;
  // Frames share the canvas size: the display keeps its size and takes the new pixels.
  const bool resized = picture_->width != picture_width_ || picture_->height != picture_height_;
  picture_width_ = picture_->width;
  picture_height_ = picture_->height;
  display_dirty_ = true;
  if (resized) layout(true);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBmp::OnTimer(UINT id) {
  if (id != kAnimationTimer) return;
  KillTimer(hwnd_, kAnimationTimer);
  if (!animating_ || animation_.frame_count == 0) return;
  const uint32_t next = (static_cast<uint32_t>(frame_index_) + 1) % animation_.frame_count;
  show_frame(next);
  SetTimer(hwnd_, kAnimationTimer, frame_delay(next), nullptr);
}

bool CBmp::rotate_frames(int degrees) {
  for (uint32_t i = 0; i < animation_.frame_count; ++i)
    if (bitmap_rotate(&animation_.frames[i].bitmap, nullptr, degrees) != kStatusOk) return false;
  show_frame(static_cast<uint32_t>(frame_index_));
  return true;
}

}  // namespace lumora::app
