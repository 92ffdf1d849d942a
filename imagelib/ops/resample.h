#pragma once
// Giving a Bitmap new dimensions.
//
// Every operation takes a source and either an empty target record (the source is left as it
// is) or null, in which case the source's buffers are freed and the record receives the result.
// Results carry the source's colours count, transparent index, attributes (orientation,
// resolution, comment, chunks) and palette where both have one. Return values: 0 success,
// 1 memory short (the source is untouched), 16 unusable size.
#include <cstdint>

#include "imagelib/core/bitmap.h"

namespace lumora {

constexpr int kResampleSmooth = 0;
constexpr int kResampleNearest = 2;

// Area-averaging resize in double precision, linear interpolation along enlarged axes
// (bilinear, horizontal linear, vertical linear or box). Palette and bilevel pictures, and
// method 2, are point-sampled instead.
int resample_smooth(Bitmap* src, Bitmap* dst, int32_t width, int32_t height, int method);

// Fast reduction in 10-bit fixed point. Palette pictures become `color_type` (16 red-green-blue,
// 64 blue-green-red); bilevel pictures become grey and must be strictly larger than the target in
// both directions. An axis that would be enlarged is handled by the smooth resampler.
int resample_shrink(Bitmap* src, Bitmap* dst, int32_t width, int32_t height, uint16_t color_type);

// Point sampling: target pixel x of row y is source pixel (x * sw / width, y * sh / height).
int resample_nearest(Bitmap* src, Bitmap* dst, int32_t width, int32_t height);

// An exact copy. A null target does nothing and returns 0.
int bitmap_duplicate(const Bitmap* src, Bitmap* dst);

// Allocates `dst` with `src`'s type, alignment and sample size at a new size (pixels zeroed,
// palette allocated for type 4, transparent index -1). 1 on success, 0 when memory is short.
int bitmap_alloc_like(Bitmap* dst, const Bitmap* src, int32_t width, int32_t height);

}  // namespace lumora
