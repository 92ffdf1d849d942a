// Fuzz target of the Targa reader. The reduced load of a large picture decodes it whole and
// shrinks it afterwards: 22 bytes may claim 2050 x 8194 pixels, so the limits stay modest.
#include "fuzz/reader_fuzz.h"

using namespace lumora_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzPlan plan{lumora::kFormatTga, "tga", 0x70000,
                             {{0x1404 | 0x800, 48, 2, kMedium},
                              {0x70000 | 0x400, -1, 0, kSmall},
                              {0x8 | 0x80000, -1, 0, kSmall}}};
  return fuzz_reader(data, size, plan);
}
