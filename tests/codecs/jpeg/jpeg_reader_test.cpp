// The JPEG reader through load_image: pixels against plain libjpeg, metadata chunks and comments,
// scaled decoding, the embedded Exif thumbnail, truncated and broken files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imagelib/codecs/jpeg/jpeg.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"
#include "tests/support/jpeg_file.h"

namespace lumora {
namespace {

using test::Bytes;
using test::JpegSpec;
using test::Marker;

class JpegReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { library_start(); }
  void TearDown() override { library_stop(); }
  test::TempDir dir_;
};

int note_rows(int32_t, int32_t total, void* user) {
  *static_cast<int32_t*>(user) = total;
  return 0;
}

// Loads `path` with `p`, noting how many rows the reader handed to the pipeline.
struct Loaded : test::LoadedPicture {
  int32_t delivered_height = 0;
  Loaded(const std::string& path, LoadParams p) {
    p.row_callback = note_rows;
    p.row_user = &delivered_height;
    test::load_path(path, p, this);
  }
};

uint8_t red(int, int, int c) { return c == 0 ? 250 : 5; }
uint8_t blue(int, int, int c) { return c == 2 ? 250 : 5; }

TEST_F(JpegReaderTest, DefaultDecodingGivesLibjpegsPixels) {
  struct Case {
    const char* name;
    JpegSpec spec;
  };
  auto spec = [](int w, int h, int comps, int h0, int v0, bool prog, int restart) {
    JpegSpec s;
    s.width = w; s.height = h; s.components = comps; s.h0 = h0; s.v0 = v0;
    s.progressive = prog; s.restart_rows = restart;
    return s;
  };
  const Case cases[] = {
      {"baseline 4:2:0", spec(67, 45, 3, 2, 2, false, 0)},
      {"4:2:2", spec(64, 33, 3, 2, 1, false, 0)},
      {"4:4:4", spec(31, 17, 3, 1, 1, false, 0)},
      {"progressive", spec(70, 50, 3, 2, 2, true, 0)},
      {"grey", spec(41, 29, 1, 1, 1, false, 0)},
      {"restart markers", spec(80, 64, 3, 2, 2, false, 1)},
  };
  for (const Case& c : cases) {
    const Bytes jpeg = test::make_jpeg(c.spec);
    const test::Reference ref = test::reference_decode(jpeg);
    Loaded got(dir_.write(std::string("a.jpg"), jpeg), test::plain_params(0));
    ASSERT_EQ(got.status, 0) << c.name;
    ASSERT_EQ(got.bitmap.width, ref.width) << c.name;
    ASSERT_EQ(got.bitmap.height, ref.height) << c.name;
    ASSERT_EQ(got.bitmap.bytes_per_pixel, ref.components) << c.name;
    for (int y = 0; y < ref.height; ++y)
      ASSERT_EQ(0, std::memcmp(bitmap_row(&got.bitmap, y),
                               ref.pixels.data() + static_cast<size_t>(y) * ref.width * ref.components,
                               static_cast<size_t>(ref.width) * ref.components))
          << c.name << " row " << y;
    EXPECT_STREQ(got.info.description, c.spec.components == 1 ? "JPEG Grayscale (v1.1)" : "JPEG TrueColor (v1.1)");
    EXPECT_EQ(got.info.compression, kCompJpeg);
    EXPECT_EQ(got.info.format_index, kFormatJpeg);
  }
}

TEST_F(JpegReaderTest, CmykFilesKeepOrConvertTheirInks) {
  JpegSpec s;
  s.components = 4;
  s.jfif = false;
  // Adobe CMYK files store inverted inks: bytes (255, 0, 0, 255) are cyan 0, magenta 255,
  // yellow 255, black 0, i.e. red.
  s.pixel = [](int, int, int c) -> uint8_t { return c == 0 || c == 3 ? 255 : 0; };
  s.quality = 100;
  const std::string path = dir_.write("cmyk.jpg", test::make_jpeg(s));
  Loaded rgb(path, test::plain_params(0));
  ASSERT_EQ(rgb.status, 0);
  EXPECT_EQ(rgb.info.color_model, kModelCMYK);
  EXPECT_STREQ(rgb.info.description, "JPEG CMYK (v1.1)");
  EXPECT_EQ(rgb.bitmap.type, kPixRGB);
  const uint8_t* p = rgb.pixel(5, 5);
  EXPECT_NEAR(p[0], 255, 2);
  EXPECT_NEAR(p[1], 0, 2);
  EXPECT_NEAR(p[2], 0, 2);

  Loaded inks(path, test::plain_params(kLoadKeepCmyk));
  ASSERT_EQ(inks.status, 0);
  EXPECT_EQ(inks.bitmap.type, kPixCMYK);
  const uint8_t* q = inks.pixel(5, 5);
  EXPECT_NEAR(q[0], 0, 2);    // cyan
  EXPECT_NEAR(q[1], 255, 2);  // magenta
  EXPECT_NEAR(q[3], 0, 2);    // black
}

Bytes icc_piece(uint8_t seq, uint8_t count, const char* body) {
  Bytes b = test::text_bytes("ICC_PROFILE\0", 12);
  b.push_back(seq);
  b.push_back(count);
  b.insert(b.end(), body, body + std::strlen(body));
  return b;
}

TEST_F(JpegReaderTest, MetadataChunksAndComments) {
  const Bytes exif = test::text_bytes("Exif\0\0MM\0\x2a\0\0\0\x08\0\0", 16);
  const Bytes xmp = test::text_bytes("http://ns.adobe.com/xap/1.0/\0<x/>", 33);
  const Bytes iptc = test::text_bytes("Photoshop 3.0\08BIM", 18);
  const std::vector<Marker> markers = {
      {0xFE, test::text_bytes("first", 5)},
      {0xE1, exif},
      {0xE1, test::text_bytes("http:/", 6)},       // too short for XMP: dropped
      {0xE1, test::text_bytes("Foo\0bar", 7)},     // neither Exif nor XMP: dropped
      {0xE2, icc_piece(1, 2, "AAAA")},
      {0xE1, xmp},
      {0xE2, test::text_bytes("ICC_PROFILE\0", 12)},  // no sequence bytes: dropped
      {0xE2, test::text_bytes("MPF\0", 4)},           // other APP2: dropped
      {0xED, iptc},
      {0xE2, icc_piece(2, 2, "BBB")},
      {0xFE, test::text_bytes("second", 6)},
      {0xFE, test::text_bytes("\x01unprintable", 12)},  // not kept: the earlier one stays
      {0xFE, {}},                                          // empty comment: nothing to keep
  };
  const std::string path = dir_.write("meta.jpg", test::with_markers(test::make_jpeg({}), markers));

  Loaded all(path, test::plain_params(kLoadKeepChunks | kLoadKeepComment));
  ASSERT_EQ(all.status, 0);
  ASSERT_NE(all.bitmap.comment, nullptr);
  EXPECT_STREQ(all.bitmap.comment, "second");
  struct Expect {
    uint32_t kind;
    Bytes data;
  };
  const std::vector<Expect> expected = {
      {kChunkExif, exif}, {kChunkIcc, test::text_bytes("AAAABBB", 7)}, {kChunkXmp, xmp}, {kChunkIptc, iptc}};
  const MetadataChunk* c = all.bitmap.chunks;
  for (const Expect& e : expected) {
    ASSERT_NE(c, nullptr) << "missing kind " << e.kind;
    EXPECT_EQ(c->kind, e.kind);
    EXPECT_EQ(Bytes(c->data, c->data + c->size), e.data) << "kind " << e.kind;
    c = c->next;
  }
  EXPECT_EQ(c, nullptr);

  Loaded none(path, test::plain_params(0));
  ASSERT_EQ(none.status, 0);
  EXPECT_EQ(none.bitmap.comment, nullptr);
  EXPECT_EQ(none.bitmap.chunks, nullptr);
}

TEST_F(JpegReaderTest, QuickDecodingScalesByPowersOfTwo) {
  struct Case {
    int w, h, max_w, max_h;
    int decoded_h;  // rows libjpeg delivered
    int out_w, out_h;
  };
  const Case cases[] = {
      {1600, 1200, 160, 160, 300, 160, 120},  // ratios 10 and 7.5: 1/4
      {300, 200, 400, 400, 200, 300, 200},    // the box is larger: full size
      {64, 48, -1, -1, 48, 64, 48},           // no box
  };
  for (const Case& c : cases) {
    JpegSpec s;
    s.width = c.w;
    s.height = c.h;
    const std::string path = dir_.write("big.jpg", test::make_jpeg(s));
    LoadParams p = test::plain_params(kLoadQuick);
    p.max_width = c.max_w;
    p.max_height = c.max_h;
    Loaded got(path, p);
    ASSERT_EQ(got.status, 0);
    EXPECT_EQ(got.delivered_height, c.decoded_h) << c.w << "x" << c.h << " in " << c.max_w << "x" << c.max_h;
    EXPECT_EQ(got.bitmap.width, c.out_w);
    EXPECT_EQ(got.bitmap.height, c.out_h);
    EXPECT_EQ(got.info.width, static_cast<uint32_t>(c.w));  // the file's own size
  }
}

TEST_F(JpegReaderTest, EmbeddedThumbnailSelection) {
  JpegSpec main_spec;
  main_spec.width = 640;
  main_spec.height = 480;
  main_spec.pixel = red;
  JpegSpec thumb_spec;
  thumb_spec.width = 160;
  thumb_spec.height = 120;
  thumb_spec.pixel = blue;
  thumb_spec.jfif = false;
  const Bytes main_jpeg = test::make_jpeg(main_spec);
  const Bytes thumb = test::make_jpeg(thumb_spec);
  Bytes garbage(600, 0x5A);
  garbage[0] = 0xFF;
  garbage[1] = 0xD8;
  Bytes bad_offsets = test::exif_with_thumbnail(thumb);
  bad_offsets[6 + 26 + 2 + 8] = 0xF0;  // thumbnail offset far outside the block

  const std::string good = dir_.write("good.jpg", test::with_markers(main_jpeg, {{0xE1, test::exif_with_thumbnail(thumb)}}));
  const std::string corrupt = dir_.write("corrupt.jpg", test::with_markers(main_jpeg, {{0xE1, test::exif_with_thumbnail(garbage)}}));
  const std::string outside = dir_.write("outside.jpg", test::with_markers(main_jpeg, {{0xE1, bad_offsets}}));
  const std::string second = dir_.write(
      "second.jpg", test::with_markers(main_jpeg, {{0xE1, test::exif_with_thumbnail(garbage)},
                                                       {0xE1, test::exif_with_thumbnail(thumb)}}));
  struct Case {
    const char* name;
    std::string path;
    uint32_t flags;
    uint8_t use_embedded;
    int max_w, max_h;
    bool thumbnail;
    int out_w, out_h;
  };
  const Case cases[] = {
      {"option off", good, kLoadQuick, 0, 80, 60, false, 80, 60},
      {"option on", good, kLoadQuick, 1, 80, 60, true, 80, 60},
      {"not quick", good, 0, 1, 80, 60, false, 80, 60},
      {"option 2: box becomes the thumbnail", good, kLoadQuick, 2, 80, 60, true, 160, 120},
      {"0x800000: smaller in both directions", good, kLoadQuick | kLoadRefuseSmallThumb, 1, 320, 240, false, 320, 240},
      {"0x800000: as wide as the box", good, kLoadQuick | kLoadRefuseSmallThumb, 1, 160, 240, true, 160, 120},
      {"corrupt thumbnail", corrupt, kLoadQuick, 1, 80, 60, false, 80, 60},
      {"offset outside the block", outside, kLoadQuick, 1, 80, 60, false, 80, 60},
      {"second APP1 has the good one", second, kLoadQuick, 1, 80, 60, true, 80, 60},
  };
  for (const Case& c : cases) {
    LoadParams p = test::plain_params(c.flags);
    p.use_embedded = c.use_embedded;
    p.max_width = c.max_w;
    p.max_height = c.max_h;
    Loaded got(c.path, p);
    ASSERT_EQ(got.status, 0) << c.name;
    EXPECT_EQ(got.info.reader_flag, c.thumbnail ? 1u : 0u) << c.name;
    EXPECT_EQ(got.bitmap.width, c.out_w) << c.name;
    EXPECT_EQ(got.bitmap.height, c.out_h) << c.name;
    const uint8_t* px = got.pixel(got.bitmap.width / 2, got.bitmap.height / 2);
    EXPECT_EQ(px[2] > px[0], c.thumbnail) << c.name << ": picture came from the wrong source";
    EXPECT_EQ(got.info.width, 640u) << c.name;  // the logical size is the main picture's
    EXPECT_EQ(got.info.height, 480u) << c.name;
  }
}

TEST_F(JpegReaderTest, ResolutionFromJfifDensity) {
  struct Case {
    int unit, x, y;
    int xdpi, ydpi;
  };
  const Case cases[] = {{0, 1, 1, 0, 0}, {0, 72, 72, 72, 72}, {1, 300, 150, 300, 150}, {2, 100, 1, 100, 100}};
  for (const Case& c : cases) {
    JpegSpec s;
    s.density_unit = c.unit;
    s.x_density = c.x;
    s.y_density = c.y;
    Loaded got(dir_.write("d.jpg", test::make_jpeg(s)), test::plain_params(0));
    ASSERT_EQ(got.status, 0);
    EXPECT_EQ(got.info.xdpi, c.xdpi) << "unit " << c.unit << " " << c.x << ":" << c.y;
    EXPECT_EQ(got.info.ydpi, c.ydpi);
    EXPECT_EQ(got.bitmap.xdpi, c.xdpi ? c.xdpi : 72);
  }
}

TEST_F(JpegReaderTest, TruncatedAndBrokenFiles) {
  JpegSpec s;
  s.width = 128;
  s.height = 96;
  const Bytes jpeg = test::make_jpeg(s);
  const size_t sos = [&] {
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
      if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) return i;
    return size_t{0};
  }();
  Bytes lossless = jpeg;
  for (size_t i = 2; i + 1 < lossless.size(); ++i)
    if (lossless[i] == 0xFF && lossless[i + 1] == 0xC0) {
      lossless[i + 1] = 0xC3;  // SOF3, lossless: a process this decoder lacks
      break;
    }
  struct Case {
    const char* name;
    Bytes bytes;
    uint32_t flags;
    int status;
    bool full_picture;
  };
  const Case cases[] = {
      // A file that stops early is told apart from an intact one; accepted, it is a whole picture
      // whose missing rows are grey.
      {"cut in the entropy-coded data", Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(sos + 200)), 0,
       kStatusFileEndsEarly, false},
      {"cut, incomplete files accepted", Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(sos + 200)), kLoadAcceptIncomplete, 0, true},
      {"cut inside the headers", Bytes(jpeg.begin(), jpeg.begin() + 40), 0, kStatusNotRecognised, false},
      {"only SOI", Bytes{0xFF, 0xD8}, 0, kStatusNotRecognised, false},
      {"not a JPEG", test::text_bytes("\x89PNG\r\n\x1a\n0000", 12), 0, kStatusNotRecognised, false},
      {"lossless process", lossless, 0, kStatusCorrupt, false},
  };
  for (const Case& c : cases) {
    Loaded got(dir_.write("t.jpg", c.bytes), test::plain_params(c.flags | kLoadKnownExtension));
    EXPECT_EQ(got.status & 0xFFFF, c.status) << c.name;
    if (c.full_picture) {
      EXPECT_EQ(got.bitmap.height, 96) << c.name;
      EXPECT_EQ(got.delivered_height, 96) << c.name;
    } else if (got.status != 0) {
      EXPECT_EQ(got.bitmap.pixels, nullptr) << c.name;
    }
  }
}

