// The freedesktop.org thumbnail cache in a private $XDG_CACHE_HOME: names, validity, failure
// records, permissions, damaged and hostile cache files, unwritable caches, and the chunks of a
// written thumbnail read straight from its bytes.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "imagelib/thumbcache/thumb_cache.h"
#include "tests/support/png_file.h"
#include "tests/support/saved_picture.h"
#include "tests/support/scoped_env.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

TEST(ThumbCacheName, FollowsTheStandardsMd5OfUri) {
  struct Case {
    const char* path;
    const char* uri;
    const char* name;
  };
  const Case cases[] = {
      // The standard's own example.
      {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png",
       "c6ee772d9e49320e97ec29a7eb5b1697.png"},
      // Spaces and UTF-8 bytes are escaped in upper-case hex.
      {"/tmp/a b/\xC3\x96lbild \xC3\xBC.jpg", "file:///tmp/a%20b/%C3%96lbild%20%C3%BC.jpg",
       "f4b2fecfbd4da63bc1bb69907d33f159.png"},
      // RFC 2396 path characters stay as they are, as GLib-based file managers write them.
      {"/x/photo (1)&co.jpg", "file:///x/photo%20(1)&co.jpg", "8348152372e40e01e2e14c497d65b6ab.png"},
      {"/x/50%;#?.png", "file:///x/50%25%3B%23%3F.png", "6150c87e766cd4b5217f6a7350583956.png"},
      {"/a/./b//c/../d.png", "file:///a/b/d.png", "6a6f6b260b1a522388a533a8f9d327e0.png"},
  };
  for (const Case& c : cases) {
    char uri[256], name[kThumbNameSize];
    ASSERT_EQ(thumb_cache_uri(c.path, uri, sizeof uri), 0) << c.path;
    EXPECT_STREQ(uri, c.uri);
    ASSERT_EQ(thumb_cache_name(c.path, name, sizeof name), 0) << c.path;
    EXPECT_STREQ(name, c.name);
  }
  char small[8];
  EXPECT_EQ(thumb_cache_uri("/home/jens/photos/me.png", small, sizeof small), kStatusBadArguments);
  EXPECT_EQ(thumb_cache_uri("", small, sizeof small), kStatusBadArguments);
  const int flavours[][2] = {{0, 0}, {1, 128}, {46, 128}, {128, 128}, {129, 256}, {256, 256}, {257, 0}};
  for (const auto& f : flavours) EXPECT_EQ(thumb_cache_flavour_size(f[0]), f[1]) << f[0];
}

uint32_t mode_of(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFFFFFF;
}

void set_mtime(const std::string& path, long seconds) {
  const timeval times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
}

// A PNG written byte by byte, as another program might: text chunks after the image data.
std::vector<uint8_t> foreign_png(uint32_t width, uint32_t height,
                                 const std::vector<std::string>& texts_after) {
  std::vector<uint8_t> out = test::png_signature();
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) { test::png_chunk(out, type, data); };
  std::vector<uint8_t> ihdr;
  for (uint32_t v : {width, height})
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(v >> s));
  ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});  // 8-bit grey
  chunk("IHDR", ihdr);
  // Grey rows of value 200 (filter byte 0 each) for small pictures; huge ones get one row only.
  const size_t rows = width * static_cast<size_t>(height) <= 65536 ? height : 1;
  std::vector<uint8_t> raw;
  for (size_t y = 0; y < rows; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), width, 200);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  compress(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()));
  packed.resize(packed_size);
  chunk("IDAT", packed);
  for (const std::string& t : texts_after) {
    std::vector<uint8_t> data(t.begin(), t.end());
    std::replace(data.begin(), data.end(), static_cast<uint8_t>('='), uint8_t{0});  // key=value
    chunk("tEXt", data);
  }
  chunk("IEND", {});
  return out;
}

using test::write_file;

class ThumbCache : public ::testing::Test {
 protected:
  void SetUp() override {
    library_start();
    char pattern[] = "/tmp/lumora-thumbcache-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    cache_ = dir_ + "/cache";
    cache_env_.emplace("XDG_CACHE_HOME", cache_);
    picture_ = dir_ + "/Bild mit \xC3\xBC.png";
    const auto ramp = [](int x, int y, uint8_t* p) {
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 90;
    };
    ASSERT_EQ(test::save_picture(picture_, kFormatPng, 400, 300, ramp), 0);
    set_mtime(picture_, 1500000000);
  }
  void TearDown() override {
    cache_env_.reset();
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
    library_stop();
  }

  // The thumbnail the browser would store: the picture fitted into 128 x 128.
  int store_thumbnail(const std::string& path) {
    LoadParams p;
    load_params_init(&p);
    p.max_width = p.max_height = kThumbNormalSize;
    p.reduce_mode = kReduceAverage;
    Bitmap b{};
    if (load_image(path.c_str(), &b, &p, nullptr) != 0) return -1;
    const int status = thumb_cache_store(path.c_str(), &b);
    bitmap_free(&b);
    return status;
  }

