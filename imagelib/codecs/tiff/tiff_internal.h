#pragma once
// Pieces of the TIFF reader shared between its files: the file with its byte order, the
// description record of one page, and the decompressors.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imagelib/core/load.h"
#include "imagelib/core/stream.h"

namespace lumora::tiff {

// ---------------------------------------------------------------------------------------------
// The file and its byte order (TIFF 6.0 section 2). Every read is checked against the file size.

struct TiffFile {
  ByteStream* stream = nullptr;
  bool big_endian = false;
  bool big_tiff = false;   // BigTIFF (version 43): 8-byte offsets, counts and value fields
  uint64_t size = 0;

  uint16_t u16(const uint8_t* p) const { return big_endian ? get_u16be(p) : get_u16le(p); }
  uint32_t u32(const uint8_t* p) const { return big_endian ? get_u32be(p) : get_u32le(p); }
  uint64_t u64(const uint8_t* p) const {
    const uint64_t a = u32(p), b = u32(p + 4);
    return big_endian ? a << 32 | b : b << 32 | a;
  }
  // Sizes in bytes of a directory's entry count, of one entry and of an offset (which is also the
  // size of an entry's value field).
  uint32_t entry_count_bytes() const { return big_tiff ? 8 : 2; }
  uint32_t entry_bytes() const { return big_tiff ? 20 : 12; }
  uint32_t offset_bytes() const { return big_tiff ? 8 : 4; }
  uint64_t offset_at(const uint8_t* p) const { return big_tiff ? u64(p) : u32(p); }
  // True when `count` bytes at `offset` lie inside the file.
  bool holds(uint64_t offset, uint64_t count) const {
    return offset <= size && count <= size - offset;
  }
  // Reads `count` bytes at `offset`: 0, or 4 when they are not all in the file.
  int read_at(uint64_t offset, void* buffer, size_t count) const;
};

// Bytes of one value of a TIFF field type; 0 for unknown types.
uint32_t field_type_size(uint16_t type);

// One directory entry as it stands: tag, type, count and the raw value field (4 bytes, 8 in
// BigTIFF).
struct TiffField {
  bool present = false;
  uint16_t tag = 0;
  uint16_t type = 0;
  uint64_t count = 0;
  uint8_t raw[8] = {};

