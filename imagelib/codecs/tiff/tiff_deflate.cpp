// Deflate-compressed strips and tiles (compressions 8 and 32946) through zlib.
#include <zlib.h>

#include <limits>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

DecodeResult decode_deflate(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
  DecodeResult r;
  z_stream z{};
  if (in_size > std::numeric_limits<uInt>::max() || out_size > std::numeric_limits<uInt>::max()) {
    r.status = kStatusCorrupt;
    return r;
  }
  if (inflateInit(&z) != Z_OK) {
    r.status = kStatusNoMemory;
    return r;
  }
  z.next_in = const_cast<Bytef*>(in);
  z.avail_in = static_cast<uInt>(in_size);
  z.next_out = out;
  z.avail_out = static_cast<uInt>(out_size);
  bool resynced = false;
  while (z.avail_out > 0) {
    const int ret = inflate(&z, Z_PARTIAL_FLUSH);
    if (ret == Z_STREAM_END) break;
    if (ret == Z_OK) continue;
    if (ret == Z_DATA_ERROR && !resynced) {
      // One attempt to find the next block boundary.
      resynced = true;
      if (inflateSync(&z) == Z_OK) continue;
      r.status = kStatusCorrupt;
      break;
    }
    // Z_BUF_ERROR: the input ran out before the output was full.
    r.status = ret == Z_BUF_ERROR ? kStatusFileEndsEarly
               : ret == Z_MEM_ERROR ? kStatusNoMemory
                                    : kStatusCorrupt;
    break;
  }
  r.produced = out_size - z.avail_out;
  if (r.status == kStatusOk && r.produced < out_size) r.status = kStatusFileEndsEarly;
  inflateEnd(&z);
  return r;
}

}  // namespace lumora::tiff
