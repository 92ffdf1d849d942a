// CBmp: creation, loading, pages, the working picture and its operations.
#include "app/viewer/picture_window.h"

#include <cstring>

#include "app/viewer/picture_loader.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/ops/resample.h"
#include "imagelib/ops/rotate.h"

namespace lumora::app {

namespace {
constexpr char kClassName[] = "BmpClass";
}

LUMORA_BEGIN_MESSAGE_TABLE(CBmp)
  ON_CREATE(OnCreate)
  ON_DESTROY(OnDestroy)
  ON_SIZE(OnSize)
  ON_PAINT(OnPaint)
  ON_MESSAGE(::lumora::plat::WM_ERASEBKGND, OnEraseBackground)
  ON_HSCROLL(OnHScroll)
  ON_VSCROLL(OnVScroll)
  ON_TIMER(OnTimer)
  ON_KEYUP(OnKeyUp)
  ON_KEYDOWN(OnKeyIgnored)
  ON_CHAR(OnKeyIgnored)
LUMORA_END_MESSAGE_TABLE()

CBmp::CBmp() { class_name_ = kClassName; }

CBmp::~CBmp() {
  destroy();
  free_picture();
}

bool CBmp::create(HWND parent, const RECT& r, DWORD style) {
  if (!register_class(CS_HREDRAW | CS_VREDRAW, kClassName)) return false;
  return CWindow::create(0, "", style | WS_CHILD, r, parent, 0) != nullptr;
}

LRESULT CBmp::OnCreate(CREATESTRUCT*) {
  display_init();
  return 0;
}

void CBmp::OnDestroy() {
  free_picture();
  display_free();
}

// ---- Loading ------------------------------------------------------------------------------------

void CBmp::free_device_bitmap() {
  if (device_bitmap_) DeleteObject(device_bitmap_);
  device_bitmap_ = nullptr;
}

void CBmp::free_picture() {
  stop_animation();
  if (owns_picture_) bitmap_free(&loaded_);
  std::memset(&loaded_, 0, sizeof loaded_);
  picture_ = nullptr;
  owns_picture_ = false;
  free_device_bitmap();
  display_detach();
}

void CBmp::clear() {
  free_picture();
  path_.clear();
  page_ = page_count_ = 0;
  last_status_ = 0;
  layout(true);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

bool CBmp::load(const std::string& path, int page, int request_width, int request_height) {
  if (!path.empty() && path == path_ && page == page_ && (picture_ || device_bitmap_)) return true;
  free_picture();
  path_ = path;
  page_ = page;
  page_count_ = 0;
  picture_width_ = picture_height_ = picture_bits_ = 0;
  rotated_on_load_ = false;

  FileInfo info;
  std::memset(&info, 0, sizeof info);
  last_status_ = path.empty() ? kStatusCannotOpen : load_info(path.c_str(), -1, kLoadAcceptIncomplete, &info);
  if ((last_status_ & 0xFFFF) != kStatusOk) {
    file_info_free(&info);
    layout(true);
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
    return false;
  }

  LoadRequestInput in;
  in.limit_width = limit_width_, in.limit_height = limit_height_;
  in.reduce_black_and_white = reduce_black_and_white_;
  in.picture_width = static_cast<int32_t>(info.width), in.picture_height = static_cast<int32_t>(info.height);
  in.bits_per_pixel = info.planes * info.bits_per_plane;
  in.request_width = request_width, in.request_height = request_height;
  PictureRequest request;
  request.mode = PictureLoadMode::Display;
  request.page = page;
  load_request(in, &request.max_width, &request.max_height);
  request.exif_rotate = exif_rotate_;
  request.max_pixels = max_pixels_;

  Bitmap loaded;
  std::memset(&loaded, 0, sizeof loaded);
  FileInfo facts;
  std::memset(&facts, 0, sizeof facts);
  last_status_ = load_picture(path, request, &loaded, &facts);
  if ((last_status_ & 0xFFFF) != kStatusOk || !loaded.pixels) {
    bitmap_free(&loaded);
    file_info_free(&facts);
    file_info_free(&info);
    if ((last_status_ & 0xFFFF) == kStatusOk) last_status_ = kStatusNotRecognised;
    layout(true);
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
    return false;
  }

  page_count_ = static_cast<int>(std::max<uint32_t>(1, info.image_count));
  if (facts.format_index == kFormatGif && animate_ && start_animation(info)) {
    bitmap_free(&loaded);
    page_count_ = 1;
  }
  file_info_free(&facts);
  file_info_free(&info);

  if (animating_) {
    picture_ = &animation_.frames[0].bitmap;
    owns_picture_ = false;
  } else {
    const int angle = auto_rotation(rotation_mode_, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                    loaded.width, loaded.height);
    // A turn that finds no memory leaves the picture as loaded.
    if (angle != 0 && bitmap_rotate(&loaded, nullptr, angle) == kStatusOk) rotated_on_load_ = true;
    loaded_ = loaded;
    picture_ = &loaded_;
    owns_picture_ = true;
  }
  picture_width_ = picture_->width;
  picture_height_ = picture_->height;
  picture_bits_ = picture_->bytes_per_pixel ? picture_->bytes_per_pixel * 8 : 1;

  if (slideshow_) {
    show_in_slideshow();
  } else {
    layout(true);
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
  }
  if (animating_) SetTimer(hwnd_, kAnimationTimer, frame_delay(0), nullptr);
  return true;
}

void CBmp::next_page() {
  if (page_ < page_count_ - 1) load(path_, page_ + 1, 0, 0);
}

void CBmp::previous_page() {
  if (page_ > 0) load(path_, page_ - 1, 0, 0);
}

// ---- Settings and accessors ---------------------------------------------------------------------

void CBmp::set_limits(int width, int height, bool no_bw_resize) {
  limit_width_ = width;
  limit_height_ = height;
  reduce_black_and_white_ = !no_bw_resize;
}

void CBmp::set_rotation_mode(int mode) {
  if (mode >= kRotateNone && mode <= kRotateRight) rotation_mode_ = mode;
}
int CBmp::rotation_mode() const { return rotation_mode_; }
void CBmp::set_exif_rotate(bool on) { exif_rotate_ = on; }
void CBmp::set_max_pixels(uint32_t pixels) { max_pixels_ = pixels > 0 ? pixels : 1; }
const std::string& CBmp::path() const { return path_; }
int CBmp::page() const { return page_; }
int CBmp::page_count() const { return page_count_; }
const Bitmap* CBmp::picture() const { return picture_; }
bool CBmp::slideshow() const { return slideshow_; }

void CBmp::set_slideshow(bool on, bool use_transition) {
  const bool ending = slideshow_ && !on;
  slideshow_ = on;
  use_transition_ = use_transition;
  if (!ending) return;
  free_device_bitmap();
  // The slideshow kept only a screen picture; the viewer gets the working picture back, so
  // that zoom, turns and the editing commands have something to work on.
  if (!picture_ && !path_.empty()) {
    const std::string path = path_;
    const int page = page_;
    path_.clear();
    load(path, page, 0, 0);
  }
}

void CBmp::set_caption(const std::string& text) {
  if (text == caption_) return;
  caption_ = text;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBmp::set_background(COLORREF colour) {
  background_ = colour;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

// ---- Operations on the working picture ------------------------------------------------------------

// A frame of an animation is borrowed; turning or resizing it makes the window's own copy, and
// the animation ends there.
bool CBmp::own_working_picture() {
  if (!picture_) return false;
  if (owns_picture_) return true;
  Bitmap copy;
  std::memset(&copy, 0, sizeof copy);
  if (bitmap_duplicate(picture_, &copy) != kStatusOk) return false;
  stop_animation();
  loaded_ = copy;
  picture_ = &loaded_;
  owns_picture_ = true;
  page_count_ = 1;
  return true;
}

void CBmp::rotate(int degrees) {
  if (animating_) {
    // Every frame turns, and the animation goes on.
    if (!rotate_frames(degrees)) return;
  } else if (!own_working_picture() || bitmap_rotate(picture_, nullptr, degrees) != kStatusOk) {
    return;
  }
  picture_width_ = picture_->width;
  picture_height_ = picture_->height;
  layout(true);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void CBmp::resize(int width, int height) {
  if (width < 1 || height < 1 || uint64_t(width) * uint64_t(height) > max_pixels_) return;
  if (!own_working_picture()) return;
  if (resample_smooth(picture_, nullptr, width, height, kResampleSmooth) != kStatusOk) return;
  picture_width_ = picture_->width;
  picture_height_ = picture_->height;
  picture_bits_ = picture_->bytes_per_pixel ? picture_->bytes_per_pixel * 8 : 1;
  layout(true);
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

}  // namespace lumora::app
