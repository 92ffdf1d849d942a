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
#include "imagelib/core/status.h"

namespace lumora {
namespace {

// A private file holding the bytes, removed with the object.
class TempFile {
 public:
  TempFile(const std::vector<uint8_t>& bytes, const char* extension) {
    path_ = std::string("/tmp/lumora_fuzzreg_XXXXXX.") + extension;
    const int fd = mkstemps(path_.data(), static_cast<int>(std::string(extension).size() + 1));
    if (fd < 0) ADD_FAILURE() << "cannot create " << path_;
    if (fd >= 0) {
      const ssize_t n = write(fd, bytes.data(), bytes.size());
      EXPECT_EQ(n, static_cast<ssize_t>(bytes.size()));
      close(fd);
    }
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

void append_u16le(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

// ---- GIF animation ----------------------------------------------------------------------------

// A 15999 x 15999 screen (each frame a canvas of about 256 MB) holding `frames` images of one
// pixel, each a dozen bytes of file.
std::vector<uint8_t> tiny_frames_on_huge_screen(int frames) {
  std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a'};
  append_u16le(&g, 15999);
  append_u16le(&g, 15999);
  g.insert(g.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});   // two-colour global table
  for (int i = 0; i < frames; ++i) {
    g.push_back(0x2C);
    append_u16le(&g, 0);
    append_u16le(&g, 0);
    append_u16le(&g, 1);
    append_u16le(&g, 1);
    g.push_back(0);
    // Code size 2: clear (4), pixel 0, end (5) in 3-bit codes, least significant bits first.
    g.insert(g.end(), {2, 2, 0x44, 0x01, 0});
  }
  g.push_back(0x3B);
  return g;
}

TEST(FuzzRegressionGif, FramesStopAtTheMemoryBudget) {
  // Each further frame of a few bytes would have cost another full canvas.
  TempFile file(tiny_frames_on_huge_screen(3), "gif");
  GifAnimation animation{};
  const int status = gif_load_frames(file.path(), &animation);
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
  TempFile file(bytes, "jpg");
  LoadParams p;
  load_params_init(&p);
  p.format_index = kFormatJpeg;
  FileInfo info{};
  const int status = load_image(file.path(), bitmap, &p, &info);
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
