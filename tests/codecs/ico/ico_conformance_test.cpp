// The icon reader on the image-rs icon files against their reference renderings, with the AND
// mask delivered as alpha. Files without a reference must still end with a clean status.
#include <gtest/gtest.h>

#include <map>

#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// Files this reader does not decode, and why; each must be refused with status 2.
const std::map<std::string, std::string> kExcused = {
    {"images/bmp_v5_with_icc.ico", "124-byte (version 5) bitmap header: icons carry the 40-byte header"},
};

int load_icon(const fs::path& file, int32_t index, Rgba* out, uint32_t* count) {
  LoadParams p;
  load_params_init(&p);
  p.alignment = 1;
  p.icon_mask_alpha = 1;
  p.image_index = index;
  Bitmap b{};
  FileInfo info{};
  const int status = load_image(file.string().c_str(), &b, &p, &info);
  if (status == 0) *out = expand(b);
  *count = info.image_count;
  bitmap_free(&b);
  file_info_free(&info);
  return status;
}

TEST(IcoConformance, MatchesTheReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/ico";
  const fs::path reference = fs::path(dir) / "image-rs/reference/ico";
  int compared = 0;
  for (const fs::path& f : files_below(images, ".ico")) {
    const std::string rel = fs::relative(f, images).string();
    SCOPED_TRACE(rel);
    Rgba got;
    uint32_t count = 0;
    const int status = load_icon(f, 0, &got, &count);
    if (kExcused.count(rel)) {
      EXPECT_EQ(status, 2);
      continue;
    }
    ASSERT_EQ(status, 0);
    const fs::path ref = reference / (rel + ".png");
    if (!fs::exists(ref)) continue;
    Rgba want;
    ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
    // The reference shows one image of the directory (the largest); every image must load, and
    // the one of the reference's size must match it, alpha included.
    bool matched = false;
    for (uint32_t i = 0; i < count; ++i) {
      ASSERT_EQ(load_icon(f, static_cast<int32_t>(i), &got, &count), 0) << i;
      if (got.width != want.width || got.height != want.height) continue;
      long wrong_alpha = 0;
      for (size_t k = 3; k < got.px.size(); k += 4) wrong_alpha += got.px[k] != want.px[k];
      if (wrong_alpha == 0 && differing_pixels(got, want, 0, false, true) == 0) matched = true;
    }
    EXPECT_TRUE(matched);
    ++compared;
  }
  EXPECT_GE(compared, 4);
}

}  // namespace
}  // namespace lumora
