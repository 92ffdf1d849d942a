#pragma once
// The library's in-memory picture record and the operations on it. Every buffer a record owns
// (pixels, palette, comment, chunk nodes and their data) comes from malloc and goes with free.
#include <cstddef>
#include <cstdint>

namespace lumora {

// Pixel type codes: single bits, so that sets of acceptable types can be given as masks.
enum PixelType : uint16_t {
  kPixBilevel = 1,    // 8 pixels per byte, leftmost in the most significant bit; 0 black, 1 white
  kPixGrey = 2,       // one byte, 0 (black) .. colors-1 (white)
  kPixIndexed = 4,    // one byte palette index; `palette` is present
  kPixRGB = 16,       // red, green, blue (component order 0)
  kPixRGBA = 32,      // red, green, blue, alpha (component order 0)
  kPixBGR = 64,       // blue, green, red (component orders 1, 2, 3)
  kPixABGR = 128,     // alpha, blue, green, red (component order 1)
  kPixBGRA = 256,     // blue, green, red, alpha (component order 2)
  kPixARGB = 512,     // alpha, red, green, blue (component order 3)
  kPixCMYK = 1024,    // cyan, magenta, yellow, black ink values as the file gave them
};

// Masks of type sets.
constexpr uint16_t kMaskColor3 = 80;     // 16 | 64
constexpr uint16_t kMaskColor4 = 1952;   // 32 | 128 | 256 | 512 | 1024
constexpr uint16_t kMaskColor = 2032;    // every colour type

// Deep-sample request codes known to the load pipeline; they end as types 2, 16 or 32
// with 16-bit samples.
constexpr uint32_t kRequestDeep2048 = 2048;
constexpr uint32_t kRequestDeep4096 = 4096;
constexpr uint32_t kRequestDeep8192 = 8192;
constexpr uint32_t kRequestDeep16384 = 16384;

// Orientation bits of a Bitmap and of the load options.
constexpr uint16_t kOrientBottomUp = 16;  // row 0 in memory is the bottom row of the picture
constexpr uint16_t kOrientMirrored = 1;   // each row is stored right to left

// Palette: 1024 bytes, planar. Entry i is (p[i], p[256+i], p[512+i]) with p[768+i] as alpha.
constexpr int kPaletteBytes = 1024;
constexpr int kPalR = 0, kPalG = 256, kPalB = 512, kPalA = 768;

enum MetadataKind : uint32_t {
  kChunkExif = 1,   // "Exif\0\0" then a TIFF-structured body
  kChunkIptc = 2,   // Photoshop resource block holding IPTC data
  kChunkXmp = 3,
  kChunkIcc = 4,    // a profile split over several file blocks is joined into one chunk
};

struct MetadataChunk {
  uint32_t kind;
  uint32_t size;        // bytes of `data`
  uint8_t* data;
  MetadataChunk* next;
};

struct Bitmap {
  int32_t width;
  int32_t height;
  uint32_t bytes_per_line;
  uint16_t type;
  uint16_t bytes_per_pixel;
  uint16_t bits_per_sample;
  uint16_t samples_per_pixel;
  uint16_t alignment;
  uint16_t orientation;
  int32_t xdpi;
  int32_t ydpi;
  uint16_t colors;
  int16_t transparent_index;
  uint8_t* palette;
  uint8_t* pixels;
  MetadataChunk* chunks;
  char* comment;
};

struct Rect {
  int32_t x, y, width, height;
};

// Allocation: 1 on success, 0 when memory is short (the record is then left without pixels).
int bitmap_alloc(Bitmap* bitmap, uint32_t type, int alignment, int32_t width, int32_t height);
int bitmap_alloc_deep(Bitmap* bitmap, uint32_t type, int alignment, int32_t width, int32_t height,
                      int bits);
int bitmap_init(Bitmap* bitmap, uint32_t type, uint32_t bytes_per_line, int32_t width,
                int32_t height, int allocate);
void bitmap_free(Bitmap* bitmap);
void bitmap_copy_attributes(Bitmap* dst, const Bitmap* src);
// 0 on success, 1 when memory is short.
int bitmap_clone_layout(Bitmap* dst, uint32_t type, const Bitmap* src);
// 0, or 16 when the cut rectangle is empty. `rect` may be null (the whole picture).
int bitmap_clip_rect(const Bitmap* bitmap, const Rect* rect, Rect* out);

// Helpers derived from the layout rules.
// Bytes of one row for a type and width before alignment padding; 0 on overflow.
uint32_t bitmap_row_bytes(uint32_t type, int32_t width, int bytes_per_pixel);
// The stored type for a request (80 and 2032 become 16, 1952 becomes 32).
uint16_t bitmap_stored_type(uint32_t requested);
int bitmap_samples_for_type(uint32_t type);
int bitmap_bytes_per_pixel_for_type(uint32_t type);
inline uint8_t* bitmap_row(const Bitmap* b, int32_t y) {
  return b->pixels + static_cast<size_t>(y) * b->bytes_per_line;
}

// Metadata chunk list.
// Appends a copy of `data` as a new chunk at the end of the list; 0 on success, 1 when memory is short.
int chunk_append(MetadataChunk** list, uint32_t kind, const uint8_t* data, uint32_t size);
// Inserts a chunk taking ownership of `data` (allocated with malloc) at the head of the list.
int chunk_prepend_owned(MetadataChunk** list, uint32_t kind, uint8_t* data, uint32_t size);
const MetadataChunk* chunk_find(const MetadataChunk* list, uint32_t kind);
void chunk_list_free(MetadataChunk** list);
MetadataChunk* chunk_list_copy(const MetadataChunk* list);

// Row bit operations on MSB-first packed rows.
inline int bit_get(const uint8_t* row, int32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
inline void bit_or(uint8_t* row, int32_t x, int v) {
  row[x >> 3] = static_cast<uint8_t>(row[x >> 3] | ((v & 1) << (7 - (x & 7))));
}
inline void bit_put(uint8_t* row, int32_t x, int v) {
  row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(1 << (7 - (x & 7)))) | ((v & 1) << (7 - (x & 7))));
}
int bits_for_colors(int n);

// Duplicates a NUL-terminated string with malloc; null when memory is short or `s` is null.
char* string_dup(const char* s);

}  // namespace lumora