  int lookup(const std::string& path, int box, int32_t* w = nullptr, int32_t* h = nullptr) {
    Bitmap b{};
    const int status = thumb_cache_lookup(path.c_str(), box, &b, nullptr);
    if (status == 0) {
      EXPECT_NE(b.pixels, nullptr);
      if (w) *w = b.width;
      if (h) *h = b.height;
    } else {
      EXPECT_EQ(b.pixels, nullptr);
    }
    bitmap_free(&b);
    return status;
  }

  std::string cache_file(const std::string& path, int box = 128) {
    char out[1024];
    EXPECT_EQ(thumb_cache_file(path.c_str(), box, out, sizeof out), 0);
    return out;
  }

  std::string dir_, cache_, picture_;
  std::optional<test::ScopedEnv> cache_env_;
};

TEST_F(ThumbCache, StoresAndFindsWithTheStandardsModes) {
  EXPECT_EQ(lookup(picture_, 46), kStatusCannotOpen);  // empty cache
  ASSERT_EQ(store_thumbnail(picture_), 0);
  const std::string file = cache_file(picture_);
  EXPECT_EQ(file, cache_ + "/thumbnails/normal/" + fs::path(file).filename().string());
  EXPECT_EQ(mode_of(file), 0600u);
  for (const char* folder : {"", "/thumbnails", "/thumbnails/normal"})
    EXPECT_EQ(mode_of(cache_ + folder), 0700u) << folder;
  int32_t w = 0, h = 0;
  ASSERT_EQ(lookup(picture_, 46, &w, &h), 0);
  EXPECT_EQ(w, 46);  // 128 x 96 in the cache, fitted to the caller's box
  EXPECT_EQ(h, 35);
  // The large flavour is a different file, not yet written; no temporary files are left.
  EXPECT_EQ(lookup(picture_, 200), kStatusCannotOpen);
  EXPECT_EQ(std::distance(fs::directory_iterator(cache_ + "/thumbnails/normal"), fs::directory_iterator{}), 1);
}

