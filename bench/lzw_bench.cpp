// GIF LZW throughput: decoding and encoding a 1024 x 768 picture of 8-bit indexes, once with
// photograph-like detail (few repeated strings, the dictionary fills and clears often) and once as
// flat graphics (long strings). Reported as pixels per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imagelib/codecs/gif/lzw_decode.h"
#include "imagelib/codecs/gif/lzw_encode.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

std::vector<uint8_t> picture(bool detailed) {
  std::vector<uint8_t> px(static_cast<size_t>(kWidth) * kHeight);
  std::mt19937 rng(42);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      int v = detailed ? (x / 4 + y / 3 + static_cast<int>(rng() % 24)) : ((x / 64) ^ (y / 48)) * 17;
      px[static_cast<size_t>(y) * kWidth + x] = static_cast<uint8_t>(v);
    }
  return px;
}

int append(void* user, const uint8_t* data, size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(user);
  out->insert(out->end(), data, data + size);
  return 0;
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& px) {
  std::vector<uint8_t> out;
  lumora::LzwEncoder encoder(9, append, &out);
  encoder.add(px.data(), px.size());
  encoder.finish();
  out.push_back(0);
  return out;
}

struct Blocks {
  const std::vector<uint8_t>* data;
  size_t pos;
};

int read_block(void* user, uint8_t* block) {
  auto* b = static_cast<Blocks*>(user);
  if (b->pos >= b->data->size()) return -1;
  int n = (*b->data)[b->pos++];
  for (int i = 0; i < n; ++i) block[i] = (*b->data)[b->pos++];
  return n;
}

int take_row(void* user, int32_t, const uint8_t* pixels, int32_t) {
  benchmark::DoNotOptimize(pixels[0]);
  ++*static_cast<int*>(user);
  return 0;
}

void BM_LzwDecode(benchmark::State& state) {
  const std::vector<uint8_t> data = encode(picture(state.range(0) != 0));
  std::vector<uint8_t> row(kWidth);
  lumora::LzwDecoder decoder;
  for (auto _ : state) {
    Blocks blocks{&data, 0};
    int rows = 0;
    lumora::LzwImage image{kWidth, kHeight, false, 8, row.data()};
    lumora::lzw_decode(&decoder, image, read_block, &blocks, take_row, &rows);
    benchmark::DoNotOptimize(rows);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.counters["compressed_bytes"] = static_cast<double>(data.size());
  state.SetLabel(state.range(0) ? "detailed" : "flat");
}
BENCHMARK(BM_LzwDecode)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_LzwEncode(benchmark::State& state) {
  const std::vector<uint8_t> px = picture(state.range(0) != 0);
  std::vector<uint8_t> out;
  out.reserve(px.size() * 2);
  for (auto _ : state) {
    out.clear();
    lumora::LzwEncoder encoder(9, append, &out);
    encoder.add(px.data(), px.size());
    encoder.finish();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.SetLabel(state.range(0) ? "detailed" : "flat");
}
BENCHMARK(BM_LzwEncode)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
