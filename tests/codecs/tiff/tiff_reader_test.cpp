// The TIFF reader on files built byte by byte: the description record and its defaults, byte
// orders, metadata, colour models, the smaller compressions and the failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imagelib/core/status.h"
#include "tests/support/jpeg_file.h"
#include "tests/support/exif_block.h"
#include "tests/support/tiff_file.h"

namespace lumora {
namespace {

using namespace test;

::testing::Environment* const library_env =
    ::testing::AddGlobalTestEnvironment(new test::LibraryEnvironment);

std::vector<uint8_t> bytes_of(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s)); }

// Descriptions written by hand, each lacking or bending something the reader must cope with.
TEST(TiffReader, UnusualDescriptions) {
  struct Case {
    const char* what;
    bool big_endian;
    void (*fields)(TiffFile&, uint32_t strip);
    std::vector<uint8_t> want;   // the first row's pixel bytes
  };
  auto short_offset = [](TiffFile& t, uint32_t at) {
    t.add(256, 3, {2}).add(257, 3, {1}).add(258, 3, {8}).add(262, 3, {1}).add(273, 3, {at}).add(279, 3, {2});
  };
  const Case cases[] = {
      // A SHORT offset sits in the first half of the value field.
      {"SHORT strip offset", false, short_offset, {1, 2}},
      {"SHORT strip offset, MM", true, short_offset, {1, 2}},
      // An RGB page with one bits-per-sample value and no sample count has three samples.
      {"RGB without a sample count", false, [](TiffFile& t, uint32_t at) {
         t.add(256, 3, {2}).add(257, 3, {1}).add(258, 3, {8}).add(262, 3, {2}).add(273, 4, {at}).add(279, 4, {6});
       }, {1, 2, 3, 4, 5, 6}},
      // A field of an unknown type cannot be read and is skipped: the compression stays 1.
      {"compression of an unknown type", false, [](TiffFile& t, uint32_t at) {
         t.add(256, 3, {2}).add(257, 3, {1}).add(258, 3, {8}).add(262, 3, {1}).add(273, 4, {at});
         t.add(279, 4, {2}).add_raw(259, 0, 1, 99);
       }, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t(c.big_endian);
    c.fields(t, t.data({1, 2, 3, 4, 5, 6}));
    LoadedPicture l;
    load_tiff(t.build(), &l);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(std::vector<uint8_t>(l.bitmap.pixels, l.bitmap.pixels + c.want.size()), c.want);
  }
}

// Orientation gives the row order; resolutions by unit (centimetres converted, no unit divided as
// integers, a zero denominator or an unknown unit leave it unset); positions in pixels.
TEST(TiffReader, OrientationResolutionAndPosition) {
  struct Case {
    const char* what;
    std::vector<std::pair<uint16_t, std::vector<uint64_t>>> fields;   // tag, SHORT or RATIONAL values
    uint16_t row_order;
    int16_t xdpi, ydpi;
    uint32_t x, y;   // reader values 0 and 1: the position in pixels
  };
  const Case cases[] = {
      {"orientation 1", {{274, {1}}}, 0, 0, 0, 0, 0},
      {"orientation 2", {{274, {2}}}, 1, 0, 0, 0, 0},
      {"orientation 3", {{274, {3}}}, 17, 0, 0, 0, 0},
      {"orientation 4", {{274, {4}}}, 16, 0, 0, 0, 0},
      {"orientation 6", {{274, {6}}}, 0, 0, 0, 0, 0},
      {"centimetres", {{282, {300, 1}}, {283, {300, 1}}, {296, {3}}}, 0, 761, 761, 0, 0},
      {"inches", {{282, {300, 1}}, {283, {300, 1}}, {296, {2}}}, 0, 300, 300, 0, 0},
      {"no unit", {{282, {601, 2}}, {283, {601, 2}}, {296, {1}}}, 0, 300, 300, 0, 0},
      {"zero denominator", {{282, {300, 0}}, {283, {300, 0}}, {296, {2}}}, 0, 0, 0, 0, 0},
      {"unknown unit", {{282, {300, 1}}, {283, {300, 1}}, {296, {9}}}, 0, 0, 0, 0, 0},
      {"position", {{282, {100, 1}}, {283, {50, 1}}, {286, {3, 2}}, {287, {2, 1}}}, 0, 100, 50, 150, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t;
    basic_page(t, 2, 2, 8, 1, 1, 1, {1, 2, 3, 4});
    for (const auto& [tag, values] : c.fields) t.add(tag, values.size() == 2 ? 5 : 3, values);
    LoadedPicture l;
    load_tiff(t.build(), &l);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.info.row_order, c.row_order);
    EXPECT_EQ(l.info.xdpi, c.xdpi);
    EXPECT_EQ(l.info.ydpi, c.ydpi);
    EXPECT_EQ(l.info.reader_values[0], c.x);
    EXPECT_EQ(l.info.reader_values[1], c.y);
  }
}

TEST(TiffReader, TextTagsBecomeCommentAndLines) {
  TiffFile t;
  basic_page(t, 1, 1, 8, 1, 1, 1, {7});
  t.add_text(270, "A harbour").add_text(271, "Cam").add_text(315, "Ann").add_text(33432, "(c) Ann");
  LoadedPicture l;
  load_tiff(t.build(), &l, kLoadKeepComment | kLoadKeepText);
  ASSERT_EQ(l.status, 0);
  ASSERT_NE(l.bitmap.comment, nullptr);
  EXPECT_STREQ(l.bitmap.comment, "A harbour");
  std::vector<std::string> lines(l.info.text_lines, l.info.text_lines + l.info.text_count);
  // Photometric first (read with its tag), then the text tags in their fixed order.
  const std::vector<std::string> want = {"Photometric Interpretation: Black=0", "Artist: Ann",
                                         "Copyright: (c) Ann", "Make: Cam"};
  EXPECT_EQ(lines, want);
}

// IPTC records, Photoshop resources and ICC profiles become metadata blocks; a profile only for
// 8-bit pages.
TEST(TiffReader, MetadataBlocks) {
  std::vector<uint8_t> iptc(100);
  for (size_t i = 0; i < iptc.size(); ++i) iptc[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> iptc_block = bytes_of("Photoshop 3.0");
  iptc_block.push_back(0);
  std::vector<uint8_t> resources_block = iptc_block;
  append(resources_block, bytes_of("8BIM resources"));
  append(iptc_block, {'8', 'B', 'I', 'M', 4, 4, 0, 0, 0, 0});
  append(iptc_block, iptc);
  struct Case {
    const char* what;
    uint32_t bits, tag;
    std::vector<uint8_t> payload;
    uint32_t kind;
    std::vector<uint8_t> want;   // empty: no block
  };
  const Case cases[] = {
      {"IPTC", 8, 33723, iptc, 2, iptc_block},
      {"Photoshop resources", 8, 34377, bytes_of("8BIM resources"), 2, resources_block},
      {"ICC profile", 8, 34675, bytes_of("profile bytes"), 4, bytes_of("profile bytes")},
      {"ICC profile of a 16-bit page", 16, 34675, bytes_of("profile bytes"), 4, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t;
    basic_page(t, 1, 1, c.bits, 1, 1, 1, {7, 7});
    t.add_bytes(c.tag, 7, c.payload);
    LoadedPicture l;
    load_tiff(t.build(), &l, kLoadKeepChunks);
    ASSERT_EQ(l.status, 0);
    const MetadataChunk* chunk = chunk_find(l.bitmap.chunks, c.kind);
    if (c.want.empty()) {
      EXPECT_EQ(chunk, nullptr);
      continue;
    }
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(chunk->data, chunk->data + chunk->size), c.want);
  }
}

// The Exif directory and the text tags are rebuilt into one Exif block, which the Exif reader
// reads back.
TEST(TiffReader, ExifDirectoryIsRebuilt) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    TiffFile t(big);
    // The Exif directory: ExposureTime 1/250 (RATIONAL at an offset) and ISO 200 (SHORT).
    IfdBlock exif(big, false);
    const int d = exif.add_ifd();
    exif.add_rational(d, 33434, {{1, 250}});
    exif.add_short(d, 34855, {200});
    const uint32_t exif_at = t.data(std::vector<uint8_t>(exif.build().size(), 0));
    basic_page(t, 1, 1, 8, 1, 1, 1, {7});
    t.add_text(271, "Cam").add_text(315, "Ann").add(34665, 4, {exif_at});
    std::vector<uint8_t> file = t.build();
    const std::vector<uint8_t> directory = exif.build(exif_at);
    std::copy(directory.begin(), directory.end(), file.begin() + exif_at);
    LoadedPicture l;
    load_tiff(file, &l, kLoadKeepChunks | kLoadKeepText);
    ASSERT_EQ(l.status, 0);
    // With the Exif record kept, the text tags are not repeated as lines.
    EXPECT_EQ(l.info.text_count, 1u);
    const MetadataChunk* c = chunk_find(l.bitmap.chunks, kChunkExif);
    ASSERT_NE(c, nullptr);
    const std::vector<Line> lines = lines_of(std::vector<uint8_t>(c->data, c->data + c->size));
    EXPECT_EQ(text_of(lines, kExifSectionCamera, "Camera Manufacturer"), "Cam");
    EXPECT_EQ(text_of(lines, kExifSectionCamera, "Artist"), "Ann");
    EXPECT_EQ(text_of(lines, kExifSectionImage, "Exposure time [s]"), "1/250");
    EXPECT_EQ(text_of(lines, kExifSectionImage, "ISO speed ratings"), "200");
  }
}

