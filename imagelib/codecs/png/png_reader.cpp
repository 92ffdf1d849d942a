// The PNG reader: every PNG colour type delivered with at most 8 bits per sample, optionally
// composited on white, with text chunks, the ICC profile and the physical resolution.
//
// libpng reports errors by a long jump back into read_png(). Nothing with a destructor lives in
// the frames that jump crosses: every resource is held in the ReadState and released by
// png_read() after read_png() has returned, whichever way.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imagelib/codecs/png/png.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

enum Phase {
  kPhaseHeader,    // before the rows: an error means the file is no usable PNG (2)
  kPhaseRows,      // inside the image data: what was delivered stays (4)
  kPhaseEnd,       // reading the chunks after the image data: the picture is complete (0)
};

struct ReadState {
  ByteStream* stream;
  LoadContext* context;
  png_structp png;
  png_infop info;
  png_infop end_info;
  uint8_t* block;            // interlaced: the whole picture; otherwise unused
  ImageHeader header;
  int status;                // last answer of begin_image or put_rows
  Phase phase;
  bool image_begun;          // begin_image succeeded and end_image is still owed
  bool palette_file;
  uint8_t palette[768];
};

void read_data(png_structp png, png_bytep data, size_t length) {
  auto* s = static_cast<ReadState*>(png_get_io_ptr(png));
  if (stream_read(s->stream, data, length) != kStatusOk) png_error(png, "Read error");
}

[[noreturn]] void on_error(png_structp png, png_const_charp /*message*/) {
  png_longjmp(png, 1);
}

// Warnings are not shown: the library prints only when the caller asked for verbose output.
void on_warning(png_structp, png_const_charp) {}

// libpng allocates a chunk's buffer at the length the chunk header states, before reading it, so
// a forged length could ask for gigabytes. Its own buffers (rows, zlib state, chunk data) never
// need more than this; the picture itself is allocated by the pipeline and the reader.
constexpr size_t kLibpngAllocationLimit = 64u << 20;

png_voidp limited_alloc(png_structp, png_alloc_size_t size) {
  return size <= kLibpngAllocationLimit ? std::malloc(size) : nullptr;
}

void heap_free(png_structp, png_voidp p) { std::free(p); }

void finish_image(ReadState* s) {
  if (!s->image_begun) return;
  s->image_begun = false;
  s->context->services.end_image(s->context, s->palette_file ? 0x100 : 0, 8,
                                 s->palette_file ? s->palette : nullptr);
}

// True when some entry of a palette's transparency is neither fully transparent nor opaque.
bool has_partial_alpha(png_structp png, png_infop info) {
  png_bytep alpha = nullptr;
  int count = 0;
  if (!png_get_valid(png, info, PNG_INFO_tRNS)) return false;
  png_get_tRNS(png, info, &alpha, &count, nullptr);
  for (int i = 0; alpha && i < count; ++i)
    if (alpha[i] != 0 && alpha[i] != 255) return true;
  return false;
}

// White is 255 in every component, also for 16-bit files: libpng scales this background together
// with the samples it strips to 8 bits (the tests check the composited values).
void composite_on_white(png_structp png) {
  png_color_16 white{};
  white.red = white.green = white.blue = white.gray = 255;
  png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
}

void keep_texts(ReadState* s, png_infop info) {
  png_textp texts = nullptr;
  int count = 0;
  png_get_text(s->png, info, &texts, &count);
  for (int i = 0; i < count; ++i) {
    const png_text& t = texts[i];
    if (!t.text || !t.key) continue;
    if (std::strncmp(t.text, "nCC", 3) == 0) continue;
    const int32_t length = static_cast<int32_t>(std::strlen(t.text));
    if (length < 1) continue;
    if (ascii_casecmp(t.key, "comment") == 0)
      keep_comment(s->context, t.text, length);
    else
      keep_text(s->context, t.key, t.text, length);
  }
}

