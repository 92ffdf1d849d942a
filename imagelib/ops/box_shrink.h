#pragma once
// The fast box reduction in 10-bit fixed point (fractions in 1/1024), fed one source row at a
// time. Used by resample_shrink on whole pictures and by the load pipeline while rows arrive, so
// that a reduced load holds only two accumulator rows and a column table, never the full picture.
//
// Sums are 64-bit: 32-bit sums overflow once a target pixel covers more than about 16000 source
// pixels (a 4000-pixel photograph reduced to a 16-pixel thumbnail), and a sum that the piece
// arithmetic rounds above the box area is held at 255 instead of wrapping to black.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumora {

class BoxShrinker {
 public:
  // Prepares a reduction of `src_cols` x `src_rows` samples of `channels` bytes each (1 to 4) to
  // `width` x `height`. 0 on success, 1 when memory is short, 16 for unusable sizes (any below 1,
  // or a target larger than the source in either direction).
  int init(int32_t src_cols, int32_t src_rows, int32_t width, int32_t height, int channels);

  // Feeds the next source row (`src_cols` x channels samples). Returns the produced row when this
  // source row completed one (its number in *target_row), else null. The returned row holds
  // width x channels bytes and stays valid until the next call.
  const uint8_t* feed(const uint8_t* samples, int32_t* target_row);

  // After the last source row: the pending last target row when fewer than `height` were
  // produced, else null.
  const uint8_t* finish(int32_t* target_row);

  int32_t rows_fed() const { return fed_; }
  int32_t rows_produced() const { return produced_; }
  int32_t source_rows() const { return src_rows_; }

 private:
  void write_row(int32_t pixels);

  int32_t src_cols_ = 0, src_rows_ = 0, width_ = 0, height_ = 0;
  int n_ = 1;
  double sy_ = 1.0, yb_ = 0.0;
  uint64_t divisor_ = 1;
  std::vector<uint64_t> a_, b_;   // current (A) and next (N) accumulator rows
  uint64_t* acc_ = nullptr;        // A
  uint64_t* next_ = nullptr;       // N
  std::vector<int32_t> column_;    // -1, or the part of the column that goes to the next target
  std::vector<uint8_t> out_;
  int32_t fed_ = 0, produced_ = 0;
};

}  // namespace lumora
