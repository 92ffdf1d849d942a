// Fuzz target of the GIF reader and of the animation frame loader: an information-only load, the
// first and second images through the load pipeline, and every frame with gif_load_frames.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imagelib/codecs/gif/gif.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace {

// A private file per process; the loaders read from a path.
const std::string& scratch_path() {
  static const std::string path = [] {
    char name[] = "/tmp/lumora_gif_fuzz_XXXXXX.gif";
    const int fd = mkstemps(name, 4);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  return path;
}

void remove_scratch() { std::remove(scratch_path().c_str()); }

void load_with(const char* path, int32_t image, uint32_t flags, int32_t max) {
  lumora::LoadParams p;
  lumora::load_params_init(&p);
  p.format_index = lumora::kFormatGif;
  p.image_index = image;
  p.flags = flags;
  p.max_width = p.max_height = max;
  lumora::Bitmap b{};
  lumora::FileInfo info{};
  lumora::load_image(path, &b, &p, &info);
  lumora::bitmap_free(&b);
  lumora::file_info_free(&info);
}

// Full loads hold the whole image and every frame is a full canvas: files whose screen or any
// image descriptor (any 0x2C byte read as one) is large are left to the reduced load, so that
// the fuzzer's memory limit stays for real faults.
bool small_canvas(const uint8_t* data, size_t size) {
  if (size < 10) return true;
  if (static_cast<uint32_t>(data[6] | data[7] << 8) * (data[8] | data[9] << 8) > (1u << 20)) return false;
  for (size_t i = 0; i + 9 <= size; ++i)
    if (data[i] == 0x2C &&
        static_cast<uint32_t>(data[i + 5] | data[i + 6] << 8) * (data[i + 7] | data[i + 8] << 8) > (1u << 20))
      return false;
  return true;
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
  lumora::load_info(path.c_str(), lumora::kFormatGif, 0x70000, &info);
  lumora::file_info_free(&info);
  load_with(path.c_str(), 0, 0x1404 | 0x800, 48);
  if (small_canvas(data, size)) {
    load_with(path.c_str(), 0, 0x70000 | 0x400, -1);
    load_with(path.c_str(), 1, 0x80000 | 0x8, -1);
    lumora::GifAnimation animation{};
    lumora::gif_load_frames(path.c_str(), &animation);
    lumora::gif_animation_free(&animation);
  }
  return 0;
}
