// The quality estimate against the tables libjpeg's own quality scaling produces, and the choice
// of the DCT scale for quick decoding.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "imagelib/codecs/jpeg/jpeg.h"

namespace lumora {
namespace {

// Tables of jpeg_set_quality(q) for a colour or a grey compressor, in natural order.
struct Tables {
  uint16_t q[2][64];
};

Tables libjpeg_tables(int quality, bool colour) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  c.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
  c.input_components = colour ? 3 : 1;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  Tables t{};
  for (int s = 0; s < 2; ++s)
    for (int i = 0; i < 64; ++i) t.q[s][i] = c.quant_tbl_ptrs[s]->quantval[i];
  jpeg_destroy_compress(&c);
  return t;
}

TEST(JpegQualityTest, EstimatesTheQualityLibjpegWroteWith) {
  for (bool colour : {true, false}) {
    for (int quality : {5, 10, 25, 50, 60, 75, 85, 90, 95, 98, 100}) {
      const Tables t = libjpeg_tables(quality, colour);
      const uint16_t* slots[4] = {t.q[0], colour ? t.q[1] : nullptr, nullptr, nullptr};
      const int estimate = jpeg_estimate_quality(slots);
      EXPECT_NEAR(estimate, quality, 1) << (colour ? "colour" : "grey") << " q" << quality;
    }
  }
}

TEST(JpegQualityTest, NoFirstTableMeansUnknown) {
  const Tables t = libjpeg_tables(75, true);
  const uint16_t* slots[4] = {nullptr, t.q[1], nullptr, nullptr};
  EXPECT_EQ(jpeg_estimate_quality(slots), -1);
}

TEST(JpegQualityTest, ScaleDenominatorIsThePowerOfTwoNotBelowTheBox) {
  struct Case {
    uint32_t w, h;
    int32_t max_w, max_h;
    unsigned denom;
  };
  const Case cases[] = {
      {1600, 1200, 160, 160, 4},   // ratios 10 and 7.5: 1/4 gives 400 x 300
      {4000, 3000, 46, 46, 8},
      {4000, 3000, 240, 320, 8},   // ratios 16.7 and 9.4
      {4000, 3000, 1000, 750, 4},
      {4000, 3000, 1001, 750, 2},  // width ratio 3.996
      {800, 600, 400, 300, 2},
      {800, 600, 401, 300, 1},
      {100, 50, 160, 120, 1},      // the box is larger: full size
      {100, 50, -1, -1, 1},        // no box
      {100, 50, 0, 10, 1},         // half a box
      {65500, 65500, 1, 1, 8},
  };
  for (const Case& c : cases)
    EXPECT_EQ(jpeg_scale_denominator(c.w, c.h, c.max_w, c.max_h), c.denom)
        << c.w << "x" << c.h << " in " << c.max_w << "x" << c.max_h;
}

}  // namespace
}  // namespace lumora
