#pragma once
// The library's open-file record and the typed reads and writes that readers and writers use.
// Every read fails cleanly (status 4, "file ends early") when the data runs out; nothing is
// returned half-filled without saying so.
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace lumora {

// Open modes, by code.
enum StreamMode : int {
  kStreamReadBinary = 17,     // "rb", size measured; an empty file fails the open
  kStreamWriteBinary = 18,    // "wb"
  kStreamUpdateBinary = 19,   // "r+b"
  kStreamUpdateBinary2 = 20,  // "r+b"
  kStreamCreateBinary = 27,   // create, then "w+b"
  kStreamReadText = 33,       // "r", size measured
  kStreamWriteText = 34,      // "w"
  kStreamUpdateText = 35,     // "r+"
  kStreamUpdateText2 = 36,    // "r+"
  kStreamCreateText = 43,     // create, then "w+"
};

// File size reported for a stream the caller handed over (it is not measured).
constexpr uint64_t kBorrowedStreamSize = 999999999;

struct ByteStream {
  FILE* file;       // null until opened
  uint64_t size;    // measured at opening by seeking to the end; kBorrowedStreamSize when borrowed
  bool borrowed;    // the file pointer belongs to the caller and is not closed by stream_close
  char* path;       // private copy of the path (UTF-8), or null
  int open_error;   // why the last stream_open failed (see stream_open_error)
};

// Creates a record. With `file` non-null the record borrows that open file (size 999999999);
// otherwise it only notes `path` for a later stream_open. Null when memory is short.
ByteStream* stream_attach(FILE* file, const char* path);
// Opens the noted path in `mode` (codes above). Returns `stream`, or null when the file cannot be
// opened, the size cannot be measured, or (mode 17) the file is empty; the record then stays
// valid, unopened, and is still released with stream_close. A borrowed stream is returned as is.
ByteStream* stream_open(ByteStream* stream, int mode);
// Why the last stream_open failed: 3 cannot open or empty, 4 size cannot be measured, 0 none.
int stream_open_error(const ByteStream* stream);
// Flushes, closes unless borrowed, frees the record. Null does nothing.
void stream_close(ByteStream* stream);
// attach + open in one call; null on any failure (the record is then already released).
ByteStream* stream_open_path(const char* path, int mode);

// Position. Seeks beyond the measured size fail with 4 (borrowed streams are not limited).
uint64_t stream_tell(ByteStream* s);
int stream_seek(ByteStream* s, uint64_t offset);            // 0 or 4
int stream_skip(ByteStream* s, uint64_t count);             // 0 or 4
// Bytes left before the measured end (0 when unknown or past it; large for borrowed streams).
uint64_t stream_remaining(ByteStream* s);
bool stream_at_end(ByteStream* s);

// Reads. 0 on success, 4 when fewer bytes were available (the position is then undefined).
int stream_read(ByteStream* s, void* buffer, size_t count);
// Reads up to `count` bytes and returns how many arrived (0 at the end of the data).
size_t stream_read_some(ByteStream* s, void* buffer, size_t count);
int stream_read_u8(ByteStream* s, uint8_t* value);
int stream_read_u16le(ByteStream* s, uint16_t* value);
int stream_read_u16be(ByteStream* s, uint16_t* value);
int stream_read_u32le(ByteStream* s, uint32_t* value);
int stream_read_u32be(ByteStream* s, uint32_t* value);
// One byte as 0..255, or -1 at the end of the data (for byte-oriented decoders).
int stream_getc(ByteStream* s);

// Writes. 0 on success, 6 (write error) otherwise.
int stream_write(ByteStream* s, const void* buffer, size_t count);
int stream_write_u8(ByteStream* s, uint8_t value);
int stream_write_u16le(ByteStream* s, uint16_t value);
int stream_write_u16be(ByteStream* s, uint16_t value);
int stream_write_u32le(ByteStream* s, uint32_t value);
int stream_write_u32be(ByteStream* s, uint32_t value);
int stream_flush(ByteStream* s);                             // 0 or 6

// Little/big-endian decoding of bytes already in memory (no bounds: the caller checked them).
inline uint16_t get_u16le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint16_t get_u16be(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t get_u32le(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t get_u32be(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void put_u16le(uint8_t* p, uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
inline void put_u16be(uint8_t* p, uint16_t v) { p[0] = v >> 8; p[1] = v & 0xFF; }
inline void put_u32le(uint8_t* p, uint32_t v) {
  p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = v >> 24;
}
inline void put_u32be(uint8_t* p, uint32_t v) {
  p[0] = v >> 24; p[1] = (v >> 16) & 0xFF; p[2] = (v >> 8) & 0xFF; p[3] = v & 0xFF;
}

}  // namespace lumora
