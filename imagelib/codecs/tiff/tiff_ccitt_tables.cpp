// ITU-T T.4 code tables: terminating codes (table 2), make-up codes (table 3), the extended
// make-up codes shared by both colours, end of line, and the two-dimensional mode codes
// (table 4), spread into lookup tables at compile time.
#include "imagelib/codecs/tiff/tiff_ccitt_tables.h"

namespace lumora::tiff {

namespace {

struct Code {
  const char* bits;
  uint16_t run;
};

// Table 2/T.4, white terminating codes, run lengths 0 to 63.
constexpr Code kWhiteTerminating[] = {
    {"00110101", 0},  {"000111", 1},    {"0111", 2},      {"1000", 3},      {"1011", 4},
    {"1100", 5},      {"1110", 6},      {"1111", 7},      {"10011", 8},     {"10100", 9},
    {"00111", 10},    {"01000", 11},    {"001000", 12},   {"000011", 13},   {"110100", 14},
    {"110101", 15},   {"101010", 16},   {"101011", 17},   {"0100111", 18},  {"0001100", 19},
    {"0001000", 20},  {"0010111", 21},  {"0000011", 22},  {"0000100", 23},  {"0101000", 24},
    {"0101011", 25},  {"0010011", 26},  {"0100100", 27},  {"0011000", 28},  {"00000010", 29},
    {"00000011", 30}, {"00011010", 31}, {"00011011", 32}, {"00010010", 33}, {"00010011", 34},
    {"00010100", 35}, {"00010101", 36}, {"00010110", 37}, {"00010111", 38}, {"00101000", 39},
    {"00101001", 40}, {"00101010", 41}, {"00101011", 42}, {"00101100", 43}, {"00101101", 44},
    {"00000100", 45}, {"00000101", 46}, {"00001010", 47}, {"00001011", 48}, {"01010010", 49},
    {"01010011", 50}, {"01010100", 51}, {"01010101", 52}, {"00100100", 53}, {"00100101", 54},
    {"01011000", 55}, {"01011001", 56}, {"01011010", 57}, {"01011011", 58}, {"01001010", 59},
    {"01001011", 60}, {"00110010", 61}, {"00110011", 62}, {"00110100", 63},
};

// Table 3a/T.4, white make-up codes.
constexpr Code kWhiteMakeUp[] = {
    {"11011", 64},       {"10010", 128},      {"010111", 192},     {"0110111", 256},
    {"00110110", 320},   {"00110111", 384},   {"01100100", 448},   {"01100101", 512},
    {"01101000", 576},   {"01100111", 640},   {"011001100", 704},  {"011001101", 768},
    {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},    {"010011011", 1728},
};

// Table 2/T.4, black terminating codes.
constexpr Code kBlackTerminating[] = {
    {"0000110111", 0},    {"010", 1},           {"11", 2},            {"10", 3},
    {"011", 4},           {"0011", 5},          {"0010", 6},          {"00011", 7},
    {"000101", 8},        {"000100", 9},        {"0000100", 10},      {"0000101", 11},
    {"0000111", 12},      {"00000100", 13},     {"00000111", 14},     {"000011000", 15},
    {"0000010111", 16},   {"0000011000", 17},   {"0000001000", 18},   {"00001100111", 19},
    {"00001101000", 20},  {"00001101100", 21},  {"00000110111", 22},  {"00000101000", 23},
    {"00000010111", 24},  {"00000011000", 25},  {"000011001010", 26}, {"000011001011", 27},
    {"000011001100", 28}, {"000011001101", 29}, {"000001101000", 30}, {"000001101001", 31},
    {"000001101010", 32}, {"000001101011", 33}, {"000011010010", 34}, {"000011010011", 35},
    {"000011010100", 36}, {"000011010101", 37}, {"000011010110", 38}, {"000011010111", 39},
    {"000001101100", 40}, {"000001101101", 41}, {"000011011010", 42}, {"000011011011", 43},
    {"000001010100", 44}, {"000001010101", 45}, {"000001010110", 46}, {"000001010111", 47},
    {"000001100100", 48}, {"000001100101", 49}, {"000001010010", 50}, {"000001010011", 51},
    {"000000100100", 52}, {"000000110111", 53}, {"000000111000", 54}, {"000000100111", 55},
    {"000000101000", 56}, {"000001011000", 57}, {"000001011001", 58}, {"000000101011", 59},
    {"000000101100", 60}, {"000001011010", 61}, {"000001100110", 62}, {"000001100111", 63},
};

// Table 3a/T.4, black make-up codes.
constexpr Code kBlackMakeUp[] = {
    {"0000001111", 64},      {"000011001000", 128},   {"000011001001", 192},
    {"000001011011", 256},   {"000000110011", 320},   {"000000110100", 384},
    {"000000110101", 448},   {"0000001101100", 512},  {"0000001101101", 576},
    {"0000001001010", 640},  {"0000001001011", 704},  {"0000001001100", 768},
    {"0000001001101", 832},  {"0000001110010", 896},  {"0000001110011", 960},
    {"0000001110100", 1024}, {"0000001110101", 1088}, {"0000001110110", 1152},
    {"0000001110111", 1216}, {"0000001010010", 1280}, {"0000001010011", 1344},
    {"0000001010100", 1408}, {"0000001010101", 1472}, {"0000001011010", 1536},
    {"0000001011011", 1600}, {"0000001100100", 1664}, {"0000001100101", 1728},
};

// Table 3b/T.4, extended make-up codes (both colours).
constexpr Code kSharedMakeUp[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},
    {"000000010010", 1984}, {"000000010011", 2048}, {"000000010100", 2112},
    {"000000010101", 2176}, {"000000010110", 2240}, {"000000010111", 2304},
    {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

constexpr const char* kEndOfLine = "000000000001";

constexpr int length_of(const char* s) {
  int n = 0;
  while (s[n]) ++n;
  return n;
}

constexpr uint32_t value_of(const char* s) {
  uint32_t v = 0;
  for (int i = 0; s[i]; ++i) v = (v << 1) | static_cast<uint32_t>(s[i] - '0');
  return v;
}

// Every index whose first bits are the code's bits gets the entry.
template <std::size_t N>
constexpr void spread(std::array<CcittEntry, N>& table, int index_bits, const char* code,
                      uint8_t state, uint16_t param) {
  const int n = length_of(code);
  const uint32_t base = value_of(code) << (index_bits - n);
  const uint32_t span = 1u << (index_bits - n);
  for (uint32_t i = 0; i < span; ++i)
    table[base + i] = CcittEntry{state, static_cast<uint8_t>(n), param};
}

template <std::size_t N, std::size_t T, std::size_t M>
constexpr std::array<CcittEntry, N> build_runs(int index_bits, const Code (&terminating)[T],
                                               const Code (&make_up)[M], uint8_t term_state,
                                               uint8_t make_state) {
  std::array<CcittEntry, N> table{};
  for (const Code& c : terminating) spread(table, index_bits, c.bits, term_state, c.run);
  for (const Code& c : make_up) spread(table, index_bits, c.bits, make_state, c.run);
  for (const Code& c : kSharedMakeUp) spread(table, index_bits, c.bits, kCcittSharedMakeUp, c.run);
  spread(table, index_bits, kEndOfLine, kCcittEndOfLine, 0);
  return table;
}

constexpr std::array<CcittEntry, 128> build_modes() {
  std::array<CcittEntry, 128> table{};
  spread(table, 7, "0001", kCcittPass, 0);
  spread(table, 7, "001", kCcittHorizontal, 0);
  spread(table, 7, "1", kCcittVertical0, 0);
  spread(table, 7, "011", kCcittVerticalRight, 1);
  spread(table, 7, "000011", kCcittVerticalRight, 2);
  spread(table, 7, "0000011", kCcittVerticalRight, 3);
  spread(table, 7, "010", kCcittVerticalLeft, 1);
  spread(table, 7, "000010", kCcittVerticalLeft, 2);
  spread(table, 7, "0000010", kCcittVerticalLeft, 3);
  // "0000001" + 3 bits of extension code; the 7-bit index sees only the prefix. An all-zero
  // index is the start of an end-of-line code (000000000001), resolved by the decoder.
  spread(table, 7, "0000001", kCcittExtension, 0);
  return table;
}

}  // namespace

constinit const std::array<CcittEntry, 128> kCcittModeTable = build_modes();
constinit const std::array<CcittEntry, 4096> kCcittWhiteTable = build_runs<4096>(
    12, kWhiteTerminating, kWhiteMakeUp, kCcittWhiteTerminating, kCcittWhiteMakeUp);
constinit const std::array<CcittEntry, 8192> kCcittBlackTable = build_runs<8192>(
    13, kBlackTerminating, kBlackMakeUp, kCcittBlackTerminating, kCcittBlackMakeUp);

}  // namespace lumora::tiff