TEST(TiffReader, PaletteFourBit) {
  std::vector<uint64_t> map(48, 0);
  map[1] = 65535;        // entry 1 red
  map[32 + 15] = 65535;  // entry 15 blue
  TiffFile t;
  basic_page(t, 2, 1, 4, 1, 3, 1, {0x1F});
  t.add(320, 3, map);
  LoadedPicture l;
  load_tiff(t.build(), &l, kLoadForceColor);
  ASSERT_EQ(l.status, 0);
  ASSERT_EQ(l.bitmap.type, kPixRGB);
  const uint8_t red[3] = {255, 0, 0}, blue[3] = {0, 0, 255};
  EXPECT_EQ(std::memcmp(l.pixel(0, 0), red, 3), 0);
  EXPECT_EQ(std::memcmp(l.pixel(1, 0), blue, 3), 0);
}

TEST(TiffReader, YCbCrSubsampledBlocks) {
  // 3 x 2 pixels in 2 x 2 blocks: grey luma in the first block, a red shift in the second,
  // whose right half lies outside the picture.
  TiffFile t;
  basic_page(t, 3, 2, 8, 3, 6, 1, {10, 20, 30, 40, 128, 128, 100, 100, 100, 100, 128, 228});
  LoadedPicture l;
  load_tiff(t.build(), &l);
  ASSERT_EQ(l.status, 0);
  EXPECT_EQ(l.info.color_model, kModelYCbCr);
  const uint8_t grey[3] = {30, 30, 30};
  EXPECT_EQ(std::memcmp(l.pixel(0, 1), grey, 3), 0);
  // R = Y + (2 - 2 x 0.299) Cr, G = Y - 0.299 (2 - 2 x 0.299) Cr / 0.587 with Cr = 100.
  const uint8_t red[3] = {240, 28, 100};
  EXPECT_EQ(std::memcmp(l.pixel(2, 0), red, 3), 0);
  EXPECT_EQ(std::memcmp(l.pixel(2, 1), red, 3), 0);
}

