// The portable anymap reader on the image-rs bitmap files against their reference renderings.
#include <gtest/gtest.h>

#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

TEST(PnmConformance, MatchesTheReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/pbm";
  const fs::path reference = fs::path(dir) / "image-rs/reference/pbm";
  int compared = 0;
  for (const fs::path& f : files_below(images, ".pbm")) {
    const std::string rel = fs::relative(f, images).string();
    SCOPED_TRACE(rel);
    Rgba got;
    const int status = load_rgba(f.string(), &got);
    const fs::path ref = reference / (rel + ".png");
    if (!fs::exists(ref)) {
      EXPECT_TRUE(status == 0 || status == 2 || status == 4 || status == 9) << status;
      continue;
    }
    ASSERT_EQ(status, 0);
    Rgba want;
    ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
    EXPECT_EQ(differing_pixels(got, want, 0, false, false), 0);
    ++compared;
  }
  EXPECT_GE(compared, 2);
}

}  // namespace
}  // namespace lumora
