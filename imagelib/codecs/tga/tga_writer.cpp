// The Targa writer: 24-bit or 32-bit true colour, 8-bit colour-mapped, 8-bit grey or 1-bit
// images, optionally run-length encoded, with the picture's comment in the image ID field.
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/codecs/tga/tga.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

int tga_rle_encode_row(const uint8_t* row, size_t row_bytes, int pixel_bytes,
                       std::vector<uint8_t>* out) {
  const size_t p = static_cast<size_t>(pixel_bytes);
  const size_t n = row_bytes / p;
  auto same = [&](size_t a, size_t b) { return std::memcmp(row + a * p, row + b * p, p) == 0; };
  try {
    size_t i = 0;
    while (i < n) {
      if (i + 1 < n && same(i, i + 1)) {
        // A run of up to 128 copies of one pixel.
        size_t count = 2;
        while (i + count < n && count < 128 && same(i, i + count)) ++count;
        out->push_back(static_cast<uint8_t>(0x80 | (count - 1)));
        out->insert(out->end(), row + i * p, row + (i + 1) * p);
        i += count;
      } else {
        // Literal pixels up to the one where a repeat begins, at most 128.
        size_t count = 1;
        while (i + count < n && count < 128 && !(i + count + 1 < n && same(i + count, i + count + 1)))
          ++count;
        out->push_back(static_cast<uint8_t>(count - 1));
        out->insert(out->end(), row + i * p, row + (i + count) * p);
        i += count;
      }
    }
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  return kStatusOk;
}

namespace {

enum class Variant { kTrue24, kTrue32, kIndexed };

int write_file_header(ByteStream* s, const SaveContext* c, uint8_t map_type, uint8_t image_type,
                      uint8_t depth) {
  const size_t comment = c->comment ? std::strlen(c->comment) : 0;
  const bool with_id = c->comment && comment < 255;
  uint8_t h[18] = {};
  h[0] = with_id ? static_cast<uint8_t>(comment + 1) : 0;
  h[1] = map_type;
  h[2] = image_type;
  if (map_type == 1) {
    put_u16le(h + 5, 256);   // first entry 0, 256 entries of 24 bits
    h[7] = 24;
  }
  put_u16le(h + 12, static_cast<uint16_t>(c->width));
  put_u16le(h + 14, static_cast<uint16_t>(c->height));
  h[16] = depth;
  h[17] = 0x20;   // top-left origin
  int status = stream_write(s, h, sizeof h);
  if (status == kStatusOk && with_id) status = stream_write(s, c->comment, comment + 1);
  return status;
}

int write_rows(ByteStream* s, SaveContext* c, const WriterHeader& header, size_t bytes,
               int pixel, bool rle) {
  std::vector<uint8_t> packets;
  for (int32_t y = 0; y < c->height; ++y) {
    int status = c->get_rows(c, y, 1);
    if (status != kStatusOk) return status;
    if (rle) {
      packets.clear();
      status = tga_rle_encode_row(header.row_buffer, bytes, pixel, &packets);
      if (status == kStatusOk) status = stream_write(s, packets.data(), packets.size());
    } else {
      status = stream_write(s, header.row_buffer, bytes);
    }
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

}  // namespace

int tga_write(ByteStream* stream, SaveContext* context) {
  Variant variant = context->type != kMaskColor ? Variant::kIndexed
                    : context->bits == 32       ? Variant::kTrue32
                                                : Variant::kTrue24;
  const bool bilevel = context->type == kPixBilevel;
  const bool palette = context->type == kPixIndexed;
  const bool rle = context->params.rle != 0 && !bilevel;

  uint8_t map_type = 0, image_type, depth;
  WriterHeader header;
  context->save_header_init(&header);
  std::strcpy(header.description, rle ? "Targa RLE" : "Targa");
  header.row_order = 0;
  header.planes = 1;
  int pixel = 1;
  size_t bytes;
  if (variant != Variant::kIndexed) {
    const bool wide = variant == Variant::kTrue32;
    image_type = rle ? 10 : 2;
    depth = wide ? 32 : 24;
    pixel = wide ? 4 : 3;
    header.layout = wide ? 0x20 : 0x8;   // blue, green, red (, alpha)
    header.bits_per_plane = depth;
    bytes = static_cast<size_t>(context->width) * pixel;
  } else {
    map_type = palette ? 1 : 0;
    image_type = palette ? (rle ? 9 : 1) : (rle ? 11 : 3);
    depth = bilevel ? 1 : 8;
    header.bits_per_plane = depth;
    bytes = bilevel ? (static_cast<size_t>(context->width) + 7) / 8 : static_cast<size_t>(context->width);
    if (palette) {
      header.palette_form = kPalFormBGR;
      header.palette_bits = 8;
    }
  }
  header.bytes_per_row = static_cast<uint32_t>(bytes);

  int status = write_file_header(stream, context, map_type, image_type, depth);
  if (status != kStatusOk) return status;
  status = context->begin_save(context, &header);
  if (status != kStatusOk) return status;
  if (!header.row_buffer || (palette && (!header.palette || header.palette_size < 768)))
    status = kStatusNoMemory;
  if (status == kStatusOk && palette) status = stream_write(stream, header.palette, 768);
  if (status == kStatusOk) status = write_rows(stream, context, header, bytes, pixel, rle);
  context->end_save(context);
  if (status == kStatusOk) status = stream_flush(stream);
  return status;
}

}  // namespace lumora
