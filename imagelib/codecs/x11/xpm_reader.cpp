// The X11 pixmap reader (XPM version 3). The file is a C array of strings: a values string
// "width height colours characters-per-pixel", one string per colour ("code key value ..."),
// then one string per row made of the pixels' codes.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "imagelib/codecs/x11/x11.h"
#include "imagelib/core/bitmap.h"
#include "imagelib/core/convert.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

constexpr uint32_t kMaxSide = 32000;
constexpr uint32_t kMaxCodeChars = 4;
constexpr size_t kMaxColorText = 4096;    // characters kept of one colour string
constexpr uint32_t kMaxColors = 1u << 20;
constexpr uint32_t kPaletteColors = 256;  // above this the picture is delivered as 24-bit colour

struct XpmColor {
  uint8_t rgb[3] = {0, 0, 0};
  bool transparent = false;
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a group of up to `digits` hexadecimal digits at `*p` (fewer when the text ends), as
// sscanf("%Nx") would; 0 when there is none.
uint32_t hex_group(const char** p, int digits) {
  uint32_t v = 0;
  for (int i = 0; i < digits && hex_digit(**p) >= 0; ++i, ++*p) v = v * 16 + hex_digit(**p);
  return v;
}

// "#" colours: #RGB, #RRGGBB, #RRGGBBAA, #RRRGGGBBB and #RRRRGGGGBBBB (X11 colour syntax).
void parse_hex_color(const char* text, uint8_t rgb[3]) {
  const char* p = text + 1;
  size_t digits = 0;
  while (hex_digit(p[digits]) >= 0) ++digits;
  int group = 4, shift = 8;
  if (digits == 3) {
    for (int k = 0; k < 3; ++k) rgb[k] = static_cast<uint8_t>(hex_group(&p, 1) * 17);
    return;
  }
  if (digits == 8 || digits < 7) group = 2, shift = 0;
  else if (digits == 9) group = 3, shift = 4;
  for (int k = 0; k < 3; ++k) rgb[k] = static_cast<uint8_t>(hex_group(&p, group) >> shift);
}

void parse_color(std::string value, XpmColor* color) {
  for (char& ch : value) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (value == "none") {
    color->transparent = true;
    color->rgb[0] = color->rgb[1] = color->rgb[2] = 255;
    return;
  }
  if (!value.empty() && value[0] == '#') {
    parse_hex_color(value.c_str(), color->rgb);
    return;
  }
  const X11Color* known = x11_color_find(value.c_str());
  if (known) {
    color->rgb[0] = known->red;
    color->rgb[1] = known->green;
    color->rgb[2] = known->blue;
  }   // names not in the table stay black
}

// The words after the code: keys "c" (colour), "m" (mono), "s" (symbolic), "g4" and "g" (grey),
// each followed by its value (several words joined by single blanks). The colour is the "c"
// value, or for files without one the grey or mono value.
std::string color_value(const std::string& rest) {
  static const char* const kKeys[] = {"c", "m", "s", "g4", "g"};
  std::string values[5];
  int key = -1;
  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
    size_t j = i;
    while (j < rest.size() && rest[j] != ' ' && rest[j] != '\t') ++j;
    if (j == i) break;
    const std::string word = rest.substr(i, j - i);
    i = j;
    int found = -1;
    for (int k = 0; k < 5; ++k)
      if (word == kKeys[k]) found = k;
    if (found >= 0) {
      key = found;
      values[key].clear();
    } else if (key >= 0) {
      if (!values[key].empty()) values[key] += ' ';
      values[key] += word;
    }
  }
  for (int k : {0, 4, 3, 1})
    if (!values[k].empty()) return values[k];
  return {};
}

uint32_t code_key(const char* code, uint32_t chars) {
  uint32_t key = 0;
  for (uint32_t i = 0; i < chars; ++i) key = (key << 8) | static_cast<uint8_t>(code[i]);
  return key;
}

class XpmReader {
 public:
  XpmReader(ByteStream* s, LoadContext* context) : s_(s), context_(context) {}
  int run();

 private:
  int read_values();
  int read_colors();
  int read_rows(ImageHeader* header);
  bool skip_to(int wanted) {
    int c;
    do {
      c = stream_getc(s_);
    } while (c >= 0 && c != wanted);
    return c >= 0;
  }
  int read_number(uint32_t* value);
  uint32_t lookup(const char* code) const;

  ByteStream* s_;
  LoadContext* context_;
  uint32_t width_ = 0, height_ = 0, ncolors_ = 0, cpp_ = 0;
  std::vector<XpmColor> colors_;
  std::vector<uint32_t> short_codes_;                    // 1- and 2-character codes
  std::unordered_map<uint32_t, uint32_t> long_codes_;    // 3- and 4-character codes
  int transparent_ = -1;
};

// A decimal number after blanks; 2 when there is none or it does not fit 32 bits.
int XpmReader::read_number(uint32_t* value) {
  int c;
  do {
    c = stream_getc(s_);
  } while (c == ' ' || c == '\t');
  if (c < '0' || c > '9') return kStatusNotRecognised;
  uint64_t v = 0;
  while (c >= '0' && c <= '9') {
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 0xFFFFFFFFu) return kStatusNotRecognised;
    c = stream_getc(s_);
  }
  *value = static_cast<uint32_t>(v);
  return kStatusOk;
}

