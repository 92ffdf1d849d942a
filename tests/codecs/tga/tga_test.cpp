// The Targa reader on byte-crafted files (colour maps, origins, run-length packets, hostile
// headers) and the run-length encoder; the writer is tested in writers_test.
#include <gtest/gtest.h>

#include "imagelib/codecs/tga/tga.h"
#include "tests/support/reader_harness.h"
#include "tests/support/tga_file.h"

namespace lumora {
namespace {

using test::TgaFile;
using Bytes = std::vector<uint8_t>;

void read(const Bytes& bytes, test::ReaderRun* r, uint32_t flags = 0) {
  LoadParams p = test::default_params();
  p.flags = flags;
  r->run(tga_read, bytes, p);
}

Bytes seq(size_t n, uint8_t start = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(start + i);
  return b;
}

// A 2 x 2 24-bit file with 12 pixel bytes, changed by `change`.
template <class F>
TgaFile with(F change) {
  TgaFile f;
  f.data = seq(12);
  change(f);
  return f;
}

TEST(TgaReader, HeaderVariants) {
  struct Case {
    const char* name;
    TgaFile file;
    uint16_t row_order;
    uint32_t layout;
    uint16_t bits;
    uint32_t row_bytes;
    bool palette;
  };
  const Case cases[] = {
      {"24-bit bottom-up", with([](TgaFile& f) { f.descriptor = 0; }), 16, 0x8, 24, 6, false},
      {"32-bit top-down", with([](TgaFile& f) { f.depth = 32; f.data = seq(16); }), 0, 0x20, 32, 8, false},
      {"16-bit right to left", with([](TgaFile& f) { f.depth = 16; f.descriptor = 0x30; }), 1, 0x80, 15, 4, false},
      {"15-bit", with([](TgaFile& f) { f.depth = 15; f.data = seq(8); }), 0, 0x80, 15, 4, false},
      {"grey", with([](TgaFile& f) { f.image_type = 3; f.depth = 8; }), 0, 0, 8, 2, false},
      {"1-bit", with([](TgaFile& f) { f.image_type = 3; f.depth = 1; f.width = 9; }), 0, 0, 1, 2, false},
      {"colour-mapped", with([](TgaFile& f) {
         f.image_type = 1; f.map_type = 1; f.map_length = 2; f.map_bits = 24; f.depth = 8;
         f.map = {1, 2, 3, 4, 5, 6}; f.data = {0, 1, 1, 0};
       }), 0, 0, 8, 2, true},
      // Map fields of a file without a map mean nothing.
      {"colour-mapped without a map", with([](TgaFile& f) {
         f.image_type = 1; f.depth = 8; f.map_length = 40000; f.map_bits = 24; f.data = {0, 1, 1, 0};
       }), 0, 0, 8, 2, false},
      {"true colour carrying a map", with([](TgaFile& f) {
         f.map_type = 1; f.map_length = 3; f.map_bits = 32; f.map = seq(12, 100);
       }), 0, 0x8, 24, 6, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ReaderRun r;
    read(c.file.bytes(), &r);
    ASSERT_EQ(r.status, 0);
    const ImageHeader& h = r.load.header;
    EXPECT_EQ(h.row_order, c.row_order);
    EXPECT_EQ(h.layout, c.layout);
    EXPECT_EQ(h.bits_per_plane, c.bits);
    EXPECT_EQ(h.bytes_per_plane, c.row_bytes);
    EXPECT_EQ(std::string(h.description), "Truevision TARGA (Type " + std::to_string(c.file.image_type) + ")");
    EXPECT_EQ(r.load.palette_given, c.palette);
    EXPECT_EQ(r.load.end_calls, 1);
    // Rows arrive in file order, straight after the header, ID and map.
    ASSERT_EQ(r.load.order.size(), static_cast<size_t>(c.file.height));
    EXPECT_EQ(r.load.rows[0], Bytes(c.file.data.begin(), c.file.data.begin() + c.row_bytes));
  }
}

// Truevision TGA 2.0: 16-bit grey pixels are grey and alpha bytes (delivered as blue, green, red,
// alpha); colour map entries may be 5-5-5 words, red in bits 10-14, or 32-bit with a first index.
TEST(TgaReader, GreyAlphaAndColourMaps) {
  struct Case {
    const char* name;
    TgaFile file;
    uint32_t layout;
    Bytes row;          // the first delivered row
    Bytes palette;      // the first entries, when a palette is passed
  };
  auto grey = [](uint8_t type, Bytes data) {
    TgaFile f;
    f.image_type = type; f.depth = 16; f.width = 2; f.height = 1; f.data = std::move(data);
    return f;
  };
  auto mapped = [](uint8_t bits, uint8_t depth, Bytes data) {
    TgaFile f;
    f.image_type = depth == 8 ? 1 : 2; f.map_type = 1; f.map_bits = bits; f.map_length = 3;
    f.map = {0x1F, 0x7C, 0xE0, 0x03, 0x10, 0x42}; f.depth = depth; f.width = 2; f.height = 1;
    f.data = std::move(data);
    return f;
  };
  TgaFile offset_map = mapped(32, 8, {2});
  offset_map.width = 1;
  offset_map.map_first = 2;
  offset_map.map = {10, 20, 30, 99, 11, 21, 31, 99, 12, 22, 32, 99};
  const Case cases[] = {
      {"grey and alpha", grey(3, {10, 255, 200, 0}), 0x20, {10, 10, 10, 255, 200, 200, 200, 0}, {}},
      {"grey and alpha, run-length", grey(11, {0x81, 50, 128}), 0x20, {50, 50, 50, 128, 50, 50, 50, 128}, {}},
      {"16-bit map", mapped(16, 8, {1, 0}), 0, {1, 0}, {255, 0, 255, 0, 255, 0}},
      {"15-bit map", mapped(15, 8, {2, 2}), 0, {2, 2}, {255, 0, 255, 0, 255, 0}},
      // Word entries take two bytes each, so the pixels start 6 bytes after the header.
      {"true colour after a 15-bit map", mapped(15, 24, seq(6)), 0x8, seq(6), {}},
      {"32-bit map from entry 2", offset_map, 0, {2}, {0, 0, 0, 0, 0, 0, 10, 20, 30, 11, 21, 31, 12, 22, 32, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ReaderRun r;
    read(c.file.bytes(), &r);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.load.header.layout, c.layout);
    ASSERT_FALSE(r.load.rows.empty());
    EXPECT_EQ(r.load.rows[0], c.row);
    EXPECT_EQ(r.load.palette_given, !c.palette.empty());
    if (!c.palette.empty()) {
      EXPECT_EQ(r.load.palette_form, 0x200u);
      EXPECT_EQ(Bytes(r.load.palette.begin(), r.load.palette.begin() + c.palette.size()), c.palette);
    }
  }
}

TEST(TgaReader, RunLengthPacketsCrossRows) {
  struct Case {
    const char* name;
    uint8_t image_type, depth;
    uint16_t width, height;
    Bytes data;
    std::vector<Bytes> rows;
  };
  const Case cases[] = {
      {"24-bit run over a row end", 10, 24, 3, 2, {0x83, 1, 2, 3, 0x01, 7, 8, 9, 4, 5, 6},
       {{1, 2, 3, 1, 2, 3, 1, 2, 3}, {1, 2, 3, 7, 8, 9, 4, 5, 6}}},
      {"8-bit literal over a row end", 11, 8, 2, 3, {0x02, 1, 2, 3, 0x82, 9},
       {{1, 2}, {3, 9}, {9, 9}}},
      {"16-bit words keep their order", 10, 16, 2, 1, {0x81, 0x34, 0x12}, {{0x34, 0x12, 0x34, 0x12}}},
      {"packet longer than the picture", 11, 8, 2, 1, {0xFF, 5}, {{5, 5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TgaFile f;
    f.image_type = c.image_type;
    f.depth = c.depth;
    f.width = c.width;
    f.height = c.height;
    f.data = c.data;
    test::ReaderRun r;
    read(f.bytes(), &r);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.load.header.compression, kCompRle);
    EXPECT_EQ(r.load.rows, c.rows);
  }
}

TEST(TgaReader, HostileHeadersAndTruncation) {
  struct Case {
    const char* name;
    TgaFile file;
    size_t cut;   // bytes kept, 0 = all
    int status;
    int end_calls;
  };
  std::vector<Case> cases;
  cases.push_back({"map type 2", with([](TgaFile& f) { f.map_type = 2; }), 0, 2, 0});
  cases.push_back({"image type 4", with([](TgaFile& f) { f.image_type = 4; }), 0, 2, 0});
  cases.push_back({"map of length 0", with([](TgaFile& f) { f.map_type = 1; f.map_bits = 24; }), 0, 2, 0});
  cases.push_back({"map of 257 entries", with([](TgaFile& f) { f.map_type = 1; f.map_bits = 24; f.map_length = 257; }), 0, 2, 0});
  cases.push_back({"first entry beyond the map", with([](TgaFile& f) { f.map_type = 1; f.map_bits = 24; f.map_length = 2; f.map_first = 3; }), 0, 2, 0});
  cases.push_back({"8-bit map entries", with([](TgaFile& f) { f.map_type = 1; f.map_bits = 8; f.map_length = 2; }), 0, 2, 0});
  cases.push_back({"map entry size 0", with([](TgaFile& f) { f.map_type = 1; f.map_length = 2; }), 0, 2, 0});
  cases.push_back({"width 15001", with([](TgaFile& f) { f.width = 15001; }), 0, 2, 0});
  cases.push_back({"depth 7", with([](TgaFile& f) { f.depth = 7; }), 0, 2, 0});
  cases.push_back({"header cut short", with([](TgaFile&) {}), 17, 4, 0});
  cases.push_back({"map cut short", with([](TgaFile& f) { f.image_type = 1; f.depth = 8; f.map_type = 1; f.map_bits = 24; f.map_length = 256; f.map = seq(20); }), 0, 4, 0});
  cases.push_back({"pixels cut short", with([](TgaFile&) {}), 18 + 8, 4, 1});
  cases.push_back({"packets cut short", with([](TgaFile& f) { f.image_type = 10; f.data = {0x85, 1, 2}; }), 0, 4, 1});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = c.file.bytes();
    if (c.cut) b.resize(c.cut);
    test::ReaderRun r;
    read(b, &r);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.load.end_calls, c.end_calls);
  }
}

TEST(TgaReader, ImageIdIsTheComment) {
  TgaFile f;
  f.id = {'h', 'e', 'y', 0};
  f.id_length = 4;
  f.data = seq(12);
  for (uint32_t flags : {0u, static_cast<uint32_t>(kLoadKeepComment)}) {
    test::ReaderRun r;
    read(f.bytes(), &r, flags);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.load.rows[0], seq(6)) << "pixels follow the ID field";
    if (flags) {
      ASSERT_NE(r.context.comment, nullptr);
      EXPECT_STREQ(r.context.comment, "hey");
    } else {
      EXPECT_EQ(r.context.comment, nullptr);
    }
  }
}

TEST(TgaRle, EncoderPackets) {
  struct Case {
    const char* name;
    Bytes row;
    int pixel;
    Bytes expected;
  };
  Bytes long_run;
  for (int i = 0; i < 200; ++i) long_run.insert(long_run.end(), {1, 2, 3});
  Bytes long_literal(300);
  for (size_t i = 0; i < long_literal.size(); ++i) long_literal[i] = static_cast<uint8_t>(i);
  Bytes literal_expected{127};
  literal_expected.insert(literal_expected.end(), long_literal.begin(), long_literal.begin() + 128);
  literal_expected.push_back(127);
  literal_expected.insert(literal_expected.end(), long_literal.begin() + 128, long_literal.begin() + 256);
  literal_expected.push_back(43);
  literal_expected.insert(literal_expected.end(), long_literal.begin() + 256, long_literal.end());
  const Case cases[] = {
      {"200 pixels of one colour", long_run, 3, {255, 1, 2, 3, 199, 1, 2, 3}},
      {"literal then run", {1, 2, 3, 3, 3}, 1, {1, 1, 2, 130, 3}},
      {"run then literal", {4, 4, 5, 6}, 1, {129, 4, 1, 5, 6}},
      {"single pixel", {9, 8}, 2, {0, 9, 8}},
      {"300 different pixels", long_literal, 1, literal_expected},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out;
    ASSERT_EQ(tga_rle_encode_row(c.row.data(), c.row.size(), c.pixel, &out), 0);
    EXPECT_EQ(out, c.expected);
  }
}

}  // namespace
}  // namespace lumora