TEST(TiffReader, CieLab) {
  TiffFile lab;
  basic_page(lab, 2, 1, 8, 3, 8, 1, {255, 0, 0, 0, 0, 0});
  LoadedPicture m;
  load_tiff(lab.build(), &m);
  ASSERT_EQ(m.status, 0);
  EXPECT_EQ(m.info.color_model, kModelLab);
  const uint8_t white[3] = {255, 255, 255}, black[3] = {0, 0, 0};
  EXPECT_EQ(std::memcmp(m.pixel(0, 0), white, 3), 0);
  EXPECT_EQ(std::memcmp(m.pixel(1, 0), black, 3), 0);
}

// Sample sizes other than the pipeline's own: above 8 bits the most significant 8 are kept, odd
// sizes below 8 are scaled to bytes, extra samples are dropped.
TEST(TiffReader, SampleSizes) {
  struct Case {
    const char* what;
    uint32_t width, bits, samples, photometric;
    std::vector<uint8_t> strip;
    uint32_t type;
    std::vector<uint8_t> want;   // the first row's pixel bytes
    bool big_endian = false;
    uint32_t compression = 1;
  };
  const Case cases[] = {
      {"12-bit grey", 2, 12, 1, 1, {0xAB, 0xC1, 0x23}, kPixGrey, {0xAB, 0x12}},
      {"6-bit grey", 2, 6, 1, 1, {0xFC, 0x80}, kPixGrey, {255, 8 * 255 / 63}},
      {"2-bit grey keeps four levels", 4, 2, 1, 1, {0x1B}, kPixGrey, {0, 1, 2, 3}},
      {"grey with alpha", 2, 8, 2, 1, {10, 255, 20, 0}, kPixGrey, {10, 20}},
      {"4-bit RGB", 1, 4, 3, 2, {0xF0, 0x80}, kPixRGB, {255, 0, 136}},
      {"16-bit RGB", 2, 16, 3, 2, {0x34, 0x12, 0x00, 0xFF, 0x80, 0x7F, 0, 0, 0, 0, 0xFF, 0xFF}, kPixRGB,
       {0x12, 0xFF, 0x7F, 0, 0, 0xFF}},
      // Whole-byte samples follow the file's byte order: the top byte is the last one here.
      {"24-bit grey", 1, 24, 1, 1, {0x12, 0x34, 0x56}, kPixGrey, {0x56}},
      {"24-bit RGB", 1, 24, 3, 2, {0, 0, 0x80, 0xFF, 0xFF, 0xFF, 1, 2, 3}, kPixRGB, {0x80, 0xFF, 3}},
      {"24-bit grey, MM", 1, 24, 1, 1, {0x12, 0x34, 0x56}, kPixGrey, {0x12}, true},
      // ThunderScan: raw 5; deltas +1, skip, -1; a run of one. 4-bit grey stays 16 levels.
      {"ThunderScan", 4, 4, 1, 1, {0xC5, 0x5B, 0x01}, kPixGrey, {5, 6, 5, 5}, false, 32809},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t(c.big_endian);
    basic_page(t, c.width, 1, c.bits, c.samples, c.photometric, c.compression, c.strip);
    LoadedPicture l;
    load_tiff(t.build(), &l);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.bitmap.type, c.type);
    EXPECT_EQ(std::vector<uint8_t>(l.bitmap.pixels, l.bitmap.pixels + c.want.size()), c.want);
  }
}

