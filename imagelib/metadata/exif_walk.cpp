// The walk over an Exif block: IFD0 (camera), then the Exif, interoperability and GPS
// directories it points to, the thumbnail IFD1, and the maker note (Exif 2.2 section 4.6.2:
// the TIFF structure of the APP1 body; TIFF 6.0 section 2: image file directories).
#include <cstring>

#include "imagelib/metadata/exif.h"
#include "imagelib/metadata/exif_bytes.h"
#include "imagelib/metadata/exif_internal.h"

namespace lumora {

using namespace exif_bytes;

namespace {

constexpr uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint32_t kTagMake = 0x10F;
constexpr uint32_t kTagMakerNote = 0x927C;
constexpr uint32_t kTagExifIfd = 0x8769;
constexpr uint32_t kTagGpsIfd = 0x8825;
constexpr uint32_t kTagIopIfd = 0xA005;
// Real files hold five or six directories; a block that chains more is not walked further.
constexpr int kMaxDirectories = 32;

const MetadataChunk* find_exif_chunk(const MetadataChunk* chunks) {
  for (const MetadataChunk* c = chunks; c != nullptr; c = c->next) {
    if (c->kind == kChunkExif && c->size >= 6 && c->data != nullptr &&
        std::memcmp(c->data, kExifHeader, 6) == 0)
      return c;
  }
  return nullptr;
}

struct Walk {
  ExifBlock block;
  ExifSink sink;
  int maker = kMakerNone;
  bool exif_found = false, gps_found = false, iop_found = false;
  uint32_t exif_pos = 0, gps_pos = 0, iop_pos = 0;
  uint32_t visited[kMaxDirectories] = {};
  int visited_count = 0;

