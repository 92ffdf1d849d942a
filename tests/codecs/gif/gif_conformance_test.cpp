// The GIF reader and the frame loader on the image-rs GIF files: the first image matches the
// reference rendering, every file loads its frames without failure.
#include <gtest/gtest.h>

#include <map>

#include "imagelib/codecs/gif/gif.h"
#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// Files whose reference rendering follows other rules than this library's, and why.
const std::map<std::string, std::string> kExcused = {
    {"anim/border_touching_layers.gif",
     "the opaque first frame covers half the canvas: the rest is the screen's background colour "
     "here, transparent in the rendering"},
    {"anim/issue_1455_undersized.gif", "as above: a first frame smaller than the canvas, without transparency"},
    {"simple/issue_1455_oversized.gif",
     "the image is larger than the logical screen: the canvas grows to hold it here, the rendering "
     "crops it to the screen"},
};

TEST(GifConformance, FirstFrameMatchesTheReference) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/gif";
  const fs::path reference = fs::path(dir) / "image-rs/reference/gif";
  int compared = 0;
  for (const fs::path& f : files_below(images, ".gif")) {
    const std::string rel = fs::relative(f, images).string();
    SCOPED_TRACE(rel);
    // The reader delivers the first image at its own size; the frame loader composes it on the
    // canvas, as the renderings do.
    Rgba image;
    ASSERT_EQ(load_rgba(f.string(), &image), 0);
    GifAnimation animation{};
    ASSERT_EQ(gif_load_frames(f.string().c_str(), &animation), 0);
    ASSERT_GE(animation.frame_count, 1u);
    Rgba frame = expand(animation.frames[0].bitmap);
    const int16_t transparent = animation.frames[0].bitmap.transparent_index;
    for (size_t i = 0; i < frame.px.size(); i += 4) {
      const size_t x = (i / 4) % static_cast<size_t>(frame.width), y = i / 4 / frame.width;
      if (transparent >= 0 && bitmap_row(&animation.frames[0].bitmap, static_cast<int32_t>(y))[x] == transparent)
        frame.px[i + 3] = 0;
    }
    gif_animation_free(&animation);
    const fs::path ref = reference / (rel + ".png");
    if (!fs::exists(ref) || kExcused.count(rel)) continue;
    Rgba want;
    ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
    // Transparent pixels have no colour of their own in GIF: only their transparency counts.
    EXPECT_EQ(differing_pixels(frame, want, 0, false, true), 0);
    long alpha_differs = 0;
    for (size_t i = 3; i < frame.px.size() && frame.px.size() == want.px.size(); i += 4)
      if ((want.px[i] == 0) != (frame.px[i] == 0)) ++alpha_differs;
    EXPECT_EQ(alpha_differs, 0) << "pixels transparent in one rendering only";
    if (image.width == want.width && image.height == want.height) {
      EXPECT_EQ(differing_pixels(image, want, 0, false, true), 0);
    }
    ++compared;
  }
  EXPECT_GE(compared, 5);
}

}  // namespace
}  // namespace lumora
