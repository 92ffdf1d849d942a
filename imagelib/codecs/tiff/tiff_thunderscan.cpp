// ThunderScan 4-bit coding (compression 32809): each code byte's top two bits select a run of the
// last value, three 2-bit deltas, two 3-bit deltas or a raw value; pixels are packed two per byte,
// high nibble first.
#include <cstring>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

constexpr int kSkip2 = 2;   // 2-bit delta code that sets no pixel
constexpr int kSkip3 = 4;   // 3-bit delta code that sets no pixel
constexpr int kTwoBitDeltas[4] = {0, 1, 0, -1};
constexpr int kThreeBitDeltas[8] = {0, 1, 2, 3, 0, -3, -2, -1};

class RowWriter {
 public:
  RowWriter(uint8_t* row, uint32_t width) : row_(row), width_(width) {}
  bool full() const { return count_ >= width_; }
  void put(int value) {
    if (full()) return;
    last_ = value & 0xF;
    if (count_ & 1) {
      row_[count_ >> 1] |= static_cast<uint8_t>(last_);
    } else {
      row_[count_ >> 1] = static_cast<uint8_t>(last_ << 4);
    }
    ++count_;
  }
  int last() const { return last_; }

 private:
  uint8_t* row_;
  uint32_t width_;
  uint32_t count_ = 0;
  int last_ = 0;
};

}  // namespace

DecodeResult decode_thunderscan(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                                uint32_t width, size_t row_bytes) {
  DecodeResult r;
  if (row_bytes < (static_cast<size_t>(width) + 1) / 2 || row_bytes == 0) {
    r.status = kStatusCorrupt;
    return r;
  }
  const size_t rows = out_size / row_bytes;
  size_t at = 0;
  for (size_t y = 0; y < rows; ++y) {
    uint8_t* row = out + y * row_bytes;
    std::memset(row, 0, row_bytes);
    RowWriter w(row, width);
    while (!w.full()) {
      if (at >= in_size) {
        r.status = kStatusFileEndsEarly;
        return r;
      }
      const int n = in[at++];
      switch (n & 0xC0) {
        case 0x00:   // run of the last value
          for (int k = n & 0x3F; k > 0 && !w.full(); --k) w.put(w.last());
          break;
        case 0x40:   // three 2-bit deltas
          for (int shift = 4; shift >= 0; shift -= 2) {
            const int d = (n >> shift) & 3;
            if (d != kSkip2) w.put(w.last() + kTwoBitDeltas[d]);
          }
          break;
        case 0x80:   // two 3-bit deltas
          for (int shift = 3; shift >= 0; shift -= 3) {
            const int d = (n >> shift) & 7;
            if (d != kSkip3) w.put(w.last() + kThreeBitDeltas[d]);
          }
          break;
        default:     // raw value
          w.put(n & 0xF);
          break;
      }
    }
    r.produced = (y + 1) * row_bytes;
  }
  return r;
}

}  // namespace lumora::tiff
