// lumora-img exif, run as a process on a JPEG written by the library with Exif and IPTC blocks
// built by the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "metadata/exif_builder.h"
#include "support/cli_runner.h"

namespace lumora::test {
namespace {

std::vector<uint8_t> exif_block() {
  TiffBuilder b(true);
  int ifd0 = b.add_ifd(), exif = b.add_ifd(), gps = b.add_ifd();
  b.add_ascii(ifd0, 0x10F, "Acme");
  b.add_ascii(ifd0, 0x10E, "line one\nline two");
  b.add_ascii(ifd0, 0x13B, "Ren\xE9");  // 8-bit text
  b.link(ifd0, 0x8769, exif);
  b.link(ifd0, 0x8825, gps);
  b.add_rational(exif, 0x829A, {{1, 250}});
  b.add_ascii(gps, 0x1, "N");
  b.add_rational(gps, 0x2, {{52, 1}, {30, 1}, {1234, 100}});
  return b.build_exif();
}

std::vector<uint8_t> iptc_block() {
  std::string s("Photoshop 3.0", 14);
  std::string iim = std::string("\x1C\x02\x19\0\3sea", 8) + std::string("\x1C\x02\x19\0\3sun", 8);
  s += std::string("8BIM\x04\x04\0\0\0\0\0", 11) + static_cast<char>(iim.size()) + iim;
  return std::vector<uint8_t>(s.begin(), s.end());
}

class LumoraImgExif : public lumora_test::CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    library_start();
  }
  void TearDown() override {
    library_stop();
    CliTest::TearDown();
  }
  int run(const std::string& args, std::string* out) {
    lumora_test::RunResult r = CliTest::run(args);
    *out = r.out;
    return r.exit_code;
  }
  // An 8 x 8 JPEG carrying `chunks`.
  std::string write_jpeg(const std::string& name, bool with_metadata) {
    Bitmap bitmap{};
    EXPECT_EQ(bitmap_alloc(&bitmap, kPixRGB, 1, 8, 8), 1);
    if (with_metadata) {
      std::vector<uint8_t> exif = exif_block(), iptc = iptc_block();
      chunk_append(&bitmap.chunks, kChunkExif, exif.data(), static_cast<uint32_t>(exif.size()));
      chunk_append(&bitmap.chunks, kChunkIptc, iptc.data(), static_cast<uint32_t>(iptc.size()));
    }
    SaveParams params;
    save_params_init(&params);
    params.format_index = kFormatJpeg;
    params.write_exif = 1;
    params.write_iptc = 1;
    std::string path = dir_ + "/" + name;
    EXPECT_EQ(save_image(path.c_str(), &bitmap, &params), 0);
    bitmap_free(&bitmap);
    return path;
  }
};

TEST_F(LumoraImgExif, PrintsTabSeparatedUtf8Lines) {
  std::string out;
  ASSERT_EQ(run("exif '" + write_jpeg("meta.jpg", true) + "'", &out), 0);
  EXPECT_EQ(out,
            "Camera\n"
            "Camera\t271\tCamera Manufacturer\tAcme\n"
            "Camera\t270\tImage description\tline one line two\n"
            "Camera\t315\tArtist\tRen\xC3\xA9\n"
            "Image\n"
            "Image\t33434\tExposure time [s]\t1/250\n"
            "GPS\n"
            "GPS\t0\tLatitude Ref\tNorth\n"
            "GPS\t0\tLatitude\t52\xC2\xB0 30' 12.34\"\n"
            "IPTC\t25\tKeywords\tsea,sun\n");
}

TEST_F(LumoraImgExif, NoMetadataAndErrors) {
  std::string out;
  EXPECT_EQ(run("exif '" + write_jpeg("plain.jpg", false) + "'", &out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(run("exif '" + dir_ + "/missing.jpg'", &out), 13);
  EXPECT_EQ(run("exif", &out), 1);
  EXPECT_EQ(run("exif a.jpg b.jpg", &out), 1);
  EXPECT_EQ(run("exif --help", &out), 0);
  EXPECT_NE(out.find("usage: lumora-img exif FILE"), std::string::npos);
}

}  // namespace
}  // namespace lumora::test
