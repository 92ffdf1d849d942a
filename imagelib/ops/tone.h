#pragma once
// Brightness, contrast and gamma through one table that maps every 8-bit component value.
#include <cstdint>

#include "imagelib/core/bitmap.h"

namespace lumora {

constexpr int kToneMin = -128, kToneMax = 128;  // range of brightness and contrast

// Fills table[i] with the new value of a component whose value is i: brightness first
// (−128..128, added), then contrast (−128..128: above 0 stretches c..255−c to 0..255, at 128 a
// hard threshold at 128, below 0 compresses 0..255 into −c..255+c), then gamma (1.0 neutral;
// values of 0 or below are read as neutral). Brightness and contrast outside −128..128 are
// limited to it.
void tone_table(uint8_t table[256], int brightness, int contrast, double gamma);

// Replaces every byte of every pixel (not the row padding) by its table entry, when the picture
// has samples of 8 bits or more and no palette. Returns 0, or 16 when the picture was left as it
// is (a palette or bilevel picture).
int bitmap_apply_tone(Bitmap* bitmap, const uint8_t table[256]);

}  // namespace lumora
