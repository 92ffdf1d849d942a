#pragma once
// The code tables of ITU-T T.4 (tables 1 to 4) as lookup tables: a 128-entry table of the
// two-dimensional mode codes indexed by the next 7 bits, a 4096-entry white-run table indexed by
// the next 12 bits and an 8192-entry black-run table indexed by the next 13 bits. Each entry is
// {state, bits consumed, parameter (run length or extension code)}; unused entries have state 0.
#include <array>
#include <cstddef>
#include <cstdint>

namespace lumora::tiff {

enum CcittState : uint8_t {
  kCcittInvalid = 0,
  kCcittPass = 1,
  kCcittHorizontal = 2,
  kCcittVertical0 = 3,
  kCcittVerticalRight = 4,   // parameter 1 to 3
  kCcittVerticalLeft = 5,    // parameter 1 to 3
  kCcittExtension = 6,       // parameter: the 3-bit extension code
  kCcittWhiteTerminating = 7,
  kCcittBlackTerminating = 8,
  kCcittWhiteMakeUp = 9,
  kCcittBlackMakeUp = 10,
  kCcittSharedMakeUp = 11,
  kCcittEndOfLine = 12,
};

struct CcittEntry {
  uint8_t state;
  uint8_t bits;
  uint16_t param;
};

extern const std::array<CcittEntry, 128> kCcittModeTable;
extern const std::array<CcittEntry, 4096> kCcittWhiteTable;
extern const std::array<CcittEntry, 8192> kCcittBlackTable;

}  // namespace lumora::tiff
