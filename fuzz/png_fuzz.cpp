// Fuzz target of the PNG reader. Interlaced files hold the whole picture while they are decoded,
// so even the thumbnail load is limited to pictures of modest size.
#include "fuzz/reader_fuzz.h"

using namespace lumora_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzPlan plan{lumora::kFormatPng, "png", 0x70000,
                             {{0x1404 | 0x800, 48, 2, kMedium},
                              {0x70000 | 0x400, -1, 0, kSmall},
                              {0x8 | 0x80000, -1, 0, kSmall, 0, -1, 0, 0, 1}}};
  return fuzz_reader(data, size, plan);
}