// LogL16 pixels: 0 is black; 2^-2 of full luminance is 256 x sqrt(0.25) = 128.
TEST(TiffReader, SgiLogLuminanceAndColour) {
  // LogL16 pages, as SGILog and (as libtiff writes them) as SGILog24 byte planes.
  for (uint32_t compression : {34676u, 34677u}) {
    SCOPED_TRACE(compression);
    TiffFile t;
    basic_page(t, 2, 1, 16, 1, 32844, compression, {2, 0x00, 0x3E, 2, 0x00, 0x00});
    LoadedPicture l;
    load_tiff(t.build(), &l);
    ASSERT_EQ(l.status, 0) << l.info.message;
    EXPECT_STREQ(l.info.compression_text, compression == 34676 ? "SGILog" : "SGILog24");
    EXPECT_EQ(*l.pixel(0, 0), 0);
    EXPECT_EQ(*l.pixel(1, 0), 128);
  }

  // LogLuv32 at the neutral chromaticity (u 0.2105, v 0.4737): a grey near 128.
  TiffFile c;
  basic_page(c, 1, 1, 32, 1, 32845, 34676, {1, 0x3E, 1, 0x00, 1, 86, 1, 194});
  LoadedPicture m;
  load_tiff(c.build(), &m);
  ASSERT_EQ(m.status, 0) << m.info.message;
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(m.pixel(0, 0)[k], 128, 4) << k;
}

