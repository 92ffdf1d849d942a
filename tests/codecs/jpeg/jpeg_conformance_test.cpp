// Camera photographs and broken files from public collections ($LUMORA_TESTDATA): every file
// loads, or gives a clean status, in the viewer's full load and in the browser's thumbnail load.
// The deliberately broken ones (folders "invalid" and "tests", "corrupted.jpg") never crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> jpeg_files(const fs::path& root) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string ext = it->path().extension().string();
    if (it->is_regular_file() && (ext == ".jpg" || ext == ".jpeg" || ext == ".JPG")) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool deliberately_broken(const std::string& path) {
  return path.find("/invalid/") != std::string::npos || path.find("/tests/") != std::string::npos ||
         path.find("corrupted") != std::string::npos;
}

struct Mode {
  const char* name;
  uint32_t flags;
  int32_t max_w, max_h;
  uint8_t use_embedded;
};

TEST(JpegConformanceTest, PhotographsLoadAndBrokenFilesFailCleanly) {
  const char* root = std::getenv("LUMORA_TESTDATA");
  if (!root || !fs::is_directory(root)) GTEST_SKIP() << "LUMORA_TESTDATA is not set to the shared test data folder";
  std::vector<std::string> files = jpeg_files(fs::path(root) / "exif-samples" / "jpg");
  const std::vector<std::string> more = jpeg_files(fs::path(root) / "image-rs" / "images" / "jpg");
  files.insert(files.end(), more.begin(), more.end());
  ASSERT_FALSE(files.empty());

  library_start();
  const Mode modes[] = {
      {"viewer", kLoadApplicationFlags | kLoadKeepChunks | kLoadKeepComment | kLoadEstimateQuality, 1024, 768, 0},
      {"thumbnail", kLoadApplicationFlags | kLoadQuick, 46, 46, 1},
      {"strict full", kLoadKnownExtension, -1, -1, 0},
  };
  int loaded = 0;
  int thumbnails = 0;
  for (const std::string& path : files) {
    for (const Mode& m : modes) {
      LoadParams p;
      load_params_init(&p);
      p.component_order = 1;
      p.flags = m.flags;
      p.max_width = m.max_w;
      p.max_height = m.max_h;
      p.use_embedded = m.use_embedded;
      Bitmap b{};
      FileInfo info{};
      const int status = load_image(path.c_str(), &b, &p, &info) & 0xFFFF;
      // Empty files (two of the collection's are) cannot be opened: status 3.
      const bool clean = status == 0 || status == kStatusNotRecognised || status == kStatusCannotOpen ||
                         status == kStatusFileEndsEarly || status == kStatusCorrupt;
      EXPECT_TRUE(clean) << path << " (" << m.name << "): status " << status;
      if (status == 0) {
        EXPECT_NE(b.pixels, nullptr) << path;
        if (m.max_w > 0) {
          EXPECT_LE(b.width, m.max_w) << path;
          EXPECT_LE(b.height, m.max_h) << path;
        }
        if (std::string(m.name) == "viewer") ++loaded;
        if (info.reader_flag == 1) ++thumbnails;
      } else {
        EXPECT_EQ(b.pixels, nullptr) << path;
        // Photographs straight from cameras must load, at least when partial pictures are kept.
        if (!deliberately_broken(path) && fs::file_size(path) > 0 && (m.flags & kLoadAcceptIncomplete))
          ADD_FAILURE() << path << " (" << m.name << "): status " << status;
      }
      bitmap_free(&b);
      file_info_free(&info);
    }
  }
  library_stop();
  // Most of the camera files carry an Exif thumbnail; the browser's load must find them.
  EXPECT_GT(thumbnails, static_cast<int>(files.size()) / 2);
  std::printf("%zu files, %d loaded in the viewer's mode, %d thumbnails taken from Exif\n", files.size(),
              loaded, thumbnails);
}

}  // namespace
}  // namespace lumora
