// The load entries: load_image and load_info. Both open the file, find the reader (by the
// caller's index, then by extension, then by content) and hand the kept metadata to the caller.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "imagelib/core/exif_rebuild.h"
#include "imagelib/core/load_internal.h"
#include "imagelib/core/status.h"

namespace lumora {

namespace {

constexpr uint32_t kBorrowedSize = 999999999;

void fill_services(LoadServices* s) {
  s->begin_image = begin_image;
  s->put_rows = put_rows;
  s->end_image = end_image;
  s->header_init = header_init;
  s->library_data_dir = library_data_dir;
  s->temp_file_name = temp_file_name;
  s->reserved = nullptr;
  s->stream_attach = stream_attach;
  s->stream_open = stream_open;
  s->stream_close = stream_close;
  s->current_image_index = current_image_index;
  s->put_tile_rows = put_tile_rows;
}

void free_text_lines(LoadContext* ctx) {
  for (uint32_t i = 0; i < ctx->text_count; ++i) std::free(ctx->text_lines[i]);
  ctx->text_count = 0;
}

// Everything a reader left behind, for a fresh attempt or the end of the load.
void discard_reader_state(LoadContext* ctx) {
  load_rows_release(ctx);
  std::free(ctx->comment);
  ctx->comment = nullptr;
  free_text_lines(ctx);
  chunk_list_free(&ctx->chunks);
  exif_list_destroy(ctx->exif);
  ctx->exif = nullptr;
  if (ctx->bitmap) {
    bitmap_free(ctx->bitmap);
    std::memset(ctx->bitmap, 0, sizeof *ctx->bitmap);
  }
}

struct ContextDeleter {
  void operator()(LoadContext* ctx) const {
    discard_reader_state(ctx);
    std::free(ctx);
  }
};
using ContextHolder = std::unique_ptr<LoadContext, ContextDeleter>;

struct StreamCloser {
  void operator()(ByteStream* s) const { stream_close(s); }
};
using StreamHolder = std::unique_ptr<ByteStream, StreamCloser>;

ContextHolder make_context(const LoadParams& params, const char* path, Bitmap* bitmap,
                           FileInfo* info) {
  auto* ctx = static_cast<LoadContext*>(std::calloc(1, sizeof(LoadContext)));
  if (!ctx) return ContextHolder();
  fill_services(&ctx->services);
  ctx->params = params;
  if (ctx->params.flags & kLoadQuick) ctx->params.flags |= kLoadSingleImage;
  ctx->path = path;
  ctx->bitmap = bitmap;
  ctx->info = info;
  ctx->image_count = 1;
  return ContextHolder(ctx);
}

// Runs one reader on the file from its start.
int run_reader(ByteStream* stream, LoadContext* ctx, const FormatEntry& row, int index) {
  discard_reader_state(ctx);
  ctx->format_param = row.format_param;
  ctx->image_count = 1;
  ctx->reader_values[0] = ctx->reader_values[1] = ctx->reader_values[2] = 0;
  ctx->reader_flag = 0;
  ctx->header_seen = false;
  ctx->cancelled = false;
  ctx->end_status = 0;
  ctx->message[0] = '\0';
  if (ctx->info) {
    FileInfo* info = ctx->info;
    std::memset(info, 0, sizeof *info);
    info->format_index = static_cast<int16_t>(index);
  }
  if (stream_seek(stream, 0) != kStatusOk) return kStatusFileEndsEarly;
  int status = row.reader(stream, ctx);
  // A reader that finished its rows but not its picture is finished here, so the picture it
  // delivered has its final type.
  if (ctx->rows) end_image(ctx, 0, 0, nullptr);
  if (status == kStatusOk && ctx->end_status) status = ctx->end_status;
  // A cancelled load ends cancelled, also when the reader went on to report success.
  if (ctx->cancelled && status != kStatusNoMemory) status = kStatusCancelled;
  // A file that ends before the reader could describe it is not this reader's format.
  if (status == kStatusFileEndsEarly && !ctx->header_seen) status = kStatusNotRecognised;
  return status;
}

void record_decision(LoadContext* ctx, int index, int status, bool by_index) {
  if (!ctx->info) return;
  ctx->info->format_index = static_cast<int16_t>(index);
  if (!by_index || status != kStatusOk) {
    std::memcpy(ctx->info->message, ctx->message, sizeof ctx->info->message);
    ctx->info->message[sizeof ctx->info->message - 1] = '\0';
  }
}

bool readable(const FormatEntry& row) { return (row.flags & kFormatCanRead) && row.reader; }

// The reader search: the caller's index, else every row whose extensions name the file's, else
// (unless the extension must be known) every row that recognises by content.
int find_and_run(ByteStream* stream, LoadContext* ctx, const char* path) {
  const FormatRegistry& registry = format_registry();
  const int index = ctx->params.format_index;
  if (index >= 0) {
    if (index >= registry.count || !readable(registry.rows[index])) return kStatusNotRecognised;
    const int status = run_reader(stream, ctx, registry.rows[index], index);
    record_decision(ctx, index, status, true);
    return status;
  }
  char ext[129];
  if (path && path_extension(path, ext)) {
    for (int i = 0; i < registry.count; ++i) {
      const FormatEntry& row = registry.rows[i];
      if (!readable(row)) continue;
      for (int e = 0; e < kMaxExtensions && row.extensions[e] && row.extensions[e][0]; ++e) {
        if (std::strcmp(row.extensions[e], ext) != 0) continue;
        const int status = run_reader(stream, ctx, row, i);
        if (status != kStatusNotRecognised) {
          record_decision(ctx, i, status, false);
          return status;
        }
        break;  // this row declined; the next row may know the extension too
      }
    }
  }
  if (ctx->params.flags & kLoadKnownExtension) return kStatusNotRecognised;
  for (int i = 0; i < registry.count; ++i) {
    const FormatEntry& row = registry.rows[i];
    if (!readable(row) || !(row.flags & kFormatByContent)) continue;
    const int status = run_reader(stream, ctx, row, i);
    if (status != kStatusNotRecognised) {
      record_decision(ctx, i, status, false);
      return status;
    }
  }
  discard_reader_state(ctx);
  if (ctx->info) {
    std::memset(ctx->info, 0, sizeof *ctx->info);
    ctx->info->format_index = -1;
  }
  return kStatusNotRecognised;
}

// With flag 0x1000 only files whose extension the registry knows are attempted (and, with a
// given index, only that row's extensions).
bool extension_allowed(const char* path, uint32_t flags, int index) {
  if (!(flags & kLoadKnownExtension)) return true;
  if (!path || !format_extension_known(path)) return false;
  return index < 0 || format_has_extension(path, index);
}

void move_text_lines(LoadContext* ctx, FileInfo* info) {
  for (uint32_t i = 0; i < ctx->text_count; ++i) info->text_lines[i] = ctx->text_lines[i];
  info->text_count = ctx->text_count;
  ctx->text_count = 0;
}

void fill_counts(LoadContext* ctx, FileInfo* info, uint64_t file_size) {
  info->file_size = file_size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(file_size);
  info->image_count = ctx->image_count;
  for (int i = 0; i < 3; ++i) info->reader_values[i] = ctx->reader_values[i];
  info->reader_flag = ctx->reader_flag;
}

// The parsed Exif tags a reader collected become one Exif chunk in front of `chunks`.
void rebuild_exif(LoadContext* ctx, MetadataChunk** chunks) {
  if (!ctx->exif) return;
  uint8_t* data = nullptr;
  uint32_t size = 0;
  if (exif_rebuild(ctx->exif, &data, &size) == kStatusOk && data)
    chunk_prepend_owned(chunks, kChunkExif, data, size);
  exif_list_destroy(ctx->exif);
  ctx->exif = nullptr;
}

bool has_pixels(const Bitmap* b) { return b && b->pixels; }

}  // namespace

int load_image(const char* path, Bitmap* bitmap, const LoadParams* params, FileInfo* info) {
  if (info) {
    std::memset(info, 0, sizeof *info);
    info->format_index = -1;
  }
  if (!bitmap || !params) return kStatusNotRecognised;
  std::memset(bitmap, 0, sizeof *bitmap);
  if (!path) return kStatusCannotOpen;
  if (!extension_allowed(path, params->flags, params->format_index)) return kStatusNotRecognised;

  ContextHolder ctx = make_context(*params, path, bitmap, info);
  if (!ctx) return kStatusNoMemory;

  StreamHolder stream(stream_attach(nullptr, path));
  if (!stream) return kStatusNoMemory;
  if (!stream_open(stream.get(), kStreamReadBinary)) {
    const int why = stream_open_error(stream.get());
    return why ? why : kStatusCannotOpen;
  }
  const uint64_t file_size = stream->size;
  int status = find_and_run(stream.get(), ctx.get(), path);
  stream.reset();
  if (status < 0) status = kStatusNotRecognised;  // only begin_image's info-only answer is -1

  // A reader that says success but never delivered a picture has not read the file.
  if (status == kStatusOk && !has_pixels(bitmap)) status = kStatusNotRecognised;

  const bool described = status == kStatusOk || status == kStatusFileEndsEarly || status == kStatusCorrupt;
  if (info && described) {
    fill_counts(ctx.get(), info, file_size);
    move_text_lines(ctx.get(), info);
  }
  if (info) rebuild_exif(ctx.get(), &ctx->chunks);
  bitmap->comment = ctx->comment;
  ctx->comment = nullptr;
  bitmap->chunks = ctx->chunks;
  ctx->chunks = nullptr;

  if ((status == kStatusFileEndsEarly || status == kStatusCorrupt) &&
      (params->flags & kLoadAcceptIncomplete) && has_pixels(bitmap)) {
    // The picture delivered so far is kept (rows never delivered stay zero). Without any pixels
    // there is nothing to keep, and the failure stands.
    if (params->flags & kLoadVerbose)
      std::fputs(status == kStatusFileEndsEarly ? " *** WARNING: File Not complete ... ***\n"
                                                : " *** WARNING: Corrupt File ... ***\n",
                 stderr);
    if (info) info->accepted_status = status;
    status = kStatusOk;
  }
  if (status != kStatusOk) {
    bitmap_free(bitmap);
    std::memset(bitmap, 0, sizeof *bitmap);
  }
  ctx->bitmap = nullptr;  // the record is the caller's now
  return status;
}

int load_info(const char* path, FILE* file, int format_index, uint32_t flags, FileInfo* info) {
  if (info) {
    std::memset(info, 0, sizeof *info);
    info->format_index = -1;
  }
  if (!path && !file) return kStatusCannotOpen;
  flags |= kLoadQuick;
  if (!extension_allowed(path, flags, format_index)) return kStatusNotRecognised;
  LoadParams params;
  load_params_init(&params);
  params.flags = flags;
  params.format_index = static_cast<int16_t>(format_index);

  ContextHolder ctx = make_context(params, path, nullptr, info);
  if (!ctx) return kStatusNoMemory;
  ctx->info_only = true;

  StreamHolder stream(stream_attach(path ? nullptr : file, path));
  if (!stream) return kStatusNoMemory;
  if (!stream_open(stream.get(), kStreamReadBinary)) {
    const int why = stream_open_error(stream.get());
    return why ? why : kStatusCannotOpen;
  }
  const uint64_t file_size = stream->borrowed ? kBorrowedSize : stream->size;
  int status = find_and_run(stream.get(), ctx.get(), path);
  stream.reset();
  if (status == -1) status = kStatusOk;
  else if (status < 0) status = kStatusNotRecognised;
  // A reader that returns success without describing the picture has not recognised it.
  if (status == kStatusOk && !ctx->header_seen) status = kStatusNotRecognised;

  const bool described = status == kStatusOk || status == kStatusFileEndsEarly || status == kStatusCorrupt;
  if (info && described) {
    fill_counts(ctx.get(), info, file_size);
    move_text_lines(ctx.get(), info);
    info->comment = ctx->comment;
    ctx->comment = nullptr;
    // The rebuilt Exif block is stored only when no other block was kept.
    if (ctx->chunks) {
      info->chunks = ctx->chunks;
      ctx->chunks = nullptr;
    } else {
      rebuild_exif(ctx.get(), &info->chunks);
    }
  }
  return status;
}

int load_info(const char* path, int format_index, uint32_t flags, FileInfo* info) {
  return load_info(path, nullptr, format_index, flags, info);
}

}  // namespace lumora
