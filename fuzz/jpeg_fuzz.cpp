// Fuzz target of the JPEG reader: the browser's thumbnail load (embedded Exif thumbnail and the
// scaled main picture), an information-only load, and a full load of pictures of modest size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace {

// A private file name per process (load_image reads from a path); the file lives for one input.
const std::string& scratch_path() {
  static const std::string path = [] {
    char name[] = "/tmp/lumora_jpeg_fuzz_XXXXXX.jpg";
    const int fd = mkstemps(name, 4);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  return path;
}


void load_with(const char* path, uint32_t flags, int32_t max_w, int32_t max_h, uint8_t embedded) {
  lumora::LoadParams p;
  lumora::load_params_init(&p);
  p.component_order = 1;
  p.flags = flags;
  p.max_width = max_w;
  p.max_height = max_h;
  p.use_embedded = embedded;
  p.reduce_mode = lumora::kReduceAverage;
  lumora::Bitmap b{};
  lumora::FileInfo info{};
  lumora::load_image(path, &b, &p, &info);
  lumora::bitmap_free(&b);
  lumora::file_info_free(&info);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    lumora::library_start();
    return true;
  }();
  (void)started;
  const std::string& path = scratch_path();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  const uint32_t keep = lumora::kLoadKeepChunks | lumora::kLoadKeepComment | lumora::kLoadEstimateQuality;
  lumora::FileInfo info{};
  const int status = lumora::load_info(path.c_str(), lumora::kFormatJpeg, keep, &info);
  // A few bytes may claim 65500 x 65500 pixels: decode only what a fuzzer can afford.
  const uint64_t pixels = status == 0 ? uint64_t{info.width} * info.height : 0;
  lumora::file_info_free(&info);
  if (pixels <= (uint64_t{1} << 26)) {
    load_with(path.c_str(), lumora::kLoadApplicationFlags | lumora::kLoadQuick | keep, 46, 46, 1);
    load_with(path.c_str(), lumora::kLoadApplicationFlags | lumora::kLoadQuick | lumora::kLoadRefuseSmallThumb,
              200, 200, 2);
  }
  if (pixels <= (uint64_t{1} << 20))
    load_with(path.c_str(), lumora::kLoadAcceptIncomplete | lumora::kLoadKeepCmyk | keep, -1, -1, 0);
  std::remove(path.c_str());  // libFuzzer may end the process without running exit handlers
  return 0;
}
