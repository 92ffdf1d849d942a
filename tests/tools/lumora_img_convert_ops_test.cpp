// lumora-img convert's picture operations (--rotate, --tone, --colors) end to end: the pixels
// that come out of the written file, not only its size.
#include <gtest/gtest.h>

#include <string>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "support/cli_runner.h"

using namespace lumora;
using lumora_test::RunResult;

namespace {

constexpr int kW = 5, kH = 3;

// Source colour of pixel (x, y): 15 distinct colours.
uint32_t source_rgb(int x, int y) {
  return (uint32_t(40 * x + 10) << 16) | (uint32_t(60 * y + 20) << 8) | uint32_t(17 * (x + y));
}

class LumoraImgConvertOps : public lumora_test::LibraryCliTest {
 protected:
  void SetUp() override {
    LibraryCliTest::SetUp();
    Bitmap b;
    ASSERT_EQ(bitmap_alloc(&b, kPixRGB, 4, kW, kH), 1);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        uint8_t* p = bitmap_row(&b, y) + 3 * x;
        const uint32_t c = source_rgb(x, y);
        p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
      }
    SaveParams sp;
    save_params_init(&sp);
    sp.format_index = static_cast<int16_t>(format_find("bmp"));
    ASSERT_EQ(save_image(path("in.bmp").c_str(), &b, &sp), 0);
    bitmap_free(&b);
  }

  // Loads a written file as top-down red, green, blue and returns pixel colours row by row.
  std::vector<uint32_t> colours(const std::string& name, int* w, int* h) {
    LoadParams p;
    load_params_init(&p);
    p.flags = kLoadForceColor | kLoadPrefer3Byte;  // 3-byte colour whatever the file holds
    Bitmap b{};
    FileInfo info{};
    std::vector<uint32_t> out;
    if (load_image(path(name).c_str(), &b, &p, &info) == 0 && b.type == kPixRGB) {
      *w = b.width, *h = b.height;
      for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
          const uint8_t* q = bitmap_row(&b, y) + 3 * x;
          out.push_back((uint32_t(q[0]) << 16) | (uint32_t(q[1]) << 8) | q[2]);
        }
    }
    bitmap_free(&b);
    file_info_free(&info);
    return out;
  }
};

TEST_F(LumoraImgConvertOps, RotationsTurnTheWayTheySay) {
  const struct {
    const char* angle;
    int w, h;
  } cases[] = {{"90", kH, kW}, {"-90", kH, kW}, {"180", kW, kH}};
  for (const auto& c : cases) {
    const RunResult r = run(std::string("convert --rotate ") + c.angle + " in.bmp out.bmp");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    int w = 0, h = 0;
    const std::vector<uint32_t> got = colours("out.bmp", &w, &h);
    ASSERT_EQ(w, c.w);
    ASSERT_EQ(h, c.h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::string a = c.angle;
        const uint32_t want = a == "90"    ? source_rgb(y, kH - 1 - x)
                              : a == "-90" ? source_rgb(kW - 1 - y, x)
                                           : source_rgb(kW - 1 - x, kH - 1 - y);
        EXPECT_EQ(got[size_t(y * w + x)], want) << c.angle << " at " << x << "," << y;
      }
  }
}

TEST_F(LumoraImgConvertOps, ToneAndColoursReachThePixels) {
  int w = 0, h = 0;
  // Contrast 128 thresholds every component at 128.
  ASSERT_EQ(run("convert --tone 0,128,1.0 in.bmp t.bmp").exit_code, 0);
  std::vector<uint32_t> got = colours("t.bmp", &w, &h);
  ASSERT_EQ(got.size(), size_t(kW * kH));
  for (int i = 0; i < kW * kH; ++i) {
    const uint32_t s = source_rgb(i % kW, i / kW);
    uint32_t want = 0;
    for (int shift : {16, 8, 0}) want |= (((s >> shift) & 0xFF) >= 128 ? 0xFFu : 0u) << shift;
    EXPECT_EQ(got[size_t(i)], want) << i;
  }
  // 15 colours fit a 16-colour palette exactly.
  ASSERT_EQ(run("convert --colors 16 in.bmp p.bmp").exit_code, 0);
  got = colours("p.bmp", &w, &h);
  ASSERT_EQ(got.size(), size_t(kW * kH));
  for (int i = 0; i < kW * kH; ++i) EXPECT_EQ(got[size_t(i)], source_rgb(i % kW, i / kW)) << i;
}

TEST_F(LumoraImgConvertOps, BadValuesAreUsageErrors) {
  for (const char* args : {"--tone 1,2", "--tone 0,200,1.0", "--tone 0,0,0", "--tone a,0,1",
                           "--colors 8", "--rotate 30", "--rotate"})
    EXPECT_EQ(run(std::string("convert ") + args + " in.bmp out.bmp").exit_code, 1) << args;
}

}  // namespace
