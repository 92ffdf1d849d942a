// BI_RLE8 / BI_RLE4 decoding. A code is either a run (count > 0, then a value) or an escape
// (0, then 0 end of row, 1 end of picture, 2 delta dx dy, 3..255 a literal run padded to 16 bits).
#include <algorithm>
#include <cstring>

#include "imagelib/codecs/bmp/bmp_rle.h"
#include "imagelib/core/status.h"

namespace lumora::bmp {

namespace {

class RleDecoder {
 public:
  RleDecoder(int bits, int32_t width, int32_t height, uint8_t* row, size_t row_bytes,
             const RleInput& in, const RleOutput& out)
      : bits_(bits), width_(width), height_(height), row_(row), row_bytes_(row_bytes), in_(in),
        out_(out) {}

  int run() {
    std::memset(row_, 0, row_bytes_);
    while (y_ < height_) {
      int count = next();
      if (count < 0) return ended();
      int code = next();
      if (code < 0) return ended();
      if (count > 0) {
        put_run(count, static_cast<uint8_t>(code));
        continue;
      }
      switch (code) {
        case 0:  // end of row
          if (int st = finish_row()) return st;
          break;
        case 1:  // end of picture: later rows stay empty
          return deliver_current();
        case 2: {  // delta
          int dx = next();
          if (dx < 0) return ended();
          int dy = next();
          if (dy < 0) return ended();
          if (dy > 0) {
            int32_t keep_x = x_;
            if (int st = finish_row()) return st;
            for (int i = 1; i < dy && y_ < height_; ++i)
              if (int st = finish_row()) return st;
            if (y_ >= height_) return kStatusOk;  // moved past the last row: end of picture
            x_ = keep_x;
          }
          advance(dx);
          break;
        }
        default:
          if (int st = put_literal(code)) return st;
          break;
      }
    }
    return kStatusOk;
  }

 private:
  int next() { return in_.next(in_.user); }

  void advance(int32_t n) { x_ = std::min<int64_t>(static_cast<int64_t>(x_) + n, width_); }

  void put_pixel(int32_t x, uint8_t v) {
    if (x >= width_) return;
    if (bits_ == 8) {
      row_[x] = v;
    } else {
      uint8_t& b = row_[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0x0F))
                  : static_cast<uint8_t>((b & 0x0F) | (v << 4));
    }
  }

  void put_run(int count, uint8_t value) {
    for (int i = 0; i < count && x_ < width_; ++i, ++x_) {
      // RLE4 runs alternate the high and low nibble of the value, starting with the high one.
      uint8_t v = bits_ == 8 ? value : ((i & 1) ? (value & 0x0F) : (value >> 4));
      put_pixel(x_, v);
    }
  }

  int put_literal(int count) {
    // RLE8: `count` bytes; RLE4: `count` pixels in ceil(count / 2) bytes. Padded to 16 bits.
    int bytes = bits_ == 8 ? count : (count + 1) / 2;
    for (int i = 0; i < bytes; ++i) {
      int b = next();
      if (b < 0) return ended();
      if (bits_ == 8) {
        put_pixel(x_, static_cast<uint8_t>(b));
        advance(1);
      } else {
        put_pixel(x_, static_cast<uint8_t>(b >> 4));
        advance(1);
        if (2 * i + 1 < count) {
          put_pixel(x_, static_cast<uint8_t>(b & 0x0F));
          advance(1);
        }
      }
    }
    if (bytes & 1) {
      if (next() < 0) return ended();
    }
    return kStatusOk;
  }

  int deliver_current() {
    return out_.deliver(out_.user, y_);
  }

  int finish_row() {
    if (int st = deliver_current()) return st;
    ++y_;
    x_ = 0;
    std::memset(row_, 0, row_bytes_);
    return kStatusOk;
  }

  // The data ran out: hand over what the current row holds, then report the short file.
  int ended() {
    if (x_ > 0) {
      if (int st = deliver_current()) return st;
    }
    return kStatusFileEndsEarly;
  }

  int bits_;
  int32_t width_, height_;
  uint8_t* row_;
  size_t row_bytes_;
  RleInput in_;
  RleOutput out_;
  int32_t x_ = 0;
  int32_t y_ = 0;
};

}  // namespace

int rle_decode(int bits, int32_t width, int32_t height, uint8_t* row, size_t row_bytes,
               const RleInput& input, const RleOutput& output) {
  if ((bits != 8 && bits != 4) || width < 1 || height < 1) return kStatusNotRecognised;
  size_t needed = bits == 8 ? static_cast<size_t>(width) : (static_cast<size_t>(width) + 1) / 2;
  if (row_bytes < needed) return kStatusNotRecognised;
  RleDecoder decoder(bits, width, height, row, row_bytes, input, output);
  return decoder.run();
}

}  // namespace lumora::bmp
