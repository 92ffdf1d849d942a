#pragma once
// The u'v' chromaticity table of 24-bit LogLuv pixels (TIFF compression 34677).
#include <cstdint>

namespace lumora::tiff {

// One row of the table: a band of v' values 0.0035 high, holding `cells` squares of 0.0035 that
// start at u' = `u_start`; `offset` is the index of the band's first square.
struct LogLuvUvRow {
  double u_start;
  uint16_t cells;
  uint16_t offset;
};

constexpr int kLogLuvUvRows = 163;
constexpr uint32_t kLogLuvUvCells = 16289;   // indices 0 to 16288
constexpr double kLogLuvUvSquare = 0.0035;   // side of one chromaticity square
constexpr double kLogLuvVStart = 0.01694;    // v' of the first band's lower edge

extern const LogLuvUvRow kLogLuvUvTable[kLogLuvUvRows];

}  // namespace lumora::tiff
