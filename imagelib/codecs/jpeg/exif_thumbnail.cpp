// The Exif thumbnail locator. The block is hostile input: every IFD offset, entry, value size and
// the thumbnail range are checked against the TIFF data before they are used, and IFD chains may
// only move forward, so a looping chain ends.
#include "imagelib/codecs/jpeg/exif_thumbnail.h"

#include <cstring>

namespace lumora {
namespace {

constexpr size_t kExifHeaderBytes = 6;   // "Exif" and two NUL bytes before the TIFF header
constexpr size_t kTiffHeaderBytes = 8;   // byte order, 42, offset of IFD0
constexpr size_t kEntryBytes = 12;       // TIFF 6.0 section 2: tag, type, count, value or offset
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagThumbnailOffset = 0x0201;
constexpr uint16_t kTagThumbnailLength = 0x0202;
constexpr uint16_t kTypeLong = 4;
constexpr int kMaxIfdWalks = 16;         // IFD0, the Exif IFD, IFD1 and a few more at most

// Bytes per value of the TIFF field types 1 to 12 (TIFF 6.0 section 2, plus FLOAT and DOUBLE).
constexpr uint8_t kTypeBytes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

struct TiffView {
  const uint8_t* data;
  size_t size;
  bool big_endian;

  uint16_t u16(size_t at) const {
    const uint8_t* p = data + at;
    return big_endian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
  }
  uint32_t u32(size_t at) const {
    const uint8_t* p = data + at;
    return big_endian ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                      : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
  }
};

struct IfdResult {
  uint32_t thumb_offset = 0;
  uint32_t thumb_length = 0;
  uint32_t exif_ifd = 0;   // 0 = none seen
  uint32_t next_ifd = 0;   // 0 = none, or not readable
};

// Walks one IFD at `ifd` (relative to the TIFF header). The caller guarantees ifd + 2 <= size.
IfdResult walk_ifd(const TiffView& tiff, uint32_t ifd) {
  IfdResult r;
  const uint32_t count = tiff.u16(ifd);
  size_t entry = size_t{ifd} + 2;
  uint32_t i = 0;
  for (; i < count; ++i, entry += kEntryBytes) {
    if (entry + kEntryBytes > tiff.size) return r;  // the directory runs past the data
    const uint16_t tag = tiff.u16(entry);
    const uint16_t type = tiff.u16(entry + 2);
    const uint32_t n = tiff.u32(entry + 4);
    // A type this reader cannot size ends the directory: its value could lie anywhere.
    if (type == 0 || type > 12) return r;
    const uint64_t bytes = uint64_t{n} * kTypeBytes[type];
    if (bytes > 4) {
      const uint64_t at = tiff.u32(entry + 8);
      if (at + bytes > tiff.size) return r;
    }
    const uint32_t value = tiff.u32(entry + 8);
    if (tag == kTagExifIfd) {
      if (value < tiff.size) r.exif_ifd = value;
    } else if (tag == kTagThumbnailOffset && type == kTypeLong && n == 1) {
      r.thumb_offset = value;
    } else if (tag == kTagThumbnailLength && type == kTypeLong && n == 1) {
      r.thumb_length = value;
    }
  }
  // The next-IFD offset follows the entries; only an offset beyond this directory is followed.
  if (entry + 4 <= tiff.size) {
    const uint32_t next = tiff.u32(entry);
    if (next > entry && size_t{next} + 2 <= tiff.size) r.next_ifd = next;
  }
  return r;
}

bool thumbnail_inside(const TiffView& tiff, const IfdResult& r, ExifThumbnailLocation* out) {
  if (r.thumb_offset == 0 || r.thumb_length == 0) return false;
  if (uint64_t{r.thumb_offset} + r.thumb_length > tiff.size) return false;
  out->offset = r.thumb_offset + static_cast<uint32_t>(kExifHeaderBytes);
  out->length = r.thumb_length;
  return true;
}

}  // namespace

bool exif_locate_thumbnail(const uint8_t* payload, size_t length, ExifThumbnailLocation* out) {
  if (!payload || !out || length < kExifHeaderBytes + kTiffHeaderBytes) return false;
  if (std::memcmp(payload, "Exif\0\0", kExifHeaderBytes) != 0) return false;
  // The thumbnail offset must fit 32 bits once the Exif header is added back.
  if (length - kExifHeaderBytes > UINT32_MAX - kExifHeaderBytes) return false;
  TiffView tiff{payload + kExifHeaderBytes, length - kExifHeaderBytes, false};
  if (tiff.data[0] == 'I' && tiff.data[1] == 'I') {
    tiff.big_endian = false;
  } else if (tiff.data[0] == 'M' && tiff.data[1] == 'M') {
    tiff.big_endian = true;
  } else {
    return false;
  }
  if (tiff.u16(2) != 42) return false;

  uint32_t ifd = tiff.u32(4);
  if (size_t{ifd} + 2 > tiff.size) return false;
  uint32_t exif_ifd = 0;
  bool exif_walked = false;
  for (int walks = 0; walks < kMaxIfdWalks && ifd != 0; ++walks) {
    const IfdResult r = walk_ifd(tiff, ifd);
    if (thumbnail_inside(tiff, r, out)) return true;
    if (exif_ifd == 0) exif_ifd = r.exif_ifd;
    // The Exif sub-IFD is looked at once, right after the directory that points to it.
    if (exif_ifd != 0 && !exif_walked && size_t{exif_ifd} + 2 <= tiff.size) {
      exif_walked = true;
      if (thumbnail_inside(tiff, walk_ifd(tiff, exif_ifd), out)) return true;
    }
    ifd = r.next_ifd;
  }
  return false;
}

}  // namespace lumora
