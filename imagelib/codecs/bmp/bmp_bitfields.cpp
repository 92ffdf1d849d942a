#include "imagelib/codecs/bmp/bmp_bitfields.h"

#include <bit>
#include <cstring>

#include "imagelib/core/convert.h"
#include "imagelib/core/stream.h"

namespace lumora::bmp {

namespace {

bool masks_are(const uint32_t masks[4], uint32_t r, uint32_t g, uint32_t b) {
  return masks[0] == r && masks[1] == g && masks[2] == b;
}

void set_fields(TrueColorPlan* plan, const uint32_t masks[4], uint32_t word_mask) {
  for (int i = 0; i < 4; ++i) plan->fields[i] = make_mask_field(masks[i] & word_mask);
}

}  // namespace

MaskField make_mask_field(uint32_t mask) {
  MaskField f{mask, 0, 0};
  if (mask == 0) return f;
  f.shift = std::countr_zero(mask);
  int bits = std::popcount(mask);
  f.top = (bits >= 32) ? 0xFFFFFFFFull : ((1ull << bits) - 1);
  return f;
}

void default_masks(uint16_t bits, uint32_t masks[4]) {
  if (bits <= 16) {
    masks[0] = 0xF800; masks[1] = 0x7E0; masks[2] = 0x1F;
  } else {
    masks[0] = 0xFF0000; masks[1] = 0xFF00; masks[2] = 0xFF;
  }
  masks[3] = 0;
}

int plan_true_color(uint16_t bits, uint16_t planes, bool bit_fields, const uint32_t masks[4],
                    TrueColorPlan* plan) {
  std::memset(plan, 0, sizeof *plan);
  plan->path = PixelPath::kDirect;
  plan->file_planes = 1;
  if (planes > 1) {
    // Planar true colour: one row of `width` bytes per plane (blue, green, red, alpha), handed
    // over as interleaved 24 or 32-bit pixels.
    if (bits != 8 || (planes != 3 && planes != 4)) return 2;
    plan->path = PixelPath::kPlanes;
    plan->file_planes = planes;
    plan->header_bits = static_cast<uint16_t>(8 * planes);
    plan->layout = planes == 3 ? kLayoutReversed : kLayoutFourthLast;
    plan->file_bytes_per_pixel = 1;
    plan->out_bytes_per_pixel = planes;
    return 0;
  }
  if (planes != 1) return 2;
  switch (bits) {
    case 24:
      plan->header_bits = 24;
      plan->layout = kLayoutReversed;  // blue, green, red
      plan->file_bytes_per_pixel = plan->out_bytes_per_pixel = 3;
      return 0;
    case 32:
      plan->file_bytes_per_pixel = plan->out_bytes_per_pixel = 4;
      plan->header_bits = 32;
      if (!bit_fields || masks_are(masks, 0xFF0000, 0xFF00, 0xFF)) {
        plan->layout = kLayoutFourthLast;  // blue, green, red, fourth byte
        return 0;
      }
      // Any other masks (0xFF000000 red, 10-11-bit fields, RGB order...): split each pixel.
      plan->path = PixelPath::kSplit32;
      plan->layout = 0;  // red, green, blue, alpha
      set_fields(plan, masks, 0xFFFFFFFFu);
      return 0;
    case 15:
    case 16:
      plan->file_bytes_per_pixel = 2;
      if (!bit_fields || masks_are(masks, 0x7C00, 0x3E0, 0x1F)) {
        plan->header_bits = bits;  // 5-5-5, red in bits 10-14
        plan->layout = 0;
        plan->out_bytes_per_pixel = 2;
        return 0;
      }
      if (masks_are(masks, 0xF800, 0x7E0, 0x1F)) {
        plan->header_bits = 16;
        plan->layout = kLayout565;
        plan->out_bytes_per_pixel = 2;
        return 0;
      }
      plan->path = PixelPath::kSplit16;
      plan->header_bits = 24;
      plan->layout = kLayoutReversed;
      plan->out_bytes_per_pixel = 3;
      set_fields(plan, masks, 0xFFFFu);
      return 0;
    default:
      return 2;
  }
}

void interleave_planes(const uint8_t* src, size_t plane_stride, int planes, uint8_t* dst,
                       int32_t width) {
  for (int32_t x = 0; x < width; ++x)
    for (int p = 0; p < planes; ++p) dst[static_cast<size_t>(x) * planes + p] = src[p * plane_stride + x];
}

void split16_row(const uint8_t* src, uint8_t* dst, int32_t width, const MaskField fields[4]) {
  for (int32_t x = 0; x < width; ++x, src += 2, dst += 3) {
    uint32_t p = get_u16le(src);
    dst[0] = mask_component(p, fields[2]);
    dst[1] = mask_component(p, fields[1]);
    dst[2] = mask_component(p, fields[0]);
  }
}

void split32_row(const uint8_t* src, uint8_t* dst, int32_t width, const MaskField fields[4]) {
  for (int32_t x = 0; x < width; ++x, src += 4, dst += 4) {
    uint32_t p = get_u32le(src);
    dst[0] = mask_component(p, fields[0]);
    dst[1] = mask_component(p, fields[1]);
    dst[2] = mask_component(p, fields[2]);
    dst[3] = fields[3].top ? mask_component(p, fields[3]) : 255;
  }
}

}  // namespace lumora::bmp
