// CCITT bilevel decompression: modified Huffman (TIFF compression 2, each row byte-aligned),
// ITU-T T.4 one- and two-dimensional coding (compression 3) and ITU-T T.6 (compression 4). Each
// row is decoded into its changing elements (alternating white and black runs, starting with
// white), which then fill the row's packed bits.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/codecs/tiff/tiff_ccitt_tables.h"
#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

// Runs longer than this cannot belong to any row the reader accepts.
constexpr uint32_t kMaxRun = 1u << 24;

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size)
      : data_(data), size_(size), bits_(static_cast<uint64_t>(size) * 8) {}
  // The next `n` bits (n <= 16), zero-padded beyond the end.
  uint32_t peek(int n) const {
    const uint64_t byte = pos_ >> 3;
    uint32_t w = 0;
    for (uint64_t i = byte; i < byte + 3; ++i) w = (w << 8) | (i < size_ ? data_[i] : 0u);
    w <<= (pos_ & 7);
    return (w >> (24 - n)) & ((1u << n) - 1);
  }
  void consume(int n) { pos_ += static_cast<uint64_t>(n); }
  bool at_end() const { return pos_ >= bits_; }
  void align() { pos_ = (pos_ + 7) & ~uint64_t{7}; }

 private:
  const uint8_t* data_;
  uint64_t size_;
  uint64_t bits_;
  uint64_t pos_ = 0;
};

enum class RowEnd { kDone, kEndOfLine, kBadCode, kDataEnds };

// One run of white (`black` false) or black: make-up codes accumulate until a terminating code.
RowEnd read_run(BitReader& in, bool black, uint32_t* run) {
  uint32_t total = 0;
  for (;;) {
    if (in.at_end()) return RowEnd::kDataEnds;
    const CcittEntry& e = black ? kCcittBlackTable[in.peek(13)] : kCcittWhiteTable[in.peek(12)];
    if (e.state == kCcittEndOfLine) return RowEnd::kEndOfLine;
    if (e.state == kCcittInvalid) return RowEnd::kBadCode;
    in.consume(e.bits);
    total += e.param;
    if (total > kMaxRun) return RowEnd::kBadCode;
    if (e.state == kCcittWhiteTerminating || e.state == kCcittBlackTerminating) {
      *run = total;
      return RowEnd::kDone;
    }
  }
}

// One-dimensional row: runs until the row is full.
RowEnd decode_row_1d(BitReader& in, uint32_t width, std::vector<uint32_t>& changes) {
  changes.clear();
  uint32_t a0 = 0;
  bool black = false;
  while (a0 < width) {
    uint32_t run = 0;
    const RowEnd end = read_run(in, black, &run);
    if (end != RowEnd::kDone) return end;
    a0 = std::min(a0 + run, width);
    changes.push_back(a0);
    black = !black;
  }
  return RowEnd::kDone;
}

// Two-dimensional row against the reference row's changing elements (`ref`, ending with
// sentinels at `width`).
RowEnd decode_row_2d(BitReader& in, uint32_t width, const std::vector<uint32_t>& ref,
                     std::vector<uint32_t>& changes) {
  changes.clear();
  int64_t a0 = -1;
  unsigned color = 0;   // 0 white, 1 black
  size_t i = 0;
  while (a0 < static_cast<int64_t>(width)) {
    if (in.at_end()) return RowEnd::kDataEnds;
    const uint32_t bits7 = in.peek(7);
    const CcittEntry& e = kCcittModeTable[bits7];
    if (e.state == kCcittInvalid) return in.peek(12) == 1 ? RowEnd::kEndOfLine : RowEnd::kBadCode;
    // b1: the first changing element of the reference row right of a0 of the colour opposite to
    // a0's (even positions change white to black); b2 the one after it.
    while (i > 0 && static_cast<int64_t>(ref[i - 1]) > a0) --i;
    while (static_cast<int64_t>(ref[i]) <= a0) ++i;
    if ((i & 1) != color) ++i;
    const uint32_t b1 = ref[i];
    const uint32_t b2 = ref[i + 1];
    const uint32_t start = a0 < 0 ? 0 : static_cast<uint32_t>(a0);
    switch (e.state) {
      case kCcittPass:
        in.consume(e.bits);
        a0 = b2;
        break;
      case kCcittHorizontal: {
        in.consume(e.bits);
        uint32_t r1 = 0, r2 = 0;
        RowEnd end = read_run(in, color != 0, &r1);
        if (end != RowEnd::kDone) return end;
        end = read_run(in, color == 0, &r2);
        if (end != RowEnd::kDone) return end;
        const uint32_t a1 = std::min(start + r1, width);
        const uint32_t a2 = std::min(a1 + r2, width);
        changes.push_back(a1);
        changes.push_back(a2);
        a0 = a2;
        break;
      }
      case kCcittVertical0:
      case kCcittVerticalRight:
      case kCcittVerticalLeft: {
        in.consume(e.bits);
        int64_t a1 = b1;
        if (e.state == kCcittVerticalRight) a1 += e.param;
        if (e.state == kCcittVerticalLeft) a1 -= e.param;
        if (a1 < static_cast<int64_t>(start) || a1 > static_cast<int64_t>(width) ||
            (a0 >= 0 && a1 < a0))
          return RowEnd::kBadCode;
        changes.push_back(static_cast<uint32_t>(a1));
        a0 = a1;
        color ^= 1;
        break;
      }
      default:
        // Extensions (uncompressed mode) are not supported.
        return RowEnd::kBadCode;
    }
  }
  return RowEnd::kDone;
}

