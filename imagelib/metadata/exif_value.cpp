// Reading directory entries and their values, and the generic formatting rules by field type
// (TIFF 6.0 section 2: field types; the value lies in the entry when it fits in four bytes).
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "imagelib/metadata/exif.h"
#include "imagelib/metadata/exif_bytes.h"

namespace lumora {

using namespace exif_bytes;

namespace exif_bytes {

bool starts_with_nocase(const uint8_t* p, uint32_t size, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (p == nullptr || size < n) return false;
  for (size_t i = 0; i < n; ++i) {
    auto lower = [](int c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    if (lower(p[i]) != lower(static_cast<unsigned char>(prefix[i]))) return false;
  }
  return true;
}

void text_printf(char* out, size_t size, const char* format, ...) {
  if (size == 0) return;
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(out, size, format, args);
  va_end(args);
  if (n < 0) out[0] = '\0';
}

void text_copy(char* out, size_t size, const uint8_t* bytes, size_t length) {
  if (size == 0) return;
  if (length > size - 1) length = size - 1;
  size_t i = 0;
  for (; i < length && bytes[i] != 0; ++i) out[i] = static_cast<char>(bytes[i]);
  out[i] = '\0';
}

}  // namespace exif_bytes

uint32_t exif_type_size(uint32_t type) {
  static constexpr uint8_t kSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type < 13 ? kSizes[type] : 0;
}

bool exif_read_entry(const ExifBlock& block, uint32_t ifd_pos, uint32_t index, ExifEntry* entry,
                     int64_t offset_shift) {
  uint64_t pos = uint64_t{ifd_pos} + 2 + uint64_t{index} * 12;
  if (!inside(block, pos, 12)) return false;
  auto at = static_cast<uint32_t>(pos);
  ExifEntry e{};
  e.tag = get16(block, at);
  e.type = get16(block, at + 2);
  e.count = get32(block, at + 4);
  uint32_t type_size = exif_type_size(e.type);
  if (type_size == 0) return false;
  uint64_t bytes = uint64_t{e.count} * type_size;
  if (bytes > block.size) return false;  // also refuses counts whose byte size overflows
  e.byte_size = static_cast<uint32_t>(bytes);
  if (bytes <= 4) {
    e.value_pos = at + 8;
  } else {
    const int64_t value_pos = int64_t{get32(block, at + 8)} + offset_shift;
    if (value_pos < 0 || !inside(block, static_cast<uint64_t>(value_pos), bytes)) return false;
    e.value_pos = static_cast<uint32_t>(value_pos);
  }
  *entry = e;
  return true;
}

bool exif_type_fits(const ExifBlock& block, const ExifEntry& entry, uint32_t expected) {
  if (expected == 0 || expected == entry.type) return true;
  // exif_read_entry placed all count x size bytes inside the block.
  const uint32_t size = exif_type_size(entry.type);
  if (size == 0 || entry.byte_size != uint64_t{entry.count} * size) return false;
  auto every_part = [&](uint32_t step, auto fits) {
    for (uint32_t i = 0; i < entry.byte_size / step; ++i) {
      if (!fits(block, entry.value_pos + i * step)) return false;
    }
    return true;
  };
  if (expected == kExifLong && entry.type == kExifShort) return true;
  if (expected == kExifShort && entry.type == kExifLong)
    return every_part(4, [](const ExifBlock& b, uint32_t at) { return get32(b, at) <= 0xFFFFu; });
  if ((expected == kExifRational && entry.type == kExifSRational) ||
      (expected == kExifSRational && entry.type == kExifRational)) {
    // Either way the parts must lie in 0 .. 2^31 - 1, where both readings agree.
    return every_part(4, [](const ExifBlock& b, uint32_t at) { return get32(b, at) <= 0x7FFFFFFFu; });
  }
  return false;
}

namespace {

// The first value as numerator and denominator (denominator 1 for non-rational types).
// False when the entry holds no complete first value or has no numeric reading.
bool first_value(const ExifBlock& b, const ExifEntry& e, int64_t* num, int64_t* den,
                 double* real) {
  uint32_t need = exif_type_size(e.type);
  if (need == 0 || e.byte_size < need) return false;
  const uint8_t* p = b.data + e.value_pos;
  *den = 1;
  *real = NAN;
  switch (e.type) {
    case kExifByte: *num = p[0]; return true;
    case kExifSByte: *num = static_cast<int8_t>(p[0]); return true;
    case kExifShort: *num = get16(b, e.value_pos); return true;
    case kExifSShort: *num = static_cast<int16_t>(get16(b, e.value_pos)); return true;
    case kExifLong: *num = get32(b, e.value_pos); return true;
    case kExifSLong: *num = static_cast<int32_t>(get32(b, e.value_pos)); return true;
    case kExifRational:
      *num = get32(b, e.value_pos);
      *den = get32(b, e.value_pos + 4);
      return true;
    case kExifSRational:
      *num = static_cast<int32_t>(get32(b, e.value_pos));
      *den = static_cast<int32_t>(get32(b, e.value_pos + 4));
      return true;
    case kExifFloat: {
      uint32_t bits = get32(b, e.value_pos);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      *real = f;
      return true;
    }
    case kExifDouble: {
      uint64_t hi = get32(b, e.value_pos), lo = get32(b, e.value_pos + 4);
      uint64_t bits = b.big_endian ? (hi << 32) | lo : (lo << 32) | hi;
      double d;
      std::memcpy(&d, &bits, sizeof d);
      *real = d;
      return true;
    }
    default: return false;  // ASCII, UNDEFINED
  }
}

}  // namespace

double exif_value(const ExifBlock& block, const ExifEntry& entry) {
  int64_t num = 0, den = 1;
  double real = NAN;
  if (!first_value(block, entry, &num, &den, &real)) return 0.0;
  if (entry.type == kExifFloat || entry.type == kExifDouble) return real;
  if (den == 0) return 0.0;
  return static_cast<double>(num) / static_cast<double>(den);
}

int64_t exif_value_int(const ExifBlock& block, const ExifEntry& entry) {
  double v = exif_value(block, entry);
  if (!(v > -9.2e18 && v < 9.2e18)) return 0;  // NaN and values out of range
  return static_cast<int64_t>(v);
}

void exif_format_rational(int64_t numerator, int64_t denominator, char* out, size_t size) {
  long long n = numerator, d = denominator;
  if (n == 0) {
    text_printf(out, size, "0");
  } else if (d == 1) {
    text_printf(out, size, "%lld", n);
  } else if (d == 0) {
    text_printf(out, size, "%lld/0", n);
  } else {
    long long g = std::gcd(std::llabs(n), std::llabs(d));
    text_printf(out, size, "%lld/%lld", n / g, d / g);
  }
}

void exif_format_short_float(double value, char* out, size_t size) {
  text_printf(out, size, "%.6f", value);
  if (std::strchr(out, '.') == nullptr) return;
  size_t n = std::strlen(out);
  while (n > 0 && out[n - 1] == '0') out[--n] = '\0';
}

void exif_format_generic(const ExifBlock& block, const ExifEntry& entry, char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  const uint8_t* p = block.data + entry.value_pos;
  switch (entry.type) {
    case kExifAscii:
    case kExifUndefined:
      text_copy(out, size, p, entry.byte_size);
      return;
    case kExifFloat:
    case kExifDouble:
      if (entry.byte_size >= exif_type_size(entry.type))
        exif_format_short_float(exif_value(block, entry), out, size);
      return;
    default: break;
  }
  int64_t num = 0, den = 1;
  double real = 0;
  if (!first_value(block, entry, &num, &den, &real)) return;
  if (entry.type == kExifRational || entry.type == kExifSRational) {
    exif_format_rational(num, den, out, size);
  } else {
    // The integer types, signed ones with their sign.
    text_printf(out, size, "%lld", static_cast<long long>(num));
  }
}

const char* exif_value_name(const ExifValueName* values, uint32_t value) {
  if (values == nullptr) return "";
  const ExifValueName* row = values;
  while (row->value != kExifValueEnd && row->value != value) ++row;
  return row->text != nullptr ? row->text : exif_text(row->text_id);
}

const char* exif_tag_name(const ExifTagDef& def) {
  return def.text != nullptr ? def.text : exif_text(def.text_id);
}

const ExifTagDef* exif_find_tag(const ExifTagTable& table, uint32_t tag) {
  for (size_t i = 0; i < table.count; ++i) {
    if (table.defs[i].tag == tag) return &table.defs[i];
  }
  return nullptr;
}

void exif_lookup_value(const ExifBlock& block, const ExifEntry& entry, const ExifTagDef& def,
                       char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  if (def.type == kExifAscii) {
    if (entry.byte_size == def.count) text_copy(out, size, block.data + entry.value_pos, entry.byte_size);
    return;
  }
  if (def.values == nullptr) return;
  // Read by the entry's own type, so that a SHORT in a big-endian block reads the same as in a
  // little-endian one.
  int64_t num = 0, den = 1;
  double real = 0;
  if (!first_value(block, entry, &num, &den, &real)) return;
  int64_t v = exif_value_int(block, entry);
  text_printf(out, size, "%s", exif_value_name(def.values, static_cast<uint32_t>(v)));
}

}  // namespace lumora
