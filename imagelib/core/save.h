#pragma once
// The save pipeline: the caller's options (SaveParams), the per-save record (SaveContext), the row
// form a writer asks for (WriterHeader) and the services a writer calls.
//
// A writer is a plain function `writer(stream, context)` reached through the format table. It
// calls, in this order:
//   context->save_header_init(&header);  fill the header;
//   status = context->begin_save(context, &header);  (return at once when not 0)
//   for every row: status = context->get_rows(context, -1, header.rows_per_call);  write
//       header.row_buffer;  (return after end_save when not 0)
//   context->end_save(context);
// and returns a status (0, 1, 6, 15 ...). The pipeline has already opened the stream; the writer
// writes through the stream layer only.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "imagelib/core/bitmap.h"

namespace lumora {

struct ByteStream;
struct SaveContext;
struct SaveRows;  // the pipeline's private row machinery

// Bits of SaveParams::flags.
constexpr uint32_t kSaveVerbose = 0x1;           // print the "was writen" lines on stderr
constexpr uint32_t kSaveSetExtension = 0x40;     // give the path the format's extension
constexpr uint32_t kSaveReturnPath = 0x80;       // copy the final path back to the caller
constexpr uint32_t kSaveProgressBar = 0x100;     // text progress bar on stderr
constexpr uint32_t kSaveWriteIcc = 0x8000000;    // write the ICC profile chunk where possible

// Called after each row with (row from 0, height, user); non-zero cancels the save (status 15).
using SaveRowCallback = int (*)(int32_t row, int32_t height, void* user);
// Supplies rows when the Bitmap has no pixels: (buffer, row, count, user) fills `count` rows of
// the Bitmap's bytes_per_line into `buffer`; a non-zero status stops the save with that status.
using SaveSourceCallback = int (*)(uint8_t* buffer, int32_t row, int32_t count, void* user);

struct SaveParams {
  int16_t format_index;          // registry index of the format to write; -1 none
  uint32_t flags;                // kSave* bits
  uint32_t scratch_size;         // zeroed work area allocated for the call (SaveContext::scratch)
  void* row_user;
  SaveRowCallback row_callback;
  SaveSourceCallback source_callback;
  void* source_user;
  uint16_t option1, option2;     // writer options returned by save_option(1) and (2)
  uint16_t rle;                  // run-length encoding (bitmap RLE4/RLE8, Targa)
  uint16_t quality;              // lossy writers, 0..100
  uint16_t compression_level;    // deflate writers; above 9 counts as 9
  uint16_t png_filter;           // 0 libpng's choice, 1 sub, 2 up, 3 average, 4 Paeth, 5 all
  uint16_t jpeg_smoothing;
  int16_t jpeg_dct_method;       // 1 fast integer, 2 floating point, other: slow integer
  int16_t jpeg_subsampling;      // 0 = 2x2, 1 = 2x1, 2 = 1x1, other: libjpeg's default
  uint8_t write_exif;            // write kind-1 chunks where the format can hold them
  uint8_t write_iptc;            // write kind-2 chunks where the format can hold them
  uint8_t interlaced;            // PNG Adam7, GIF interlace, JPEG progressive
  uint8_t gif87a;                // GIF header "GIF87a" instead of "GIF89a"
  uint8_t os2_bitmap;            // bitmap writer: OS/2 form (12-byte header, 3-byte palette)
  int8_t jpeg_optimize;          // optimise the Huffman tables
  // Text lines "key: value" (the form load keeps them in, FileInfo::text_lines) for writers with
  // keyed text: PNG writes each as a tEXt chunk (Latin-1 key of 1 to 79 bytes). Lines without
  // ": " or with an unusable key are skipped. Borrowed for the call; null = none.
  const char* const* text_lines;
  uint32_t text_count;
};

// Bits of WriterHeader::layout that only writers use (the row layout bits themselves are the
// converters' layout flags: 0x1, 0x2, 0x4, 0x8, 0x10, 0x20 ...).
constexpr uint32_t kWriterInvertLevels = 0x10000;     // inverted grey or bilevel values
constexpr uint32_t kWriterIgnoreRowCallback = 0x200000;
// WriterHeader::row_order bits.
constexpr uint16_t kWriterBottomUp = 16;  // rows are fetched bottom-up
constexpr uint16_t kWriterMirrored = 1;   // rows are fetched mirrored (right to left)

// Palette forms a writer may ask for (WriterHeader::palette_form).
constexpr uint16_t kPalFormInverted = 0x1;     // every component 255 - value
constexpr uint16_t kPalFormWord3 = 0x2;        // 16-bit words of 3-bit components
constexpr uint16_t kPalFormWord4Split = 0x4;   // 16-bit words, 4 bits with the lowest stored apart
constexpr uint16_t kPalFormWord4 = 0x8;        // 16-bit words of 4-bit components
constexpr uint16_t kPalFormPlanes16 = 0x10;    // three planes of 16-bit values
constexpr uint16_t kPalFormBGR = 0x200;        // blue, green, red order
// Any non-zero form asks for a palette; a writer that wants plain red, green, blue byte triplets
// sets kPalFormWanted alone (it carries no other meaning).
constexpr uint16_t kPalFormWanted = 0x8000;

struct WriterHeader {
  uint32_t layout;           // row layout the writer wants
  uint16_t row_order;        // kWriterBottomUp, kWriterMirrored
  uint16_t rows_per_call;    // rows per get_rows call
  uint8_t* row_buffer;       // set by begin_save: where get_rows leaves converted rows
  uint16_t planes;
  uint16_t bits_per_plane;
  uint16_t bits_per_sample;
  int16_t samples;           // samples per pixel when stated (then bits_per_sample counts)
  uint16_t alignment;        // row alignment wanted in row_buffer, or 0
  uint32_t bytes_per_row;    // set by begin_save: bytes of one converted row in row_buffer
  uint16_t palette_form;     // 0: no palette wanted
  uint16_t palette_bits;     // bits per palette component (8 for byte palettes)
  uint8_t* palette;          // set by begin_save: 2^bits entries in the form asked for
                             // (palette_write_form of imagelib/core/palette.h)
  uint32_t palette_size;     // set by begin_save: bytes in `palette`
  char description[130];     // format description for verbose output
};

struct SaveContext {
  // Services a writer calls (see the top of this file).
  int (*begin_save)(SaveContext* context, WriterHeader* header);
  int (*get_rows)(SaveContext* context, int32_t row, int32_t count);
  void (*end_save)(SaveContext* context);
  int (*bits_for_colors)(int colors);
  void (*library_data_dir)(char* out);
  void (*save_header_init)(WriterHeader* header);
  // Opens a further file (mode: the stream layer's open-mode codes) and closes it.
  ByteStream* (*stream_open)(const char* path, int mode);
  void (*stream_close)(ByteStream* stream);
  int (*save_option)(SaveContext* context, int which);

