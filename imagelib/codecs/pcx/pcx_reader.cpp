// The PCX reader. Rows hold all planes of one scan line one after the other, each plane
// `bytes per line` bytes long; encoded files compress each scan line with byte runs.
#include <cstring>
#include <vector>

#include "imagelib/codecs/pcx/pcx.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

constexpr int kHeaderBytes = 128;
constexpr uint8_t kManufacturer = 10;
constexpr uint8_t kPaletteMarker = 12;      // introduces the 256-colour block of version 5
constexpr int kPaletteSearchBytes = 32;     // how far past the image data the marker is sought
constexpr int kMaxPlanes = 8;
constexpr int kMaxBits = 32;                // bits per pixel per plane must stay below this
constexpr const char* kBadSize = "Pcx : Bad picture's size !";

// EGA default colours of version-3 files ("without palette information").
constexpr uint8_t kDefaultPalette[48] = {
    0, 0, 0,      0, 0, 170,    0, 170, 0,    0, 170, 170,  170, 0, 0,    170, 0, 170,
    170, 85, 0,   170, 170, 170, 85, 85, 85,  85, 85, 255,  85, 255, 85,  85, 255, 255,
    255, 85, 85,  255, 85, 255, 255, 255, 85, 255, 255, 255};

struct PcxHeader {
  uint8_t version;
  uint8_t encoding;
  uint8_t bits;
  int32_t width, height;
  int32_t xdpi, ydpi;
  uint8_t palette[48];
  uint8_t planes;
  uint16_t bytes_per_line;
};

class PcxReader {
 public:
  PcxReader(ByteStream* stream, LoadContext* context) : s_(stream), context_(context) {}
  int run();

 private:
  int read_header();
  int read_encoded_rows();
  int read_raw_rows();
  int deliver_row();
  int read_palette_block(uint8_t palette[768], bool* found);

  ByteStream* s_;
  LoadContext* context_;
  PcxHeader h_{};
  ImageHeader header_{};
  size_t row_bytes_ = 0;   // planes x bytes per line
};

// 0, or 2 when the file is not PCX (too short, wrong manufacturer byte) or the sizes are
// impossible (with the message).
int PcxReader::read_header() {
  uint8_t b[kHeaderBytes];
  if (stream_read(s_, b, sizeof b) != kStatusOk) return kStatusNotRecognised;
  // ZSoft wrote versions 0 to 5 (1 was never used) and one encoding, 1; anything else is not
  // PCX, so that files beginning with a line feed (byte 10) are not taken for it.
  if (b[0] != kManufacturer || b[1] > 5 || b[1] == 1 || b[2] > 1) return kStatusNotRecognised;
  h_.version = b[1];
  h_.encoding = b[2];
  h_.bits = b[3];
  h_.width = static_cast<int32_t>(get_u16le(b + 8)) - get_u16le(b + 4) + 1;
  h_.height = static_cast<int32_t>(get_u16le(b + 10)) - get_u16le(b + 6) + 1;
  h_.xdpi = get_u16le(b + 12);
  h_.ydpi = get_u16le(b + 14);
  std::memcpy(h_.palette, b + 16, sizeof h_.palette);
  h_.planes = b[65];
  h_.bytes_per_line = get_u16le(b + 66);
  if (h_.width < 1 || h_.height < 1 || h_.planes == 0 || h_.planes > kMaxPlanes || h_.bits == 0 ||
      h_.bits >= kMaxBits) {
    load_set_message(context_, kBadSize);
    return kStatusNotRecognised;
  }
  // A plane's scan line must hold its pixels: a shorter one would make the row converters read
  // the next plane's bytes as this one's.
  const uint64_t needed = (static_cast<uint64_t>(h_.width) * h_.bits + 7) / 8;
  if (h_.bytes_per_line < needed) {
    load_set_message(context_, kBadSize);
    return kStatusNotRecognised;
  }
  return kStatusOk;
}

int PcxReader::deliver_row() {
  if (h_.bits == 15 || h_.bits == 16) {
    // 16-bit pixels are little-endian words; the converters read them in the host's order.
    uint8_t* row = header_.row_buffer;
    for (size_t i = 0; i + 1 < row_bytes_; i += 2) {
      const uint16_t v = get_u16le(row + i);
      std::memcpy(row + i, &v, 2);
    }
  }
  return context_->services.put_rows(context_, -1, -1, 1);
}

