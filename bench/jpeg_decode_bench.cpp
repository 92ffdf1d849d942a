// JPEG decode paths of a 12-megapixel photograph (4000 x 3000, made at start-up): plain libjpeg
// into a buffer against load_image with the application's options (the pipeline's overhead), and
// the browser's thumbnail loads (scaled main picture, Exif thumbnail) against libjpeg's own 1/8
// scaled decode.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A photograph-like picture: smooth shading, edges and fine texture, so the entropy-coded data
// has the density of a camera picture at quality 90.
uint8_t sample(int x, int y, int c) {
  const double shade = 110 + 70 * std::sin(x / 190.0 + c) * std::cos(y / 240.0 - c);
  const uint32_t h = (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^ (c * 83492791u);
  const int texture = static_cast<int>((h >> 7) % 29) - 14;
  const int edge = ((x / 250 + y / 180) & 1) ? 25 : 0;
  const int v = static_cast<int>(shade) + texture + edge;
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

Bytes compress(int w, int h, int quality) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  const int step = w > 1000 ? 1 : 4000 / w;  // a thumbnail samples the same picture
  while (c.next_scanline < c.image_height) {
    const int y = static_cast<int>(c.next_scanline);
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) row[static_cast<size_t>(x) * 3 + k] = sample(x * step, y * step, k);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

// An Exif APP1 block whose IFD1 holds `thumbnail`, spliced in after SOI.
Bytes with_exif_thumbnail(const Bytes& jpeg, const Bytes& thumbnail) {
  Bytes exif = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0};
  auto u16 = [&](uint16_t v) { exif.insert(exif.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto u32 = [&](uint32_t v) {
    exif.insert(exif.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  };
  u16(1);
  u16(0x0112); u16(3); u32(1); u32(1);
  u32(26);
  u16(2);
  u16(0x0201); u16(4); u32(1); u32(56);
  u16(0x0202); u16(4); u32(1); u32(static_cast<uint32_t>(thumbnail.size()));
  u32(0);
  exif.insert(exif.end(), thumbnail.begin(), thumbnail.end());
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  const size_t len = exif.size() + 2;
  out.insert(out.end(), {0xFF, 0xE1, uint8_t(len >> 8), uint8_t(len & 0xFF)});
  out.insert(out.end(), exif.begin(), exif.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

struct Photos {
  std::string plain;  // 4000 x 3000, no Exif
  std::string exif;   // the same with a 160 x 120 Exif thumbnail
  Photos() {
    const Bytes main = compress(4000, 3000, 90);
    plain = write("plain", main);
    exif = write("exif", with_exif_thumbnail(main, compress(160, 120, 80)));
    lumora::library_start();
  }
  ~Photos() {
    std::remove(plain.c_str());
    std::remove(exif.c_str());
    lumora::library_stop();
  }
  static std::string write(const char* name, const Bytes& bytes) {
    const std::string path = "/tmp/lumora_bench_" + std::to_string(getpid()) + "_" + name + ".jpg";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }
};

const Photos& photos() {
  static const Photos p;
  return p;
}

// Plain libjpeg from the file into one whole-picture buffer; `denom` 1 or 8 (8 with the quick
// decoding options).
void libjpeg_decode(benchmark::State& state, unsigned denom) {
  const std::string& path = photos().plain;
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, f);
    jpeg_read_header(&d, TRUE);
    if (denom > 1) {
      d.scale_num = 1;
      d.scale_denom = denom;
      d.dct_method = JDCT_IFAST;
      d.do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(&d);
    const size_t row_bytes = static_cast<size_t>(d.output_width) * d.output_components;
    std::vector<uint8_t> pixels(row_bytes * d.output_height);
    while (d.output_scanline < d.output_height) {
      JSAMPROW row = pixels.data() + row_bytes * d.output_scanline;
      jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    std::fclose(f);
    benchmark::DoNotOptimize(pixels.data());
  }
}

// load_image with the application's options; a box and the quick flag for the browser's loads.
void load(benchmark::State& state, const std::string& path, int max_w, int max_h, bool smooth,
          uint8_t embedded) {
  lumora::LoadParams p;
  lumora::load_params_init(&p);
  p.component_order = 1;
  p.alignment = 4;
  p.flags = lumora::kLoadApplicationFlags | (max_w > 0 ? lumora::kLoadQuick : 0);
  p.max_width = max_w;
  p.max_height = max_h;
  p.reduce_mode = smooth ? lumora::kReduceAverage : lumora::kReduceNearest;
  p.use_embedded = embedded;
  for (auto _ : state) {
    lumora::Bitmap b{};
    if (lumora::load_image(path.c_str(), &b, &p, nullptr) != 0) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(b.pixels);
    lumora::bitmap_free(&b);
  }
}

void BM_LibjpegFull(benchmark::State& s) { libjpeg_decode(s, 1); }
void BM_LoadImageFull(benchmark::State& s) { load(s, photos().plain, -1, -1, false, 0); }
void BM_LibjpegScaledEighth(benchmark::State& s) { libjpeg_decode(s, 8); }
void BM_LoadThumb46(benchmark::State& s) { load(s, photos().plain, 46, 46, false, 1); }
void BM_LoadThumb46Smooth(benchmark::State& s) { load(s, photos().plain, 46, 46, true, 1); }
void BM_LoadThumb46Embedded(benchmark::State& s) { load(s, photos().exif, 46, 46, false, 1); }
void BM_LoadReduced240x320(benchmark::State& s) { load(s, photos().plain, 240, 320, true, 0); }

BENCHMARK(BM_LibjpegFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadImageFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegScaledEighth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThumb46)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThumb46Smooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThumb46Embedded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadReduced240x320)->Unit(benchmark::kMillisecond);

}  // namespace
