#pragma once
// The parsed Exif list a reader collects (the TIFF reader keeps a picture's tags this way) and its
// rebuild into one Exif block: "Exif", two NUL bytes, then a TIFF-structured body (TIFF 6.0
// section 2) with the main directory and, when there are such entries, the Exif sub-directory.
#include <cstdint>

namespace lumora {

struct LoadContext;

constexpr uint32_t kExifDirMain = 1;   // IFD0
constexpr uint32_t kExifDirExif = 2;   // the Exif private directory (pointer tag 34665)
constexpr uint16_t kExifIfdPointerTag = 34665;

// One collected tag (named apart from the Exif reader's located entry, ExifEntry).
struct ParsedExifEntry {
  uint16_t tag;
  uint16_t type;        // TIFF field type (1 byte, 2 ASCII, 3 short, 4 long, 5 rational, ...)
  uint32_t directory;   // kExifDirMain or kExifDirExif; entries of other directories are left out
  uint32_t count;       // number of values
  uint32_t value;       // the plain value when there is no data
  uint32_t data_size;   // bytes of `data`
  uint8_t* data;        // raw value bytes in the list's byte order (malloc), or null
};

struct ExifList {
  bool big_endian;
  uint32_t count;
  uint32_t capacity;
  ParsedExifEntry* entries;   // malloc'd array; entry data is owned by the list
};

// Creates an empty list; null when memory is short.
ExifList* exif_list_create(bool big_endian);
// Appends a zeroed entry and returns it for the caller to fill (valid until the next add); null
// when memory is short. A `data` pointer stored in the entry passes to the list.
ParsedExifEntry* exif_list_add(ExifList* list);
// Frees the entries, their data and the list. Null does nothing.
void exif_list_destroy(ExifList* list);

// Reader services on the load context: exif_begin creates the context's list once per load (a
// second call keeps the existing list) and returns 0 or 1 (memory); exif_add_entry appends a
// zeroed entry (null when memory is short or exif_begin was not called).
int exif_begin(LoadContext* context, bool big_endian);
ParsedExifEntry* exif_add_entry(LoadContext* context);

// Builds the Exif block from `list` into a malloc'd buffer (*data, *size). Returns 0, 1 when
// memory is short, or 9 when the list cannot be expressed (more than 65535 entries in a
// directory, or a block beyond 4 GiB); *data is then null.
int exif_rebuild(const ExifList* list, uint8_t** data, uint32_t* size);

}  // namespace lumora
