// The formatted values of single tags, each in a block built in both byte orders.
#include <gtest/gtest.h>

#include <functional>

#include "imagelib/metadata/exif.h"
#include "tests/support/exif_block.h"

namespace lumora::test {
namespace {

using Add = std::function<void(IfdBlock&, int ifd)>;

struct Case {
  const char* what;
  bool in_exif_ifd;   // else IFD0
  Add add;
  const char* name;
  const char* expected;  // "<none>" when no line may come
};

const Case kCases[] = {
    {"exposure 1/250", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x829A, {{1, 250}}); }, "Exposure time [s]", "1/250"},
    {"exposure 2 s", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x829A, {{2, 1}}); }, "Exposure time [s]", "2.00"},
    {"exposure 1/(2^32-1)", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x829A, {{1, 0xFFFFFFFFu}}); }, "Exposure time [s]", "1/4294967295"},
    {"exposure 0.3 s", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x829A, {{3, 10}}); }, "Exposure time [s]", "0.30"},
    {"shutter speed APEX 8", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x9201, {{8, 1}}, 10); }, "Shutter speed [s]", "1/256"},
    {"shutter speed APEX -1", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x9201, {{0xFFFFFFFFu, 1}}, 10); }, "Shutter speed [s]", "2.00"},
    {"f-number 2.8", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x829D, {{28, 10}}); }, "F-Number", "2.8"},
    {"aperture APEX 4", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x9202, {{4, 1}}); }, "Aperture", "F4.0"},
    {"max aperture APEX 3", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x9205, {{3, 1}}); }, "Max aperture", "F2.8"},
    {"metering 9 unknown", true, [](IfdBlock& b, int d) { b.add_short(d, 0x9207, {9}); }, "Metering mode", "Other (9)"},
    {"metering 1", true, [](IfdBlock& b, int d) { b.add_short(d, 0x9207, {1}); }, "Metering mode", "Average (1)"},
    {"orientation 6", false, [](IfdBlock& b, int d) { b.add_short(d, 0x112, {6}); }, "Orientation", "right-top (6)"},
    {"x resolution 72/1", false, [](IfdBlock& b, int d) { b.add_rational(d, 0x11A, {{72, 1}}); }, "X Resolution", "72"},
    {"x resolution 720000/10000", false, [](IfdBlock& b, int d) { b.add_rational(d, 0x11A, {{720000, 10000}}); }, "X Resolution", "72/1"},
    {"bias -2/6", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x9204, {{0xFFFFFFFEu, 6}}, 10); }, "Exposure bias value", "-1/3"},
    {"resolution unit inch", false, [](IfdBlock& b, int d) { b.add_short(d, 0x128, {2}); }, "Resolution unit", "Inch"},
    {"resolution unit 7", false, [](IfdBlock& b, int d) { b.add_short(d, 0x128, {7}); }, "Resolution unit", "7"},
    {"focal FLOAT 35", true, [](IfdBlock& b, int d) { b.add_float(d, 0x920A, 35.0f); }, "Focal length [mm]", "35."},
    {"focal 5.8", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x920A, {{58, 10}}); }, "Focal length [mm]", "5.8"},
    {"focal DOUBLE 7.25", true, [](IfdBlock& b, int d) { b.add_double(d, 0x920A, 7.25); }, "Focal length [mm]", "7.25"},
    {"user comment", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0x9286, std::string("ASCII\0\0\0Hello", 13)); }, "User comment", "Hello"},
    {"user comment blank", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0x9286, std::string("ASCII\0\0\0    text", 17)); }, "User comment", "<none>"},
    {"user comment too short", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0x9286, std::string("ASCII\0\0\0", 8)); }, "User comment", "<none>"},
    {"exif version", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0x9000, "0220"); }, "EXIF version", "02.20"},
    {"exif version wrong size", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0x9000, "022"); }, "EXIF version", "<none>"},
    {"components YCbCr", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0x9101, std::string("\1\2\3\0", 4)); }, "Components configuration", "YCbCr"},
    {"components RGB", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0x9101, std::string("\4\5\6\0", 4)); }, "Components configuration", "RGB uncompressed"},
    {"components other", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0x9101, std::string("\1\2\3\4", 4)); }, "Components configuration", "4030201"},
    {"colour space sRGB", true, [](IfdBlock& b, int d) { b.add_short(d, 0xA001, {1}); }, "Colour space", "sRGB"},
    {"colour space uncalibrated", true, [](IfdBlock& b, int d) { b.add_short(d, 0xA001, {65535}); }, "Colour space", "Uncalibrated"},
    {"flash fired", true, [](IfdBlock& b, int d) { b.add_short(d, 0x9209, {0x19}); }, "Flash", "Flash fired"},
    {"flash off", true, [](IfdBlock& b, int d) { b.add_short(d, 0x9209, {0x10}); }, "Flash", "No flash"},
    {"subject distance 37/10", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x9206, {{37, 10}}); }, "Subject distance (m)", "4"},
    {"subject distance 5/0", true, [](IfdBlock& b, int d) { b.add_rational(d, 0x9206, {{5, 0}}); }, "Subject distance (m)", "5/0"},
    {"subject distance SHORT", true, [](IfdBlock& b, int d) { b.add_short(d, 0x9206, {5}); }, "Subject distance (m)", "<none>"},
    {"file source", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0xA300, std::string("\3", 1)); }, "File source", "DSC"},
    {"scene type", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0xA301, std::string("\1", 1)); }, "Scene type", "A directly photographed image"},
    {"scene type 2", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0xA301, std::string("\2", 1)); }, "Scene type", "2"},
    {"ISO array first value", true, [](IfdBlock& b, int d) { b.add_short(d, 0x8827, {200, 400}); }, "ISO speed ratings", "200"},
    {"SSHORT keeps its sign", true, [](IfdBlock& b, int d) { b.add_short(d, 0x9203, {0xFFFB}, 8); }, "Brightness", "-5"},
    {"SLONG keeps its sign", true, [](IfdBlock& b, int d) { b.add_long(d, 0x9203, {0xFFFFFFFEu}, 9); }, "Brightness", "-2"},
    {"LONG above 2^31", false, [](IfdBlock& b, int d) { b.add_long(d, 0x100, {3000000000u}); }, "Image width", "3000000000"},
    {"SBYTE", true, [](IfdBlock& b, int d) { b.add_byte(d, 0x9203, {0xFF}, 6); }, "Brightness", "-1"},
    {"ASCII long text cut", false, [](IfdBlock& b, int d) { b.add_ascii(d, 0x10E, std::string(400, 'x')); }, "Image description", nullptr},
    {"date", true, [](IfdBlock& b, int d) { b.add_ascii(d, 0x9003, "2004:05:06 07:08:09"); }, "Date taken", "2004:05:06 07:08:09"},
    {"ASCII empty", false, [](IfdBlock& b, int d) { b.add_ascii(d, 0x131, ""); }, "Software", "<none>"},
    {"UNDEFINED to first zero", true, [](IfdBlock& b, int d) { b.add_undefined(d, 0xA420, std::string("abc\0def", 7)); }, "Image unique ID", "abc"},
    {"value table on ASCII", true, [](IfdBlock& b, int d) { b.add_short(d, 0xA406, {3}); }, "Scene capture type", "Night scene (3)"},
    {"count 0 entry", true, [](IfdBlock& b, int d) { b.add_bytes(d, 0x9203, 3, {}, 0); }, "Brightness", "<none>"},
};