  // False when the directory was walked already (a loop) or too many were walked.
  bool can_visit(uint32_t pos) const {
    for (int i = 0; i < visited_count; ++i) {
      if (visited[i] == pos) return false;
    }
    return visited_count < kMaxDirectories;
  }
  bool visit(uint32_t pos) {
    if (!can_visit(pos)) return false;
    visited[visited_count++] = pos;
    return true;
  }
  void header(uint32_t section) const { sink.emit(section, 0, exif_section_title(section), nullptr); }
  void walk_ifd(uint32_t pos, uint32_t section, const ExifTagTable& table, bool first);
  void walk_gps(uint32_t pos);
};

void Walk::walk_ifd(uint32_t pos, uint32_t section, const ExifTagTable& table, bool first) {
  if (!visit(pos)) return;
  if (first) header(kExifSectionCamera);
  uint16_t n = 0;
  if (!read16(block, pos, &n)) return;
  // The directory must be followed by its 4-byte next-IFD offset; some writers end the block
  // right after the entries (or two bytes later), which is accepted too.
  uint64_t entries_end = uint64_t{pos} + 2 + uint64_t{n} * 12;
  bool has_next = inside(block, entries_end, 4);
  if (!has_next && entries_end != block.size && entries_end + 2 != block.size) return;

  bool note_found = false;
  uint32_t note_pos = 0, note_size = 0;
  char text[kExifTextSize];
  for (uint32_t i = 0; i < n; ++i) {
    ExifEntry e;
    if (!exif_read_entry(block, pos, i, &e)) continue;
    const ExifTagDef* def = exif_find_tag(table, e.tag);
    text[0] = '\0';
    if (def != nullptr) exif_format_value(block, e, *def, text, sizeof text);
    if (e.tag == kTagMake) {
      if (def == nullptr) exif_format_generic(block, e, text, sizeof text);
      maker = exif_maker_from_make(text);
    }
    if (e.tag == kTagMakerNote) {
      note_found = true;
      note_pos = e.value_pos;
      note_size = e.byte_size;
      continue;
    }
    if (def != nullptr && text[0] != '\0') sink.emit(section, e.tag, exif_tag_name(*def), text);
    if (e.tag == kTagExifIfd || e.tag == kTagGpsIfd || e.tag == kTagIopIfd) {
      if (e.type != kExifLong && e.type != kExifShort) continue;
      int64_t offset = exif_value_int(block, e);
      if (offset <= 0 || offset >= block.size) continue;
      auto at = static_cast<uint32_t>(offset);
      if (e.tag == kTagExifIfd) exif_found = true, exif_pos = at;
      if (e.tag == kTagGpsIfd) gps_found = true, gps_pos = at;
      if (e.tag == kTagIopIfd) iop_found = true, iop_pos = at;
    }
  }

  if (first) {
    if (exif_found && can_visit(exif_pos)) {
      header(kExifSectionImage);
      walk_ifd(exif_pos, kExifSectionImage, exif_exif_table(), false);
    }
    if (iop_found && can_visit(iop_pos)) {
      header(kExifSectionIop);
      walk_ifd(iop_pos, kExifSectionIop, exif_iop_table(), false);
    }
    if (gps_found && visit(gps_pos)) {
      header(kExifSectionGps);
      walk_gps(gps_pos);
    }
  }

  if (has_next) {
    uint32_t next = get32(block, static_cast<uint32_t>(entries_end));
    // Only a directory further on is followed: that and the visited list end any loop.
    if (next != 0 && next < block.size && next > pos && can_visit(next)) {
      header(kExifSectionThumbnail);
      walk_ifd(next, kExifSectionThumbnail, exif_ifd0_table(), false);
    }
  }

  if (note_found && sink.callback != nullptr) {
    header(kExifSectionMakernotes);
    makernote_decode(maker, block, note_pos, note_size, sink);
  }
}

void Walk::walk_gps(uint32_t pos) {
  exif_walk_table_ifd(block, pos, exif_gps_table(), exif_format_gps, kExifSectionGps, sink);
  char text[kExifTextSize];
  if (exif_gps_position(block, pos, text, sizeof text)) sink.emit(kExifSectionGps, 0, "Position", text);
}

}  // namespace

void exif_walk_table_ifd(const ExifBlock& block, uint32_t ifd_pos, const ExifTagTable& table,
                         ExifEntryFormatter formatter, uint32_t section, const ExifSink& sink) {
  uint16_t n = 0;
  if (!read16(block, ifd_pos, &n)) return;
  char text[kExifTextSize];
  for (uint32_t i = 0; i < n; ++i) {
    ExifEntry e;
    if (!inside(block, uint64_t{ifd_pos} + 2 + uint64_t{i} * 12, 12)) break;
    if (!exif_read_entry(block, ifd_pos, i, &e)) continue;
    const ExifTagDef* def = exif_find_tag(table, e.tag);
    if (def == nullptr) continue;
    if (!exif_type_fits(block, e, def->type)) continue;
    if (def->values != nullptr || (def->type == kExifAscii && def->count != 0))
      exif_lookup_value(block, e, *def, text, sizeof text);
    else
      exif_format_generic(block, e, text, sizeof text);
    if (formatter != nullptr) formatter(block, e, *def, text, sizeof text);
    if (text[0] != '\0') sink.emit(section, 0, exif_tag_name(*def), text);
  }
}

int exif_present(const MetadataChunk* chunks) { return find_exif_chunk(chunks) != nullptr ? 1 : 0; }

int exif_enumerate(const MetadataChunk* chunks, ExifCallback callback, void* user) {
  const MetadataChunk* chunk = find_exif_chunk(chunks);
  if (chunk == nullptr || chunk->size < 6 + 8) return 0;
  Walk walk;
  walk.block.data = chunk->data + 6;
  walk.block.size = chunk->size - 6;
  const uint8_t* d = walk.block.data;
  if (d[0] == 'I' && d[1] == 'I') walk.block.big_endian = false;
  else if (d[0] == 'M' && d[1] == 'M') walk.block.big_endian = true;
  else return 0;
  if (get16(walk.block, 2) != 42) return 0;  // TIFF 6.0 section 2: the magic number
  walk.sink = ExifSink{callback, user};
  uint32_t ifd0 = get32(walk.block, 4);
  walk.walk_ifd(ifd0, kExifSectionCamera, exif_ifd0_table(), true);
  return 1;
}

}  // namespace lumora
