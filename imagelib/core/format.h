#pragma once
// The format table, the process-wide format registry built from it, the look-ups by name, index
// and extension, the compression and colour-model names, and the FileInfo record.
#include <cstdint>

#include "imagelib/core/bitmap.h"

namespace lumora {

struct ByteStream;
struct LoadContext;
struct SaveContext;

// The record handed to a row's probe: the `library_data_dir` service.
struct ProbeContext {
  void (*library_data_dir)(char* out);
};

// One accepted-type entry filled by a writer's capabilities function (see format_can_store).
struct WriterCapability {
  uint16_t type_mask;       // 0xFFFF in entries not filled
  int16_t max_colors;       // -1 = any
  uint16_t value1, value2;
  const char* option_text;
};
constexpr int kMaxWriterCapabilities = 10;

using ProbeFn = int (*)(const ProbeContext*);
using ReaderFn = int (*)(ByteStream*, LoadContext*);
using WriterFn = int (*)(ByteStream*, SaveContext*);
using CapabilitiesFn = void (*)(WriterCapability* list);  // list has kMaxWriterCapabilities entries

constexpr uint32_t kFormatByContent = 0x1;   // tried on files whose extension told nothing
constexpr uint32_t kFormatCanRead = 0x100;
constexpr uint32_t kFormatCanWrite = 0x200;
constexpr int kMaxExtensions = 12;

struct FormatEntry {
  uint32_t flags;
  const char* name;
  const char* description;
  ProbeFn probe;
  uint32_t reserved1;
  ReaderFn reader;
  WriterFn writer;
  CapabilitiesFn capabilities;
  uint32_t reserved2;
  uint32_t format_param;
  const char* extensions[kMaxExtensions];
};

struct FormatRegistry {
  FormatEntry* rows;
  int count;
  int capacity;      // 47 rows, allocated zeroed at once
  int references;
};

// Format indexes of the static table (registry order).
enum FormatIndex : int16_t {
  kFormatJpeg = 0, kFormatTga = 1, kFormatBmp = 2, kFormatGif = 3, kFormatPng = 4, kFormat2bp = 5,
  kFormatTiff = 6, kFormatPcx = 7, kFormatPbm = 8, kFormatPgm = 9, kFormatPpm = 10,
  kFormatPnm = 11, kFormatXbm = 12, kFormatXpm = 13, kFormatIco = 14,
};
constexpr int kStaticFormatCount = 15;
constexpr int kRegistryCapacity = 47;

// Compression codes and colour-model codes of FileInfo.
enum Compression : uint16_t {
  kCompNone = 0, kCompRle = 1, kCompLzw = 2, kCompJpeg = 3, kCompZip = 4, kCompSgiRle = 5,
  kCompCcittRle = 6, kCompCcittG3 = 7, kCompCcittG3_2D = 8, kCompCcittG4 = 9, kCompWavelet = 10,
  kCompReaderText = 255,
};
enum ColorModel : uint16_t {
  kModelRGB = 0, kModelCMY = 2, kModelCMYK = 3, kModelYCbCr = 4, kModelYUV16 = 5, kModelLab = 6,
  kModelLogLuv = 7, kModelLogL = 8,
};

constexpr int kMaxTextLines = 32;

struct FileInfo {
  uint32_t file_size;          // 999999999 when the caller handed over an open stream
  int16_t format_index;
  uint16_t row_order;          // 16 = the file stores rows bottom-up
  uint32_t width, height;
  uint16_t bits_per_sample, samples_per_pixel, planes, bits_per_plane;
  uint32_t bytes_per_plane;
  int16_t xdpi, ydpi;
  uint16_t compression;
  uint16_t color_model;
  uint32_t image_count;
  uint32_t reader_values[3];
  char description[64];
  char* comment;
  uint32_t text_count;
  char* text_lines[kMaxTextLines];
  char compression_text[32];
  MetadataChunk* chunks;
  char message[64];
  uint32_t reader_flag;
  // load_image only: the load's own status (4 file ends early, 10 corrupt data) when flag 0x400
  // turned it into success and the picture delivered so far was kept; 0 after a complete load.
  // Lets a caller tell a damaged file from a good one without changing what it is handed.
  int32_t accepted_status;
};

// Registry life. Both are guarded by one library lock with a reference count.
void library_start();
void library_stop();
// Adds a row at run time (into the spare capacity); returns its index or -1 when the registry is
// not started or full. Bits 0x100/0x200 are set from the reader and writer present.
int format_register(const FormatEntry& row);
// The registry as it stands (count 0 before library_start).
const FormatRegistry& format_registry();
const FormatEntry* format_entry(int index);

int format_find(const char* name);
const char* format_name(int index);
int format_extension_known(const char* path);
int format_has_extension(const char* path, int index);
// Gives `path` the row's first extension unless it already has one of the row's (ASCII case
// ignored). `path` is changed in place and must have room for `capacity` bytes.
void format_set_extension(char* path, int capacity, int index);
// 1 when the row's writer can store the picture; `option` (may be null) receives the accepting
// entry's option text or an empty string.
int format_can_store(int index, const Bitmap* bitmap, const char** option);

const char* compression_name(int code);
const char* color_model_name(int code);
void compression_text(char* buffer, int length, int code, const char* fallback);

void file_info_free(FileInfo* info);

// Text utilities.
int ascii_casecmp(const char* a, const char* b);
void ascii_lower(char* s);
// The path's extension (text after the last '.', at most 128 bytes, 'A'-'Z' lowered) into `out`
// (129 bytes); 0 when the path has none.
int path_extension(const char* path, char* out);
// Copies the library's data directory with a trailing '/' into `out`, or "" when none is set.
void library_data_dir(char* out);
void library_set_data_dir(const char* dir);

}  // namespace lumora
