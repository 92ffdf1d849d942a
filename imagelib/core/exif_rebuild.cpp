// The parsed Exif list and its rebuild into an Exif block ("Exif\0\0" + a TIFF structure,
// TIFF 6.0 section 2: header, image file directories of 12-byte entries, values of more than
// four bytes in a data area addressed by offsets from the start of the TIFF header).
#include "imagelib/core/exif_rebuild.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/core/load.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

constexpr uint32_t kExifHeaderBytes = 6;   // "Exif", 0, 0
constexpr uint32_t kTiffHeaderBytes = 8;   // byte order, 42, offset of the first directory
constexpr uint64_t kMaxBlock = 0xFFFFFFFFu;

// TIFF field type 3 (SHORT) and 8 (SSHORT): a single value sits in the first two bytes.
bool is_short_type(uint16_t type) { return type == 3 || type == 8; }

bool has_data(const ParsedExifEntry& e) { return e.data != nullptr && e.data_size > 0; }

// Bytes an entry adds to its directory's data area (kept at even offsets, as TIFF asks).
uint64_t area_bytes(const ParsedExifEntry& e) {
  if (!has_data(e) || e.data_size <= 4) return 0;
  return (static_cast<uint64_t>(e.data_size) + 1) & ~uint64_t{1};
}

class Writer {
 public:
  Writer(uint8_t* base, bool big_endian) : base_(base), big_(big_endian) {}
  void u16(uint64_t at, uint32_t v) {
    uint8_t* p = base_ + at;
    if (big_) {
      p[0] = static_cast<uint8_t>(v >> 8);
      p[1] = static_cast<uint8_t>(v);
    } else {
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
    }
  }
  void u32(uint64_t at, uint32_t v) {
    if (big_) {
      u16(at, v >> 16);
      u16(at + 2, v & 0xFFFF);
    } else {
      u16(at, v & 0xFFFF);
      u16(at + 2, v >> 16);
    }
  }
  void bytes(uint64_t at, const uint8_t* data, uint32_t n) { std::memcpy(base_ + at, data, n); }

 private:
  uint8_t* base_;  // start of the TIFF header: offsets count from here
  bool big_;
};

struct Directory {
  std::vector<const ParsedExifEntry*> entries;
  bool pointer_to_exif = false;  // one more entry: tag 34665 pointing to the Exif directory
  uint64_t offset = 0;           // of the directory, from the TIFF header
  uint64_t entry_count() const { return entries.size() + (pointer_to_exif ? 1 : 0); }
  uint64_t table_bytes() const { return 2 + 12 * entry_count() + 4; }
  uint64_t data_bytes() const {
    uint64_t n = 0;
    for (const ParsedExifEntry* e : entries) n += area_bytes(*e);
    return n;
  }
};

// Writes one directory at dir.offset, its data area right after it.
void write_directory(Writer& w, const Directory& dir, uint64_t exif_offset) {
  w.u16(dir.offset, static_cast<uint32_t>(dir.entry_count()));
  uint64_t entry_at = dir.offset + 2;
  uint64_t data_at = dir.offset + dir.table_bytes();
  for (const ParsedExifEntry* e : dir.entries) {
    w.u16(entry_at, e->tag);
    w.u16(entry_at + 2, e->type);
    w.u32(entry_at + 4, e->count);
    const uint64_t field = entry_at + 8;
    w.u32(field, 0);
    if (has_data(*e) && e->data_size > 4) {
      w.bytes(data_at, e->data, e->data_size);
      w.u32(field, static_cast<uint32_t>(data_at));
      data_at += area_bytes(*e);
    } else if (has_data(*e)) {
      w.bytes(field, e->data, e->data_size);
    } else if (e->count == 1 && is_short_type(e->type)) {
      w.u16(field, e->value & 0xFFFF);
    } else {
      w.u32(field, e->value);
    }
    entry_at += 12;
  }
  if (dir.pointer_to_exif) {
    w.u16(entry_at, kExifIfdPointerTag);
    w.u16(entry_at + 2, 4);  // LONG
    w.u32(entry_at + 4, 1);
    w.u32(entry_at + 8, static_cast<uint32_t>(exif_offset));
    entry_at += 12;
  }
  w.u32(entry_at, 0);  // no next directory
}

}  // namespace

ExifList* exif_list_create(bool big_endian) {
  auto* list = static_cast<ExifList*>(std::calloc(1, sizeof(ExifList)));
  if (list) list->big_endian = big_endian;
  return list;
}

ParsedExifEntry* exif_list_add(ExifList* list) {
  if (!list) return nullptr;
  if (list->count == list->capacity) {
    if (list->capacity > 0x7FFFFFFu) return nullptr;
    const uint32_t capacity = list->capacity ? list->capacity * 2 : 32;
    auto* grown = static_cast<ParsedExifEntry*>(std::realloc(list->entries, capacity * sizeof(ParsedExifEntry)));
    if (!grown) return nullptr;
    list->entries = grown;
    list->capacity = capacity;
  }
  ParsedExifEntry* e = &list->entries[list->count++];
  std::memset(e, 0, sizeof(*e));
  return e;
}

void exif_list_destroy(ExifList* list) {
  if (!list) return;
  for (uint32_t i = 0; i < list->count; ++i) std::free(list->entries[i].data);
  std::free(list->entries);
  std::free(list);
}

int exif_begin(LoadContext* context, bool big_endian) {
  if (context->exif) return 0;
  context->exif = exif_list_create(big_endian);
  return context->exif ? 0 : kStatusNoMemory;
}

ParsedExifEntry* exif_add_entry(LoadContext* context) { return exif_list_add(context->exif); }

int exif_rebuild(const ExifList* list, uint8_t** data, uint32_t* size) {
  *data = nullptr;
  *size = 0;
  try {
    Directory main_dir, exif_dir;
    for (uint32_t i = 0; list && i < list->count; ++i) {
      const ParsedExifEntry& e = list->entries[i];
      if (e.directory == kExifDirMain) {
        // The pointer to the Exif directory is written by the rebuild itself; an offset taken
        // from the reader's file would point anywhere.
        if (e.tag != kExifIfdPointerTag) main_dir.entries.push_back(&e);
      } else if (e.directory == kExifDirExif) {
        exif_dir.entries.push_back(&e);
      }
    }
    main_dir.pointer_to_exif = !exif_dir.entries.empty();
    if (main_dir.entry_count() > 0xFFFF || exif_dir.entry_count() > 0xFFFF) return kStatusImpossible;

    main_dir.offset = kTiffHeaderBytes;
    exif_dir.offset = main_dir.offset + main_dir.table_bytes() + main_dir.data_bytes();
    uint64_t tiff_bytes = exif_dir.offset;
    if (main_dir.pointer_to_exif) tiff_bytes += exif_dir.table_bytes() + exif_dir.data_bytes();
    const uint64_t total = kExifHeaderBytes + tiff_bytes;
    if (total > kMaxBlock) return kStatusImpossible;

    auto* block = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(total)));
    if (!block) return kStatusNoMemory;
    std::memcpy(block, "Exif\0\0", kExifHeaderBytes);
    const bool big = list && list->big_endian;
    uint8_t* tiff = block + kExifHeaderBytes;
    tiff[0] = tiff[1] = big ? 'M' : 'I';
    Writer w(tiff, big);
    w.u16(2, 42);
    w.u32(4, kTiffHeaderBytes);
    write_directory(w, main_dir, exif_dir.offset);
    if (main_dir.pointer_to_exif) write_directory(w, exif_dir, 0);
    *data = block;
    *size = static_cast<uint32_t>(total);
    return 0;
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
}

}  // namespace lumora
