// Row converters: the arithmetic of every unpacker and packer, checked on short rows built here.
#include "imagelib/core/convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imagelib/core/bitmap.h"

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<uint8_t> words(std::initializer_list<uint16_t> values) {
  Bytes out(values.size() * 2);
  size_t i = 0;
  for (uint16_t v : values) std::memcpy(&out[2 * i++], &v, 2);  // processor byte order
  return out;
}

struct LoadCase {
  const char* name;
  LoadRowFormat format;
  int32_t width;
  Bytes raw;
  Bytes expected;  // the produced Bitmap row
};

// Unpacks and packs one row; the raw row gets guard bytes that must not matter.
Bytes run_load(const LoadRowFormat& f, int32_t width, const Bytes& raw, int plane = -1,
               Bytes* dst_inout = nullptr) {
  LoadConverters c;
  EXPECT_EQ(convert_select_load(f, &c), 0);
  if (!c.unpack) return {};
  const size_t src_bytes = convert_load_source_bytes(f, width);
  EXPECT_LE(src_bytes, raw.size());
  Bytes work(convert_working_bytes(c, width) + 8, 0xEE);
  c.unpack(raw.data(), work.data(), width, plane, &c.params);
  const size_t out_bytes = c.produced_bytes_per_pixel == 0
                               ? static_cast<size_t>((width + 7) / 8)
                               : static_cast<size_t>(width) * c.produced_bytes_per_pixel;
  Bytes out = dst_inout ? *dst_inout : Bytes(out_bytes, 0);
  c.pack(work.data(), out.data(), width, plane, &c.params);
  if (dst_inout) *dst_inout = out;
  return out;
}

LoadRowFormat fmt(int planes, int bpp, uint32_t layout, uint32_t produced, int order = 0,
                  int samples = 0, uint32_t bytes_per_plane = 0) {
  return LoadRowFormat{layout, planes, bpp, samples, bytes_per_plane, produced, order, 200};
}

