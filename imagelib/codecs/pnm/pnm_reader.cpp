// The portable anymap reader. Header numbers and plain samples are decimal text separated by
// white space, with comments from "#" to the end of the line; raw samples are bytes, or 16-bit
// big-endian values when the maximum is above 255.
#include <cstdio>
#include <cstring>
#include <vector>

#include "imagelib/codecs/pnm/pnm.h"
#include "imagelib/core/convert.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {

namespace {

constexpr int32_t kSideLimit = 16000;
constexpr uint32_t kMaxSample = 65535;   // the largest maximum value the formats allow
constexpr const char* kBadSize = "Portable Bitmap : Bad picture's size !";
constexpr const char* kBadMaximum = "Portable Bitmap : Bad maximum value !";

struct Variant {
  const char* description;
  int bits;
};

// Indexed by the digit after "P", 1 to 7.
constexpr Variant kVariants[8] = {
    {nullptr, 0},
    {"Portable Bitmap (Type 1 - ASCII)", 1},
    {"Portable Graymap (Type 2 - ASCII)", 8},
    {"Portable Pixmap (Type 3 - ASCII)", 24},
    {"Portable Bitmap (Type 4 - Binary)", 1},
    {"Portable Graymap (Type 5 - Binary)", 8},
    {"Portable Pixmap (Type 6 - Binary)", 24},
    {"XV visual schnauzer", 8},
};

bool try_assign(std::vector<uint8_t>& v, size_t n) {
  try {
    v.assign(n, 0);
    return true;
  } catch (...) {
    return false;
  }
}

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Reads the text parts of the file: numbers, plain bits, comments.
class PnmText {
 public:
  explicit PnmText(ByteStream* s) : s_(s) {}

  // Skips blanks and comments, then reads a decimal number. 0, 4 at the end of the file, 2 when
  // the next character is not a digit. Numbers above 65535 are not wrapped: `overflow` is set
  // and the value stays 65536. The character ending the number is consumed (a "#" with the rest
  // of its line).
  int number(uint32_t* value, bool* overflow) {
    int c = skip_blanks();
    if (c < 0) return kStatusFileEndsEarly;
    if (c < '0' || c > '9') return kStatusNotRecognised;
    uint32_t v = 0;
    *overflow = false;
    while (c >= '0' && c <= '9') {
      v = v * 10 + static_cast<uint32_t>(c - '0');
      if (v > kMaxSample) {
        *overflow = true;
        v = kMaxSample + 1;
      }
      c = stream_getc(s_);
    }
    if (c == '#') skip_line();
    *value = v;
    return kStatusOk;
  }

  // One plain bit: "0" or "1", white space between bits being optional.
  int bit(uint8_t* value) {
    const int c = skip_blanks();
    if (c < 0) return kStatusFileEndsEarly;
    if (c != '0' && c != '1') return kStatusNotRecognised;
    *value = static_cast<uint8_t>(c - '0');
    return kStatusOk;
  }

 private:
  // Returns the first character that is neither blank nor part of a comment, or -1.
  int skip_blanks() {
    for (;;) {
      const int c = stream_getc(s_);
      if (c == '#') {
        skip_line();
        continue;
      }
      if (!is_blank(c)) return c;
    }
  }
  void skip_line() {
    int c;
    do {
      c = stream_getc(s_);
    } while (c >= 0 && c != '\n' && c != '\r');
  }

  ByteStream* s_;
};

// Scales a sample of 0..maximum to 0..255; samples above the maximum count as the maximum.
inline uint8_t scale_sample(uint32_t value, uint32_t maximum) {
  if (value > maximum) value = maximum;
  if (maximum == 255) return static_cast<uint8_t>(value);
  if (maximum == kMaxSample) return static_cast<uint8_t>(value >> 8);
  return static_cast<uint8_t>(value * 255u / maximum);
}

class PnmReader {
 public:
  PnmReader(ByteStream* s, LoadContext* context) : s_(s), text_(s), context_(context) {}
  int run(const char* description, int32_t resolution);

 private:
  int read_header();
  int read_plain_row(uint8_t* row);
  int read_raw_row(uint8_t* row);

