// lumora-img on files that end early: what could be decoded is still written, a warning names the
// file and the load's own status, and the exit status is 2 (as djpeg's for a result with
// warnings); intact files exit 0 without a word. Which damage each reader reports as incomplete
// is checked by the reader tests.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "support/cli_runner.h"
#include "tests/support/png_file.h"
#include "tests/support/saved_picture.h"

namespace lumora::test {
namespace {

using lumora_test::RunResult;
using lumora_test::slurp;

class LumoraImgDamaged : public lumora_test::LibraryCliTest {
 protected:
  // A 48 x 32 colour gradient written by the library's writer of `format`.
  Bytes written(int format) {
    const auto gradient = [](int x, int y, uint8_t* p) {
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((3 * x + c) * 5 + y * 7);
    };
    EXPECT_EQ(save_picture(path("written.tmp"), format, 48, 32, gradient), 0);
    const std::string s = slurp(path("written.tmp"));
    return Bytes(s.begin(), s.end());
  }
};

TEST_F(LumoraImgDamaged, WrittenWithAWarningAndExitTwo) {
  struct Case {
    const char* ext;
    int format;
    std::function<size_t(const Bytes&)> cut_at;
  };
  const Case cases[] = {
      {"png",  // inside the image data
       kFormatPng,
       [](const Bytes& b) {
         const auto [at, n] = png_find_chunk(b, "IDAT");
         return at + n / 2;
       }},
      {"jpg", kFormatJpeg, [](const Bytes& b) { return b.size() / 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext);
    const Bytes intact = written(c.format);
    ASSERT_GT(intact.size(), 60u);
    const std::string good = std::string("good.") + c.ext, bad = std::string("bad.") + c.ext;
    lumora_test::write_bytes(path(good), intact);
    const Bytes damaged(intact.begin(), intact.begin() + static_cast<long>(c.cut_at(intact)));
    lumora_test::write_bytes(path(bad), damaged);
    const std::string warning =
        "lumora-img: " + bad + ": file ends early (status 4); the picture is incomplete\n";

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
