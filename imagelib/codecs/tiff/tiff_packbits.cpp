// PackBits decompression (TIFF 6.0 section 9).
#include <algorithm>
#include <cstring>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

DecodeResult decode_packbits(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
  DecodeResult r;
  size_t i = 0;
  while (r.produced < out_size) {
    if (i >= in_size) {
      r.status = kStatusFileEndsEarly;
      return r;
    }
    const uint8_t c = in[i++];
    if (c < 128) {
      // c + 1 literal bytes.
      size_t n = static_cast<size_t>(c) + 1;
      const bool short_input = n > in_size - i;
      if (short_input) n = in_size - i;
      n = std::min(n, out_size - r.produced);
      std::memcpy(out + r.produced, in + i, n);
      r.produced += n;
      i += n;
      if (short_input && r.produced < out_size) {
        r.status = kStatusFileEndsEarly;
        return r;
      }
    } else if (c > 128) {
      // The next byte 257 - c times.
      if (i >= in_size) {
        r.status = kStatusFileEndsEarly;
        return r;
      }
      const size_t n = std::min<size_t>(257 - c, out_size - r.produced);
      std::memset(out + r.produced, in[i++], n);
      r.produced += n;
    }
    // 128: no operation.
  }
  return r;
}

}  // namespace lumora::tiff
