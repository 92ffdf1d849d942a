// The GIF LZW decoder and encoder: round trips, hand-made code streams (the KwKwK case, bad
// codes, early ends) and interlaced row placement.
#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "imagelib/codecs/gif/lzw_decode.h"
#include "imagelib/codecs/gif/lzw_encode.h"

namespace lumora {
namespace {

// Sub-blocks in memory.
struct MemoryBlocks {
  const std::vector<uint8_t>* data;
  size_t pos = 0;
};

int read_memory_block(void* user, uint8_t* block) {
  auto* m = static_cast<MemoryBlocks*>(user);
  if (m->pos >= m->data->size()) return -1;
  int count = (*m->data)[m->pos++];
  if (count == 0) return 0;
  size_t n = std::min<size_t>(count, m->data->size() - m->pos);
  std::copy_n(m->data->begin() + static_cast<long>(m->pos), n, block);
  m->pos += n;
  return n == 0 ? -1 : static_cast<int>(n);
}

struct Decoded {
  std::vector<uint8_t> pixels;      // width x height, 0xEE where nothing was delivered
  std::vector<int32_t> row_order;
  std::vector<int32_t> filled;
  int32_t width = 0;
  int stop_after = -1;
};

int collect_row(void* user, int32_t row, const uint8_t* pixels, int32_t filled) {
  auto* d = static_cast<Decoded*>(user);
  std::copy_n(pixels, filled, d->pixels.begin() + static_cast<long>(row) * d->width);
  d->row_order.push_back(row);
  d->filled.push_back(filled);
  return d->stop_after >= 0 && static_cast<int>(d->row_order.size()) >= d->stop_after;
}

LzwEnd decode(const std::vector<uint8_t>& blocks, int width, int height, int code_size,
              bool interlaced, Decoded* out, size_t* end_pos = nullptr) {
  out->pixels.assign(static_cast<size_t>(width) * height, 0xEE);
  out->row_order.clear();
  out->width = width;
  std::vector<uint8_t> row(static_cast<size_t>(width));
  LzwDecoder decoder;
  MemoryBlocks source{&blocks};
  LzwImage image{width, height, interlaced, code_size, row.data()};
  LzwEnd end = lzw_decode(&decoder, image, read_memory_block, &source, collect_row, out);
  if (end_pos) *end_pos = source.pos;
  return end;
}

int append_bytes(void* user, const uint8_t* data, size_t size) {
  auto* v = static_cast<std::vector<uint8_t>*>(user);
  v->insert(v->end(), data, data + size);
  return 0;
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& pixels, int code_size) {
  std::vector<uint8_t> out;
  LzwEncoder encoder(code_size + 1, append_bytes, &out);
  EXPECT_EQ(encoder.add(pixels.data(), pixels.size()), 0);
  EXPECT_EQ(encoder.finish(), 0);
  out.push_back(0);   // block terminator
  return out;
}

// Packs codes of the given widths least significant bit first into one sub-block stream.
std::vector<uint8_t> pack_codes(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int count = 0;
  for (auto [code, width] : codes) {
    bits |= static_cast<uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      bytes.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  if (count) bytes.push_back(static_cast<uint8_t>(bits));
  bytes.insert(bytes.begin(), static_cast<uint8_t>(bytes.size()));   // one sub-block
  bytes.push_back(0);
  return bytes;
}

TEST(LzwRoundTrip, EncoderOutputDecodesToTheSamePixels) {
  struct Case {
    int width, height, code_size;
    const char* pattern;
  };
  const Case cases[] = {
      {1, 1, 2, "constant"},      {16, 16, 2, "constant"},  {37, 23, 2, "random"},
      {64, 64, 3, "random"},      {100, 7, 4, "gradient"},  {300, 300, 8, "random"},
      {512, 200, 8, "gradient"},  {257, 129, 5, "random"},  {1000, 50, 8, "runs"},
  };
  std::mt19937 rng(7);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " bits " << c.code_size << " "
                                    << c.pattern);
    const int colors = 1 << c.code_size;
    std::vector<uint8_t> pixels(static_cast<size_t>(c.width) * c.height);
    for (size_t i = 0; i < pixels.size(); ++i) {
      std::string p = c.pattern;
      if (p == "constant") pixels[i] = static_cast<uint8_t>(colors - 1);
      else if (p == "gradient") pixels[i] = static_cast<uint8_t>(i % colors);
      else if (p == "runs") pixels[i] = static_cast<uint8_t>((i / 37) % colors);
      else pixels[i] = static_cast<uint8_t>(rng() % colors);
    }
    Decoded d;
    LzwEnd end = decode(encode(pixels, c.code_size), c.width, c.height, c.code_size, false, &d);
    EXPECT_TRUE(end == kLzwComplete || end == kLzwEndCode) << end;
    EXPECT_EQ(d.pixels, pixels);
  }
}

TEST(LzwEncoder, StreamStartsWithClearAndEndsWithEndCode) {
  // Decoding for one row more than was encoded has to meet the end code itself.
  const std::vector<uint8_t> pixels(16 * 16, 1);
  std::vector<uint8_t> blocks = encode(pixels, 2);
  ASSERT_GE(blocks.size(), 3u);
  EXPECT_EQ(blocks[1] & 7, 4) << "first code: clear at 3 bits";
  Decoded d;
  size_t end_pos = 0;
  EXPECT_EQ(decode(blocks, 16, 17, 2, false, &d, &end_pos), kLzwEndCode);
  EXPECT_EQ(d.row_order.size(), 16u);
  EXPECT_EQ(end_pos, blocks.size()) << "the terminator is consumed";
}

TEST(LzwEncoder, OutputIsCutIntoSubBlocksOf254Bytes) {
  std::mt19937 rng(3);
  std::vector<uint8_t> pixels(20000);
  for (auto& p : pixels) p = static_cast<uint8_t>(rng());
  std::vector<uint8_t> blocks = encode(pixels, 8);
  size_t pos = 0, full = 0;
  while (blocks[pos] != 0) {
    if (blocks[pos] == 254) ++full;
    else EXPECT_EQ(blocks[pos + blocks[pos] + 1], 0) << "only the last block may be short";
    pos += blocks[pos] + 1u;
  }
  EXPECT_EQ(pos + 1, blocks.size());
  EXPECT_GT(full, 10u);
}

TEST(LzwEncoder, WriteFailureIsReported) {
  LzwEncoder encoder(9, [](void*, const uint8_t*, size_t) { return 6; }, nullptr);
  std::vector<uint8_t> pixels(5000);
  std::iota(pixels.begin(), pixels.end(), 0);
  int status = encoder.add(pixels.data(), pixels.size());
  if (status == 0) status = encoder.finish();
  EXPECT_EQ(status, 6);
}

TEST(LzwDecoder, HandMadeCodeStreams) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> codes;   // (code, width), code size 2: clear 4, end 5
    int width;
    std::vector<uint8_t> expected;            // 0xEE: never delivered
    LzwEnd end;
  };
  const Case cases[] = {
      // 6 and 7 each name the entry being defined: strings "1", "11", "111".
      {"KwKwK twice", {{4, 3}, {1, 3}, {6, 3}, {7, 3}, {5, 4}}, 6, {1, 1, 1, 1, 1, 1}, kLzwComplete},
      {"repeated clears", {{4, 3}, {4, 3}, {4, 3}, {2, 3}, {3, 3}, {5, 3}}, 2, {2, 3}, kLzwComplete},
      {"no clear first", {{3, 3}, {0, 3}, {6, 3}, {5, 3}}, 4, {3, 0, 3, 0}, kLzwComplete},
      {"code beyond next", {{4, 3}, {1, 3}, {7, 3}, {5, 3}}, 4, {1, 0, 0, 0}, kLzwBadCode},
      {"string code after clear", {{4, 3}, {6, 3}, {1, 3}, {5, 3}}, 2, {0, 1}, kLzwComplete},
      {"end right after clear", {{4, 3}, {5, 3}}, 3, {0xEE, 0xEE, 0xEE}, kLzwEndCode},
      {"terminator before end", {{4, 3}, {2, 3}}, 3, {2, 0, 0}, kLzwDataEnds},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded d;
    EXPECT_EQ(decode(pack_codes(c.codes), c.width, 1, 2, false, &d), c.end);
    // A partly filled row keeps zero only where the harness sees what was decoded.
    std::vector<uint8_t> got = d.pixels;
    if (!d.filled.empty())
      for (size_t x = static_cast<size_t>(d.filled.back()); x < got.size(); ++x) got[x] = 0;
    EXPECT_EQ(got, c.expected);
  }
}

