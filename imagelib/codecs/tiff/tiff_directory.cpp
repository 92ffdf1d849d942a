// The TIFF header, the chain of image file directories and the tags of one directory
// (TIFF 6.0 sections 2 and 8).
#include <unordered_set>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

// Pages beyond this are not counted (a chain of a million tiny directories is not a picture).
constexpr size_t kMaxPages = 65536;

TiffField make_field(const TiffFile& f, const uint8_t* e) {
  TiffField field;
  field.present = true;
  field.tag = f.u16(e);
  field.type = f.u16(e + 2);
  field.count = f.u32(e + 4);
  for (int i = 0; i < 4; ++i) field.raw[i] = e[8 + i];
  return field;
}

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

int read_file_header(TiffFile* f, uint32_t* first_directory) {
  uint8_t b[8];
  if (stream_read(f->stream, b, 2) != kStatusOk) return kStatusFileEndsEarly;
  if (b[0] == 'I' && b[1] == 'I') {
    f->big_endian = false;
  } else if (b[0] == 'M' && b[1] == 'M') {
    f->big_endian = true;
  } else {
    return kStatusNotRecognised;
  }
  if (stream_read(f->stream, b + 2, 2) != kStatusOk) return kStatusFileEndsEarly;
  if (f->u16(b + 2) != 42) return kStatusNotRecognised;
  if (stream_read(f->stream, b + 4, 4) != kStatusOk) return kStatusNotRecognised;
  *first_directory = f->u32(b + 4);
  return kStatusOk;
}

int list_directories(const TiffFile& f, uint32_t first, std::vector<uint64_t>* offsets) {
  offsets->clear();
  std::unordered_set<uint64_t> seen;
  uint64_t offset = first;
  try {
    while (offsets->size() < kMaxPages) {
      // A directory needs its entry count and its next-directory offset inside the file.
      uint8_t b[4];
      if (offset < 8 || f.read_at(offset, b, 2) != kStatusOk) break;
      const uint64_t entries = f.u16(b);
      const uint64_t next_at = offset + 2 + entries * 12;
      if (f.read_at(next_at, b, 4) != kStatusOk) break;
      const uint32_t next = f.u32(b);
      seen.insert(offset);
      // A next offset that points nowhere usable takes this directory off the count, as does a
      // negative one; a loop back to a directory already seen only ends the walk.
      if (next != 0 && (static_cast<int32_t>(next) < 0 || next >= f.size)) break;
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
  uint8_t b[12];
  if (f.read_at(offset, b, 2) != kStatusOk) return kStatusFileEndsEarly;
  const uint32_t entries = f.u16(b);
  bool rows_per_strip_given = false, samples_given = false;
  for (uint32_t i = 0; i < entries; ++i) {
    if (f.read_at(offset + 2 + 12ull * i, b, 12) != kStatusOk) return kStatusFileEndsEarly;
    const TiffField field = make_field(f, b);
    // Fields of unknown types are skipped (TIFF 6.0 section 2): their values cannot be read.
    if (field_type_size(field.type) == 0) continue;
    const uint32_t v = field_scalar(f, field);
    switch (field.tag) {
      case 256: page->width = v; break;
      case 257: page->length = v; break;
      case 258:
        page->bits_values = field.count;
        if (field.count > 2) {
          // The values lie at an offset: the first of them serves.
          std::vector<uint32_t> bits;
          const int status = field_numbers(f, field, 1, &bits);
          if (status == kStatusNoMemory) return status;
          page->bits = status == kStatusOk && !bits.empty() ? bits[0] : 0;
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
        std::vector<uint32_t> formats;
        const int status = field_numbers(f, field, 1, &formats);
        if (status == kStatusNoMemory) return status;
        if (status == kStatusOk && !formats.empty()) page->sample_format = formats[0];
        break;
      }
      case 347: page->jpeg_tables = field; break;
      case 513: page->jpeg_interchange = v; break;
      case 529: page->ycbcr_coefficients = field; break;
      case 530:
        if (field.type == 3 && field.count >= 2) {
          page->subsampling_h = f.u16(field.raw);
          page->subsampling_v = f.u16(field.raw + 2);
        }
        break;
      case 33723: page->iptc = field; break;
      case 34377: page->photoshop = field; break;
      case 34665: page->has_exif = true; page->exif_offset = v; break;
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