// Each scan line is encoded on its own: a byte of 192 or more repeats the next byte
// (byte & 63) times, any other byte stands for itself. A run is cut at the end of the line.
int PcxReader::read_encoded_rows() {
  uint8_t* row = header_.row_buffer;
  for (int32_t y = 0; y < h_.height; ++y) {
    size_t filled = 0;
    while (filled < row_bytes_) {
      const int c = stream_getc(s_);
      if (c < 0) {
        // The data stop inside the picture: the part of this line already decoded is shown,
        // and the load reports the file as incomplete.
        if (filled > 0) {
          std::memset(row + filled, 0, row_bytes_ - filled);
          const int status = deliver_row();
          if (status != kStatusOk) return status;
        }
        return kStatusFileEndsEarly;
      }
      if (c < 192) {
        row[filled++] = static_cast<uint8_t>(c);
        continue;
      }
      const int value = stream_getc(s_);
      if (value < 0) continue;   // the next read reports the end of the data
      size_t count = static_cast<size_t>(c & 63);
      if (count > row_bytes_ - filled) count = row_bytes_ - filled;
      std::memset(row + filled, value, count);
      filled += count;
    }
    const int status = deliver_row();
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

int PcxReader::read_raw_rows() {
  for (int32_t y = 0; y < h_.height; ++y) {
    if (stream_read(s_, header_.row_buffer, row_bytes_) != kStatusOk) return kStatusFileEndsEarly;
    const int status = deliver_row();
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

// Version 5: the marker byte 12 within a few bytes after the image data, then 3 x 2^bits bytes
// of red, green, blue. `found` tells whether the marker was there.
int PcxReader::read_palette_block(uint8_t palette[768], bool* found) {
  *found = false;
  for (int i = 0; i < kPaletteSearchBytes; ++i) {
    const int c = stream_getc(s_);
    if (c < 0) return kStatusOk;
    if (c == kPaletteMarker) {
      *found = true;
      break;
    }
  }
  if (!*found) return kStatusOk;
  const size_t entries = size_t{1} << (h_.planes * h_.bits);
  if (stream_read(s_, palette, 3 * entries) != kStatusOk) return kStatusFileEndsEarly;
  return kStatusOk;
}

int PcxReader::run() {
  int status = read_header();
  if (status != kStatusOk) return status;

  context_->services.header_init(&header_);
  std::strcpy(header_.description, "Zsoft Paintbrush");
  header_.width = h_.width;
  header_.height = h_.height;
  header_.planes = h_.planes;
  header_.bits_per_plane = h_.bits;
  header_.bytes_per_plane = h_.bytes_per_line;
  header_.xdpi = h_.xdpi;
  header_.ydpi = h_.ydpi;
  if (h_.encoding != 0) header_.compression = kCompRle;
  header_.layout = (h_.bits == 15 || h_.bits == 16) ? 0x80 : 0;
  if (h_.version == 3) std::memcpy(h_.palette, kDefaultPalette, sizeof h_.palette);

  status = context_->services.begin_image(context_, &header_);
  if (status != 0) return status;
  row_bytes_ = static_cast<size_t>(h_.planes) * h_.bytes_per_line;
  if (!header_.row_buffer || header_.row_buffer_size < row_bytes_) {
    status = kStatusNoMemory;
  } else {
    status = h_.encoding != 0 ? read_encoded_rows() : read_raw_rows();
  }

  const int bits = h_.planes * h_.bits;
  uint8_t palette[768] = {};
  bool have_palette = false;
  if (status == kStatusOk && h_.version == 5 && bits <= 8) {
    status = read_palette_block(palette, &have_palette);
    if (status != kStatusOk) have_palette = false;   // a cut block is not used half-read
  }
  if (!have_palette && bits >= 3 && bits <= 7) {
    std::memcpy(palette, h_.palette, sizeof h_.palette);
    have_palette = true;
  }
  const int end = context_->services.end_image(context_, have_palette ? 0x100 : 0, 8,
                                               have_palette ? palette : nullptr);
  return status != kStatusOk ? status : end;
}

}  // namespace

int pcx_read(ByteStream* stream, LoadContext* context) {
  PcxReader reader(stream, context);
  return reader.run();
}

}  // namespace lumora