TEST(ConvertLoad, UnpackAndPackArithmetic) {
  const LoadCase cases[] = {
      // k-bit scaling: 5-bit 31 -> 255, 16 -> 131; 6-bit 63 -> 255, 32 -> 129; 4-bit 8 -> 136.
      {"555 default", fmt(1, 16, 0, 80), 1, words({(31 << 10) | (16 << 5) | 0}), {255, 131, 0}},
      {"565 green 63", fmt(1, 16, 0x100, 80), 1, words({(0 << 11) | (63 << 5) | 31}), {0, 255, 255}},
      {"565 green 32", fmt(1, 16, 0x100, 80), 1, words({(16 << 11) | (32 << 5) | 1}), {131, 129, 8}},
      {"444 high", fmt(1, 16, 0x400, 80), 1, words({0xF80A}), {255, 136, 0}},
      {"444 low", fmt(1, 16, 0x800, 80), 1, words({0xAF80}), {255, 136, 0}},
      {"555 green in 6-10", fmt(1, 16, 0x1000, 80), 1, words({(31 << 11) | (16 << 6) | 1}), {255, 131, 8}},
      {"555 red on top", fmt(1, 16, 0x2000, 80), 1, words({(31 << 11) | (16 << 5) | 1}), {255, 131, 8}},
      {"15 bit", fmt(1, 15, 0, 80), 1, words({(1 << 10) | (2 << 5) | 3}), {8, 16, 24}},
      {"15 bit red low", fmt(1, 15, 0x200, 80), 1, words({(1 << 10) | (2 << 5) | 3}), {24, 16, 8}},
      {"12 bit, odd width", fmt(1, 12, 0, 80), 3, {0xF8, 0x01, 0x23, 0x45, 0x60},
       {255, 136, 0, 17, 34, 51, 68, 85, 102}},
      {"24 copy", fmt(1, 24, 0, 80), 2, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
      {"24 reversed", fmt(1, 24, 0x8, 80), 2, {1, 2, 3, 4, 5, 6}, {3, 2, 1, 6, 5, 4}},
      {"24 fourth-last layout", fmt(1, 24, 0x20, 80), 1, {1, 2, 3}, {3, 2, 1}},
      // A file stored blue-green-red packed for order 1 comes out unchanged (reversed twice).
      {"24 reversed, order 1", fmt(1, 24, 0x8, 80, 1), 1, {1, 2, 3}, {1, 2, 3}},
      {"32 copy", fmt(1, 32, 0, 1952), 1, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"32 reversed", fmt(1, 32, 0x8, 1952), 1, {1, 2, 3, 4}, {4, 3, 2, 1}},
      {"32 fourth first", fmt(1, 32, 0x10, 1952), 1, {1, 2, 3, 4}, {2, 3, 4, 1}},
      {"32 fourth last", fmt(1, 32, 0x20, 1952), 1, {1, 2, 3, 4}, {3, 2, 1, 4}},
      // Packing colour into each component order (alpha 200 for pixels without one).
      {"3 to 3, order 1", fmt(1, 24, 0, 80, 1), 1, {1, 2, 3}, {3, 2, 1}},
      {"3 to 4, order 0", fmt(1, 24, 0, 1952, 0), 1, {1, 2, 3}, {1, 2, 3, 200}},
      {"3 to 4, order 1", fmt(1, 24, 0, 1952, 1), 1, {1, 2, 3}, {200, 3, 2, 1}},
      {"3 to 4, order 2", fmt(1, 24, 0, 1952, 2), 1, {1, 2, 3}, {3, 2, 1, 200}},
      {"3 to 4, order 3", fmt(1, 24, 0, 1952, 3), 1, {1, 2, 3}, {200, 1, 2, 3}},
      {"4 to 4, order 1", fmt(1, 32, 0, 1952, 1), 1, {1, 2, 3, 4}, {4, 3, 2, 1}},
      {"4 to 4, order 2", fmt(1, 32, 0, 1952, 2), 1, {1, 2, 3, 4}, {3, 2, 1, 4}},
      {"4 to 4, order 3", fmt(1, 32, 0, 1952, 3), 1, {1, 2, 3, 4}, {4, 1, 2, 3}},
      {"4 to 3, order 0", fmt(1, 32, 0, 80, 0), 2, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 5, 6, 7}},
      {"4 to 3, order 1", fmt(1, 32, 0, 80, 1), 1, {1, 2, 3, 4}, {3, 2, 1}},
      // Ink and L*a*b* data are packed plainly whatever the order: the colour-space step reads
      // them in file order afterwards.
      {"ink, order 1", fmt(1, 32, 0x4000, 1952, 1), 1, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"ink 0x8000, order 2", fmt(1, 32, 0x8000, 1952, 2), 1, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"Lab, order 1", fmt(1, 24, 0x80000, 80, 1), 1, {1, 2, 3}, {1, 2, 3}},
      // Sources of 8 bits or less.
      {"1 bit expanded", fmt(1, 1, 0, 2), 10, {0xA5, 0xC0}, {1, 0, 1, 0, 0, 1, 0, 1, 1, 1}},
      {"2 bit expanded", fmt(1, 2, 0, 2), 5, {0x1B, 0xC0}, {0, 1, 2, 3, 3}},
      {"4 bit expanded", fmt(1, 4, 0, 2), 3, {0x12, 0xF0}, {1, 2, 15}},
      {"3 bit expanded", fmt(1, 3, 0, 2), 4, {0b00101001, 0b11000000, 0}, {1, 2, 3, 4}},
      {"one per byte, low bits count", fmt(1, 1, 0x2, 2), 3, {0xFE, 0x01, 0x03}, {0, 1, 1}},
      {"8 bit copy", fmt(1, 8, 0, 4), 3, {7, 8, 9}, {7, 8, 9}},
      {"index into 3 bytes, order 0", fmt(1, 8, 0, 80, 0), 1, {9}, {9, 0, 0}},
      {"index into 3 bytes, order 1", fmt(1, 8, 0, 80, 1), 1, {9}, {0, 0, 9}},
      {"index into 4 bytes, order 1", fmt(1, 8, 0, 1952, 1), 1, {9}, {0, 0, 0, 9}},
      {"index into 4 bytes, order 2", fmt(1, 8, 0, 1952, 2), 1, {9}, {0, 0, 9, 0}},
      {"index into 4 bytes, order 3", fmt(1, 8, 0, 1952, 3), 1, {9}, {0, 9, 0, 0}},
      // Bilevel.
      {"bits copied", fmt(1, 1, 0, 1), 12, {0xA5, 0xF0}, {0xA5, 0xF0}},
      {"low bits gathered", fmt(1, 1, 0x2, 1), 9, {1, 0, 1, 1, 0, 0, 0, 1, 1}, {0xB1, 0x80}},
      // Several planes in one row (bytes_per_plane 2 apart).
      {"4 planes of 1 bit", fmt(4, 1, 0, 2, 0, 0, 2), 3, {0xA0, 0, 0x60, 0, 0x00, 0, 0xE0, 0},
       {9, 10, 11}},
      {"3 planes of 8 bits", fmt(3, 8, 0, 80, 0, 0, 2), 2, {1, 2, 3, 4, 5, 6}, {1, 3, 5, 2, 4, 6}},
      {"3 planes reversed", fmt(3, 8, 0x8, 80, 0, 0, 2), 2, {1, 2, 3, 4, 5, 6}, {5, 3, 1, 6, 4, 2}},
      {"4 planes of 8 bits", fmt(4, 8, 0, 1952, 0, 0, 1), 1, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"4 planes reversed", fmt(4, 8, 0x8, 1952, 0, 0, 1), 1, {1, 2, 3, 4}, {4, 3, 2, 1}},
      {"4 planes fourth first", fmt(4, 8, 0x10, 1952, 0, 0, 1), 1, {1, 2, 3, 4}, {2, 3, 4, 1}},
      // Word interleave: 2 planes; plane 0 word 0x8000, plane 1 word 0xC000.
      {"word interleaved", fmt(2, 1, 0x1, 2), 3, words({0x8000, 0xC000}), {3, 2, 0}},
      // A single wide grey sample is scaled to 8 bits; grey with alpha becomes (g, g, g, a).
      {"16-bit grey", fmt(1, 16, 0, 2, 0, 1), 3, words({0xFFFF, 0x8000, 0}), {255, 127, 0}},
      {"16-bit grey to colour", fmt(1, 16, 0, 1952, 1, 1), 1, words({0xFFFF}), {200, 255, 255, 255}},
      {"grey and alpha", fmt(1, 16, 0, 1952, 0, 2), 1, {10, 20}, {10, 10, 10, 20}},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes raw = c.raw;
    raw.resize(raw.size() + 4, 0);
    EXPECT_EQ(run_load(c.format, c.width, raw), c.expected);
  }
}

