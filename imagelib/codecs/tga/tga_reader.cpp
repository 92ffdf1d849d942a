// The Targa reader: colour-mapped, true-colour and grey images of 1, 8, 15, 16, 24 and 32 bits,
// uncompressed (image types 1 to 3) or run-length encoded (types 9 to 11). Colour maps hold 15-,
// 16-, 24- or 32-bit entries; 16-bit grey pixels are 8 bits of grey and 8 of alpha (Truevision
// TGA 2.0).
#include <cstdio>
#include <cstring>

#include "imagelib/codecs/tga/tga.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

constexpr int kHeaderBytes = 18;
constexpr int32_t kMaxSide = 15000;
constexpr int kMaxMapEntries = 256;

struct TgaHeader {
  uint8_t id_length;
  uint8_t map_type;
  uint8_t image_type;
  uint16_t map_first;
  uint16_t map_length;
  uint8_t map_entry_bits;
  uint16_t width, height;
  uint8_t depth;
  uint8_t descriptor;
};

bool is_rle(int image_type) { return image_type >= 9; }
bool is_grey(int image_type) { return image_type == 3 || image_type == 11; }

// Reads and checks the 18-byte header: 0, 2 (not a Targa file as this reader knows it) or 4.
int read_header(ByteStream* s, TgaHeader* h) {
  uint8_t b[kHeaderBytes];
  size_t n = stream_read_some(s, b, sizeof b);
  if (n < 17) return kStatusFileEndsEarly;
  h->id_length = b[0];
  h->map_type = b[1];
  h->image_type = b[2];
  h->map_first = get_u16le(b + 3);
  h->map_length = get_u16le(b + 5);
  h->map_entry_bits = b[7];
  h->width = get_u16le(b + 12);
  h->height = get_u16le(b + 14);
  h->depth = b[16];
  if (h->map_type > 1) return kStatusNotRecognised;
  switch (h->image_type) {
    case 1: case 2: case 3: case 9: case 10: case 11: break;
    default: return kStatusNotRecognised;
  }
  if (h->map_type == 1) {
    if (h->map_length == 0 || h->map_length > kMaxMapEntries) return kStatusNotRecognised;
    if (h->map_first > h->map_length) return kStatusNotRecognised;
    if (h->map_entry_bits == 0) return kStatusNotRecognised;
  }
  switch (h->map_entry_bits) {
    case 0: case 15: case 16: case 24: case 32: break;
    default: return kStatusNotRecognised;
  }
  if (h->width > kMaxSide || h->height > kMaxSide) return kStatusNotRecognised;
  switch (h->depth) {
    case 1: case 8: case 15: case 16: case 24: case 32: break;
    default: return kStatusNotRecognised;
  }
  if (n < 18) return kStatusFileEndsEarly;
  h->descriptor = b[17];
  return kStatusOk;
}

// Bytes of one pixel as stored (1 for the bit-packed depth 1).
int pixel_bytes(int depth) { return depth <= 8 ? 1 : (depth + 1) / 8; }

size_t row_bytes(const TgaHeader& h) {
  if (h.depth == 1) return (static_cast<size_t>(h.width) + 7) / 8;
  return static_cast<size_t>(h.width) * pixel_bytes(h.depth);
}

// Bytes of one colour map entry: 15- and 16-bit entries take a whole word.
int map_entry_bytes(const TgaHeader& h) { return (h.map_entry_bits + 7) / 8; }

// 16-bit grey pixels: grey level and alpha.
bool is_grey_alpha(const TgaHeader& h) { return is_grey(h.image_type) && h.depth == 16; }

// Reads the colour map into blue-green-red triplets. Entries are placed from the map's first
// index on; the ones that would fall beyond 256 are dropped. Word entries are 5-5-5 with red in
// bits 10-14, each component scaled to 0..255.
int read_color_map(ByteStream* s, const TgaHeader& h, uint8_t palette[768]) {
  const int entry_bytes = map_entry_bytes(h);
  uint8_t entry[4];
  for (int i = 0; i < h.map_length; ++i) {
    if (stream_read(s, entry, static_cast<size_t>(entry_bytes)) != kStatusOk)
      return kStatusFileEndsEarly;
    if (entry_bytes == 2) {
      const uint16_t word = get_u16le(entry);
      for (int c = 0; c < 3; ++c) entry[c] = static_cast<uint8_t>(((word >> (5 * c)) & 31) * 255 / 31);
    }
    const int index = h.map_first + i;
    if (index < kMaxMapEntries) std::memcpy(palette + 3 * index, entry, 3);
  }
  return kStatusOk;
}

class TgaReader {
 public:
  TgaReader(ByteStream* stream, LoadContext* context) : s_(stream), context_(context) {}
  int run();

 private:
  int read_plain_rows(size_t bytes);
  int read_rle_rows(size_t bytes, int pixel);
  int deliver_row();

  ByteStream* s_;
  LoadContext* context_;
  TgaHeader h_{};
  ImageHeader header_{};
};

