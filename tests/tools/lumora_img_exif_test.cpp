// lumora-img exif, run as a process on a JPEG written by the library with Exif and IPTC blocks
// built by the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "tests/support/iptc_block.h"
#include "support/cli_runner.h"

namespace lumora::test {
namespace {

std::vector<uint8_t> exif_block() {
  IfdBlock b(true);
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

std::vector<uint8_t> iptc_block() { return photoshop(iim({{2, 25, "sea"}, {2, 25, "sun"}})); }

class LumoraImgExif : public lumora_test::LibraryCliTest {
 protected:
  int run(const std::string& args, std::string* out) {
    lumora_test::RunResult r = LibraryCliTest::run(args);
    *out = r.out;
    return r.exit_code;
  }
  // An 8 x 8 JPEG carrying `chunks`.
  std::string write_jpeg(const std::string& name, bool with_metadata,
                         std::vector<uint8_t> exif = exif_block()) {
    Bitmap bitmap{};
    EXPECT_EQ(bitmap_alloc(&bitmap, kPixRGB, 1, 8, 8), 1);
    if (with_metadata) {
      std::vector<uint8_t> iptc = iptc_block();
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

// Python's json module reads the --json output back (as strict UTF-8) and prints it in the
// tab-separated form, which must give the lines of the text output.
TEST_F(LumoraImgExif, JsonGivesTheSameLines) {
  if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not installed";
  IfdBlock b(false);
  int ifd0 = b.add_ifd(), gps = b.add_ifd();
  b.add_ascii(ifd0, 0x10F, "Canon");
  b.add_ascii(ifd0, 0x10E, "say \"hi\" \\ tab\there\x7F");  // JSON escapes
  b.add_ascii(ifd0, 0x131, "\xED\xA0\x80 surrogate");    // not UTF-8: read as Latin-1
  b.add_ascii(ifd0, 0x13B, "Zo\xC3\xAB");                  // UTF-8 already
  b.link(ifd0, 0x8825, gps);
  b.add_ascii(gps, 0x1, "S");
  b.add_rational(gps, 0x2, {{33, 1}, {51, 1}, {5400, 100}}, 10);
  b.add_ascii(gps, 0x3, "E");
  b.add_rational(gps, 0x4, {{151, 1}, {12, 1}, {3600, 100}}, 10);
  const std::string file = write_jpeg("meta.jpg", true, b.build_exif());

  lumora_test::RunResult text = LibraryCliTest::run("exif '" + file + "'");
  ASSERT_EQ(text.exit_code, 0);
  EXPECT_NE(text.out.find("Camera\t305\tSoftware\t\xC3\xAD\xC2\xA0\xC2\x80 surrogate\n"), std::string::npos);
  EXPECT_NE(text.out.find("Camera\t315\tArtist\tZo\xC3\xAB\n"), std::string::npos);
  EXPECT_NE(text.out.find("GPS\t0\tPosition\t-33.865000, 151.210000\n"), std::string::npos);

  lumora_test::RunResult json = LibraryCliTest::run("exif --json '" + file + "'");
  ASSERT_EQ(json.exit_code, 0);
  lumora_test::write_bytes(path("out.json"), std::vector<uint8_t>(json.out.begin(), json.out.end()));
  EXPECT_NE(json.out.find(R"("value": "say \"hi\" \\ tab here ")"), std::string::npos);
  setenv("LUMORA_PY",
         "import json, sys\n"
         "lines = json.loads(open(sys.argv[1], encoding='utf-8', errors='strict').read())\n"
         "for o in lines:\n"
         "    assert sorted(o) == ['name', 'section', 'tag', 'value'], o\n"
         "    t = o['section'] if o['value'] is None else '%s\\t%d\\t%s\\t%s' % (o['section'], o['tag'], o['name'], o['value'])\n"
         "    sys.stdout.buffer.write((t + '\\n').encode('utf-8'))\n",
         1);
  const int rc = std::system(("python3 -c \"$LUMORA_PY\" '" + path("out.json") + "' > '" + path("back.txt") + "'").c_str());
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(lumora_test::slurp(path("back.txt")), text.out);

  // No metadata: an empty array.
  json = LibraryCliTest::run("exif --json '" + write_jpeg("plain.jpg", false) + "'");
  EXPECT_EQ(json.exit_code, 0);
  EXPECT_EQ(json.out, "[]\n");
}

TEST_F(LumoraImgExif, NoMetadataAndErrors) {
  std::string out;
  EXPECT_EQ(run("exif '" + write_jpeg("plain.jpg", false) + "'", &out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(run("exif '" + dir_ + "/missing.jpg'", &out), 13);
  EXPECT_EQ(run("exif", &out), 1);
  EXPECT_EQ(run("exif a.jpg b.jpg", &out), 1);
  EXPECT_EQ(run("exif --help", &out), 0);
  EXPECT_NE(out.find("usage: lumora-img exif [--json] FILE"), std::string::npos);
}

}  // namespace
}  // namespace lumora::test
