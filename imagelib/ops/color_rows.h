#pragma once
// Reading any 8-bit picture row as red, green, blue triplets: the common input of the colour
// reduction paths. Internal to the image operations.
#include <cstdint>

#include "imagelib/core/bitmap.h"

namespace lumora {

// The value a grey level stands for on the 0..255 scale, for a grey picture of `colors` levels.
// A level count below 2 cannot be scaled and is read as 256 levels; levels past the top read as
// white.
void grey_scale_table(uint16_t colors, uint8_t table[256]);

// Grey value of a colour, weights 77, 150 and 29 in 1/256 (they sum to 256, so a grey colour
// keeps its value).
inline int grey_of(int red, int green, int blue) { return (77 * red + 150 * green + 29 * blue) >> 8; }

class ColorRows {
 public:
  // False when the picture's layout or type cannot be read this way (16-bit samples, a palette
  // type without palette, rows shorter than the width, an unknown type).
  bool init(const Bitmap* src);
  // Writes 3 × width bytes (red, green, blue per pixel) for row y.
  void read(int32_t y, uint8_t* rgb) const;
  // The colour of a one-byte value of a grey or palette picture.
  void value_color(int v, uint8_t rgb[3]) const;

 private:
  const Bitmap* src_ = nullptr;
  int red_ = 0, green_ = 1, blue_ = 2;  // byte offsets within a colour pixel
  uint8_t grey_[256] = {};
};

// True when the picture has a pixel buffer that holds `height` rows of at least the row length
// its type and width need (a picture without pixels qualifies when it is empty).
bool bitmap_layout_usable(const Bitmap* b);

}  // namespace lumora