int XpmReader::read_values() {
  uint8_t magic[6];
  if (stream_read(s_, magic, sizeof magic) != kStatusOk) return kStatusNotRecognised;
  for (int i = 0; i < 3; ++i)
    if (magic[i] >= 0x80) return kStatusNotRecognised;
  if (std::memcmp(magic + 3, "XPM", 3) != 0) return kStatusNotRecognised;
  if (!skip_to('"')) return kStatusNotRecognised;
  uint32_t* fields[4] = {&width_, &height_, &ncolors_, &cpp_};
  for (uint32_t* f : fields)
    if (read_number(f) != kStatusOk) return kStatusNotRecognised;
  // Each colour string takes at least its two quotes and its code.
  const uint64_t most_colors = stream_remaining(s_) / 3;
  if (width_ < 1 || width_ > kMaxSide || height_ < 1 || height_ > kMaxSide || cpp_ < 1 ||
      cpp_ > kMaxCodeChars || ncolors_ < 1 || ncolors_ > kMaxColors || ncolors_ > most_colors)
    return kStatusNotRecognised;
  if (!skip_to(',')) return kStatusFileEndsEarly;
  return kStatusOk;
}

int XpmReader::read_colors() {
  try {
    colors_.resize(ncolors_);
    if (cpp_ <= 2) short_codes_.assign(65536, 0);
  } catch (...) {
    return kStatusNoMemory;
  }
  std::string text;
  for (uint32_t i = 0; i < ncolors_; ++i) {
    if (!skip_to('"')) return kStatusFileEndsEarly;
    text.clear();
    int c;
    while ((c = stream_getc(s_)) >= 0 && c != '"')
      if (text.size() < kMaxColorText) text.push_back(static_cast<char>(c));
    if (c < 0) return kStatusFileEndsEarly;
    char code[kMaxCodeChars] = {};
    std::memcpy(code, text.data(), std::min<size_t>(cpp_, text.size()));
    const uint32_t key = code_key(code, cpp_);
    try {
      if (cpp_ <= 2) short_codes_[key] = i;
      else long_codes_.emplace(key, i);   // the first colour of a code wins
    } catch (...) {
      return kStatusNoMemory;
    }
    parse_color(color_value(text.size() > cpp_ ? text.substr(cpp_) : std::string()), &colors_[i]);
    if (colors_[i].transparent) transparent_ = static_cast<int>(i);
  }
  return kStatusOk;
}

// Codes that no colour string defined give colour 0.
uint32_t XpmReader::lookup(const char* code) const {
  const uint32_t key = code_key(code, cpp_);
  if (cpp_ <= 2) return short_codes_[key];
  const auto it = long_codes_.find(key);
  return it == long_codes_.end() ? 0 : it->second;
}

int XpmReader::read_rows(ImageHeader* header) {
  const bool rgb = ncolors_ > kPaletteColors;
  char code[kMaxCodeChars];
  for (uint32_t y = 0; y < height_; ++y) {
    if (!skip_to('"')) return kStatusFileEndsEarly;
    uint8_t* out = header->row_buffer;
    for (uint32_t x = 0; x < width_; ++x) {
      if (stream_read(s_, code, cpp_) != kStatusOk) return kStatusFileEndsEarly;
      const uint32_t index = lookup(code);
      if (rgb) {
        std::memcpy(out + 3 * static_cast<size_t>(x), colors_[index].rgb, 3);
      } else {
        out[x] = static_cast<uint8_t>(index);
      }
    }
    stream_getc(s_);   // the closing quote
    const int status = context_->services.put_rows(context_, -1, -1, 1);
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

int XpmReader::run() {
  int status = read_values();
  if (status != kStatusOk) return status;
  if ((status = read_colors()) != kStatusOk) return status;

  ImageHeader header;
  context_->services.header_init(&header);
  std::strcpy(header.description, "X PixMap");
  header.layout = kLayoutOnePerByte;
  header.planes = 1;
  header.width = static_cast<int32_t>(width_);
  header.height = static_cast<int32_t>(height_);
  const bool rgb = ncolors_ > kPaletteColors;
  if (rgb) {
    header.bits_per_plane = 24;
    header.bytes_per_plane = 3 * width_;
  } else {
    header.bits_per_plane = static_cast<uint16_t>(bits_for_colors(static_cast<int>(ncolors_)));
    header.bytes_per_plane = width_;
    header.transparent_index = static_cast<int16_t>(transparent_);
  }

  status = context_->services.begin_image(context_, &header);
  if (status != 0) return status;
  if (!header.row_buffer || header.row_buffer_size < header.bytes_per_plane)
    status = kStatusNoMemory;
  else
    status = read_rows(&header);

  uint8_t palette[768] = {};
  if (!rgb)
    for (uint32_t i = 0; i < ncolors_; ++i) std::memcpy(palette + 3 * i, colors_[i].rgb, 3);
  const int end =
      context_->services.end_image(context_, rgb ? 0 : 0x100, 8, rgb ? nullptr : palette);
  return status != kStatusOk ? status : end;
}

}  // namespace

int xpm_read(ByteStream* stream, LoadContext* context) {
  XpmReader reader(stream, context);
  return reader.run();
}

}  // namespace lumora
