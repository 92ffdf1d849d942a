// Fuzz target of the PCX reader.
#include "fuzz/reader_fuzz.h"

using namespace lumora_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzPlan plan{lumora::kFormatPcx, "pcx", 0x70000,
                             {{0x1404 | 0x800, 48, 2, kLarge},
                              {0x70000 | 0x400, -1, 0, kSmall, 1, -1, 0, 1},
                              {0x8 | 0x80000, -1, 0, kSmall}}};
  return fuzz_reader(data, size, plan);
}
