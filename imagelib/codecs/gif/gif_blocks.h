#pragma once
// Block markers and colour tables of the GIF stream (GIF89a sections 17 to 27), shared by the
// reader, the frame loader and the writer.
#include <cstddef>
#include <cstdint>

namespace lumora {

constexpr int kGifExtension = 0x21;       // extension introducer
constexpr int kGifImage = 0x2C;           // image separator
constexpr int kGifTrailer = 0x3B;
constexpr int kGifGraphicControl = 0xF9;  // extension labels
constexpr int kGifComment = 0xFE;
constexpr int kGifApplication = 0xFF;

// A global or local colour table: `size` entries (2^bits) of red, green, blue.
struct GifColorTable {
  int size;
  uint8_t rgb[768];
};

// Reads exactly `size` bytes; false when the data ends first.
using GifByteReader = bool (*)(void* user, void* buffer, size_t size);
bool read_file_bytes(void* file, void* buffer, size_t size);   // `file` is a FILE*

// Reads a table of 2^bits entries (bits 1..8); false when the data ends first.
bool gif_read_color_table(GifByteReader read, void* user, int bits, GifColorTable* table);
// Copies the table into a planar 1024-byte palette (entries beyond the table are zeroed).
void gif_table_to_planar(const GifColorTable& table, uint8_t* palette);

}  // namespace lumora
