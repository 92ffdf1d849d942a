// RLE8/RLE4 decoding of crafted and hostile code streams, and encode/decode round trips.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imagelib/codecs/bmp/bmp_rle.h"

namespace lumora::bmp {
namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
  int status = -99;
  std::vector<Bytes> rows;        // by row number; empty = never delivered
  std::vector<int32_t> order;     // row numbers in delivery order
};

// The code bytes one at a time, -1 at their end.
struct Src {
  const Bytes* data;
  size_t pos;
  static int next(void* u) {
    auto* s = static_cast<Src*>(u);
    return s->pos < s->data->size() ? (*s->data)[s->pos++] : -1;
  }
};

// Decodes with a row buffer exactly as long as the row needs, plus guard bytes that must stay
// untouched.
Decoded decode(int bits, int32_t width, int32_t height, const Bytes& code) {
  Src src{&code, 0};
  size_t row_bytes = bits == 8 ? width : (width + 1) / 2;
  Bytes buffer(row_bytes + 8, 0xEE);
  Decoded out;
  out.rows.resize(height);
  struct Sink {
    Decoded* out;
    Bytes* buffer;
    size_t row_bytes;
    static int deliver(void* u, int32_t row) {
      auto* s = static_cast<Sink*>(u);
      EXPECT_GE(row, 0);
      EXPECT_LT(row, static_cast<int32_t>(s->out->rows.size()));
      s->out->rows[row].assign(s->buffer->begin(), s->buffer->begin() + s->row_bytes);
      s->out->order.push_back(row);
      for (size_t i = s->row_bytes; i < s->buffer->size(); ++i) EXPECT_EQ((*s->buffer)[i], 0xEE);
      return 0;
    }
  } sink{&out, &buffer, row_bytes};
  // The decoder clears the whole buffer it is given, so hand it only the row bytes.
  out.status = rle_decode(bits, width, height, buffer.data(), row_bytes, {&Src::next, &src},
                          {&Sink::deliver, &sink});
  return out;
}

struct DecodeCase {
  const char* name;
  int bits;
  int32_t width, height;
  Bytes code;
  int status;
  std::vector<Bytes> rows;  // expected content of every row (empty vector = never delivered)
};

TEST(BmpRle, DecodesEscapesAndHostileStreams) {
  const std::vector<DecodeCase> cases = {
      {"rle8 runs and end of row", 8, 4, 2, {2, 7, 2, 9, 0, 0, 4, 1, 0, 0}, 0, {{7, 7, 9, 9}, {1, 1, 1, 1}}},
      {"rle8 odd literal has a pad byte", 8, 4, 1, {0, 3, 1, 2, 3, 0xFF, 1, 5, 0, 1}, 0, {{1, 2, 3, 5}}},
      {"rle8 even literal has none", 8, 4, 1, {0, 4, 1, 2, 3, 4, 0, 1}, 0, {{1, 2, 3, 4}}},
      {"rle8 end of picture after first row", 8, 2, 3, {2, 6, 0, 1}, 0, {{6, 6}, {}, {}}},
      {"rle8 delta within a row", 8, 4, 1, {1, 1, 0, 2, 2, 0, 1, 2, 0, 1}, 0, {{1, 0, 0, 2}}},
      {"rle8 delta down keeps the column", 8, 3, 3, {1, 4, 0, 2, 1, 2, 1, 5, 0, 1}, 0, {{4, 0, 0}, {0, 0, 0}, {0, 0, 5}}},
      {"rle8 delta past the last row ends the picture", 8, 2, 2, {1, 3, 0, 2, 0, 200, 1, 9}, 0, {{3, 0}, {0, 0}}},
      {"rle8 run beyond the row is cut", 8, 3, 1, {255, 8, 0, 1}, 0, {{8, 8, 8}}},
      {"rle8 literal beyond the row is cut", 8, 2, 1, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}, 0, {{1, 2}}},
      {"rle8 huge deltas stay inside the row", 8, 2, 1, {0, 2, 255, 0, 0, 2, 255, 0, 1, 7, 0, 1}, 0, {{0, 0}}},
      {"rle8 ends at a count byte", 8, 2, 2, {2, 1, 0, 0}, 4, {{1, 1}, {}}},
      {"rle8 ends inside a literal: partial row kept", 8, 4, 1, {0, 4, 1, 2}, 4, {{1, 2, 0, 0}}},
      {"rle8 ends inside a delta", 8, 2, 1, {0, 2, 1}, 4, {{}}},
      {"rle8 all rows done without end code", 8, 1, 2, {1, 1, 0, 0, 1, 2, 0, 0}, 0, {{1}, {2}}},
      {"rle4 run alternates nibbles", 4, 5, 1, {5, 0x12, 0, 1}, 0, {{0x12, 0x12, 0x10}}},
      {"rle4 run starting at an odd column", 4, 4, 1, {1, 0x30, 3, 0x45, 0, 1}, 0, {{0x34, 0x54}}},
      {"rle4 odd literal, pad when byte count is odd", 4, 4, 1, {0, 3, 0x12, 0x30, 1, 0x70, 0, 1}, 0, {{0x12, 0x37}}},
      {"rle4 literal of 5 pixels: 3 bytes + pad", 4, 6, 1, {0, 5, 0x12, 0x34, 0x50, 0xFF, 1, 0x60, 0, 1}, 0, {{0x12, 0x34, 0x56}}},
      {"rle4 literal beyond the row is cut", 4, 3, 1, {0, 6, 0x12, 0x34, 0x56, 0xAA, 0, 1}, 0, {{0x12, 0x30}}},
      {"rle4 run beyond the row is cut", 4, 3, 1, {200, 0xAB, 0, 1}, 0, {{0xAB, 0xA0}}},
      {"rle4 delta past the last row", 4, 2, 2, {0, 2, 0, 9, 2, 0x11}, 0, {{0x00}, {0x00}}},
      {"rle4 ends inside a row", 4, 4, 2, {2, 0x11}, 4, {{0x11, 0x00}, {}}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded d = decode(c.bits, c.width, c.height, c.code);
    EXPECT_EQ(d.status, c.status);
    ASSERT_EQ(d.rows.size(), c.rows.size());
    for (size_t y = 0; y < c.rows.size(); ++y) EXPECT_EQ(d.rows[y], c.rows[y]) << "row " << y;
  }
}

