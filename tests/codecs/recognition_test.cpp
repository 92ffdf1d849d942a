// Pictures under another format's extension, loaded with the application's fixed flags: the
// reader of the extension declines and recognition by content finds the right one, while a file
// no reader recognises is still refused.
#include <gtest/gtest.h>

#include <string>

#include "imagelib/core/status.h"
#include "tests/support/picture_file.h"

namespace lumora {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;
using Pixel = std::array<int, 4>;

::testing::Environment* const library_env = ::testing::AddGlobalTestEnvironment(new LibraryStarted);

// A 2 x 1 GIF89a: a black and a white pixel (LZW codes clear, 0, 1, end at 3 bits).
const Bytes kGif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                    0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x44, 0x0A, 0, 0x3B};

TEST(Recognition, MisnamedPicturesLoadByContent) {
  const Bytes png = png_rgba(2, 1, {10, 20, 30, 255, 200, 100, 0, 255});
  struct Case {
    const char* name;
    Bytes file;
    const char* extension;
    int status;
    const char* format;
    Pixel second;   // pixel (1, 0)
  };
  const std::string text = "Shopping list: bread, milk\n";
  const Case cases[] = {
      {"PNG named .pbm", png, "pbm", 0, "png", {200, 100, 0, 255}},
      {"PNG named .jpg", png, "jpg", 0, "png", {200, 100, 0, 255}},
      {"GIF named .jpg", kGif, "jpg", 0, "gif", {255, 255, 255, 255}},
      {"text named .jpg", Bytes(text.begin(), text.end()), "jpg", kStatusNotRecognised, nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadParams p = plain_params();
    p.flags = kLoadApplicationFlags;
    p.component_order = 0;
    LoadedPicture pic;
    load_bytes(c.file, c.extension, p, &pic);
    ASSERT_EQ(pic.status, c.status);
    if (!c.format) continue;
    EXPECT_STREQ(format_name(pic.info.format_index), c.format);
    EXPECT_EQ(pic.rgba(1, 0), c.second);
  }
}

}  // namespace
}  // namespace lumora
