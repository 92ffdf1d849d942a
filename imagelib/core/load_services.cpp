// Defaults of the load records and the small services a reader calls: comments, "key: value"
// text lines, raw metadata blocks, temporary files, the image index and the message.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "imagelib/core/load.h"
#include "imagelib/core/status.h"

namespace lumora {

void load_params_init(LoadParams* p) {
  std::memset(p, 0, sizeof *p);
  p->format_index = -1;
  p->alignment = 4;
  p->alpha = 255;
  p->max_width = -1;
  p->max_height = -1;
}

void header_init(ImageHeader* h) {
  std::memset(h, 0, sizeof *h);
  h->rows_per_call = 1;
  h->planes = 1;
  h->bits_per_plane = 1;
  h->logical_bits = 8;
  h->logical_samples = 1;
  h->transparent_index = -1;
}

int32_t current_image_index(LoadContext* context, int /*unused*/) {
  return context ? context->params.image_index : 0;
}

void load_set_message(LoadContext* context, const char* text) {
  if (!context) return;
  std::strncpy(context->message, text ? text : "", sizeof context->message - 1);
  context->message[sizeof context->message - 1] = '\0';
}

int temp_file_name(char* name, size_t capacity) {
  // mkstemp creates the file atomically with an unpredictable name, so nobody can plant a file
  // or a link under a name we would open next.
  const char* dir = std::getenv("TMPDIR");
  if (!dir || !*dir) dir = "/tmp";
  std::string pattern(dir);
  if (pattern.back() != '/') pattern += '/';
  pattern += "x_XXXXXX";
  if (!name || capacity <= pattern.size()) return kStatusCannotCreate;
  std::memcpy(name, pattern.c_str(), pattern.size() + 1);
  int fd = mkstemp(name);
  if (fd < 0) {
    name[0] = '\0';
    return kStatusCannotCreate;
  }
  close(fd);
  return kStatusOk;
}

namespace {

// Texts worth keeping begin with a printable character (control bytes mean binary or empty).
bool printable_start(const char* text, int32_t length) {
  if (!text || length < 1) return false;
  unsigned char c = static_cast<unsigned char>(text[0]);
  return c >= 0x20 && c != 0x7F;
}

int32_t text_length(const char* text, int32_t length) {
  if (!text) return 0;
  if (length >= 1) return length;
  size_t n = std::strlen(text);
  return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(n);
}

char* copy_text(const char* prefix, size_t prefix_length, const char* text, size_t length) {
  char* out = static_cast<char*>(std::malloc(prefix_length + length + 1));
  if (!out) return nullptr;
  if (prefix_length) std::memcpy(out, prefix, prefix_length);
  std::memcpy(out + prefix_length, text, length);
  out[prefix_length + length] = '\0';
  return out;
}

// Reads a text of `length` bytes (or up to a NUL byte when `length` is below 1) into a malloc'd
// string. 0, 1 (memory) or 4 (the file ends first).
int read_stream_text(ByteStream* stream, int32_t length, char** out) {
  *out = nullptr;
  std::string text;
  if (length >= 1) {
    if (static_cast<uint64_t>(length) > stream_remaining(stream)) return kStatusFileEndsEarly;
    try {
      text.resize(static_cast<size_t>(length));
    } catch (...) {
      return kStatusNoMemory;
    }
    if (stream_read(stream, text.data(), text.size())) return kStatusFileEndsEarly;
  } else {
    for (;;) {
      int c = stream_getc(stream);
      if (c < 0) return kStatusFileEndsEarly;
      if (c == 0) break;
      try {
        text.push_back(static_cast<char>(c));
      } catch (...) {
        return kStatusNoMemory;
      }
    }
  }
  *out = copy_text(nullptr, 0, text.data(), text.size());
  return *out ? kStatusOk : kStatusNoMemory;
}

// Skips a text of `length` bytes, or up to and including its NUL byte.
int skip_stream_text(ByteStream* stream, int32_t length) {
  if (length >= 1) return stream_skip(stream, static_cast<uint64_t>(length));
  for (;;) {
    int c = stream_getc(stream);
    if (c < 0) return kStatusFileEndsEarly;
    if (c == 0) return kStatusOk;
  }
}

}  // namespace

int keep_comment(LoadContext* context, const char* text, int32_t length) {
  if (!context || !(context->params.flags & kLoadKeepComment)) return kStatusOk;
  length = text_length(text, length);
  if (!printable_start(text, length)) return kStatusOk;
  char* copy = copy_text(nullptr, 0, text, static_cast<size_t>(length));
  if (!copy) return kStatusNoMemory;
  std::free(context->comment);
  context->comment = copy;
  return kStatusOk;
}

int read_comment(ByteStream* stream, LoadContext* context, int32_t length) {
  if (!context || !(context->params.flags & kLoadKeepComment)) return skip_stream_text(stream, length);
  char* text = nullptr;
  int status = read_stream_text(stream, length, &text);
  if (status != kStatusOk) return status;
  status = keep_comment(context, text, 0);
  std::free(text);
  return status;
}

int keep_text(LoadContext* context, const char* key, const char* value, int32_t length) {
  if (!context || !(context->params.flags & kLoadKeepText)) return kStatusOk;
  if (context->text_count >= static_cast<uint32_t>(kMaxTextLines)) return kStatusOk;
  length = text_length(value, length);
  if (!printable_start(value, length)) return kStatusOk;
  std::string prefix;
  if (key) {
    prefix = key;
    prefix += ": ";
  }
  char* line = copy_text(prefix.data(), prefix.size(), value, static_cast<size_t>(length));
  if (!line) return kStatusNoMemory;
  context->text_lines[context->text_count++] = line;
  return kStatusOk;
}

int read_text(ByteStream* stream, LoadContext* context, const char* key, int32_t length) {
  if (!context || !(context->params.flags & kLoadKeepText) ||
      context->text_count >= static_cast<uint32_t>(kMaxTextLines))
    return skip_stream_text(stream, length);
  char* text = nullptr;
  int status = read_stream_text(stream, length, &text);
  if (status != kStatusOk) return status;
  status = keep_text(context, key, text, 0);
  std::free(text);
  return status;
}

int keep_chunk(LoadContext* context, uint32_t kind, const uint8_t* data, uint32_t size) {
  if (!context || !(context->params.flags & kLoadKeepChunks)) return kStatusOk;
  if (!data && size) return kStatusOk;
  if (kind == kChunkIcc) {
    // An ICC profile split over several file blocks (JPEG APP2) is joined into one chunk.
    for (MetadataChunk* c = context->chunks; c; c = c->next) {
      if (c->kind != kChunkIcc) continue;
      if (size == 0) return kStatusOk;
      if (static_cast<uint64_t>(c->size) + size > 0xFFFFFFFFu) return kStatusOk;
      auto* grown = static_cast<uint8_t*>(std::realloc(c->data, static_cast<size_t>(c->size) + size));
      if (!grown) return kStatusNoMemory;
      std::memcpy(grown + c->size, data, size);
      c->data = grown;
      c->size += size;
      return kStatusOk;
    }
  }
  return chunk_append(&context->chunks, kind, data, size) ? kStatusNoMemory : kStatusOk;
}

}  // namespace lumora
