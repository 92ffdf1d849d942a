// Fuzz target of the bitmap reader: an information-only load, a reduced load (the browser's
// thumbnail), and a full load of pictures of modest size, each through both bitmap rows.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace {

// A private file per process; load_image reads from a path.
const std::string& scratch_path() {
  static const std::string path = [] {
    char name[] = "/tmp/lumora_bmp_fuzz_XXXXXX.bmp";
    const int fd = mkstemps(name, 4);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  return path;
}

void remove_scratch() { std::remove(scratch_path().c_str()); }

void load_with(const char* path, int format, uint32_t flags, int32_t max_w, int32_t max_h,
               uint32_t reduce) {
  lumora::LoadParams p;
  lumora::load_params_init(&p);
  p.component_order = 1;
  p.format_index = static_cast<int16_t>(format);
  p.flags = flags;
  p.max_width = max_w;
  p.max_height = max_h;
  p.reduce_mode = reduce;
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
    std::atexit(remove_scratch);
    return true;
  }();
  (void)started;
  const std::string& path = scratch_path();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  lumora::FileInfo info{};
  const int status = lumora::load_info(path.c_str(), lumora::kFormatBmp, 0, &info);
  // A few bytes may claim 31999 x 31999 pixels: decode fully only what a fuzzer can afford.
  const uint64_t pixels = status == 0 ? uint64_t{info.width} * info.height : 0;
  lumora::file_info_free(&info);
  if (status != 0) return 0;
  load_with(path.c_str(), lumora::kFormatBmp, lumora::kLoadApplicationFlags, 46, 46, lumora::kReduceNearest);
  if (pixels <= (uint64_t{1} << 22)) {
    load_with(path.c_str(), lumora::kFormatBmp, lumora::kLoadAcceptIncomplete | lumora::kLoadPrefer4Byte,
              -1, -1, 0);
    load_with(path.c_str(), lumora::kFormat2bp, lumora::kLoadForceColor, 64, 64, lumora::kReduceAverage);
  }
  return 0;
}
