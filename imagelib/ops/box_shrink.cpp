#include "imagelib/ops/box_shrink.h"

#include <algorithm>
#include <new>
#include <utility>

#include "imagelib/core/status.h"

namespace lumora {

int BoxShrinker::init(int32_t src_cols, int32_t src_rows, int32_t width, int32_t height,
                      int channels) {
  if (src_cols < 1 || src_rows < 1 || width < 1 || height < 1 || width > src_cols ||
      height > src_rows || channels < 1 || channels > 4)
    return kStatusBadArguments;
  src_cols_ = src_cols;
  src_rows_ = src_rows;
  width_ = width;
  height_ = height;
  n_ = channels;
  const double sx = static_cast<double>(src_cols) / width;
  sy_ = static_cast<double>(src_rows) / height;
  yb_ = sy_ - 1.0;
  divisor_ = static_cast<uint64_t>(sx * sy_ * 1024);
  if (divisor_ == 0) divisor_ = 1;
  fed_ = produced_ = 0;
  const size_t slots = (static_cast<size_t>(width) + 10) * channels;
  try {
    a_.assign(slots, 0);
    b_.assign(slots, 0);
    column_.resize(src_cols);
    out_.assign(static_cast<size_t>(width) * channels, 0);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  acc_ = a_.data();
  next_ = b_.data();
  // Column table: -1 = the column lies wholly in the current target column; otherwise the part
  // (in 1/1024) of column x that belongs to the next target column.
  double b = sx - 1.0;
  for (int32_t x = 0; x < src_cols; ++x) {
    if (x < b) {
      column_[x] = -1;
    } else {
      column_[x] = std::clamp(static_cast<int32_t>((x - b) * 1024), 0, 1023);
      b += sx;
    }
  }
  return kStatusOk;
}

void BoxShrinker::write_row(int32_t pixels) {
  std::fill(out_.begin(), out_.end(), 0);
  const size_t count = static_cast<size_t>(std::min(pixels, width_)) * n_;
  for (size_t i = 0; i < count; ++i) {
    uint64_t v = acc_[i] / divisor_;
    out_[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

const uint8_t* BoxShrinker::feed(const uint8_t* s, int32_t* target_row) {
  const int n = n_;
  const int32_t k_limit = width_ + 8;  // k + 1 stays inside the (width + 10)-entry rows
  const int32_t y = fed_++;
  if (y >= src_rows_) return nullptr;
  int32_t k = 0;
  uint64_t* A = acc_;
  uint64_t* N = next_;
  if (y < yb_) {
    // The row lies wholly in the current target row.
    for (int32_t x = 0; x < src_cols_; ++x, s += n) {
      const int32_t f = column_[x];
      uint64_t* ak = A + static_cast<size_t>(k) * n;
      if (f < 0) {
        for (int c = 0; c < n; ++c) ak[c] += static_cast<uint64_t>(s[c]) * 1024;
      } else {
        for (int c = 0; c < n; ++c) {
          ak[c] += static_cast<uint64_t>(1024 - f) * s[c];
          ak[n + c] += static_cast<uint64_t>(f) * s[c];
        }
        if (k < k_limit) ++k;
      }
    }
    return nullptr;
  }
  // The row is split between this target row and the next.
  const uint64_t fy = static_cast<uint64_t>(std::clamp((y - yb_) * 1024, 0.0, 1024.0));
  for (int32_t x = 0; x < src_cols_; ++x, s += n) {
    const int32_t f = column_[x];
    uint64_t* ak = A + static_cast<size_t>(k) * n;
    uint64_t* nk = N + static_cast<size_t>(k) * n;
    if (f < 0) {
      for (int c = 0; c < n; ++c) {
        ak[c] += (1024 - fy) * s[c];
        nk[c] += fy * s[c];
      }
      continue;
    }
    const uint64_t fu = static_cast<uint64_t>(f);
    for (int c = 0; c < n; ++c) {
      ak[c] += ((1024 - fu) * (1024 - fy) * s[c]) >> 10;
      nk[c] += ((1024 - fu) * s[c] * fy) >> 10;
      ak[n + c] += ((1024 - fy) * fu * s[c]) >> 10;
      nk[n + c] = (fu * s[c] * fy) >> 10;  // the first contribution that entry receives
    }
    if (k < k_limit) ++k;
  }
  // Pixels 0..k-1 are complete; one more is written from A[k] when the row fell short.
  write_row(k + 1);
  std::swap(acc_, next_);
  std::fill(next_, next_ + n, 0);
  yb_ += sy_;
  if (produced_ >= height_) return nullptr;
  *target_row = produced_++;
  return out_.data();
}

const uint8_t* BoxShrinker::finish(int32_t* target_row) {
  if (produced_ >= height_) return nullptr;
  write_row(width_);
  *target_row = produced_++;
  return out_.data();
}

}  // namespace lumora
