// The animation loader: every frame of a GIF file composed onto a full canvas (GIF89a sections
// 20 to 23), one palette Bitmap per frame so that playback needs no decoding.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imagelib/codecs/gif/gif.h"
#include "imagelib/codecs/gif/gif_blocks.h"
#include "imagelib/codecs/gif/lzw_decode.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

constexpr int32_t kCanvasLimit = 16000;   // canvas sides from 1 to 15999 pixels
constexpr int kStopWalk = -1;             // a later frame larger than the canvas ends the walk
// Every frame is a full canvas, yet a frame costs as little as a dozen bytes of file (descriptor,
// code size, terminator): a few kilobytes could otherwise ask for gigabytes. Past this total the
// walk ends as out of memory, with the frames loaded so far kept.
constexpr uint64_t kFramesMemoryLimit = uint64_t{256} << 20;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

int read_file_block(void* user, uint8_t* block) {
  FILE* f = static_cast<FILE*>(user);
  int count = std::getc(f);
  if (count == EOF) return -1;
  if (count == 0) return 0;
  size_t n = std::fread(block, 1, static_cast<size_t>(count), f);
  return n == 0 ? -1 : static_cast<int>(n);
}

// Passes over data sub-blocks up to their terminator; false when the file ends first.
bool skip_file_blocks(FILE* f) {
  for (;;) {
    int count = std::getc(f);
    if (count == EOF) return false;
    if (count == 0) return true;
    if (std::fseek(f, count, SEEK_CUR) != 0) return false;
  }
}

bool read_exact(FILE* f, void* buffer, size_t size) { return std::fread(buffer, 1, size, f) == size; }

struct FrameRect {
  int32_t left = 0, top = 0, width = 0, height = 0;
};

// Where the decoder paints one frame.
struct Painter {
  Bitmap* canvas;
  FrameRect rect;
  bool transparent;
  uint8_t transparent_index;
  const uint8_t* map;   // file index -> canvas index
};

int paint_row(void* user, int32_t row, const uint8_t* pixels, int32_t filled) {
  const Painter& p = *static_cast<const Painter*>(user);
  const int64_t y = static_cast<int64_t>(p.rect.top) + row;
  if (y >= p.canvas->height) return 0;
  uint8_t* dst = bitmap_row(p.canvas, static_cast<int32_t>(y));
  int64_t end = static_cast<int64_t>(p.rect.left) + filled;
  if (end > p.canvas->width) end = p.canvas->width;
  for (int64_t x = p.rect.left; x < end; ++x) {
    uint8_t v = pixels[x - p.rect.left];
    if (p.transparent && v == p.transparent_index) continue;
    dst[x] = p.map[v];
  }
  return 0;
}

// Fills (value >= 0) or copies from `source` the part of `rect` inside the canvas.
void apply_to_rect(Bitmap* canvas, const FrameRect& rect, int value, const uint8_t* source) {
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(rect.left) + rect.width, canvas->width);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(rect.top) + rect.height, canvas->height);
  if (rect.left >= right) return;
  for (int64_t y = rect.top; y < bottom; ++y) {
    size_t offset = static_cast<size_t>(y) * canvas->bytes_per_line + static_cast<size_t>(rect.left);
    size_t count = static_cast<size_t>(right - rect.left);
    if (source)
      std::memcpy(canvas->pixels + offset, source + offset, count);
    else
      std::memset(canvas->pixels + offset, value, count);
  }
}

class FrameLoader {
 public:
  FrameLoader(FILE* file, GifAnimation* animation) : file_(file), animation_(animation) {}

  int run();

 private:
  int read_screen();
  void read_graphic_control();
  int read_frame();
  int append_frame(Bitmap* bitmap, uint32_t delay_ms);
  void choose_palette(const GifColorTable& table, Bitmap* frame);
  void prepare_canvas(Bitmap* frame, bool transparent, uint8_t transparent_index);

