// The PNG writer: bilevel, grey, palette, RGB and RGBA pictures with a chosen zlib level, row
// filter and optional Adam7 interlacing, the comment as a "Comment" text chunk, pHYs and tRNS.
//
// As in the reader, libpng's errors jump back into write_png(); every resource lives in the
// WriteState and is released by png_write() after write_png() has returned.
#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "imagelib/codecs/png/png.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

struct WriteState {
  ByteStream* stream;
  SaveContext* context;
  png_structp png;
  png_infop info;
  png_bytepp row_pointers;   // interlaced output: one pointer per row
  bool saving;               // begin_save succeeded and end_save is still owed
  WriterHeader header;
  png_text text[1 + kMaxTextLines];   // the comment, then the caller's text lines
  char keys[kMaxTextLines][80];       // their keys, NUL-terminated
  png_byte trans[256];
  png_color palette[256];
};

void write_data(png_structp png, png_bytep data, size_t length) {
  auto* s = static_cast<WriteState*>(png_get_io_ptr(png));
  if (stream_write(s->stream, data, length) != kStatusOk) png_error(png, "Write error");
}

void flush_data(png_structp) {}

[[noreturn]] void on_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void on_warning(png_structp, png_const_charp) {}

png_voidp heap_alloc(png_structp, png_alloc_size_t size) { return std::malloc(size); }
void heap_free(png_structp, png_voidp p) { std::free(p); }

void finish_save(WriteState* s) {
  if (!s->saving) return;
  s->saving = false;
  s->context->end_save(s->context);
}

// PNG row filter masks for the filter option 1..5 (PNG 1.2 section 6).
int filter_mask(int option) {
  switch (option) {
    case 1: return PNG_FILTER_SUB;
    case 2: return PNG_FILTER_UP;
    case 3: return PNG_FILTER_AVG;
    case 4: return PNG_FILTER_PAETH;
    case 5: return PNG_ALL_FILTERS;
    default: return 0;
  }
}