// LogLuv24: 3-byte pixels, most significant byte first (10 bits of log luminance, 14 of colour
// index). Index 12266 is the square nearest the white point, so L 640 (Y about 0.25) is grey 128.
std::vector<uint8_t> luv24_pixels(const std::vector<std::pair<uint32_t, uint32_t>>& pixels) {
  std::vector<uint8_t> out;
  for (const auto& [l10, index] : pixels) {
    const uint32_t p = l10 << 14 | index;
    out.insert(out.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                           static_cast<uint8_t>(p)});
  }
  return out;
}

TEST(TiffReader, SgiLog24Colour) {
  // Grey, black (L 0), a red-magenta (as libtiff decodes it) and the white point (index past the
  // table), in two rows; libtiff writes these pages with 16 bits per sample.
  const std::vector<uint8_t> strip = luv24_pixels({{640, 12266}, {0, 9000}, {640, 12296}, {640, 16300}});
  TiffFile t;
  basic_page(t, 2, 2, 16, 3, 32845, 34677, strip);
  LoadedPicture l;
  load_tiff(t.build(), &l);
  ASSERT_EQ(l.status, 0) << l.info.message;
  EXPECT_STREQ(l.info.compression_text, "SGILog24");
  EXPECT_EQ(l.bitmap.type, kPixRGB);
  const uint8_t want[4][3] = {{128, 128, 128}, {0, 0, 0}, {199, 89, 117}, {128, 128, 128}};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(std::vector<uint8_t>(l.pixel(i % 2, i / 2), l.pixel(i % 2, i / 2) + 3),
              std::vector<uint8_t>(want[i], want[i] + 3)) << i;

  // A strip cut inside the second row ends the load with 4; kept, the first row stands.
  for (size_t keep : {size_t{7}, size_t{9}}) {
    SCOPED_TRACE(keep);
    TiffFile c;
    basic_page(c, 2, 2, 16, 3, 32845, 34677, std::vector<uint8_t>(strip.begin(), strip.begin() + keep));
    TempFile g(c.build());
    LoadedPicture m, kept;
    load_tiff(g.path(), &m);
    EXPECT_EQ(m.status, kStatusFileEndsEarly);
    load_tiff(g.path(), &kept, kLoadAcceptIncomplete);
    ASSERT_EQ(kept.status, 0);
    EXPECT_EQ(std::vector<uint8_t>(kept.pixel(0, 0), kept.pixel(0, 0) + 6),
              (std::vector<uint8_t>{128, 128, 128, 0, 0, 0}));
  }
}

// LZW in both variants: clear, 'A', 'B', end; old-style codes are least significant bit first.
std::vector<uint8_t> pack_codes(const std::vector<int>& codes, bool lsb_first) {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int n = 0;
  for (int c : codes) {
    if (lsb_first) {
      acc |= static_cast<uint32_t>(c) << n;
      n += 9;
      while (n >= 8) { out.push_back(acc & 0xFF); acc >>= 8; n -= 8; }
    } else {
      acc = (acc << 9) | static_cast<uint32_t>(c);
      n += 9;
      while (n >= 8) { out.push_back(static_cast<uint8_t>(acc >> (n - 8))); n -= 8; }
    }
  }
  if (n > 0) out.push_back(static_cast<uint8_t>(lsb_first ? acc : acc << (8 - n)));
  return out;
}

