// lumora-img opens a picture whose extension names another format by its content, and still
// refuses a file that no reader recognises.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cli_runner.h"

namespace {

class LumoraImgRecognition : public lumora_test::CliTest {};

TEST_F(LumoraImgRecognition, ByContentWhenTheExtensionMisleads) {
  // A 2 x 1 GIF89a (a black and a white pixel) saved as .jpg, and a text file saved as .jpg.
  lumora_test::write_bytes(path("photo.jpg"), {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0, 0, 0,
                                               255, 255, 255, 0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x44,
                                               0x0A, 0, 0x3B});
  const std::string text = "Shopping list: bread, milk\n";
  lumora_test::write_bytes(path("notes.jpg"), std::vector<uint8_t>(text.begin(), text.end()));

  const lumora_test::RunResult gif = run("info photo.jpg");
  EXPECT_EQ(gif.exit_code, 0) << gif.err;
  EXPECT_NE(gif.out.find("format: gif\n"), std::string::npos) << gif.out;
  EXPECT_NE(gif.out.find("width: 2\n"), std::string::npos) << gif.out;

  const lumora_test::RunResult notes = run("info notes.jpg");
  EXPECT_EQ(notes.exit_code, 12);
  EXPECT_NE(notes.err.find("lumora-img: notes.jpg: not recognised (status 2)"), std::string::npos) << notes.err;
}

}  // namespace
