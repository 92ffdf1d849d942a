#include "imagelib/codecs/gif/gif_blocks.h"

#include <cstdio>
#include <cstring>

#include "imagelib/core/bitmap.h"

namespace lumora {

bool read_file_bytes(void* file, void* buffer, size_t size) {
  return std::fread(buffer, 1, size, static_cast<FILE*>(file)) == size;
}

bool gif_read_color_table(GifByteReader read, void* user, int bits, GifColorTable* table) {
  if (bits < 1 || bits > 8) return false;
  table->size = 1 << bits;
  std::memset(table->rgb, 0, sizeof table->rgb);
  return read(user, table->rgb, static_cast<size_t>(3 * table->size));
}

void gif_table_to_planar(const GifColorTable& table, uint8_t* palette) {
  std::memset(palette, 0, kPaletteBytes);
  for (int i = 0; i < table.size && i < 256; ++i) {
    palette[kPalR + i] = table.rgb[3 * i];
    palette[kPalG + i] = table.rgb[3 * i + 1];
    palette[kPalB + i] = table.rgb[3 * i + 2];
  }
}

}  // namespace lumora
