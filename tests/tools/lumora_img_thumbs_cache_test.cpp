// lumora-img thumbs --cache: the shared thumbnail cache is read before decoding, filled for
// pictures without an embedded thumbnail, records unreadable files, and never stops the run.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/thumbcache/thumb_cache.h"
#include "support/cli_runner.h"
#include "tests/support/jpeg_file.h"
#include "tests/support/saved_picture.h"
#include "tests/support/scoped_env.h"

using namespace lumora;
using lumora_test::RunResult;

namespace {

namespace fs = std::filesystem;

class LumoraImgThumbsCache : public lumora_test::LibraryCliTest {
 protected:
  void SetUp() override {
    LibraryCliTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    cache_env_.emplace("XDG_CACHE_HOME", path("cache"));  // the tool inherits it
    ASSERT_EQ(mkdir(path("pics").c_str(), 0755), 0);
  }
  void TearDown() override {
    cache_env_.reset();
    LibraryCliTest::TearDown();
  }

  // A picture of one colour written with the library's writer of `format`.
  void write_picture(const std::string& name, int format, int w, int h, uint8_t green) {
    ASSERT_EQ(test::save_picture(path(name), format, w, h, [=](int, int, uint8_t* p) { p[1] = green; }), 0);
  }

  // Green of the middle pixel of a written thumbnail, or -1.
  int green_of(const std::string& name) {
    const test::RgbPicture thumb = test::load_rgb(path(name));
    if (thumb.status != 0) return -1;
    return static_cast<int>((thumb.at(thumb.width / 2, thumb.height / 2) >> 8) & 0xFF);
  }

  std::string cache_file(const std::string& name) {
    char out[1024];
    EXPECT_EQ(thumb_cache_file(path(name).c_str(), 128, out, sizeof out), 0);
    return out;
  }

  std::optional<test::ScopedEnv> cache_env_;
};

TEST_F(LumoraImgThumbsCache, ReadsTheCacheBeforeDecodingAndFillsIt) {
  write_picture("pics/photo.png", kFormatPng, 600, 400, 20);
  write_picture("pics/shot.jpg", kFormatJpeg, 900, 300, 20);
  RunResult r = run("thumbs --quiet --cache -o out pics");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  for (const char* name : {"pics/photo.png", "pics/shot.jpg"})
    EXPECT_TRUE(fs::is_regular_file(cache_file(name))) << name;
  EXPECT_EQ(green_of("out/photo.png"), 20);
  // A cached thumbnail of another colour (valid for the file as it is) wins over the picture.
  Bitmap cached{};
  ASSERT_EQ(bitmap_alloc(&cached, kPixRGB, 4, 128, 85), 1);
  for (int y = 0; y < 85; ++y)
    for (int x = 0; x < 128; ++x) bitmap_row(&cached, y)[3 * x + 1] = 200;
  EXPECT_EQ(thumb_cache_store(path("pics/photo.png").c_str(), &cached), 0);
  bitmap_free(&cached);
  r = run("thumbs --quiet --cache --smooth -o again pics");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(green_of("again/photo.png"), 200);
  EXPECT_NE(green_of("again/shot.png"), 200);
  // Without --cache the picture is decoded.
  ASSERT_EQ(run("thumbs --quiet -o plain pics").exit_code, 0);
  EXPECT_EQ(green_of("plain/photo.png"), 20);
}

// A photograph whose Exif thumbnail serves the box is not copied into the cache: reading the
// embedded thumbnail again is cheaper than reading a cached PNG.
TEST_F(LumoraImgThumbsCache, EmbeddedThumbnailsAreNotCached) {
  test::JpegSpec main_spec, thumb_spec;
  main_spec.width = 640;
  main_spec.height = 480;
  thumb_spec.width = 160;
  thumb_spec.height = 120;
  thumb_spec.jfif = false;
  const test::Bytes thumb = test::make_jpeg(thumb_spec);
  lumora_test::write_bytes(path("pics/camera.jpg"),
                           test::with_markers(test::make_jpeg(main_spec),
                                                  {{0xE1, test::exif_with_thumbnail(thumb)}}));
  RunResult r = run("thumbs --quiet --cache -o out pics");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(path("out/camera.png")));
  EXPECT_FALSE(fs::exists(cache_file("pics/camera.jpg")));
  // Without the embedded thumbnail the main picture is decoded and cached.
  r = run("thumbs --quiet --cache --no-embedded -o out pics");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(cache_file("pics/camera.jpg")));
}

TEST_F(LumoraImgThumbsCache, RecordsUnreadableFilesAndSurvivesAnUnusableCache) {
  write_picture("pics/photo.png", kFormatPng, 300, 200, 20);
  lumora_test::write_bytes(path("pics/bad.png"), {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0});
  RunResult r = run("thumbs --quiet --cache -o out pics");
  EXPECT_EQ(r.exit_code, 12) << r.err;
  EXPECT_TRUE(thumb_cache_failed(path("pics/bad.png").c_str()));
  r = run("thumbs --quiet --cache -o out pics/bad.png");
  EXPECT_EQ(r.exit_code, 12);
  EXPECT_NE(r.err.find("recorded as unreadable"), std::string::npos) << r.err;
  // A file where the cache folder should be: the thumbnails are still made.
  fs::remove_all(path("cache"));
  lumora_test::write_bytes(path("cache"), {1});
  r = run("thumbs --quiet --cache -o fallback pics/photo.png");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(green_of("fallback/photo.png"), 20);
}

}  // namespace