TEST(ConvertLoad, PlanarDeliveryPlacesEachPlane) {
  struct Case {
    const char* name;
    LoadRowFormat format;
    int planes_delivered;
    Bytes expected;
  };
  // Plane p of the single pixel holds the value 10 + p (8-bit planes) or bit p of 2 (1-bit).
  const Case cases[] = {
      {"3 planes, 3 bytes, order 0", fmt(3, 8, 0x4, 80, 0), 3, {10, 11, 12}},
      {"3 planes, 3 bytes, order 1", fmt(3, 8, 0x4, 80, 1), 3, {12, 11, 10}},
      {"3 planes, 4 bytes, order 1: alpha filled", fmt(3, 8, 0x4, 1952, 1), 3, {200, 12, 11, 10}},
      {"4 planes, 4 bytes, order 2", fmt(4, 8, 0x4, 1952, 2), 4, {12, 11, 10, 13}},
      {"4 planes, 4 bytes, order 3", fmt(4, 8, 0x4, 1952, 3), 4, {13, 10, 11, 12}},
      {"4 planes, ink, order 1", fmt(4, 8, 0x4 | 0x4000, 1952, 1), 4, {10, 11, 12, 13}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(c.expected.size(), 0);
    for (int p = 0; p < c.planes_delivered; ++p) {
      run_load(c.format, 1, Bytes{static_cast<uint8_t>(10 + p), 0, 0, 0}, p, &out);
    }
    EXPECT_EQ(out, c.expected);
  }
  // Two 1-bit planes combine into values 0 to 3, plane 0 giving the low bit; a plane number
  // outside the picture changes nothing.
  Bytes out(4, 0xFF);
  const LoadRowFormat two = fmt(2, 1, 0x4, 2);
  run_load(two, 4, {0x50}, 0, &out);  // bits 0 1 0 1
  run_load(two, 4, {0x30}, 1, &out);  // bits 0 0 1 1
  run_load(two, 4, {0xF0}, 7, &out);
  EXPECT_EQ(out, (Bytes{0xFC, 0xFD, 0xFE, 0xFF}));
}

TEST(ConvertLoad, UnusableLayoutsAreRefused) {
  const LoadRowFormat bad[] = {
      fmt(2, 8, 0, 80),      // two 8-bit planes: no converter
      fmt(1, 33, 0, 1952),   // more than 32 bits
      fmt(1, 20, 0, 80),     // 20 bits without a stated single sample
      fmt(1, 8, 0, 1),       // 8 bits cannot be produced as bilevel
      fmt(1, 24, 0, 2),      // colour cannot be produced as 8-bit
      fmt(0, 8, 0, 2),       // no planes
      fmt(1, 8, 0, 7),       // unknown produced code
  };
  for (const LoadRowFormat& f : bad) {
    LoadConverters c;
    std::memset(&c, 0xFF, sizeof c);
    EXPECT_EQ(convert_select_load(f, &c), 2) << f.planes << "x" << f.bits_per_plane;
    EXPECT_EQ(c.unpack, nullptr);
  }
}

TEST(ConvertLoad, SourceBytesCoverWhatTheUnpackerReads) {
  struct Case {
    LoadRowFormat format;
    int32_t width;
    size_t bytes;
  };
  const Case cases[] = {
      {fmt(1, 1, 0, 1), 9, 2},          {fmt(1, 1, 0x2, 1), 9, 9},
      {fmt(1, 4, 0, 2), 5, 3},          {fmt(1, 12, 0, 80), 3, 5},
      {fmt(1, 16, 0, 80), 3, 6},        {fmt(1, 24, 0, 80), 3, 9},
      {fmt(4, 1, 0, 2, 0, 0, 100), 9, 302},  // three full planes apart, then 2 bytes
      {fmt(2, 1, 0x1, 2), 17, 8},       {fmt(1, 16, 0, 2, 0, 1), 4, 8},
  };
  for (const Case& c : cases) EXPECT_EQ(convert_load_source_bytes(c.format, c.width), c.bytes);
}

TEST(ConvertLoad, DeepSamplesKeepTheirPrecision) {
  // 16-bit grey stays 16-bit; 8-bit samples widen by x 257.
  LoadConverters c;
  ASSERT_EQ(convert_select_load(fmt(1, 16, 0, 2048, 0, 1), &c), 0);
  EXPECT_EQ(c.produced_bytes_per_pixel, 2);
  Bytes raw = words({0x1234, 0xFFFF});
  Bytes work(4), out(4);
  c.unpack(raw.data(), work.data(), 2, -1, &c.params);
  c.pack(work.data(), out.data(), 2, -1, &c.params);
  EXPECT_EQ(out, raw);

  ASSERT_EQ(convert_select_load(fmt(1, 24, 0, 2048, 0, 3), &c), 0);
  EXPECT_EQ(c.produced_bytes_per_pixel, 6);
  Bytes rgb{0x00, 0x80, 0xFF};
  Bytes wide(6);
  c.unpack(rgb.data(), wide.data(), 1, -1, &c.params);
  EXPECT_EQ(wide, words({0x0000, 0x8080, 0xFFFF}));
}

// ---- Save direction -------------------------------------------------------------------------

SaveRowFormat sfmt(uint16_t type, int planes, int bpp, uint32_t layout, int32_t width,
                   uint16_t palette_form = 0) {
  return SaveRowFormat{type, bitmap_bytes_per_pixel_for_type(type), 8, layout, planes, bpp,
                       0, 1, width, palette_form};
}

Bytes run_save(const SaveRowFormat& f, const Bytes& row) {
  SaveConverters c;
  EXPECT_EQ(convert_select_save(f, &c), 0);
  if (!c.to_working) return {};
  Bytes work(convert_save_working_bytes(c, f.width) + 8, 0xEE);
  c.to_working(row.data(), work.data(), f.width, -1, &c.params);
  Bytes out(convert_save_output_bytes(f, c), 0xEE);
  c.to_writer(work.data(), out.data(), f.width, -1, &c.params);
  return out;
}

TEST(ConvertSave, BitmapRowsToWriterRows) {
  struct Case {
    const char* name;
    SaveRowFormat format;
    Bytes row;
    Bytes expected;
  };
  const Case cases[] = {
      {"RGB to 24", sfmt(kPixRGB, 1, 24, 0, 1), {1, 2, 3}, {1, 2, 3}},
      {"RGB to 24 reversed", sfmt(kPixRGB, 1, 24, 0x8, 1), {1, 2, 3}, {3, 2, 1}},
      {"BGR to 24", sfmt(kPixBGR, 1, 24, 0, 1), {1, 2, 3}, {3, 2, 1}},
      // A blue-green-red Bitmap written by a blue-green-red writer is byte for byte the same.
      {"BGR to 24 reversed", sfmt(kPixBGR, 1, 24, 0x8, 1), {1, 2, 3}, {1, 2, 3}},
      {"RGB to 32", sfmt(kPixRGB, 1, 32, 0, 1), {1, 2, 3}, {1, 2, 3, 0}},
      {"BGR to 32", sfmt(kPixBGR, 1, 32, 0, 1), {1, 2, 3}, {3, 2, 1, 0}},
      {"RGBA to 24", sfmt(kPixRGBA, 1, 24, 0, 1), {1, 2, 3, 4}, {1, 2, 3}},
      {"RGBA to 32", sfmt(kPixRGBA, 1, 32, 0, 1), {1, 2, 3, 4}, {1, 2, 3, 4}},
      {"ABGR to 24", sfmt(kPixABGR, 1, 24, 0, 1), {4, 3, 2, 1}, {1, 2, 3}},
      {"ABGR to 32", sfmt(kPixABGR, 1, 32, 0, 1), {4, 3, 2, 1}, {1, 2, 3, 4}},
      {"BGRA to 24", sfmt(kPixBGRA, 1, 24, 0, 1), {3, 2, 1, 4}, {1, 2, 3}},
      {"BGRA to 32", sfmt(kPixBGRA, 1, 32, 0, 1), {3, 2, 1, 4}, {1, 2, 3, 4}},
      {"ARGB to 24", sfmt(kPixARGB, 1, 24, 0, 1), {4, 1, 2, 3}, {1, 2, 3}},
      {"ARGB to 32", sfmt(kPixARGB, 1, 32, 0, 1), {4, 1, 2, 3}, {1, 2, 3, 4}},
      {"RGBA to 32 reversed", sfmt(kPixRGBA, 1, 32, 0x8, 1), {1, 2, 3, 4}, {4, 3, 2, 1}},
      {"RGBA to 32 fourth last", sfmt(kPixRGBA, 1, 32, 0x20, 1), {1, 2, 3, 4}, {3, 2, 1, 4}},
      {"RGBA to 32 fourth first", sfmt(kPixRGBA, 1, 32, 0x10, 1), {1, 2, 3, 4}, {4, 1, 2, 3}},
      // CMYK: white, red, black; inverted inks for an ink writer; inks as they are.
      {"CMYK to RGB", sfmt(kPixCMYK, 1, 24, 0, 3), {0, 0, 0, 0, 0, 255, 255, 0, 9, 9, 9, 255},
       {255, 255, 255, 255, 0, 0, 0, 0, 0}},
      {"CMYK to 32", sfmt(kPixCMYK, 1, 32, 0, 1), {0, 255, 255, 0}, {255, 0, 0, 0}},
      {"CMYK half black", sfmt(kPixCMYK, 1, 24, 0, 1), {0, 0, 0, 128}, {127, 127, 127}},
      {"CMYK inverted inks", sfmt(kPixCMYK, 1, 32, 0x4000, 1), {0, 10, 250, 255}, {255, 245, 5, 0}},
      {"CMYK inks", sfmt(kPixCMYK, 1, 32, 0x8000, 1), {0, 10, 250, 255}, {0, 10, 250, 255}},
      // Values of 8 bits or less.
      {"grey to 8", sfmt(kPixGrey, 1, 8, 0, 2), {7, 200}, {7, 200}},
      {"indexes to 4 bits", sfmt(kPixIndexed, 1, 4, 0, 3), {1, 15, 9}, {0x1F, 0x90}},
      {"indexes to 1 bit", sfmt(kPixIndexed, 1, 1, 0, 9), {1, 0, 1, 1, 0, 0, 0, 1, 1}, {0xB1, 0x80}},
      {"indexes to 3 bits", sfmt(kPixIndexed, 1, 3, 0, 3), {1, 2, 7}, {0x2B, 0x80}},
      {"indexes one per byte", sfmt(kPixIndexed, 1, 4, 0x2, 2), {3, 4}, {3, 4}},
      {"bilevel to 1 bit", sfmt(kPixBilevel, 1, 1, 0, 10), {0xA5, 0xC0}, {0xA5, 0xC0}},
      {"bilevel inverted levels", sfmt(kPixBilevel, 1, 1, 0x10000, 10), {0xA5, 0xC0}, {0x5A, 0x3F}},
      {"bilevel inverted, palette writer", sfmt(kPixBilevel, 1, 1, 0x10000, 8, 0x100), {0xA5}, {0xA5}},
      {"bilevel to 8, ten pixels", sfmt(kPixBilevel, 1, 8, 0, 10), {0xA5, 0xC0},
       {255, 0, 255, 0, 0, 255, 0, 255, 255, 255}},
      {"bilevel to 8, inverted", sfmt(kPixBilevel, 1, 8, 0x10000, 3), {0xA0}, {0, 255, 0}},
      {"bilevel to 8, palette", sfmt(kPixBilevel, 1, 8, 0, 3, 0x100), {0xA0}, {1, 0, 1}},
      {"bilevel one per byte", sfmt(kPixBilevel, 1, 8, 0x2, 3), {0xA0}, {1, 0, 1}},
      {"bilevel to 4 bits, palette", sfmt(kPixBilevel, 1, 4, 0, 3, 0x100), {0xA0}, {0x10, 0x10}},
      // Several planes: 4 planes of 1 bit; 3 planes of 8 bits, plain and reversed.
      {"4 bit-planes", sfmt(kPixIndexed, 4, 1, 0, 3), {9, 10, 11}, {0xA0, 0x60, 0x00, 0xE0}},
      {"3 byte planes", sfmt(kPixRGB, 3, 8, 0, 2), {1, 2, 3, 4, 5, 6}, {1, 4, 2, 5, 3, 6}},
      {"3 byte planes reversed", sfmt(kPixRGB, 3, 8, 0x8, 2), {1, 2, 3, 4, 5, 6}, {3, 6, 2, 5, 1, 4}},
      {"4 byte planes reversed", sfmt(kPixRGBA, 4, 8, 0x8, 1), {1, 2, 3, 4}, {4, 3, 2, 1}},
      {"planar: working row as it is", sfmt(kPixBGR, 1, 24, 0x4, 1), {1, 2, 3}, {3, 2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run_save(c.format, c.row), c.expected);
  }
}

TEST(ConvertSave, PlaneAndWordLayoutsRoundTripThroughTheLoadSide) {
  // Every value 0..15 written as 4 bit-planes, or 4 interleaved words, reads back unchanged.
  Bytes values(37);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>((i * 7) & 15);
  const int32_t w = static_cast<int32_t>(values.size());
  for (uint32_t layout : {0u, 0x1u}) {
    SCOPED_TRACE(layout);
    const SaveRowFormat sf = sfmt(kPixIndexed, 4, 1, layout, w);
    Bytes written = run_save(sf, values);
    const uint32_t stride = static_cast<uint32_t>((w + 7) / 8);
    written.resize(written.size() + 4, 0);
    EXPECT_EQ(run_load(fmt(4, 1, layout, 2, 0, 0, stride), w, written), values);
  }
}

TEST(ConvertSave, WriterFormatsThatCannotTakeTheBitmapAreRefused) {
  const SaveRowFormat bad[] = {
      sfmt(kPixRGB, 1, 8, 0, 4),          // colour into an 8-bit writer
      sfmt(kPixGrey, 1, 24, 0, 4),        // grey into a 24-bit writer
      sfmt(kPixCMYK, 1, 24, 0x4000, 4),   // inks need all four bytes
      sfmt(kPixRGB, 1, 16, 0, 4),         // no 16-bit writer rows
      sfmt(kPixRGB, 2, 12, 0, 4),         // two 12-bit planes
  };
  for (const SaveRowFormat& f : bad) {
    SaveConverters c;
    std::memset(&c, 0xFF, sizeof c);
    EXPECT_EQ(convert_select_save(f, &c), 7) << f.bitmap_type << " " << f.planes << "x" << f.bits_per_plane;
    EXPECT_EQ(c.to_working, nullptr);
  }
}


// Runs `first` then `second` over buffers of exactly the reported sizes followed by guard bytes,
// which must stay untouched (and under AddressSanitizer no read may pass the reported sizes).
template <class First, class Second>
::testing::AssertionResult stays_inside(size_t work_bytes, size_t out_bytes, First first, Second second) {
  constexpr uint8_t kGuard = 0x5C;
  Bytes work(work_bytes + 8, kGuard), out(out_bytes + 8, kGuard);
  first(work.data());
  second(work.data(), out.data());
  for (size_t i = 0; i < 8; ++i)
    if (work[work_bytes + i] != kGuard || out[out_bytes + i] != kGuard)
      return ::testing::AssertionFailure() << "wrote past the reported size";
  return ::testing::AssertionSuccess();
}

Bytes counting(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 37 + 11);
  return b;
}

// Every selectable load format over rows of exactly the sizes the selection reports.
TEST(ConvertLoad, ConvertersStayInsideTheSizesTheyReport) {
  const uint32_t layouts[] = {0, 0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x100, 0x200, 0x400, 0x800,
                              0x1000, 0x2000, 0x4000, 0x8000, 0x80000};
  const uint32_t produced[] = {1, 2, 4, 80, 1952, 2048, 4096, 8192};
  int selected = 0;
  for (int planes = 1; planes <= 4; ++planes)
    for (int bpp = 1; bpp <= 32; ++bpp)
      for (int samples = 0; samples <= 4; ++samples)
        for (uint32_t layout : layouts)
          for (uint32_t code : produced)
            for (int order = 0; order <= 3; order += 3) {
              const uint32_t stride = static_cast<uint32_t>(planes == 1 ? 0 : (37 * bpp + 7) / 8 + 1);
              const LoadRowFormat f = fmt(planes, bpp, layout, code, order, samples, stride);
              LoadConverters c;
              if (convert_select_load(f, &c) != 0) continue;
              ++selected;
              for (int32_t width : {1, 7, 16, 37}) {
                const Bytes raw = counting(convert_load_source_bytes(f, width));
                const size_t out_bytes = c.produced_bytes_per_pixel == 0
                                             ? static_cast<size_t>((width + 7) / 8)
                                             : static_cast<size_t>(width) * c.produced_bytes_per_pixel;
                ASSERT_TRUE(stays_inside(
                    convert_working_bytes(c, width), out_bytes,
                    [&](uint8_t* work) { c.unpack(raw.data(), work, width, 0, &c.params); },
                    [&](uint8_t* work, uint8_t* out) { c.pack(work, out, width, 0, &c.params); }))
                    << planes << "x" << bpp << " s" << samples << " layout " << layout << " -> " << code;
              }
            }
  EXPECT_GT(selected, 500);
}

TEST(ConvertSave, ConvertersStayInsideTheSizesTheyReport) {
  const uint16_t types[] = {kPixBilevel, kPixGrey, kPixIndexed, kPixRGB, kPixBGR, kPixRGBA,
                            kPixABGR, kPixBGRA, kPixARGB, kPixCMYK};
  const uint32_t layouts[] = {0, 0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x4000, 0x8000, 0x10000};
  int selected = 0;
  for (uint16_t type : types)
    for (int planes = 1; planes <= 4; ++planes)
      for (int bpp = 1; bpp <= 32; ++bpp)
        for (uint32_t layout : layouts)
          for (uint16_t palette_form : {0, 0x100})
            for (int32_t width : {1, 9, 37}) {
              const SaveRowFormat f = sfmt(type, planes, bpp, layout, width, palette_form);
              SaveConverters c;
              if (convert_select_save(f, &c) != 0) continue;
              ++selected;
              const Bytes row = counting(bitmap_row_bytes(type, width, bitmap_bytes_per_pixel_for_type(type)));
              ASSERT_TRUE(stays_inside(
                  convert_save_working_bytes(c, width), convert_save_output_bytes(f, c),
                  [&](uint8_t* work) { c.to_working(row.data(), work, width, -1, &c.params); },
                  [&](uint8_t* work, uint8_t* out) { c.to_writer(work, out, width, -1, &c.params); }))
                  << type << " " << planes << "x" << bpp << " layout " << layout;
            }
  EXPECT_GT(selected, 200);
}

}  // namespace
}  // namespace lumora
