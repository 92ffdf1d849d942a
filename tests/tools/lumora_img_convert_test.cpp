// lumora-img convert, thumbs and frames, run as processes on pictures the test writes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "support/cli_runner.h"
#include "tests/support/gif_file.h"
#include "tests/support/png_file.h"
#include "tests/support/saved_picture.h"

using namespace lumora;
using lumora_test::RunResult;
using lumora_test::slurp;

namespace {

uint32_t ramp(int x, int y) { return (uint32_t(x) << 16) | (uint32_t(y) << 8) | 128; }

// The operation tests' picture, kW x kH: 15 distinct colours on both sides of 128.
constexpr int kW = 5, kH = 3;
uint32_t source_rgb(int x, int y) {
  return (uint32_t(40 * x + 10) << 16) | (uint32_t(60 * y + 20) << 8) | uint32_t(17 * (x + y));
}

// A busy picture: half of its JPEG file lies well inside the image data.
uint32_t stripes(int x, int y) {
  uint32_t c = 0;
  for (int k = 0; k < 3; ++k) c = (c << 8) | uint8_t((3 * x + k) * 5 + y * 7);
  return c;
}

class LumoraImgConvert : public lumora_test::LibraryCliTest {
 protected:
  // A colour picture written with the library's own writer; colour(x, y) is 0xRRGGBB.
  void write_picture(const std::string& name, const char* format, int width, int height,
                     uint32_t (*colour)(int, int) = ramp) {
    const auto pixel = [&](int x, int y, uint8_t* p) {
      const uint32_t c = colour(x, y);
      p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
    };
    ASSERT_EQ(test::save_picture(path(name), format_find(format), width, height, pixel), 0) << name;
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

// The picture operations (--rotate, --tone, --colors) end to end: the pixels that come out of
// the written file, not only its size.
TEST_F(LumoraImgConvert, RotationsTurnTheWayTheySay) {
  write_picture("in.bmp", "bmp", kW, kH, source_rgb);
  const struct {
    const char* angle;
    int w, h;
  } cases[] = {{"90", kH, kW}, {"-90", kH, kW}, {"180", kW, kH}};
  for (const auto& c : cases) {
    const RunResult r = run(std::string("convert --rotate ") + c.angle + " in.bmp out.bmp");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const test::RgbPicture got = test::load_rgb(path("out.bmp"));
    ASSERT_EQ(got.width, c.w);
    ASSERT_EQ(got.height, c.h);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const std::string a = c.angle;
        const uint32_t want = a == "90"    ? source_rgb(y, kH - 1 - x)
                              : a == "-90" ? source_rgb(kW - 1 - y, x)
                                           : source_rgb(kW - 1 - x, kH - 1 - y);
        EXPECT_EQ(got.at(x, y), want) << c.angle << " at " << x << "," << y;
      }
  }
}

TEST_F(LumoraImgConvert, ToneAndColoursReachThePixels) {
  write_picture("in.bmp", "bmp", kW, kH, source_rgb);
  // Contrast 128 thresholds every component at 128.
  ASSERT_EQ(run("convert --tone 0,128,1.0 in.bmp t.bmp").exit_code, 0);
  test::RgbPicture got = test::load_rgb(path("t.bmp"));
  ASSERT_EQ(got.pixels.size(), size_t(kW * kH));
  for (int i = 0; i < kW * kH; ++i) {
    const uint32_t s = source_rgb(i % kW, i / kW);
    uint32_t want = 0;
    for (int shift : {16, 8, 0}) want |= (((s >> shift) & 0xFF) >= 128 ? 0xFFu : 0u) << shift;
    EXPECT_EQ(got.pixels[size_t(i)], want) << i;
  }
  // 15 colours fit a 16-colour palette exactly.
  ASSERT_EQ(run("convert --colors 16 in.bmp p.bmp").exit_code, 0);
  got = test::load_rgb(path("p.bmp"));
  ASSERT_EQ(got.pixels.size(), size_t(kW * kH));
  for (int i = 0; i < kW * kH; ++i) EXPECT_EQ(got.pixels[size_t(i)], source_rgb(i % kW, i / kW)) << i;
}

TEST_F(LumoraImgConvert, BadValuesAreUsageErrors) {
  write_picture("in.bmp", "bmp", kW, kH, source_rgb);
  for (const char* args : {"--tone 1,2", "--tone 0,200,1.0", "--tone 0,0,0", "--tone a,0,1",
                           "--colors 8", "--rotate 30", "--rotate"})
    EXPECT_EQ(run(std::string("convert ") + args + " in.bmp out.bmp").exit_code, 1) << args;
}

// Files that end early: what could be decoded is still written, a warning names the file and the
// load's own status, and the exit status is 2 (as djpeg's for a result with warnings); intact
// files exit 0 without a word. Which damage each reader reports as incomplete is checked by the
// reader tests.
TEST_F(LumoraImgConvert, FilesEndingEarlyAreWrittenWithAWarningAndExitTwo) {
  struct Case {
    const char* ext;
    int format;
    std::function<size_t(const test::Bytes&)> cut_at;
  };
  const Case cases[] = {
      {"png",  // inside the image data
       kFormatPng,
       [](const test::Bytes& b) {
         const auto [at, n] = test::png_find_chunk(b, "IDAT");
         return at + n / 2;
       }},
      {"jpg", kFormatJpeg, [](const test::Bytes& b) { return b.size() / 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext);
    const std::string good = std::string("good.") + c.ext, bad = std::string("bad.") + c.ext;
    write_picture(good, format_name(c.format), 48, 32, stripes);
    const std::string file = slurp(path(good));
    const test::Bytes intact(file.begin(), file.end());
    ASSERT_GT(intact.size(), 60u);
    const test::Bytes damaged(intact.begin(), intact.begin() + static_cast<long>(c.cut_at(intact)));
    lumora_test::write_bytes(path(bad), damaged);
    const std::string warning =
        "lumora-img: " + bad + ": file ends early (status 4); the picture is incomplete\n";

    RunResult r = run("decode " + good + " good.pam");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    r = run("decode " + bad + " bad.pam");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(slurp(path("bad.pam")).rfind("P7\n", 0), 0u);

    r = run("convert " + good + " good_out.bmp");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    r = run("convert " + bad + " bad_out.bmp");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, warning);
    EXPECT_FALSE(slurp(path("bad_out.bmp")).empty());

    r = run("thumbs --quiet -o th " + good);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "1 thumbnails, 0 failed\n");
    r = run("thumbs --quiet -o th " + good + " " + bad);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, warning + "2 thumbnails, 0 failed\n");
    EXPECT_FALSE(slurp(path("th/bad.png")).empty());
    // A failure decides over a warning.
    r = run("thumbs --quiet -o th " + bad + " missing." + c.ext);
    EXPECT_EQ(r.exit_code, 13);
  }
}

}  // namespace
