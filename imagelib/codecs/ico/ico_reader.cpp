// The icon reader. Bitmaps are stored bottom row first, every row padded to 4 bytes; the AND
// mask (1 = transparent) follows the XOR rows and becomes the alpha channel on request. An image
// may instead be a whole PNG stream (Windows Vista icons), read by the PNG codec.
#include <cstring>
#include <vector>

#include "imagelib/codecs/ico/ico.h"
#include "imagelib/codecs/png/png.h"
#include "imagelib/core/convert.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

constexpr int kIconHeaderBytes = 6;
constexpr int kDirectoryEntryBytes = 16;
constexpr uint32_t kInfoHeaderBytes = 40;   // BITMAPINFOHEADER
constexpr int32_t kSideLimit = 16000;
constexpr uint32_t kLayoutLittleWords = 0x80;   // 16-bit pixels as little-endian words
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};

size_t padded_row(uint64_t width, int bits) { return static_cast<size_t>((width * bits + 31) / 32 * 4); }

bool bit_count_known(int bits) {
  switch (bits) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: return true;
    default: return false;
  }
}

struct IconBitmap {
  int32_t width = 0, height = 0;   // height of the icon (half the stored height)
  int bits = 0;
  uint32_t colors = 0;             // palette entries stored
};

class IcoReader {
 public:
  IcoReader(ByteStream* s, LoadContext* context) : s_(s), context_(context) {}
  int run();

 private:
  int read_directory();
  int read_png_image();
  int read_info();
  int read_palette();
  int deliver_plain();
  int deliver_with_mask();
  bool try_line(size_t bytes) {
    try {
      line_.assign(bytes, 0);
      return true;
    } catch (...) {
      return false;
    }
  }

  ByteStream* s_;
  LoadContext* context_;
  IconBitmap b_;
  uint8_t palette_[768] = {};   // blue, green, red triplets
  ImageHeader header_{};
  std::vector<uint8_t> line_;
};

// Icon header and directory; positions the stream at the chosen image.
int IcoReader::read_directory() {
  uint8_t h[kIconHeaderBytes];
  if (stream_read(s_, h, sizeof h) != kStatusOk) return kStatusFileEndsEarly;
  const uint16_t reserved = get_u16le(h), type = get_u16le(h + 2), count = get_u16le(h + 4);
  if (reserved != 0 || type == 0 || count == 0) return kStatusNotRecognised;
  if (stream_remaining(s_) < static_cast<uint64_t>(count) * kDirectoryEntryBytes)
    return kStatusNotRecognised;
  const int32_t wanted = context_->services.current_image_index(context_, 0);
  uint32_t offset = 0;
  uint8_t entry[kDirectoryEntryBytes];
  for (int i = 0; i < count; ++i) {
    if (stream_read(s_, entry, sizeof entry) != kStatusOk) return kStatusNotRecognised;
    if (i == wanted) offset = get_u32le(entry + 12);
  }
  context_->image_count = count;
  // An index beyond the directory reads the data that follows it (the first image).
  if (wanted >= 0 && wanted < count && stream_seek(s_, offset) != kStatusOk)
    return kStatusFileEndsEarly;
  return kStatusOk;
}

// An image stored as PNG: 0 when the image is a bitmap (the stream is back at its start),
// otherwise the PNG codec's status, 2 meaning no PNG at all.
int IcoReader::read_png_image() {
  const uint64_t start = stream_tell(s_);
  uint8_t sig[sizeof kPngSignature];
  if (stream_read(s_, sig, sizeof sig) == kStatusOk &&
      std::memcmp(sig, kPngSignature, sizeof sig) == 0) {
    if (stream_seek(s_, start) != kStatusOk) return kStatusFileEndsEarly;
    return png_read_embedded(s_, context_, "Windows Icon (PNG)");
  }
  return stream_seek(s_, start) == kStatusOk ? kStatusNotRecognised : kStatusFileEndsEarly;
}

int IcoReader::read_info() {
  uint8_t info[kInfoHeaderBytes];
  if (stream_read(s_, info, sizeof info) != kStatusOk) return kStatusNotRecognised;
  const uint32_t size = get_u32le(info);
  const int32_t width = static_cast<int32_t>(get_u32le(info + 4));
  const int32_t height = static_cast<int32_t>(get_u32le(info + 8));
  const uint16_t planes = get_u16le(info + 12);
  b_.bits = get_u16le(info + 14);
  if (size != kInfoHeaderBytes || width <= 0 || width >= kSideLimit || height <= 0 ||
      height >= kSideLimit || planes != 1 || !bit_count_known(b_.bits))
    return kStatusNotRecognised;
  b_.width = width;
  b_.height = height / 2;   // the stored height covers the XOR bitmap and the mask
  if (b_.bits <= 8) {
    // Colours used (offset 32): 0 means all 2^bits entries are stored.
    const uint32_t all = 1u << b_.bits;
    const uint32_t used = get_u32le(info + 32);
    b_.colors = used >= 1 && used < all ? used : all;
  }
  return kStatusOk;
}

