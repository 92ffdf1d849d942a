// The walk: sections in order, sub-directories, GPS, the thumbnail directory, byte orders, and
// blocks that lie (loops, offsets outside the block, huge counts, truncation).
#include <gtest/gtest.h>

#include "imagelib/metadata/exif.h"
#include "tests/support/exif_block.h"

namespace lumora::test {
namespace {

constexpr uint32_t kCam = kExifSectionCamera, kImg = kExifSectionImage, kIop = kExifSectionIop,
                   kGps = kExifSectionGps, kThumb = kExifSectionThumbnail;

// A camera block with every directory kind.
std::vector<uint8_t> full_block(bool big_endian) {
  IfdBlock b(big_endian);
  int ifd0 = b.add_ifd(), exif = b.add_ifd(), iop = b.add_ifd(), gps = b.add_ifd(), ifd1 = b.add_ifd();
  b.add_ascii(ifd0, 0x10F, "Acme");
  b.add_ascii(ifd0, 0x110, "Model 1");
  b.add_short(ifd0, 0x112, {1});
  b.link(ifd0, 0x8769, exif);
  b.link(ifd0, 0x8825, gps);
  b.add_short(ifd0, 0x9999, {5});  // unknown tag: no line
  b.set_next(ifd0, ifd1);
  b.add_rational(exif, 0x829A, {{1, 60}});
  b.add_short(exif, 0x8827, {100});
  b.link(exif, 0xA005, iop);
  b.add_ascii(iop, 0x1, "R98");
  b.add_undefined(iop, 0x2, "0100");
  b.add_byte(gps, 0x0, {2, 2, 0, 0});
  b.add_ascii(gps, 0x1, "N");
  b.add_rational(gps, 0x2, {{52, 1}, {30, 1}, {1234, 100}});
  b.add_ascii(gps, 0x3, "W");
  b.add_rational(gps, 0x4, {{4, 1}, {15, 2}, {0, 0}});
  b.add_byte(gps, 0x5, {1});
  b.add_rational(gps, 0x7, {{14, 1}, {27, 1}, {724, 100}});
  b.add_ascii(gps, 0xA, "3");
  b.add_ascii(gps, 0x12, "WGS-84");
  b.add_short(gps, 0x1E, {1});
  b.add_long(ifd1, 0x201, {1000});
  b.add_long(ifd1, 0x202, {5000});
  return b.build_exif();
}

TEST(ExifWalk, SectionsComeInOrderWithTheirLines) {
  std::vector<Line> expected = {
      {kCam, 0, "Camera", "<header>"},
      {kCam, 0x10F, "Camera Manufacturer", "Acme"},
      {kCam, 0x110, "Camera Model", "Model 1"},
      {kCam, 0x112, "Orientation", "top-left (1)"},
      {kImg, 0, "Image", "<header>"},
      {kImg, 0x829A, "Exposure time [s]", "1/60"},
      {kImg, 0x8827, "ISO speed ratings", "100"},
      {kImg, 0xA005, "Interoperability offset", ""},  // text checked below
      {kIop, 0, "IOP", "<header>"},
      {kIop, 0x1, "IOP index", "R98"},
      {kIop, 0x2, "IOP version", "0100"},
      {kGps, 0, "GPS", "<header>"},
      {kGps, 0, "Version ID", "2.2.0.0"},
      {kGps, 0, "Latitude Ref", "North"},
      {kGps, 0, "Latitude", "52\xB0 30' 12.34\""},
      {kGps, 0, "Longitude Ref", "West"},
      {kGps, 0, "Longitude", "4\xB0 15/2' 0.00\""},
      {kGps, 0, "Haltitude Ref", "Below Sea Level"},
      {kGps, 0, "TimeStamp", "14:27:07.24"},
      {kGps, 0, "Measure Mode", "3-Dimensional Measurement"},
      {kGps, 0, "Map Datum", "WGS-84"},
      {kGps, 0, "Differential", "Differential Corrected"},
      {kGps, 0, "Position", "52.503428, -4.125000"},
      {kThumb, 0, "Thumbnail", "<header>"},
      {kThumb, 0x201, "Thumbnail offset", "1000"},
      {kThumb, 0x202, "Thumbnail length", "5000"},
  };
  for (bool be : {false, true}) {
    std::vector<Line> lines;
    ASSERT_EQ(collect_lines(full_block(be), &lines), 1);
    ASSERT_EQ(lines.size(), expected.size()) << (be ? "MM" : "II");
    for (size_t i = 0; i < lines.size(); ++i) {
      if (expected[i].tag == 0xA005) {
        EXPECT_EQ(lines[i].name, expected[i].name);
        continue;
      }
      EXPECT_EQ(lines[i], expected[i]) << i << (be ? " MM" : " II");
    }
  }
}

// Coordinates stored as SRATIONAL (as phones write them) read as the RATIONAL the GPS table
// expects when no part is negative; the position line needs both coordinates and both letters.
TEST(ExifWalk, GpsCoordinatesAndPosition) {
  using Parts = std::vector<std::pair<uint32_t, uint32_t>>;
  const Parts latitude = {{60, 1}, {8, 1}, {4814, 100}}, longitude = {{24, 1}, {54, 1}, {2438, 100}};
  struct Case {
    const char* name;
    uint16_t type;
    Parts lat;
    const char* lat_ref;  // null: no entry
    const char* lon_ref;
    const char* latitude_text;
    const char* position;
  };
  const Case cases[] = {
      {"unsigned", 5, latitude, "N", "E", "60\xB0 8' 48.14\"", "60.146706, 24.906772"},
      {"signed, no negative part", 10, latitude, "N", "E", "60\xB0 8' 48.14\"", "60.146706, 24.906772"},
      {"south and west", 10, latitude, "S", "W", "60\xB0 8' 48.14\"", "-60.146706, -24.906772"},
      {"signed, negative degrees", 10, {{0xFFFFFFC4u, 1}, {8, 1}, {4814, 100}}, "N", "E", "<none>", "<none>"},
      {"signed, negative denominator", 10, {{60, 0xFFFFFFFFu}, {8, 1}, {0, 1}}, "N", "E", "<none>", "<none>"},
      {"degrees only", 5, {{605, 10}}, "N", "E", "121/2", "60.500000, 24.906772"},
      {"no longitude letter", 5, latitude, "N", nullptr, "60\xB0 8' 48.14\"", "<none>"},
      {"unknown letter", 5, latitude, "X", "E", "60\xB0 8' 48.14\"", "<none>"},
      {"no degrees", 5, {{0, 0}, {8, 1}, {0, 1}}, "N", "E", "0\xB0 8' 0.00\"", "<none>"},
      {"beyond the pole", 5, {{91, 1}, {0, 1}, {0, 1}}, "N", "E", "91\xB0 0' 0.00\"", "<none>"},
  };
  for (bool be : {false, true}) {
    for (const Case& c : cases) {
      IfdBlock b(be);
      int ifd0 = b.add_ifd(), gps = b.add_ifd();
      b.link(ifd0, 0x8825, gps);
      if (c.lat_ref) b.add_ascii(gps, 0x1, c.lat_ref);
      b.add_rational(gps, 0x2, c.lat, c.type);
      if (c.lon_ref) b.add_ascii(gps, 0x3, c.lon_ref);
      b.add_rational(gps, 0x4, longitude, c.type);
      std::vector<Line> lines = lines_of(b.build_exif());
      EXPECT_EQ(text_of(lines, kGps, "Latitude"), c.latitude_text) << c.name;
      EXPECT_EQ(text_of(lines, kGps, "Position"), c.position) << c.name << (be ? " MM" : " II");
    }
  }
}

TEST(ExifWalk, RefusesBadHeadersAndFindsTheChunk) {
  std::vector<uint8_t> good = full_block(false);
  struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> spoil;
  } cases[] = {
      {"byte order", [](auto& v) { v[6] = 'X'; }},
      {"mixed order mark", [](auto& v) { v[7] = 'M'; }},
      {"magic", [](auto& v) { v[8] = 43; }},
      {"prefix", [](auto& v) { v[4] = 1; }},
      {"too short", [](auto& v) { v.resize(10); }},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> block = good;
    c.spoil(block);
    std::vector<Line> lines;
    EXPECT_EQ(collect_lines(block, &lines), 0) << c.what;
    EXPECT_TRUE(lines.empty()) << c.what;
  }
  // The Exif chunk is found among others; a kind-2 chunk with Exif bytes is not one.
  ChunkHolder exif(kChunkExif, good), other(kChunkIptc, good);
  other.chunk.next = &exif.chunk;
  EXPECT_EQ(exif_present(&other.chunk), 1);
  EXPECT_EQ(exif_present(&exif.chunk), 1);
  EXPECT_EQ(exif_present(nullptr), 0);
  EXPECT_EQ(exif_enumerate(&other.chunk, nullptr, nullptr), 1);
  other.chunk.next = nullptr;
  EXPECT_EQ(exif_present(&other.chunk), 0);
  ChunkHolder five(kChunkExif, {'E', 'x', 'i', 'f', 0});
  EXPECT_EQ(exif_present(&five.chunk), 0);
}

TEST(ExifWalk, LoopsEndTheWalk) {
  struct {
    const char* what;
    std::function<void(IfdBlock&, int ifd0, int exif)> wire;
    size_t headers;  // section headers expected
  } cases[] = {
      // next-IFD of the Exif directory points back to IFD0 (before it: ignored)
      {"next back to IFD0", [](IfdBlock& b, int ifd0, int exif) { b.set_next(exif, ifd0); }, 2},
      // IFD0's next is the Exif directory, already walked
      {"next to walked exif", [](IfdBlock& b, int ifd0, int exif) { b.set_next(ifd0, exif); }, 2},
      // the Exif directory names itself as Exif and GPS directory
      {"exif names itself", [](IfdBlock& b, int, int exif) { b.link(exif, 0x8825, exif); }, 2},
      // the GPS link points to IFD0
      {"gps at IFD0", [](IfdBlock& b, int ifd0, int) { b.link(ifd0, 0x8825, ifd0); }, 2},
  };
  for (const auto& c : cases) {
    for (bool be : {false, true}) {
      IfdBlock b(be);
      int ifd0 = b.add_ifd(), exif = b.add_ifd();
      b.add_ascii(ifd0, 0x110, "M");
      b.link(ifd0, 0x8769, exif);
      b.add_short(exif, 0x8827, {100});
      c.wire(b, ifd0, exif);
      std::vector<Line> lines = lines_of(b.build_exif());
      size_t headers = 0, iso = 0;
      for (const Line& l : lines) headers += l.text == "<header>", iso += l.name == "ISO speed ratings";
      EXPECT_EQ(headers, c.headers) << c.what;
      EXPECT_EQ(iso, 1u) << c.what;
    }
  }
}

TEST(ExifWalk, EntriesPointingOutsideAreSkipped) {
  for (bool be : {false, true}) {
    IfdBlock b(be);
    int ifd0 = b.add_ifd();
    b.add_ascii(ifd0, 0x10F, "Before");
    b.add_raw(ifd0, 0x10E, 2, 100, 0xFFFFFF00u);        // text far outside
    b.add_raw(ifd0, 0x131, 2, 0x7FFFFFFF, 8);           // count larger than the block
    b.add_raw(ifd0, 0x11A, 5, 0x40000000u, 8);          // byte size overflows 32 bits
    b.add_raw(ifd0, 0x102, 4, 0x40000001u, 8);          // 4 x count wraps to 4
    b.add_raw(ifd0, 0x103, 0, 1, 5);                    // type 0
    b.add_raw(ifd0, 0x106, 13, 1, 5);                   // type above 12
    b.add_raw(ifd0, 0x8769, 4, 1, 0x10000000u);         // Exif directory outside
    b.add_ascii(ifd0, 0x110, "After");
    b.set_next_raw(ifd0, 0xFFFFFFF0u);                  // thumbnail outside
    std::vector<Line> lines = lines_of(b.build_exif());
    std::vector<Line> expected = {{kCam, 0, "Camera", "<header>"},
                                  {kCam, 0x10F, "Camera Manufacturer", "Before"},
                                  {kCam, 0x110, "Camera Model", "After"}};
    EXPECT_EQ(lines, expected) << (be ? "MM" : "II");
  }
}

TEST(ExifWalk, DirectoryRunningPastTheEndIsSkipped) {
  IfdBlock b(false);
  int ifd0 = b.add_ifd();
  b.add_short(ifd0, 0x112, {1});
  std::vector<uint8_t> block = b.build_exif();
  block[6 + 8] = 200;  // entry count far beyond the block
  EXPECT_EQ(lines_of(block), (std::vector<Line>{{kCam, 0, "Camera", "<header>"}}));
  // Entries ending exactly at the end of the data (no next-IFD field) are still read.
  block[6 + 8] = 1;
  block.resize(block.size() - 4);
  EXPECT_EQ(text_of(lines_of(block), kCam, "Orientation"), "top-left (1)");
}

TEST(ExifWalk, EveryTruncationYieldsAPrefixOfTheLines) {
  for (bool be : {false, true}) {
    std::vector<uint8_t> block = full_block(be);
    std::vector<Line> all = lines_of(block);
    for (size_t size = 0; size < block.size(); ++size) {
      std::vector<uint8_t> cut(block.begin(), block.begin() + static_cast<long>(size));
      std::vector<Line> lines = lines_of(cut);  // must not read past `size` (ASan)
      EXPECT_LE(lines.size(), all.size());
    }
  }
}

TEST(ExifWalk, LongChainOfThumbnailDirectoriesIsBounded) {
  IfdBlock b(false);
  std::vector<int> ifds;
  for (int i = 0; i < 100; ++i) ifds.push_back(b.add_ifd());
  for (int i = 0; i < 99; ++i) b.set_next(ifds[i], ifds[i + 1]);
  b.add_short(ifds[0], 0x112, {1});
  std::vector<Line> lines = lines_of(b.build_exif());
  EXPECT_GT(lines.size(), 5u);
  EXPECT_LT(lines.size(), 40u);
}

}  // namespace
}  // namespace lumora::test
