// Fuzz target of the bitmap reader, through both of its format rows: the browser's thumbnail,
// a full load, and a reduced averaging load as a "2bp" file.
#include "fuzz/reader_fuzz.h"

using namespace lumora_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzPlan plan{lumora::kFormatBmp, "bmp", 0,
                             {{lumora::kLoadApplicationFlags, 46, lumora::kReduceNearest, ~uint64_t{0}},
                              {lumora::kLoadAcceptIncomplete | lumora::kLoadPrefer4Byte, -1, 0, kMedium},
                              {lumora::kLoadForceColor, 64, lumora::kReduceAverage, kMedium, 0,
                               lumora::kFormat2bp}}};
  return fuzz_reader(data, size, plan);
}
