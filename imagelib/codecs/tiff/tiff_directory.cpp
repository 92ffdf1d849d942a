// The TIFF header, the chain of image file directories and the tags of one directory
// (TIFF 6.0 sections 2 and 8).
#include <algorithm>
#include <unordered_set>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

// Pages beyond this are not counted (a chain of a million tiny directories is not a picture).
constexpr size_t kMaxPages = 65536;
// The header's version: 42 for TIFF 6.0, 43 for BigTIFF.
constexpr uint16_t kVersionClassic = 42;
constexpr uint16_t kVersionBig = 43;

int text_index(uint16_t tag) {
  switch (tag) {
    case 269: return kTextDocumentName;
    case 270: return kTextImageDescription;
    case 271: return kTextMake;
    case 272: return kTextModel;
    case 305: return kTextSoftware;
    case 306: return kTextDateTime;
    case 315: return kTextArtist;
    case 316: return kTextHostComputer;
    case 33432: return kTextCopyright;
    default: return -1;
  }
}

}  // namespace

int read_file_header(TiffFile* f, uint64_t* first_directory) {
  uint8_t b[16];
  if (stream_read(f->stream, b, 2) != kStatusOk) return kStatusFileEndsEarly;
  if (b[0] == 'I' && b[1] == 'I') {
    f->big_endian = false;
  } else if (b[0] == 'M' && b[1] == 'M') {
    f->big_endian = true;
  } else {
    return kStatusNotRecognised;
  }
  if (stream_read(f->stream, b + 2, 2) != kStatusOk) return kStatusFileEndsEarly;
  const uint16_t version = f->u16(b + 2);
  if (version == kVersionClassic) {
    if (stream_read(f->stream, b + 4, 4) != kStatusOk) return kStatusNotRecognised;
    *first_directory = f->u32(b + 4);
    return kStatusOk;
  }
  if (version != kVersionBig) return kStatusNotRecognised;
  // BigTIFF: the offset size (always 8), a zero, then the 8-byte first directory offset.
  if (stream_read(f->stream, b + 4, 12) != kStatusOk) return kStatusNotRecognised;
  if (f->u16(b + 4) != 8 || f->u16(b + 6) != 0) return kStatusNotRecognised;
  f->big_tiff = true;
  *first_directory = f->u64(b + 8);
  return kStatusOk;
}

