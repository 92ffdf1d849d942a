// lumora-img thumbs --cache: the shared thumbnail cache is read before decoding, filled for
// pictures without an embedded thumbnail, records unreadable files, and never stops the run.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "imagelib/thumbcache/thumb_cache.h"
#include "tests/support/jpeg_file.h"
#include "support/cli_runner.h"

using namespace lumora;
using lumora_test::RunResult;

namespace {

namespace fs = std::filesystem;

class LumoraImgThumbsCache : public lumora_test::LibraryCliTest {
 protected:
  void SetUp() override {
    LibraryCliTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    const char* old = std::getenv("XDG_CACHE_HOME");
    had_old_ = old != nullptr;
    if (old) old_ = old;
    setenv("XDG_CACHE_HOME", path("cache").c_str(), 1);  // the tool inherits it
    ASSERT_EQ(mkdir(path("pics").c_str(), 0755), 0);
  }
  void TearDown() override {
    if (had_old_) setenv("XDG_CACHE_HOME", old_.c_str(), 1);
    else unsetenv("XDG_CACHE_HOME");
    LibraryCliTest::TearDown();
  }

  // A uniform picture of one colour (blue, green, red bytes) written with the library's writer.
  void write_picture(const std::string& name, int format, int w, int h, uint8_t b, uint8_t g,
                     uint8_t r) {
    Bitmap bm{};
    ASSERT_EQ(bitmap_alloc(&bm, kPixBGR, 4, w, h), 1);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = bitmap_row(&bm, y) + 3 * x;
        p[0] = b, p[1] = g, p[2] = r;
      }
    if (name.empty()) {
      EXPECT_EQ(thumb_cache_store(path("pics/photo.png").c_str(), &bm), 0);
    } else {
      SaveParams s;
      save_params_init(&s);
      s.format_index = static_cast<int16_t>(format);
      ASSERT_EQ(save_image(path(name).c_str(), &bm, &s), 0);
    }
    bitmap_free(&bm);
  }

  // Green of the middle pixel of a written thumbnail, or -1.
  int green_of(const std::string& name) {
    LoadParams p;
    load_params_init(&p);
    p.component_order = 1;
    Bitmap b{};
    if (load_image(path(name).c_str(), &b, &p, nullptr) != 0) return -1;
    const int g = bitmap_row(&b, b.height / 2)[3 * (b.width / 2) + 1];
    bitmap_free(&b);
    return g;
  }

  std::string cache_file(const std::string& name) {
    char out[1024];
    EXPECT_EQ(thumb_cache_file(path(name).c_str(), 128, out, sizeof out), 0);
    return out;
  }

  std::string old_;
  bool had_old_ = false;
};

TEST_F(LumoraImgThumbsCache, ReadsTheCacheBeforeDecodingAndFillsIt) {
  write_picture("pics/photo.png", kFormatPng, 600, 400, 10, 20, 30);
  write_picture("pics/shot.jpg", kFormatJpeg, 900, 300, 10, 20, 30);
  RunResult r = run("thumbs --quiet --cache -o out pics");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  for (const char* name : {"pics/photo.png", "pics/shot.jpg"})
    EXPECT_TRUE(fs::is_regular_file(cache_file(name))) << name;
  EXPECT_EQ(green_of("out/photo.png"), 20);
  // A cached thumbnail of another colour (valid for the file as it is) wins over the picture.
  write_picture("", 0, 128, 85, 0, 200, 0);
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
  write_picture("pics/photo.png", kFormatPng, 300, 200, 10, 20, 30);
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