  FILE* file_;
  GifAnimation* animation_;
  uint32_t capacity_ = 0;

  int32_t screen_width_ = 0, screen_height_ = 0;
  int32_t canvas_width_ = 0, canvas_height_ = 0;
  uint8_t background_ = 0;
  bool has_global_ = false;
  GifColorTable global_{};

  std::unique_ptr<LzwDecoder> lzw_;
  std::vector<uint8_t> row_;

  // Graphic control state: persists from one frame to the next; the delay does not.
  uint8_t control_packed_ = 0;
  uint8_t control_transparent_ = 0;
  uint32_t next_delay_ = 0;

  FrameRect frame_rect_;
  FrameRect previous_rect_;
  int previous_disposal_ = 0;
  // Canvas before the previous frame was painted, kept when that frame asked to be restored.
  std::vector<uint8_t> restore_;
  uint8_t map_[256];
  uint64_t frames_bytes_ = 0;   // pixel bytes of the frames loaded so far
};

int FrameLoader::read_screen() {
  uint8_t head[13];
  if (!read_exact(file_, head, sizeof head)) return kStatusNotRecognised;
  if (std::memcmp(head, "GIF", 3) != 0 || head[3] < '0' || head[3] > '9' || head[4] < '0' ||
      head[4] > '9')
    return kStatusNotRecognised;
  screen_width_ = get_u16le(head + 6);
  screen_height_ = get_u16le(head + 8);
  const uint8_t packed = head[10];
  background_ = head[11];
  if (packed & 0x80) {
    has_global_ = true;
    if (!gif_read_color_table(read_file_bytes, file_, (packed & 7) + 1, &global_))
      return kStatusNotRecognised;
  }
  return kStatusOk;
}

// A graphic control extension (GIF89a section 23); damaged ones are passed over.
void FrameLoader::read_graphic_control() {
  int size = std::getc(file_);
  if (size == EOF) return;
  if (size == 4) {
    uint8_t b[4];
    if (!read_exact(file_, b, sizeof b)) return;
    control_packed_ = b[0];
    uint32_t delay = get_u16le(b + 1);
    next_delay_ = delay == 0 ? 10 : delay;   // hundredths of a second; 0 is shown for 100 ms
    control_transparent_ = b[3];
  } else if (std::fseek(file_, size, SEEK_CUR) != 0) {
    return;
  }
  skip_file_blocks(file_);
}

int FrameLoader::append_frame(Bitmap* bitmap, uint32_t delay_ms) {
  if (animation_->frame_count == capacity_) {
    uint32_t grown = capacity_ ? capacity_ * 2 : 8;
    void* p = std::realloc(animation_->frames, grown * sizeof(GifFrame));
    if (!p) return kStatusNoMemory;
    animation_->frames = static_cast<GifFrame*>(p);
    capacity_ = grown;
  }
  GifFrame& f = animation_->frames[animation_->frame_count++];
  f.bitmap = *bitmap;
  f.delay_ms = delay_ms;
  std::memset(bitmap, 0, sizeof *bitmap);
  return kStatusOk;
}

