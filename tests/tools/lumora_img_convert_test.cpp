// lumora-img convert, thumbs and frames, run as processes on pictures the test writes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "support/cli_runner.h"

using namespace lumora;
using lumora_test::RunResult;
using lumora_test::slurp;

namespace {

class LumoraImgConvert : public lumora_test::LibraryCliTest {
 protected:

  // A colour picture with a horizontal ramp, written with the library's own writer.
  void write_picture(const std::string& name, const char* format, int width, int height) {
    Bitmap b;
    ASSERT_EQ(bitmap_alloc(&b, kPixRGB, 4, width, height), 1);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        uint8_t* p = bitmap_row(&b, y) + 3 * x;
        p[0] = static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));
        p[1] = static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));
        p[2] = 128;
      }
    SaveParams sp;
    save_params_init(&sp);
    sp.format_index = static_cast<int16_t>(format_find(format));
    sp.quality = 90;
    ASSERT_EQ(save_image(path(name).c_str(), &b, &sp), 0) << name;
    bitmap_free(&b);
  }

  // Loads a file as the tool's checks need it: RGB, no limit.
  bool load(const std::string& name, Bitmap* out, FileInfo* info) {
    LoadParams p;
    load_params_init(&p);
    *out = Bitmap{};
    *info = FileInfo{};
    return load_image(path(name).c_str(), out, &p, info) == 0;
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
    Bitmap b;
    FileInfo info;
    ASSERT_TRUE(load(c.out_file, &b, &info)) << c.args;
    EXPECT_STREQ(format_name(info.format_index), c.format.c_str()) << c.args;
    EXPECT_EQ(b.width, c.width) << c.args;
    EXPECT_EQ(b.height, c.height) << c.args;
    bitmap_free(&b);
    file_info_free(&info);
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
    Bitmap b;
    FileInfo info;
    ASSERT_TRUE(load(e.name, &b, &info)) << e.name;
    EXPECT_LE(b.width, e.max_w) << e.name;
    EXPECT_LE(b.height, e.max_h) << e.name;
    EXPECT_TRUE(b.width == e.max_w || b.height == e.max_h) << e.name << " fills the box on one side";
    bitmap_free(&b);
    file_info_free(&info);
  }
  EXPECT_EQ(run("thumbs --size 20x10 --smooth -o small pics/wide.jpg").exit_code, 0);
  Bitmap b;
  FileInfo info;
  ASSERT_TRUE(load("small/wide.png", &b, &info));
  EXPECT_EQ(b.width, 20);
  EXPECT_EQ(b.height, 5);
  bitmap_free(&b);
  file_info_free(&info);
}

// Appends 3-bit LZW codes LSB first: a clear code before every pixel keeps the code width fixed.
std::vector<uint8_t> lzw_two_colour_stream(const std::vector<int>& pixels) {
  std::vector<int> codes;
  for (int p : pixels) {
    codes.push_back(4);  // clear
    codes.push_back(p);
  }
  codes.push_back(5);  // end of information
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int bits = 0;
  for (int c : codes) {
    acc |= static_cast<uint32_t>(c) << bits;
    bits += 3;
    while (bits >= 8) {
      out.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits) out.push_back(static_cast<uint8_t>(acc));
  return out;
}

TEST_F(LumoraImgConvert, FramesWritesEveryFrameWithItsDelay) {
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0,
                              0, 0, 0, 255, 255, 255};  // 2x2 canvas, black and white
  const int delays[] = {10, 25};                         // hundredths of a second
  const std::vector<int> pixels[] = {{0, 1, 1, 0}, {1, 1, 1, 1}};
  for (int f = 0; f < 2; ++f) {
    const uint8_t gce[] = {0x21, 0xF9, 4, 0, static_cast<uint8_t>(delays[f]), 0, 0, 0};
    gif.insert(gif.end(), std::begin(gce), std::end(gce));
    const uint8_t desc[] = {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2};
    gif.insert(gif.end(), std::begin(desc), std::end(desc));
    std::vector<uint8_t> data = lzw_two_colour_stream(pixels[f]);
    gif.push_back(static_cast<uint8_t>(data.size()));
    gif.insert(gif.end(), data.begin(), data.end());
    gif.push_back(0);
  }
  gif.push_back(0x3B);
  lumora_test::write_bytes(path("anim.gif"), gif);
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