int cancel_at_row_10(int32_t row, int32_t, void*) { return row >= 10; }

TEST_F(JpegReaderTest, CancelledLoadStaysCancelledEvenWhenIncompleteFilesAreAccepted) {
  const std::string path = dir_.write("c.jpg", test::make_jpeg({}));
  for (uint32_t flags : {0u, kLoadAcceptIncomplete}) {
    LoadParams p = test::plain_params(flags);
    p.row_callback = cancel_at_row_10;
    Bitmap b{};
    EXPECT_EQ(load_image(path.c_str(), &b, &p, nullptr) & 0xFFFF, kStatusCancelled) << "flags " << flags;
    EXPECT_EQ(b.pixels, nullptr);
    bitmap_free(&b);
  }
}

TEST_F(JpegReaderTest, InfoOnlyLoadDescribesWithoutDecoding) {
  JpegSpec s;
  s.width = 300;
  s.height = 200;
  s.progressive = true;
  FileInfo info{};
  ASSERT_EQ(load_info(dir_.write("i.jpg", test::make_jpeg(s)).c_str(), -1, 0, &info), 0);
  EXPECT_EQ(info.width, 300u);
  EXPECT_EQ(info.height, 200u);
  EXPECT_EQ(info.samples_per_pixel, 3);
  EXPECT_STREQ(info.description, "JPEG TrueColor (v1.1)");
  file_info_free(&info);
}


