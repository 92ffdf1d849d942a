#pragma once
// Palette forms: a reader's colour map, in whatever form its file stores it, into the planar
// 1024-byte palette of a Bitmap (red plane, green plane, blue plane, alpha plane of 256 entries
// each), and a Bitmap's colours back into the form a writer wants.
#include <cstddef>
#include <cstdint>

namespace lumora {

// Form bits (ImageHeader side: end_image's palette_form; writer side: WriterHeader::palette_form).
constexpr uint32_t kPaletteInverted = 0x1;    // load: no map, 0 means white; save: 255 - value
constexpr uint32_t kPaletteWord3 = 0x2;       // 16-bit words, 3 bits per component
constexpr uint32_t kPaletteWord4Split = 0x4;  // 16-bit words, 4 bits, lowest bit stored apart
constexpr uint32_t kPaletteWord4 = 0x8;       // 16-bit words, 4 bits per component
constexpr uint32_t kPalettePlanes16 = 0x10;   // three planes of 16-bit values
constexpr uint32_t kPaletteBGR = 0x200;       // blue, green, red order (triplets or planes)
constexpr uint32_t kPaletteRGBA = 0x400;      // load only: 4-byte entries red, green, blue, alpha
constexpr uint32_t kPaletteABGR = 0x800;      // load only: 4-byte entries alpha, blue, green, red
constexpr uint32_t kPaletteBGRA = 0x1000;     // load only: 4-byte entries blue, green, red, alpha
// Any other bit (a writer's "palette wanted" mark, a reader's own marks) does not change the form:
// with none of the bits above, entries are byte triplets red, green, blue.

// ---- Reading a colour map (load side) -------------------------------------------------------

// Bytes a colour map of `form` holds for a source of `source_bits` bits per pixel (2^bits entries,
// at most 256). Bit 0x1 does not change it (a reader naming 0x1 passes no map at all).
size_t palette_map_size(uint32_t form, int source_bits);

// Fills the planar `planar` (1024 bytes, zeroed first) from the colour map `map` of `map_size`
// bytes. Entries that the map does not fully hold stay zero. Component values are scaled from
// `palette_bits` bits to 8 (floor(v x 255 / (2^bits - 1))) when `palette_bits` is 1 to 8; above
// 8 they are taken as they are (16-bit planes: the high byte when any value exceeds 255, else the
// low byte); a `palette_bits` below 1 counts as 8. Returns the number of entries read.
int palette_read_map(uint8_t* planar, uint32_t form, int palette_bits, int source_bits,
                     const uint8_t* map, size_t map_size);

// ---- Writing a palette (save side) ----------------------------------------------------------

// Bytes of a writer palette: 2^writer_bits entries (writer_bits 1 to 8; 0 bytes otherwise) of
// 2 bytes (word forms), 6 bytes (planes of 16-bit values), or 3 bytes per entry for triplets
// (6 when `palette_bits` is above 8: 16-bit components).
size_t palette_form_size(uint32_t form, int palette_bits, int writer_bits);

// Writes the palette of a Bitmap of `bitmap_type` 1 (black, white), 2 (grey ramp of `colors`
// entries) or 4 (its own planar entries) into `out` (palette_form_size bytes) in `form`.
// Components are scaled to `palette_bits` (v x (2^bits - 1) / 255; above 8 bits v x 257). 16-bit
// values are written in the processor's byte order, except that the word forms 0x2, 0x4 and 0x8
// are stored byte-swapped (most significant byte first). Entries beyond the source's stay zero.
void palette_write_form(uint8_t* out, uint32_t form, int palette_bits, int writer_bits,
                        uint16_t bitmap_type, int colors, const uint8_t* planar);

}  // namespace lumora
