// lumora-img info and decode, run as a process on pictures written by the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "tests/support/bmp_file.h"

namespace {

using lumora_test::RunResult;
using lumora_test::slurp;

class LumoraImg : public lumora_test::CliTest {
 protected:
  // A 24-bit Windows bitmap, 5 x 3, bottom-up; file row y holds grey levels 50 x + y.
  void write_bmp(const std::string& name) {
    std::vector<uint8_t> rows;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x)
        for (int c = 0; c < 3; ++c) rows.push_back(static_cast<uint8_t>(50 * x + y));
      rows.push_back(0);  // rows padded to 16 bytes
    }
    lumora::test::BmpFile f;
    f.width = 5;
    f.height = 3;
    f.pixels = rows;
    lumora::test::write_file(dir_ + "/" + name, f.build());
  }
};

TEST_F(LumoraImg, InfoBlocksAndExitCodes) {
  write_bmp("a.bmp");
  write_bmp("b.bmp");
  std::ofstream(dir_ + "/junk.xyz") << "nothing";
  // Extensions that mislead: a 2 x 1 GIF89a saved as .jpg is found by its content; a text file
  // saved as .jpg is not recognised.
  lumora_test::write_bytes(path("photo.jpg"), {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0, 0, 0,
                                               255, 255, 255, 0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x44,
                                               0x0A, 0, 0x3B});
  std::ofstream(dir_ + "/notes.jpg") << "Shopping list: bread, milk\n";
  struct Case {
    std::string args;
    int exit_code;
    std::vector<std::string> out_has, err_has;
  } cases[] = {
      {"info a.bmp", 0,
       {"file: a.bmp\nformat: bmp\ndescription: Windows Bitmap\nwidth: 5\nheight: 3\n"
        "bits_per_sample: 8\nsamples_per_pixel: 3\nimage_count: 1\nxdpi: 72\nydpi: 72\n"
        "compression: Uncompressed\ncolor_model: RGB\n"},
       {}},
      {"info a.bmp b.bmp", 0, {"color_model: RGB\n\nfile: b.bmp\n"}, {}},
      {"info --json a.bmp", 0, {"[\n  {\"file\": \"a.bmp\", \"format\": \"bmp\"", "\"width\": 5", "\"text\": []}\n]\n"}, {}},
      {"info missing.bmp a.bmp", 13, {"file: a.bmp"}, {"lumora-img: missing.bmp: cannot open (status 3)"}},
      {"info a.bmp junk.xyz", 12, {"file: a.bmp"}, {"lumora-img: junk.xyz: not recognised (status 2)"}},
      {"info photo.jpg", 0, {"format: gif\n", "width: 2\n"}, {}},
      {"info notes.jpg", 12, {}, {"lumora-img: notes.jpg: not recognised (status 2)"}},
      {"info", 1, {}, {"lumora-img: info: no FILE given"}},
      {"info --bogus a.bmp", 1, {}, {"unknown option"}},
      {"info --help", 0, {"usage: lumora-img info"}, {}},
  };
  for (const Case& c : cases) {
    const RunResult r = run(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args << "\n" << r.err;
    for (const std::string& s : c.out_has) EXPECT_NE(r.out.find(s), std::string::npos) << c.args << "\n" << r.out;
    for (const std::string& s : c.err_has) EXPECT_NE(r.err.find(s), std::string::npos) << c.args << "\n" << r.err;
  }
}

TEST_F(LumoraImg, DecodeWritesWhatTheLibraryDecoded) {
  write_bmp("a.bmp");
  struct Case {
    std::string args;
    int exit_code;
    std::string header;             // expected PAM header, empty when no output is expected
    std::vector<uint8_t> first;     // first samples after the header
  } cases[] = {
      // Rows top to bottom: the bottom-up file's last row (y = 2) comes first.
      {"decode a.bmp out.pam", 0,
       "P7\nWIDTH 5\nHEIGHT 3\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n", {2, 2, 2, 52, 52, 52}},
      {"decode --alpha a.bmp out.pam", 0,
       "P7\nWIDTH 5\nHEIGHT 3\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", {2, 2, 2, 255}},
      {"decode --max 2x2 --reduce average a.bmp out.pam", 0,
       "P7\nWIDTH 2\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n", {}},
      {"decode --max 3x3 --reduce nearest a.bmp out.pam", 0,
       "P7\nWIDTH 3\nHEIGHT 2\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n", {}},
      {"decode missing.bmp out.pam", 13, "", {}},
      {"decode a.bmp", 1, "", {}},
      {"decode --reduce sideways a.bmp out.pam", 1, "", {}},
      {"decode --flags zz a.bmp out.pam", 1, "", {}},
      {"decode --embedded 3 a.bmp out.pam", 1, "", {}},
  };
  for (const Case& c : cases) {
    std::remove((dir_ + "/out.pam").c_str());
    const RunResult r = run(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.args << "\n" << r.err;
    const std::string pam = slurp(dir_ + "/out.pam");
    if (c.header.empty()) {
      EXPECT_TRUE(pam.empty()) << c.args;
      continue;
    }
    ASSERT_EQ(pam.substr(0, c.header.size()), c.header) << c.args;
    const std::string body = pam.substr(c.header.size());
    for (size_t i = 0; i < c.first.size(); ++i)
      EXPECT_EQ(static_cast<uint8_t>(body[i]), c.first[i]) << c.args << " sample " << i;
  }
}

}  // namespace
