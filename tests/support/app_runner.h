#pragma once
// Runs the built program headless, as a person would use it through its keys, in a private
// temporary home: its own configuration, pictures, data and runtime folders.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/cli_runner.h"

namespace lumora_test {

// A screenshot read back: width x height pixels 0x00RRGGBB, rows top-down.
struct Screen {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool empty() const { return pixels.empty(); }
};
Screen read_screenshot(const std::string& png_path);
// Whether two colours are within tol in every channel.
bool near_colour(uint32_t a, uint32_t b, int tol);
// Writes a width x height picture of one colour (0xRRGGBB) in the format of the file's extension.
void write_solid_picture(const std::string& path, int width, int height, uint32_t rgb);

// A fixture with the program's path and a fresh home; skips when the program is not built
// (build/app/lumora).
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs "lumora --headless ARGS" in the home; ARGS is shell text.
  RunResult run(const std::string& args) const;
  // Runs the keys on PATH at a screen size and returns the screenshot taken at the end.
  Screen run_keys(const std::string& path, const std::string& keys, const std::string& extra = "",
                  RunResult* result = nullptr) const;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::string pictures() const { return dir_ + "/Pictures"; }
  std::string config() const { return dir_ + "/config"; }

  std::string program_, dir_;
};

}  // namespace lumora_test
