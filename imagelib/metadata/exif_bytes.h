#pragma once
// Bounds-checked byte access to a TIFF-structured block (internal to the metadata readers).
#include <cstdint>

#include "imagelib/metadata/exif.h"

namespace lumora::exif_bytes {

// True when `length` bytes from `pos` lie inside the block (no overflow for any inputs).
inline bool inside(const ExifBlock& b, uint64_t pos, uint64_t length) {
  return pos <= b.size && length <= b.size - pos;
}

// Unchecked reads in the block's byte order; callers check with inside() first.
inline uint16_t get16(const ExifBlock& b, uint32_t pos) {
  const uint8_t* p = b.data + pos;
  return b.big_endian ? static_cast<uint16_t>((p[0] << 8) | p[1])
                      : static_cast<uint16_t>((p[1] << 8) | p[0]);
}
inline uint32_t get32(const ExifBlock& b, uint32_t pos) {
  const uint8_t* p = b.data + pos;
  return b.big_endian ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]
                      : (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

// Checked reads: false when the bytes are not inside the block.
inline bool read16(const ExifBlock& b, uint64_t pos, uint16_t* out) {
  if (!inside(b, pos, 2)) return false;
  *out = get16(b, static_cast<uint32_t>(pos));
  return true;
}
inline bool read32(const ExifBlock& b, uint64_t pos, uint32_t* out) {
  if (!inside(b, pos, 4)) return false;
  *out = get32(b, static_cast<uint32_t>(pos));
  return true;
}

// Truncates toward zero; NaN gives 0 and values beyond the 64-bit range are clamped (a file's
// extreme rational must not become an undefined conversion).
inline long long truncate_to_integer(double v) {
  if (!(v == v)) return 0;
  if (v >= 9.2e18) return 9200000000000000000LL;
  if (v <= -9.2e18) return -9200000000000000000LL;
  return static_cast<long long>(v);
}

// Compares the first bytes of [p, p+size) with `prefix`, ignoring the case of ASCII letters.
bool starts_with_nocase(const uint8_t* p, uint32_t size, const char* prefix);

// snprintf into a fixed buffer; never writes past `size`, always terminates (size > 0).
void text_printf(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
// Copies `length` bytes (cut at `size` - 1) and terminates; an embedded zero byte ends the text.
void text_copy(char* out, size_t size, const uint8_t* bytes, size_t length);

}  // namespace lumora::exif_bytes
