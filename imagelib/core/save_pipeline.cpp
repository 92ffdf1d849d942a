// save_image: checks the format and the picture, fixes up the file name, opens the output and
// runs the writer with a SaveContext.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "imagelib/core/save_file.h"
#include "imagelib/core/save_rows.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

// Room the path gets for a new extension (flag 0x40).
constexpr size_t kExtensionRoom = 64;

ByteStream* open_extra_stream(const char* path, int mode) { return stream_open_path(path, mode); }

// Component order of a colour type: 16 and 32 -> 0, 64 and 128 -> 1, 256 -> 2, 512 -> 3, CMYK 4.
uint16_t order_of(uint16_t type) {
  switch (type) {
    case kPixBGR:
    case kPixABGR: return 1;
    case kPixBGRA: return 2;
    case kPixARGB: return 3;
    case kPixCMYK: return 4;
    default: return 0;
  }
}

bool known_type(uint16_t t) {
  switch (t) {
    case kPixBilevel: case kPixGrey: case kPixIndexed: case kPixRGB: case kPixRGBA: case kPixBGR:
    case kPixABGR: case kPixBGRA: case kPixARGB: case kPixCMYK: return true;
    default: return false;
  }
}

// The Bitmap must describe rows that its buffer (or the source callback) can deliver.
bool usable_bitmap(const Bitmap* b, const SaveParams* p) {
  if (!b || b->width < 1 || b->height < 1 || !known_type(b->type)) return false;
  if (!b->pixels && !p->source_callback) return false;
  int bpp = b->bytes_per_pixel ? b->bytes_per_pixel : bitmap_bytes_per_pixel_for_type(b->type);
  uint32_t row = bitmap_row_bytes(b->type, b->width, bpp);
  if (row == 0 || b->bytes_per_line < row) return false;
  if (b->type == kPixIndexed && !b->palette) return false;
  return true;
}

// The Bitmap's facts as the writer sees them.
void take_facts(SaveContext* ctx, const Bitmap* b) {
  ctx->bitmap = b;
  ctx->width = b->width;
  ctx->height = b->height;
  ctx->bitmap_type = b->type;
  ctx->component_order = order_of(b->type);
  if (b->type == kPixBilevel) {
    ctx->type = kPixBilevel;
    ctx->bits = 1;
  } else if (b->type == kPixGrey || b->type == kPixIndexed) {
    ctx->type = b->type;
    ctx->bits = 8;
  } else {
    ctx->type = kMaskColor;
    ctx->bits = (b->type & kMaskColor3) || b->type == kPixCMYK ? 24 : 32;
  }
  ctx->colors = b->colors;
  if (b->type == kPixBilevel) ctx->colors = 2;
  if ((b->type == kPixGrey || b->type == kPixIndexed) && (b->colors < 2 || b->colors > 256))
    ctx->colors = 256;
  ctx->transparent_index = b->transparent_index;
  ctx->xdpi = b->xdpi;
  ctx->ydpi = b->ydpi;
  ctx->source_palette = b->palette;
  ctx->chunks = b->chunks;
  ctx->comment = b->comment;
  ctx->text_lines = ctx->params.text_lines;
  ctx->text_count = ctx->params.text_lines ? ctx->params.text_count : 0;
}

void fill_services(SaveContext* ctx) {
  ctx->begin_save = &begin_save;
  ctx->get_rows = &get_rows;
  ctx->end_save = &end_save;
  ctx->bits_for_colors = &bits_for_colors;
  ctx->library_data_dir = &library_data_dir;
  ctx->save_header_init = &save_header_init;
  ctx->stream_open = &open_extra_stream;
  ctx->stream_close = &stream_close;
  ctx->save_option = &save_option;
}

struct ContextHolder {
  SaveContext* ctx;
  ~ContextHolder() {
    if (!ctx) return;
    save_rows_release(ctx);
    std::free(ctx->scratch);
    std::free(ctx);
  }
};

int run_writer(WriterFn writer, ByteStream* stream, SaveContext* ctx) {
  int st = writer(stream, ctx);
  save_rows_release(ctx);  // a writer that failed before end_save
  if (!st && stream_flush(stream)) st = kStatusWriteError;
  return st;
}

}  // namespace

void save_params_init(SaveParams* p) {
  std::memset(p, 0, sizeof *p);
  p->format_index = -1;
  p->quality = 100;
  p->compression_level = 6;
  p->jpeg_dct_method = -1;
  p->jpeg_subsampling = -1;
  p->write_exif = 1;
  p->write_iptc = 1;
}