class ExifFormat : public ::testing::TestWithParam<bool> {};

TEST_P(ExifFormat, EachTagGivesItsText) {
  for (const Case& c : kCases) {
    IfdBlock b(GetParam());
    int ifd0 = b.add_ifd();
    int exif = b.add_ifd();
    b.link(ifd0, 0x8769, exif);
    c.add(b, c.in_exif_ifd ? exif : ifd0);
    std::vector<Line> lines = lines_of(b.build_exif());
    uint32_t section = c.in_exif_ifd ? kExifSectionImage : kExifSectionCamera;
    std::string got = text_of(lines, section, c.name);
    if (c.expected == nullptr) {
      EXPECT_EQ(got, std::string(255, 'x')) << c.what;
    } else {
      EXPECT_EQ(got, c.expected) << c.what;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, ExifFormat, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "MM" : "II"; });

TEST(ExifFormatPieces, RationalAndShortFloat) {
  struct {
    int64_t n, d;
    const char* text;
  } rationals[] = {{0, 7, "0"}, {5, 1, "5"}, {5, 0, "5/0"}, {-4, 6, "-2/3"}, {4, -6, "2/-3"}, {9, 3, "3/1"}};
  char out[kExifTextSize];
  for (const auto& r : rationals) {
    exif_format_rational(r.n, r.d, out, sizeof out);
    EXPECT_STREQ(out, r.text) << r.n << "/" << r.d;
  }
  struct {
    double v;
    const char* text;
  } floats[] = {{35.0, "35."}, {5.8, "5.8"}, {0.125, "0.125"}, {-2.5, "-2.5"}, {100, "100."}};
  for (const auto& f : floats) {
    exif_format_short_float(f.v, out, sizeof out);
    EXPECT_STREQ(out, f.text) << f.v;
  }
  char tiny[4];
  exif_format_short_float(123456.0, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "123");
}

TEST(ExifFormatPieces, MakerFromMake) {
  struct {
    const char* make;
    int maker;
  } rows[] = {{"Canon", kMakerCanon}, {"OLYMPUS OPTICAL CO.,LTD", kMakerOlympus},
              {"FUJIFILM", kMakerFujifilm}, {"NIKON CORPORATION", kMakerNikon},
              {"CASIO COMPUTER CO.,LTD.", kMakerCasio}, {"Minolta Co., Ltd.", kMakerMinolta},
              {"SIGMA", kMakerSigma}, {"FOVEON", kMakerSigma}, {"SANYO Electric Co.,Ltd.", kMakerSanyo},
              {"KONICA MINOLTA", kMakerNone}, {"Nikkon", kMakerNone}, {"", kMakerNone}};
  for (const auto& r : rows) EXPECT_EQ(exif_maker_from_make(r.make), r.maker) << r.make;
}

}  // namespace
}  // namespace lumora::test