int list_directories(const TiffFile& f, uint64_t first, std::vector<uint64_t>* offsets) {
  offsets->clear();
  std::unordered_set<uint64_t> seen;
  uint64_t offset = first;
  const uint64_t header_bytes = f.big_tiff ? 16 : 8;
  try {
    while (offsets->size() < kMaxPages) {
      // A directory needs its entry count and its next-directory offset inside the file.
      uint64_t entries = 0;
      if (offset < header_bytes || read_entry_count(f, offset, &entries) != kStatusOk) break;
      if (entries > f.size / f.entry_bytes()) break;
      const uint64_t next_at = offset + f.entry_count_bytes() + entries * f.entry_bytes();
      uint8_t b[8];
      if (next_at < offset || f.read_at(next_at, b, f.offset_bytes()) != kStatusOk) break;
      const uint64_t next = f.offset_at(b);
      seen.insert(offset);
      // A next offset that points nowhere usable takes this directory off the count, as does a
      // negative one; a loop back to a directory already seen only ends the walk.
      const bool negative = !f.big_tiff && static_cast<int32_t>(next) < 0;
      if (next != 0 && (negative || next >= f.size)) break;
      offsets->push_back(offset);
      if (next == 0 || seen.count(next)) break;
      offset = next;
    }
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  return kStatusOk;
}

int read_directory(const TiffFile& f, uint64_t offset, LoadContext* context, TiffPage* page) {
  *page = TiffPage{};
  page->directory_offset = offset;
  uint64_t entries = 0;
  if (read_entry_count(f, offset, &entries) != kStatusOk) return kStatusFileEndsEarly;
  bool rows_per_strip_given = false, samples_given = false;
  for (uint64_t i = 0; i < entries; ++i) {
    TiffField field;
    if (read_entry(f, offset, i, &field) != kStatusOk) return kStatusFileEndsEarly;
    // Fields of unknown types are skipped (TIFF 6.0 section 2): their values cannot be read.
    if (field_type_size(field.type) == 0) continue;
    const uint32_t v = field_scalar(f, field);
    switch (field.tag) {
      case 256: page->width = v; break;
      case 257: page->length = v; break;
      case 258:
        page->bits_values = static_cast<uint32_t>(std::min<uint64_t>(field.count, UINT32_MAX));
        if (!field.inline_in(f)) {
          // The values lie at an offset: the first of them serves.
          std::vector<uint64_t> bits;
          const int status = field_numbers(f, field, 1, &bits);
          if (status == kStatusNoMemory) return status;
          page->bits = status == kStatusOk && !bits.empty() && bits[0] <= UINT32_MAX
                           ? static_cast<uint32_t>(bits[0]) : 0;
        } else {
          page->bits = v;
        }
        break;
      case 259:
        page->compression = v;
        if ((v == 2 || v == 3 || v == 4) && !page->photometric_given) page->photometric = 0;
        break;
      case 262:
        page->photometric = v;
        page->photometric_given = true;
        if (v == 0 || v == 1)
          keep_text(context, "Photometric Interpretation", v == 0 ? "White=0" : "Black=0", 0);
        break;
      case 266: page->fill_order = v; break;
      case 273: page->strip_offsets = field; break;
      case 274: page->orientation = v; break;
      case 277: page->samples = v; samples_given = true; break;
      case 278: page->rows_per_strip = v; rows_per_strip_given = true; break;
      case 279: page->strip_counts = field; break;
      case 282: page->x_resolution = field; break;
      case 283: page->y_resolution = field; break;
      case 284: page->planar = v; break;
      case 286: page->x_position = field; break;
      case 287: page->y_position = field; break;
      case 292: page->t4_options = v; break;
      case 296: page->resolution_unit = v; break;
      case 317: page->predictor = v; break;
      case 320: page->color_map = field; break;
      case 322: page->tile_width = v; break;
      case 323: page->tile_length = v; break;
      case 324: page->tile_offsets = field; break;
      case 325: page->tile_counts = field; break;
      case 338: page->extra_samples = field; break;
      case 339: {
        // One value per sample; beyond two they lie at an offset.
        std::vector<uint64_t> formats;
        const int status = field_numbers(f, field, 1, &formats);
        if (status == kStatusNoMemory) return status;
        if (status == kStatusOk && !formats.empty())
          page->sample_format = static_cast<uint32_t>(std::min<uint64_t>(formats[0], UINT32_MAX));
        break;
      }
      case 347: page->jpeg_tables = field; break;
      case 513:
        page->jpeg_interchange = static_cast<int64_t>(std::min<uint64_t>(field_scalar64(f, field), INT64_MAX));
        break;
      case 529: page->ycbcr_coefficients = field; break;
      case 530:
        if (field.type == 3 && field.count >= 2) {
          page->subsampling_h = f.u16(field.raw);
          page->subsampling_v = f.u16(field.raw + 2);
        }
        break;
      case 33723: page->iptc = field; break;
      case 34377: page->photoshop = field; break;
      case 34665: page->has_exif = true; page->exif_offset = field_scalar64(f, field); break;
      case 34675: page->icc = field; break;
      case 33628: case 34361: case 34362: page->private_format = true; break;
      default: {
        const int t = text_index(field.tag);
        if (t >= 0) page->text[t] = field;
        break;
      }
    }
  }
  if (!samples_given && page->bits_values > 2) page->samples = page->bits_values;
  // Colour pages that state neither count: the samples their interpretation needs.
  if (!samples_given && page->bits_values <= 1) {
    if (page->photometric == 2 || page->photometric == 6 || page->photometric == 8) page->samples = 3;
    if (page->photometric == 5) page->samples = 4;
  }
  if (!rows_per_strip_given || page->rows_per_strip == 0 || page->rows_per_strip > page->length)
    page->rows_per_strip = page->length;
  return kStatusOk;
}

}  // namespace lumora::tiff
