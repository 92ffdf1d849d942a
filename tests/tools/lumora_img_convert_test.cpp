// lumora-img convert, thumbs and frames, run as processes on pictures the test writes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "support/cli_runner.h"
#include "tests/support/gif_file.h"
#include "tests/support/saved_picture.h"

using namespace lumora;
using lumora_test::RunResult;
using lumora_test::slurp;

namespace {

class LumoraImgConvert : public lumora_test::LibraryCliTest {
 protected:
  // A colour picture with ramps, written with the library's own writer.
  void write_picture(const std::string& name, const char* format, int width, int height) {
    const auto ramp = [](int x, int y, uint8_t* p) {
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[2] = 128;
    };
    ASSERT_EQ(test::save_picture(path(name), format_find(format), width, height, ramp), 0) << name;
  }
};

TEST_F(LumoraImgConvert, ConvertPicksTheWriterAndReportsFailures) {
  write_picture("in.bmp", "bmp", 40, 30);
  struct Case {
    std::string args;
    int exit_code;
    std::string out_file, format;  // expected output and the reader that must accept it
    int width, height;
  } cases[] = {
      {"convert in.bmp out.png", 0, "out.png", "png", 40, 30},
      {"convert in.bmp out.jpg", 0, "out.jpg", "jpeg", 40, 30},
      {"convert in.bmp out.gif", 0, "out.gif", "gif", 40, 30},
      {"convert in.bmp out.tga", 0, "out.tga", "tga", 40, 30},
      {"convert --format png in.bmp out.pic", 0, "out.pic", "png", 40, 30},
      {"convert --resize 20x15 in.bmp small.png", 0, "small.png", "png", 20, 15},
      {"convert --rotate 90 in.bmp turned.bmp", 0, "turned.bmp", "bmp", 30, 40},
      {"convert --colors bw in.bmp bw.png", 0, "bw.png", "png", 40, 30},
      {"convert in.bmp out.tif", 18, "", "", 0, 0},      // TIFF has no writer: status 8
      {"convert missing.bmp out.png", 13, "", "", 0, 0},
      {"convert in.bmp", 1, "", "", 0, 0},
      {"convert --rotate 45 in.bmp x.png", 1, "", "", 0, 0},
  };
  for (const Case& c : cases) {
    const RunResult r = run(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args << "\n" << r.err;
    if (c.out_file.empty()) continue;
    const test::RgbPicture out = test::load_rgb(path(c.out_file));
    ASSERT_EQ(out.status, 0) << c.args;
    EXPECT_EQ(out.format, c.format) << c.args;
    EXPECT_EQ(out.width, c.width) << c.args;
    EXPECT_EQ(out.height, c.height) << c.args;
  }
}

TEST_F(LumoraImgConvert, FailedConvertLeavesTheOldFileAlone) {
  write_picture("in.bmp", "bmp", 8, 8);
  lumora_test::write_bytes(path("keep.png"), {'o', 'l', 'd'});
  lumora_test::write_bytes(path("broken.bmp"), {'B', 'M', 1, 2, 3});
  EXPECT_NE(run("convert broken.bmp keep.png").exit_code, 0);
  EXPECT_EQ(slurp(path("keep.png")), "old");
  EXPECT_EQ(run("convert in.bmp keep.png").exit_code, 0);
  EXPECT_NE(slurp(path("keep.png")), "old");
}

TEST_F(LumoraImgConvert, ThumbsFitTheBoxAndCountFailures) {
  ASSERT_EQ(mkdir(path("pics").c_str(), 0755), 0);
  write_picture("pics/wide.jpg", "jpeg", 400, 100);
  write_picture("pics/tall.png", "png", 60, 300);
  lumora_test::write_bytes(path("pics/bad.gif"), {'G', 'I', 'F', '8', '9', 'a', 0});
  const RunResult r = run("thumbs --quiet -o out pics");
  EXPECT_EQ(r.exit_code, 12) << r.err;  // the broken GIF is the last failure
  EXPECT_NE(r.err.find("2 thumbnails, 1 failed"), std::string::npos) << r.err;
  struct Expect {
    const char* name;
    int max_w, max_h;
  } expects[] = {{"out/wide.png", 46, 46}, {"out/tall.png", 46, 46}};
  for (const Expect& e : expects) {
    const test::RgbPicture thumb = test::load_rgb(path(e.name));
    ASSERT_EQ(thumb.status, 0) << e.name;
    EXPECT_LE(thumb.width, e.max_w) << e.name;
    EXPECT_LE(thumb.height, e.max_h) << e.name;
    EXPECT_TRUE(thumb.width == e.max_w || thumb.height == e.max_h) << e.name << " fills the box on one side";
  }
  EXPECT_EQ(run("thumbs --size 20x10 --smooth -o small pics/wide.jpg").exit_code, 0);
  const test::RgbPicture small = test::load_rgb(path("small/wide.png"));
  EXPECT_EQ(small.width, 20);
  EXPECT_EQ(small.height, 5);
}

TEST_F(LumoraImgConvert, FramesWritesEveryFrameWithItsDelay) {
  test::GifBuilder gif;
  gif.header(2, 2, 1, 0, "GIF89a", {{0, 0, 0}, {255, 255, 255}});
  gif.control(0, 10, -1).image(0, 0, 2, 2, {0, 1, 1, 0});  // delays in hundredths of a second
  gif.control(0, 25, -1).image(0, 0, 2, 2, {1, 1, 1, 1}).trailer();
  lumora_test::write_bytes(path("anim.gif"), gif.bytes);
  const RunResult r = run("frames anim.gif out");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "000\t100\n001\t250\n");
  const std::string first = slurp(path("out/frame_000.pam"));
  const std::string header = "P7\nWIDTH 2\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  ASSERT_EQ(first.substr(0, header.size()), header);
  const std::string body = first.substr(header.size());
  ASSERT_EQ(body.size(), 16u);
  const uint8_t expect[] = {0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 255};
  EXPECT_EQ(std::memcmp(body.data(), expect, 16), 0);
  EXPECT_FALSE(slurp(path("out/frame_001.pam")).empty());
  EXPECT_EQ(run("frames missing.gif out").exit_code, 13);
}

}  // namespace
