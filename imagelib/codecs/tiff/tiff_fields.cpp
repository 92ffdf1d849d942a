// Field values of TIFF directory entries (TIFF 6.0 section 2): inline or at an offset, always
// checked against the file size before they are read.
#include <algorithm>
#include <new>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

int TiffFile::read_at(uint64_t offset, void* buffer, size_t count) const {
  if (!holds(offset, count)) return kStatusFileEndsEarly;
  if (stream_seek(stream, offset) != kStatusOk) return kStatusFileEndsEarly;
  return stream_read(stream, buffer, count) == kStatusOk ? kStatusOk : kStatusFileEndsEarly;
}

uint32_t field_type_size(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;   // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                   // SHORT, SSHORT
    case 4: case 9: case 11: case 13: return 4; // LONG, SLONG, FLOAT, IFD
    case 5: case 10: case 12: return 8;         // RATIONAL, SRATIONAL, DOUBLE
    default: return 0;
  }
}

uint64_t TiffField::bytes() const {
  return static_cast<uint64_t>(field_type_size(type)) * count;
}

uint32_t field_scalar(const TiffFile& f, const TiffField& field) {
  switch (field.type) {
    case 1: case 6: case 7: return field.raw[0];
    case 3: case 8: return f.u16(field.raw);
    default: return f.u32(field.raw);
  }
}

int field_bytes(const TiffFile& f, const TiffField& field, uint64_t limit, std::vector<uint8_t>* out) {
  const uint64_t total = std::min(field.bytes(), limit);
  // Values stored elsewhere must lie in the file before anything is allocated for them: a count
  // in a few bytes of directory may claim gigabytes.
  if (field.bytes() > 4 && !f.holds(field.offset(f), total)) return kStatusFileEndsEarly;
  try {
    out->assign(static_cast<size_t>(total), 0);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  if (total == 0) return kStatusOk;
  if (field.bytes() <= 4) {
    std::copy(field.raw, field.raw + total, out->begin());
    return kStatusOk;
  }
  return f.read_at(field.offset(f), out->data(), static_cast<size_t>(total));
}

int field_numbers(const TiffFile& f, const TiffField& field, uint32_t limit,
                  std::vector<uint32_t>* out) {
  const uint32_t size = field_type_size(field.type);
  if (field.type != 1 && field.type != 3 && field.type != 4 && field.type != 13)
    return kStatusImpossible;
  const uint32_t count = std::min(field.count, limit);
  std::vector<uint8_t> bytes;
  TiffField part = field;
  part.count = count;
  // The values of the whole field decide whether they are inline.
  if (field.bytes() > 4 && part.bytes() <= 4) part.count = field.count;
  int status = field_bytes(f, part, static_cast<uint64_t>(count) * size, &bytes);
  if (status != kStatusOk) return status;
  try {
    out->resize(count);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = bytes.data() + static_cast<size_t>(i) * size;
    (*out)[i] = size == 1 ? p[0] : size == 2 ? f.u16(p) : f.u32(p);
  }
  return kStatusOk;
}

bool field_rational(const TiffFile& f, const TiffField& field, uint32_t index, uint32_t* num,
                    uint32_t* den) {
  if (!field.present || (field.type != 5 && field.type != 10) || index >= field.count) return false;
  uint8_t b[8];
  if (f.read_at(static_cast<uint64_t>(field.offset(f)) + 8ull * index, b, 8) != kStatusOk) return false;
  *num = f.u32(b);
  *den = f.u32(b + 4);
  return true;
}

bool page_is_tiled(const TiffPage& page) { return page.tile_width > 0 && page.tile_length > 0; }

void reverse_bits(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    uint8_t b = data[i];
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    b = static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
    data[i] = b;
  }
}

}  // namespace lumora::tiff
