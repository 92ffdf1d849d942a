// Fuzz target of the Targa reader: an information-only load, a reduced load (the browser's
// thumbnail), and full loads of pictures of modest size with and without the comment kept.
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
    char name[] = "/tmp/lumora_tga_fuzz_XXXXXX.tga";
    const int fd = mkstemps(name, 4);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  return path;
}

void remove_scratch() { std::remove(scratch_path().c_str()); }

void load_with(const char* path, uint32_t flags, int32_t max, uint32_t reduce) {
  lumora::LoadParams p;
  lumora::load_params_init(&p);
  p.format_index = lumora::kFormatTga;
  p.flags = flags;
  p.max_width = p.max_height = max;
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
  const int status = lumora::load_info(path.c_str(), lumora::kFormatTga, 0x70000, &info);
  const uint64_t pixels = static_cast<uint64_t>(info.width) * info.height;
  lumora::file_info_free(&info);
  if (status != 0) return 0;
  // Reduction mode 2 loads at full size and shrinks afterwards: 22 bytes claiming 2050 x 8194
  // pixels cost the pipeline seconds of shrinking zeros. Leave such claims to the information load.
  if (pixels > (1u << 22)) return 0;
  load_with(path.c_str(), 0x1404 | 0x800, 48, 2);
  if (pixels <= (1u << 20)) {
    load_with(path.c_str(), 0x70000 | 0x400, -1, 0);
    load_with(path.c_str(), 0x8 | 0x80000, -1, 0);
  }
  return 0;
}
