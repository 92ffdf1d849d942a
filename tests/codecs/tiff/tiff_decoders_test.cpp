// The TIFF decompressors on their own: exact output, and never a byte beyond the output buffer
// on bad or short data (a guard area after the buffer must stay untouched).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/codecs/tiff/tiff_logluv_table.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {
namespace {

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 64;

// An output buffer of `size` bytes followed by a guard area.
struct Output {
  explicit Output(size_t size) : bytes(size + kGuardBytes, kGuard), size(size) {}
  uint8_t* data() { return bytes.data(); }
  bool guard_intact() const {
    for (size_t i = size; i < bytes.size(); ++i)
      if (bytes[i] != kGuard) return false;
    return true;
  }
  std::vector<uint8_t> produced(size_t n) const { return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)}; }
  std::vector<uint8_t> bytes;
  size_t size;
};

TEST(PackBits, Table) {
  struct Case {
    const char* what;
    std::vector<uint8_t> in;
    size_t out_size;
    std::vector<uint8_t> want;
    int status;
  };
  const Case cases[] = {
      {"literal", {2, 1, 2, 3}, 3, {1, 2, 3}, 0},
      {"run", {0xFE, 9}, 3, {9, 9, 9}, 0},
      {"no-op 128 skipped", {128, 0, 4}, 1, {4}, 0},
      {"run longer than the buffer", {0x81, 7}, 4, {7, 7, 7, 7}, 0},
      {"literal longer than the buffer", {5, 1, 2, 3, 4, 5, 6}, 2, {1, 2}, 0},
      {"literal cut by the end of data", {5, 1, 2}, 6, {1, 2}, 4},
      {"run without its byte", {0xFE}, 3, {}, 4},
      {"empty", {}, 2, {}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Output out(c.out_size);
    const DecodeResult r = decode_packbits(c.in.data(), c.in.size(), out.data(), c.out_size);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(out.produced(r.produced), c.want);
    EXPECT_TRUE(out.guard_intact());
  }
}

// (code, width) pairs packed most significant bit first.
std::vector<uint8_t> msb_codes(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> out;
  uint64_t acc = 0;
  int n = 0;
  for (const auto& [code, width] : codes) {
    acc = (acc << width) | static_cast<uint64_t>(code);
    n += width;
    while (n >= 8) { out.push_back(static_cast<uint8_t>(acc >> (n - 8))); n -= 8; }
  }
  if (n > 0) out.push_back(static_cast<uint8_t>(acc << (8 - n)));
  return out;
}

TEST(Lzw, Table) {
  struct Case {
    const char* what;
    std::vector<int> codes;
    size_t out_size;
    std::vector<uint8_t> want;
    int status;
  };
  const Case cases[] = {
      {"literals", {256, 1, 2, 257}, 2, {1, 2}, 0},
      {"code defined by itself (KwKwK)", {256, 7, 258, 257}, 3, {7, 7, 7}, 0},
      {"string longer than the buffer", {256, 1, 2, 258, 257}, 3, {1, 2, 1}, 0},
      {"clear in the middle", {256, 5, 256, 6, 257}, 2, {5, 6}, 0},
      {"first code not a clear", {5, 257}, 1, {}, 9},
      {"code beyond the table", {256, 1, 300, 257}, 4, {1}, 10},
      {"data ends", {256, 1}, 4, {1}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::pair<int, int>> nine_bit;
    for (int code : c.codes) nine_bit.push_back({code, 9});
    const std::vector<uint8_t> in = msb_codes(nine_bit);
    Output out(c.out_size);
    const DecodeResult r = decode_lzw(in.data(), in.size(), out.data(), c.out_size, false);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(out.produced(r.produced), c.want);
    EXPECT_TRUE(out.guard_intact());
  }
}

// The code width grows to 10 bits once the next free code reaches 511 (one code early): after a
// clear, 254 literals fill the table up to entry 510, and the end code then takes 10 bits.
TEST(Lzw, WidensOneCodeEarly) {
  std::vector<std::pair<int, int>> codes = {{256, 9}};   // (code, width)
  for (int i = 0; i < 253; ++i) codes.push_back({i & 0xFF, 9});
  codes.push_back({42, 9});
  codes.push_back({257, 10});
  const std::vector<uint8_t> in = msb_codes(codes);
  Output out(300);
  const DecodeResult r = decode_lzw(in.data(), in.size(), out.data(), 300, false);
  EXPECT_EQ(r.status, kStatusOk);
  ASSERT_EQ(r.produced, 254u);
  EXPECT_EQ(out.bytes[253], 42);
  EXPECT_TRUE(out.guard_intact());
}

TEST(Deflate, WholeShortAndBroken) {
  std::vector<uint8_t> plain(500);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> packed(compressBound(plain.size()));
  uLongf packed_size = packed.size();
  ASSERT_EQ(compress2(packed.data(), &packed_size, plain.data(), plain.size(), 9), Z_OK);
  packed.resize(packed_size);
  struct Case {
    const char* what;
    size_t in_size;
    size_t out_size;
    int status;
  };
  const Case cases[] = {
      {"whole", packed.size(), 500, 0},
      {"buffer smaller than the data", packed.size(), 100, 0},
      {"cut short", packed.size() / 2, 500, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Output out(c.out_size);
    const DecodeResult r = decode_deflate(packed.data(), c.in_size, out.data(), c.out_size);
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(out.guard_intact());
    EXPECT_EQ(std::memcmp(out.data(), plain.data(), r.produced), 0);
    if (c.status == 0) {
      EXPECT_EQ(r.produced, c.out_size);
    }
  }
  const uint8_t garbage[] = {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  Output out(50);
  const DecodeResult r = decode_deflate(garbage, sizeof garbage, out.data(), 50);
  EXPECT_NE(r.status, kStatusOk);
  EXPECT_TRUE(out.guard_intact());
}

TEST(Ccitt, GroupFourVerticalRowsAndBadData) {
  // Against an all-white reference row, "V0" puts a1 at the row's end: every row white.
  const uint8_t v0[] = {0xFF};
  Output white(2 * 8);
  DecodeResult r = decode_ccitt(v0, sizeof v0, white.data(), 2, 12, 8, CcittMode::kGroup4);
  EXPECT_EQ(r.status, kStatusOk);
  EXPECT_EQ(r.produced, 16u);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(white.bytes[i], 0xFF) << i;
  EXPECT_TRUE(white.guard_intact());

  // Bad or short data stop cleanly in every mode.
  const uint8_t zeros[] = {0, 0, 0, 0, 0, 0};
  const uint8_t noise[] = {0x01, 0x00, 0x5A, 0x00, 0x00, 0x02, 0xF0};
  for (CcittMode mode : {CcittMode::kModifiedHuffman, CcittMode::kGroup3, CcittMode::kGroup3TwoD,
                         CcittMode::kGroup4}) {
    for (const auto& data : {std::vector<uint8_t>(zeros, zeros + 6), std::vector<uint8_t>(noise, noise + 7)}) {
      Output out(4 * 5);
      r = decode_ccitt(data.data(), data.size(), out.data(), 4, 30, 5, mode);
      EXPECT_NE(r.status, kStatusOk);
      EXPECT_LE(r.produced, 20u);
      EXPECT_TRUE(out.guard_intact());
    }
  }
}

TEST(SgiLog, LuminanceConversions) {
  EXPECT_EQ(logl16_to_y(0), 0.0);
  EXPECT_NEAR(logl16_to_y(64 * 256), 1.0, 0.01);    // log2(Y) + 64 = 64
  EXPECT_LT(logl16_to_y(0x8000 | (64 * 256)), 0.0);  // sign bit
  const std::pair<double, uint8_t> bytes[] = {{-1.0, 0}, {0.0, 0}, {0.25, 128}, {1.0, 255}, {4.0, 255}};
  for (const auto& [value, want] : bytes) EXPECT_EQ(luminance_byte(value), want) << value;
}

uint32_t luv24(uint32_t l10, uint32_t index) { return l10 << 14 | index; }

// The white point's colour at a given 10-bit log luminance, worked out from the encoding's
// formulas: Y = 2^((L + 0.5) / 64 - 12), then u'v' (4/19, 9/19) to XYZ to RGB.
std::vector<uint8_t> neutral_rgb(uint32_t l10) {
  const double Y = std::pow(2.0, (l10 + 0.5) / 64.0 - 12.0);
  const double u = 0.210526316, v = 0.473684211;
  const double x = 9 * u / (6 * u - 16 * v + 12), y = 4 * v / (6 * u - 16 * v + 12);
  const double X = x / y * Y, Z = (1 - x - y) / y * Y;
  std::vector<uint8_t> rgb;
  for (double c : {2.690 * X - 1.276 * Y - 0.414 * Z, -1.022 * X + 1.978 * Y + 0.044 * Z,
                   0.061 * X - 0.224 * Y + 1.163 * Z})
    rgb.push_back(c <= 0 ? 0 : c >= 1 ? 255 : static_cast<uint8_t>(256 * std::sqrt(c)));
  return rgb;
}

TEST(SgiLog, LogLuv24Pixels) {
  struct Case {
    uint32_t l10, index;
    std::vector<uint8_t> want;
  };
  // Colour indices inside the table: values as libtiff's tiff2rgba decodes the same pixels.
  const Case cases[] = {
      {640, 12266, {128, 128, 128}},   // the square nearest the white point
      {640, 12296, {199, 89, 117}},
      {640, 12236, {0, 158, 138}},
      {640, 12209, {0, 180, 146}},     // first square of band 130
      {640, 12208, {255, 0, 86}},      // last square of band 129, far to the right
      {640, 14500, {78, 145, 86}},
      {640, 9500, {0, 155, 189}},
      {700, 16288, {0, 224, 0}},       // the last square
      {700, 0, {255, 0, 255}},         // the first square
      {1, 12266, {4, 4, 4}},
      {0, 12266, {0, 0, 0}},           // L 0 is black whatever the colour
      {0, 16383, {0, 0, 0}},
      // Indices past the table: the white point.
      {640, 16289, neutral_rgb(640)},
      {1, 16383, neutral_rgb(1)},
      {560, 16300, neutral_rgb(560)},
      {1023, 16289, neutral_rgb(1023)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "L " << c.l10 << " index " << c.index);
    uint8_t rgb[3] = {1, 2, 3};
    logluv24_to_rgb(luv24(c.l10, c.index), rgb);
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), c.want);
  }
  EXPECT_EQ(neutral_rgb(640), (std::vector<uint8_t>{128, 128, 128}));
}

TEST(SgiLog, LogLuv24Rows) {
  // Two rows of two pixels, stored most significant byte first; a trailing byte is ignored.
  std::vector<uint8_t> in;
  for (uint32_t p : {luv24(640, 12266), luv24(0, 5), luv24(640, 12296), luv24(640, 16289)}) {
    in.push_back(static_cast<uint8_t>(p >> 16));
    in.push_back(static_cast<uint8_t>(p >> 8));
    in.push_back(static_cast<uint8_t>(p));
  }
  in.push_back(0xFF);
  Output out(12);
  DecodeResult r = decode_logluv24(in.data(), in.size(), out.data(), 2, 2);
  EXPECT_EQ(r.status, kStatusOk);
  EXPECT_EQ(r.produced, 12u);
  EXPECT_EQ(out.produced(12),
            (std::vector<uint8_t>{128, 128, 128, 0, 0, 0, 199, 89, 117, 128, 128, 128}));
  EXPECT_TRUE(out.guard_intact());

  // Data ending early: the whole pixels there are, then 4.
  for (size_t size : {0, 2, 8}) {
    SCOPED_TRACE(size);
    Output short_out(12);
    r = decode_logluv24(in.data(), size, short_out.data(), 2, 2);
    EXPECT_EQ(r.status, kStatusFileEndsEarly);
    EXPECT_EQ(r.produced, size / 3 * 3);
    EXPECT_TRUE(short_out.guard_intact());
  }
}

}  // namespace
}  // namespace lumora::tiff
