// LZW decompression (TIFF 6.0 section 13): codes of 9 to 12 bits, 256 clears the table, 257 ends
// the strip. Current files take codes most significant bit first and widen them one code early
// (when the next free code reaches 511, 1023, 2047); the old-style variant takes them least
// significant bit first and widens them when the next free code reaches 512, 1024, 2048.
#include <algorithm>
#include <cstring>
#include <memory>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kFirstFree = 258;
constexpr int kTableSize = 4096;

class BitSource {
 public:
  BitSource(const uint8_t* in, size_t size, bool lsb_first) : in_(in), size_(size), lsb_(lsb_first) {}
  // The next `width`-bit code, or -1 when the data ends.
  int next(int width) {
    while (count_ < width) {
      if (pos_ >= size_) return -1;
      const uint32_t byte = in_[pos_++];
      if (lsb_) {
        bits_ |= byte << count_;
      } else {
        bits_ = (bits_ << 8) | byte;
      }
      count_ += 8;
    }
    int code;
    if (lsb_) {
      code = static_cast<int>(bits_ & ((1u << width) - 1));
      bits_ >>= width;
    } else {
      code = static_cast<int>((bits_ >> (count_ - width)) & ((1u << width) - 1));
    }
    count_ -= width;
    if (!lsb_) bits_ &= (1u << count_) - 1;
    return code;
  }

 private:
  const uint8_t* in_;
  size_t size_;
  bool lsb_;
  size_t pos_ = 0;
  uint32_t bits_ = 0;
  int count_ = 0;
};

struct Table {
  uint16_t prefix[kTableSize];
  uint8_t suffix[kTableSize];
  uint8_t first[kTableSize];    // first byte of the string
  uint16_t length[kTableSize];
};

}  // namespace

bool lzw_is_old_style(const uint8_t* in, size_t in_size) {
  return in_size >= 2 && in[0] == 0x00 && (in[1] & 0x01) != 0;
}

DecodeResult decode_lzw(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                        bool old_style) {
  DecodeResult r;
  auto table = std::make_unique<Table>();
  for (int i = 0; i < 256; ++i) {
    table->prefix[i] = 0;
    table->suffix[i] = static_cast<uint8_t>(i);
    table->first[i] = static_cast<uint8_t>(i);
    table->length[i] = 1;
  }
  BitSource bits(in, in_size, old_style);
  const int early = old_style ? 0 : 1;
  int width = 9;
  int next = kFirstFree;
  int previous = -1;
  bool first_code = true;
  while (r.produced < out_size) {
    const int code = bits.next(width);
    if (code < 0) {
      r.status = kStatusFileEndsEarly;
      return r;
    }
    if (first_code && code != kClear) {
      r.status = kStatusImpossible;
      return r;
    }
    first_code = false;
    if (code == kEnd) break;
    if (code == kClear) {
      width = 9;
      next = kFirstFree;
      previous = -1;
      continue;
    }
    if (previous < 0) {
      if (code > 255) {
        r.status = kStatusCorrupt;
        return r;
      }
      out[r.produced++] = static_cast<uint8_t>(code);
      previous = code;
      continue;
    }
    // A code may name the entry about to be made, never one beyond it (nor the full table's).
    if (code > next || code >= kTableSize) {
      r.status = kStatusCorrupt;
      return r;
    }
    // The string of `code` (or, for the code not yet in the table, previous + its first byte).
    const bool known = code < next;
    const int source = known ? code : previous;
    const size_t length = table->length[source] + (known ? 0 : 1);
    const uint8_t first = table->first[source];
    // Write back to front, clipped at the end of the output.
    const size_t start = r.produced;
    size_t end = start + length;
    size_t pos = end;
    if (!known) {
      --pos;
      if (pos < out_size) out[pos] = first;
    }
    for (int c = source; pos > start;) {
      --pos;
      if (pos < out_size) out[pos] = table->suffix[c];
      c = table->prefix[c];
    }
    r.produced = std::min(end, out_size);
    if (next < kTableSize) {
      table->prefix[next] = static_cast<uint16_t>(previous);
      table->suffix[next] = first;   // the first byte of the current string
      table->first[next] = table->first[previous];
      table->length[next] = static_cast<uint16_t>(table->length[previous] + 1);
      ++next;
    }
    previous = code;
    if (next + early >= (1 << width) && width < 12) ++width;
  }
  return r;
}

}  // namespace lumora::tiff
