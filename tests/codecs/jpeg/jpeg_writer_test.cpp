// The JPEG writer through save_image: options and markers in the written file, round trips, and
// write errors at every stage (the last write included) through a failing stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "tests/support/jpeg_file.h"

namespace lumora {
namespace {

using test::Bytes;
using test::Marker;

class JpegWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { library_start(); }
  void TearDown() override { library_stop(); }
  test::TempDir dir_;
};

// A picture of `type` (16, 64, 2 or 1024) filled with a smooth pattern; freed by the caller.
Bitmap make_picture(uint16_t type, int w = 48, int h = 32) {
  Bitmap b{};
  bitmap_alloc(&b, type, 4, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < b.bytes_per_pixel; ++c)
        bitmap_row(&b, y)[x * b.bytes_per_pixel + c] = static_cast<uint8_t>(x * 4 + y * 2 + c * 60);
  return b;
}

SaveParams jpeg_params() {
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatJpeg;
  return p;
}

const Marker* find(const std::vector<Marker>& markers, int code) {
  for (const Marker& m : markers)
    if (m.code == code) return &m;
  return nullptr;
}

TEST_F(JpegWriterTest, OptionsReachTheFile) {
  struct Case {
    const char* name;
    uint16_t type;
    void (*adjust)(SaveParams*, Bitmap*);
    int code;                               // marker to look at
    std::vector<std::pair<int, int>> bytes;  // (payload index, value); none: presence only
  };
  const Case cases[] = {
      {"grey picture: one component", kPixGrey, [](SaveParams*, Bitmap*) {}, 0xC0, {{5, 1}}},
      {"progressive", kPixRGB, [](SaveParams* p, Bitmap*) { p->interlaced = 1; }, 0xC2, {}},
      {"subsampling 2x2", kPixRGB, [](SaveParams* p, Bitmap*) { p->jpeg_subsampling = 0; }, 0xC0, {{7, 0x22}}},
      {"subsampling 2x1", kPixRGB, [](SaveParams* p, Bitmap*) { p->jpeg_subsampling = 1; }, 0xC0, {{7, 0x21}, {10, 0x11}}},
      {"subsampling 1x1", kPixRGB, [](SaveParams* p, Bitmap*) { p->jpeg_subsampling = 2; }, 0xC0, {{7, 0x11}}},
      {"resolution in dpi", kPixRGB, [](SaveParams*, Bitmap* b) { b->xdpi = 300; b->ydpi = 200; }, 0xE0,
       {{7, 1}, {9, 300 & 0xFF}, {11, 200}}},
      // JFIF densities must not be 0: without a resolution the file states an aspect ratio 1:1.
      {"no resolution", kPixRGB, [](SaveParams*, Bitmap* b) { b->xdpi = b->ydpi = 0; }, 0xE0, {{7, 0}, {9, 1}}},
      {"comment with its NUL", kPixRGB, [](SaveParams*, Bitmap* b) { b->comment = string_dup("abc"); }, 0xFE,
       {{0, 'a'}, {2, 'c'}, {3, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bitmap b = make_picture(c.type);
    SaveParams p = jpeg_params();
    c.adjust(&p, &b);
    const std::string path = dir_.path("o.jpg");
    ASSERT_EQ(save_image(path.c_str(), &b, &p), 0);
    const std::vector<Marker> markers = test::list_markers(test::TempDir::read(path));
    const Marker* m = find(markers, c.code);
    ASSERT_NE(m, nullptr);
    for (auto [index, value] : c.bytes) {
      ASSERT_LT(static_cast<size_t>(index), m->payload.size());
      EXPECT_EQ(m->payload[static_cast<size_t>(index)], value) << "byte " << index;
    }
    bitmap_free(&b);
  }
}

TEST_F(JpegWriterTest, MetadataMarkersFollowTheSwitchesAndListOrder) {
  const Bytes exif = test::text_bytes("Exif\0\0II*\0\x08\0\0\0\0\0", 16);
  const Bytes iptc = test::text_bytes("Photoshop 3.0\0", 14);
  const Bytes icc = test::text_bytes("profile", 7);
  const Bytes xmp = test::text_bytes("http://ns.adobe.com/xap/1.0/\0", 29);
  Bytes icc_marker = test::text_bytes("ICC_PROFILE\0\x01\x01", 14);
  icc_marker.insert(icc_marker.end(), icc.begin(), icc.end());
  struct Case {
    const char* name;
    uint8_t write_exif, write_iptc;
    uint32_t flags;
    std::vector<int> expected;  // codes of the APP and COM markers after APP0, in order
  };
  const Case cases[] = {
      {"everything", 1, 1, kSaveWriteIcc, {0xFE, 0xED, 0xE1, 0xE2}},
      {"no Exif", 0, 1, kSaveWriteIcc, {0xFE, 0xED, 0xE2}},
      {"no IPTC, no ICC", 1, 0, 0, {0xFE, 0xE1}},
  };
  for (const Case& c : cases) {
    Bitmap b = make_picture(kPixRGB);
    b.comment = string_dup("note");
    chunk_append(&b.chunks, kChunkIptc, iptc.data(), static_cast<uint32_t>(iptc.size()));
    chunk_append(&b.chunks, kChunkXmp, xmp.data(), static_cast<uint32_t>(xmp.size()));
    chunk_append(&b.chunks, kChunkExif, exif.data(), static_cast<uint32_t>(exif.size()));
    chunk_append(&b.chunks, kChunkIcc, icc.data(), static_cast<uint32_t>(icc.size()));
    SaveParams p = jpeg_params();
    p.write_exif = c.write_exif;
    p.write_iptc = c.write_iptc;
    p.flags = c.flags;
    const std::string path = dir_.path("m.jpg");
    ASSERT_EQ(save_image(path.c_str(), &b, &p), 0) << c.name;
    std::vector<int> got;
    for (const Marker& m : test::list_markers(test::TempDir::read(path))) {
      if (m.code == 0xFE || (m.code > 0xE0 && m.code <= 0xEF)) got.push_back(m.code);
      if (m.code == 0xE1) {
        EXPECT_EQ(m.payload, exif);
      } else if (m.code == 0xED) {
        EXPECT_EQ(m.payload, iptc);
      } else if (m.code == 0xE2) {
        EXPECT_EQ(m.payload, icc_marker);
      }
    }
    EXPECT_EQ(got, c.expected) << c.name;
    bitmap_free(&b);
  }
}

TEST_F(JpegWriterTest, LargeIccProfileIsSplitAndJoinedBack) {
  Bytes profile(150000);
  for (size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
  Bitmap b = make_picture(kPixRGB);
  chunk_append(&b.chunks, kChunkIcc, profile.data(), static_cast<uint32_t>(profile.size()));
  SaveParams p = jpeg_params();
  p.flags = kSaveWriteIcc;
  const std::string path = dir_.path("icc.jpg");
  ASSERT_EQ(save_image(path.c_str(), &b, &p), 0);
  bitmap_free(&b);

  int pieces = 0;
  for (const Marker& m : test::list_markers(test::TempDir::read(path)))
    if (m.code == 0xE2) {
      EXPECT_EQ(m.payload[12], ++pieces);
    }
  EXPECT_EQ(pieces, 3);

  LoadParams lp;
  load_params_init(&lp);
  lp.flags = kLoadKeepChunks;
  Bitmap back{};
  ASSERT_EQ(load_image(path.c_str(), &back, &lp, nullptr), 0);
  const MetadataChunk* icc = chunk_find(back.chunks, kChunkIcc);
  ASSERT_NE(icc, nullptr);
  EXPECT_EQ(Bytes(icc->data, icc->data + icc->size), profile);
  bitmap_free(&back);
}

TEST_F(JpegWriterTest, RoundTripKeepsColoursAndQuality) {
  struct Case {
    uint16_t type;
    uint16_t component_order;  // of the reload
    uint32_t flags;
    int quality;
  };
  const Case cases[] = {
      {kPixRGB, 0, 0, 100}, {kPixBGR, 1, 0, 100}, {kPixGrey, 0, 0, 95}, {kPixCMYK, 0, kLoadKeepCmyk, 100},
      {kPixRGB, 0, 0, 40},
  };
  for (const Case& c : cases) {
    Bitmap b = make_picture(c.type);
    SaveParams p = jpeg_params();
    p.quality = static_cast<uint16_t>(c.quality);
    p.jpeg_subsampling = 2;
    const std::string path = dir_.path("r.jpg");
    ASSERT_EQ(save_image(path.c_str(), &b, &p), 0) << "type " << c.type;
    LoadParams lp;
    load_params_init(&lp);
    lp.component_order = c.component_order;
    lp.flags = c.flags | kLoadEstimateQuality;
    Bitmap back{};
    FileInfo info{};
    ASSERT_EQ(load_image(path.c_str(), &back, &lp, &info), 0) << "type " << c.type;
    EXPECT_NEAR(static_cast<int>(info.reader_values[2]), c.quality, 1);
    ASSERT_EQ(back.type, c.type);
    if (c.quality == 100) {
      int worst = 0;
      for (int y = 0; y < b.height; ++y)
        for (uint32_t i = 0; i < static_cast<uint32_t>(b.width) * b.bytes_per_pixel; ++i)
          worst = std::max(worst, std::abs(bitmap_row(&b, y)[i] - bitmap_row(&back, y)[i]));
      EXPECT_LE(worst, 6) << "type " << c.type;
    }
    file_info_free(&info);
    bitmap_free(&back);
    bitmap_free(&b);
  }
}

// A stream that accepts `limit` bytes and fails every write after them.
struct FailingSink {
  size_t limit;
  size_t written = 0;
};

ssize_t sink_write(void* cookie, const char*, size_t size) {
  auto* s = static_cast<FailingSink*>(cookie);
  if (s->written + size > s->limit) return 0;  // fopencookie: 0 = write error
  s->written += size;
  return static_cast<ssize_t>(size);
}

int save_to_sink(const Bitmap& b, size_t limit, size_t* written) {
  FailingSink sink{limit};
  cookie_io_functions_t io{};
  io.write = sink_write;
  FILE* f = fopencookie(&sink, "w", io);
  setvbuf(f, nullptr, _IONBF, 0);
  SaveParams p = jpeg_params();
  const int status = save_image(nullptr, 0, f, &b, &p);
  std::fclose(f);
  if (written) *written = sink.written;
  return status;
}

TEST_F(JpegWriterTest, WriteErrorsAreReportedWhereverTheyHappen) {
  for (int size : {8, 300}) {  // a picture within one 4096-byte buffer, and one of many buffers
    Bitmap b = make_picture(kPixRGB, size, size);
    size_t total = 0;
    ASSERT_EQ(save_to_sink(b, SIZE_MAX, &total), 0);
    for (size_t limit : {size_t{0}, total / 2, total - 1}) {
      EXPECT_EQ(save_to_sink(b, limit, nullptr), kStatusWriteError)
          << size << "x" << size << ": fails after " << limit << " of " << total << " bytes";
    }
    bitmap_free(&b);
  }
}

}  // namespace
}  // namespace lumora