TEST(TiffReader, LzwVariantsAndBadFirstCode) {
  for (bool old_style : {false, true}) {
    SCOPED_TRACE(old_style);
    TiffFile t;
    basic_page(t, 3, 1, 8, 1, 1, 5, pack_codes({256, 65, 66, 258, 257}, old_style));
    LoadedPicture l;
    load_tiff(t.build(), &l);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(*l.pixel(0, 0), 65);
    EXPECT_EQ(*l.pixel(1, 0), 66);
    EXPECT_EQ(*l.pixel(2, 0), 65);   // code 258 = "AB", cut at the row's end
  }
  TiffFile t;
  basic_page(t, 2, 1, 8, 1, 1, 5, pack_codes({65, 66, 257}, false));
  LoadedPicture l;
  load_tiff(t.build(), &l);
  EXPECT_EQ(l.status, kStatusImpossible);
  EXPECT_STREQ(l.info.message, "TIFF : Bad LZW codes !");
}

TEST(TiffReader, CcittRle) {
  // Modified Huffman, rows byte-aligned: white 8; white 2 + black 6.
  TiffFile r;
  basic_page(r, 8, 2, 1, 1, 0, 2, {0x98, 0x72});
  LoadedPicture m;
  load_tiff(r.build(), &m);
  ASSERT_EQ(m.status, 0);
  EXPECT_EQ(m.info.compression, kCompCcittRle);
  EXPECT_EQ(m.bitmap.pixels[0], 0xFF);
  EXPECT_EQ(m.bitmap.pixels[m.bitmap.bytes_per_line], 0xC0);
}

// Old-style JPEG: the page is the JFIF stream at the interchange offset.
TEST(TiffReader, OldStyleJpegStream) {
  test::JpegSpec spec;
  spec.width = 24;
  spec.height = 16;
  const std::vector<uint8_t> jpeg = test::make_jpeg(spec);
  TiffFile t(true);
  const uint32_t at = t.data(jpeg);
  t.add(256, 4, {24}).add(257, 4, {16}).add(258, 3, {8, 8, 8}).add(277, 3, {3});
  t.add(259, 3, {6}).add(262, 3, {6}).add(513, 4, {at}).add(514, 4, {static_cast<uint32_t>(jpeg.size())});
  LoadedPicture l;
  load_tiff(t.build(), &l);
  ASSERT_EQ(l.status, 0);
  EXPECT_STREQ(l.info.description, "TIFF (jpeg)");
  EXPECT_EQ(l.bitmap.width, 24);
  EXPECT_EQ(l.bitmap.height, 16);
  EXPECT_EQ(l.bitmap.type, kPixRGB);
}

