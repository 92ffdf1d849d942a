// The PNG reader against the PNG suite: every good file decodes as libpng decodes it under this
// library's rules, every corrupt one ("x" files) is refused with a clean status.
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

}  // namespace
}  // namespace lumora
