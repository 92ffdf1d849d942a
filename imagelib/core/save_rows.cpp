// begin_save, get_rows and end_save: the row road from a Bitmap to a writer. Each fetched row is
// taken from the Bitmap (or the source callback) in the writer's row order, brought to the
// working form, mirrored when the writer and the Bitmap disagree, mapped to the writer's levels,
// and converted into the writer's layout.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "imagelib/core/palette.h"
#include "imagelib/core/save_rows.h"
#include "imagelib/core/status.h"

namespace lumora {

namespace {

constexpr int kProgressWidth = 60;

bool is_colour(uint16_t type) { return (type & kMaskColor) != 0; }

void reverse_pixels(uint8_t* row, int32_t width, int bytes_per_pixel) {
  if (bytes_per_pixel == 0) {
    // Packed bits, most significant first.
    for (int32_t a = 0, b = width - 1; a < b; ++a, --b) {
      int va = bit_get(row, a), vb = bit_get(row, b);
      bit_put(row, a, vb);
      bit_put(row, b, va);
    }
    return;
  }
  for (int32_t a = 0, b = width - 1; a < b; ++a, --b)
    std::swap_ranges(row + static_cast<size_t>(a) * bytes_per_pixel,
                     row + static_cast<size_t>(a + 1) * bytes_per_pixel,
                     row + static_cast<size_t>(b) * bytes_per_pixel);
}

// The high byte of each deep sample (stored in the processor's byte order).
void narrow_row(const uint8_t* src, uint8_t* dst, size_t samples, int sample_bytes) {
  for (size_t i = 0; i < samples; ++i, src += sample_bytes) {
    if (sample_bytes == 2) {
      uint16_t v;
      std::memcpy(&v, src, 2);
      dst[i] = static_cast<uint8_t>(v >> 8);
    } else {
      uint32_t v;
      std::memcpy(&v, src, 4);
      dst[i] = static_cast<uint8_t>(v >> 24);
    }
  }
}

uint64_t colour_count(int bits) { return bits >= 24 ? (1ull << 24) : (1ull << bits); }

}  // namespace

uint32_t save_working_type(uint16_t bitmap_type, int bits_per_sample_of_bitmap, int /*writer_bits*/,
                           int writer_alignment) {
  // Deep samples: 16-bit working samples, or 32-bit ones for aligned rows of wider samples.
  if (bits_per_sample_of_bitmap > 8)
    return (writer_alignment && bits_per_sample_of_bitmap > 16) ? kRequestDeep8192 : kRequestDeep2048;
  if (bitmap_type & kMaskColor3) return kMaskColor3;
  if (bitmap_type & kMaskColor4) return kMaskColor4;
  if (bitmap_type == kPixBilevel) return kPixBilevel;
  return kPixGrey;
}

void save_level_table(uint8_t table[256], int levels, int bits, bool invert) {
  if (bits < 1) bits = 1;
  if (bits > 8) bits = 8;
  if (levels < 2) levels = 2;
  if (levels > 256) levels = 256;
  const int top = (1 << bits) - 1;
  for (int i = 0; i < 256; ++i) {
    int level = i < levels ? i * top / (levels - 1) : top;
    table[i] = static_cast<uint8_t>(invert ? top - level : level);
  }
}

void save_rows_release(SaveContext* ctx) {
  if (!ctx->rows) return;
  if (ctx->rows->header) {
    ctx->rows->header->row_buffer = nullptr;
    ctx->rows->header->palette = nullptr;
    ctx->rows->header->palette_size = 0;
  }
  delete ctx->rows;
  ctx->rows = nullptr;
}

int begin_save(SaveContext* ctx, WriterHeader* h) {
  if (!ctx || !h) return kStatusCannotStore;
  save_rows_release(ctx);
  const Bitmap* bm = ctx->bitmap;
  SaveRowFormat f{};
  f.bitmap_type = ctx->bitmap_type;
  f.bitmap_bytes_per_pixel = bm->bytes_per_pixel;
  f.bitmap_bits_per_sample = bm->bits_per_sample ? bm->bits_per_sample : 8;
  f.writer_layout = h->layout;
  f.planes = h->planes;
  f.bits_per_plane = h->bits_per_plane;
  f.samples = h->samples;
  f.bits_per_sample = h->bits_per_sample;
  f.width = ctx->width;
  f.palette_form = h->palette_form;
  if (h->rows_per_call < 1) h->rows_per_call = 1;

  auto* rows = new (std::nothrow) SaveRows;
  if (!rows) return kStatusNoMemory;
  // A deep picture for a writer that does not take its sample size is narrowed to 8 bits.
  if (f.bitmap_bits_per_sample > 8) {
    const int samples = bitmap_samples_for_type(ctx->bitmap_type);
    const int sample_bytes = samples ? bm->bytes_per_pixel / samples : 0;
    if (convert_writer_bits(f) != bm->bytes_per_pixel * 8 && (sample_bytes == 2 || sample_bytes == 4)) {
      rows->narrow = true;
      rows->narrow_samples = samples;
      rows->narrow_sample_bytes = sample_bytes;
      f.bitmap_bytes_per_pixel = samples;
      f.bitmap_bits_per_sample = 8;
    }
  }
  if (int st = convert_select_save(f, &rows->converters)) {
    delete rows;
    return st;
  }
  rows->header = h;
  rows->writer_bits = rows->converters.writer_bits;
  rows->working_type = save_working_type(ctx->bitmap_type, f.bitmap_bits_per_sample,
                                         rows->writer_bits, h->alignment);
  const bool deep = f.bitmap_bits_per_sample > 8;

  // Converted rows in the writer's layout, each padded to the writer's alignment.
  size_t out_bytes = convert_save_output_bytes(f, rows->converters);
  size_t stride = out_bytes;
  if (h->alignment > 1) stride = (stride + h->alignment - 1) / h->alignment * h->alignment;
  size_t spec_bytes = static_cast<size_t>(rows->writer_bits <= 8 ? 1 : 4) * ctx->width;
  if (deep) spec_bytes *= 4;
  size_t working = convert_save_working_bytes(rows->converters, ctx->width);
  try {
    rows->row_buffer.assign(std::max(stride, spec_bytes) * h->rows_per_call + 1024, 0);
    rows->working.assign(((working + 3) & ~size_t{3}) + 16, 0);
    if (!bm->pixels) rows->source.assign(static_cast<size_t>(bm->bytes_per_line) + 16, 0);
    if (rows->narrow) rows->narrowed.assign(static_cast<size_t>(ctx->width) * rows->narrow_samples + 16, 0);
  } catch (...) {
    delete rows;
    return kStatusNoMemory;
  }
  h->bytes_per_row = static_cast<uint32_t>(stride);
  h->row_buffer = rows->row_buffer.data();

  // A palette in the writer's form for grey, indexed and bilevel pictures.
  h->palette = nullptr;
  h->palette_size = 0;
  if (h->palette_form && !is_colour(ctx->bitmap_type) && !deep && rows->writer_bits <= 8) {
    size_t size = palette_form_size(h->palette_form, h->palette_bits ? h->palette_bits : 8,
                                    rows->writer_bits);
    try {
      rows->palette.assign(size ? size : 1, 0);
    } catch (...) {
      delete rows;
      h->row_buffer = nullptr;
      return kStatusNoMemory;
    }
    palette_write_form(rows->palette.data(), h->palette_form, h->palette_bits ? h->palette_bits : 8,
                       rows->writer_bits, ctx->bitmap_type, ctx->colors, ctx->source_palette);
    h->palette = rows->palette.data();
    h->palette_size = static_cast<uint32_t>(size);
  }

  // Grey and index values mapped to the writer's levels when it takes plain values.
  if (!is_colour(ctx->bitmap_type) && !deep && h->palette_form == 0 &&
      !(h->layout & kLayoutOnePerByte) && rows->converters.level_table_applies) {
    int levels = ctx->bitmap_type == kPixBilevel ? 2 : (ctx->colors >= 2 ? ctx->colors : 256);
    save_level_table(rows->levels, levels, std::min(rows->writer_bits, 8),
                     (h->layout & kWriterInvertLevels) != 0);
    rows->use_levels = true;
  }

  rows->flip_rows = ((h->row_order & kWriterBottomUp) != 0) != ((bm->orientation & kOrientBottomUp) != 0);
  rows->mirror = ((h->row_order & kWriterMirrored) != 0) != ((bm->orientation & kOrientMirrored) != 0);
  rows->call_row_callback = !(h->layout & kWriterIgnoreRowCallback);
  rows->progress_bar = (ctx->params.flags & kSaveProgressBar) != 0;
  ctx->rows = rows;
  ctx->cancelled = 0;

  if (ctx->params.flags & kSaveVerbose) {
    std::fprintf(stderr, "A %s was writen : %s\n", h->description, ctx->path ? ctx->path : "");
    std::fprintf(stderr, "    Width:%d Height:%d with %ld colors\n", ctx->width, ctx->height,
                 static_cast<long>(colour_count(rows->writer_bits)));
  }
  if (rows->progress_bar) {
    for (int i = 0; i < kProgressWidth; ++i) std::fputc('-', stderr);
    std::fputc('\r', stderr);
  }
  return kStatusOk;
}

int get_rows(SaveContext* ctx, int32_t row, int32_t count) {
  SaveRows* rows = ctx ? ctx->rows : nullptr;
  if (!rows) return kStatusCannotStore;
  const Bitmap* bm = ctx->bitmap;
  WriterHeader* h = rows->header;
  const SaveConverters& c = rows->converters;
  const int32_t height = ctx->height;
  if (count < 1) return kStatusOk;
  if (count > h->rows_per_call) count = h->rows_per_call;
  for (int32_t i = 0; i < count; ++i) {
    int32_t r = row < 0 ? rows->next_row : row + i;
    uint8_t* out = rows->row_buffer.data() + static_cast<size_t>(i) * h->bytes_per_row;
    if (r < 0 || r >= height) {
      // Past the picture: an empty row (writers that fill whole blocks ask for these).
      std::memset(out, 0, h->bytes_per_row);
      rows->next_row = r + 1;
      continue;
    }
    int32_t src_row = rows->flip_rows ? height - 1 - r : r;
    const uint8_t* src;
    if (bm->pixels) {
      src = bitmap_row(bm, src_row);
    } else {
      int st = ctx->params.source_callback(rows->source.data(), src_row, 1, ctx->params.source_user);
      if (st) return st;
      src = rows->source.data();
    }
    if (rows->narrow) {
      narrow_row(src, rows->narrowed.data(), static_cast<size_t>(ctx->width) * rows->narrow_samples,
                 rows->narrow_sample_bytes);
      src = rows->narrowed.data();
    }
    c.to_working(src, rows->working.data(), ctx->width, -1, &c.params);

    if (rows->progress_bar) {
      int stars = static_cast<int>(static_cast<int64_t>(r + 1) * kProgressWidth / height);
      while (rows->progress_stars < stars) {
        std::fputc('*', stderr);
        ++rows->progress_stars;
      }
    }
    if (rows->call_row_callback && ctx->params.row_callback &&
        ctx->params.row_callback(r, height, ctx->params.row_user)) {
      ctx->cancelled = 1;
      return kStatusCancelled;
    }
    if (rows->mirror) reverse_pixels(rows->working.data(), ctx->width, c.working_bytes_per_pixel);
    if (rows->use_levels) {
      uint8_t* w = rows->working.data();
      for (int32_t x = 0; x < ctx->width; ++x) w[x] = rows->levels[w[x]];
    }
    c.to_writer(rows->working.data(), out, ctx->width, -1, &c.params);
    rows->next_row = r + 1;
  }
  return kStatusOk;
}

void end_save(SaveContext* ctx) {
  if (!ctx) return;
  if (ctx->rows && ((ctx->params.flags & kSaveVerbose) || ctx->rows->progress_bar))
    std::fputc('\n', stderr);
  save_rows_release(ctx);
}

}  // namespace lumora