TEST(TiffReader, RefusedDescriptions) {
  struct Case {
    const char* what;
    uint32_t compression, photometric, bits;
    int status;
    const char* message;
    uint32_t sample_format = 1;
  };
  const Case cases[] = {
      {"unknown compression", 99, 1, 8, 9, "TIFF : Bad data compression algorithm !"},
      {"old-style JPEG without its stream", 6, 1, 8, 9, "TIFF : Bad data compression algorithm !"},
      {"SGILog24 on RGB", 34677, 2, 8, 9, "TIFF : Bad data compression algorithm !"},
      {"unknown photometric", 1, 7, 8, 9, "TIFF : Bad photometric interpretation !"},
      {"LogL data without SGILog coding", 1, 32844, 16, 9, "TIFF : Bad photometric interpretation !"},
      // No usable bit count before the description: the pipeline reports it as unusable.
      {"no bits", 1, 1, 0, 2, ""},
      {"33 bits", 1, 1, 33, 2, ""},
      {"64-bit floats", 1, 1, 64, 9, "TIFF : 64-bit float samples are not supported", 3},
      {"24-bit floats", 1, 1, 24, 9, "TIFF : 24-bit float samples are not supported", 3},
      {"64-bit integers", 1, 1, 64, 9, "TIFF : 64-bit samples are not supported"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t;
    basic_page(t, 1, 1, c.bits, 1, c.photometric, c.compression, std::vector<uint8_t>(8, 7));
    t.add(339, 3, {c.sample_format});
    LoadedPicture l;
    load_tiff(t.build(), &l);
    EXPECT_EQ(l.status, c.status);
    EXPECT_STREQ(l.info.message, c.message);
  }
}

TEST(TiffReader, DirectoryChains) {
  struct Case {
    const char* what;
    int loop_to;        // -1: none; else the directory the last one points back to
    uint32_t bad_next;  // non-zero: the last directory's next offset
    uint32_t pages;
  };
  const Case cases[] = {
      {"two pages", -1, 0, 2},
      {"loop back to the first", 0, 0, 2},
      {"loop onto itself", 1, 0, 2},
      {"next offset beyond the file", -1, 0x7FFFFFF0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t;
    basic_page(t, 1, 1, 8, 1, 1, 1, {7});
    t.next_page();
    basic_page(t, 2, 1, 8, 1, 1, 1, {8, 9});
    std::vector<uint8_t> file = t.build();
    const uint32_t last = t.directories()[1];
    const uint32_t next = c.loop_to >= 0 ? t.directories()[static_cast<size_t>(c.loop_to)] : c.bad_next;
    if (next) t.set32(file, last + 2 + 12 * 9, next);
    LoadedPicture l;
    load_tiff(file, &l, 0, 1);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.info.image_count, c.pages);
    EXPECT_EQ(l.bitmap.width, c.pages == 2 ? 2 : 1);
  }
}

TEST(TiffReader, StripsOutsideTheFile) {
  struct Case {
    const char* what;
    uint32_t offset, count;
    int status;
  };
  const Case cases[] = {
      {"offset beyond the end", 0x10000000, 4, 4},
      {"count beyond the end", 8, 0xFFFFFFF0, 4},
      {"count short of the rows", 8, 2, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t;
    t.add(256, 4, {2}).add(257, 4, {2}).add(258, 3, {8}).add(262, 3, {1});
    t.add(273, 4, {c.offset}).add(279, 4, {c.count});
    TempFile f(t.build());
    LoadedPicture l, lenient;
    load_tiff(f.path(), &l);
    EXPECT_EQ(l.status, c.status);
    load_tiff(f.path(), &lenient, kLoadAcceptIncomplete);
    EXPECT_EQ(lenient.status, 0);
  }
}

// Half-precision samples (IEEE 754 binary16) go through the same clipping as single-precision
// ones: 0 to 1 spans the levels. Rows are written plain, and with the floating-point predictor
// (byte planes, most significant first, then byte differences).
TEST(TiffReader, HalfFloatSamples) {
  const uint16_t one = 0x3C00, half = 0x3800, quarter = 0x3400, two = 0x4000, minus = 0xBC00;
  struct Case {
    const char* what;
    uint32_t samples, planar, predictor;
    bool big_endian;
    std::vector<uint16_t> values;   // the one row, as stored (planes one after the other)
    std::vector<uint8_t> want;
  };
  const Case cases[] = {
      {"grey", 1, 1, 1, false, {one, half, 0, minus, two, quarter}, {255, 128, 0, 0, 255, 64}},
      {"grey, MM", 1, 1, 1, true, {one, half, 0, minus, two, quarter}, {255, 128, 0, 0, 255, 64}},
      {"grey, predictor", 1, 1, 3, false, {one, half, 0, minus, two, quarter}, {255, 128, 0, 0, 255, 64}},
      {"RGB, predictor, MM", 3, 1, 3, true, {one, 0, half, quarter, two, 0}, {255, 0, 128, 64, 255, 0}},
      {"RGB planar", 3, 2, 1, false, {one, quarter, 0, two, half, 0}, {255, 0, 128, 64, 255, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t(c.big_endian);
    const uint32_t planes = c.planar == 2 ? c.samples : 1;
    const size_t per_plane = c.values.size() / planes;
    const uint32_t width = static_cast<uint32_t>(c.values.size() / c.samples);
    std::vector<uint64_t> offsets, counts;
    for (uint32_t p = 0; p < planes; ++p) {
      std::vector<uint8_t> strip;
      for (size_t i = 0; i < per_plane; ++i) t.put16(strip, c.values[p * per_plane + i]);
      if (c.predictor == 3) {
        std::vector<uint8_t> planed(strip.size());
        for (size_t i = 0; i < per_plane; ++i) {
          const uint16_t v = c.values[p * per_plane + i];
          planed[i] = static_cast<uint8_t>(v >> 8);
          planed[per_plane + i] = static_cast<uint8_t>(v);
        }
        for (size_t i = planed.size(); i-- > c.samples;) planed[i] = static_cast<uint8_t>(planed[i] - planed[i - c.samples]);
        strip = planed;
      }
      offsets.push_back(t.data(strip));
      counts.push_back(strip.size());
    }
    t.add(256, 4, {width}).add(257, 4, {1}).add(258, 3, std::vector<uint64_t>(c.samples, 16));
    t.add(262, 3, {c.samples == 3 ? 2u : 1u}).add(277, 3, {c.samples}).add(284, 3, {c.planar});
    t.add(273, 4, offsets).add(279, 4, counts).add(317, 3, {c.predictor});
    t.add(339, 3, std::vector<uint64_t>(c.samples, 3));
    LoadedPicture l;
    load_tiff(t.build(), &l);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(std::vector<uint8_t>(l.bitmap.pixels, l.bitmap.pixels + c.want.size()), c.want);
  }
}

// BigTIFF in both byte orders: a chain of two pages with LONG8 strip offsets and counts, SHORT
// and LONG fields in 8-byte value fields, and a resolution held in the value field itself.
TEST(TiffReader, BigTiffPages) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    TiffFile t(big, true);
    const uint32_t first = t.data({10, 20, 30, 40});
    t.add(256, 3, {2}).add(257, 3, {2}).add(258, 3, {8}).add(262, 3, {1}).add(273, 16, {first});
    t.add(279, 16, {4}).add(282, 5, {300, 1}).add(283, 5, {300, 1}).add(296, 3, {2});
    t.next_page();
    const uint32_t second = t.data({1, 2, 3, 4, 5, 6});
    t.add(256, 4, {2}).add(257, 4, {1}).add(258, 3, {8, 8, 8}).add(262, 3, {2}).add(277, 3, {3});
    t.add(273, 16, {second}).add(279, 16, {6});
    TempFile f(t.build());
    LoadedPicture l, m;
    load_tiff(f.path(), &l);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.info.image_count, 2u);
    EXPECT_EQ(l.info.xdpi, 300);
    EXPECT_EQ(std::vector<uint8_t>(l.bitmap.pixels, l.bitmap.pixels + 4), (std::vector<uint8_t>{10, 20, 30, 40}));
    load_tiff(f.path(), &m, 0, 1);
    ASSERT_EQ(m.status, 0);
    EXPECT_EQ(std::vector<uint8_t>(m.bitmap.pixels, m.bitmap.pixels + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  }
}

TEST(TiffReader, BigTiffOffsetsBeyondTheFile) {
  struct Case {
    const char* what;
    size_t patch_at;     // 0: none; else an 8-byte value written there
    uint64_t value;
    uint64_t strip_offset;
    int status;
  };
  const uint64_t far = 1ull << 40;
  const Case cases[] = {
      {"strip beyond the end", 0, 0, far, 4},
      {"first directory beyond the end", 8, far, 0, 2},
      {"entry count beyond the file", 0, 0, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFile t(false, true);
    const uint32_t at = t.data({7, 7, 7, 7});
    t.add(256, 3, {2}).add(257, 3, {2}).add(258, 3, {8}).add(262, 3, {1});
    t.add(273, 16, {c.strip_offset ? c.strip_offset : at}).add(279, 16, {4});
    std::vector<uint8_t> file = t.build();
    if (c.patch_at) t.set_offset(file, c.patch_at, c.value);
    if (c.status == 2 && !c.patch_at) t.set_offset(file, t.directories()[0], 1ull << 60);
    LoadedPicture l;
    load_tiff(file, &l);
    EXPECT_EQ(l.status, c.status);
  }
}

}  // namespace
}  // namespace lumora
