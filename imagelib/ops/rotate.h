#pragma once
// Turning a picture by a multiple of 90 degrees.
#include "imagelib/core/bitmap.h"

namespace lumora {

// Turns `src` by `angle` degrees, positive clockwise as seen on the screen. Quarter and half
// turns are done; a multiple of 360 or any other angle gives an exact copy. Rows stored bottom
// row first (orientation 16) or mirrored (orientation 1) reverse the direction in memory so that
// the picture turns the asked way on the screen.
// `dst` is an empty record to receive the result, or null: then the source's buffers are freed
// and `src` is overwritten with the result. The result keeps the source's type, alignment,
// sample size, `colors`, `transparent_index`, attributes and palette.
// Returns 0 on success, 1 when memory is short (the source is then untouched), 16 for a source
// without a usable pixel layout.
int bitmap_rotate(Bitmap* src, Bitmap* dst, int angle);

// The individual paths, exposed so that the bilevel word paths can be checked and measured
// against the general ones. `dst` must be an empty record; nothing is written to `src`.
enum class RotateTurn { kClockwise, kCounterClockwise, kHalf };
enum class RotatePath { kAuto, kGeneral };
int bitmap_rotate_turn(const Bitmap* src, Bitmap* dst, RotateTurn turn, RotatePath path);

// True when a bilevel source has whole 32-bit words per row with no extra padding, the layout
// the word paths work on.
bool rotate_word_layout(const Bitmap* src);

}  // namespace lumora
