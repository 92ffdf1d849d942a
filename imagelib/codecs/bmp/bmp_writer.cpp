// The bitmap writer: Windows (40-byte header, 4-byte palette entries) or OS/2 (12-byte header,
// 3-byte entries), rows bottom-up, uncompressed or RLE4/RLE8.
#include <cstdio>
#include <cstring>
#include <vector>

#include "imagelib/codecs/bmp/bmp.h"
#include "imagelib/codecs/bmp/bmp_header.h"
#include "imagelib/codecs/bmp/bmp_rle.h"
#include "imagelib/core/convert.h"
#include "imagelib/core/status.h"

namespace lumora {

namespace {

using namespace bmp;

struct Depth {
  int bits;
  int entries;  // palette entries, 0 for true colour
};

// Bilevel: 1 bit; grey and indexed: 4 bits up to 16 colours, else 8; colour: 24 or 32 bits.
Depth choose_depth(const SaveContext* ctx) {
  switch (ctx->type) {
    case kPixBilevel: return {1, 2};
    case kPixGrey:
    case kPixIndexed:
      return (ctx->colors > 0 && ctx->colors <= 16) ? Depth{4, 16} : Depth{8, 256};
    default: return {ctx->bits == 32 ? 32 : 24, 0};
  }
}

void put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(x & 0xFF);
  v.push_back(x >> 8);
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

// File header, info header and colour table.
std::vector<uint8_t> build_headers(const SaveContext* ctx, const Depth& d, bool os2,
                                   uint32_t compression, uint32_t file_size,
                                   const uint8_t* palette) {
  uint32_t entry_bytes = os2 ? 3 : 4;
  uint32_t offset = kFileHeaderBytes + (os2 ? kOs2HeaderBytes : kInfoHeaderBytes) +
                    entry_bytes * d.entries;
  std::vector<uint8_t> v;
  v.reserve(offset);
  put16(v, kMagic);
  put32(v, file_size);
  put16(v, 0);
  put16(v, 0);
  put32(v, offset);
  if (os2) {
    put32(v, kOs2HeaderBytes);
    put16(v, static_cast<uint16_t>(ctx->width));
    put16(v, static_cast<uint16_t>(ctx->height));
    put16(v, 1);
    put16(v, static_cast<uint16_t>(d.bits));
  } else {
    put32(v, kInfoHeaderBytes);
    put32(v, static_cast<uint32_t>(ctx->width));
    put32(v, static_cast<uint32_t>(ctx->height));  // positive: rows bottom-up
    put16(v, 1);
    put16(v, static_cast<uint16_t>(d.bits));
    put32(v, compression);
    put32(v, 0);  // image size: may be 0 for uncompressed and is not needed by readers
    put32(v, static_cast<uint32_t>(ppm_from_dpi(ctx->xdpi)));
    put32(v, static_cast<uint32_t>(ppm_from_dpi(ctx->ydpi)));
    put32(v, 0);  // colours used: all 2^bits
    put32(v, 0);  // colours important
  }
  for (int i = 0; i < d.entries; ++i) {
    v.insert(v.end(), palette + 3 * i, palette + 3 * i + 3);  // blue, green, red
    if (!os2) v.push_back(0);
  }
  return v;
}

int write_bytes(ByteStream* s, const std::vector<uint8_t>& v) {
  return stream_write(s, v.data(), v.size());
}

int write_rows(ByteStream* s, SaveContext* ctx, const WriterHeader& wh, const Depth& d,
               uint32_t compression) {
  uint64_t row_bytes = (static_cast<uint64_t>(ctx->width) * d.bits + 7) / 8;
  uint64_t padded = (row_bytes + 3) & ~uint64_t{3};
  std::vector<uint8_t> out;
  try {
    out.reserve(compression ? 2 * row_bytes + 64 : padded);
  } catch (...) {
    return kStatusNoMemory;
  }
  for (int32_t y = 0; y < ctx->height; ++y) {
    if (int st = ctx->get_rows(ctx, -1, 1)) return st;
    out.clear();
    if (compression == kCompressRle8) {
      rle8_encode_row(wh.row_buffer, ctx->width, &out);
    } else if (compression == kCompressRle4) {
      rle4_encode_row(wh.row_buffer, ctx->width, &out);
    } else {
      out.assign(wh.row_buffer, wh.row_buffer + row_bytes);
      out.resize(padded, 0);
    }
    if (int st = write_bytes(s, out)) return st;
  }
  if (compression) {
    static const uint8_t kEndOfPicture[2] = {0, 1};
    if (int st = stream_write(s, kEndOfPicture, 2)) return st;
  }
  return kStatusOk;
}

}  // namespace

int bmp_write(ByteStream* stream, SaveContext* ctx) {
  Depth d = choose_depth(ctx);
  bool os2 = ctx->params.os2_bitmap != 0;
  if (ctx->width < 1 || ctx->height < 1) return kStatusCannotStore;
  // OS/2 headers hold 16-bit sizes and have no compression field.
  if (os2 && (ctx->width > 0xFFFF || ctx->height > 0xFFFF)) return kStatusCannotStore;
  uint32_t compression = kCompressNone;
  if (ctx->params.rle && !os2) {
    if (d.bits == 8) compression = kCompressRle8;
    if (d.bits == 4) compression = kCompressRle4;
  }
  uint64_t row_bytes = (static_cast<uint64_t>(ctx->width) * d.bits + 7) / 8;
  uint64_t data_bytes = ((row_bytes + 3) & ~uint64_t{3}) * static_cast<uint64_t>(ctx->height);
  uint64_t offset = kFileHeaderBytes + (os2 ? kOs2HeaderBytes : kInfoHeaderBytes) +
                    static_cast<uint64_t>(os2 ? 3 : 4) * d.entries;
  // The file-size field is 32 bits; RLE output is checked again at the end.
  if (!compression && offset + data_bytes > 0xFFFFFFFFull) return kStatusCannotStore;

  WriterHeader wh;
  ctx->save_header_init(&wh);
  wh.planes = 1;
  wh.bits_per_plane = static_cast<uint16_t>(d.bits);
  wh.bits_per_sample = static_cast<uint16_t>(d.bits <= 8 ? d.bits : 8);
  wh.layout = d.bits == 24 ? kLayoutReversed : d.bits == 32 ? kLayoutFourthLast : 0;
  wh.row_order = kWriterBottomUp;
  wh.rows_per_call = 1;
  if (d.entries) {
    wh.palette_form = kPalFormBGR;
    wh.palette_bits = 8;
  }
  std::snprintf(wh.description, sizeof wh.description, "%s%s",
                os2 ? "OS/2 Bitmap" : "Windows Bitmap", compression ? " (RLE)" : "");
  if (int st = ctx->begin_save(ctx, &wh)) return st;

  uint32_t file_size = compression ? 0 : static_cast<uint32_t>(offset + data_bytes);
  const uint64_t start = stream_tell(stream);  // a caller's stream may not start at offset 0
  int st = kStatusOk;
  try {
    st = write_bytes(stream, build_headers(ctx, d, os2, compression, file_size, wh.palette));
  } catch (...) {
    st = kStatusNoMemory;
  }
  if (!st) st = write_rows(stream, ctx, wh, d, compression);
  ctx->end_save(ctx);
  if (st || !compression) return st;

  // RLE: the final length goes into the file-size field.
  uint64_t end = stream_tell(stream);
  if (end < start || end - start > 0xFFFFFFFFull) return kStatusCannotStore;
  if (stream_seek(stream, start + 2) ||
      stream_write_u32le(stream, static_cast<uint32_t>(end - start)) || stream_seek(stream, end))
    return kStatusWriteError;
  return kStatusOk;
}

}  // namespace lumora
