#pragma once
// The body shared by the fuzz targets of the small readers: the input is written to a private
// file with the reader's extension and loaded as the program does (information only, a reduced
// thumbnail, then full loads of pictures of modest size, with the icon mask as alpha).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace lumora_fuzz {

inline std::string& scratch_path() {
  static std::string path;
  return path;
}

inline void remove_scratch() { std::remove(scratch_path().c_str()); }

inline void load_with(const char* path, int format, uint32_t flags, int32_t max, uint32_t reduce,
                      uint8_t mask_alpha) {
  lumora::LoadParams p;
  lumora::load_params_init(&p);
  p.format_index = static_cast<int16_t>(format);
  p.flags = flags;
  p.max_width = p.max_height = max;
  p.reduce_mode = reduce;
  p.icon_mask_alpha = mask_alpha;
  p.image_index = 1;
  lumora::Bitmap b{};
  lumora::FileInfo info{};
  lumora::load_image(path, &b, &p, &info);
  lumora::bitmap_free(&b);
  lumora::file_info_free(&info);
}

inline int fuzz_reader(const uint8_t* data, size_t size, int format, const char* extension) {
  static const bool started = [extension] {
    lumora::library_start();
    std::string name = std::string("/tmp/lumora_fuzz_XXXXXX.") + extension;
    const int fd = mkstemps(name.data(), static_cast<int>(std::string(extension).size() + 1));
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
  const int status = lumora::load_info(path.c_str(), format, 0x70000, &info);
  const uint64_t pixels = static_cast<uint64_t>(info.width) * info.height;
  lumora::file_info_free(&info);
  if (status != 0) return 0;
  // Pictures of 8 bits or less are reduced after a full-size load: keep those within memory.
  if (pixels <= (1u << 26)) load_with(path.c_str(), format, 0x1404 | 0x800, 48, 2, 0);
  if (pixels <= (1u << 20)) {
    load_with(path.c_str(), format, 0x70000 | 0x400, -1, 0, 1);
    load_with(path.c_str(), format, 0x8 | 0x80000, -1, 0, 0);
  }
  return 0;
}

}  // namespace lumora_fuzz