TEST(LzwDecoder, DataCutShortDeliversThePartialRow) {
  const int width = 40, height = 30;
  std::mt19937 rng(11);
  std::vector<uint8_t> pixels(width * height);
  for (auto& p : pixels) p = static_cast<uint8_t>(rng() % 16);
  std::vector<uint8_t> blocks = encode(pixels, 4);
  // Keep the first sub-block only, without its terminator: the file ends inside the data.
  std::vector<uint8_t> cut(blocks.begin(), blocks.begin() + 1 + blocks[0]);
  cut[0] = blocks[0];
  Decoded d;
  EXPECT_EQ(decode(cut, width, height, 4, false, &d), kLzwFileEnds);
  ASSERT_FALSE(d.row_order.empty());
  const size_t full_rows = d.row_order.size() - 1;
  EXPECT_LT(d.filled.back(), width) << "the last row is partial";
  for (size_t y = 0; y < full_rows; ++y) EXPECT_EQ(d.filled[y], width);
  const size_t decoded = full_rows * width + static_cast<size_t>(d.filled.back());
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + static_cast<long>(decoded), d.pixels.begin()));
}

TEST(LzwDecoder, SinkCanStopDecoding) {
  std::vector<uint8_t> pixels(8 * 8, 2);
  std::vector<uint8_t> blocks = encode(pixels, 2);
  blocks.push_back(0x3B);
  Decoded d;
  d.stop_after = 3;
  size_t pos = 0;
  EXPECT_EQ(decode(blocks, 8, 8, 2, false, &d, &pos), kLzwStopped);
  EXPECT_EQ(d.row_order.size(), 3u);
}

