// The shared picture loader: camera orientation from a JPEG's Exif block, an embedded Exif
// thumbnail and a TIFF directory; the pixel budget against a file that claims far more pixels
// than it holds; recognition by content.
#include <gtest/gtest.h>

#include <chrono>

#include "app/viewer/camera_orientation.h"
#include "app/viewer/picture_loader.h"
#include "imagelib/core/load.h"
#include "picture_test_files.h"

namespace lumora::app {
namespace {

using test::Rgb;

class PictureLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { library_start(); }
  void TearDown() override { library_stop(); }
  test::TempDir dir_;
};

struct Loaded {
  int status = -1;
  Bitmap bitmap{};
  FileInfo info{};
  ~Loaded() {
    bitmap_free(&bitmap);
    file_info_free(&info);
  }
};

// The four quadrant centres and the four corners of an upright w x h picture show their
// quadrants' colours (the corners catch a turn or mirror that is one pixel off).
void expect_upright(const Bitmap& b, int w, int h, const std::string& what) {
  ASSERT_EQ(b.width, w) << what;
  ASSERT_EQ(b.height, h) << what;
  for (int qy = 0; qy < 2; ++qy)
    for (int qx = 0; qx < 2; ++qx)
      for (bool corner : {false, true}) {
        const int x = corner ? qx * (w - 1) : w / 4 + qx * w / 2;
        const int y = corner ? qy * (h - 1) : h / 4 + qy * h / 2;
        const Rgb want = test::quadrant_colour(x, y, w, h), got = test::pixel_of(b, x, y);
        EXPECT_TRUE(test::near(got, want)) << what << " at " << x << "," << y << ": " << test::describe(got)
                                           << " instead of " << test::describe(want);
      }
}

// In a JPEG's Exif block of either byte order, and in a TIFF's own directory.
TEST_F(PictureLoaderTest, EveryCameraOrientationLoadsUpright) {
  constexpr int kW = 64, kH = 40;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    for (const char* kind : {".II.jpg", ".MM.jpg", ".tif"}) {
      const std::string what = std::string(kind) + " orientation " + std::to_string(orientation);
      const std::string path = dir_.file("o" + std::to_string(orientation) + kind);
      const bool tiff = kind[1] == 't';
      Bitmap stored = test::camera_picture(orientation, kW, kH);
      ASSERT_TRUE(tiff ? test::save_tiff(path, stored, orientation)
                       : test::save_jpeg(path, &stored, test::exif_with_orientation(orientation, kind[1] == 'M')))
          << what;
      bitmap_free(&stored);

      Loaded l;
      l.status = load_picture(path, PictureRequest{}, &l.bitmap, &l.info);
      ASSERT_EQ(l.status, 0) << what;
      expect_upright(l.bitmap, kW, kH, what);
      if (tiff) continue;
      // The turned picture's Exif block no longer asks for a turn (a saved copy stays upright).
      EXPECT_EQ(exif_chunk_orientation(l.bitmap.chunks), 1) << what;

      // Switched off, the picture comes as stored.
      Loaded raw;
      PictureRequest off;
      off.exif_rotate = false;
      ASSERT_EQ(load_picture(path, off, &raw.bitmap, &raw.info), 0) << what;
      EXPECT_EQ(raw.bitmap.width, orientation >= 5 ? kH : kW) << what;
    }
  }
}

// A 1-bit TIFF stored transposed and transversed (orientations 5 and 7: a quarter turn and a
// mirror), upright 21 pixels wide, not a whole number of bytes: the left half has one value and
// the right half the other.
TEST_F(PictureLoaderTest, TurnedAndMirroredBilevelTiffLoadsUpright) {
  constexpr int kW = 21, kH = 3, kRowBytes = (kH + 7) / 8;  // stored kH wide, kW high
  for (int orientation : {5, 7}) {
    std::vector<uint8_t> strip(kRowBytes * kW, 0);
    for (int uy = 0; uy < kH; ++uy)
      for (int ux = kW / 2; ux < kW; ++ux) {
        int sx, sy;
        test::stored_position(orientation, ux, uy, kW, kH, &sx, &sy);
        strip[kRowBytes * sy + sx / 8] |= static_cast<uint8_t>(0x80 >> (sx % 8));
      }
    test::TiffFile t;
    test::basic_page(t, kH, kW, 1, 1, 1, 1, strip);
    t.add(274, 3, {static_cast<uint64_t>(orientation)});
    const std::string path = dir_.file("turned" + std::to_string(orientation) + ".tif");
    test::write_file(path, t.build());
    Loaded l;
    ASSERT_EQ(load_picture(path, PictureRequest{}, &l.bitmap, &l.info), 0) << orientation;
    ASSERT_EQ(l.bitmap.type, kPixBilevel);
    ASSERT_EQ(l.bitmap.width, kW);
    for (int y = 0; y < kH; ++y) {
      const uint8_t* row = bitmap_row(&l.bitmap, y);
      for (int x = 0; x < kW; ++x)
        EXPECT_EQ(bit_get(row, x), bit_get(row, x < kW / 2 ? 0 : kW - 1)) << orientation << ": " << x << "," << y;
      EXPECT_NE(bit_get(row, 0), bit_get(row, kW - 1)) << orientation << ": " << y;
    }
  }
}

