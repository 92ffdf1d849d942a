// The GIF writer of the format table: one image with a global colour table, optionally
// interlaced, compressed with the hashing LZW encoder.
#include <cstring>
#include <memory>
#include <new>

#include "imagelib/codecs/gif/gif.h"
#include "imagelib/codecs/gif/gif_blocks.h"
#include "imagelib/codecs/gif/lzw_encode.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

int write_stream(void* user, const uint8_t* data, size_t size) {
  return stream_write(static_cast<ByteStream*>(user), data, size);
}

// Header, logical screen descriptor and global colour table (GIF89a sections 17 to 19).
int write_screen(ByteStream* s, const SaveContext* c, int bits, const uint8_t* palette) {
  uint8_t head[13];
  std::memcpy(head, c->params.gif87a ? "GIF87a" : "GIF89a", 6);
  put_u16le(head + 6, static_cast<uint16_t>(c->width));
  put_u16le(head + 8, static_cast<uint16_t>(c->height));
  head[10] = static_cast<uint8_t>(0x80 | (bits - 1));   // global table, colour resolution 0
  head[11] = 0;                                          // background index
  head[12] = 1;                                          // aspect byte
  int status = stream_write(s, head, sizeof head);
  if (status == kStatusOk) status = stream_write(s, palette, static_cast<size_t>(3) << bits);
  return status;
}

int write_extensions(ByteStream* s, const SaveContext* c) {
  int status = kStatusOk;
  if (c->transparent_index >= 0) {
    const uint8_t control[8] = {kGifExtension, kGifGraphicControl, 4, 1, 0, 0,
                                static_cast<uint8_t>(c->transparent_index), 0};
    status = stream_write(s, control, sizeof control);
  }
  if (status == kStatusOk && c->comment) {
    const size_t length = std::strlen(c->comment);
    if (length < 255) {
      // One sub-block holding the comment and its NUL.
      const uint8_t intro[3] = {kGifExtension, kGifComment, static_cast<uint8_t>(length + 1)};
      status = stream_write(s, intro, sizeof intro);
      if (status == kStatusOk) status = stream_write(s, c->comment, length + 1);
      if (status == kStatusOk) status = stream_write_u8(s, 0);
    }
  }
  return status;
}

// The picture row of the n-th row written, in the four-pass interlace order when asked.
class RowOrder {
 public:
  RowOrder(int32_t height, bool interlaced) : height_(height), interlaced_(interlaced) {}
  int32_t next() {
    if (!interlaced_) return row_++;
    static const int32_t kStart[4] = {0, 4, 2, 1};
    static const int32_t kStep[4] = {8, 8, 4, 2};
    while (pass_ < 4) {
      if (row_ < height_) {
        int32_t r = row_;
        row_ += kStep[pass_];
        return r;
      }
      if (++pass_ < 4) row_ = kStart[pass_];
    }
    return height_;
  }

 private:
  int32_t height_;
  bool interlaced_;
  int pass_ = 0;
  int32_t row_ = 0;
};

int write_image(ByteStream* s, SaveContext* c, const WriterHeader& header, int bits) {
  const bool interlaced = c->params.interlaced != 0;
  uint8_t descriptor[10] = {kGifImage, 0, 0, 0, 0};
  put_u16le(descriptor + 5, static_cast<uint16_t>(c->width));
  put_u16le(descriptor + 7, static_cast<uint16_t>(c->height));
  descriptor[9] = static_cast<uint8_t>((interlaced ? 0x40 : 0) | (bits - 1));
  int status = stream_write(s, descriptor, sizeof descriptor);
  const int code_size = bits < 2 ? 2 : bits;
  if (status == kStatusOk) status = stream_write_u8(s, static_cast<uint8_t>(code_size));
  if (status != kStatusOk) return status;

  std::unique_ptr<LzwEncoder> encoder(new (std::nothrow) LzwEncoder(code_size + 1, write_stream, s));
  if (!encoder) return kStatusNoMemory;
  // Indexes beyond the colour table would reach the encoder's control codes.
  const uint8_t top = static_cast<uint8_t>((1 << bits) - 1);
  RowOrder order(c->height, interlaced);
  for (int32_t n = 0; n < c->height && status == kStatusOk; ++n) {
    status = c->get_rows(c, order.next(), 1);
    if (status != kStatusOk) break;
    uint8_t* row = header.row_buffer;
    for (int32_t x = 0; x < c->width; ++x)
      if (row[x] > top) row[x] = top;
    status = encoder->add(row, static_cast<size_t>(c->width));
  }
  if (status == kStatusOk) status = encoder->finish();
  const uint8_t tail[2] = {0, kGifTrailer};   // block terminator and trailer
  if (status == kStatusOk) status = stream_write(s, tail, sizeof tail);
  return status;
}

}  // namespace

void gif_capabilities(WriterCapability* list) {
  list[0] = {kPixIndexed, 256, 0, 0, ""};
  list[1] = {kPixGrey, -1, 0, 0, ""};
  list[2] = {kPixBilevel, -1, 0, 0, ""};
}

int gif_write(ByteStream* stream, SaveContext* context) {
  if (context->type == kMaskColor) return kStatusCannotStore;
  const int bits = context->type == kPixBilevel ? 1 : bits_for_colors(context->colors);

  WriterHeader header;
  context->save_header_init(&header);
  std::strcpy(header.description, context->params.interlaced ? "Gif interlaced" : "Gif");
  header.layout = 2;   // one byte per pixel
  header.row_order = 0;
  header.planes = 1;
  header.bits_per_plane = 8;
  header.palette_form = kPalFormWanted;   // red, green, blue byte triplets
  header.palette_bits = 8;
  header.bytes_per_row = static_cast<uint32_t>(context->width);
  int status = context->begin_save(context, &header);
  if (status != kStatusOk) return status;

  if (!header.palette || header.palette_size < (3u << bits) || !header.row_buffer)
    status = kStatusNoMemory;
  if (status == kStatusOk) status = write_screen(stream, context, bits, header.palette);
  if (status == kStatusOk) status = write_extensions(stream, context);
  if (status == kStatusOk) status = write_image(stream, context, header, bits);
  context->end_save(context);
  if (status == kStatusOk) status = stream_flush(stream);
  return status;
}

}  // namespace lumora