void FrameLoader::choose_palette(const GifColorTable& table, Bitmap* frame) {
  const int n = table.size;
  for (int i = 0; i < 256; ++i) map_[i] = static_cast<uint8_t>(i);
  const bool uses_transparency = control_packed_ & 1;
  const bool covers_canvas =
      frame_rect_.width == canvas_width_ && frame_rect_.height == canvas_height_;
  if (!(has_global_ && animation_->frame_count > 0 && uses_transparency && !covers_canvas)) {
    gif_table_to_planar(table, frame->palette);
    frame->colors = static_cast<uint16_t>(n ? n : 256);
    return;
  }
  // Fit the frame's colours to the first frame's palette, so that the pixels kept from earlier
  // frames and the new ones share one palette.
  const uint8_t* first = animation_->frames[0].bitmap.palette;
  bool same = true;
  for (int i = 0; i < n && same; ++i)
    same = first[kPalR + i] == table.rgb[3 * i] && first[kPalG + i] == table.rgb[3 * i + 1] &&
           first[kPalB + i] == table.rgb[3 * i + 2];
  if (same) {
    gif_table_to_planar(table, frame->palette);
    frame->colors = static_cast<uint16_t>(n ? n : 256);
    return;
  }
  bool claimed[256] = {};
  std::memset(map_, 0, sizeof map_);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      if (!claimed[j] && first[kPalR + i] == table.rgb[3 * j] &&
          first[kPalG + i] == table.rgb[3 * j + 1] && first[kPalB + i] == table.rgb[3 * j + 2]) {
        claimed[j] = true;
        map_[j] = static_cast<uint8_t>(i);
        break;
      }
    }
  }
  std::memcpy(frame->palette, first, kPaletteBytes);
  frame->colors = static_cast<uint16_t>(n);
  int position = n;
  for (int j = 0; j < n; ++j) {
    if (claimed[j]) continue;
    frame->colors = 256;
    if (position >= 256) continue;   // no room: the entry keeps map value 0
    frame->palette[kPalR + position] = table.rgb[3 * j];
    frame->palette[kPalG + position] = table.rgb[3 * j + 1];
    frame->palette[kPalB + position] = table.rgb[3 * j + 2];
    map_[j] = static_cast<uint8_t>(position++);
  }
}

void FrameLoader::prepare_canvas(Bitmap* frame, bool transparent, uint8_t transparent_index) {
  const size_t bytes = static_cast<size_t>(frame->height) * frame->bytes_per_line;
  if (animation_->frame_count == 0) {
    std::memset(frame->pixels, transparent ? transparent_index : background_, bytes);
    return;
  }
  const Bitmap& previous = animation_->frames[animation_->frame_count - 1].bitmap;
  std::memcpy(frame->pixels, previous.pixels, bytes);
  switch (previous_disposal_) {
    case 2:   // restore to background
      apply_to_rect(frame, previous_rect_, transparent ? transparent_index : background_, nullptr);
      break;
    case 3:   // restore to previous: the canvas as it was before the previous frame was painted
    case 4:
      if (restore_.size() == bytes) apply_to_rect(frame, previous_rect_, 0, restore_.data());
      break;
    default:  // 0 and 1 leave the frame in place
      break;
  }
}

