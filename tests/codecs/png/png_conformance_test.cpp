// The PNG reader against the PNG suite and the image-rs PNG files: every good file decodes as
// libpng decodes it under this library's rules, every corrupt one ("x" files) is refused with a
// clean status, and the image-rs files match their reference renderings where the rules agree.
#include <gtest/gtest.h>

#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

TEST(PngConformance, PngSuite) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const auto files = files_below(fs::path(dir) / "pngsuite", ".png");
  ASSERT_GT(files.size(), 150u);
  int corrupt = 0;
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    Rgba got;
    const int status = load_rgba(f.string(), &got);
    if (f.filename().string()[0] == 'x') {
      ++corrupt;
      EXPECT_TRUE(status == 2 || status == 4 || status == 10) << "status " << status;
      continue;
    }
    ASSERT_EQ(status, 0);
    Rgba want;
    ASSERT_TRUE(libpng_rgba(f.string(), &want, PngDecode::kLibraryRules));
    EXPECT_EQ(got.has_alpha, want.has_alpha);
    EXPECT_EQ(differing_pixels(got, want, 0, true, false), 0);
  }
  EXPECT_EQ(corrupt, 14);
}

TEST(PngConformance, ImageRsReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/png";
  const fs::path reference = fs::path(dir) / "image-rs/reference/png";
  int compared = 0;
  for (const fs::path& f : files_below(images, ".png")) {
    const std::string rel = fs::relative(f, images).string();
    SCOPED_TRACE(rel);
    Rgba got;
    const int status = load_rgba(f.string(), &got);
    const fs::path ref = reference / (rel + ".png");
    if (!fs::exists(ref)) {
      EXPECT_TRUE(status == 0 || status == 2 || status == 4 || status == 10) << status;
      continue;
    }
    ASSERT_EQ(status, 0);
    Rgba want;
    ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
    // 16-bit samples: this library keeps the high byte, the renderings round. Transparency from
    // tRNS is no alpha under the rules, so alpha is compared only where the file has a channel.
    // No file needs to be excused.
    png_image probe{};
    probe.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_file(&probe, f.string().c_str());
    const bool deep = (probe.format & PNG_FORMAT_FLAG_LINEAR) != 0;
    png_image_free(&probe);
    EXPECT_EQ(differing_pixels(got, want, deep ? 1 : 0, got.has_alpha, false), 0);
    ++compared;
  }
  EXPECT_GT(compared, 10);
}

}  // namespace
}  // namespace lumora
