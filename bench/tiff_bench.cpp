// TIFF read throughput on a 2000 x 1500 RGB picture in strips of 16 rows: uncompressed, PackBits
// and deflate (with and without the horizontal predictor), and 1-bit data in the same sizes.
// The files are written here, to a temporary file, with a minimal little-endian TIFF writer.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace {

using namespace lumora;

constexpr uint32_t kWidth = 2000, kHeight = 1500, kRowsPerStrip = 16;

struct Library {
  Library() { library_start(); }
  ~Library() { library_stop(); }
};

void put16(std::vector<uint8_t>& v, uint32_t x) { v.push_back(x & 0xFF); v.push_back((x >> 8) & 0xFF); }
void put32(std::vector<uint8_t>& v, uint32_t x) { put16(v, x & 0xFFFF); put16(v, x >> 16); }

std::vector<uint8_t> packbits_literal(const std::vector<uint8_t>& row) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < row.size();) {
    // Runs of equal bytes as repeats, the rest as literals of up to 128 bytes.
    size_t run = 1;
    while (i + run < row.size() && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<uint8_t>(257 - run));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    const size_t n = std::min<size_t>(128, row.size() - i);
    out.push_back(static_cast<uint8_t>(n - 1));
    out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(i), row.begin() + static_cast<std::ptrdiff_t>(i + n));
    i += n;
  }
  return out;
}

// A file of the given compression (1, 8 or 32773), samples (3 colour, 1 bilevel) and predictor.
std::string write_file(uint32_t compression, uint32_t samples, uint32_t predictor) {
  const uint32_t bits = samples == 3 ? 8 : 1;
  const size_t row_bytes = samples == 3 ? kWidth * 3 : (kWidth + 7) / 8;
  std::vector<uint8_t> file = {'I', 'I', 42, 0, 0, 0, 0, 0};
  std::vector<uint32_t> offsets, counts;
  for (uint32_t y0 = 0; y0 < kHeight; y0 += kRowsPerStrip) {
    std::vector<uint8_t> strip;
    for (uint32_t y = y0; y < std::min(kHeight, y0 + kRowsPerStrip); ++y) {
      std::vector<uint8_t> row(row_bytes);
      for (size_t i = 0; i < row_bytes; ++i)
        row[i] = samples == 3 ? static_cast<uint8_t>((i / 3) * 255 / kWidth + ((i % 3) ? y / 8 : 0))
                              : static_cast<uint8_t>(((i / 8) ^ (y / 32)) & 1 ? 0xFF : 0x0F);
      if (predictor == 2)
        for (size_t i = row_bytes - 1; i >= 3; --i) row[i] = static_cast<uint8_t>(row[i] - row[i - 3]);
      if (compression == 32773) row = packbits_literal(row);
      strip.insert(strip.end(), row.begin(), row.end());
    }
    if (compression == 8) {
      std::vector<uint8_t> packed(compressBound(strip.size()));
      uLongf size = packed.size();
      compress2(packed.data(), &size, strip.data(), strip.size(), 6);
      packed.resize(size);
      strip = packed;
    }
    offsets.push_back(static_cast<uint32_t>(file.size()));
    counts.push_back(static_cast<uint32_t>(strip.size()));
    file.insert(file.end(), strip.begin(), strip.end());
  }
  const uint32_t offsets_at = static_cast<uint32_t>(file.size());
  for (uint32_t o : offsets) put32(file, o);
  const uint32_t counts_at = static_cast<uint32_t>(file.size());
  for (uint32_t c : counts) put32(file, c);
  const uint32_t bits_at = static_cast<uint32_t>(file.size());
  for (int i = 0; i < 3; ++i) put16(file, bits);
  const uint32_t dir = static_cast<uint32_t>(file.size());
  file[4] = dir & 0xFF; file[5] = (dir >> 8) & 0xFF; file[6] = (dir >> 16) & 0xFF; file[7] = dir >> 24;
  const uint32_t n = static_cast<uint32_t>(offsets.size());
  struct E { uint16_t tag, type; uint32_t count, value; };
  const E entries[] = {
      {256, 4, 1, kWidth}, {257, 4, 1, kHeight},
      {258, 3, samples, samples == 3 ? bits_at : bits}, {259, 3, 1, compression},
      {262, 3, 1, samples == 3 ? 2u : 1u}, {273, 4, n, offsets_at}, {277, 3, 1, samples},
      {278, 4, 1, kRowsPerStrip}, {279, 4, n, counts_at}, {317, 3, 1, predictor},
  };
  put16(file, sizeof entries / sizeof entries[0]);
  for (const E& e : entries) {
    put16(file, e.tag); put16(file, e.type); put32(file, e.count);
    if (e.type == 3 && e.count == 1) { put16(file, e.value); put16(file, 0); }
    else put32(file, e.value);
  }
  put32(file, 0);
  char name[] = "/tmp/lumora_tiff_bench_XXXXXX.tif";
  const int fd = mkstemps(name, 4);
  if (fd >= 0) close(fd);
  FILE* f = std::fopen(name, "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  return name;
}

void BM_TiffRead(benchmark::State& state) {
  static Library library;
  const auto compression = static_cast<uint32_t>(state.range(0));
  const auto samples = static_cast<uint32_t>(state.range(1));
  const auto predictor = static_cast<uint32_t>(state.range(2));
  const std::string path = write_file(compression, samples, predictor);
  LoadParams p;
  load_params_init(&p);
  p.format_index = kFormatTiff;
  for (auto _ : state) {
    Bitmap b{};
    if (load_image(path.c_str(), &b, &p, nullptr) != 0) state.SkipWithError("load failed");
    bitmap_free(&b);
  }
  std::remove(path.c_str());
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6 * state.iterations(),
                                              benchmark::Counter::kIsRate);
}

// (compression, samples, predictor)
BENCHMARK(BM_TiffRead)
    ->Args({1, 3, 1})->Args({32773, 3, 1})->Args({8, 3, 1})->Args({8, 3, 2})
    ->Args({1, 1, 1})->Args({32773, 1, 1})->Args({8, 1, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