// A container that holds a JFIF stream after 100 bytes of its own, as TIFF files with old-style
// JPEG pages do; its reader hands the stream to the JFIF-stream readers.
constexpr size_t kContainerHeader = 100;

int read_container_stream(ByteStream* stream, LoadContext* context) {
  if (stream_seek(stream, kContainerHeader) != 0) return kStatusNotRecognised;
  return jpeg_read_jfif_stream(stream, context, "TIFF (jpeg)");
}

int read_container_memory(ByteStream* stream, LoadContext* context) {
  std::vector<uint8_t> data(stream_remaining(stream));
  if (data.size() <= kContainerHeader || stream_read(stream, data.data(), data.size()) != 0)
    return kStatusNotRecognised;
  return jpeg_read_jfif_memory(data.data() + kContainerHeader, data.size() - kContainerHeader, context,
                               "TIFF (jpeg)");
}

TEST_F(JpegReaderTest, JfifStreamInsideAnotherFormat) {
  JpegSpec s;
  s.width = 160;
  s.height = 120;
  const Bytes jpeg = test::make_jpeg(s);
  const test::Reference ref = test::reference_decode(jpeg);
  Bytes file(kContainerHeader, 0x11);
  const Bytes inner = test::with_markers(
      jpeg, {{0xFE, test::text_bytes("first", 5)}, {0xFE, test::text_bytes("second", 6)},
             {0xE1, test::exif_with_thumbnail(jpeg)}});
  file.insert(file.end(), inner.begin(), inner.end());
  const std::string path = dir_.write("c.jfx", file);
  for (ReaderFn reader : {read_container_stream, read_container_memory}) {
    FormatEntry row{};
    row.name = "jfiftest";
    row.description = "JFIF container";
    row.reader = reader;
    row.extensions[0] = "jfx";
    const int index = format_register(row);
    ASSERT_GE(index, 0);
    LoadParams p = test::plain_params(kLoadKeepComment | kLoadKeepChunks | kLoadEstimateQuality);
    p.format_index = static_cast<int16_t>(index);
    p.use_embedded = 1;  // not for embedded streams: the Exif block is not looked at
    Loaded full(path, p);
    ASSERT_EQ(full.status, 0);
    EXPECT_STREQ(full.info.description, "TIFF (jpeg)");
    ASSERT_NE(full.bitmap.comment, nullptr);
    EXPECT_STREQ(full.bitmap.comment, "first");
    EXPECT_EQ(full.bitmap.chunks, nullptr);
    EXPECT_EQ(full.info.reader_values[2], 0u);
    EXPECT_EQ(full.info.reader_flag, 0u);
    ASSERT_EQ(full.bitmap.width, 160);
    for (int y = 0; y < ref.height; ++y)
      ASSERT_EQ(0, std::memcmp(bitmap_row(&full.bitmap, y), ref.pixels.data() + static_cast<size_t>(y) * 160 * 3, 160 * 3));

    p.flags |= kLoadQuick;
    p.max_width = 40;
    p.max_height = 40;
    Loaded quick(path, p);
    ASSERT_EQ(quick.status, 0);
    EXPECT_EQ(quick.delivered_height, 60);  // ratios 4 and 3: decoded at 1/2
    library_stop();
    library_start();  // forget the added row
  }
}

}  // namespace
}  // namespace lumora
