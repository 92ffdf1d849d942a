// end_image: the final pixel type, the palette, bilevel normalisation, colour-space conversion and
// the post-load resize.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imagelib/core/colorspace.h"
#include "imagelib/core/load_internal.h"
#include "imagelib/core/palette.h"
#include "imagelib/core/status.h"
#include "imagelib/ops/resample.h"

namespace lumora {

namespace {

// What end_image needs of the row machinery, kept after it is released.
struct Finished {
  uint32_t produced;
  uint32_t layout;
  uint32_t flags;
  int source_bits;       // bits per pixel of the file's pixels, all samples together
  int produced_bytes;    // bytes per produced pixel
  ReduceMode reduce;
  bool averaged_grey;    // grey levels already scaled (and inverted) and averaged to 0..255
};

bool is_black(const uint8_t* pal, int i) {
  return pal[kPalR + i] == 0 && pal[kPalG + i] == 0 && pal[kPalB + i] == 0;
}
bool is_white(const uint8_t* pal, int i) {
  return pal[kPalR + i] == 255 && pal[kPalG + i] == 255 && pal[kPalB + i] == 255;
}

// Byte that the packers left the index in, for colour results of sources of 8 bits or less.
int index_position(uint16_t type) {
  switch (type) {
    case kPixBGR: return 2;
    case kPixABGR: return 3;
    case kPixBGRA: return 2;
    case kPixARGB: return 1;
    default: return 0;
  }
}

// Writes (red, green, blue, alpha) into one pixel in the byte order of `type`.
void put_color(uint8_t* px, uint16_t type, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  switch (type) {
    case kPixRGB: px[0] = r; px[1] = g; px[2] = b; break;
    case kPixBGR: px[0] = b; px[1] = g; px[2] = r; break;
    case kPixRGBA: px[0] = r; px[1] = g; px[2] = b; px[3] = a; break;
    case kPixABGR: px[0] = a; px[1] = b; px[2] = g; px[3] = r; break;
    case kPixBGRA: px[0] = b; px[1] = g; px[2] = r; px[3] = a; break;
    case kPixARGB: px[0] = a; px[1] = r; px[2] = g; px[3] = b; break;
    default: break;
  }
}

uint16_t final_type(const Finished& f, bool have_palette, int order) {
  static const uint16_t kFour[4] = {kPixRGBA, kPixABGR, kPixBGRA, kPixARGB};
  if (f.produced >= kRequestDeep2048) {
    const int sample_bytes =
        (f.produced == kRequestDeep8192 || f.produced == kRequestDeep16384) ? 4 : 2;
    const int samples = f.produced_bytes / sample_bytes;
    return samples == 1 ? kPixGrey : samples == 3 ? kPixRGB : kPixRGBA;
  }
  if (f.produced == kMaskColor3) return order == 0 ? kPixRGB : kPixBGR;
  if (f.produced == kMaskColor4) {
    if ((f.flags & kLoadKeepCmyk) && (f.layout & kLayoutInkMask)) return kPixCMYK;
    return kFour[order];
  }
  if (f.produced == kPixBilevel) return kPixBilevel;
  return have_palette && f.source_bits <= 8 ? kPixIndexed : kPixGrey;
}

// Values stored where 0 means white become (2^bits - 1) - v; bilevel rows have every bit inverted.
void invert_levels(Bitmap* b, int bits) {
  const int max = (1 << std::min(bits, 8)) - 1;
  const size_t row_bytes = b->type == kPixBilevel ? (static_cast<size_t>(b->width) + 7) / 8
                                                  : static_cast<size_t>(b->width);
  for (int32_t y = 0; y < b->height; ++y) {
    uint8_t* row = bitmap_row(b, y);
    if (b->type == kPixBilevel) {
      for (size_t i = 0; i < row_bytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
    } else if (b->type & kMaskColor) {
      const int pos = index_position(b->type);
      for (int32_t x = 0; x < b->width; ++x) {
        uint8_t& v = row[static_cast<size_t>(x) * b->bytes_per_pixel + pos];
        v = static_cast<uint8_t>(max - std::min<int>(v, max));
      }
    } else {
      for (size_t i = 0; i < row_bytes; ++i)
        row[i] = static_cast<uint8_t>(max - std::min<int>(row[i], max));
    }
  }
}

// Colour results of sources of 8 bits or less: each stored index becomes its colour. Without a
// palette the stored value is a grey level of `bits` bits, scaled to 0..255 (an unscaled 1-bit
// value would leave a white pixel at 1 of 255).
void expand_indexes(Bitmap* b, const uint8_t* planar, int bits, uint8_t alpha) {
  const int pos = index_position(b->type);
  const int max = (1 << std::min(bits, 8)) - 1;
  for (int32_t y = 0; y < b->height; ++y) {
    uint8_t* px = bitmap_row(b, y);
    for (int32_t x = 0; x < b->width; ++x, px += b->bytes_per_pixel) {
      const uint8_t v = px[pos];
      if (planar) {
        put_color(px, b->type, planar[kPalR + v], planar[kPalG + v], planar[kPalB + v], alpha);
      } else {
        const uint8_t g = static_cast<uint8_t>(std::min<int>(v, max) * 255 / max);
        put_color(px, b->type, g, g, g, alpha);
      }
    }
  }
}

// A bilevel picture whose two colours are not black and white becomes one index byte per pixel.
int bilevel_to_indexed(Bitmap* b) {
  const int alignment = b->alignment < 1 ? 1 : b->alignment;
  const uint64_t line = (static_cast<uint64_t>(b->width) + alignment - 1) / alignment * alignment;
  auto* pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(line * b->height), 1));
  if (!pixels) return kStatusNoMemory;
  for (int32_t y = 0; y < b->height; ++y) {
    const uint8_t* from = bitmap_row(b, y);
    uint8_t* to = pixels + static_cast<size_t>(y) * line;
    for (int32_t x = 0; x < b->width; ++x) to[x] = static_cast<uint8_t>(bit_get(from, x));
  }
  std::free(b->pixels);
  b->pixels = pixels;
  b->bytes_per_line = static_cast<uint32_t>(line);
  b->type = kPixIndexed;
  b->bytes_per_pixel = 1;
  b->bits_per_sample = 8;
  return kStatusOk;
}

// The picture fitted into the caller's box after the load (integer arithmetic).
void fit_after(int32_t w, int32_t h, int32_t max_w, int32_t max_h, int32_t* fw, int32_t* fh) {
  int64_t height = static_cast<int64_t>(h) * max_w / w;
  int64_t width;
  if (height > max_h) {
    width = static_cast<int64_t>(w) * max_h / h;
    height = max_h;
  } else {
    width = max_w;
  }
  *fw = static_cast<int32_t>(std::max<int64_t>(1, width));
  *fh = static_cast<int32_t>(std::max<int64_t>(1, height));
}

int resize_after(LoadContext* ctx, const Finished& f) {
  Bitmap* b = ctx->bitmap;
  const LoadParams& p = ctx->params;
  if (b->width <= p.max_width && b->height <= p.max_height) return kStatusOk;
  int32_t fw, fh;
  fit_after(b->width, b->height, p.max_width, p.max_height, &fw, &fh);
  int status;
  if (f.reduce == ReduceMode::kAfterSmooth) {
    status = resample_smooth(b, nullptr, fw, fh, kResampleSmooth);
  } else {
    status = resample_shrink(b, nullptr, fw, fh, p.component_order == 1 ? kPixBGR : kPixRGB);
    // A bilevel picture one pixel high or wide cannot be box-shrunk: point-sample it.
    if (status == kStatusBadArguments) status = resample_nearest(b, nullptr, fw, fh);
  }
  return status;
}

}  // namespace