  // Total bytes of the values (0 for unknown types, UINT64_MAX when the count overflows).
  uint64_t bytes() const;
  // True when the values sit in the value field itself.
  bool inline_in(const TiffFile& f) const { return bytes() <= f.offset_bytes(); }
  // The offset held in the value field (for values that do not fit in it).
  uint64_t offset(const TiffFile& f) const { return f.offset_at(raw); }
};

// Reads the entry `index` of the directory at `offset`: 0 or 4 (not in the file).
int read_entry(const TiffFile& f, uint64_t offset, uint64_t index, TiffField* field);
// The entry count of the directory at `offset`: 0 or 4.
int read_entry_count(const TiffFile& f, uint64_t offset, uint64_t* entries);

// The first value of a field as a number (BYTE, SHORT, LONG, LONG8 and their signed forms;
// shorter values sit at the start of the field). field_scalar gives at most UINT32_MAX.
uint64_t field_scalar64(const TiffFile& f, const TiffField& field);
uint32_t field_scalar(const TiffFile& f, const TiffField& field);
// The value bytes of a field (inline or at its offset), at most `limit` bytes: 0, 4 when they lie
// beyond the file, 1 when memory is short.
int field_bytes(const TiffFile& f, const TiffField& field, uint64_t limit, std::vector<uint8_t>* out);
// Up to `limit` numbers of a BYTE, SHORT, LONG, LONG8 or IFD array: 0, 1, 4 or 9 (another type).
int field_numbers(const TiffFile& f, const TiffField& field, uint32_t limit,
                  std::vector<uint64_t>* out);
// The first rational at the field's offset as numerator and denominator: false when absent,
// beyond the file or of another type.
bool field_rational(const TiffFile& f, const TiffField& field, uint32_t index, uint32_t* num,
                    uint32_t* den);

// ---------------------------------------------------------------------------------------------
// The description record of the chosen page, with the defaults of TIFF 6.0.

enum TextTag : int {
  kTextDocumentName, kTextImageDescription, kTextMake, kTextModel, kTextSoftware, kTextDateTime,
  kTextArtist, kTextHostComputer, kTextCopyright, kTextCount
};

struct TiffPage {
  uint64_t directory_offset = 0;
  uint32_t width = 0, length = 0;
  uint32_t bits = 1;               // bits per sample (the first value)
  uint32_t bits_values = 1;        // how many bits-per-sample values the tag gave
  uint32_t compression = 1;
  uint32_t photometric = 1;
  bool photometric_given = false;
  uint32_t fill_order = 1;
  TiffField strip_offsets, strip_counts, tile_offsets, tile_counts;
  uint32_t orientation = 1;
  uint32_t samples = 1;
  uint32_t rows_per_strip = 0;     // 0 = the image length
  TiffField x_resolution, y_resolution, x_position, y_position;
  uint32_t planar = 1;
  uint32_t t4_options = 0;
  uint32_t resolution_unit = 2;
  uint32_t predictor = 1;
  TiffField color_map;
  uint32_t tile_width = 0, tile_length = 0;
  TiffField extra_samples;
  TiffField jpeg_tables;
  int64_t jpeg_interchange = -1;
  TiffField ycbcr_coefficients;
  uint32_t subsampling_h = 2, subsampling_v = 2;
  uint32_t sample_format = 1;
  TiffField text[kTextCount];
  TiffField iptc, photoshop, icc;
  bool has_exif = false;
  uint64_t exif_offset = 0;
  bool private_format = false;     // tags 33628, 34361, 34362
};

bool page_is_tiled(const TiffPage& page);

// ---------------------------------------------------------------------------------------------
// Header and directories (tiff_directory.cpp).

// Reads the header (8 bytes, 16 for BigTIFF): 0, 2 (not TIFF) or 4 (file ends). Sets the byte
// order, the form and the first directory offset.
int read_file_header(TiffFile* f, uint64_t* first_directory);
// Walks the directory chain from `first` and lists the usable directories' offsets. A chain that
// comes back to a directory already seen ends there.
int list_directories(const TiffFile& f, uint64_t first, std::vector<uint64_t>* offsets);
// Reads the directory at `offset` into `page`: 0, 1 or 4 (short read of an entry). Text tags,
// Photometric and metadata are kept through the context as the load flags ask.
int read_directory(const TiffFile& f, uint64_t offset, LoadContext* context, TiffPage* page);

// ---------------------------------------------------------------------------------------------
// Decompressors. Each turns `in` (one strip or tile as stored) into at most `out_size` bytes at
// `out`, never writing beyond it, and says how many bytes it produced. Statuses: 0; 4 when the
// data ends before the output is full (what was produced stays); 9 for an LZW strip without a
// leading clear code; 10 for bad codes (decoding stops there); 1 when memory is short.

struct DecodeResult {
  int status = 0;
  size_t produced = 0;
};

DecodeResult decode_packbits(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size);
// `old_style`: least-significant-bit-first codes whose width grows late (the pre-6.0 variant).
DecodeResult decode_lzw(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                        bool old_style);
// True when a strip's first two bytes mark the old-style LZW variant.
bool lzw_is_old_style(const uint8_t* in, size_t in_size);
DecodeResult decode_deflate(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size);
// 4-bit ThunderScan coding of rows of `width` pixels (two per byte, high nibble first).
DecodeResult decode_thunderscan(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                                uint32_t width, size_t row_bytes);

// CCITT decoders: `rows` rows of `width` pixels, each `row_bytes` bytes of packed bits with
// white as 1 and black as 0.
enum class CcittMode { kModifiedHuffman, kGroup3, kGroup3TwoD, kGroup4 };
DecodeResult decode_ccitt(const uint8_t* in, size_t in_size, uint8_t* out, size_t row_bytes,
                          uint32_t width, uint32_t rows, CcittMode mode);

// SGILog (compression 34676) rows: LogL16 (`luv` false, grey bytes) or LogLuv32 (RGB bytes).
DecodeResult decode_sgilog(const uint8_t* in, size_t in_size, uint8_t* out, uint32_t width,
                           uint32_t rows, bool luv);
// SGILog24 (compression 34677) rows: 3-byte LogLuv24 pixels, most significant byte first, to RGB
// bytes. Whole pixels only; 4 when the data ends early.
DecodeResult decode_logluv24(const uint8_t* in, size_t in_size, uint8_t* out, uint32_t width,
                             uint32_t rows);
// The conversions of the LogLuv encoding, exposed for tests.
double logl16_to_y(uint32_t p16);
uint8_t luminance_byte(double value);
// A LogLuv24 pixel (low 24 bits of `p`) to RGB bytes.
void logluv24_to_rgb(uint32_t p, uint8_t out[3]);

// JPEG-compressed strip or tile (compression 7): `tables` (may be empty) and the chunk form one
// stream. The decoded rows (`components` bytes per pixel, at most `width` x `rows`) go to `out`
// with `row_bytes` per row. `ycbcr` converts YCbCr to RGB; otherwise components pass through.
DecodeResult decode_jpeg_chunk(const std::vector<uint8_t>& tables, const uint8_t* in,
                               size_t in_size, uint8_t* out, size_t row_bytes, uint32_t width,
                               uint32_t rows, int components, bool ycbcr);

// YCbCr blocks of h x v luma samples followed by Cb and Cr (8-bit) to RGB rows of `width` pixels,
// `rows` rows, `out_row_bytes` apart. `luma` holds the red, green and blue coefficients.
void ycbcr_to_rgb(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_row_bytes,
                  uint32_t width, uint32_t rows, uint32_t h, uint32_t v, const float luma[3]);

// Reverses the bits of every byte (fill order 2).
void reverse_bits(uint8_t* data, size_t size);

}  // namespace lumora::tiff
