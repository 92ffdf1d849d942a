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
    case 16: case 17: case 18: return 8;        // BigTIFF's LONG8, SLONG8, IFD8
    default: return 0;
  }
}

uint64_t TiffField::bytes() const {
  const uint64_t size = field_type_size(type);
  if (size != 0 && count > UINT64_MAX / size) return UINT64_MAX;
  return size * count;
}

int read_entry_count(const TiffFile& f, uint64_t offset, uint64_t* entries) {
  uint8_t b[8];
  if (f.read_at(offset, b, f.entry_count_bytes()) != kStatusOk) return kStatusFileEndsEarly;
  *entries = f.big_tiff ? f.u64(b) : f.u16(b);
  return kStatusOk;
}

int read_entry(const TiffFile& f, uint64_t offset, uint64_t index, TiffField* field) {
  // Entries past the file's end cannot exist, so the product below cannot overflow when it matters.
  if (index > f.size / f.entry_bytes()) return kStatusFileEndsEarly;
  uint8_t e[20];
  const uint64_t at = offset + f.entry_count_bytes() + index * f.entry_bytes();
  if (at < offset || f.read_at(at, e, f.entry_bytes()) != kStatusOk) return kStatusFileEndsEarly;
  *field = TiffField{};
  field->present = true;
  field->tag = f.u16(e);
  field->type = f.u16(e + 2);
  field->count = f.big_tiff ? f.u64(e + 4) : f.u32(e + 4);
  std::copy(e + 4 + f.offset_bytes(), e + 4 + 2 * f.offset_bytes(), field->raw);
  return kStatusOk;
}

uint64_t field_scalar64(const TiffFile& f, const TiffField& field) {
  switch (field.type) {
    case 1: case 6: case 7: return field.raw[0];
    case 3: case 8: return f.u16(field.raw);
    // Eight-byte values only fit in BigTIFF's value field.
    case 16: case 17: case 18: return f.big_tiff ? f.u64(field.raw) : 0;
    default: return f.u32(field.raw);
  }
}

uint32_t field_scalar(const TiffFile& f, const TiffField& field) {
  return static_cast<uint32_t>(std::min<uint64_t>(field_scalar64(f, field), UINT32_MAX));
}

int field_bytes(const TiffFile& f, const TiffField& field, uint64_t limit, std::vector<uint8_t>* out) {
  const uint64_t total = std::min(field.bytes(), limit);
  // Values stored elsewhere must lie in the file before anything is allocated for them: a count
  // in a few bytes of directory may claim gigabytes.
  if (!field.inline_in(f) && !f.holds(field.offset(f), total)) return kStatusFileEndsEarly;
  try {
    out->assign(static_cast<size_t>(total), 0);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  if (total == 0) return kStatusOk;
  if (field.inline_in(f)) {
    std::copy(field.raw, field.raw + total, out->begin());
    return kStatusOk;
  }
  return f.read_at(field.offset(f), out->data(), static_cast<size_t>(total));
}

int field_numbers(const TiffFile& f, const TiffField& field, uint32_t limit,
                  std::vector<uint64_t>* out) {
  const uint32_t size = field_type_size(field.type);
  switch (field.type) {
    case 1: case 3: case 4: case 13: case 16: case 18: break;
    default: return kStatusImpossible;
  }
  const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(field.count, limit));
  std::vector<uint8_t> bytes;
  TiffField part = field;
  part.count = count;
  // The values of the whole field decide whether they are inline.
  if (!field.inline_in(f) && part.inline_in(f)) part.count = field.count;
  int status = field_bytes(f, part, static_cast<uint64_t>(count) * size, &bytes);
  if (status != kStatusOk) return status;
  try {
    out->resize(count);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = bytes.data() + static_cast<size_t>(i) * size;
    (*out)[i] = size == 1 ? p[0] : size == 2 ? f.u16(p) : size == 4 ? f.u32(p) : f.u64(p);
  }
  return kStatusOk;
}

bool field_rational(const TiffFile& f, const TiffField& field, uint32_t index, uint32_t* num,
                    uint32_t* den) {
  if (!field.present || (field.type != 5 && field.type != 10) || index >= field.count) return false;
  uint8_t b[8];
  if (field.inline_in(f)) {
    // One rational fits in BigTIFF's value field.
    std::copy(field.raw, field.raw + 8, b);
  } else {
    const uint64_t at = field.offset(f);
    if (at > f.size || f.read_at(at + 8ull * index, b, 8) != kStatusOk) return false;
  }
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
