#include "support/app_runner.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"

namespace lumora_test {

Screen read_screenshot(const std::string& png_path) {
  Screen s;
  lumora::library_start();
  lumora::Bitmap bmp{};
  lumora::LoadParams p;
  lumora::load_params_init(&p);
  p.component_order = 0;  // red, green, blue
  p.flags = 0x4;          // 3-byte colour
  p.alignment = 1;
  if (lumora::load_image(png_path.c_str(), &bmp, &p, nullptr) == 0 && bmp.pixels) {
    s.width = bmp.width;
    s.height = bmp.height;
    s.pixels.resize(static_cast<size_t>(s.width) * s.height);
    for (int y = 0; y < s.height; ++y) {
      const uint8_t* row = bmp.pixels + static_cast<size_t>(y) * bmp.bytes_per_line;
      for (int x = 0; x < s.width; ++x)
        s.pixels[static_cast<size_t>(y) * s.width + x] =
            (uint32_t{row[3 * x]} << 16) | (uint32_t{row[3 * x + 1]} << 8) | row[3 * x + 2];
    }
  }
  lumora::bitmap_free(&bmp);
  return s;
}

bool near_colour(uint32_t a, uint32_t b, int tol) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(ca - cb) > tol) return false;
  }
  return true;
}

void write_solid_picture(const std::string& path, int width, int height, uint32_t rgb) {
  lumora::library_start();
  lumora::Bitmap bmp{};
  ASSERT_EQ(lumora::bitmap_alloc(&bmp, 64 /* blue, green, red */, 4, width, height), 1);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bmp.pixels + static_cast<size_t>(y) * bmp.bytes_per_line;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = rgb & 0xFF;
      row[3 * x + 1] = (rgb >> 8) & 0xFF;
      row[3 * x + 2] = (rgb >> 16) & 0xFF;
    }
  }
  lumora::SaveParams sp;
  lumora::save_params_init(&sp);
  const std::string ext = path.substr(path.rfind('.') + 1);
  sp.format_index = static_cast<int16_t>(lumora::format_find(ext == "jpg" ? "jpeg" : ext.c_str()));
  ASSERT_EQ(lumora::save_image(path.c_str(), &bmp, &sp), 0) << path;
  lumora::bitmap_free(&bmp);
}

void AppTest::SetUp() {
  program_ = built_program("app/lumora");
  if (access(program_.c_str(), X_OK) != 0) GTEST_SKIP() << "lumora is not built at " << program_;
  char dir[] = "/tmp/lumora_appXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  dir_ = dir;
  for (const char* sub : {"/Pictures", "/config", "/data", "/runtime", "/cache"})
    ASSERT_EQ(mkdir((dir_ + sub).c_str(), 0700), 0);
}

void AppTest::TearDown() {
  if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
}

RunResult AppTest::run(const std::string& args) const {
  const std::string out = dir_ + "/.stdout", err = dir_ + "/.stderr";
  const std::string env = "HOME='" + dir_ + "' XDG_CONFIG_HOME='" + dir_ + "/config' XDG_DATA_HOME='" + dir_ +
                          "/data' XDG_CACHE_HOME='" + dir_ + "/cache' XDG_RUNTIME_DIR='" + dir_ +
                          "/runtime' XDG_PICTURES_DIR='" + pictures() + "' LANG=C.UTF-8 LC_ALL= LANGUAGE= ";
  const std::string cmd = "cd '" + dir_ + "' && " + env + "'" + program_ + "' --headless --config-dir '" + config() +
                          "' " + args + " >" + out + " 2>" + err;
  const int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

Screen AppTest::run_keys(const std::string& target, const std::string& keys, const std::string& extra,
                         RunResult* result) const {
  const std::string shot = dir_ + "/.shot.png";
  unlink(shot.c_str());
  RunResult r = run(extra + " --keys '" + keys + "' --screenshot '" + shot + "' '" + target + "'");
  if (result) *result = r;
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return read_screenshot(shot);
}

}  // namespace lumora_test
