#include "imagelib/core/bitmap.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace lumora {

uint16_t bitmap_stored_type(uint32_t requested) {
  if (requested == kMaskColor3 || requested == kMaskColor) return kPixRGB;
  if (requested == kMaskColor4) return kPixRGBA;
  return static_cast<uint16_t>(requested);
}

int bitmap_samples_for_type(uint32_t type) {
  if (type & (kPixBilevel | kPixGrey | kPixIndexed)) return 1;
  if (type & kMaskColor3) return 3;
  if (type & kMaskColor4) return 4;
  return 0;
}

int bitmap_bytes_per_pixel_for_type(uint32_t type) {
  return bitmap_samples_for_type(type);
}

uint32_t bitmap_row_bytes(uint32_t type, int32_t width, int bytes_per_pixel) {
  if (width < 0) return 0;
  uint64_t bytes = (type == kPixBilevel) ? (static_cast<uint64_t>(width) + 7) / 8
                                         : static_cast<uint64_t>(width) * bytes_per_pixel;
  if (bytes > std::numeric_limits<uint32_t>::max()) return 0;
  return static_cast<uint32_t>(bytes);
}

namespace {

// Row length padded to the alignment, or 0 when it does not fit in 32 bits.
uint32_t aligned_row(uint32_t type, int32_t width, int bytes_per_pixel, int alignment) {
  uint64_t bytes;
  if (type == kPixBilevel) {
    uint64_t unit = 8ull * alignment;
    bytes = ((static_cast<uint64_t>(width) + unit - 1) / unit) * alignment;
  } else {
    uint64_t raw = static_cast<uint64_t>(width) * bytes_per_pixel;
    bytes = ((raw + alignment - 1) / alignment) * alignment;
  }
  if (bytes > std::numeric_limits<uint32_t>::max()) return 0;
  return static_cast<uint32_t>(bytes);
}

// Allocates `rows` × `bytes_per_line` zeroed bytes; null on overflow or when memory is short.
uint8_t* alloc_pixels(int32_t rows, uint32_t bytes_per_line) {
  uint64_t total = static_cast<uint64_t>(rows) * bytes_per_line;
  if (total > static_cast<uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) return nullptr;
  return static_cast<uint8_t*>(std::calloc(total ? total : 1, 1));
}

int alloc_common(Bitmap* b, uint32_t type, int alignment, int32_t width, int32_t height, int bits) {
  std::memset(b, 0, sizeof *b);
  if (alignment < 1) alignment = 1;
  uint16_t stored = bitmap_stored_type(type);
  b->type = stored;
  b->alignment = static_cast<uint16_t>(alignment);
  b->width = width;
  b->height = height;
  b->transparent_index = -1;
  b->samples_per_pixel = static_cast<uint16_t>(bitmap_samples_for_type(stored));
  int bpp = bitmap_bytes_per_pixel_for_type(stored);
  b->bits_per_sample = stored == kPixBilevel ? 1 : 8;
  if (bits > 8 && stored != kPixBilevel) {
    bpp *= 2;
    b->bits_per_sample = static_cast<uint16_t>(bits);
  }
  b->bytes_per_pixel = static_cast<uint16_t>(bpp);
  b->colors = stored == kPixBilevel ? 2 : (stored & (kPixGrey | kPixIndexed)) ? 256 : 0;
  if (width < 0 || height < 0 || bpp == 0) return 0;
  b->bytes_per_line = aligned_row(stored, width, bpp, alignment);
  if (b->bytes_per_line == 0 && width > 0) return 0;
  b->pixels = alloc_pixels(height, b->bytes_per_line);
  if (!b->pixels) return 0;
  if (stored & kPixIndexed) {
    b->palette = static_cast<uint8_t*>(std::calloc(kPaletteBytes, 1));
    if (!b->palette) {
      std::free(b->pixels);
      b->pixels = nullptr;
      return 0;
    }
  }
  return 1;
}

}  // namespace

int bitmap_alloc(Bitmap* b, uint32_t type, int alignment, int32_t width, int32_t height) {
  return alloc_common(b, type, alignment, width, height, 8);
}

int bitmap_alloc_deep(Bitmap* b, uint32_t type, int alignment, int32_t width, int32_t height,
                      int bits) {
  return alloc_common(b, type, alignment, width, height, bits);
}

int bitmap_init(Bitmap* b, uint32_t type, uint32_t bytes_per_line, int32_t width, int32_t height,
                int allocate) {
  std::memset(b, 0, sizeof *b);
  b->type = static_cast<uint16_t>(type);
  b->bytes_per_line = bytes_per_line;
  b->width = width;
  b->height = height;
  b->alignment = 1;
  b->transparent_index = -1;
  b->samples_per_pixel = static_cast<uint16_t>(bitmap_samples_for_type(type));
  b->bytes_per_pixel = static_cast<uint16_t>(bitmap_bytes_per_pixel_for_type(type));
  b->bits_per_sample = type == kPixBilevel ? 1 : 8;
  if (width < 0 || height < 0) return 0;
  if (allocate) {
    b->pixels = alloc_pixels(height, bytes_per_line);
    if (!b->pixels) return 0;
  }
  if (type & kPixIndexed) {
    b->palette = static_cast<uint8_t*>(std::calloc(kPaletteBytes, 1));
    if (!b->palette) {
      std::free(b->pixels);
      b->pixels = nullptr;
      return 0;
    }
  }
  return 1;
}