// The decoding proper. Returns the status; a libpng error lands at the setjmp below.
int read_png(ReadState* s, const char* description) {
  if (setjmp(png_jmpbuf(s->png))) {
    if (s->phase == kPhaseHeader) return kStatusNotRecognised;
    finish_image(s);
    if (s->status == kStatusCancelled) return kStatusCancelled;
    return s->phase == kPhaseEnd ? kStatusOk : kStatusFileEndsEarly;
  }
  png_set_read_fn(s->png, s, read_data);
  // Limits against hostile files: sides as the load pipeline accepts them, and at most 16 MB for
  // any one ancillary chunk once decompressed (compressed profiles and texts can expand a
  // thousandfold). Profiles and texts that will not be kept are not decompressed at all.
  png_set_user_limits(s->png, 199999, 199999);
  png_set_chunk_malloc_max(s->png, 16u << 20);
  const uint32_t flags = s->context->params.flags;
  if (!(flags & kLoadKeepChunks)) {
    static const png_byte kProfile[] = {'i', 'C', 'C', 'P', 0};
    png_set_keep_unknown_chunks(s->png, PNG_HANDLE_CHUNK_NEVER, kProfile, 1);
  }
  if (!(flags & kLoadKeepComment)) {
    static const png_byte kTexts[] = {'t', 'E', 'X', 't', 0, 'z', 'T', 'X', 't', 0, 'i', 'T', 'X', 't', 0};
    png_set_keep_unknown_chunks(s->png, PNG_HANDLE_CHUNK_NEVER, kTexts, 3);
  }
  png_read_info(s->png, s->info);

  const uint32_t width = png_get_image_width(s->png, s->info);
  const uint32_t height = png_get_image_height(s->png, s->info);
  const int color_type = png_get_color_type(s->png, s->info);
  const int bit_depth = png_get_bit_depth(s->png, s->info);
  const bool interlaced = png_get_interlace_type(s->png, s->info) != PNG_INTERLACE_NONE;
  const LoadParams& params = s->context->params;

  int samples = 1;
  switch (color_type) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      png_set_strip_alpha(s->png);
      break;
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
      if (params.png_blend_palette && has_partial_alpha(s->png, s->info))
        composite_on_white(s->png);
      break;
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_RGB_ALPHA:
      if (params.png_blend_alpha) {
        samples = 3;
        composite_on_white(s->png);
      } else {
        samples = color_type == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
      }
      break;
    default:
      return kStatusNotRecognised;
  }
  const size_t raw_bytes = png_get_rowbytes(s->png, s->info);
  if (bit_depth == 16) png_set_strip_16(s->png);
  const int passes = interlaced ? png_set_interlace_handling(s->png) : 1;
  png_read_update_info(s->png, s->info);
  const size_t out_bytes = png_get_rowbytes(s->png, s->info);

  if (params.flags & kLoadKeepComment) keep_texts(s, s->info);

  ImageHeader& h = s->header;
  s->context->services.header_init(&h);
  const int depth = bit_depth > 8 ? 8 : bit_depth;
  const int bits = samples * depth;
  h.width = static_cast<int32_t>(width);
  h.height = static_cast<int32_t>(height);
  h.planes = 1;
  h.bits_per_plane = static_cast<uint16_t>(bits);
  h.bytes_per_plane = bits >= 8 ? static_cast<uint32_t>(static_cast<uint64_t>(width) * bits / 8)
                                : static_cast<uint32_t>(raw_bytes);
  h.compression = kCompZip;
  png_uint_32 ppu_x = 0, ppu_y = 0;
  int unit = 0;
  if (png_get_pHYs(s->png, s->info, &ppu_x, &ppu_y, &unit) && unit == PNG_RESOLUTION_METER) {
    // Pixels per metre to dots per inch (0.0254 m to the inch).
    h.xdpi = static_cast<int32_t>(ppu_x * 0.025399166666666667 + 0.5);
    h.ydpi = static_cast<int32_t>(ppu_y * 0.025399166666666667 + 0.5);
  }
  if (png_get_valid(s->png, s->info, PNG_INFO_tRNS)) {
    png_bytep alpha = nullptr;
    int count = 0;
    png_get_tRNS(s->png, s->info, &alpha, &count, nullptr);
    for (int i = 0; alpha && i < count; ++i) {
      if (alpha[i] == 0) {
        h.transparent_index = static_cast<int16_t>(i);
        break;
      }
    }
  }
  std::snprintf(h.description, sizeof h.description, "%s%s", description,
                interlaced ? " (Interlaced)" : "");

  if ((params.flags & kLoadKeepChunks) && bit_depth <= 8 &&
      png_get_valid(s->png, s->info, PNG_INFO_iCCP)) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(s->png, s->info, &name, &compression, &profile, &length) && profile && length)
      keep_chunk(s->context, kChunkIcc, profile, length);
  }

  s->palette_file = color_type == PNG_COLOR_TYPE_PALETTE;
  if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
    h.grey_levels = kGreyLevelsBlackZero;
  if (s->palette_file) {
    png_colorp colors = nullptr;
    int count = 0;
    std::memset(s->palette, 0, sizeof s->palette);
    if (png_get_PLTE(s->png, s->info, &colors, &count))
      for (int i = 0; i < count && i < 256; ++i) {
        s->palette[3 * i] = colors[i].red;
        s->palette[3 * i + 1] = colors[i].green;
        s->palette[3 * i + 2] = colors[i].blue;
      }
  }

  // Interlaced files: all passes but the last are merged in a block of the whole picture first,
  // so that the last pass can complete the rows top to bottom.
  if (interlaced && !s->context->info_only) {
    if (raw_bytes != 0 && height > SIZE_MAX / raw_bytes) return kStatusNoMemory;
    s->block = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(height) * raw_bytes, 1));
    if (!s->block) return kStatusNoMemory;
    s->phase = kPhaseRows;   // errors in the early passes are errors in the image data
    for (int pass = 0; pass < passes - 1; ++pass)
      for (uint32_t y = 0; y < height; ++y) {
        png_bytep row = s->block + static_cast<size_t>(y) * raw_bytes;
        png_read_rows(s->png, &row, nullptr, 1);
      }
    s->phase = kPhaseHeader;
  }

  int status = s->context->services.begin_image(s->context, &h);
  if (status != 0) return status;
  s->image_begun = true;
  s->phase = kPhaseRows;
  if (!h.row_buffer || h.row_buffer_size < out_bytes || h.bytes_per_plane > out_bytes) {
    finish_image(s);
    return kStatusNoMemory;
  }
  for (uint32_t y = 0; y < height && s->status == kStatusOk; ++y) {
    if (interlaced) {
      png_bytep row = s->block + static_cast<size_t>(y) * raw_bytes;
      png_read_rows(s->png, &row, nullptr, 1);
      std::memcpy(h.row_buffer, row, h.bytes_per_plane);
    } else {
      png_bytep row = h.row_buffer;
      png_read_rows(s->png, &row, nullptr, 1);
    }
    s->status = s->context->services.put_rows(s->context, -1, -1, 1);
  }
  finish_image(s);
  if (s->status != kStatusOk) return s->status;
  s->phase = kPhaseEnd;
  png_read_end(s->png, s->end_info);
  // Text chunks may also follow the image data (PNG 1.2 section 4.2.3).
  if (s->context->params.flags & kLoadKeepComment) keep_texts(s, s->end_info);
  return kStatusOk;
}

}  // namespace

