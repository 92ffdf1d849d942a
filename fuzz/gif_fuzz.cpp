// Fuzz target of the GIF reader and of the animation frame loader.
#include "fuzz/reader_fuzz.h"
#include "imagelib/codecs/gif/gif.h"

using namespace lumora_fuzz;

namespace {

// The reader's description is of the first image only; the screen and every image descriptor
// are looked at here so that full loads and the frame loader stay within a modest size.
bool small_canvas(const uint8_t* data, size_t size) {
  if (size < 10) return true;
  if (static_cast<uint32_t>(data[6] | data[7] << 8) * (data[8] | data[9] << 8) > (1u << 20)) return false;
  for (size_t i = 0; i + 9 <= size; ++i)
    if (data[i] == 0x2C &&
        static_cast<uint32_t>(data[i + 5] | data[i + 6] << 8) * (data[i + 7] | data[i + 8] << 8) > (1u << 20))
      return false;
  return true;
}

void load_frames(const char* path, const uint8_t* data, size_t size) {
  if (!small_canvas(data, size)) return;
  lumora::GifAnimation animation{};
  lumora::gif_load_frames(path, &animation);
  lumora::gif_animation_free(&animation);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!small_canvas(data, size)) {
    static const FuzzPlan thumb_only{lumora::kFormatGif, "gif", 0x70000, {{0x1404 | 0x800, 48, 0, ~uint64_t{0}}}, true};
    return fuzz_reader(data, size, thumb_only);
  }
  static const FuzzPlan plan{lumora::kFormatGif, "gif", 0x70000,
                             {{0x1404 | 0x800, 48, 0, ~uint64_t{0}},
                              {0x70000 | 0x400, -1, 0, ~uint64_t{0}},
                              {0x80000 | 0x8, -1, 0, ~uint64_t{0}, 1}},
                             true, load_frames};
  return fuzz_reader(data, size, plan);
}
