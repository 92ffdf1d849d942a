#pragma once
// Pixel row converters. Readers deliver rows in their file's layout and writers want rows in
// theirs; in between lies a Bitmap of one of the pixel types. Each conversion is a small function
// doing one fixed job over one row; a selection step picks the pair of functions once per load or
// save, and the pipelines keep them as function pointers (no per-pixel branch on the layout).
//
// Load direction:  raw row --unpack--> working row --(optional reduction)--> --pack--> Bitmap row
// Save direction:  Bitmap row --to_working--> working row --(level table)--> --to_writer--> writer row
#include <cstddef>
#include <cstdint>

namespace lumora {

// ---------------------------------------------------------------------------------------------
// Layout flags of the raw rows (ImageHeader::layout on load, WriterHeader::layout on save).

constexpr uint32_t kLayoutWordInterleaved = 0x1;  // planes interleaved word by word (16 pixels per word)
constexpr uint32_t kLayoutOnePerByte = 0x2;       // pixels of 8 bits or less, one per byte
constexpr uint32_t kLayoutPlanar = 0x4;           // each put_rows call carries one plane
constexpr uint32_t kLayoutReversed = 0x8;         // multi-byte pixels stored last component first
constexpr uint32_t kLayoutFourthFirst = 0x10;     // 32-bit pixels with the fourth byte first
constexpr uint32_t kLayoutFourthLast = 0x20;      // 32-bit: fourth byte last, first three reversed
constexpr uint32_t kLayout565 = 0x100;            // 16-bit pixels 5-6-5
constexpr uint32_t kLayoutRedLow = 0x200;         // 15-bit pixels with red in the low bits
constexpr uint32_t kLayout444High = 0x400;        // 16-bit pixels 4-4-4 in the high 12 bits
constexpr uint32_t kLayout444Low = 0x800;         // 16-bit pixels 4-4-4 in the low 12 bits
constexpr uint32_t kLayout555Green6 = 0x1000;     // 16-bit 5-5-5 with green in bits 6-10
constexpr uint32_t kLayout555RedTop = 0x2000;     // 16-bit 5-5-5, red in 11-15, green in 5-9
constexpr uint32_t kLayoutInkInverted = 0x4000;   // CMYK ink data stored as 255 - ink
constexpr uint32_t kLayoutInk = 0x8000;           // CMYK ink data
constexpr uint32_t kLayoutLabD65 = 0x20000;       // CIE L*a*b*, unsigned a/b, white point D65
constexpr uint32_t kLayoutLabD50 = 0x40000;       // CIE L*a*b*, unsigned a/b, white point D50
constexpr uint32_t kLayoutLabSignedD50 = 0x80000; // CIE L*a*b*, signed a/b, white point D50
constexpr uint32_t kLayoutLabSignedD65 = 0x100000;// CIE L*a*b*, signed a/b, white point D65
constexpr uint32_t kLayoutInkMask = kLayoutInkInverted | kLayoutInk;
constexpr uint32_t kLayoutLabMask = 0x1E0000;
// Sample arrangements that are only ever packed plainly (component order 0) and converted to
// red, green, blue afterwards (colour-space step at the end of a load).
constexpr uint32_t kLayoutSpecialMask = kLayoutInkMask | kLayoutLabMask;
// Writer-only bit: inverted grey or bilevel values (also in save.h as kWriterInvertLevels).
constexpr uint32_t kLayoutInvertLevels = 0x10000;

// ---------------------------------------------------------------------------------------------
// Converter functions.

// Values fixed by the selection step and handed to every call. Callers treat it as opaque.
struct RowParams {
  uint32_t plane_stride;   // bytes between planes inside one raw row (several planes per row)
  int32_t planes;          // planes of the raw / writer row
  int32_t bits;            // bits per code (expanding / packing) or per sample
  int32_t src_step;        // bytes per source pixel where a converter serves several sizes
  int32_t dst_step;        // bytes per destination pixel where a converter serves several sizes
  int32_t samples;         // samples per pixel of deep rows
  int32_t dst_sample_bytes;// deep samples: 2 or 4 bytes each
  int8_t src_pos[4];       // unpacking several planes: output byte j comes from plane src_pos[j]
  int8_t pos[4];           // byte positions: plane p -> pos[p]; index byte -> pos[0]; alpha -> pos[3]
  uint8_t alpha;           // alpha given to pixels that have none
  uint8_t bilevel[2];      // byte values for a 0 bit and a 1 bit when bits are spread into bytes
  uint8_t shift_per_plane; // planar index combination: plane p's value goes to bits p*shift
};

// Converts one row of `width` pixels from `src` to `dst`. `plane` is the plane number of a planar
// delivery (layout 0x4) and is ignored otherwise. Never allocates, never fails.
using RowConverter = void (*)(const uint8_t* src, uint8_t* dst, int32_t width, int plane,
                              const RowParams* params);

// ---------------------------------------------------------------------------------------------
// Load direction.

// What the selection needs to know about a load (after begin_image's own adjustments of the
// header, e.g. a planar bit dropped for one plane).
struct LoadRowFormat {
  uint32_t layout;          // ImageHeader::layout
  int32_t planes;           // ImageHeader::planes (at least 1)
  int32_t bits_per_plane;   // ImageHeader::bits_per_plane
  int32_t samples;          // ImageHeader::samples (0 = not stated)
  uint32_t bytes_per_plane; // ImageHeader::bytes_per_plane (distance of planes in a raw row)
  uint32_t produced;        // request code: 1, 2, 80, 1952 or a deep code 2048/4096/8192/16384
  int32_t component_order;  // LoadParams::component_order, 0..3
  uint8_t alpha;            // LoadParams::alpha
};

// How the working row between the converters is laid out.
enum WorkingForm : int {
  kWorkBits = 0,     // MSB-first packed bits (produced type 1); reduction counts bits
  kWorkIndex = 1,    // one byte per pixel: palette index or grey of a source of 8 bits or less
  kWorkGrey = 2,     // one byte per pixel: grey scaled down from a single wide sample
  kWorkPlane = 3,    // one byte per pixel of the delivered plane (planar layout 0x4)
  kWorkColor3 = 4,   // three bytes per pixel, file component order after unpacking
  kWorkColor4 = 5,   // four bytes per pixel
  kWorkDeep = 6,     // samples x 2 or 4 bytes per pixel (deep requests)
};

struct LoadConverters {
  RowConverter unpack;             // raw row (width = source width) -> working row
  RowConverter pack;               // working row (width = produced width) -> Bitmap row
  WorkingForm working_form;
  int32_t working_bytes_per_pixel; // 0 for kWorkBits
  int32_t produced_bytes_per_pixel;// bytes per pixel of the Bitmap row (0 for type 1)
  RowParams params;
};

// Chooses the two converters for a load. Returns 0, or 2 when the description names a raw layout
// no converter handles (e.g. two planes of 8 bits); `out` is then zeroed.
int convert_select_load(const LoadRowFormat& format, LoadConverters* out);

// Bytes that `unpack` reads from one raw row of `width` pixels (the row buffer must hold at least
// this many; planes one after another count with their bytes_per_plane distance). 0 on overflow.
size_t convert_load_source_bytes(const LoadRowFormat& format, int32_t width);
// Bytes of one working row of `width` pixels (type 1: ceil(width / 8)). 0 on overflow.
size_t convert_working_bytes(const LoadConverters& converters, int32_t width);

// ---------------------------------------------------------------------------------------------
// Save direction.

struct SaveRowFormat {
  uint16_t bitmap_type;       // the Bitmap's own type code (1, 2, 4, 16 ... 1024)
  int32_t bitmap_bytes_per_pixel;  // Bitmap::bytes_per_pixel (deep pictures: doubled)
  int32_t bitmap_bits_per_sample;  // Bitmap::bits_per_sample (8, or 16 for deep pictures)
  uint32_t writer_layout;     // WriterHeader::layout
  int32_t planes;             // WriterHeader::planes
  int32_t bits_per_plane;     // WriterHeader::bits_per_plane
  int32_t samples;            // WriterHeader::samples (0 = not stated)
  int32_t bits_per_sample;    // WriterHeader::bits_per_sample (counts when samples is stated)
  int32_t width;              // pixels per row (fixes the plane distance of several-plane rows:
                              // ceil(width x bits_per_plane / 8) bytes, planes one after another)
  uint16_t palette_form;      // WriterHeader::palette_form (0 = no palette wanted)
};

struct SaveConverters {
  RowConverter to_working;         // Bitmap row -> working row
  RowConverter to_writer;          // working row -> writer row
  int32_t working_bytes_per_pixel; // 0 = packed bits (type 1)
  int32_t writer_bits;             // total bits per pixel of the writer row
  // True when the working rows hold one byte per grey/index value to which the pipeline's level
  // table may be applied. Bilevel working rows are packed bits: their 0/255 spreading and the
  // inversion of layout 0x10000 are done by the converters themselves.
  bool level_table_applies;
  RowParams params;
};

// Total bits per pixel of a writer row: samples x bits_per_sample when samples are stated, else
// planes x bits_per_plane.
int convert_writer_bits(const SaveRowFormat& format);
// Chooses the two converters for a save. Returns 0, or 7 when the writer's pixel format cannot
// take this Bitmap (e.g. a colour Bitmap to an 8-bit writer); `out` is then zeroed.
int convert_select_save(const SaveRowFormat& format, SaveConverters* out);
// Bytes of one working row of `width` pixels, and bytes that `to_writer` writes for one row.
size_t convert_save_working_bytes(const SaveConverters& converters, int32_t width);
size_t convert_save_output_bytes(const SaveRowFormat& format, const SaveConverters& converters);

// Scaling of a k-bit component to 8 bits: floor(value x 255 / (2^k - 1)).
constexpr uint8_t scale_to_8(uint32_t value, int bits) {
  return static_cast<uint8_t>(value * 255u / ((1u << bits) - 1u));
}

}  // namespace lumora