void bitmap_free(Bitmap* b) {
  if (!b) return;
  std::free(b->pixels);
  b->pixels = nullptr;
  std::free(b->palette);
  b->palette = nullptr;
  std::free(b->comment);
  b->comment = nullptr;
  chunk_list_free(&b->chunks);
}

char* string_dup(const char* s) {
  if (!s) return nullptr;
  size_t n = std::strlen(s) + 1;
  char* d = static_cast<char*>(std::malloc(n));
  if (d) std::memcpy(d, s, n);
  return d;
}

void chunk_list_free(MetadataChunk** list) {
  MetadataChunk* c = *list;
  while (c) {
    MetadataChunk* next = c->next;
    std::free(c->data);
    std::free(c);
    c = next;
  }
  *list = nullptr;
}

MetadataChunk* chunk_list_copy(const MetadataChunk* src) {
  MetadataChunk* head = nullptr;
  MetadataChunk** tail = &head;
  for (; src; src = src->next) {
    auto* node = static_cast<MetadataChunk*>(std::calloc(1, sizeof(MetadataChunk)));
    if (!node) break;
    node->kind = src->kind;
    node->size = src->size;
    if (src->data && src->size) {
      node->data = static_cast<uint8_t*>(std::malloc(src->size));
      // A node whose data cannot be allocated keeps its kind and size with no data.
      if (node->data) std::memcpy(node->data, src->data, src->size);
    }
    *tail = node;
    tail = &node->next;
  }
  return head;
}

int chunk_append(MetadataChunk** list, uint32_t kind, const uint8_t* data, uint32_t size) {
  auto* node = static_cast<MetadataChunk*>(std::calloc(1, sizeof(MetadataChunk)));
  if (!node) return 1;
  node->kind = kind;
  node->size = size;
  if (size) {
    node->data = static_cast<uint8_t*>(std::malloc(size));
    if (!node->data) {
      std::free(node);
      return 1;
    }
    std::memcpy(node->data, data, size);
  }
  MetadataChunk** tail = list;
  while (*tail) tail = &(*tail)->next;
  *tail = node;
  return 0;
}

int chunk_prepend_owned(MetadataChunk** list, uint32_t kind, uint8_t* data, uint32_t size) {
  auto* node = static_cast<MetadataChunk*>(std::calloc(1, sizeof(MetadataChunk)));
  if (!node) {
    std::free(data);
    return 1;
  }
  node->kind = kind;
  node->size = size;
  node->data = data;
  node->next = *list;
  *list = node;
  return 0;
}

const MetadataChunk* chunk_find(const MetadataChunk* list, uint32_t kind) {
  for (; list; list = list->next)
    if (list->kind == kind) return list;
  return nullptr;
}

void bitmap_copy_attributes(Bitmap* dst, const Bitmap* src) {
  dst->orientation = src->orientation;
  dst->xdpi = src->xdpi;
  dst->ydpi = src->ydpi;
  std::free(dst->comment);
  dst->comment = string_dup(src->comment);
  chunk_list_free(&dst->chunks);
  dst->chunks = chunk_list_copy(src->chunks);
}

int bitmap_clone_layout(Bitmap* dst, uint32_t type, const Bitmap* src) {
  if (!bitmap_alloc(dst, type, src->alignment, src->width, src->height)) return 1;
  bitmap_copy_attributes(dst, src);
  return 0;
}

int bitmap_clip_rect(const Bitmap* b, const Rect* rect, Rect* out) {
  if (!rect) {
    *out = Rect{0, 0, b->width, b->height};
    return (b->width > 0 && b->height > 0) ? 0 : 16;
  }
  int64_t left = rect->x <= 0 ? 0 : rect->x;
  int64_t top = rect->y < 0 ? 0 : rect->y;
  int64_t right = static_cast<int64_t>(rect->x) + rect->width;
  int64_t bottom = static_cast<int64_t>(rect->y) + rect->height;
  if (right > b->width) right = b->width;
  if (bottom > b->height) bottom = b->height;
  int64_t w = right - left, h = bottom - top;
  if (w <= 0 || h <= 0) {
    *out = Rect{static_cast<int32_t>(left), static_cast<int32_t>(top), 0, 0};
    return 16;
  }
  *out = Rect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(w),
              static_cast<int32_t>(h)};
  return 0;
}

int bits_for_colors(int n) {
  if (n < 3) return 1;
  if (n < 5) return 2;
  if (n < 9) return 3;
  if (n < 17) return 4;
  if (n < 33) return 5;
  if (n < 65) return 6;
  if (n < 129) return 7;
  return 8;
}

}  // namespace lumora
