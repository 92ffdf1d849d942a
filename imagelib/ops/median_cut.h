#pragma once
// Two-pass median-cut quantiser over a 5-6-5-bit colour histogram (red 5 bits, green 6, blue 5).
// Internal to the colour reduction.
#include <cstdint>

#include "imagelib/core/bitmap.h"
#include "imagelib/ops/color_rows.h"

namespace lumora {

// Chooses at most `max_colors` (1..256) colours for the picture `rows` reads and maps every pixel
// to the nearest of them. `dst` is a type 4 picture of the source's size; its palette receives
// the colours (the remaining entries zero) and its pixels the indices. Returns the number of
// colours chosen, or -1 when the quantiser's work space cannot be allocated.
int median_cut_quantize(const Bitmap* src, const ColorRows& rows, int max_colors, Bitmap* dst);

}  // namespace lumora
