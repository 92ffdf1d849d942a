// The GIF reader of the format table: walks every block of the file, counts the images, and
// delivers the one asked for through the load pipeline.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imagelib/codecs/gif/gif.h"
#include "imagelib/codecs/gif/gif_blocks.h"
#include "imagelib/codecs/gif/lzw_decode.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

bool read_stream_bytes(void* stream, void* buffer, size_t size) {
  return stream_read(static_cast<ByteStream*>(stream), buffer, size) == kStatusOk;
}

int read_stream_block(void* user, uint8_t* block) {
  ByteStream* s = static_cast<ByteStream*>(user);
  int count = stream_getc(s);
  if (count < 0) return -1;
  if (count == 0) return 0;
  size_t n = stream_read_some(s, block, static_cast<size_t>(count));
  return n == 0 ? -1 : static_cast<int>(n);
}

// Passes over data sub-blocks up to their terminator; false when the file ends first.
bool skip_stream_blocks(ByteStream* s) {
  for (;;) {
    int count = stream_getc(s);
    if (count < 0) return false;
    if (count == 0) return true;
    if (stream_skip(s, static_cast<uint64_t>(count)) != kStatusOk) return false;
  }
}

// Joins the sub-blocks of a comment extension (GIF89a section 24).
bool read_stream_text(ByteStream* s, std::vector<char>* text) {
  uint8_t block[255];
  for (;;) {
    int count = stream_getc(s);
    if (count < 0) return false;
    if (count == 0) return true;
    size_t n = stream_read_some(s, block, static_cast<size_t>(count));
    text->insert(text->end(), block, block + n);
    if (n < static_cast<size_t>(count)) return false;
  }
}

struct Delivery {
  LoadContext* context;
  uint8_t* row;
  int32_t width;
  int status;
};

int deliver_row(void* user, int32_t row, const uint8_t* /*pixels*/, int32_t filled) {
  Delivery& d = *static_cast<Delivery*>(user);
  // A row cut short by the data: the undecoded pixels stay as the zero-filled picture has them.
  if (filled < d.width) std::memset(d.row + filled, 0, static_cast<size_t>(d.width - filled));
  d.status = d.context->services.put_rows(d.context, -1, row, 1);
  return d.status;
}

int discard_row(void*, int32_t, const uint8_t*, int32_t) { return 0; }

class GifReader {
 public:
  GifReader(ByteStream* stream, LoadContext* context) : s_(stream), context_(context) {}
  int run();

 private:
  int read_image();
  int deliver(const LzwImage& image, int32_t width);

  ByteStream* s_;
  LoadContext* context_;
  ImageHeader header_{};
  char version_[4] = {};
  GifColorTable global_{};
  bool has_global_ = false;
  int global_bits_ = 1;
  // Transparency of the graphic control block that precedes the next image, -1 for none.
  int pending_transparent_ = -1;
  std::unique_ptr<LzwDecoder> lzw_;
  std::vector<uint8_t> scratch_;
  bool delivered_ = false;
  bool stop_after_ = false;
};

int GifReader::deliver(const LzwImage& image, int32_t width) {
  Delivery d{context_, header_.row_buffer, width, kStatusOk};
  LzwImage target = image;
  target.row = header_.row_buffer;
  lzw_decode(lzw_.get(), target, read_stream_block, s_, deliver_row, &d);
  return d.status;
}

