// Fuzz target of the TIFF reader: information, the thumbnail load, full loads of the first and
// the second page. The reduced load of a bilevel or tiled picture builds the whole picture and
// shrinks it after the load, so headers claiming billions of pixels are left to load_info.
#include "fuzz/reader_fuzz.h"

using namespace lumora_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzPlan plan{lumora::kFormatTiff, "tif", 0x70000,
                             {{0x1404 | 0x800, 48, 2, kLarge},
                              {0x70000 | 0x400, -1, 0, kSmall},
                              {0x8 | 0x80000, -1, 0, kSmall},
                              {0x70000 | 0x400, -1, 0, kSmall, 1}}};
  return fuzz_reader(data, size, plan);
}