TEST_F(PictureLoaderTest, EmbeddedThumbnailTurnsLikeThePicture) {
  for (int orientation : {3, 6, 8}) {
    const std::string what = "thumbnail orientation " + std::to_string(orientation);
    const std::string thumb_path = dir_.file("t" + std::to_string(orientation) + ".jpg");
    Bitmap thumb = test::camera_picture(orientation, 16, 12);
    ASSERT_TRUE(test::save_jpeg(thumb_path, &thumb));
    bitmap_free(&thumb);
    const std::string path = dir_.file("m" + std::to_string(orientation) + ".jpg");
    Bitmap stored = test::camera_picture(orientation, 160, 120);
    ASSERT_TRUE(test::save_jpeg(path, &stored,
                                test::exif_with_orientation(orientation, false, test::read_file(thumb_path))));
    bitmap_free(&stored);

    Loaded l;
    PictureRequest r;
    r.mode = PictureLoadMode::Thumbnail;
    r.max_width = r.max_height = 140;
    l.status = load_picture(path, r, &l.bitmap, &l.info);
    ASSERT_EQ(l.status, 0) << what;
    EXPECT_EQ(l.info.reader_flag, 1u) << what << ": the embedded thumbnail was not taken";
    expect_upright(l.bitmap, 16, 12, what);
  }
}

TEST_F(PictureLoaderTest, ClaimedSizeStaysInsideThePixelBudget) {
  const std::string path = dir_.file("claims.jpg");
  ASSERT_TRUE(test::save_claiming_jpeg(path, 30000, 30000));
  ASSERT_LT(test::read_file(path).size(), 1000u);
  struct Case {
    uint32_t budget;
    int request_w, request_h;
  };
  for (const Case& c : {Case{64u << 20, 0, 0}, Case{1u << 20, 8000, 8000}}) {
    Loaded l;
    PictureRequest r;
    r.max_pixels = c.budget;
    r.max_width = c.request_w, r.max_height = c.request_h;
    const auto start = std::chrono::steady_clock::now();
    l.status = load_picture(path, r, &l.bitmap, &l.info);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(l.status, 0);
    EXPECT_LE(uint64_t(l.bitmap.width) * uint64_t(l.bitmap.height), c.budget);
    EXPECT_GE(uint64_t(l.bitmap.width) * uint64_t(l.bitmap.height), c.budget / 4) << "reduced more than needed";
    EXPECT_EQ(l.bitmap.width, l.bitmap.height);
    EXPECT_EQ(l.info.width, 30000u) << "the file's own size is still reported";
    // What the file really holds (red blocks at its start) shows in the top-left corner, averaged
    // with the grey that stands for the missing data.
    const Rgb corner = test::pixel_of(l.bitmap, 0, 0);
    EXPECT_TRUE(corner[0] > corner[1] + 30 && corner[0] > corner[2] + 30) << test::describe(corner);
    RecordProperty("seconds", std::to_string(seconds));
  }
}

TEST_F(PictureLoaderTest, FileIsRecognisedByContentWhateverItsName) {
  const std::string path = dir_.file("really_a_jpeg.png");
  Bitmap b = test::make_picture(32, 32, [](int x, int y) { return test::quadrant_colour(x, y, 32, 32); });
  ASSERT_TRUE(test::save_jpeg(path, &b));
  bitmap_free(&b);
  Loaded l;
  ASSERT_EQ(load_picture(path, PictureRequest{}, &l.bitmap, &l.info), 0);
  EXPECT_EQ(l.info.format_index, kFormatJpeg);
  expect_upright(l.bitmap, 32, 32, "misnamed JPEG");
}

}  // namespace
}  // namespace lumora::app
