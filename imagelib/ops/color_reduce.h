#pragma once
// Changing a picture's pixel type: black and white, palettes of 16 or 256 colours, 3-byte colour.
#include "imagelib/core/bitmap.h"

namespace lumora {

// Conversion codes.
enum ConvertCode : int {
  kConvertBlackWhite = 1,   // type 1 by error diffusion
  kConvertPalette16 = 13,   // type 4, at most 16 colours
  kConvertPalette256 = 18,  // type 4, at most 256 colours
  kConvertRGB = 19,         // type 16: red, green, blue bytes
  kConvertBGR = 21,         // type 64: blue, green, red bytes
};

// Methods: the way each code is carried out. Each code has one method; the value passed is
// accepted and the code's own method used.
enum ConvertMethod : int {
  kMethodCopy = 0,           // codes 19 and 21
  kMethodMedianCut = 4,      // codes 13 and 18
  kMethodErrorDiffusion = 5  // code 1
};

// Converts `src` to the pixel type `code` names. `dst` is an empty record to receive the
// result, or null: then the source's buffers are freed and `src` is overwritten with the result.
// The result keeps the source's size, alignment and attributes. A source already of the target
// type (types 1, 16, 64 for codes 1, 19, 21) gives a copy, or nothing happens when `dst` is null.
// Returns 0 on success, 1 when memory is short (the source is untouched), 16 for a code outside
// the table above or a source that cannot be read (16-bit samples, a broken layout).
int bitmap_convert(Bitmap* src, Bitmap* dst, int code, int method);

}  // namespace lumora
