// begin_image: validating a reader's description, choosing the produced pixel type and size, and
// setting up the row machinery (converters, reduction, buffers).
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "imagelib/core/load_internal.h"
#include "imagelib/core/status.h"

namespace lumora {

namespace {

constexpr int32_t kSideLimit = 200000;  // sides must be below this
// Bytes of pixels a load may hold at full size when the caller asked for a reduced picture.
constexpr uint64_t kMaxFullSizeToReduce = 256ull << 20;
// Bytes of source-width rows gathered from tiles before they are averaged (a 512-row band of a
// 30000-pixel-wide colour picture).
constexpr size_t kMaxTileBandBytes = 48u << 20;
constexpr uint32_t kLayoutSelfReduced = kLayoutReaderReduced | kLayoutReaderReducedAlt;
// Layouts the on-the-fly averaging cannot take (planar, ink, L*a*b*, reader-reduced).
constexpr uint32_t kLayoutNoAverage = kLayoutPlanar | kLayoutSpecialMask | kLayoutSelfReduced;

bool usable_resolution(int32_t x, int32_t y) { return x > 2 && y >= 3 && x <= 10000 && y <= 10000; }

int32_t rounded_side(double v) {
  double r = v + 0.5;
  if (r < 1) return 1;
  if (r > kSideLimit) return kSideLimit;
  return static_cast<int32_t>(r);
}

void copy_text(char* out, size_t capacity, const char* in, size_t in_capacity) {
  size_t n = strnlen(in, in_capacity);
  if (n >= capacity) n = capacity - 1;
  std::memcpy(out, in, n);
  out[n] = '\0';
}

void fill_info(FileInfo* info, const ImageHeader& h, int32_t xdpi, int32_t ydpi) {
  const int bits = h.planes * h.bits_per_plane;
  copy_text(info->description, sizeof info->description, h.description, sizeof h.description);
  info->row_order = h.row_order;
  if (h.samples > 0) {
    info->bits_per_sample = h.bits_per_plane;
    info->samples_per_pixel = static_cast<uint16_t>(h.samples);
  } else if (bits > 8) {
    info->bits_per_sample = 8;
    info->samples_per_pixel = static_cast<uint16_t>(bits / 8);
  } else {
    info->bits_per_sample = h.bits_per_plane;
    info->samples_per_pixel = h.planes;
  }
  info->planes = h.planes;
  info->bits_per_plane = h.bits_per_plane;
  info->xdpi = static_cast<int16_t>(xdpi);
  info->ydpi = static_cast<int16_t>(ydpi);
  info->compression = h.compression;
  info->color_model = h.color_model;
  copy_text(info->compression_text, sizeof info->compression_text, h.compression_text,
            sizeof h.compression_text);
  if (h.logical_width >= 1) {
    info->width = static_cast<uint32_t>(h.logical_width);
    info->height = static_cast<uint32_t>(h.logical_height > 0 ? h.logical_height : 0);
    info->bytes_per_plane = static_cast<uint32_t>(h.logical_bytes > 0 ? h.logical_bytes : 0);
    info->bits_per_sample = static_cast<uint16_t>(h.logical_bits);
    info->samples_per_pixel = static_cast<uint16_t>(h.logical_samples);
  } else {
    info->width = static_cast<uint32_t>(h.width);
    info->height = static_cast<uint32_t>(h.height);
    info->bytes_per_plane = h.bytes_per_plane;
  }
}

// The request code of the produced picture (before the final type is fixed by end_image).
uint32_t choose_produced(const ImageHeader& h, uint32_t layout, uint32_t flags, int bits) {
  const int samples = h.samples;
  uint32_t produced;
  if ((layout & kLayoutInkMask) && bits == 32) {
    produced = kMaskColor4;
  } else if (samples < 2) {
    if (bits <= 8) {
      if ((flags & kLoadForceColor) && (flags & kLoadPrefer4Byte)) produced = kMaskColor4;
      else if (flags & kLoadForceColor) produced = kMaskColor3;
      else if (bits == 1 && !(flags & kLoadBilevelAsBytes)) produced = kPixBilevel;
      else produced = kPixGrey;
    } else if (bits <= 24) {
      if (samples == 1 && bits >= 10) produced = kPixGrey;
      else produced = (flags & kLoadPrefer4Byte) ? kMaskColor4 : kMaskColor3;
    } else {
      if (samples == 1) produced = kPixGrey;
      else produced = (flags & kLoadPrefer3Byte) ? kMaskColor3 : kMaskColor4;
    }
  } else {
    produced = (samples == 4 || (flags & kLoadPrefer4Byte)) ? kMaskColor4 : kMaskColor3;
  }
  // Deep samples: only for stated samples wider than 8 bits (the bit count covers all samples of
  // a pixel), in the 1-, 3- and 4-sample forms that have a deep pixel type.
  const int sample_bits = samples > 0 ? bits / samples : bits;
  if ((flags & kLoadKeepDeep) && sample_bits > 8 && bits % std::max(samples, 1) == 0 &&
      (samples == 1 || samples == 3 || samples == 4) && produced != kPixBilevel) {
    const bool wide = sample_bits > 16;
    if (produced == kMaskColor4) produced = wide ? kRequestDeep16384 : kRequestDeep4096;
    else produced = wide ? kRequestDeep8192 : kRequestDeep2048;
  }
  return produced;
}

// The produced size for on-the-fly reduction: the caller's box, keeping the aspect ratio of the
// logical size (its sides swapped when its orientation differs from the real size's).
void fit_box(const ImageHeader& h, int32_t max_w, int32_t max_h, int32_t* ow, int32_t* oh) {
  double aw = h.width, ah = h.height;
  if (h.logical_width >= 1 && h.logical_height >= 1) {
    aw = h.logical_width;
    ah = h.logical_height;
    const bool logical_landscape = h.logical_width > h.logical_height;
    const bool logical_portrait = h.logical_width < h.logical_height;
    if ((logical_landscape && h.width < h.height) || (logical_portrait && h.width > h.height))
      std::swap(aw, ah);
  }
  int32_t height = rounded_side(max_w * ah / aw);
  int32_t width;
  if (height > max_h) {
    width = rounded_side(max_h * aw / ah);
    height = max_h;
  } else {
    width = max_w;
  }
  *ow = std::max<int32_t>(1, width);
  *oh = std::max<int32_t>(1, height);
}

// Bytes per row of the produced picture rounded up to `alignment`; 0 when above 32 bits.
uint32_t produced_row_bytes(uint32_t produced, int32_t width, int bytes_per_pixel, int alignment) {
  uint64_t raw = produced == kPixBilevel ? (static_cast<uint64_t>(width) + 7) / 8
                                         : static_cast<uint64_t>(width) * bytes_per_pixel;
  uint64_t line = (raw + alignment - 1) / alignment * alignment;
  return line > std::numeric_limits<uint32_t>::max() ? 0 : static_cast<uint32_t>(line);
}

int allocate_bitmap(LoadContext* ctx, LoadRowState& st, int alignment) {
  Bitmap* b = ctx->bitmap;
  const uint64_t total = static_cast<uint64_t>(st.out_height) * st.bytes_per_line;
  const LoadParams& p = ctx->params;
  if (p.alloc_callback) {
    std::memset(b, 0, sizeof *b);
    b->type = static_cast<uint16_t>(st.produced);
    b->width = st.out_width;
    b->height = st.out_height;
    b->bytes_per_line = st.bytes_per_line;
    const bool wide = st.produced == kRequestDeep8192 || st.produced == kRequestDeep16384;
    const int bits_per_sample = st.produced == kPixBilevel        ? 1
                                : st.produced >= kRequestDeep2048 ? (wide ? 32 : 16)
                                                                  : 8;
    b->pixels = p.alloc_callback(st.out_width, st.out_height, st.conv.produced_bytes_per_pixel,
                                 bits_per_sample, alignment, st.bytes_per_line, p.alloc_user);
    if (!b->pixels) return kStatusNoMemory;
    std::memset(b->pixels, 0, static_cast<size_t>(total));
  } else if (!bitmap_init(b, st.produced, st.bytes_per_line, st.out_width, st.out_height, 1)) {
    bitmap_free(b);
    return kStatusNoMemory;
  }
  b->alignment = static_cast<uint16_t>(alignment);
  b->bytes_per_pixel = static_cast<uint16_t>(st.conv.produced_bytes_per_pixel);
  b->transparent_index = -1;
  return kStatusOk;
}

template <typename T>
bool try_resize(std::vector<T>& v, size_t n) {
  try {
    v.assign(n, T{});
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

// Bytes per averaged pixel when the rows can be averaged as they arrive, else 0. Averaging the
// working rows must give what averaging the finished picture gives, so the packer must only
// reorder the bytes of a pixel (colour), or the values must be grey levels that no palette will
// replace (they are scaled to 0..255 first, as resample_shrink scales a grey picture's levels).
// 3-byte working colour produced as 4 bytes is packed before it is averaged, so the alpha byte is
// averaged as the finished picture's would be.
int average_channels(const ImageHeader& h, const LoadRowState& st) {
  const int produced = st.conv.produced_bytes_per_pixel;
  switch (st.conv.working_form) {
    case kWorkColor3: return produced == 3 ? 3 : produced == 4 ? 4 : 0;  // 4: packed first
    case kWorkColor4: return produced == 4 ? 4 : 0;
    case kWorkGrey: return produced == 1 ? 1 : 0;
    case kWorkIndex:
      return produced == 1 && st.bits >= 2 && st.bits <= 8 && h.grey_levels != kGreyLevelsUnknown
                 ? 1
                 : 0;
    default: return 0;
  }
}

// The level table of averaged grey levels of `bits` bits (end_image's inversion and
// resample_shrink's scaling in one step).
void prepare_levels(const ImageHeader& h, LoadRowState& st) {
  st.averaged_grey = st.average_channels == 1;
  if (st.conv.working_form != kWorkIndex) return;
  const int max = (1 << st.bits) - 1;
  const bool inverted = h.grey_levels == kGreyLevelsWhiteZero;
  for (int v = 0; v < 256; ++v) {
    const int level = std::min(v, max);
    st.level_map[v] = static_cast<uint8_t>((inverted ? max - level : level) * 255 / max);
  }
  st.level_mapped = inverted || max != 255;
}

// Chooses how to reach the caller's maximum size and the produced size.
void choose_reduction(const LoadContext* ctx, const ImageHeader& h, LoadRowState& st) {
  const LoadParams& p = ctx->params;
  st.out_width = h.width;
  st.out_height = h.height;
  st.reduce = ReduceMode::kNone;
  if (p.max_width < 1 || p.max_height < 1) return;
  if (h.width <= p.max_width && h.height <= p.max_height) return;
  const bool deep = st.produced >= kRequestDeep2048;
  // Tiles (the layout the pipeline would resize after the load) are averaged as their bands
  // complete whatever the caller asked: the result has the quality of the resize after the load,
  // and a large tiled picture never has to be held at full size.
  const bool tiles = (st.layout & kLayoutSelfReduced) == kLayoutReaderReducedAlt;
  if (p.reduce_mode != kReduceAverage && !tiles) {
    if (st.layout & kLayoutSelfReduced) {
      st.reduce = ReduceMode::kAfterSmooth;
      return;
    }
    st.reduce = ReduceMode::kNearest;
  } else if (!deep && !(st.layout & (kLayoutNoAverage & ~kLayoutReaderReducedAlt)) &&
             (st.average_channels = average_channels(h, st)) > 0) {
    st.reduce = ReduceMode::kAverage;
  } else {
    st.reduce = p.reduce_mode != kReduceAverage ? ReduceMode::kAfterSmooth : ReduceMode::kAfterShrink;
    return;
  }
  int32_t ow, oh;
  fit_box(h, p.max_width, p.max_height, &ow, &oh);
  // Rows and columns are only ever dropped or averaged while they arrive, never repeated: a
  // logical aspect that would enlarge a side keeps that side at its real size.
  st.out_width = std::min(ow, h.width);
  st.out_height = std::min(oh, h.height);
}

}  // namespace

void load_rows_release(LoadContext* context) {
  if (!context || !context->rows) return;
  delete context->rows;
  context->rows = nullptr;
}

void load_print_recognised(const LoadContext* ctx, const ImageHeader* h) {
  const char* name = ctx->path ? ctx->path : "";
  if (const char* slash = std::strrchr(name, '/')) name = slash + 1;
  const char* model = color_model_name(h->color_model);
  if (h->compression != kCompNone) {
    char compression[160];
    compression_text(compression, sizeof compression, h->compression, h->compression_text);
    std::printf("A %s (%s) - %s was recognized : %s\n", h->description, model, compression, name);
  } else {
    std::printf("A %s (%s) was recognized : %s\n", h->description, model, name);
  }
  const int bits = std::min(h->planes * h->bits_per_plane, 24);
  std::printf("    Width:%d Height:%d with %lu colors\n", h->width, h->height, 1ul << bits);
  std::printf("    Nplanes : %d      Bitscount : %d\n", h->planes, h->bits_per_plane);
  std::printf("    Bytes Per Plane : %d \n", static_cast<int>(h->bytes_per_plane));
  std::printf("    xdpi : %d         ydpi : %d\n", h->xdpi, h->ydpi);
}

int begin_image(LoadContext* ctx, ImageHeader* h) {
  if (!ctx || !h) return kStatusNotRecognised;
  ctx->header_seen = true;
  // A multi-image reader describes the chosen image again: start over.
  load_rows_release(ctx);
  if (ctx->bitmap) {
    bitmap_free(ctx->bitmap);
    std::memset(ctx->bitmap, 0, sizeof *ctx->bitmap);
  }
  h->row_buffer = nullptr;
  h->row_buffer_size = 0;
  h->row_stride = 0;

  // 1. The description's limits.
  const int bits = h->planes * h->bits_per_plane;
  if (h->planes < 1 || bits < 1 || bits > 32 || h->width < 1 || h->height < 1 ||
      h->width >= kSideLimit || h->height >= kSideLimit || h->samples < 0 || h->samples > 16)
    return kStatusNotRecognised;

  // 2, 3. Resolution, and the caller's FileInfo.
  int32_t xdpi = h->xdpi, ydpi = h->ydpi;
  if (!usable_resolution(xdpi, ydpi)) xdpi = ydpi = 0;
  if (ctx->info) fill_info(ctx->info, *h, xdpi, ydpi);

  // 4. Only the description was wanted.
  if (ctx->info_only) return -1;
  if (!ctx->bitmap) return kStatusNotRecognised;

  const LoadParams& p = ctx->params;
  // 5. Verbose lines and the progress bar's first line.
  if (p.flags & kLoadVerbose) load_print_recognised(ctx, h);
  if (p.flags & kLoadProgressBar) {
    std::fputs("------------------------------------------------------------\r", stderr);
    std::fflush(stderr);
  }

  auto* st = new (std::nothrow) LoadRowState;
  if (!st) return kStatusNoMemory;
  ctx->rows = st;

  // 6. Adjustments for this load.
  st->flags = p.flags;
  st->layout = h->layout;
  if (st->layout & kLayoutLabMask) st->flags |= kLoadPrefer3Byte;
  if ((st->layout & kLayoutPlanar) && h->planes == 1 && h->samples == 0) st->layout &= ~kLayoutPlanar;
  st->xdpi = xdpi ? xdpi : 72;
  st->ydpi = ydpi ? ydpi : 72;
  st->src_width = h->width;
  st->src_height = h->height;
  st->row_order = h->row_order;
  st->planes = h->planes;
  st->bits_per_plane = h->bits_per_plane;
  st->bits = bits;
  st->samples = h->samples;
  st->bytes_per_plane = h->bytes_per_plane;
  st->transparent_index = h->transparent_index;

  // 7, 8. The produced type and the converters that reach it.
  st->produced = choose_produced(*h, st->layout, st->flags, bits);
  LoadRowFormat format{};
  format.layout = st->layout;
  format.planes = h->planes;
  format.bits_per_plane = h->bits_per_plane;
  format.samples = h->samples;
  format.bytes_per_plane = h->bytes_per_plane;
  format.produced = st->produced;
  format.component_order = p.component_order <= 3 ? p.component_order : 0;
  format.alpha = p.alpha;
  if (convert_select_load(format, &st->conv) != kStatusOk) return kStatusNotRecognised;

  // 9. Reduction.
  choose_reduction(ctx, *h, *st);

  // 10. Row length of the produced picture, and the sizes checked before anything is allocated.
  const int alignment = p.alignment < 1 ? 1 : p.alignment;
  st->bytes_per_line =
      produced_row_bytes(st->produced, st->out_width, st->conv.produced_bytes_per_pixel, alignment);
  if (st->bytes_per_line == 0 ||
      static_cast<uint64_t>(st->out_height) * st->bytes_per_line > std::numeric_limits<uint32_t>::max())
    return kStatusNotRecognised;
  // A picture that must be held at full size only to be reduced afterwards (palette indexes,
  // ink and L*a*b* data, deep samples) is refused beyond this, so that a thumbnail's cost stays
  // bounded whatever the file claims.
  if ((st->reduce == ReduceMode::kAfterShrink || st->reduce == ReduceMode::kAfterSmooth) &&
      static_cast<uint64_t>(st->out_height) * st->bytes_per_line > kMaxFullSizeToReduce) {
    load_set_message(ctx, "Picture too large to reduce");
    return kStatusNoMemory;
  }

  const bool planar = st->layout & kLayoutPlanar;
  st->source_bytes = convert_load_source_bytes(format, h->width);
  const uint64_t natural_plane =
      (static_cast<uint64_t>(h->width) * h->bits_per_plane * std::max<int>(1, h->samples) + 7) / 8;
  // A row of a plane is never more than a few times the bytes its pixels need (one byte per
  // pixel for bilevel data, word padding); anything larger is a corrupt header.
  if (st->source_bytes == 0 || h->bytes_per_plane > natural_plane * 8 + 65536)
    return kStatusNotRecognised;
  const uint64_t plane_bytes =
      planar ? h->bytes_per_plane : static_cast<uint64_t>(h->planes) * h->bytes_per_plane;
  const uint64_t raw_pixel =
      h->samples > 0 ? static_cast<uint64_t>((h->bits_per_plane + 7) / 8) * h->samples
                     : (bits <= 8 ? 1 : (bits + 1) / 8);
  st->row_stride = static_cast<size_t>(std::max<uint64_t>(st->source_bytes, plane_bytes));
  const uint64_t rows_per_call = h->rows_per_call < 1 ? 1 : static_cast<uint64_t>(h->rows_per_call);
  const uint64_t per_row = std::max<uint64_t>(st->row_stride, raw_pixel * h->width);
  if (rows_per_call > std::numeric_limits<uint32_t>::max() / per_row) return kStatusNotRecognised;
  const uint64_t buffer_bytes = rows_per_call * per_row + 1024;
  if (buffer_bytes > std::numeric_limits<uint32_t>::max()) return kStatusNotRecognised;
  if (h->rows_per_call < 1) h->rows_per_call = 1;

  // 11. Pixel memory.
  int status = allocate_bitmap(ctx, *st, alignment);
  if (status != kStatusOk) return status;

  // 12. Row buffer, working rows, reduction tables.
  const size_t working = convert_working_bytes(st->conv, h->width);
  const size_t reduced = convert_working_bytes(st->conv, st->out_width);
  if (working == 0 || reduced == 0) return kStatusNotRecognised;
  if (!try_resize(st->row_buffer, static_cast<size_t>(buffer_bytes)) ||
      !try_resize(st->working, working + 64) || !try_resize(st->reduced, reduced + 64))
    return kStatusNoMemory;
  if (st->reduce == ReduceMode::kNearest) {
    if (!try_resize(st->column_map, static_cast<size_t>(st->out_width))) return kStatusNoMemory;
    const uint32_t unit = st->conv.working_form == kWorkBits
                              ? 1
                              : static_cast<uint32_t>(st->conv.working_bytes_per_pixel);
    for (int32_t c = 0; c < st->out_width; ++c)
      st->column_map[c] =
          static_cast<uint32_t>(static_cast<uint64_t>(c) * h->width / st->out_width) * unit;
  } else if (st->reduce == ReduceMode::kAverage) {
    status = st->average.init(h->width, h->height, st->out_width, st->out_height,
                              st->average_channels);
    if (status != kStatusOk) return status == kStatusNoMemory ? status : kStatusNotRecognised;
    prepare_levels(*h, *st);
    st->average_packed = st->conv.working_form == kWorkColor3 && st->average_channels == 4;
    if (st->average_packed &&
        !try_resize(st->prepacked, static_cast<size_t>(h->width) * 4 + 64))
      return kStatusNoMemory;
    // Tile rows are gathered in a band of at most this many bytes before they are averaged.
    const size_t row_bytes = static_cast<size_t>(h->width) * st->average_channels;
    st->band_limit = static_cast<int32_t>(std::clamp<size_t>(kMaxTileBandBytes / row_bytes, 1, h->height));
  }
  h->row_buffer = st->row_buffer.data();
  h->row_buffer_size = st->row_buffer.size();
  h->row_stride = st->row_stride;

  // 13. Orientation and counters.
  st->flip = ((h->row_order & kOrientBottomUp) != 0) != ((p.orientation & kOrientBottomUp) != 0);
  st->mirror = ((h->row_order & kOrientMirrored) != 0) != ((p.orientation & kOrientMirrored) != 0);
  const int planar_planes = std::max<int>(h->planes, h->samples);
  st->progress_total = static_cast<int64_t>(h->height) * (planar ? planar_planes : 1);
  ctx->delivered_rows = 0;
  ctx->progress_position = 0;
  return kStatusOk;
}

}  // namespace lumora
