// The Targa reader on the image-rs Targa files (every colour-map and origin variant) against
// their reference renderings.
#include <gtest/gtest.h>

#include <map>

#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// Files whose reference rendering follows other rules than this library's, and why.
const std::map<std::string, std::string> kExcused = {};

TEST(TgaConformance, MatchesTheReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/tga";
  const fs::path reference = fs::path(dir) / "image-rs/reference/tga";
  int compared = 0;
  for (const fs::path& f : files_below(images, ".tga")) {
    const std::string rel = fs::relative(f, images).string();
    SCOPED_TRACE(rel);
    Rgba got;
    const int status = load_rgba(f.string(), &got);
    const fs::path ref = reference / (rel + ".png");
    if (!fs::exists(ref)) {
      EXPECT_TRUE(status == 0 || status == 2 || status == 4) << status;
      continue;
    }
    if (kExcused.count(rel)) {
      EXPECT_EQ(status, 2);
      continue;
    }
    ASSERT_EQ(status, 0);
    Rgba want;
    ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
    // 5-bit components are scaled as floor(v x 255 / 31); the renderings replicate bits, which
    // differs by at most 1.
    FILE* file = std::fopen(f.string().c_str(), "rb");
    uint8_t header[18] = {};
    ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
    std::fclose(file);
    const int tolerance = header[16] == 15 || header[16] == 16 || header[7] == 15 || header[7] == 16 ? 1 : 0;
    EXPECT_EQ(differing_pixels(got, want, tolerance, got.has_alpha && want.has_alpha, false), 0);
    ++compared;
  }
  EXPECT_GE(compared, 10);
}

}  // namespace
}  // namespace lumora
