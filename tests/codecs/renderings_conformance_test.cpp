// The Targa, portable anymap, TIFF and PNG readers on the image-rs files against their reference
// renderings where the rules agree; files without a rendering must end with a clean status.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <functional>

#include "tests/support/conformance.h"

namespace lumora {
namespace {

using namespace test;
namespace fs = std::filesystem;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

enum class Alpha { kNever, kWhereBothHaveIt, kWhereLoadedHasIt };

struct Folder {
  const char* name;   // under image-rs/images and image-rs/reference
  std::vector<std::string> extensions;
  std::vector<int> clean;   // statuses allowed for files without a rendering
  std::function<int(const fs::path&, const std::string&)> tolerance;   // per channel
  Alpha alpha;
  int at_least;   // files compared
};

// Targa: 5-bit components are scaled as floor(v x 255 / 31); the renderings replicate bits,
// which differs by at most 1.
int tga_tolerance(const fs::path& file, const std::string&) {
  FILE* f = std::fopen(file.string().c_str(), "rb");
  uint8_t header[18] = {};
  const size_t got = f ? std::fread(header, 1, sizeof header, f) : 0;
  if (f) std::fclose(f);
  EXPECT_EQ(got, sizeof header);
  return header[16] == 15 || header[16] == 16 || header[7] == 15 || header[7] == 16 ? 1 : 0;
}

// TIFF: floats are scaled with rounding; 16-bit samples keep their high byte.
int tiff_tolerance(const fs::path&, const std::string& rel) {
  return rel.find("32f") != std::string::npos || rel.find("16b") != std::string::npos ? 1 : 0;
}

// PNG: 16-bit samples keep their high byte, the renderings round. Transparency from tRNS is no
// alpha under the rules, so alpha is compared only where the file has a channel.
int png_tolerance(const fs::path& file, const std::string&) {
  png_image probe{};
  probe.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_file(&probe, file.string().c_str());
  const bool deep = (probe.format & PNG_FORMAT_FLAG_LINEAR) != 0;
  png_image_free(&probe);
  return deep ? 1 : 0;
}

int no_tolerance(const fs::path&, const std::string&) { return 0; }

TEST(RenderingsConformance, MatchTheReferences) {
  LUMORA_REQUIRE_TESTDATA(dir);
  const Folder folders[] = {
      {"tga", {".tga"}, {0, 2, 4}, tga_tolerance, Alpha::kWhereBothHaveIt, 10},
      {"pbm", {".pbm"}, {0, 2, 4, 9}, no_tolerance, Alpha::kNever, 2},
      {"tiff", {".tif", ".tiff"}, {0, 2, 4, 9, 10}, tiff_tolerance, Alpha::kWhereBothHaveIt, 6},
      {"png", {".png"}, {0, 2, 4, 10}, png_tolerance, Alpha::kWhereLoadedHasIt, 11},
  };
  for (const Folder& folder : folders) {
    const fs::path images = fs::path(dir) / "image-rs/images" / folder.name;
    const fs::path reference = fs::path(dir) / "image-rs/reference" / folder.name;
    int compared = 0;
    std::vector<fs::path> files;
    for (const std::string& ext : folder.extensions) {
      const std::vector<fs::path> more = files_below(images, ext);
      files.insert(files.end(), more.begin(), more.end());
    }
    for (const fs::path& f : files) {
      const std::string rel = fs::relative(f, images).string();
      SCOPED_TRACE(std::string(folder.name) + "/" + rel);
      Rgba got;
      const int status = load_rgba(f.string(), &got);
      const fs::path ref = reference / (rel + ".png");
      if (!fs::exists(ref)) {
        EXPECT_NE(std::find(folder.clean.begin(), folder.clean.end(), status), folder.clean.end()) << status;
        continue;
      }
      ASSERT_EQ(status, 0);
      Rgba want;
      ASSERT_TRUE(libpng_rgba(ref.string(), &want, PngDecode::kReference));
      const bool alpha = folder.alpha == Alpha::kWhereLoadedHasIt  ? got.has_alpha
                         : folder.alpha == Alpha::kWhereBothHaveIt ? got.has_alpha && want.has_alpha
                                                                   : false;
      EXPECT_EQ(differing_pixels(got, want, folder.tolerance(f, rel), alpha, false), 0);
      ++compared;
    }
    EXPECT_GE(compared, folder.at_least) << folder.name;
  }
}

}  // namespace
}  // namespace lumora
