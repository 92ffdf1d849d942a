#include "imagelib/codecs/bmp/bmp_header.h"

#include <cmath>
#include <cstring>

#include "imagelib/core/status.h"

namespace lumora::bmp {

namespace {

// The longest info header in use (BITMAPV5HEADER); longer ones are skipped after this.
constexpr uint32_t kLongestKnownHeader = 124;

bool known_compression(uint32_t c) {
  return c == kCompressNone || c == kCompressRle8 || c == kCompressRle4 || c == kCompressBitFields ||
         c == kCompressDxt1 || c == kCompressDxt3;
}

uint32_t absolute(int32_t v) {
  return v < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(v)) : static_cast<uint32_t>(v);
}

}  // namespace

int read_headers(ByteStream* stream, BmpHeader* h) {
  std::memset(h, 0, sizeof *h);
  uint8_t file[kFileHeaderBytes];
  if (int st = stream_read(stream, file, sizeof file)) return st;
  if (get_u16le(file) != kMagic) return kStatusNotRecognised;
  h->file_size = get_u32le(file + 2);
  h->data_offset = get_u32le(file + 10);

  uint8_t info[kLongestKnownHeader] = {};
  if (int st = stream_read(stream, info, 4)) return st;
  h->header_size = get_u32le(info);
  if (h->header_size == kOs2HeaderBytes) {
    // OS/2 1.x: 16-bit width, height, planes, bits; rows always bottom-up, never compressed.
    if (int st = stream_read(stream, info + 4, kOs2HeaderBytes - 4)) return st;
    h->os2 = true;
    h->width = get_u16le(info + 4);
    h->height = get_u16le(info + 6);
    h->planes = get_u16le(info + 8);
    h->bits = get_u16le(info + 10);
    return kStatusOk;
  }
  if (h->header_size < kInfoHeaderBytes) return kStatusNotRecognised;
  uint32_t kept = h->header_size < kLongestKnownHeader ? h->header_size : kLongestKnownHeader;
  if (int st = stream_read(stream, info + 4, kept - 4)) return st;
  if (h->header_size > kept) {
    if (int st = stream_skip(stream, h->header_size - kept)) return st;
  }
  int32_t width = static_cast<int32_t>(get_u32le(info + 4));
  int32_t height = static_cast<int32_t>(get_u32le(info + 8));
  h->width = absolute(width);
  h->height = absolute(height);
  h->top_down = height < 0;
  h->planes = get_u16le(info + 12);
  h->bits = get_u16le(info + 14);
  h->compression = get_u32le(info + 16);
  h->x_pixels_per_metre = static_cast<int32_t>(get_u32le(info + 24));
  h->y_pixels_per_metre = static_cast<int32_t>(get_u32le(info + 28));
  h->colors_used = get_u32le(info + 32);
  if (!known_compression(h->compression)) return kStatusNotRecognised;
  if (h->header_size >= kMasksInHeaderBytes && h->bits >= 15) {
    h->masks_in_header = true;
    for (int i = 0; i < 4; ++i) h->masks[i] = get_u32le(info + 40 + 4 * i);
  }
  return kStatusOk;
}

int32_t dpi_from_ppm(int32_t pixels_per_metre) {
  if (pixels_per_metre == 0) return 0;
  return static_cast<int32_t>(std::floor(pixels_per_metre * 0.025399166666666667 + 0.5));
}

int32_t ppm_from_dpi(int32_t dpi) {
  if (dpi <= 0) return 0;
  double v = dpi * 39.371370451786476;
  return v >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(v);
}

}  // namespace lumora::bmp
