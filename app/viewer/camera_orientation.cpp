#include "app/viewer/camera_orientation.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "imagelib/metadata/exif.h"
#include "imagelib/ops/rotate.h"

namespace lumora::app {
namespace {

constexpr uint32_t kExifHeaderBytes = 6;     // "Exif" and two NUL bytes
constexpr uint32_t kMaxDirectoryEntries = 4096;
constexpr int kMaxDirectoryHops = 65536;      // pages walked before a chain counts as a loop

// The TIFF body of the first Exif chunk, with its byte order and the offset of IFD0.
bool exif_body(const MetadataChunk* chunks, ExifBlock* block, uint32_t* ifd0) {
  const MetadataChunk* c = chunk_find(chunks, kChunkExif);
  if (!c || !c->data || c->size < kExifHeaderBytes + 8) return false;
  if (std::memcmp(c->data, "Exif\0\0", kExifHeaderBytes) != 0) return false;
  block->data = c->data + kExifHeaderBytes;
  block->size = c->size - kExifHeaderBytes;
  const uint8_t* d = block->data;
  if (d[0] == 'I' && d[1] == 'I') block->big_endian = false;
  else if (d[0] == 'M' && d[1] == 'M') block->big_endian = true;
  else return false;
  auto get16 = [&](uint32_t p) {
    return block->big_endian ? (d[p] << 8 | d[p + 1]) : (d[p + 1] << 8 | d[p]);
  };
  if (get16(2) != 42) return false;
  *ifd0 = block->big_endian ? (uint32_t{d[4]} << 24 | uint32_t{d[5]} << 16 | uint32_t{d[6]} << 8 | d[7])
                            : (uint32_t{d[7]} << 24 | uint32_t{d[6]} << 16 | uint32_t{d[5]} << 8 | d[4]);
  return *ifd0 >= 8 && *ifd0 < block->size;
}

// The Orientation entry of IFD0 (a SHORT, TIFF 6.0 section 8), if there is one.
bool find_orientation(const ExifBlock& block, uint32_t ifd0, ExifEntry* out) {
  if (ifd0 + 2 > block.size) return false;
  const uint8_t* d = block.data + ifd0;
  const uint32_t count = block.big_endian ? (d[0] << 8 | d[1]) : (d[1] << 8 | d[0]);
  for (uint32_t i = 0; i < count && i < kMaxDirectoryEntries; ++i) {
    ExifEntry e;
    if (!exif_read_entry(block, ifd0, i, &e)) break;
    if (e.tag == kOrientationTag && e.type == kExifShort && e.count >= 1) {
      *out = e;
      return true;
    }
  }
  return false;
}

int usable(int64_t v) { return v >= 1 && v <= 8 ? static_cast<int>(v) : 1; }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int exif_chunk_orientation(const MetadataChunk* chunks) {
  ExifBlock block{};
  uint32_t ifd0 = 0;
  ExifEntry e{};
  if (!exif_body(chunks, &block, &ifd0) || !find_orientation(block, ifd0, &e)) return 1;
  return usable(exif_value_int(block, e));
}

void exif_chunk_clear_orientation(MetadataChunk* chunks) {
  ExifBlock block{};
  uint32_t ifd0 = 0;
  ExifEntry e{};
  if (!exif_body(chunks, &block, &ifd0) || !find_orientation(block, ifd0, &e)) return;
  // The block points into the chunk's own bytes; the entry's value lies inside it.
  uint8_t* value = const_cast<uint8_t*>(block.data) + e.value_pos;
  value[0] = block.big_endian ? 0 : 1;
  value[1] = block.big_endian ? 1 : 0;
}

int tiff_file_orientation(const char* path, int page) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file || page < 0) return 1;
  std::FILE* f = file.get();
  if (std::fseek(f, 0, SEEK_END) != 0) return 1;
  const long end = std::ftell(f);
  if (end < 8) return 1;
  const uint64_t size = static_cast<uint64_t>(end);
  uint8_t header[8];
  if (std::fseek(f, 0, SEEK_SET) != 0 || std::fread(header, 1, 8, f) != 8) return 1;
  bool big;
  if (header[0] == 'I' && header[1] == 'I') big = false;
  else if (header[0] == 'M' && header[1] == 'M') big = true;
  else return 1;
  auto u16 = [big](const uint8_t* p) { return big ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]); };
  auto u32 = [big](const uint8_t* p) {
    return big ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
               : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
  };
  if (u16(header + 2) != 42) return 1;  // BigTIFF (43) is not read by the library either
  uint64_t offset = u32(header + 4);
  for (int hop = 0; hop <= page && hop < kMaxDirectoryHops; ++hop) {
    uint8_t count_bytes[2];
    if (offset < 8 || offset + 2 > size || std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fread(count_bytes, 1, 2, f) != 2)
      return 1;
    const uint32_t count = static_cast<uint32_t>(u16(count_bytes));
    if (count == 0 || count > kMaxDirectoryEntries || offset + 2 + 12ull * count + 4 > size) return 1;
    std::vector<uint8_t> entries(12u * count + 4);
    if (std::fread(entries.data(), 1, entries.size(), f) != entries.size()) return 1;
    if (hop == page) {
      for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = entries.data() + 12u * i;
        // A single SHORT sits in the first two bytes of the value field.
        if (u16(e) == kOrientationTag && u16(e + 2) == 3 && u32(e + 4) >= 1) return usable(u16(e + 8));
      }
      return 1;
    }
    const uint64_t next = u32(entries.data() + 12u * count);
    if (next <= offset) return 1;  // pages run forward; anything else may loop
    offset = next;
  }
  return 1;
}

void bitmap_mirror(Bitmap* b) {
  if (!b || !b->pixels || b->width < 2) return;
  const int32_t w = b->width;
  if (b->type == kPixBilevel) {
    std::vector<uint8_t> copy(b->bytes_per_line);
    for (int32_t y = 0; y < b->height; ++y) {
      uint8_t* row = bitmap_row(b, y);
      std::memcpy(copy.data(), row, copy.size());
      for (int32_t x = 0; x < w; ++x) bit_put(row, x, bit_get(copy.data(), w - 1 - x));
    }
    return;
  }
  const size_t n = b->bytes_per_pixel ? b->bytes_per_pixel : 1;
  uint8_t tmp[16];
  if (n > sizeof tmp) return;
  for (int32_t y = 0; y < b->height; ++y) {
    uint8_t* row = bitmap_row(b, y);
    for (int32_t l = 0, r = w - 1; l < r; ++l, --r) {
      std::memcpy(tmp, row + l * n, n);
      std::memcpy(row + l * n, row + r * n, n);
      std::memcpy(row + r * n, tmp, n);
    }
  }
}

int bitmap_apply_orientation(Bitmap* b, int orientation) {
  // The turn comes first (it is the step that may fail), then a left-right mirror where the tag
  // asks for one: 5 (transpose) = +90 and mirror, 7 (transverse) = -90 and mirror.
  struct Fix {
    int angle;
    bool mirror;
  };
  static constexpr Fix kFixes[9] = {{0, false}, {0, false},  {0, true},  {180, false}, {180, true},
                                    {90, true}, {90, false}, {-90, true}, {-90, false}};
  if (!b || orientation < 2 || orientation > 8) return 0;
  const Fix fix = kFixes[orientation];
  if (fix.angle != 0) {
    if (int rc = bitmap_rotate(b, nullptr, fix.angle)) return rc;
  }
  if (fix.mirror) bitmap_mirror(b);
  return 0;
}

}  // namespace lumora::app
