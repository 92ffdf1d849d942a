// Fuzz target of the icon reader.
#include "fuzz/reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lumora_fuzz::fuzz_reader(data, size, lumora::kFormatIco, "ico");
}