void save_header_init(WriterHeader* h) {
  std::memset(h, 0, sizeof *h);
  h->rows_per_call = 1;
  h->planes = 1;
  h->bits_per_plane = 1;
  h->bits_per_sample = 1;
  h->samples = 0;
}

int save_option(SaveContext* ctx, int which) {
  if (!ctx) return 0;
  switch (which) {
    case 0: return ctx->params.quality;
    case 1: return ctx->params.option1;
    case 2: return ctx->params.option2;
    default: return 0;
  }
}

int save_replace_extension(char* path, size_t capacity, const char* extension) {
  if (!path || !extension) return 1;
  size_t len = std::strlen(path);
  const char* slash = std::strrchr(path, '/');
  const char* name = slash ? slash + 1 : path;
  const char* dot = std::strrchr(name, '.');
  // A dot that begins the name (".profile") or is followed by a digit ("scan.001") is no
  // extension: the new one is appended.
  if (dot && dot != name && !(dot[1] >= '0' && dot[1] <= '9')) len = static_cast<size_t>(dot - path);
  size_t ext_len = std::strlen(extension);
  if (len + 1 + ext_len + 1 > capacity) return 1;
  path[len] = '.';
  std::memcpy(path + len + 1, extension, ext_len + 1);
  return 0;
}

int save_image(char* path, size_t path_capacity, std::FILE* stream, const Bitmap* bitmap,
               const SaveParams* params) {
  if (!params) return kStatusNoWriter;
  if (!path && !stream) return kStatusCannotCreate;

  // 1. The context, with a copy of the path that has room for a new extension.
  ContextHolder holder{static_cast<SaveContext*>(std::calloc(1, sizeof(SaveContext)))};
  SaveContext* ctx = holder.ctx;
  if (!ctx) return kStatusNoMemory;
  fill_services(ctx);
  ctx->params = *params;

  // 2. A registered format with a writer.
  const FormatEntry* row = format_entry(params->format_index);
  if (!row || !row->writer) return kStatusNoWriter;
  // 3. The writer must accept the picture.
  if (!bitmap || !usable_bitmap(bitmap, params)) return kStatusCannotStore;
  const char* option = nullptr;
  if (!format_can_store(params->format_index, bitmap, &option)) return kStatusCannotStore;
  take_facts(ctx, bitmap);
  ctx->format_param = row->format_param;

  // 4. Scratch area.
  if (params->scratch_size) {
    ctx->scratch = static_cast<uint8_t*>(std::calloc(params->scratch_size, 1));
    if (!ctx->scratch) return kStatusNoMemory;
  }

  if (!path) {
    // An open stream is written directly; it stays open.
    std::unique_ptr<ByteStream, void (*)(ByteStream*)> s(stream_attach(stream, nullptr), &stream_close);
    if (!s) return kStatusNoMemory;
    return run_writer(row->writer, s.get(), ctx);
  }

  // 5. The final path: the format's extension with flag 0x40, copied back with 0x80.
  std::string final_path;
  try {
    size_t len = strnlen(path, path_capacity);
    std::string buffer(path, len);
    buffer.resize(len + kExtensionRoom + 1, '\0');
    if (params->flags & kSaveSetExtension) {
      const char* ext = (option && *option) ? option : row->extensions[0];
      if (ext && *ext && save_replace_extension(buffer.data(), buffer.size(), ext))
        return kStatusCannotCreate;
    }
    final_path = buffer.c_str();
  } catch (...) {
    return kStatusNoMemory;
  }
  if ((params->flags & kSaveReturnPath) && path_capacity > 0) {
    size_t n = final_path.size() < path_capacity - 1 ? final_path.size() : path_capacity - 1;
    std::memcpy(path, final_path.data(), n);
    path[n] = '\0';
  }
  ctx->path = final_path.c_str();

  // 6. Write into a temporary file next to the destination; replace it only on success.
  ReplacingFile out;
  if (int st = out.open(final_path.c_str())) return st;
  std::unique_ptr<ByteStream, void (*)(ByteStream*)> s(stream_attach(out.file(), final_path.c_str()),
                                                       &stream_close);
  if (!s) return kStatusNoMemory;
  int st = run_writer(row->writer, s.get(), ctx);
  s.reset();
  if (st) return st;  // `out` removes the temporary file
  return out.commit();
}

int save_image(const char* path, const Bitmap* bitmap, const SaveParams* params) {
  if (!path) return kStatusCannotCreate;
  std::string copy;
  try {
    copy = path;
  } catch (...) {
    return kStatusNoMemory;
  }
  SaveParams p = *params;
  p.flags &= ~kSaveReturnPath;
  return save_image(copy.data(), copy.size() + 1, nullptr, bitmap, &p);
}

}  // namespace lumora