int end_image(LoadContext* ctx, uint32_t palette_form, int palette_bits, const uint8_t* palette) {
  if (!ctx || !ctx->rows) return kStatusOk;
  LoadRowState* st = ctx->rows;
  Bitmap* b = ctx->bitmap;
  const LoadParams& p = ctx->params;
  if (p.flags & kLoadProgressBar) {
    std::fputc('\n', stderr);
    std::fflush(stderr);
  }
  if (!b || !b->pixels) {
    load_rows_release(ctx);
    return kStatusOk;
  }
  // 1. The pending averaged row, the attributes, and the row machinery released.
  if (!ctx->cancelled) load_finish_average(ctx);
  b->orientation = p.orientation;
  b->xdpi = st->xdpi;
  b->ydpi = st->ydpi;
  b->transparent_index = st->transparent_index;
  b->width = st->out_width;
  b->height = st->out_height;
  const Finished f{st->produced,
                   st->layout,
                   st->flags,
                   st->bits,
                   st->conv.produced_bytes_per_pixel,
                   st->reduce,
                   st->averaged_grey};
  load_rows_release(ctx);
  const int order = p.component_order <= 3 ? p.component_order : 0;
  const int alignment = p.alignment < 1 ? 1 : p.alignment;
  const bool deep = f.produced >= kRequestDeep2048;

  // The colour map, when the source has one.
  uint8_t planar[kPaletteBytes];
  bool have_palette = false;
  // The reader promised grey levels; a palette it passes all the same cannot apply to averages.
  if (palette && !deep && f.source_bits <= 8 && !f.averaged_grey) {
    const size_t map_size = palette_map_size(palette_form, f.source_bits);
    if (map_size) {
      palette_read_map(planar, palette_form, palette_bits, f.source_bits, palette, map_size);
      have_palette = true;
    }
  }

  // 2. The final type.
  b->type = final_type(f, have_palette, order);
  b->samples_per_pixel = static_cast<uint16_t>(bitmap_samples_for_type(b->type));
  if (deep) {
    b->bytes_per_pixel = static_cast<uint16_t>(f.produced_bytes);
    b->bits_per_sample = static_cast<uint16_t>(8 * f.produced_bytes / b->samples_per_pixel);
  } else {
    b->bytes_per_pixel = static_cast<uint16_t>(b->type == kPixBilevel ? 1 : f.produced_bytes);
    b->bits_per_sample = b->type == kPixBilevel ? 1 : 8;
  }
  const int level_bits = std::min(f.source_bits, 8);
  if (b->type == kPixBilevel) b->colors = 2;
  else if (f.averaged_grey) b->colors = 256;   // levels were scaled to 0..255 while averaged
  else if (b->type & (kPixGrey | kPixIndexed)) b->colors = static_cast<uint16_t>(1 << level_bits);
  else b->colors = 0;
  if (b->type == kPixIndexed && !b->palette) {
    b->palette = static_cast<uint8_t*>(std::calloc(kPaletteBytes, 1));
    if (!b->palette) return ctx->end_status = kStatusNoMemory;
  }

  // 3. L*a*b* and ink pictures become red, green, blue.
  const bool special = colorspace_layout_needs_conversion(f.layout);
  if (special && !deep && (b->bytes_per_pixel == 3 || b->bytes_per_pixel == 4)) {
    if (b->type != kPixCMYK || (f.layout & kLayoutInkInverted))
      colorspace_convert(b, f.layout, order, alignment);
  } else if (!deep && !f.averaged_grey) {
    // 4. Palette.
    const bool from_levels = f.source_bits <= 8;
    if ((palette_form & kPaletteInverted) && !have_palette && from_levels)
      invert_levels(b, f.source_bits);
    if (f.source_bits == 1 && have_palette) {
      // 5. Bilevel normalisation.
      const bool black_white = is_black(planar, 0) && is_white(planar, 1);
      const bool white_black = is_white(planar, 0) && is_black(planar, 1);
      if (b->type == kPixBilevel) {
        if (white_black) {
          invert_levels(b, 1);
        } else if (!black_white) {
          if (bilevel_to_indexed(b) != kStatusOk) return ctx->end_status = kStatusNoMemory;
          b->palette = static_cast<uint8_t*>(std::calloc(kPaletteBytes, 1));
          if (!b->palette) return ctx->end_status = kStatusNoMemory;
          b->colors = 2;
        }
      } else if (b->type == kPixIndexed && (black_white || white_black)) {
        for (int32_t y = 0; y < b->height; ++y) {
          uint8_t* row = bitmap_row(b, y);
          for (int32_t x = 0; x < b->width; ++x) row[x] = is_white(planar, row[x] & 1) ? 255 : 0;
        }
        b->type = kPixGrey;
        b->colors = 256;
        std::free(b->palette);
        b->palette = nullptr;
      }
    }
    if ((b->type & kMaskColor) && from_levels)
      expand_indexes(b, have_palette ? planar : nullptr, f.source_bits, p.alpha);
    // 6. Palette pictures receive their colours.
    if (b->type == kPixIndexed && b->palette && have_palette)
      std::memcpy(b->palette, planar, kPaletteBytes);
  }

  // 7. Post-load resize.
  if ((f.reduce == ReduceMode::kAfterSmooth || f.reduce == ReduceMode::kAfterShrink) &&
      !ctx->cancelled) {
    const int status = resize_after(ctx, f);
    if (status != kStatusOk) return ctx->end_status = status;
  }
  return kStatusOk;
}

}  // namespace lumora
