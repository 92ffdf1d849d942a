// Bitmap read and write throughput on a 2000 x 1500 picture: 24-bit colour, and 8-bit indexed
// plain and RLE8. Writes go to an open stream so that the numbers are the codec's, not the disk's.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"

namespace {

using namespace lumora;

constexpr int kWidth = 2000, kHeight = 1500;

struct Library {
  Library() { library_start(); }
  ~Library() { library_stop(); }
};

// Smooth gradients with some texture: typical of photographs (24-bit) and of drawings (8-bit).
Bitmap make_picture(uint16_t type) {
  Bitmap b{};
  bitmap_alloc(&b, type, 4, kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = bitmap_row(&b, y);
    for (int x = 0; x < kWidth; ++x) {
      if (type == kPixIndexed) {
        row[x] = static_cast<uint8_t>(((x / 16) ^ (y / 16)) & 0x3F);
      } else {
        row[3 * x] = static_cast<uint8_t>(x * 255 / kWidth);
        row[3 * x + 1] = static_cast<uint8_t>(y * 255 / kHeight);
        row[3 * x + 2] = static_cast<uint8_t>((x ^ y) & 0xFF);
      }
    }
  }
  return b;
}

SaveParams bmp_params(bool rle) {
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatBmp;
  p.rle = rle;
  return p;
}

void write_bmp(benchmark::State& state, uint16_t type, bool rle) {
  Library library;
  Bitmap b = make_picture(type);
  SaveParams p = bmp_params(rle);
  std::FILE* f = std::tmpfile();
  for (auto _ : state) {
    std::rewind(f);
    if (save_image(nullptr, 0, f, &b, &p)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kHeight * b.bytes_per_line);
  std::fclose(f);
  bitmap_free(&b);
}

void read_bmp(benchmark::State& state, uint16_t type, bool rle) {
  Library library;
  Bitmap b = make_picture(type);
  char path[] = "/tmp/lumora_bmp_bench_XXXXXX.bmp";
  int fd = mkstemps(path, 4);
  if (fd >= 0) close(fd);
  SaveParams p = bmp_params(rle);
  if (save_image(path, &b, &p)) state.SkipWithError("save failed");
  LoadParams lp;
  load_params_init(&lp);
  lp.component_order = 1;
  for (auto _ : state) {
    Bitmap out{};
    if (load_image(path, &out, &lp, nullptr)) state.SkipWithError("load failed");
    bitmap_free(&out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kHeight * b.bytes_per_line);
  std::remove(path);
  bitmap_free(&b);
}

void BM_BmpWrite24(benchmark::State& s) { write_bmp(s, kPixRGB, false); }
void BM_BmpWrite8(benchmark::State& s) { write_bmp(s, kPixIndexed, false); }
void BM_BmpWriteRle8(benchmark::State& s) { write_bmp(s, kPixIndexed, true); }
void BM_BmpRead24(benchmark::State& s) { read_bmp(s, kPixRGB, false); }
void BM_BmpRead8(benchmark::State& s) { read_bmp(s, kPixIndexed, false); }
void BM_BmpReadRle8(benchmark::State& s) { read_bmp(s, kPixIndexed, true); }

BENCHMARK(BM_BmpWrite24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpWrite8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpWriteRle8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpRead24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpRead8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpReadRle8)->Unit(benchmark::kMillisecond);

}  // namespace
