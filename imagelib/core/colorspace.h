#pragma once
// Colour-space conversion at the end of a load: pictures stored as CIE L*a*b* or as printing inks
// (CMYK) become red, green, blue, in place on the whole Bitmap.
#include <cstdint>

#include "imagelib/core/bitmap.h"

namespace lumora {

// True when the header layout names a sample arrangement that needs the conversion below
// (ink bits 0x4000/0x8000 or one of the L*a*b* bits 0x20000 to 0x100000).
bool colorspace_layout_needs_conversion(uint32_t layout);

// Converts `bitmap` (3 or 4 bytes per pixel, 8-bit samples) in place by the `layout` bits:
// - L*a*b* (0x20000 D65 / 0x40000 D50 with a, b offset by 128; 0x80000 D50 / 0x100000 D65 with
//   signed a, b), ink data 0x8000 (cyan, magenta, yellow, black) and inverted ink data 0x4000
//   become 3 bytes per pixel: type 64 (blue, green, red) when `component_order` is 1 or 2, else
//   type 16; the row length is recomputed with `alignment` (the buffer is reused, not shrunk).
// - A type-1024 Bitmap with layout 0x4000 keeps its ink values: every byte becomes 255 - byte.
// Returns 0, or 16 when the Bitmap is not of 3 or 4 bytes per pixel with pixels.
int colorspace_convert(Bitmap* bitmap, uint32_t layout, int component_order, int alignment);

// The 256-entry sRGB transfer table used after L*a*b* to linear RGB (index = linear x 255).
void lab_gamma_table(uint8_t table[256]);

// One L*a*b* pixel (bytes as stored under `layout`) to red, green, blue.
void lab_to_rgb(const uint8_t lab[3], uint32_t layout, const uint8_t table[256], uint8_t rgb[3]);

}  // namespace lumora
