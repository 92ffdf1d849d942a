#include "imagelib/core/stream.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/status.h"

namespace lumora {

namespace {

const char* mode_text(int mode) {
  switch (mode) {
    case kStreamReadBinary: return "rb";
    case kStreamWriteBinary: return "wb";
    case kStreamUpdateBinary:
    case kStreamUpdateBinary2: return "r+b";
    case kStreamCreateBinary: return "w+b";
    case kStreamReadText: return "r";
    case kStreamWriteText: return "w";
    case kStreamUpdateText:
    case kStreamUpdateText2: return "r+";
    case kStreamCreateText: return "w+";
    default: return nullptr;
  }
}

bool mode_measures_size(int mode) { return mode == kStreamReadBinary || mode == kStreamReadText; }

// The size by seeking to the end and back; false when the stream cannot seek.
bool measure(FILE* f, uint64_t* size) {
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  long end = std::ftell(f);
  if (end < 0 || std::fseek(f, 0, SEEK_SET) != 0) return false;
  *size = static_cast<uint64_t>(end);
  return true;
}

}  // namespace

ByteStream* stream_attach(FILE* file, const char* path) {
  auto* s = static_cast<ByteStream*>(std::calloc(1, sizeof(ByteStream)));
  if (!s) return nullptr;
  if (path) {
    s->path = string_dup(path);
    if (!s->path) {
      std::free(s);
      return nullptr;
    }
  }
  if (file) {
    s->file = file;
    s->borrowed = true;
    s->size = kBorrowedStreamSize;
  }
  return s;
}

ByteStream* stream_open(ByteStream* stream, int mode) {
  if (!stream) return nullptr;
  stream->open_error = 0;
  if (stream->borrowed) return stream;
  const char* how = mode_text(mode);
  if (!how || !stream->path || stream->file) {
    stream->open_error = kStatusCannotOpen;
    return nullptr;
  }
  FILE* f = std::fopen(stream->path, how);
  if (!f) {
    stream->open_error = kStatusCannotOpen;
    return nullptr;
  }
  uint64_t size = 0;
  if (mode_measures_size(mode)) {
    if (!measure(f, &size)) {
      std::fclose(f);
      stream->open_error = kStatusFileEndsEarly;
      return nullptr;
    }
    if (size == 0 && mode == kStreamReadBinary) {
      std::fclose(f);
      stream->open_error = kStatusCannotOpen;
      return nullptr;
    }
  }
  stream->file = f;
  stream->size = size;
  return stream;
}

int stream_open_error(const ByteStream* stream) { return stream ? stream->open_error : 0; }

void stream_close(ByteStream* stream) {
  if (!stream) return;
  if (stream->file) {
    std::fflush(stream->file);
    if (!stream->borrowed) std::fclose(stream->file);
  }
  std::free(stream->path);
  std::free(stream);
}

ByteStream* stream_open_path(const char* path, int mode) {
  ByteStream* s = stream_attach(nullptr, path);
  if (!s) return nullptr;
  if (!stream_open(s, mode)) {
    stream_close(s);
    return nullptr;
  }
  return s;
}

uint64_t stream_tell(ByteStream* s) {
  if (!s || !s->file) return 0;
  long pos = std::ftell(s->file);
  return pos < 0 ? 0 : static_cast<uint64_t>(pos);
}

int stream_seek(ByteStream* s, uint64_t offset) {
  if (!s || !s->file) return kStatusFileEndsEarly;
  if (!s->borrowed && offset > s->size) return kStatusFileEndsEarly;
  if (offset > static_cast<uint64_t>(LONG_MAX)) return kStatusFileEndsEarly;
  return std::fseek(s->file, static_cast<long>(offset), SEEK_SET) == 0 ? 0 : kStatusFileEndsEarly;
}

int stream_skip(ByteStream* s, uint64_t count) {
  if (!s || !s->file) return kStatusFileEndsEarly;
  uint64_t pos = stream_tell(s);
  if (count > UINT64_MAX - pos) return kStatusFileEndsEarly;
  return stream_seek(s, pos + count);
}

uint64_t stream_remaining(ByteStream* s) {
  if (!s || !s->file) return 0;
  uint64_t pos = stream_tell(s);
  return pos >= s->size ? 0 : s->size - pos;
}

bool stream_at_end(ByteStream* s) {
  if (!s || !s->file) return true;
  int c = std::fgetc(s->file);
  if (c == EOF) return true;
  std::ungetc(c, s->file);
  return false;
}

size_t stream_read_some(ByteStream* s, void* buffer, size_t count) {
  if (!s || !s->file || count == 0) return 0;
  return std::fread(buffer, 1, count, s->file);
}

int stream_read(ByteStream* s, void* buffer, size_t count) {
  return stream_read_some(s, buffer, count) == count ? 0 : kStatusFileEndsEarly;
}

int stream_getc(ByteStream* s) {
  if (!s || !s->file) return -1;
  int c = std::fgetc(s->file);
  return c == EOF ? -1 : c;
}

int stream_read_u8(ByteStream* s, uint8_t* value) { return stream_read(s, value, 1); }

int stream_read_u16le(ByteStream* s, uint16_t* value) {
  uint8_t b[2];
  if (stream_read(s, b, 2)) return kStatusFileEndsEarly;
  *value = get_u16le(b);
  return 0;
}

int stream_read_u16be(ByteStream* s, uint16_t* value) {
  uint8_t b[2];
  if (stream_read(s, b, 2)) return kStatusFileEndsEarly;
  *value = get_u16be(b);
  return 0;
}

int stream_read_u32le(ByteStream* s, uint32_t* value) {
  uint8_t b[4];
  if (stream_read(s, b, 4)) return kStatusFileEndsEarly;
  *value = get_u32le(b);
  return 0;
}

int stream_read_u32be(ByteStream* s, uint32_t* value) {
  uint8_t b[4];
  if (stream_read(s, b, 4)) return kStatusFileEndsEarly;
  *value = get_u32be(b);
  return 0;
}

int stream_write(ByteStream* s, const void* buffer, size_t count) {
  if (!s || !s->file) return kStatusWriteError;
  if (count == 0) return 0;
  return std::fwrite(buffer, 1, count, s->file) == count ? 0 : kStatusWriteError;
}

int stream_write_u8(ByteStream* s, uint8_t value) { return stream_write(s, &value, 1); }

int stream_write_u16le(ByteStream* s, uint16_t value) {
  uint8_t b[2];
  put_u16le(b, value);
  return stream_write(s, b, 2);
}

int stream_write_u16be(ByteStream* s, uint16_t value) {
  uint8_t b[2];
  put_u16be(b, value);
  return stream_write(s, b, 2);
}

int stream_write_u32le(ByteStream* s, uint32_t value) {
  uint8_t b[4];
  put_u32le(b, value);
  return stream_write(s, b, 4);
}

int stream_write_u32be(ByteStream* s, uint32_t value) {
  uint8_t b[4];
  put_u32be(b, value);
  return stream_write(s, b, 4);
}

int stream_flush(ByteStream* s) {
  if (!s || !s->file) return kStatusWriteError;
  return std::fflush(s->file) == 0 ? 0 : kStatusWriteError;
}

}  // namespace lumora