TEST_F(ThumbCache, StaleDamagedForeignAndHostileFilesMissAndAreReplaced) {
  const std::string file = cache_file(picture_);
  char uri[1024];
  ASSERT_EQ(thumb_cache_uri(picture_.c_str(), uri, sizeof uri), 0);
  const std::string u = uri;
  struct Case {
    const char* what;
    std::function<void()> spoil;
  };
  const Case cases[] = {
      {"picture changed", [&] { set_mtime(picture_, 1600000000); }},
      {"cache file truncated", [&] { fs::resize_file(file, fs::file_size(file) / 2); }},
      {"not a PNG", [&] { write_file(file, {'G', 'I', 'F', '8', '9', 'a', 0, 0}); }},
      {"written for another file",
       [&] { write_file(file, foreign_png(8, 8, {"Thumb::URI=file:///elsewhere.png", "Thumb::MTime=1600000000"})); }},
      {"MTime not a number",
       [&] { write_file(file, foreign_png(8, 8, {"Thumb::URI=" + u, "Thumb::MTime=16e8"})); }},
      {"size differs",
       [&] { write_file(file, foreign_png(8, 8, {"Thumb::URI=" + u, "Thumb::MTime=1600000000", "Thumb::Size=1"})); }},
      {"huge picture in a small file",
       [&] { write_file(file, foreign_png(60000, 60000, {"Thumb::URI=" + u, "Thumb::MTime=1600000000"})); }},
      {"no chunks at all", [&] { write_file(file, foreign_png(8, 8, {})); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(store_thumbnail(picture_), 0);
    ASSERT_EQ(lookup(picture_, 46), 0);
    c.spoil();
    EXPECT_EQ(lookup(picture_, 46), kStatusCannotOpen);
    ASSERT_EQ(store_thumbnail(picture_), 0);
    EXPECT_EQ(lookup(picture_, 46), 0);
  }
}

TEST_F(ThumbCache, UsesThumbnailsOfOtherProgramsWithChunksAfterTheImage) {
  char uri[1024];
  ASSERT_EQ(thumb_cache_uri(picture_.c_str(), uri, sizeof uri), 0);
  fs::create_directories(cache_ + "/thumbnails/normal");
  write_file(cache_file(picture_),
             foreign_png(128, 96, {"Software=another program", std::string("Thumb::URI=") + uri,
                                   "Thumb::MTime=1500000000"}));
  int32_t w = 0, h = 0;
  EXPECT_EQ(lookup(picture_, 128, &w, &h), 0);
  EXPECT_EQ(w, 128);
  EXPECT_EQ(h, 96);
}

TEST_F(ThumbCache, FailureRecordsLastUntilTheFileChanges) {
  EXPECT_FALSE(thumb_cache_failed(picture_.c_str()));
  ASSERT_EQ(thumb_cache_mark_failed(picture_.c_str()), 0);
  EXPECT_TRUE(thumb_cache_failed(picture_.c_str()));
  char name[kThumbNameSize];
  ASSERT_EQ(thumb_cache_name(picture_.c_str(), name, sizeof name), 0);
  const std::string record = cache_ + "/thumbnails/fail/lumora-" LUMORA_TEST_VERSION "/" + name;
  EXPECT_EQ(mode_of(record), 0600u);
  EXPECT_EQ(mode_of(fs::path(record).parent_path().string()), 0700u);
  EXPECT_EQ(lookup(picture_, 46), kStatusCannotOpen);  // a failure record is no thumbnail
  set_mtime(picture_, 1600000000);
  EXPECT_FALSE(thumb_cache_failed(picture_.c_str()));
  // Files that cannot be read get neither thumbnails nor records, and none for the cache itself.
  EXPECT_EQ(thumb_cache_mark_failed((dir_ + "/missing.png").c_str()), kStatusCannotOpen);
  ASSERT_EQ(store_thumbnail(picture_), 0);
  const std::string inside = cache_file(picture_);
  EXPECT_EQ(store_thumbnail(inside), kStatusCannotOpen);
}

TEST_F(ThumbCache, AnUnwritableCacheNeverFailsTheCaller) {
  struct Case {
    const char* what;
    std::function<void()> setup;
    int store_status;
  };
  const Case cases[] = {
      // A file where the cache folder should be (works also for root, whom modes do not stop).
      {"file in the way", [&] { write_file(cache_, {1}); }, kStatusCannotCreate},
      {"no home", [&] { unsetenv("XDG_CACHE_HOME"); unsetenv("HOME"); }, kStatusCannotOpen},
      {"read-only folder",
       [&] {
         fs::create_directories(cache_ + "/thumbnails");
         fs::permissions(cache_ + "/thumbnails", fs::perms::owner_read | fs::perms::owner_exec);
       },
       kStatusCannotCreate},
  };
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) == "read-only folder" && geteuid() == 0) continue;  // root writes anyway
    std::error_code ec;
    fs::remove_all(cache_, ec);
    c.setup();
    EXPECT_EQ(store_thumbnail(picture_), c.store_status);
    EXPECT_EQ(lookup(picture_, 46), kStatusCannotOpen);
    EXPECT_EQ(thumb_cache_mark_failed(picture_.c_str()), c.store_status);
    EXPECT_FALSE(thumb_cache_failed(picture_.c_str()));
    setenv("XDG_CACHE_HOME", cache_.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    fs::permissions(cache_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(cache_ + "/thumbnails", fs::perms::owner_all, fs::perm_options::add, ec);
  }
  // A full disk: writes beyond 64 bytes fail (EFBIG), and no temporary file is left behind.
  std::error_code ec;
  fs::remove_all(cache_, ec);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = old;
  tiny.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  LoadParams p;
  load_params_init(&p);
  p.max_width = p.max_height = 128;
  Bitmap b{};
  const int loaded = load_image(picture_.c_str(), &b, &p, nullptr);
  const int stored = loaded == 0 ? thumb_cache_store(picture_.c_str(), &b) : -1;
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);
  bitmap_free(&b);
  EXPECT_EQ(stored, kStatusWriteError);
  EXPECT_EQ(std::distance(fs::directory_iterator(cache_ + "/thumbnails/normal"), fs::directory_iterator{}), 0);
  EXPECT_EQ(lookup(picture_, 46), kStatusCannotOpen);
}

// The file's own bytes, read without the library: the size and the text chunks the standard asks for.
TEST_F(ThumbCache, TheFileCarriesTheStandardsChunks) {
  ASSERT_EQ(store_thumbnail(picture_), 0);
  const test::Bytes png = test::read_file(cache_file(picture_));
  const auto [ihdr, ihdr_length] = test::png_find_chunk(png, "IHDR");
  ASSERT_EQ(ihdr_length, 13u);
  EXPECT_EQ(test::Bytes(png.begin() + static_cast<long>(ihdr), png.begin() + static_cast<long>(ihdr) + 8),
            (test::Bytes{0, 0, 0, 128, 0, 0, 0, 96}));
  std::vector<std::string> texts;
  for (const test::Bytes& chunk : test::png_all_chunks(png, "tEXt")) {
    std::string text(chunk.begin(), chunk.end());
    ASSERT_NE(text.find('\0'), std::string::npos);
    text[text.find('\0')] = '=';
    texts.push_back(text);
  }
  std::sort(texts.begin(), texts.end());
  char uri[1024];
  ASSERT_EQ(thumb_cache_uri(picture_.c_str(), uri, sizeof uri), 0);
  EXPECT_EQ(texts, (std::vector<std::string>{"Software=Lumora " LUMORA_TEST_VERSION, "Thumb::MTime=1500000000",
                                             "Thumb::Size=" + std::to_string(fs::file_size(picture_)),
                                             std::string("Thumb::URI=") + uri}));
}

}  // namespace
}  // namespace lumora
