#include "imagelib/codecs/gif/lzw_decode.h"

namespace lumora {

int32_t gif_interlaced_row(int32_t k, int32_t height) {
  // GIF89a appendix E: pass 1 every 8th row from 0, pass 2 every 8th from 4, pass 3 every 4th
  // from 2, pass 4 every 2nd from 1. g1..g3 are the last file rows of the first three passes.
  const int32_t g1 = (height - 1) >> 3;
  const int32_t g2 = (height - 1) >> 2;
  const int32_t g3 = (height - 1) >> 1;
  if (k <= g1) return 8 * k;
  if (k <= g2) return 8 * (k - g1) - 4;
  if (k <= g3) return 4 * (k - g2) - 2;
  return 2 * (k - g3) - 1;
}

namespace {

// Least-significant-bit-first code reader over the data sub-blocks.
class CodeReader {
 public:
  CodeReader(LzwBlockReader read, void* user) : read_(read), user_(user) {}

  // The next code of `width` bits, or -1 when the data ends (end_ tells why).
  int next(int width) {
    while (count_ < width) {
      if (pos_ == len_) {
        int n = read_(user_, block_);
        if (n <= 0) {
          end_ = n == 0 ? kLzwDataEnds : kLzwFileEnds;
          return -1;
        }
        len_ = n;
        pos_ = 0;
      }
      bits_ |= static_cast<uint32_t>(block_[pos_++]) << count_;
      count_ += 8;
    }
    int code = static_cast<int>(bits_ & ((1u << width) - 1));
    bits_ >>= width;
    count_ -= width;
    return code;
  }

  LzwEnd end() const { return end_; }

  // Passes over the sub-blocks left after the end code so the caller's walk resumes at the next
  // block. Not needed when the terminator or the end of the file was already met.
  void skip_rest() {
    if (end_ == kLzwDataEnds || end_ == kLzwFileEnds) return;
    while (read_(user_, block_) > 0) {
    }
  }

 private:
  LzwBlockReader read_;
  void* user_;
  uint8_t block_[255];
  int pos_ = 0, len_ = 0;
  uint32_t bits_ = 0;
  int count_ = 0;
  LzwEnd end_ = kLzwEndCode;
};

// Collects pixels into rows and hands each full row to the sink at its picture row.
class RowWriter {
 public:
  RowWriter(const LzwImage& image, LzwRowSink sink, void* user)
      : image_(image), sink_(sink), user_(user) {}

  // Stores `n` pixels given in reverse order (a string as it lies on the stack). Returns false
  // when every row is done or the sink asked to stop.
  bool put_reversed(const uint8_t* top, int n) {
    while (n > 0) {
      int32_t room = image_.width - x_;
      int take = n < room ? n : static_cast<int>(room);
      uint8_t* out = image_.row + x_;
      for (int i = 0; i < take; ++i) out[i] = top[-i];
      top -= take;
      n -= take;
      x_ += take;
      if (x_ == image_.width && !flush(x_)) return false;
    }
    return true;
  }

  // Delivers a partly filled row when decoding ends early.
  void finish() {
    if (x_ > 0 && !done_) flush(x_);
  }

  bool stopped() const { return stopped_; }
  bool done() const { return done_; }

 private:
  bool flush(int32_t filled) {
    int32_t row = image_.interlaced ? gif_interlaced_row(k_, image_.height) : k_;
    x_ = 0;
    ++k_;
    if (row < image_.height && sink_(user_, row, image_.row, filled) != 0) {
      stopped_ = true;
      done_ = true;
      return false;
    }
    if (k_ >= image_.height) done_ = true;
    return !done_;
  }

  const LzwImage& image_;
  LzwRowSink sink_;
  void* user_;
  int32_t x_ = 0;   // pixels in the current row
  int32_t k_ = 0;   // rows delivered, in file order
  bool stopped_ = false;
  bool done_ = false;
};

}  // namespace

LzwEnd lzw_decode(LzwDecoder* d, const LzwImage& image, LzwBlockReader read_block,
                  void* reader_user, LzwRowSink sink, void* sink_user) {
  const int m = image.min_code_size;
  const int clear = 1 << m;
  const int end = clear + 1;
  int next = clear + 2;
  int width = m + 1;
  int limit = 1 << width;
  int prev = -1;       // previous code; -1 before the first string
  uint8_t first = 0;   // first pixel of the previous string

  CodeReader codes(read_block, reader_user);
  RowWriter rows(image, sink, sink_user);
  uint8_t* const stack = d->stack;
  LzwEnd result = kLzwEndCode;

  for (;;) {
    int code = codes.next(width);
    if (code < 0) {
      result = codes.end();
      break;
    }
    if (code == end) {
      result = kLzwEndCode;
      break;
    }
    if (code == clear) {
      width = m + 1;
      limit = 1 << width;
      next = clear + 2;
      do {
        code = codes.next(width);
      } while (code == clear);
      if (code < 0) {
        result = codes.end();
        break;
      }
      if (code == end) {
        result = kLzwEndCode;
        break;
      }
      // The first code after a clear must be a single pixel; a string code there has no entry
      // yet and stands for pixel 0.
      if (code >= clear + 2) code = 0;
      first = static_cast<uint8_t>(code);
      prev = code;
      stack[0] = first;
      if (!rows.put_reversed(stack, 1)) {
        result = rows.stopped() ? kLzwStopped : kLzwComplete;
        break;
      }
      continue;
    }
    if (code > next || (code == next && prev < 0)) {
      result = kLzwBadCode;
      break;
    }

    int sp = 0;
    int c = code;
    if (code == next) {  // KwKwK: the string being defined is the previous one plus its first pixel
      stack[sp++] = first;
      c = prev;
    }
    while (c >= clear + 2) {
      if (sp >= kLzwMaxCodes) break;
      stack[sp++] = d->suffix[c];
      c = d->prefix[c];
    }
    if (sp >= kLzwMaxCodes) {
      result = kLzwOverflow;
      break;
    }
    first = static_cast<uint8_t>(c);
    stack[sp++] = first;

    if (prev >= 0 && next < limit) {
      d->prefix[next] = static_cast<uint16_t>(prev);
      d->suffix[next] = first;
      ++next;
    }
    if (next >= limit && width < kLzwMaxBits) {
      ++width;
      limit <<= 1;
    }
    prev = code;

    if (!rows.put_reversed(stack + sp - 1, sp)) {
      result = rows.stopped() ? kLzwStopped : kLzwComplete;
      break;
    }
  }

  if (result == kLzwStopped) return result;
  rows.finish();
  if (rows.stopped()) return kLzwStopped;
  codes.skip_rest();
  return result;
}

}  // namespace lumora