  ByteStream* s_;
  PnmText text_;
  LoadContext* context_;
  int kind_ = 0;               // the digit after "P"
  uint32_t width_ = 0, height_ = 0;
  uint32_t maximum_ = 255;
  size_t samples_ = 0;         // samples of one row (bytes_per_plane)
  std::vector<uint8_t> wide_;  // one raw row of 16-bit samples
};

int PnmReader::read_header() {
  uint8_t magic[2];
  if (stream_read(s_, magic, 2) != kStatusOk) return kStatusNotRecognised;
  if (magic[0] != 'P' || magic[1] < '1' || magic[1] > '7') return kStatusNotRecognised;
  kind_ = magic[1] - '0';
  bool overflow = false;
  int status;
  if (kind_ == 7) {
    // "P7 332": the colour layout of the thumbnail, then the usual numbers.
    uint32_t layout = 0;
    if ((status = text_.number(&layout, &overflow)) != kStatusOk) return status;
  }
  bool too_big = false;
  if ((status = text_.number(&width_, &overflow)) != kStatusOk) return status;
  too_big |= overflow;
  if ((status = text_.number(&height_, &overflow)) != kStatusOk) return status;
  too_big |= overflow;
  if (too_big || width_ < 1 || height_ < 1 || width_ >= kSideLimit || height_ >= kSideLimit) {
    load_set_message(context_, kBadSize);
    return kStatusImpossible;
  }
  if (kind_ != 1 && kind_ != 4) {
    if ((status = text_.number(&maximum_, &overflow)) != kStatusOk) return status;
    // A maximum of 0 would divide by zero; one above 65535 does not fit the samples.
    if (overflow || maximum_ == 0) {
      load_set_message(context_, kBadMaximum);
      return kStatusImpossible;
    }
  }
  return kStatusOk;
}

int PnmReader::read_plain_row(uint8_t* row) {
  for (size_t i = 0; i < samples_; ++i) {
    if (kind_ == 1) {
      const int status = text_.bit(&row[i]);
      if (status != kStatusOk) return status;
      continue;
    }
    uint32_t value = 0;
    bool overflow = false;
    const int status = text_.number(&value, &overflow);
    if (status != kStatusOk) return status;
    row[i] = scale_sample(value, maximum_);
  }
  return kStatusOk;
}

int PnmReader::read_raw_row(uint8_t* row) {
  if (kind_ == 4 || maximum_ <= 255) {
    if (stream_read(s_, row, samples_) != kStatusOk) return kStatusFileEndsEarly;
    if (kind_ != 4 && maximum_ != 255)
      for (size_t i = 0; i < samples_; ++i) row[i] = scale_sample(row[i], maximum_);
    return kStatusOk;
  }
  if (stream_read(s_, wide_.data(), wide_.size()) != kStatusOk) return kStatusFileEndsEarly;
  for (size_t i = 0; i < samples_; ++i) row[i] = scale_sample(get_u16be(&wide_[2 * i]), maximum_);
  return kStatusOk;
}

int PnmReader::run(const char* description, int32_t resolution) {
  int status = read_header();
  if (status != kStatusOk) return status;
  const Variant& variant = kVariants[kind_];

  ImageHeader header;
  context_->services.header_init(&header);
  std::snprintf(header.description, sizeof header.description, "%s",
                description ? description : variant.description);
  header.planes = 1;
  header.width = static_cast<int32_t>(width_);
  header.height = static_cast<int32_t>(height_);
  header.bits_per_plane = static_cast<uint16_t>(variant.bits);
  if (variant.bits == 1) samples_ = (width_ + 7) / 8;
  else if (variant.bits == 24) samples_ = 3 * static_cast<size_t>(width_);
  else samples_ = width_;
  if (kind_ == 1) {
    header.layout = kLayoutOnePerByte;
    samples_ = width_;
  }
  header.bytes_per_plane = static_cast<uint32_t>(samples_);
  // Grey maps (the 332-colour thumbnails of kind 7 come with a palette).
  if (variant.bits == 8 && kind_ != 7) header.grey_levels = kGreyLevelsBlackZero;
  if (resolution >= 1) header.xdpi = header.ydpi = resolution;
  const bool plain = kind_ <= 3;
  if (!plain && kind_ != 4 && maximum_ > 255) {
    if (!try_assign(wide_, 2 * samples_)) return kStatusNoMemory;
  }

  status = context_->services.begin_image(context_, &header);
  if (status != 0) return status;
  if (!header.row_buffer || header.row_buffer_size < samples_) {
    status = kStatusNoMemory;
  } else {
    for (uint32_t y = 0; y < height_ && status == kStatusOk; ++y) {
      status = plain ? read_plain_row(header.row_buffer) : read_raw_row(header.row_buffer);
      // Text that is no sample inside the picture is corrupt data (the rows so far are kept
      // with flag 0x400), not a file of another format.
      if (status == kStatusNotRecognised) status = kStatusCorrupt;
      if (status == kStatusOk) status = context_->services.put_rows(context_, -1, -1, 1);
    }
  }

  int end;
  if (variant.bits == 1) {
    end = context_->services.end_image(context_, 0x1, 8, nullptr);   // a set bit is black
  } else if (kind_ == 7) {
    // The thumbnails' bytes are colours of 3 bits red, 3 bits green, 2 bits blue.
    uint8_t palette[768];
    for (int i = 0; i < 256; ++i) {
      palette[3 * i] = static_cast<uint8_t>((i >> 5) * 255 / 7);
      palette[3 * i + 1] = static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7);
      palette[3 * i + 2] = static_cast<uint8_t>((i & 3) * 255 / 3);
    }
    end = context_->services.end_image(context_, 0x100, 8, palette);
  } else {
    end = context_->services.end_image(context_, 0, 8, nullptr);
  }
  return status != kStatusOk ? status : end;
}

}  // namespace

int pnm_read_common(ByteStream* stream, LoadContext* context, const char* description,
                    int32_t resolution) {
  PnmReader reader(stream, context);
  return reader.run(description, resolution);
}

int pnm_read(ByteStream* stream, LoadContext* context) {
  return pnm_read_common(stream, context, nullptr, 0);
}

}  // namespace lumora