int write_png(WriteState* s) {
  SaveContext* c = s->context;
  if (setjmp(png_jmpbuf(s->png))) {
    finish_save(s);
    return kStatusWriteError;
  }
  png_set_write_fn(s->png, s, write_data, flush_data);
  png_set_compression_level(s->png, c->params.compression_level > 9 ? 9 : c->params.compression_level);
  if (int mask = filter_mask(c->params.png_filter)) png_set_filter(s->png, 0, mask);

  // IHDR by the pixel type the save pipeline presents.
  int color_type, bit_depth, bits;
  switch (c->type) {
    case kPixGrey: color_type = PNG_COLOR_TYPE_GRAY; bit_depth = 8; bits = 8; break;
    case kPixBilevel: color_type = PNG_COLOR_TYPE_GRAY; bit_depth = 1; bits = 1; break;
    case kPixIndexed:
      color_type = PNG_COLOR_TYPE_PALETTE;
      bit_depth = bits = c->colors <= 16 ? 4 : 8;
      break;
    default:
      color_type = c->bits == 32 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
      bit_depth = 8;
      bits = c->bits == 32 ? 32 : 24;
      break;
  }
  const bool interlaced = c->params.interlaced != 0;
  png_set_IHDR(s->png, s->info, static_cast<png_uint_32>(c->width), static_cast<png_uint_32>(c->height),
               bit_depth, color_type, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

  if (c->xdpi != 0 && c->ydpi != 0) {
    // Dots per inch to pixels per metre.
    png_set_pHYs(s->png, s->info, static_cast<png_uint_32>(c->xdpi * 39.371370451786476),
                 static_cast<png_uint_32>(c->ydpi * 39.371370451786476), PNG_RESOLUTION_METER);
  }
  int texts = 0;
  if (c->comment) {
    png_text& t = s->text[texts++];
    t.compression = PNG_TEXT_COMPRESSION_NONE;
    t.key = const_cast<png_charp>("Comment");
    t.text = const_cast<png_charp>(c->comment);
    t.text_length = std::strlen(c->comment);
  }
  for (uint32_t i = 0; i < c->text_count && i < kMaxTextLines; ++i) {
    const char* line = c->text_lines[i];
    const char* colon = line ? std::strstr(line, ": ") : nullptr;
    // PNG 1.2 section 4.2.3.1: a keyword is 1 to 79 printable Latin-1 characters.
    const size_t key_length = colon ? static_cast<size_t>(colon - line) : 0;
    if (key_length < 1 || key_length > 79) continue;
    char* key = s->keys[texts - (c->comment ? 1 : 0)];
    std::memcpy(key, line, key_length);
    key[key_length] = '\0';
    png_text& t = s->text[texts++];
    t.compression = PNG_TEXT_COMPRESSION_NONE;
    t.key = key;
    t.text = const_cast<png_charp>(colon + 2);
    t.text_length = std::strlen(colon + 2);
  }
  if (texts > 0) png_set_text(s->png, s->info, s->text, texts);
  const int transparent = c->transparent_index;
  if (transparent >= 0 && c->type != kMaskColor) {
    if (color_type == PNG_COLOR_TYPE_PALETTE) {
      if (transparent < (1 << bit_depth)) {
        for (int i = 0; i < transparent; ++i) s->trans[i] = 255;
        s->trans[transparent] = 0;
        png_set_tRNS(s->png, s->info, s->trans, transparent + 1, nullptr);
      }
    } else {
      // The transparent grey level: the index on the written scale (levels as the save
      // pipeline maps them: bilevel 0/1, grey i * 255 / (colors - 1)).
      png_color_16 grey{};
      const int levels = c->type == kPixBilevel ? 2 : (c->colors > 1 ? c->colors : 256);
      if (transparent < levels) {
        grey.gray = static_cast<png_uint_16>(
            c->type == kPixBilevel ? transparent : transparent * 255 / (levels - 1));
        png_set_tRNS(s->png, s->info, nullptr, 1, &grey);
      }
    }
  }

  WriterHeader& h = s->header;
  c->save_header_init(&h);
  std::strcpy(h.description, "PiNG");
  h.planes = 1;
  h.bits_per_plane = static_cast<uint16_t>(bits);
  h.bytes_per_row = static_cast<uint32_t>((static_cast<uint64_t>(c->width) * bits + 7) / 8);
  if (interlaced) h.rows_per_call = static_cast<uint16_t>(c->height);
  if (color_type == PNG_COLOR_TYPE_PALETTE) {
    h.palette_form = kPalFormWanted;   // red, green, blue byte triplets
    h.palette_bits = 8;
  }
  if (interlaced && c->height > 0xFFFF) return kStatusCannotStore;
  int status = c->begin_save(c, &h);
  if (status != kStatusOk) return status;
  s->saving = true;

  const size_t png_row = png_get_rowbytes(s->png, s->info);
  if (!h.row_buffer || h.bytes_per_row < png_row) {
    finish_save(s);
    return kStatusNoMemory;
  }
  if (color_type == PNG_COLOR_TYPE_PALETTE) {
    // The whole table of the bit depth (16 or 256 entries), so that every index is valid.
    const int count = 1 << bit_depth;
    if (!h.palette || h.palette_size < static_cast<uint32_t>(3 * count)) {
      finish_save(s);
      return kStatusNoMemory;
    }
    for (int i = 0; i < count; ++i)
      s->palette[i] = {h.palette[3 * i], h.palette[3 * i + 1], h.palette[3 * i + 2]};
    png_set_PLTE(s->png, s->info, s->palette, count);
  }
  png_write_info(s->png, s->info);

  if (interlaced) {
    s->row_pointers = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * c->height));
    if (!s->row_pointers) {
      finish_save(s);
      return kStatusNoMemory;
    }
    status = c->get_rows(c, 0, c->height);
    if (status != kStatusOk) {
      finish_save(s);
      return status;
    }
    for (int32_t y = 0; y < c->height; ++y)
      s->row_pointers[y] = h.row_buffer + static_cast<size_t>(y) * h.bytes_per_row;
    png_write_image(s->png, s->row_pointers);
  } else {
    for (int32_t y = 0; y < c->height; ++y) {
      status = c->get_rows(c, y, 1);
      if (status != kStatusOk) {
        finish_save(s);
        return status;
      }
      png_bytep row = h.row_buffer;
      png_write_rows(s->png, &row, 1);
    }
  }
  finish_save(s);
  png_write_end(s->png, s->info);
  return stream_flush(s->stream);
}

}  // namespace

void png_capabilities(WriterCapability* list) {
  list[0] = {kMaskColor4, -1, 0, 0, ""};
  list[1] = {kMaskColor3, -1, 0, 0, ""};
  list[2] = {kPixGrey, -1, 0, 0, ""};
  list[3] = {kPixIndexed, -1, 0, 0, ""};
  list[4] = {kPixBilevel, -1, 0, 0, ""};
}

int png_write(ByteStream* stream, SaveContext* context) {
  WriteState* s = static_cast<WriteState*>(std::calloc(1, sizeof(WriteState)));
  if (!s) return kStatusNoMemory;
  s->stream = stream;
  s->context = context;
  int status = kStatusNoMemory;
  s->png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, s, on_error, on_warning, nullptr,
                                     heap_alloc, heap_free);
  if (s->png) {
    png_set_mem_fn(s->png, nullptr, heap_alloc, heap_free);
    s->info = png_create_info_struct(s->png);
    if (s->info) status = write_png(s);
  }
  if (s->png) png_destroy_write_struct(&s->png, s->info ? &s->info : nullptr);
  std::free(s->row_pointers);
  std::free(s);
  return status;
}

}  // namespace lumora