TEST(LzwDecoder, RemainingSubBlocksArePassedOver) {
  // Everything after the end code up to the terminator belongs to the image and is skipped.
  std::vector<uint8_t> blocks = pack_codes({{4, 3}, {1, 3}, {5, 3}});
  blocks.pop_back();
  for (uint8_t b : {3, 9, 9, 9, 0, 0x3B}) blocks.push_back(b);
  Decoded d;
  size_t pos = 0;
  decode(blocks, 1, 1, 2, false, &d, &pos);
  EXPECT_EQ(blocks[pos], 0x3B);
}

TEST(LzwDecoder, InterlacedRowsArePlacedInFourPasses) {
  const int32_t expected10[] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  for (int32_t k = 0; k < 10; ++k) EXPECT_EQ(gif_interlaced_row(k, 10), expected10[k]) << k;
  for (int32_t h = 1; h <= 64; ++h) {
    std::vector<int> seen(static_cast<size_t>(h));
    for (int32_t k = 0; k < h; ++k) {
      int32_t r = gif_interlaced_row(k, h);
      ASSERT_TRUE(r >= 0 && r < h) << "height " << h << " row " << k;
      ++seen[static_cast<size_t>(r)];
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), h) << "height " << h;
  }
}

}  // namespace
}  // namespace lumora
