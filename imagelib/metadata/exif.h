#pragma once
// Exif reader: turns an Exif block (a MetadataChunk of kind 1: "Exif", two NUL bytes, then a
// TIFF-structured body) into named, formatted lines of 8-bit text, grouped into sections, and
// hands each line to a callback. Camera maker notes are decoded after the walk.
//
// Every offset, count and type read from the block is checked before use: a value is read only
// when it lies wholly inside the block, a directory already walked is not walked again, and a
// broken block yields the lines that could be read.
#include <cstddef>
#include <cstdint>

#include "imagelib/core/bitmap.h"

namespace lumora {

// TIFF 6.0 field types (section 2, "IFD Entry").
enum ExifFieldType : uint16_t {
  kExifByte = 1,
  kExifAscii = 2,
  kExifShort = 3,
  kExifLong = 4,
  kExifRational = 5,
  kExifSByte = 6,
  kExifUndefined = 7,
  kExifSShort = 8,
  kExifSLong = 9,
  kExifSRational = 10,
  kExifFloat = 11,
  kExifDouble = 12,
};

// Sections of the lines, in the order they are walked (except the thumbnail, which follows the
// directories of IFD0).
enum ExifSection : uint32_t {
  kExifSectionCamera = 1,
  kExifSectionImage = 2,
  kExifSectionIop = 4,
  kExifSectionThumbnail = 8,
  kExifSectionGps = 16,
  kExifSectionMakernotes = 32,
};

// Maker numbers taken from the camera make (tag 271).
enum ExifMaker : int {
  kMakerNone = 0,
  kMakerCanon = 1,
  kMakerOlympus = 2,
  kMakerFujifilm = 3,
  kMakerNikon = 4,
  kMakerCasio = 5,
  kMakerMinolta = 6,
  kMakerSigma = 7,   // Sigma and Foveon
  kMakerSanyo = 8,
};

// One row of a value table. Tables end with a row whose value is kExifValueEnd; its text
// ("Other") is what a value that matches no row gets.
struct ExifValueName {
  uint32_t value;
  uint32_t text_id;   // key into the text table, used when `text` is null
  const char* text;
};
constexpr uint32_t kExifValueEnd = 0xFFFFFFFFu;

// One known tag.
struct ExifTagDef {
  uint32_t tag;
  uint32_t type;      // expected field type, 0 for any
  uint32_t count;     // exact byte count required of ASCII fields, else 0
  uint32_t text_id;   // key into the text table, used when `text` is null
  const char* text;
  const ExifValueName* values;  // names of enumerated values, or null
};

// A tag table with its length (tables may hold tag 0, so no sentinel row is used).
struct ExifTagTable {
  const ExifTagDef* defs;
  size_t count;
};

// The TIFF body of a block (or of a maker note with its own offsets base) and its byte order.
struct ExifBlock {
  const uint8_t* data;
  uint32_t size;
  bool big_endian;
};

// One directory entry whose value has been located: `value_pos` is where the value's bytes
// start in the block and `byte_size` (count x type size) bytes from there lie inside it.
struct ExifEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t byte_size;
  uint32_t value_pos;
};

// The callback of the Exif and maker-note lines. A section header comes as tag 0, the section's
// title as `name` and a null `text`; a line comes with the TIFF tag number (0 inside maker notes
// and GPS), the tag's name and its formatted value.
using ExifCallback = void (*)(void* user, uint32_t section, uint32_t tag, const char* name,
                              const char* text);

// Output texts are at most 255 bytes plus the NUL.
constexpr size_t kExifTextSize = 256;

// 1 when the list holds a kind-1 chunk of at least 6 bytes starting "Exif\0\0".
int exif_present(const MetadataChunk* chunks);
// 0 when there is no such chunk or its TIFF header is not valid (nothing is called); 1 after a
// walk. `callback` may be null (the walk then only validates).
int exif_enumerate(const MetadataChunk* chunks, ExifCallback callback, void* user);

// The numeric reading of an entry's first value: integers as numbers, rationals as numerator /
// denominator (0 when the denominator is 0), floats as they are, ASCII and UNDEFINED as 0.
double exif_value(const ExifBlock& block, const ExifEntry& entry);
// The first value as a signed integer (rationals and floats truncated).
int64_t exif_value_int(const ExifBlock& block, const ExifEntry& entry);

// Locates entry `index` of the directory at `ifd_pos`. False when the entry lies outside the
// block, its type is invalid, its byte size overflows or its value lies outside the block.
// `offset_shift` is added to the offset of a value stored outside the entry (a maker note that
// editing software moved without rewriting its offsets).
bool exif_read_entry(const ExifBlock& block, uint32_t ifd_pos, uint32_t index, ExifEntry* entry,
                     int64_t offset_shift = 0);
// Size in bytes of one value of a field type; 0 for invalid types.
uint32_t exif_type_size(uint32_t type);
// True when the entry can be read as the field type `expected` (0 for any) without changing the
// meaning of any of its values: the same type; SHORT for LONG; LONG for SHORT when every value
// fits in 16 bits; SRATIONAL for RATIONAL when no numerator or denominator is negative; RATIONAL
// for SRATIONAL when every part fits in 31 bits. Writers do store such types (phones write GPS
// coordinates as SRATIONAL), and the values are plainly the ones the tag means.
bool exif_type_fits(const ExifBlock& block, const ExifEntry& entry, uint32_t expected);

// "0", "n", "n/0" or the fraction reduced by the greatest common divisor.
void exif_format_rational(int64_t numerator, int64_t denominator, char* out, size_t size);
// "%.6f" with trailing zeros removed (the decimal point stays: "35.").
void exif_format_short_float(double value, char* out, size_t size);
// The generic rules by field type (ASCII copied, integers, reduced fractions, short floats,
// UNDEFINED bytes up to the first zero byte).
void exif_format_generic(const ExifBlock& block, const ExifEntry& entry, char* out, size_t size);
// Value-table lookup for GPS and maker-note records: ASCII records copy their text when the
// byte count is the record's; others give the matching row's name or "Other". Empty when the
// record has no value table and is not ASCII.
void exif_lookup_value(const ExifBlock& block, const ExifEntry& entry, const ExifTagDef& def,
                       char* out, size_t size);
// Formats one entry of the camera, image, interoperability or thumbnail sections.
void exif_format_value(const ExifBlock& block, const ExifEntry& entry, const ExifTagDef& def,
                       char* out, size_t size);

// The text table: the name with that id, or "" when there is none.
const char* exif_text(uint32_t id);
// A record's name: its own text, else the text table's.
const char* exif_tag_name(const ExifTagDef& def);
// The name of `value` in a value table ("Other" from the end row when no row matches).
const char* exif_value_name(const ExifValueName* values, uint32_t value);
// The record for `tag` in a table, or null.
const ExifTagDef* exif_find_tag(const ExifTagTable& table, uint32_t tag);
// The title of a section ("Camera", "Image", ...), or "" for an unknown code.
const char* exif_section_title(uint32_t section);
// The maker number for a camera make (prefixes compared ignoring ASCII case).
int exif_maker_from_make(const char* make);

// The tables of the main sections.
const ExifTagTable& exif_ifd0_table();
const ExifTagTable& exif_exif_table();
const ExifTagTable& exif_iop_table();
const ExifTagTable& exif_gps_table();

}  // namespace lumora
