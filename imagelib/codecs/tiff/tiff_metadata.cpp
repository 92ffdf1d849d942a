// Text tags, the comment, the Exif directory, IPTC, Photoshop and ICC data of a TIFF page, and
// its resolution and position.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "imagelib/codecs/tiff/tiff_metadata.h"
#include "imagelib/core/exif_rebuild.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

// Texts and metadata blocks longer than this are not kept (a count near 4 GiB is a broken file).
constexpr uint64_t kMaxTextBytes = 65536;
constexpr uint64_t kMaxBlockBytes = 16u << 20;
constexpr uint32_t kMaxExifEntries = 4096;

// Centimetres to inches.
constexpr double kPerCentimetre = 2.5380710659898478;

int keep_text_field(const TiffFile& f, LoadContext* context, const char* key, const TiffField& field) {
  std::vector<uint8_t> bytes;
  int status = field_bytes(f, field, kMaxTextBytes, &bytes);
  if (status != kStatusOk) return status == kStatusNoMemory ? status : kStatusOk;
  const size_t length = strnlen(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (length == 0) return kStatusOk;
  std::string text(reinterpret_cast<const char*>(bytes.data()), length);
  return key ? keep_text(context, key, text.c_str(), static_cast<int32_t>(length))
             : keep_comment(context, text.c_str(), static_cast<int32_t>(length));
}

// Adds one entry with its raw value bytes (inline or read from the file) to the Exif record.
int add_exif_entry(const TiffFile& f, LoadContext* context, const TiffField& field,
                   uint32_t directory) {
  const uint64_t bytes = field.bytes();
  if (bytes == 0 || bytes > kMaxBlockBytes) return kStatusOk;
  std::vector<uint8_t> data;
  const int status = field_bytes(f, field, bytes, &data);
  if (status == kStatusNoMemory) return status;
  if (status != kStatusOk) return kStatusOk;   // values beyond the file are left out
  auto* copy = static_cast<uint8_t*>(std::malloc(data.size()));
  if (!copy) return kStatusNoMemory;
  std::memcpy(copy, data.data(), data.size());
  ParsedExifEntry* e = exif_add_entry(context);
  if (!e) {
    std::free(copy);
    return kStatusNoMemory;
  }
  e->tag = field.tag;
  e->type = field.type;
  e->directory = directory;
  e->count = static_cast<uint32_t>(field.count);
  e->value = f.u32(field.raw);
  e->data_size = static_cast<uint32_t>(data.size());
  e->data = copy;
  return kStatusOk;
}

int keep_exif(const TiffFile& f, const TiffPage& page, LoadContext* context) {
  if (exif_begin(context, f.big_endian) != kStatusOk) return kStatusNoMemory;
  static constexpr int kMainTags[] = {kTextDocumentName, kTextMake, kTextModel,
                                      kTextSoftware, kTextDateTime, kTextArtist};
  for (int t : kMainTags) {
    const TiffField& field = page.text[t];
    if (!field.present || field.type != 2) continue;
    if (add_exif_entry(f, context, field, kExifDirMain) != kStatusOk) return kStatusNoMemory;
  }
  uint64_t entries = 0;
  if (read_entry_count(f, page.exif_offset, &entries) != kStatusOk) return kStatusOk;
  entries = std::min<uint64_t>(entries, kMaxExifEntries);
  for (uint64_t i = 0; i < entries; ++i) {
    TiffField field;
    if (read_entry(f, page.exif_offset, i, &field) != kStatusOk) break;
    // The rebuilt Exif block is a classic TIFF structure: BigTIFF's 8-byte types have no place
    // in it.
    if (field.type > 13 || field.count > UINT32_MAX) continue;
    if (add_exif_entry(f, context, field, kExifDirExif) != kStatusOk) return kStatusNoMemory;
  }
  return kStatusOk;
}

// A block of kind 2: "Photoshop 3.0", NUL, then `prefix` and the tag's data.
int keep_photoshop_block(const TiffFile& f, LoadContext* context, const TiffField& field,
                         const uint8_t* prefix, size_t prefix_size) {
  if (field.bytes() == 0 || field.bytes() > kMaxBlockBytes) return kStatusOk;
  std::vector<uint8_t> data;
  int status = field_bytes(f, field, kMaxBlockBytes, &data);
  if (status != kStatusOk) return status == kStatusNoMemory ? status : kStatusOk;
  static constexpr char kSignature[] = "Photoshop 3.0";   // with its NUL
  std::vector<uint8_t> block;
  try {
    block.assign(kSignature, kSignature + sizeof kSignature);
    block.insert(block.end(), prefix, prefix + prefix_size);
    block.insert(block.end(), data.begin(), data.end());
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  return keep_chunk(context, 2, block.data(), static_cast<uint32_t>(block.size()));
}

// A rational in dots per inch by the resolution unit: false when it cannot be expressed.
bool resolution_dpi(const TiffFile& f, const TiffField& field, uint32_t unit, int32_t* dpi) {
  uint32_t num = 0, den = 0;
  if (!field_rational(f, field, 0, &num, &den) || den == 0) return false;
  double value;
  switch (unit) {
    case 1: value = static_cast<double>(num / den); break;
    case 2: value = static_cast<double>(num) / den; break;
    case 3: value = static_cast<double>(num) / den * kPerCentimetre; break;
    default: return false;
  }
  if (!(value < 2147483647.0)) return false;
  *dpi = static_cast<int32_t>(value);
  return true;
}

}  // namespace

int keep_page_texts(const TiffFile& f, const TiffPage& page, LoadContext* context) {
  const uint32_t flags = context->params.flags;
  if ((flags & kLoadKeepComment) && page.text[kTextImageDescription].present) {
    int status = keep_text_field(f, context, nullptr, page.text[kTextImageDescription]);
    if (status != kStatusOk) return status;
  }
  if ((flags & kLoadKeepChunks) && page.has_exif) return kStatusOk;   // they go to the Exif record
  static constexpr struct { int index; const char* key; } kLines[] = {
      {kTextArtist, "Artist"},       {kTextCopyright, "Copyright"}, {kTextDateTime, "DateTime"},
      {kTextHostComputer, "HostComputer"}, {kTextMake, "Make"},     {kTextModel, "Model"},
      {kTextSoftware, "Software"},   {kTextDocumentName, "DocumentName"},
  };
  if (!(flags & kLoadKeepText)) return kStatusOk;
  for (const auto& line : kLines) {
    if (!page.text[line.index].present) continue;
    int status = keep_text_field(f, context, line.key, page.text[line.index]);
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

int keep_page_metadata(const TiffFile& f, const TiffPage& page, LoadContext* context) {
  if (!(context->params.flags & kLoadKeepChunks)) return kStatusOk;
  if (page.has_exif) {
    int status = keep_exif(f, page, context);
    if (status != kStatusOk) return status;
  }
  if (page.iptc.present) {
    static constexpr uint8_t kIptcResource[] = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0};
    int status = keep_photoshop_block(f, context, page.iptc, kIptcResource, sizeof kIptcResource);
    if (status != kStatusOk) return status;
  }
  if (page.photoshop.present) {
    int status = keep_photoshop_block(f, context, page.photoshop, nullptr, 0);
    if (status != kStatusOk) return status;
  }
  if (page.icc.present && page.icc.count > 0 && page.bits == 8 && page.icc.bytes() <= kMaxBlockBytes) {
    std::vector<uint8_t> data;
    int status = field_bytes(f, page.icc, kMaxBlockBytes, &data);
    if (status == kStatusNoMemory) return status;
    if (status == kStatusOk && !data.empty()) {
      status = keep_chunk(context, 4, data.data(), static_cast<uint32_t>(data.size()));
      if (status != kStatusOk) return status;
    }
  }
  return kStatusOk;
}

void page_resolution(const TiffFile& f, const TiffPage& page, int32_t* xdpi, int32_t* ydpi) {
  *xdpi = *ydpi = 0;
  int32_t x = 0, y = 0;
  if (resolution_dpi(f, page.x_resolution, page.resolution_unit, &x)) *xdpi = x;
  if (resolution_dpi(f, page.y_resolution, page.resolution_unit, &y)) *ydpi = y;
}

bool page_position(const TiffFile& f, const TiffPage& page, int32_t xdpi, int32_t ydpi,
                   uint32_t* x, uint32_t* y) {
  if (!page.x_position.present || !page.y_position.present) return false;
  if (page.resolution_unit != 2 && page.resolution_unit != 3) return false;
  const double unit = page.resolution_unit == 3 ? kPerCentimetre : 1.0;
  uint32_t nx, dx, ny, dy;
  if (!field_rational(f, page.x_position, 0, &nx, &dx) || dx == 0) return false;
  if (!field_rational(f, page.y_position, 0, &ny, &dy) || dy == 0) return false;
  const double px = static_cast<double>(nx) / dx * unit * xdpi;
  const double py = static_cast<double>(ny) / dy * unit * ydpi;
  if (!(px >= 0 && px < 4294967295.0 && py >= 0 && py < 4294967295.0)) return false;
  *x = static_cast<uint32_t>(px);
  *y = static_cast<uint32_t>(py);
  return true;
}

}  // namespace lumora::tiff
