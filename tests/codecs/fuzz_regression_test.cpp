// Inputs found by fuzzing the readers (minimised by hand), each loaded the way the fuzz targets
// load it: the reader must answer with a clean status and keep its memory within what the file
// can justify.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imagelib/codecs/gif/gif.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "tests/support/gif_file.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

// ---- GIF animation ----------------------------------------------------------------------------

// A 15999 x 15999 screen (each frame a canvas of about 256 MB) holding `frames` images of one
// pixel, each a dozen bytes of file.
std::vector<uint8_t> tiny_frames_on_huge_screen(int frames) {
  test::GifBuilder g;
  g.header(15999, 15999, 1);
  for (int i = 0; i < frames; ++i) g.image(0, 0, 1, 1, {0});
  return g.trailer().bytes;
}

TEST(FuzzRegressionGif, FramesStopAtTheMemoryBudget) {
  // Each further frame of a few bytes would have cost another full canvas.
  test::TempFile file(tiny_frames_on_huge_screen(3), "gif");
  GifAnimation animation{};
  const int status = gif_load_frames(file.path().c_str(), &animation);
  EXPECT_EQ(status, kStatusNoMemory);
  EXPECT_EQ(animation.frame_count, 1u);   // the frame that fits is kept
  gif_animation_free(&animation);
}

// ---- JPEG ---------------------------------------------------------------------------------------

// A progressive grey picture whose `scans` DC scans carry no data: DQT, SOF2, a one-code DC table
// and the scans, each of ten bytes.
std::vector<uint8_t> empty_scans(uint16_t side, int scans) {
  std::vector<uint8_t> j = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
  j.insert(j.end(), 64, 1);
  j.insert(j.end(), {0xFF, 0xC2, 0x00, 0x0B, 0x08, static_cast<uint8_t>(side >> 8),
                     static_cast<uint8_t>(side), static_cast<uint8_t>(side >> 8),
                     static_cast<uint8_t>(side), 0x01, 0x01, 0x11, 0x00});
  j.insert(j.end(), {0xFF, 0xC4, 0x00, 0x14, 0x00, 1});
  j.insert(j.end(), 15, 0);
  j.push_back(0);
  for (int i = 0; i < scans; ++i)
    j.insert(j.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00});
  j.insert(j.end(), {0xFF, 0xD9});
  return j;
}

int load_jpeg(const std::vector<uint8_t>& bytes, Bitmap* bitmap) {
  library_start();
  test::TempFile file(bytes, "jpg");
  LoadParams p;
  load_params_init(&p);
  p.format_index = kFormatJpeg;
  FileInfo info{};
  const int status = load_image(file.path().c_str(), bitmap, &p, &info);
  file_info_free(&info);
  return status;
}

TEST(FuzzRegressionJpeg, EmptyScansStopAtTheScanWork) {
  // A thousand empty scans over 2048 x 2048 cost a thousand passes over 65536 blocks; ten kB of
  // file over a picture of 65500 x 65500 took minutes.
  Bitmap bitmap{};
  EXPECT_EQ(load_jpeg(empty_scans(2048, 1000), &bitmap), kStatusNotRecognised);
  bitmap_free(&bitmap);
  // A handful of scans is an ordinary progressive file.
  Bitmap ordinary{};
  ASSERT_EQ(load_jpeg(empty_scans(2048, 6), &ordinary), kStatusOk);
  EXPECT_EQ(ordinary.width, 2048);
  EXPECT_EQ(ordinary.height, 2048);
  bitmap_free(&ordinary);
}

}  // namespace
}  // namespace lumora