namespace {

// Runs libpng on the stream from its position; `embedded` turns failures before the picture was
// described into status 10, the file around the PNG having been recognised already.
int run_png(ByteStream* stream, LoadContext* context, const char* description, bool embedded) {
  // A loose signature test first (PNG 1.2 section 12.12): 0x89 "PNG" then CR, LF or ^Z.
  const uint64_t start = stream_tell(stream);
  uint8_t sig[5];
  if (stream_read(stream, sig, sizeof sig) != kStatusOk) return embedded ? kStatusCorrupt : kStatusFileEndsEarly;
  if (sig[0] != 0x89 || sig[1] != 'P' || sig[2] != 'N' || sig[3] != 'G' ||
      (sig[4] != 13 && sig[4] != 10 && sig[4] != 26))
    return embedded ? kStatusCorrupt : kStatusNotRecognised;
  if (stream_seek(stream, start) != kStatusOk) return kStatusFileEndsEarly;

  ReadState* s = static_cast<ReadState*>(std::calloc(1, sizeof(ReadState)));
  if (!s) return kStatusNoMemory;
  s->stream = stream;
  s->context = context;
  int status = kStatusNoMemory;
  s->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, s, on_error, on_warning, nullptr,
                                    limited_alloc, heap_free);
  if (s->png) {
    s->info = png_create_info_struct(s->png);
    s->end_info = png_create_info_struct(s->png);
    if (s->info && s->end_info) status = read_png(s, description);
  }
  if (s->png) png_destroy_read_struct(&s->png, s->info ? &s->info : nullptr,
                                      s->end_info ? &s->end_info : nullptr);
  std::free(s->block);
  std::free(s);
  if (embedded && status == kStatusNotRecognised) status = kStatusCorrupt;
  return status;
}

}  // namespace

int png_read(ByteStream* stream, LoadContext* context) {
  return run_png(stream, context, "Portable Network Graphics", false);
}

int png_read_embedded(ByteStream* stream, LoadContext* context, const char* description) {
  return run_png(stream, context, description, true);
}

}  // namespace lumora