// Clears the bits of pixels [from, to) (black).
void clear_span(uint8_t* row, uint32_t from, uint32_t to) {
  while (from < to && (from & 7)) {
    row[from >> 3] &= static_cast<uint8_t>(~(0x80u >> (from & 7)));
    ++from;
  }
  if (to - from >= 8) {
    std::memset(row + (from >> 3), 0, (to - from) >> 3);
    from += (to - from) & ~7u;
  }
  for (; from < to; ++from) row[from >> 3] &= static_cast<uint8_t>(~(0x80u >> (from & 7)));
}

// Packed bits of one row: white 1, black 0.
void fill_row(uint8_t* row, size_t row_bytes, uint32_t width, const std::vector<uint32_t>& changes) {
  std::memset(row, 0xFF, row_bytes);
  uint32_t x = 0;
  for (size_t k = 0; k < changes.size(); ++k) {
    const uint32_t next = std::min(changes[k], width);
    if ((k & 1) && next > x) clear_span(row, x, next);   // a black run ends here
    x = std::max(x, next);
  }
  if (changes.size() & 1) clear_span(row, x, width);     // the row ends black
}

// Skips fill bits and end-of-line codes before a T.4 row; true when an end of line was seen.
bool skip_end_of_line(BitReader& in) {
  bool seen = false;
  while (!in.at_end()) {
    const uint32_t next = in.peek(12);
    if (next == 0) {
      in.consume(1);
    } else if (next == 1) {
      in.consume(12);
      seen = true;
    } else {
      break;
    }
  }
  return seen;
}

void make_reference(const std::vector<uint32_t>& changes, uint32_t width, std::vector<uint32_t>& ref) {
  ref.assign(changes.begin(), changes.end());
  for (int k = 0; k < 4; ++k) ref.push_back(width);
}

}  // namespace

DecodeResult decode_ccitt(const uint8_t* in, size_t in_size, uint8_t* out, size_t row_bytes,
                          uint32_t width, uint32_t rows, CcittMode mode) {
  DecodeResult r;
  if (row_bytes < (static_cast<size_t>(width) + 7) / 8) {
    r.status = kStatusCorrupt;
    return r;
  }
  std::memset(out, 0xFF, row_bytes * rows);
  BitReader bits(in, in_size);
  std::vector<uint32_t> changes, ref;
  try {
    changes.reserve(64);
    make_reference(changes, width, ref);
    for (uint32_t y = 0; y < rows; ++y) {
      bool two_d = mode == CcittMode::kGroup4;
      if (mode == CcittMode::kModifiedHuffman) bits.align();
      if (mode == CcittMode::kGroup3 || mode == CcittMode::kGroup3TwoD) {
        skip_end_of_line(bits);
        if (mode == CcittMode::kGroup3TwoD) {
          // Tag bit after the end of line: 1 one-dimensional, 0 two-dimensional.
          two_d = bits.peek(1) == 0;
          bits.consume(1);
        }
      }
      if (bits.at_end()) {
        r.status = kStatusFileEndsEarly;
        return r;
      }
      const RowEnd end = two_d ? decode_row_2d(bits, width, ref, changes)
                               : decode_row_1d(bits, width, changes);
      uint8_t* row = out + static_cast<size_t>(y) * row_bytes;
      if (end == RowEnd::kEndOfLine && mode != CcittMode::kGroup4 && mode != CcittMode::kModifiedHuffman) {
        // A row cut short by an end of line: keep what it had; the next row starts there.
        fill_row(row, row_bytes, width, changes);
      } else if (end != RowEnd::kDone) {
        fill_row(row, row_bytes, width, changes);
        r.produced = static_cast<size_t>(y + 1) * row_bytes;
        r.status = end == RowEnd::kDataEnds ? kStatusFileEndsEarly : kStatusCorrupt;
        return r;
      } else {
        fill_row(row, row_bytes, width, changes);
      }
      make_reference(changes, width, ref);
      r.produced = static_cast<size_t>(y + 1) * row_bytes;
    }
  } catch (const std::bad_alloc&) {
    r.status = kStatusNoMemory;
  }
  return r;
}

}  // namespace lumora::tiff
