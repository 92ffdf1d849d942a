#pragma once
// True-colour bitmaps: how the rows of 15, 16, 24 and 32-bit files are handed to the pipeline,
// and the splitting of pixels by colour masks (BI_BITFIELDS) where no fixed layout fits.
#include <cstddef>
#include <cstdint>

namespace lumora::bmp {

// One colour mask: the component is ((pixel & mask) >> shift) scaled from `top` to 255.
struct MaskField {
  uint32_t mask;
  int shift;      // lowest set bit
  uint64_t top;   // 2^(set bits) - 1; 0 for an empty mask (the component is then 0)
};

MaskField make_mask_field(uint32_t mask);
inline uint8_t mask_component(uint32_t pixel, const MaskField& f) {
  if (f.top == 0) return 0;
  uint64_t v = (static_cast<uint64_t>(pixel & f.mask) >> f.shift) * 255u / f.top;
  return static_cast<uint8_t>(v > 255 ? 255 : v);  // a mask with holes can exceed its top
}

enum class PixelPath {
  kDirect,    // rows go to the pipeline as read
  kSplit16,   // 16-bit words split by masks into blue, green, red bytes
  kSplit32,   // 32-bit words split by masks into red, green, blue, alpha bytes
  kPlanes,    // 3 or 4 planes of 8 bits, one padded row per plane, interleaved into pixels
};

struct TrueColorPlan {
  PixelPath path;
  uint32_t layout;              // ImageHeader::layout
  uint16_t header_bits;         // ImageHeader::bits_per_plane
  uint32_t file_bytes_per_pixel;// per plane
  uint16_t file_planes;         // planes stored in the file
  uint32_t out_bytes_per_pixel; // per plane, as delivered
  MaskField fields[4];          // red, green, blue, alpha for the split paths
};

// Chooses how a true-colour file is delivered. `bit_fields`: compression 3; `masks`: red, green,
// blue, alpha (alpha 0 = none). Returns 0, or 2 for a depth/plane combination no row layout fits.
int plan_true_color(uint16_t bits, uint16_t planes, bool bit_fields, const uint32_t masks[4],
                    TrueColorPlan* plan);

// The masks a bit-field file without stored masks is given.
void default_masks(uint16_t bits, uint32_t masks[4]);

// Interleaves `planes` plane rows of `width` bytes (blue, green, red, alpha planes, `plane_stride`
// bytes apart) into pixels of `planes` bytes.
void interleave_planes(const uint8_t* src, size_t plane_stride, int planes, uint8_t* dst,
                       int32_t width);
// Splits `width` little-endian 16-bit pixels into blue, green, red bytes.
void split16_row(const uint8_t* src, uint8_t* dst, int32_t width, const MaskField fields[4]);
// Splits `width` little-endian 32-bit pixels into red, green, blue, alpha bytes (alpha 255 when
// there is no alpha mask).
void split32_row(const uint8_t* src, uint8_t* dst, int32_t width, const MaskField fields[4]);

}  // namespace lumora::bmp
