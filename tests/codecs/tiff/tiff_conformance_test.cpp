// The TIFF reader on the image-rs TIFF files the renderings test cannot settle (CMYK without a
// rendering, YCbCr coefficients) and on camera sample TIFF files (profiles kept).
#include <gtest/gtest.h>

#include <map>

#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// Files without a rendering whose pixels follow from their samples: CMYK (0, 0, 0, 65) and
// (1, 1, 1, 128) give (255 - ink) x (255 - black) / 255, truncated.
TEST(TiffConformance, UnrenderedCmykFiles) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/tiff/testsuite";
  const std::pair<const char*, uint8_t> cases[] = {{"cmyk_u8_edge_case.tif", 190},
                                                   {"cmyk_u8_trunc_case.tif", 126}};
  for (const auto& [name, grey] : cases) {
    SCOPED_TRACE(name);
    Rgba got;
    ASSERT_EQ(load_rgba((images / name).string(), &got), 0);
    ASSERT_EQ(got.width, 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(got.px[k], grey);
  }
}

// The same YCbCr picture with BT.709 coefficients and with unusable (zero) coefficients: the
// latter falls back to the default weights and must still give a picture of the same content.
TEST(TiffConformance, YCbCrCoefficients) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/tiff/testsuite";
  Rgba bt709, broken;
  ASSERT_EQ(load_rgba((images / "ycbcr_lzw_bt709.tif").string(), &bt709), 0);
  ASSERT_EQ(load_rgba((images / "ycbcr_lzw_broken.tif").string(), &broken), 0);
  ASSERT_EQ(bt709.px.size(), broken.px.size());
  // The two weightings differ a little on saturated colours, never wildly.
  double total = 0;
  for (size_t i = 0; i < bt709.px.size(); ++i) total += std::abs(bt709.px[i] - broken.px[i]);
  EXPECT_LT(total / bt709.px.size(), 12.0);
}

// The camera samples carry ICC profiles, XMP and text tags but no Exif directory.
TEST(TiffConformance, CameraSamplesLoadWithTheirProfiles) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const std::map<std::string, uint32_t> profile_bytes = {
      {"BSG1.tiff", 3940}, {"DudleyLeavittUtah.tiff", 4384}, {"Tless0.tiff", 4380}};
  const fs::path images = fs::path(dir) / "exif-samples/tiff";
  int loaded = 0;
  for (const fs::path& f : files_below(images, ".tiff")) {
    SCOPED_TRACE(f.filename().string());
    LoadParams p;
    load_params_init(&p);
    p.flags = kLoadKeepChunks | kLoadKeepComment | kLoadKeepText;
    Bitmap b{};
    FileInfo info{};
    const int status = load_image(f.string().c_str(), &b, &p, &info);
    EXPECT_EQ(status, 0);
    if (status == 0) {
      ++loaded;
      EXPECT_GT(b.width, 0);
      // An ICC profile is kept whole as one kind-4 block ("acsp" at byte 36).
      uint32_t kept = 0;
      for (const MetadataChunk* c = b.chunks; c; c = c->next) {
        if (c->kind != 4) continue;
        kept += c->size;
        ASSERT_GE(c->size, 40u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->data) + 36, 4), "acsp");
      }
      const auto want = profile_bytes.find(f.filename().string());
      EXPECT_EQ(kept, want == profile_bytes.end() ? 0u : want->second);
    }
    bitmap_free(&b);
    file_info_free(&info);
  }
  EXPECT_GE(loaded, 5);
}

}  // namespace
}  // namespace lumora