int FrameLoader::read_frame() {
  uint8_t d[9];
  if (!read_exact(file_, d, sizeof d)) return kStatusFileEndsEarly;
  frame_rect_.left = get_u16le(d);
  frame_rect_.top = get_u16le(d + 2);
  frame_rect_.width = get_u16le(d + 4);
  frame_rect_.height = get_u16le(d + 6);
  const uint8_t packed = d[8];
  if (frame_rect_.width < 1 || frame_rect_.height < 1) return kStatusImpossible;

  if (animation_->frame_count == 0) {
    canvas_width_ = std::max(screen_width_, frame_rect_.width);
    canvas_height_ = std::max(screen_height_, frame_rect_.height);
  } else if (frame_rect_.width > canvas_width_ || frame_rect_.height > canvas_height_) {
    return kStopWalk;
  }
  if (canvas_width_ < 1 || canvas_height_ < 1 || canvas_width_ >= kCanvasLimit ||
      canvas_height_ >= kCanvasLimit)
    return kStatusImpossible;

  GifColorTable local{};
  const GifColorTable* table = &global_;
  if (packed & 0x80) {
    if (!gif_read_color_table(read_file_bytes, file_, (packed & 7) + 1, &local))
      return kStatusFileEndsEarly;
    table = &local;
  }
  int code_size = std::getc(file_);
  if (code_size == EOF) return kStatusFileEndsEarly;
  if (code_size < kLzwMinCodeSize || code_size > kLzwMaxCodeSize) return kStatusImpossible;

  const uint64_t canvas_pixels = static_cast<uint64_t>(canvas_width_) * canvas_height_;
  if (frames_bytes_ + canvas_pixels > kFramesMemoryLimit) return kStatusNoMemory;
  Bitmap frame{};
  if (!bitmap_alloc(&frame, kPixIndexed, 1, canvas_width_, canvas_height_)) {
    bitmap_free(&frame);
    return kStatusNoMemory;
  }
  struct Guard {
    Bitmap* b;
    ~Guard() { bitmap_free(b); }
  } guard{&frame};

  const bool transparent = control_packed_ & 1;
  const uint8_t transparent_index = control_transparent_;
  choose_palette(*table, &frame);
  prepare_canvas(&frame, transparent, transparent_index);

  if (!transparent)
    frame.transparent_index = -1;
  else if (previous_disposal_ == 0 && animation_->frame_count > 0)
    frame.transparent_index = animation_->frames[0].bitmap.transparent_index;
  else
    frame.transparent_index = transparent_index;

  const int disposal = (control_packed_ >> 2) & 7;
  const size_t canvas_bytes = static_cast<size_t>(frame.height) * frame.bytes_per_line;
  if (disposal == 3 || disposal == 4) {
    try {
      restore_.assign(frame.pixels, frame.pixels + canvas_bytes);
    } catch (const std::bad_alloc&) {
      return kStatusNoMemory;
    }
  }

  // The row buffer holds one row of this frame, however wide (frames may extend past the canvas).
  try {
    if (row_.size() < static_cast<size_t>(frame_rect_.width)) row_.resize(frame_rect_.width);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  Painter painter{&frame, frame_rect_, transparent, transparent_index, map_};
  LzwImage image{frame_rect_.width, frame_rect_.height, (packed & 0x40) != 0, code_size,
                 row_.data()};
  lzw_decode(lzw_.get(), image, read_file_block, file_, paint_row, &painter);

  int status = append_frame(&frame, next_delay_ * 10);
  if (status != kStatusOk) return status;
  frames_bytes_ += canvas_bytes;
  previous_rect_ = frame_rect_;
  previous_disposal_ = disposal;
  next_delay_ = 0;
  return kStatusOk;
}

int FrameLoader::run() {
  int status = read_screen();
  if (status != kStatusOk) return status;
  lzw_.reset(new (std::nothrow) LzwDecoder);
  if (!lzw_) return kStatusNoMemory;
  try {
    row_.resize(static_cast<size_t>(screen_width_) + 1024);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }

  for (;;) {
    int block = std::getc(file_);
    if (block == EOF || block == kGifTrailer) break;
    if (block == 0) continue;   // stray padding between blocks
    if (block == kGifExtension) {
      int label = std::getc(file_);
      if (label == EOF) break;
      if (label == kGifGraphicControl)
        read_graphic_control();
      else if (!skip_file_blocks(file_))
        break;
      continue;
    }
    if (block != kGifImage) break;   // not a GIF block: the stream is damaged here
    status = read_frame();
    if (status == kStopWalk) {
      status = kStatusOk;
      break;
    }
    if (status != kStatusOk) break;
  }
  // Without a single frame the file is no usable animation, unless memory ran short.
  if (animation_->frame_count == 0 && status != kStatusNoMemory) return kStatusNotRecognised;
  return status;
}

}  // namespace

int gif_load_frames(const char* path, GifAnimation* animation) {
  if (!animation) return kStatusNotRecognised;
  animation->frame_count = 0;
  animation->frames = nullptr;
  if (!path) return kStatusCannotOpen;
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return kStatusCannotOpen;
  try {
    FrameLoader loader(file.get(), animation);
    return loader.run();
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
}

void gif_animation_free(GifAnimation* animation) {
  if (!animation) return;
  for (uint32_t i = 0; i < animation->frame_count; ++i) bitmap_free(&animation->frames[i].bitmap);
  std::free(animation->frames);
  animation->frames = nullptr;
  animation->frame_count = 0;
}

}  // namespace lumora