int GifReader::read_image() {
  uint8_t d[9];
  if (stream_read(s_, d, sizeof d) != kStatusOk) return kStatusFileEndsEarly;
  const int32_t width = get_u16le(d + 4);
  const int32_t height = get_u16le(d + 6);
  const uint8_t packed = d[8];
  const bool interlaced = (packed & 0x40) != 0;

  // Each image starts from the global table; a local table applies to its own image only.
  GifColorTable table = global_;
  int bits = global_bits_;
  if (packed & 0x80) {
    bits = (packed & 7) + 1;
    if (!gif_read_color_table(read_stream_bytes, s_, bits, &table)) return kStatusFileEndsEarly;
  } else if (!has_global_) {
    table.size = 0;
    std::memset(table.rgb, 0, sizeof table.rgb);
  }

  std::snprintf(header_.description, sizeof header_.description,
                interlaced ? "Compuserve GIF (Version %s - Interlaced)" : "Compuserve GIF (Version %s)",
                version_);
  header_.layout = 2;   // one byte per pixel
  header_.planes = 1;
  header_.width = width;
  header_.height = height;
  header_.bytes_per_plane = static_cast<uint32_t>(width);
  header_.bits_per_plane = static_cast<uint16_t>(bits);
  header_.transparent_index = static_cast<int16_t>(pending_transparent_);
  pending_transparent_ = -1;
  if (width < 1 || height < 1) {
    load_set_message(context_, "GIF : Bad picture's size !");
    return kStatusImpossible;
  }
  int code_size = stream_getc(s_);
  if (code_size < 0) return kStatusFileEndsEarly;
  if (code_size < kLzwMinCodeSize || code_size > kLzwMaxCodeSize) {
    load_set_message(context_, "GIF : Bad code's size !");
    return kStatusImpossible;
  }

  const int32_t index = static_cast<int32_t>(context_->image_count++);
  LzwImage image{width, height, interlaced, code_size, nullptr};
  if (index != context_->params.image_index) {
    // Not the wanted image: decode it only to pass over its data.
    try {
      if (scratch_.size() < static_cast<size_t>(width) + 1024) scratch_.resize(width + 1024);
    } catch (const std::bad_alloc&) {
      return kStatusNoMemory;
    }
    image.row = scratch_.data();
    lzw_decode(lzw_.get(), image, read_stream_block, s_, discard_row, nullptr);
    return kStatusOk;
  }

  int status = context_->services.begin_image(context_, &header_);
  if (status != 0) return status;
  if (!header_.row_buffer || header_.row_buffer_size < static_cast<size_t>(width)) {
    context_->services.end_image(context_, 0, 8, nullptr);
    return kStatusNoMemory;
  }
  status = deliver(image, width);
  // A two-colour table of black and black (some encoders write one) is read as black and white.
  uint8_t palette[768];
  std::memcpy(palette, table.rgb, sizeof palette);
  if (bits == 1 && std::memcmp(palette, "\0\0\0\0\0\0", 6) == 0) std::memset(palette + 3, 255, 3);
  int end = context_->services.end_image(context_, 0x100, 8, palette);
  if (status == kStatusOk) status = end;
  if (status == kStatusOk) delivered_ = true;
  if (context_->params.flags & kLoadSingleImage) stop_after_ = true;
  return status;
}

int GifReader::run() {
  uint8_t head[13];
  if (stream_read(s_, head, 6) != kStatusOk) return kStatusNotRecognised;
  if (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0)
    return kStatusNotRecognised;
  std::memcpy(version_, head + 3, 3);
  if (stream_read(s_, head + 6, 7) != kStatusOk) return kStatusFileEndsEarly;

  context_->services.header_init(&header_);
  header_.compression = kCompLzw;
  const uint8_t packed = head[10];
  global_bits_ = (packed & 7) + 1;
  global_.size = 0;
  if (packed & 0x80) {
    has_global_ = true;
    if (!gif_read_color_table(read_stream_bytes, s_, global_bits_, &global_))
      return kStatusFileEndsEarly;
  }
  lzw_.reset(new (std::nothrow) LzwDecoder);
  if (!lzw_) return kStatusNoMemory;

  context_->image_count = 0;
  int status = kStatusOk;
  while (status == kStatusOk && !stop_after_) {
    int block = stream_getc(s_);
    if (block < 0 || block == kGifTrailer) break;
    if (block == 0) continue;   // stray padding between blocks
    if (block == kGifExtension) {
      int label = stream_getc(s_);
      if (label < 0) break;
      if (label == kGifGraphicControl) {
        uint8_t size = 0, g[4];
        if (stream_read_u8(s_, &size) != kStatusOk) break;
        if (size == 4) {
          if (stream_read(s_, g, 4) != kStatusOk) break;
          pending_transparent_ = (g[0] & 1) ? g[3] : -1;
        } else if (stream_skip(s_, size) != kStatusOk) {
          break;
        }
        if (!skip_stream_blocks(s_)) break;
      } else if (label == kGifComment && (context_->params.flags & kLoadKeepComment)) {
        std::vector<char> text;
        bool complete = read_stream_text(s_, &text);
        if (!text.empty() && !(text.size() >= 3 && std::memcmp(text.data(), "nCC", 3) == 0))
          status = keep_comment(context_, text.data(), static_cast<int32_t>(text.size()));
        if (!complete) break;
      } else if (!skip_stream_blocks(s_)) {
        break;
      }
      continue;
    }
    if (block != kGifImage) break;   // not a GIF block: the stream is damaged here
    status = read_image();
  }
  if (delivered_) return kStatusOk;
  return status != kStatusOk ? status : kStatusNotRecognised;
}

}  // namespace

int gif_read(ByteStream* stream, LoadContext* context) {
  try {
    GifReader reader(stream, context);
    return reader.run();
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
}

}  // namespace lumora
