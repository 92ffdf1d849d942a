#pragma once
// The load pipeline: the caller's options (LoadParams), the description a reader gives
// (ImageHeader), the per-load record (LoadContext) with the services a reader calls, and the two
// entries load_image and load_info.
//
// A reader is a plain function (stream, context) -> status. It describes the picture once with
// begin_image, hands over raw rows with put_rows (or put_tile_rows), and finishes with end_image.
// The pipeline converts each row into the produced pixel type, reduces it on the fly when a
// maximum size was set, and builds the Bitmap.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/stream.h"

namespace lumora {

// ---------------------------------------------------------------------------------------------
// Options

// Bits of LoadParams::flags.
constexpr uint32_t kLoadVerbose = 0x1;             // recognition lines and warnings
constexpr uint32_t kLoadForceColor = 0x2;          // colour even for pictures of 8 bits or less
constexpr uint32_t kLoadPrefer3Byte = 0x4;         // drop alpha of pictures above 24 bits
constexpr uint32_t kLoadPrefer4Byte = 0x8;         // 4-byte colour wherever colour is produced
constexpr uint32_t kLoadProgressBar = 0x100;       // text progress bar on the error stream
constexpr uint32_t kLoadAcceptIncomplete = 0x400;  // statuses 4 and 10 become 0, picture kept
constexpr uint32_t kLoadQuick = 0x800;             // readers may decode reduced; implies 0x8000
constexpr uint32_t kLoadKnownExtension = 0x1000;   // extension must be known; no content search
constexpr uint32_t kLoadSingleImage = 0x8000;      // multi-image readers stop after their image
constexpr uint32_t kLoadKeepComment = 0x10000;
constexpr uint32_t kLoadKeepText = 0x20000;        // "key: value" lines, at most 32
constexpr uint32_t kLoadKeepChunks = 0x40000;      // raw metadata blocks
constexpr uint32_t kLoadBilevelAsBytes = 0x80000;  // 8-bit pixels for 1-bit pictures
constexpr uint32_t kLoadKeepCmyk = 0x100000;       // CMYK stays type 1024
constexpr uint32_t kLoadKeepDeep = 0x200000;       // samples above 8 bits kept (deep types)
constexpr uint32_t kLoadRefuseSmallThumb = 0x800000;
constexpr uint32_t kLoadFastDecode = 0x1000000;
constexpr uint32_t kLoadEstimateQuality = 0x8000000;

// The application's fixed options (component order 1, alignment 4, these flags): prefer 3-byte
// colour and accept incomplete files. Flag 0x1000 is left out on purpose: a picture whose
// extension names another format (a PNG saved as .jpg) is then recognised by its content, while
// a file no reader recognises is still refused.
constexpr uint32_t kLoadApplicationFlags = kLoadPrefer3Byte | kLoadAcceptIncomplete;

// LoadParams::reduce_mode.
constexpr uint32_t kReduceNearest = 0;
constexpr uint32_t kReduceAverage = 2;

// Callbacks. A non-zero answer of the row and cancel callbacks cancels the load.
using LoadRowCallback = int (*)(int32_t row, int32_t total, void* user);
// Returns pixel memory for the produced picture (at least height x bytes_per_line bytes,
// released with free), or null when memory is short.
using LoadAllocCallback = uint8_t* (*)(int32_t width, int32_t height, int bytes_per_pixel,
                                       int bits_per_sample, int alignment, uint32_t bytes_per_line,
                                       void* user);
using LoadProgressCallback = void (*)(int percent, void* user);
using LoadCancelCallback = int (*)(void* user);

struct LoadParams {
  uint16_t component_order;   // 0 RGB(A), 1 BGR / ABGR, 2 BGRA, 3 ARGB
  int16_t format_index;       // registry index of the reader, -1 = find it
  uint16_t orientation;       // bit 16: store bottom-up; bit 1: store mirrored
  uint32_t flags;
  int32_t image_index;        // page or frame, from 0
  int16_t alignment;          // row alignment in bytes; below 1 counts as 1
  uint8_t alpha;              // alpha of 4-byte pixels that come from a palette
  uint32_t reduce_mode;       // kReduceAverage, anything else = nearest
  int32_t max_width, max_height;  // either below 1 = no limit
  void* row_user;
  LoadRowCallback row_callback;
  LoadAllocCallback alloc_callback;
  void* alloc_user;
  LoadProgressCallback progress_callback;
  void* progress_user;
  LoadCancelCallback cancel_callback;
  void* cancel_user;
  uint8_t png_blend_palette;  // PNG: composite transparent palette and grey pictures on white
  uint8_t png_blend_alpha;    // PNG: composite the alpha of colour pictures on white
  uint8_t use_embedded;       // with 0x800: 0 no, 1 yes, 2 yes and max size = stored size
  uint8_t icon_mask_alpha;    // icons: AND mask as alpha
};

void load_params_init(LoadParams* params);

// ---------------------------------------------------------------------------------------------
// The reader's description

// Layout bits read by the pipeline itself (the row converters read the others).
constexpr uint32_t kLayoutReaderReduced = 0x400000;     // the reader reduced the picture itself;
constexpr uint32_t kLayoutReaderReducedAlt = 0x1000000; // the pipeline resizes after the load

struct ImageHeader {
  uint32_t layout;            // raw row layout bits (row converters); 0x4000/0x8000 ink data
  uint16_t row_order;         // bit 16: rows come bottom-up; bit 1: rows are mirrored
  int32_t rows_per_call;      // rows in the row buffer at each delivery
  uint8_t* row_buffer;        // set by begin_image
  int32_t width, height;
  uint16_t planes;
  uint16_t bits_per_plane;
  int16_t samples;            // samples per pixel when the file states it, else 0
  int16_t extra_samples;
  uint32_t bytes_per_plane;   // bytes of one raw row of one plane
  int32_t xdpi, ydpi;
  int32_t logical_width, logical_height, logical_bytes;
  uint32_t logical_bits, logical_samples;
  uint16_t compression;
  uint16_t color_model;
  int16_t transparent_index;
  char compression_text[160];
  char description[130];
  // Set by begin_image: usable bytes of row_buffer (a reader never writes beyond it), and the
  // distance in bytes from one row to the next when several rows are delivered in one call
  // (at least planes x bytes_per_plane, and at least the bytes one raw row of `width` pixels
  // takes in the layout).
  size_t row_buffer_size;
  size_t row_stride;
  // What the values of a picture of 8 bits or less per pixel are (kGreyLevels*): a reader that
  // knows before the rows that no palette will follow says so, and such pictures are averaged
  // while their rows arrive instead of being loaded at full size (indexes cannot be averaged).
  uint8_t grey_levels;
};

// ImageHeader::grey_levels.
constexpr uint8_t kGreyLevelsUnknown = 0;    // perhaps palette indexes (known at end_image)
constexpr uint8_t kGreyLevelsBlackZero = 1;  // grey levels, 0 is black; no palette follows
constexpr uint8_t kGreyLevelsWhiteZero = 2;  // grey levels, 0 is white (palette_form 0x1)

void header_init(ImageHeader* header);

// ---------------------------------------------------------------------------------------------
// The per-load record

struct LoadContext;
struct LoadRowState;   // the row machinery, private to the pipeline
struct ExifList;       // parsed Exif tags a reader collected (rebuilt into a kind-1 chunk)

// Services a reader calls, in this order (the empty slot is kept).
struct LoadServices {
  // 0 go on; 1 out of memory; 2 unusable description; -1 stop (only the description was wanted).
  int (*begin_image)(LoadContext* context, ImageHeader* header);
  // 0, or 15 when the load was cancelled. `row` -1 = next in sequence; `plane` -1 = not planar.
  int (*put_rows)(LoadContext* context, int plane, int32_t row, int32_t count);
  // 0, or 1 when the post-load resize ran out of memory.
  int (*end_image)(LoadContext* context, uint32_t palette_form, int palette_bits,
                   const uint8_t* palette);
  void (*header_init)(ImageHeader* header);
  void (*library_data_dir)(char* out);
  int (*temp_file_name)(char* name, size_t capacity);
  void* reserved;
  ByteStream* (*stream_attach)(FILE* file, const char* path);
  ByteStream* (*stream_open)(ByteStream* stream, int mode);
  void (*stream_close)(ByteStream* stream);
  int32_t (*current_image_index)(LoadContext* context, int unused);
  // Further services, after the fixed ones.
  int (*put_tile_rows)(LoadContext* context, int plane, int32_t row, int32_t count, int32_t x,
                       int32_t width);
};

struct LoadContext {
  LoadServices services;
  uint32_t image_count;        // 1 before the reader runs; multi-image readers count here
  uint32_t reader_values[3];   // further counts reported in FileInfo
  uint32_t format_param;       // from the FormatEntry
  uint32_t reader_flag;        // a reader-defined marker copied into FileInfo
  char message[64];            // the reader's complaint, e.g. "Windows Bitmap : Bad picture's size !"
  LoadParams params;           // a copy of the caller's options
  const char* path;
  Bitmap* bitmap;              // null in info-only mode
  FileInfo* info;              // may be null
  bool info_only;
  bool header_seen;            // set by begin_image
  bool cancelled;
  int progress_position;       // stars of the text progress bar drawn so far
  int64_t delivered_rows;
  // Kept while the reader runs; handed to the Bitmap or FileInfo at the end.
  char* comment;
  uint32_t text_count;
  char* text_lines[kMaxTextLines];
  MetadataChunk* chunks;
  ExifList* exif;
  LoadRowState* rows;          // set up by begin_image, released by end_image
  int end_status;              // pipeline's own failure at end_image (memory), 0 otherwise
};

// ---------------------------------------------------------------------------------------------
// Entries

// Loads the picture at `path` (UTF-8) into `bitmap`. `info` may be null.
int load_image(const char* path, Bitmap* bitmap, const LoadParams* params, FileInfo* info);
// Reads only the description. With `path` null the already open `stream` is used (its size is
// then reported as 999999999). Adds flag 0x800 to `flags`.
int load_info(const char* path, FILE* stream, int format_index, uint32_t flags, FileInfo* info);
int load_info(const char* path, int format_index, uint32_t flags, FileInfo* info);

// ---------------------------------------------------------------------------------------------
// Reader services (also reachable through LoadContext::services)

int begin_image(LoadContext* context, ImageHeader* header);
int put_rows(LoadContext* context, int plane, int32_t row, int32_t count);
// Like put_rows for tiled pictures: each of the `count` rows covers only the columns
// x .. x + width - 1 of its picture row.
int put_tile_rows(LoadContext* context, int plane, int32_t row, int32_t count, int32_t x,
                  int32_t width);
int end_image(LoadContext* context, uint32_t palette_form, int palette_bits,
              const uint8_t* palette);
int32_t current_image_index(LoadContext* context, int unused);
// Creates an empty file with an unpredictable name "x_XXXXXX" in $TMPDIR (or /tmp) and writes
// its path into `name`. 0 on success, 5 when it cannot be created (or `capacity` is too small).
// The caller removes the file.
int temp_file_name(char* name, size_t capacity);

// Leaves a message (truncated to 63 bytes) in the context for FileInfo.
void load_set_message(LoadContext* context, const char* text);

// Comment, text and chunk services. A `length` below 1 means the text runs up to its NUL byte.
// keep_* return 0, or 1 when memory is short; read_* return 0, 1 or 4 (file ends early).
int keep_comment(LoadContext* context, const char* text, int32_t length);
int read_comment(ByteStream* stream, LoadContext* context, int32_t length);
int keep_text(LoadContext* context, const char* key, const char* value, int32_t length);
int read_text(ByteStream* stream, LoadContext* context, const char* key, int32_t length);
int keep_chunk(LoadContext* context, uint32_t kind, const uint8_t* data, uint32_t size);

}  // namespace lumora