int IcoReader::read_palette() {
  uint8_t entry[4];
  for (uint32_t i = 0; i < b_.colors; ++i) {
    if (stream_read(s_, entry, sizeof entry) != kStatusOk) return kStatusFileEndsEarly;
    std::memcpy(palette_ + 3 * i, entry, 3);
  }
  return kStatusOk;
}

int IcoReader::deliver_plain() {
  const size_t bytes = header_.bytes_per_plane;
  uint8_t* row = header_.row_buffer;
  for (int32_t y = 0; y < b_.height; ++y) {
    if (stream_read(s_, row, bytes) != kStatusOk) return kStatusFileEndsEarly;
    if (b_.bits == 16) {
      for (size_t i = 0; i + 1 < bytes; i += 2) {
        const uint16_t v = get_u16le(row + i);
        std::memcpy(row + i, &v, 2);
      }
    }
    const int status = context_->services.put_rows(context_, -1, -1, 1);
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

// Rows of blue, green, red, alpha. Each XOR row is read where it lies and its mask row after it,
// so no more than one row of the picture is held at a time.
int IcoReader::deliver_with_mask() {
  const uint64_t xor_start = stream_tell(s_);
  const size_t xor_bytes = padded_row(b_.width, b_.bits);
  const size_t mask_bytes = padded_row(b_.width, 1);
  const uint64_t mask_start = xor_start + static_cast<uint64_t>(xor_bytes) * b_.height;
  if (!try_line(xor_bytes > mask_bytes ? xor_bytes : mask_bytes)) return kStatusNoMemory;
  uint8_t* out = header_.row_buffer;
  for (int32_t y = 0; y < b_.height; ++y) {
    if (stream_seek(s_, xor_start + static_cast<uint64_t>(xor_bytes) * y) != kStatusOk ||
        stream_read(s_, line_.data(), xor_bytes) != kStatusOk)
      return kStatusFileEndsEarly;
    for (int32_t x = 0; x < b_.width; ++x) {
      uint8_t* px = out + 4 * static_cast<size_t>(x);
      if (b_.bits == 24) {
        std::memcpy(px, &line_[3 * static_cast<size_t>(x)], 3);
        continue;
      }
      unsigned index = b_.bits == 8 ? line_[x]
                                    : (line_[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F;   // high nibble first
      std::memcpy(px, palette_ + 3 * index, 3);
    }
    if (stream_seek(s_, mask_start + static_cast<uint64_t>(mask_bytes) * y) != kStatusOk ||
        stream_read(s_, line_.data(), mask_bytes) != kStatusOk)
      return kStatusFileEndsEarly;
    for (int32_t x = 0; x < b_.width; ++x)
      out[4 * static_cast<size_t>(x) + 3] = bit_get(line_.data(), x) ? 0 : 255;
    const int status = context_->services.put_rows(context_, -1, -1, 1);
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

int IcoReader::run() {
  int status = read_directory();
  if (status != kStatusOk) return status;
  status = read_png_image();
  if (status != kStatusNotRecognised) return status;
  if ((status = read_info()) != kStatusOk) return status;
  if (b_.bits <= 8 && (status = read_palette()) != kStatusOk) return status;

  context_->services.header_init(&header_);
  std::strcpy(header_.description, "Windows Icon");
  header_.row_order = kOrientBottomUp;
  header_.width = b_.width;
  header_.height = b_.height;
  header_.planes = 1;
  const bool mask_alpha =
      context_->params.icon_mask_alpha && (b_.bits == 24 || b_.bits == 8 || b_.bits == 4);
  if (mask_alpha) {
    header_.layout = kLayoutFourthLast;
    header_.bits_per_plane = 32;
    header_.logical_bits = static_cast<uint32_t>(b_.bits);
    header_.bytes_per_plane = static_cast<uint32_t>(4 * b_.width);
  } else {
    switch (b_.bits) {
      case 16: header_.layout = kLayoutLittleWords; break;
      case 24: header_.layout = kLayoutReversed; break;     // blue, green, red
      case 32: header_.layout = kLayoutFourthLast; break;   // blue, green, red, alpha
      default: header_.layout = 0; break;
    }
    header_.bits_per_plane = static_cast<uint16_t>(b_.bits);
    header_.bytes_per_plane = static_cast<uint32_t>(padded_row(b_.width, b_.bits));
  }

  status = context_->services.begin_image(context_, &header_);
  if (status != 0) return status;
  if (!header_.row_buffer || header_.row_buffer_size < header_.bytes_per_plane)
    status = kStatusNoMemory;
  else
    status = mask_alpha ? deliver_with_mask() : deliver_plain();
  const bool pass_palette = b_.bits <= 8 && !mask_alpha;
  const int end = context_->services.end_image(context_, 0x200, 8, pass_palette ? palette_ : nullptr);
  return status != kStatusOk ? status : end;
}

}  // namespace

int ico_read(ByteStream* stream, LoadContext* context) {
  IcoReader reader(stream, context);
  return reader.run();
}

}  // namespace lumora
