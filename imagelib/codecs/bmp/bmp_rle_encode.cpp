// BI_RLE8 / BI_RLE4 encoding of one row. Runs of equal values become (count, value); stretches
// of differing values become absolute-mode literals (0, count, values, pad to 16 bits). Literal
// counts 1 and 2 would collide with the end-of-picture and delta escapes, so they are written as
// runs.
#include "imagelib/codecs/bmp/bmp_rle.h"

namespace lumora::bmp {

namespace {

constexpr int kMaxRun = 255;
constexpr int kMaxLiteral8 = 254;  // an even count keeps RLE8 literals free of pad bytes
constexpr int kMaxLiteral4 = 255;

// Length of the run of equal values starting at i (at most `limit`).
template <typename Get>
int run_length(Get get, int32_t i, int32_t width, int limit) {
  int n = 1;
  while (i + n < width && n < limit && get(i + n) == get(i)) ++n;
  return n;
}

// Length of the literal starting at i: up to the next pair of equal values.
template <typename Get>
int literal_length(Get get, int32_t i, int32_t width, int limit) {
  int n = 1;
  while (i + n < width && n < limit) {
    if (i + n + 1 < width && get(i + n) == get(i + n + 1)) break;
    ++n;
  }
  return n;
}

void end_of_row(std::vector<uint8_t>* out) {
  out->push_back(0);
  out->push_back(0);
}

}  // namespace

void rle8_encode_row(const uint8_t* row, int32_t width, std::vector<uint8_t>* out) {
  auto get = [row](int32_t x) { return row[x]; };
  int32_t i = 0;
  while (i < width) {
    int run = run_length(get, i, width, kMaxRun);
    if (run >= 2 || i + 1 == width) {
      out->push_back(static_cast<uint8_t>(run));
      out->push_back(row[i]);
      i += run;
      continue;
    }
    int lit = literal_length(get, i, width, kMaxLiteral8);
    if (lit < 3) {
      for (int k = 0; k < lit; ++k) {
        out->push_back(1);
        out->push_back(row[i + k]);
      }
    } else {
      out->push_back(0);
      out->push_back(static_cast<uint8_t>(lit));
      out->insert(out->end(), row + i, row + i + lit);
      if (lit & 1) out->push_back(0);
    }
    i += lit;
  }
  end_of_row(out);
}

void rle4_encode_row(const uint8_t* row, int32_t width, std::vector<uint8_t>* out) {
  auto get = [row](int32_t x) {
    return static_cast<uint8_t>((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
  };
  int32_t i = 0;
  while (i < width) {
    int run = run_length(get, i, width, kMaxRun);
    if (run >= 2) {
      uint8_t p = get(i);
      out->push_back(static_cast<uint8_t>(run));
      out->push_back(static_cast<uint8_t>((p << 4) | p));
      i += run;
      continue;
    }
    int lit = literal_length(get, i, width, kMaxLiteral4);
    if (lit == 1) {
      out->push_back(1);
      out->push_back(static_cast<uint8_t>(get(i) << 4));
    } else if (lit == 2) {
      out->push_back(2);
      out->push_back(static_cast<uint8_t>((get(i) << 4) | get(i + 1)));
    } else {
      out->push_back(0);
      out->push_back(static_cast<uint8_t>(lit));
      int bytes = (lit + 1) / 2;
      for (int k = 0; k < bytes; ++k) {
        uint8_t hi = get(i + 2 * k);
        uint8_t lo = (2 * k + 1 < lit) ? get(i + 2 * k + 1) : 0;
        out->push_back(static_cast<uint8_t>((hi << 4) | lo));
      }
      if (bytes & 1) out->push_back(0);
    }
    i += lit;
  }
  end_of_row(out);
}

}  // namespace lumora::bmp
