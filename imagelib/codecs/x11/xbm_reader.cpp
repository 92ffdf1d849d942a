// The X11 bitmap reader. An XBM file is C source: "#define name_width 16" and
// "#define name_height 16" lines, then an array declaration of bytes (X11 version 11) or of
// 16-bit words (X10) written as hexadecimal numbers separated by commas. The least significant
// bit of each value is the leftmost pixel, and a set bit is black.
#include <cstdlib>
#include <cstring>
#include <string>

#include "imagelib/codecs/x11/x11.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

constexpr size_t kMaxLine = 1023;       // longer lines are read in pieces
constexpr size_t kMaxValueText = 32;    // characters of one value before its comma
constexpr int32_t kSideLimit = 16000;
constexpr int kHeaderLineLimit = 4;     // a fourth non-empty line that is no #define ends the header

uint8_t reverse_bits(uint32_t v) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((v >> i) & 1) << (7 - i)));
  return r;
}

// Reads one line (without its line feed) of at most kMaxLine characters. False at the end of the
// file when nothing was read.
bool read_line(ByteStream* s, std::string* line) {
  line->clear();
  int c = stream_getc(s);
  if (c < 0) return false;
  while (c >= 0 && c != '\n') {
    line->push_back(static_cast<char>(c));
    if (line->size() >= kMaxLine) break;
    c = stream_getc(s);
  }
  return true;
}

bool is_blank_line(const std::string& line) {
  return line.find_first_not_of(" \t\r\f\v") == std::string::npos;
}

// "#define <name> <number>": the number when the name contains `key`, -1 for a number that is
// not a usable size, unchanged otherwise.
void match_define(const std::string& line, int32_t* width, int32_t* height) {
  const size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line.compare(start, 7, "#define") != 0) return;
  const char* p = line.c_str() + start + 7;
  while (*p == ' ' || *p == '\t') ++p;
  const char* name = p;
  while (*p && *p != ' ' && *p != '\t') ++p;
  const std::string symbol(name, static_cast<size_t>(p - name));
  char* end = nullptr;
  const long value = std::strtol(p, &end, 10);
  if (end == p) return;
  const int32_t usable = value >= 1 && value < kSideLimit ? static_cast<int32_t>(value) : -1;
  if (symbol.find("_width") != std::string::npos) *width = usable;
  else if (symbol.find("_height") != std::string::npos) *height = usable;
}

class XbmReader {
 public:
  XbmReader(ByteStream* s, LoadContext* context) : s_(s), context_(context) {}
  int run();

 private:
  int read_header();
  int read_value(uint32_t* value);

  ByteStream* s_;
  LoadContext* context_;
  int32_t width_ = 0, height_ = 0;
  bool words_ = false;   // 16-bit values follow
};

// Reads up to the line that ends the header and leaves the stream where the values begin: after
// the "{" of the array declaration, or after the line when it has none.
int XbmReader::read_header() {
  std::string line;
  int non_empty = 0;
  for (;;) {
    const uint64_t line_start = stream_tell(s_);
    if (!read_line(s_, &line)) return kStatusNotRecognised;
    if (is_blank_line(line)) continue;
    ++non_empty;
    const size_t start = line.find_first_not_of(" \t");
    if (line.compare(start, 7, "#define") == 0) {
      match_define(line, &width_, &height_);
      continue;
    }
    const size_t brace = line.find('{');
    if (brace == std::string::npos && non_empty < kHeaderLineLimit) continue;
    if (brace != std::string::npos) {
      // "static unsigned short name[] = {" (X10) or "static [unsigned] char name[] = {" (X11);
      // values written on the same line as the brace are read too.
      words_ = line.substr(0, brace).find("short") != std::string::npos;
      if (stream_seek(s_, line_start + brace + 1) != kStatusOk) return kStatusNotRecognised;
    }
    return kStatusOk;
  }
}

// The text up to the next comma, parsed as a hexadecimal number ("0x" prefix optional). 4 when
// the file ends before any digit.
int XbmReader::read_value(uint32_t* value) {
  char text[kMaxValueText + 1];
  size_t n = 0;
  int c = 0;
  while (n < kMaxValueText) {
    c = stream_getc(s_);
    if (c < 0 || c == ',') break;
    text[n++] = static_cast<char>(c);
  }
  text[n] = '\0';
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  char* end = nullptr;
  const unsigned long v = std::strtoul(p, &end, 16);
  if (end == p) {
    if (c < 0) return kStatusFileEndsEarly;
    *value = 0;
    return kStatusOk;
  }
  *value = static_cast<uint32_t>(v);
  return kStatusOk;
}

int XbmReader::run() {
  int status = read_header();
  if (status != kStatusOk) return status;
  if (width_ < 1 || height_ < 1) return kStatusNotRecognised;

  ImageHeader header;
  context_->services.header_init(&header);
  std::strcpy(header.description, "X BitMap");
  header.width = width_;
  header.height = height_;
  header.planes = 1;
  header.bits_per_plane = 1;
  const uint32_t row_bytes =
      words_ ? static_cast<uint32_t>((width_ + 15) / 8) & ~1u : static_cast<uint32_t>((width_ + 7) / 8);
  header.bytes_per_plane = row_bytes;

  status = context_->services.begin_image(context_, &header);
  if (status != 0) return status;
  if (!header.row_buffer || header.row_buffer_size < row_bytes) status = kStatusNoMemory;
  for (int32_t y = 0; y < height_ && status == kStatusOk; ++y) {
    uint8_t* row = header.row_buffer;
    for (uint32_t i = 0; i < row_bytes && status == kStatusOk; i += words_ ? 2 : 1) {
      uint32_t value = 0;
      status = read_value(&value);
      row[i] = reverse_bits(value & 0xFF);
      if (words_) row[i + 1] = reverse_bits((value >> 8) & 0xFF);
    }
    if (status == kStatusOk) status = context_->services.put_rows(context_, -1, -1, 1);
  }
  const int end = context_->services.end_image(context_, 0x1, 8, nullptr);   // a set bit is black
  return status != kStatusOk ? status : end;
}

}  // namespace

int xbm_read(ByteStream* stream, LoadContext* context) {
  XbmReader reader(stream, context);
  return reader.run();
}

}  // namespace lumora