  SaveParams params;

  // The Bitmap's facts, taken when the call starts.
  const Bitmap* bitmap;
  int32_t width;
  int32_t height;
  uint16_t type;             // as the writer sees it: 1, 2, 4 or 2032 (any colour)
  uint16_t bits;             // 1 (type 1), 8 (types 2, 4), 24 (3-component and CMYK), 32
  uint16_t bitmap_type;      // the Bitmap's own type code
  uint16_t component_order;  // 0, 1, 2, 3 from the type; 4 = CMYK
  uint16_t colors;
  int16_t transparent_index;
  int32_t xdpi;
  int32_t ydpi;
  const uint8_t* source_palette;   // the Bitmap's planar palette (type 4), or null
  const MetadataChunk* chunks;
  const char* comment;
  const char* const* text_lines;   // SaveParams::text_lines
  uint32_t text_count;

  const char* path;          // final path (null when writing to a caller's stream)
  uint32_t format_param;     // from the FormatEntry
  uint8_t* scratch;          // scratch_size zeroed bytes, or null
  char message[64];          // a writer's complaint, if any

  SaveRows* rows;            // row machinery between begin_save and end_save
  int cancelled;             // set when row_callback asked to stop
};

// Defaults: format_index -1, quality 100, compression_level 6, jpeg_dct_method -1,
// jpeg_subsampling -1, write_exif 1, write_iptc 1, everything else 0.
void save_params_init(SaveParams* params);
// Zeroes the header and sets rows_per_call 1, planes 1, bits_per_plane 1, bits_per_sample 1.
void save_header_init(WriterHeader* header);

// Saves `bitmap` in the format params->format_index names.
// `path`: a buffer of `path_capacity` bytes holding a UTF-8 path; with flag 0x40 it receives the
// format's extension and with 0x80 the final path is copied back (cut to the capacity). When an
// existing file is replaced, the new one is written to a temporary file in the same folder and
// renamed over the old one only when the save succeeded. When `path` is null, the open `stream`
// is written directly (it is flushed, not closed).
// Returns 0, 1 (memory), 5 (cannot create), 6 (write error), 7 (format cannot store), 8 (no
// writer), 15 (cancelled) or the writer's status.
int save_image(char* path, size_t path_capacity, std::FILE* stream, const Bitmap* bitmap,
               const SaveParams* params);
// The same for a path that is not given back (flag 0x80 has no effect).
int save_image(const char* path, const Bitmap* bitmap, const SaveParams* params);

// Writer services (also reachable through the context).
int begin_save(SaveContext* context, WriterHeader* header);
// Converts `count` rows into header->row_buffer. `row` is the first picture row (as the writer
// counts, i.e. in its row order) or -1 for the next. Returns 0, 15 (cancelled) or the source
// callback's status.
int get_rows(SaveContext* context, int32_t row, int32_t count);
void end_save(SaveContext* context);
// 0: quality; 1, 2: SaveParams option1, option2; otherwise 0.
int save_option(SaveContext* context, int which);

// Helpers of the pipeline, public for writers and tests.

// The working type of the rows between the two converters for a Bitmap type and a writer's total
// bits, bits per sample and alignment (0 = rows follow the Bitmap): 80, 1952, 1, 2, 2048 or 8192.
uint32_t save_working_type(uint16_t bitmap_type, int bits_per_sample_of_bitmap, int writer_bits,
                           int writer_alignment);

// Level table of the grey and bilevel mapping: entry i = i * (2^bits - 1) / (levels - 1) for
// i < levels (levels 2 for bilevel, `colors` otherwise), inverted (2^bits - 1 - value) when
// `invert`; entries from `levels` on repeat the top level.
void save_level_table(uint8_t table[256], int levels, int bits, bool invert);

// Replaces the extension of `path` (capacity bytes) with `extension`: the last '.' after the last
// '/' is cut unless it begins the file name or is followed by a digit, then "." + extension is
// appended. Returns 0, or 1 when the result does not fit (the path is left unchanged).
int save_replace_extension(char* path, size_t capacity, const char* extension);

}  // namespace lumora
