// The bitmap reader: Windows (BITMAPINFOHEADER and longer) and OS/2 (BITMAPCOREHEADER) forms,
// 1/2/4/8-bit palette pictures raw or RLE4/RLE8, 15/16/24/32-bit true colour with or without
// bit fields, planar true colour, and DXT1/DXT3 block data.
#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imagelib/codecs/bmp/bmp.h"
#include "imagelib/codecs/bmp/bmp_bitfields.h"
#include "imagelib/codecs/bmp/bmp_dxt.h"
#include "imagelib/codecs/bmp/bmp_header.h"
#include "imagelib/codecs/bmp/bmp_rle.h"
#include "imagelib/core/convert.h"
#include "imagelib/core/palette.h"
#include "imagelib/core/status.h"

namespace lumora {

namespace {

using namespace bmp;

uint32_t padded4(uint64_t bytes) { return static_cast<uint32_t>((bytes + 3) & ~uint64_t{3}); }

bool is_dxt(uint32_t compression) {
  return compression == kCompressDxt1 || compression == kCompressDxt3;
}

// The reader's state for one file.
struct BmpRead {
  ByteStream* stream;
  LoadContext* ctx;
  BmpHeader file;
  ImageHeader header;

  int begin() { return ctx->services.begin_image(ctx, &header); }
  int put(int plane, int32_t row, int32_t count) {
    return ctx->services.put_rows(ctx, plane, row, count);
  }
  // Finishes the picture after a successful begin_image; the body's status wins over end_image's.
  int finish(int status, uint32_t palette_form, int palette_bits, const uint8_t* palette) {
    int end = ctx->services.end_image(ctx, palette_form, palette_bits, palette);
    return status ? status : end;
  }
  bool row_fits(uint64_t bytes) const { return bytes <= header.row_buffer_size; }
};

void set_message(LoadContext* ctx, const char* text) {
  std::snprintf(ctx->message, sizeof ctx->message, "%s", text);
}

// ---- palette pictures ---------------------------------------------------------------------

struct StreamBytes {
  static int next(void* user) { return stream_getc(static_cast<ByteStream*>(user)); }
};

struct RowSink {
  BmpRead* read;
  static int deliver(void* user, int32_t row) {
    auto* self = static_cast<RowSink*>(user);
    return self->read->put(-1, row, 1);
  }
};

// Reads the colour table into `palette` (256 blue, green, red triplets, unused entries zero).
int read_palette(BmpRead& r, uint8_t* palette) {
  const BmpHeader& f = r.file;
  uint32_t entry_bytes = f.os2 ? 3 : 4;
  uint64_t count = f.colors_used ? f.colors_used : (1u << (f.bits * f.planes));
  if (count > 256) count = 256;
  // A colour table never overlaps the pixel data: a count that claims more stops at the data.
  uint64_t start = kFileHeaderBytes + static_cast<uint64_t>(f.header_size);
  if (f.data_offset >= start && f.data_offset < start + count * entry_bytes)
    count = (f.data_offset - start) / entry_bytes;
  if (int st = stream_seek(r.stream, start)) return st;
  uint8_t entry[4];
  for (uint64_t i = 0; i < count; ++i) {
    if (int st = stream_read(r.stream, entry, entry_bytes)) return st;
    std::memcpy(palette + 3 * i, entry, 3);
  }
  return kStatusOk;
}

int read_palette_rows(BmpRead& r) {
  const BmpHeader& f = r.file;
  uint32_t width = f.width, height = f.height;
  uint64_t row_bytes = (static_cast<uint64_t>(width) * f.bits + 7) / 8;
  uint32_t padding = padded4(row_bytes) - static_cast<uint32_t>(row_bytes);
  if (!r.row_fits(row_bytes)) return kStatusNoMemory;
  uint8_t* row = r.header.row_buffer;
  if (f.compression == kCompressRle8 || f.compression == kCompressRle4) {
    RowSink sink{&r};
    RleInput in{&StreamBytes::next, r.stream};
    RleOutput out{&RowSink::deliver, &sink};
    return rle_decode(f.bits, static_cast<int32_t>(width), static_cast<int32_t>(height), row,
                      r.header.row_buffer_size, in, out);
  }
  for (uint32_t y = 0; y < height; ++y) {
    if (int st = stream_read(r.stream, row, row_bytes)) return st;
    if (int st = r.put(-1, static_cast<int32_t>(y), 1)) return st;
    // A missing pad after the last row is harmless; elsewhere the next read reports it.
    stream_skip(r.stream, padding);
  }
  return kStatusOk;
}

int read_palette_picture(BmpRead& r) {
  const BmpHeader& f = r.file;
  if (f.planes != 1 || (f.bits != 1 && f.bits != 2 && f.bits != 4 && f.bits != 8))
    return kStatusNotRecognised;
  if (f.compression == kCompressBitFields ||
      (f.compression == kCompressRle8 && f.bits != 8) ||
      (f.compression == kCompressRle4 && f.bits != 4))
    return kStatusNotRecognised;
  r.header.layout = 0;  // packed, most significant bits first
  r.header.rows_per_call = 1;
  r.header.bytes_per_plane = static_cast<uint32_t>((static_cast<uint64_t>(f.width) * f.bits + 7) / 8);
  if (int st = r.begin()) return st;
  uint8_t palette[256 * 3] = {};
  int st = read_palette(r, palette);
  if (!st) st = stream_seek(r.stream, f.data_offset);
  if (!st) st = read_palette_rows(r);
  return r.finish(st, kPaletteBGR, 8, palette);
}

// ---- true colour ----------------------------------------------------------------------------

// The colour masks of a bit-field file: from the long header, or the three 32-bit masks that
// follow a 40-byte header, or the defaults when the pixel data leaves no room for them.
int read_masks(BmpRead& r, uint32_t masks[4]) {
  const BmpHeader& f = r.file;
  if (f.masks_in_header) {
    std::memcpy(masks, f.masks, 4 * sizeof(uint32_t));
    return kStatusOk;
  }
  constexpr uint32_t kMaskOffset = kFileHeaderBytes + kInfoHeaderBytes;
  if (f.os2 || f.data_offset < kMaskOffset + 12) {
    default_masks(f.bits, masks);
    return kStatusOk;
  }
  uint8_t raw[12];
  if (int st = stream_seek(r.stream, kMaskOffset)) return st;
  if (int st = stream_read(r.stream, raw, sizeof raw)) return st;
  for (int i = 0; i < 3; ++i) masks[i] = get_u32le(raw + 4 * i);
  masks[3] = 0;
  return kStatusOk;
}

[[maybe_unused]] void swap16_row(uint8_t* row, uint32_t pixels) {  // used on big-endian hosts only
  for (uint32_t i = 0; i < pixels; ++i) std::swap(row[2 * i], row[2 * i + 1]);
}

int read_true_color_rows(BmpRead& r, const TrueColorPlan& plan) {
  const BmpHeader& f = r.file;
  uint32_t width = f.width;
  uint64_t file_row = static_cast<uint64_t>(width) * plan.file_bytes_per_pixel;
  uint64_t out_row = static_cast<uint64_t>(width) * plan.out_bytes_per_pixel;
  uint32_t padding = padded4(file_row) - static_cast<uint32_t>(file_row);
  if (!r.row_fits(out_row)) return kStatusNoMemory;
  uint8_t* row = r.header.row_buffer;
  const int planes = plan.file_planes;
  const size_t plane_row = padded4(file_row);
  std::vector<uint8_t> raw;
  if (plan.path != PixelPath::kDirect) {
    try {
      raw.resize(plane_row * planes);
    } catch (...) {
      return kStatusNoMemory;
    }
  }
  for (uint32_t y = 0; y < f.height; ++y) {
    if (plan.path == PixelPath::kPlanes) {
      for (int p = 0; p < planes; ++p) {
        if (int st = stream_read(r.stream, raw.data() + p * plane_row, file_row)) return st;
        if (p + 1 < planes) stream_skip(r.stream, padding);
      }
      interleave_planes(raw.data(), plane_row, planes, row, static_cast<int32_t>(width));
    } else {
      uint8_t* dst = plan.path == PixelPath::kDirect ? row : raw.data();
      if (int st = stream_read(r.stream, dst, file_row)) return st;
      if (plan.path == PixelPath::kSplit16) split16_row(raw.data(), row, width, plan.fields);
      if (plan.path == PixelPath::kSplit32) split32_row(raw.data(), row, width, plan.fields);
      if constexpr (std::endian::native == std::endian::big) {
        // The row converters read 16-bit pixels in the processor's byte order.
        if (plan.path == PixelPath::kDirect && plan.file_bytes_per_pixel == 2) swap16_row(row, width);
      }
    }
    if (int st = r.put(-1, static_cast<int32_t>(y), 1)) return st;
    stream_skip(r.stream, padding);
  }
  return kStatusOk;
}

int read_true_color_picture(BmpRead& r) {
  const BmpHeader& f = r.file;
  bool bit_fields = f.compression == kCompressBitFields;
  if (f.compression == kCompressRle8 || f.compression == kCompressRle4) return kStatusNotRecognised;
  uint32_t masks[4] = {};
  if (bit_fields) {
    if (int st = read_masks(r, masks)) return st;
  }
  TrueColorPlan plan;
  if (plan_true_color(f.bits, f.planes, bit_fields, masks, &plan)) return kStatusNotRecognised;
  r.header.layout = plan.layout;
  r.header.bits_per_plane = plan.header_bits;
  r.header.planes = 1;
  r.header.rows_per_call = 1;
  r.header.bytes_per_plane = static_cast<uint32_t>(static_cast<uint64_t>(f.width) * plan.out_bytes_per_pixel);
  if (int st = r.begin()) return st;
  int st = stream_seek(r.stream, f.data_offset);
  if (!st) st = read_true_color_rows(r, plan);
  return r.finish(st, 0, 0, nullptr);
}

// ---- DXT ------------------------------------------------------------------------------------

int read_dxt_picture(BmpRead& r) {
  const BmpHeader& f = r.file;
  bool dxt3 = f.compression == kCompressDxt3;
  ImageHeader& h = r.header;
  std::snprintf(h.description, sizeof h.description, "%s", "Windows Bitmap (DXT)");
  h.row_order = 16;
  h.planes = 1;
  h.bits_per_plane = 32;
  h.layout = 0;  // red, green, blue, alpha
  h.rows_per_call = 4;
  h.bytes_per_plane = static_cast<uint32_t>(static_cast<uint64_t>(f.width) * 4);
  if (int st = r.begin()) return st;
  int32_t width = static_cast<int32_t>(f.width), height = static_cast<int32_t>(f.height);
  // Several rows per call sit row_stride bytes apart in the row buffer.
  size_t stride = h.row_stride ? h.row_stride : static_cast<size_t>(width) * 4;
  // Whole blocks cover the picture even when a side is not a multiple of 4.
  size_t block_row = static_cast<size_t>((width + 3) / 4) * (dxt3 ? kDxt3BlockBytes : kDxt1BlockBytes);
  int st = (stride >= static_cast<size_t>(width) * 4 && r.row_fits(4 * static_cast<uint64_t>(stride)))
               ? kStatusOk
               : kStatusNoMemory;
  std::vector<uint8_t> blocks;
  if (!st) {
    try {
      blocks.resize(block_row);
    } catch (...) {
      st = kStatusNoMemory;
    }
  }
  if (!st) st = stream_seek(r.stream, kDxtDataOffset);
  for (int32_t y = 0; !st && y < height; y += 4) {
    int rows = height - y < 4 ? height - y : 4;
    st = stream_read(r.stream, blocks.data(), block_row);
    if (st) break;
    dxt_decode_block_row(dxt3, blocks.data(), width, rows, h.row_buffer, stride);
    st = r.put(-1, y, rows);
  }
  return r.finish(st, 0, 0, nullptr);
}

}  // namespace

int bmp_read(ByteStream* stream, LoadContext* context) {
  BmpRead r{stream, context, {}, {}};
  if (int st = read_headers(stream, &r.file)) return st;
  const BmpHeader& f = r.file;
  ImageHeader& h = r.header;
  context->services.header_init(&h);
  std::snprintf(h.description, sizeof h.description, "%s", f.os2 ? "OS/2 Bitmap" : "Windows Bitmap");
  h.row_order = f.top_down ? 0 : 16;
  h.width = static_cast<int32_t>(f.width > 0x7FFFFFFF ? 0x7FFFFFFF : f.width);
  h.height = static_cast<int32_t>(f.height > 0x7FFFFFFF ? 0x7FFFFFFF : f.height);
  h.planes = f.planes;
  h.bits_per_plane = f.bits;
  h.compression = (f.compression == kCompressRle8 || f.compression == kCompressRle4) ? kCompRle : kCompNone;
  h.xdpi = dpi_from_ppm(f.x_pixels_per_metre);
  h.ydpi = dpi_from_ppm(f.y_pixels_per_metre);
  if (is_dxt(f.compression)) return read_dxt_picture(r);
  if (f.width == 0 || f.height == 0 || f.width >= kMaxSide || f.height >= kMaxSide) {
    set_message(context, "Windows Bitmap : Bad picture's size !");
    return kStatusImpossible;
  }
  if (static_cast<uint32_t>(f.bits) * f.planes >= 15) return read_true_color_picture(r);
  return read_palette_picture(r);
}

}  // namespace lumora