TEST(BmpRle, RefusesUnusableArguments) {
  Bytes buffer(4);
  RleInput in{[](void*) { return -1; }, nullptr};
  RleOutput out{[](void*, int32_t) { return 0; }, nullptr};
  EXPECT_EQ(rle_decode(8, 8, 1, buffer.data(), buffer.size(), in, out), 2);  // buffer too short
  EXPECT_EQ(rle_decode(2, 4, 1, buffer.data(), buffer.size(), in, out), 2);
  EXPECT_EQ(rle_decode(8, 4, 0, buffer.data(), buffer.size(), in, out), 2);
}

TEST(BmpRle, StopsWithTheOutputsStatus) {
  Bytes code = {1, 1, 0, 0, 1, 2, 0, 0};
  Src src{&code, 0};
  Bytes buffer(1);
  int calls = 0;
  RleOutput out{[](void* u, int32_t) { return ++*static_cast<int*>(u) == 1 ? 15 : 0; }, &calls};
  EXPECT_EQ(rle_decode(8, 1, 2, buffer.data(), 1, {&Src::next, &src}, out), 15);
  EXPECT_EQ(calls, 1);
}

// Rows of different character: runs, noise, alternating pairs, single values, long runs.
std::vector<Bytes> sample_rows(int width, int max_value, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Bytes> rows;
  rows.push_back(Bytes(width, static_cast<uint8_t>(max_value)));
  Bytes noise(width);
  for (auto& v : noise) v = static_cast<uint8_t>(rng() % (max_value + 1));
  rows.push_back(noise);
  Bytes pairs(width);
  for (int x = 0; x < width; ++x) pairs[x] = static_cast<uint8_t>((x / 2) % (max_value + 1));
  rows.push_back(pairs);
  Bytes mixed(width);
  for (int x = 0; x < width; ++x) mixed[x] = static_cast<uint8_t>((x % 7 < 3) ? 1 : rng() % (max_value + 1));
  rows.push_back(mixed);
  return rows;
}

TEST(BmpRle, EncodeDecodeRoundTrip) {
  for (int bits : {8, 4}) {
    for (int width : {1, 2, 3, 4, 5, 254, 255, 256, 257, 600}) {
      SCOPED_TRACE(testing::Message() << "bits " << bits << " width " << width);
      std::vector<Bytes> rows = sample_rows(width, bits == 8 ? 255 : 15, width * 31u + bits);
      Bytes code;
      std::vector<Bytes> packed;
      for (const Bytes& r : rows) {
        Bytes p;
        if (bits == 8) {
          p = r;
          rle8_encode_row(p.data(), width, &code);
        } else {
          p.assign((width + 1) / 2, 0);
          for (int x = 0; x < width; ++x) p[x / 2] |= static_cast<uint8_t>(r[x] << ((x & 1) ? 0 : 4));
          rle4_encode_row(p.data(), width, &code);
        }
        packed.push_back(p);
      }
      code.push_back(0);
      code.push_back(1);
      Decoded d = decode(bits, width, static_cast<int32_t>(rows.size()), code);
      EXPECT_EQ(d.status, 0);
      for (size_t y = 0; y < rows.size(); ++y) EXPECT_EQ(d.rows[y], packed[y]) << "row " << y;
    }
  }
}

TEST(BmpRle, EncoderUsesRunsAndLiteralsAsTheFormatAsks) {
  struct Case {
    const char* name;
    int bits;
    Bytes row;  // packed as the row buffer holds it
    int32_t width;
    Bytes code;
  };
  const std::vector<Case> cases = {
      {"rle8 run", 8, {5, 5, 5}, 3, {3, 5, 0, 0}},
      {"rle8 short literal as runs of one", 8, {1, 2, 3, 3}, 4, {1, 1, 1, 2, 2, 3, 0, 0}},
      {"rle8 literal with pad", 8, {1, 2, 3}, 3, {0, 3, 1, 2, 3, 0, 0, 0}},
      {"rle8 last single byte", 8, {4, 4, 9}, 3, {2, 4, 1, 9, 0, 0}},
      {"rle4 run", 4, {0x77, 0x70}, 3, {3, 0x77, 0, 0}},
      {"rle4 single pixel", 4, {0x50}, 1, {1, 0x50, 0, 0}},
      {"rle4 two different pixels", 4, {0x12, 0x33, 0x30}, 5, {2, 0x12, 3, 0x33, 0, 0}},
      {"rle4 literal of three", 4, {0x12, 0x30}, 3, {0, 3, 0x12, 0x30, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes code;
    if (c.bits == 8) rle8_encode_row(c.row.data(), c.width, &code);
    else rle4_encode_row(c.row.data(), c.width, &code);
    EXPECT_EQ(code, c.code);
  }
}

}  // namespace
}  // namespace lumora::bmp
