// lumora-img on files that end early or whose image data are damaged: what could be decoded is
// still written, a warning names the file and the load's own status, and the exit status is 2
// (as djpeg's for a result with warnings); intact files exit 0 without a word.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "support/cli_runner.h"
#include "tests/support/png_file.h"

namespace lumora::test {
namespace {

using lumora_test::RunResult;
using lumora_test::slurp;

class LumoraImgDamaged : public lumora_test::LibraryCliTest {
 protected:
  // A 48 x 32 colour gradient written by the library's writer of `format`.
  Bytes written(int format) {
    Bitmap bitmap{};
    EXPECT_EQ(bitmap_alloc(&bitmap, kPixRGB, 1, 48, 32), 1);
    for (int32_t y = 0; y < 32; ++y) {
      uint8_t* row = bitmap_row(&bitmap, y);
      for (int32_t x = 0; x < 48 * 3; ++x) row[x] = static_cast<uint8_t>(x * 5 + y * 7);
    }
    SaveParams params;
    save_params_init(&params);
    params.format_index = static_cast<int16_t>(format);
    const std::string file = path("written.tmp");
    EXPECT_EQ(save_image(file.c_str(), &bitmap, &params), 0);
    bitmap_free(&bitmap);
    std::string s = slurp(file);
    return Bytes(s.begin(), s.end());
  }
};

std::pair<size_t, size_t> idat(const Bytes& png) {
  const auto found = png_find_chunk(png, "IDAT");
  EXPECT_NE(found.first, 0u) << "no IDAT";
  return found;
}

Bytes cut(Bytes b, size_t size) {
  b.resize(std::min(size, b.size()));
  return b;
}

// A binary PPM of 8 x 8 pixels.
Bytes ppm() {
  std::string head = "P6\n8 8\n255\n";
  Bytes b(head.begin(), head.end());
  for (int i = 0; i < 8 * 8 * 3; ++i) b.push_back(static_cast<uint8_t>(i));
  return b;
}

TEST_F(LumoraImgDamaged, WrittenWithAWarningAndExitTwo) {
  struct Case {
    const char* name;
    const char* ext;
    std::function<Bytes()> intact;
    std::function<Bytes(const Bytes&)> damage;
    const char* warning;  // after "lumora-img: FILE: "
  };
  const std::string ends_early = "file ends early (status 4); the picture is incomplete\n";
  const Case cases[] = {
      {"png ending inside its image data", "png", [&] { return written(kFormatPng); },
       [](const Bytes& b) { auto [at, n] = idat(b); return cut(b, at + n / 2); }, ends_early.c_str()},
      {"png whose image data fail their CRC", "png", [&] { return written(kFormatPng); },
       [](const Bytes& b) {
         Bytes d = b;
         auto [at, n] = idat(b);
         d[at + n / 2] ^= 0x5A;
         return d;
       },
       ends_early.c_str()},
      {"bmp ending halfway", "bmp", [&] { return written(kFormatBmp); },
       [](const Bytes& b) { return cut(b, b.size() / 2); }, ends_early.c_str()},
      {"tga ending halfway", "tga", [&] { return written(kFormatTga); },
       [](const Bytes& b) { return cut(b, b.size() / 2); }, ends_early.c_str()},
      {"jpeg ending halfway", "jpg", [&] { return written(kFormatJpeg); },
       [](const Bytes& b) { return cut(b, b.size() / 2); }, ends_early.c_str()},
      {"ppm ending halfway", "ppm", ppm, [](const Bytes& b) { return cut(b, b.size() / 2); }, ends_early.c_str()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes intact = c.intact();
    ASSERT_GT(intact.size(), 60u);
    const std::string good = std::string("good.") + c.ext, bad = std::string("bad.") + c.ext;
    lumora_test::write_bytes(path(good), intact);
    lumora_test::write_bytes(path(bad), c.damage(intact));
    const std::string warning = "lumora-img: " + bad + ": " + c.warning;

    RunResult r = run("decode " + good + " good.pam");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    r = run("decode " + bad + " bad.pam");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(slurp(path("bad.pam")).rfind("P7\n", 0), 0u);

    r = run("convert " + good + " good_out.bmp");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    r = run("convert " + bad + " bad_out.bmp");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, warning);
    EXPECT_FALSE(slurp(path("bad_out.bmp")).empty());

    r = run("thumbs --quiet -o th " + good);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "1 thumbnails, 0 failed\n");
    r = run("thumbs --quiet -o th " + good + " " + bad);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, warning + "2 thumbnails, 0 failed\n");
    EXPECT_FALSE(slurp(path("th/bad.png")).empty());
    // A failure decides over a warning.
    r = run("thumbs --quiet -o th " + bad + " missing." + c.ext);
    EXPECT_EQ(r.exit_code, 13);
  }
}

}  // namespace
}  // namespace lumora::test