// Hands the row in the row buffer to the pipeline; grey-and-alpha pairs are first widened in
// place, from the right, to blue, green, red and alpha.
int TgaReader::deliver_row() {
  if (is_grey_alpha(h_)) {
    uint8_t* row = header_.row_buffer;
    for (size_t x = h_.width; x-- > 0;) {
      const uint8_t grey = row[2 * x], alpha = row[2 * x + 1];
      row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = grey;
      row[4 * x + 3] = alpha;
    }
  }
  return context_->services.put_rows(context_, -1, -1, 1);
}

int TgaReader::read_plain_rows(size_t bytes) {
  for (int32_t y = 0; y < h_.height; ++y) {
    if (stream_read(s_, header_.row_buffer, bytes) != kStatusOk) return kStatusFileEndsEarly;
    int status = deliver_row();
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

// Packets may run across row ends: a full row is delivered and the packet goes on in the next.
int TgaReader::read_rle_rows(size_t bytes, int pixel) {
  uint8_t* row = header_.row_buffer;
  size_t filled = 0;
  int32_t y = 0;
  uint8_t value[4];
  while (y < h_.height) {
    int packet = stream_getc(s_);
    if (packet < 0) return kStatusFileEndsEarly;
    const int count = (packet & 0x7F) + 1;
    const bool run = (packet & 0x80) != 0;
    if (run && stream_read(s_, value, static_cast<size_t>(pixel)) != kStatusOk)
      return kStatusFileEndsEarly;
    for (int i = 0; i < count && y < h_.height; ++i) {
      if (run) {
        std::memcpy(row + filled, value, static_cast<size_t>(pixel));
      } else if (stream_read(s_, row + filled, static_cast<size_t>(pixel)) != kStatusOk) {
        return kStatusFileEndsEarly;
      }
      filled += static_cast<size_t>(pixel);
      if (filled >= bytes) {
        int status = deliver_row();
        if (status != kStatusOk) return status;
        filled = 0;
        ++y;
      }
    }
  }
  return kStatusOk;
}

int TgaReader::run() {
  int status = read_header(s_, &h_);
  if (status != kStatusOk) return status;

  if (h_.id_length > 0) {
    status = (context_->params.flags & kLoadKeepComment)
                 ? read_comment(s_, context_, h_.id_length)
                 : stream_skip(s_, h_.id_length);
    if (status != kStatusOk) return status;
  }
  uint8_t palette[768] = {};
  bool have_palette = false;
  if (h_.map_type == 1) {
    if (h_.depth <= 8) {
      status = read_color_map(s_, h_, palette);
      if (status != kStatusOk) return status;
      have_palette = true;
    } else {
      // A true-colour file may carry a map; its pixels follow it.
      const uint64_t map_bytes = static_cast<uint64_t>(map_entry_bytes(h_)) * h_.map_length;
      if (stream_skip(s_, map_bytes) != kStatusOk) return kStatusFileEndsEarly;
    }
  }

  context_->services.header_init(&header_);
  // Descriptor bit 5: rows stored top-down; bit 4: pixels stored right to left.
  header_.row_order = static_cast<uint16_t>(((h_.descriptor & 0x20) ? 0 : 16) |
                                            ((h_.descriptor & 0x10) ? 1 : 0));
  header_.planes = 1;
  header_.bits_per_plane = h_.depth;
  header_.width = h_.width;
  header_.height = h_.height;
  const size_t bytes = row_bytes(h_);
  header_.bytes_per_plane = static_cast<uint32_t>(bytes);
  std::snprintf(header_.description, sizeof header_.description, "Truevision TARGA (Type %d)",
                h_.image_type);
  if (is_rle(h_.image_type)) header_.compression = kCompRle;
  switch (h_.depth) {
    case 15: case 16:
      header_.layout = 0x80;   // little-endian 5-5-5 words, red in bits 10-14
      header_.bits_per_plane = 15;
      if (is_grey_alpha(h_)) {
        // Widened to blue, green, red, alpha before delivery (deliver_row).
        header_.layout = 0x20;
        header_.bits_per_plane = 32;
        header_.bytes_per_plane = static_cast<uint32_t>(4 * static_cast<size_t>(h_.width));
      }
      break;
    case 24: header_.layout = 0x8; break;    // blue, green, red
    case 32: header_.layout = 0x20; break;   // blue, green, red, alpha
    default: header_.layout = 0; break;
  }

  status = context_->services.begin_image(context_, &header_);
  if (status != 0) return status;
  if (!header_.row_buffer || header_.row_buffer_size < header_.bytes_per_plane) {
    status = kStatusNoMemory;
  } else if (is_rle(h_.image_type)) {
    status = read_rle_rows(bytes, pixel_bytes(h_.depth));
  } else {
    status = read_plain_rows(bytes);
  }
  // Grey images and files whose map is missing carry no palette: their values are grey levels.
  const bool pass_palette = h_.depth <= 8 && have_palette && !is_grey(h_.image_type);
  int end = context_->services.end_image(context_, pass_palette ? 0x200 : 0, 8,
                                         pass_palette ? palette : nullptr);
  return status != kStatusOk ? status : end;
}

}  // namespace

int tga_read(ByteStream* stream, LoadContext* context) {
  TgaReader reader(stream, context);
  return reader.run();
}

}  // namespace lumora
