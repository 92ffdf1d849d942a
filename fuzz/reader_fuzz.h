#pragma once
// The body shared by the readers' fuzz targets. Each input is written to a private file with the
// reader's extension (the loaders read from paths), described with load_info, then loaded the
// ways the program loads pictures: a reduced thumbnail, and full loads of pictures of modest size.
// A few bytes may claim a picture of billions of pixels: each load has a pixel limit, so the
// fuzzer spends its time on real faults rather than on decoding huge empty pictures.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace lumora_fuzz {

struct FuzzLoad {
  uint32_t flags;
  int32_t max_size;           // maximum width and height, -1 = none
  uint32_t reduce_mode;
  uint64_t pixel_limit;       // skipped when the described picture is larger
  int32_t image_index = 0;
  int format = -1;            // -1: the target's own format
  uint8_t use_embedded = 0;
  uint8_t icon_mask_alpha = 0;
  uint8_t png_blend = 0;
};

struct FuzzPlan {
  int format;
  const char* extension;
  uint32_t info_flags;
  std::initializer_list<FuzzLoad> loads;
  bool load_when_info_fails = false;  // some readers fail the description yet deliver pictures
  void (*extra)(const char* path, const uint8_t* data, size_t size) = nullptr;
};

constexpr uint64_t kSmall = uint64_t{1} << 20;
constexpr uint64_t kMedium = uint64_t{1} << 22;
constexpr uint64_t kLarge = uint64_t{1} << 26;

inline std::string& scratch_path() {
  static std::string path;
  return path;
}

inline void remove_scratch() { std::remove(scratch_path().c_str()); }

inline void run_load(const char* path, const FuzzPlan& plan, const FuzzLoad& load) {
  lumora::LoadParams p;
  lumora::load_params_init(&p);
  p.component_order = 1;
  p.format_index = static_cast<int16_t>(load.format >= 0 ? load.format : plan.format);
  p.flags = load.flags;
  p.max_width = p.max_height = load.max_size;
  p.reduce_mode = load.reduce_mode;
  p.image_index = load.image_index;
  p.use_embedded = load.use_embedded;
  p.icon_mask_alpha = load.icon_mask_alpha;
  p.png_blend_alpha = p.png_blend_palette = load.png_blend;
  lumora::Bitmap b{};
  lumora::FileInfo info{};
  lumora::load_image(path, &b, &p, &info);
  lumora::bitmap_free(&b);
  lumora::file_info_free(&info);
}

inline int fuzz_reader(const uint8_t* data, size_t size, const FuzzPlan& plan) {
  static const bool started = [&plan] {
    lumora::library_start();
    std::string name = std::string("/tmp/lumora_fuzz_XXXXXX.") + plan.extension;
    const int fd = mkstemps(name.data(), static_cast<int>(std::string(plan.extension).size() + 1));
    if (fd >= 0) close(fd);
    scratch_path() = name;
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
  const int status = lumora::load_info(path.c_str(), plan.format, plan.info_flags, &info);
  const uint64_t pixels = status == 0 ? uint64_t{info.width} * info.height : 0;
  lumora::file_info_free(&info);
  if (status == 0 || plan.load_when_info_fails)
    for (const FuzzLoad& load : plan.loads)
      if (pixels <= load.pixel_limit) run_load(path.c_str(), plan, load);
  if (plan.extra) plan.extra(path.c_str(), data, size);
  return 0;
}

}  // namespace lumora_fuzz
