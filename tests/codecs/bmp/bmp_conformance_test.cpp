// The public bitmap suite (LUMORA_TESTDATA/image-rs/images/bmp): every good file decodes and
// matches its reference rendering; every damaged file gives a clean status. Files this system reads differently on purpose are listed with the reason.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "imagelib/core/status.h"
#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// Good files of the suite that are not compared, and why.
const std::map<std::string, std::string> kExcused = {
    {"rgb24rle24.bmp", "compression 4 (OS/2 RLE24) is not one of this reader's compressions: status 2"},
    {"rgba32abf.bmp", "compression 6 (alpha bit fields) is not one of this reader's compressions: status 2"},
};

// Files whose alpha the comparison ignores: plain 32-bit pixels hand over their fourth byte as
// stored (0 in these files, which the references show opaque), and 16-bit pixels with an alpha
// mask become 24-bit colour (the references keep the 1 or 4-bit alpha).
const std::set<std::string> kAlphaDiffers = {
    "Info_A8_R8_G8_B8.bmp", "Info_A8_R8_G8_B8_Top_Down.bmp", "rgb32.bmp",
    "V3_A1_R5_G5_B5.bmp", "V3_A1_R5_G5_B5_Top_Down.bmp", "V3_A4_R4_G4_B4.bmp",
    "V3_A4_R4_G4_B4_Top_Down.bmp", "V5_A1_R5_G5_B5.bmp", "rgba16-1924.bmp",
};

// Components narrower than 8 bits are widened as floor(v x 255 / (2^k - 1)); the references
// round instead, so these files may differ by 1 in any component.
const std::set<std::string> kWideningDiffers = {
    "V4_R5_G6_B5.bmp", "V5_A1_R5_G5_B5.bmp", "rgb16-231.bmp", "rgb16-565.bmp", "rgb16.bmp",
    "rgb32-111110.bmp", "rgba16-1924.bmp", "rgba32-61754.bmp",
};

// RLE files whose deltas and early end leave pixels undefined: the references show them black,
// this system gives them palette entry 0 like the rest of an empty row. Pixels that are black in
// the reference are not compared.
const std::set<std::string> kUndefinedPixels = {"pal4rlecut.bmp", "pal4rletrns.bmp"};

// The suite's files directly in `dir` (the damaged ones also sit in the subfolder "lenient").
std::vector<fs::path> bmp_files(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const fs::path& f : files_below(dir, ".bmp"))
    if (f.parent_path() == dir) out.push_back(f);
  return out;
}

// Red, green, blue, alpha for every picture type (4 bytes where the file has alpha).
int load_bmp(const fs::path& path, Rgba* out, uint32_t flags = 0) {
  return load_rgba(path.string(), out, kLoadForceColor | kLoadPrefer4Byte | flags);
}

TEST(BmpConformance, GoodFilesDecodeAndMatchTheirReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/bmp/images";
  const fs::path reference = fs::path(dir) / "image-rs/reference/bmp/images";
  int compared = 0;
  for (const fs::path& file : bmp_files(images)) {
    const std::string name = file.filename().string();
    const fs::path ref = reference / (name + ".png");
    if (!fs::exists(ref)) continue;  // damaged files: see the next test
    SCOPED_TRACE(name);
    Rgba got;
    const int status = load_bmp(file, &got);
    if (kExcused.count(name)) {
      EXPECT_NE(status, 0) << "excused file now decodes: " << kExcused.at(name);
      continue;
    }
    ASSERT_EQ(status, 0);
    Rgba want;
    ASSERT_EQ(load_bmp(ref, &want), 0);
    ASSERT_EQ(want.width, got.width);
    ASSERT_EQ(want.height, got.height);
    const int channels = kAlphaDiffers.count(name) ? 3 : 4;
    const int tolerance = kWideningDiffers.count(name) ? 1 : 0;
    const bool skip_undefined = kUndefinedPixels.count(name) > 0;
    long mismatches = 0;
    for (size_t i = 0; i < got.px.size(); i += 4) {
      const uint8_t* a = &got.px[i];
      const uint8_t* b = &want.px[i];
      if (skip_undefined && !b[0] && !b[1] && !b[2]) continue;
      for (int c = 0; c < channels; ++c)
        if (std::abs(a[c] - b[c]) > tolerance) {
          if (++mismatches <= 5)
            ADD_FAILURE() << "pixel " << i / 4 % got.width << "," << i / 4 / got.width << " channel " << c
                          << ": " << int(a[c]) << " != " << int(b[c]);
          break;
        }
    }
    ++compared;
  }
  EXPECT_GT(compared, 40);
}

TEST(BmpConformance, DamagedFilesGiveACleanStatus) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const fs::path images = fs::path(dir) / "image-rs/images/bmp/images";
  std::vector<fs::path> damaged = bmp_files(images / "lenient");
  for (const fs::path& file : bmp_files(images))
    if (!fs::exists(fs::path(dir) / "image-rs/reference/bmp/images" / (file.filename().string() + ".png")))
      damaged.push_back(file);
  ASSERT_FALSE(damaged.empty());
  for (const fs::path& file : damaged) {
    SCOPED_TRACE(file.filename().string());
    for (uint32_t flags : {0u, static_cast<uint32_t>(kLoadAcceptIncomplete)}) {
      LoadParams p;
      load_params_init(&p);
      p.flags = kLoadForceColor | kLoadPrefer4Byte | flags;
      Bitmap b{};
      const int status = load_image(file.string().c_str(), &b, &p, nullptr) & 0xFFFF;
      EXPECT_TRUE(status == 0 || status == 2 || status == 4 || status == 9 || status == 10) << status;
      EXPECT_EQ(b.pixels != nullptr, status == 0) << "pixels exactly when the load succeeds";
      bitmap_free(&b);
    }
  }
}

}  // namespace
}  // namespace lumora
