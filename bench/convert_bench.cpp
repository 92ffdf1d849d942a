// Row converter throughput: one row of 4096 pixels through the unpacker and packer of a load, or
// the two converters of a save. Bytes processed are the raw (load) or Bitmap (save) row bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/convert.h"

namespace {

using namespace lumora;

constexpr int32_t kWidth = 4096;

struct LoadBench {
  uint32_t layout;
  int planes, bits_per_plane, samples;
  uint32_t produced;
  int order;
};

void run_load(benchmark::State& state, LoadBench b) {
  LoadRowFormat f{b.layout, b.planes, b.bits_per_plane, b.samples,
                  static_cast<uint32_t>((kWidth * b.bits_per_plane + 7) / 8), b.produced, b.order, 255};
  LoadConverters c;
  if (convert_select_load(f, &c) != 0) {
    state.SkipWithError("no converter");
    return;
  }
  const size_t raw_bytes = convert_load_source_bytes(f, kWidth);
  std::vector<uint8_t> raw(raw_bytes + 16);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 131 + 7);
  std::vector<uint8_t> work(convert_working_bytes(c, kWidth) + 16);
  std::vector<uint8_t> out(static_cast<size_t>(kWidth) * 4 + 16);
  for (auto _ : state) {
    c.unpack(raw.data(), work.data(), kWidth, 0, &c.params);
    c.pack(work.data(), out.data(), kWidth, 0, &c.params);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(raw_bytes));
}

void run_save(benchmark::State& state, uint16_t type, int planes, int bits_per_plane,
              uint32_t layout) {
  const int bpp = bitmap_bytes_per_pixel_for_type(type);
  SaveRowFormat f{type, bpp, type == kPixBilevel ? 1 : 8, layout, planes, bits_per_plane, 0, 1,
                  kWidth, 0};
  SaveConverters c;
  if (convert_select_save(f, &c) != 0) {
    state.SkipWithError("no converter");
    return;
  }
  const size_t row_bytes = bitmap_row_bytes(type, kWidth, bpp);
  std::vector<uint8_t> row(row_bytes + 16);
  for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 131 + 7);
  std::vector<uint8_t> work(convert_save_working_bytes(c, kWidth) + 16);
  std::vector<uint8_t> out(convert_save_output_bytes(f, c) + 16);
  for (auto _ : state) {
    c.to_working(row.data(), work.data(), kWidth, -1, &c.params);
    c.to_writer(work.data(), out.data(), kWidth, -1, &c.params);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(row_bytes));
}

// Load: raw layout -> produced type (component order 1, as the application loads).
BENCHMARK_CAPTURE(run_load, bgr24_to_bgr, LoadBench{0x8, 1, 24, 0, kMaskColor3, 1});
BENCHMARK_CAPTURE(run_load, rgb24_to_bgr, LoadBench{0, 1, 24, 0, kMaskColor3, 1});
BENCHMARK_CAPTURE(run_load, rgb24_to_abgr, LoadBench{0, 1, 24, 0, kMaskColor4, 1});
BENCHMARK_CAPTURE(run_load, bgra32_to_bgr, LoadBench{0x20, 1, 32, 0, kMaskColor3, 1});
BENCHMARK_CAPTURE(run_load, rgb565_to_bgr, LoadBench{0x100, 1, 16, 0, kMaskColor3, 1});
BENCHMARK_CAPTURE(run_load, rgb555_to_bgr, LoadBench{0, 1, 16, 0, kMaskColor3, 1});
BENCHMARK_CAPTURE(run_load, index8_to_index, LoadBench{0, 1, 8, 0, kPixIndexed, 1});
BENCHMARK_CAPTURE(run_load, index4_to_index, LoadBench{0, 1, 4, 0, kPixIndexed, 1});
BENCHMARK_CAPTURE(run_load, index1_to_bytes, LoadBench{0, 1, 1, 0, kPixGrey, 1});
BENCHMARK_CAPTURE(run_load, bits_to_bilevel, LoadBench{0, 1, 1, 0, kPixBilevel, 1});
BENCHMARK_CAPTURE(run_load, planes4x1_to_index, LoadBench{0, 4, 1, 0, kPixIndexed, 1});
BENCHMARK_CAPTURE(run_load, planes3x8_to_bgr, LoadBench{0, 3, 8, 0, kMaskColor3, 1});
BENCHMARK_CAPTURE(run_load, grey16_to_grey, LoadBench{0, 1, 16, 1, kPixGrey, 1});

// Save: Bitmap type -> writer row.
BENCHMARK_CAPTURE(run_save, bgr_to_bgr24, kPixBGR, 1, 24, 0x8);
BENCHMARK_CAPTURE(run_save, bgr_to_rgb24, kPixBGR, 1, 24, 0);
BENCHMARK_CAPTURE(run_save, abgr_to_bgra32, kPixABGR, 1, 32, 0x20);
BENCHMARK_CAPTURE(run_save, cmyk_to_rgb24, kPixCMYK, 1, 24, 0);
BENCHMARK_CAPTURE(run_save, index_to_4bit, kPixIndexed, 1, 4, 0);
BENCHMARK_CAPTURE(run_save, bilevel_to_8bit, kPixBilevel, 1, 8, 0);
BENCHMARK_CAPTURE(run_save, index_to_4planes, kPixIndexed, 4, 1, 0);

}  // namespace
