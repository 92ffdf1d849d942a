// lumora-img convert's picture operations (--rotate, --tone, --colors) end to end: the pixels
// that come out of the written file, not only its size.
#include <gtest/gtest.h>

#include <string>

#include "imagelib/core/format.h"
#include "support/cli_runner.h"
#include "tests/support/saved_picture.h"

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
    const auto source = [](int x, int y, uint8_t* p) {
      const uint32_t c = source_rgb(x, y);
      p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
    };
    ASSERT_EQ(test::save_picture(path("in.bmp"), kFormatBmp, kW, kH, source), 0);
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

TEST_F(LumoraImgConvertOps, ToneAndColoursReachThePixels) {
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

TEST_F(LumoraImgConvertOps, BadValuesAreUsageErrors) {
  for (const char* args : {"--tone 1,2", "--tone 0,200,1.0", "--tone 0,0,0", "--tone a,0,1",
                           "--colors 8", "--rotate 30", "--rotate"})
    EXPECT_EQ(run(std::string("convert ") + args + " in.bmp out.bmp").exit_code, 1) << args;
}

}  // namespace
