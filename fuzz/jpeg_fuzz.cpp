// Fuzz target of the JPEG reader: the browser's thumbnail loads (embedded Exif thumbnail and the
// scaled main picture), an information-only load, and a full load of pictures of modest size.
#include "fuzz/reader_fuzz.h"

using namespace lumora_fuzz;

namespace {
constexpr uint32_t kKeep = lumora::kLoadKeepChunks | lumora::kLoadKeepComment | lumora::kLoadEstimateQuality;
constexpr uint32_t kThumb = lumora::kLoadApplicationFlags | lumora::kLoadQuick;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzPlan plan{
      lumora::kFormatJpeg, "jpg", kKeep,
      {{kThumb | kKeep, 46, lumora::kReduceAverage, kLarge, 0, -1, 1},
       {kThumb | lumora::kLoadRefuseSmallThumb, 200, lumora::kReduceAverage, kLarge, 0, -1, 2},
       {lumora::kLoadAcceptIncomplete | lumora::kLoadKeepCmyk | kKeep, -1, lumora::kReduceAverage, kSmall}},
      true};
  return fuzz_reader(data, size, plan);
}
