#include "imagelib/ops/color_rows.h"

namespace lumora {

void grey_scale_table(uint16_t colors, uint8_t table[256]) {
  const int top = colors >= 2 ? colors - 1 : 255;
  for (int v = 0; v < 256; ++v) {
    int scaled = v * 255 / top;
    table[v] = static_cast<uint8_t>(scaled > 255 ? 255 : scaled);
  }
}

bool bitmap_layout_usable(const Bitmap* b) {
  if (b->width < 0 || b->height < 0) return false;
  if (b->width == 0 || b->height == 0) return true;
  if (!b->pixels) return false;
  uint64_t row = b->type == kPixBilevel ? (static_cast<uint64_t>(b->width) + 7) / 8
                                         : static_cast<uint64_t>(b->width) * b->bytes_per_pixel;
  return (b->type == kPixBilevel || b->bytes_per_pixel > 0) && row <= b->bytes_per_line;
}

bool ColorRows::init(const Bitmap* src) {
  src_ = src;
  if (!bitmap_layout_usable(src)) return false;
  if (src->type != kPixBilevel && src->bits_per_sample > 8) return false;
  switch (src->type) {
    case kPixBilevel:
      return true;
    case kPixGrey:
      grey_scale_table(src->colors, grey_);
      return src->bytes_per_pixel == 1;
    case kPixIndexed:
      return src->palette && src->bytes_per_pixel == 1;
    case kPixRGB:
    case kPixRGBA:
      red_ = 0, green_ = 1, blue_ = 2;
      break;
    case kPixABGR:
      red_ = 3, green_ = 2, blue_ = 1;
      break;
    case kPixARGB:
      red_ = 1, green_ = 2, blue_ = 3;
      break;
    case kPixBGR:
    case kPixBGRA:
      red_ = 2, green_ = 1, blue_ = 0;
      break;
    case kPixCMYK:
      return src->bytes_per_pixel >= 4;
    default:
      return false;
  }
  return src->bytes_per_pixel > red_ && src->bytes_per_pixel > green_ &&
         src->bytes_per_pixel > blue_;
}

void ColorRows::value_color(int v, uint8_t rgb[3]) const {
  if (src_->type == kPixIndexed) {
    rgb[0] = src_->palette[kPalR + v];
    rgb[1] = src_->palette[kPalG + v];
    rgb[2] = src_->palette[kPalB + v];
  } else {
    rgb[0] = rgb[1] = rgb[2] = grey_[v];
  }
}

void ColorRows::read(int32_t y, uint8_t* rgb) const {
  const uint8_t* in = bitmap_row(src_, y);
  const int32_t w = src_->width;
  switch (src_->type) {
    case kPixBilevel:
      for (int32_t x = 0; x < w; ++x, rgb += 3) rgb[0] = rgb[1] = rgb[2] = bit_get(in, x) ? 255 : 0;
      return;
    case kPixGrey:
    case kPixIndexed:
      for (int32_t x = 0; x < w; ++x, rgb += 3) value_color(in[x], rgb);
      return;
    case kPixCMYK:
      // Ink values as the file gave them, each colour = (255 - ink) × (255 - black) / 255.
      for (int32_t x = 0; x < w; ++x, rgb += 3, in += src_->bytes_per_pixel) {
        const int white = 255 - in[3];
        rgb[0] = static_cast<uint8_t>((255 - in[0]) * white / 255);
        rgb[1] = static_cast<uint8_t>((255 - in[1]) * white / 255);
        rgb[2] = static_cast<uint8_t>((255 - in[2]) * white / 255);
      }
      return;
    default: {
      const int bpp = src_->bytes_per_pixel;
      for (int32_t x = 0; x < w; ++x, rgb += 3, in += bpp) {
        rgb[0] = in[red_];
        rgb[1] = in[green_];
        rgb[2] = in[blue_];
      }
    }
  }
}

}  // namespace lumora
