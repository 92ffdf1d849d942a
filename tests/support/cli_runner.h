#pragma once
// Runs the built lumora-img as a process inside a private temporary folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lumora_test {

struct RunResult {
  int exit_code;  // -1 when the process did not exit normally
  std::string out, err;
};

// A program of the build, by its path below the build folder ("tools/lumora-img").
std::string built_program(const std::string& relative);
// The whole content of a file, or "" when it cannot be read.
std::string slurp(const std::string& path);
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A fixture with the tool's path and a fresh folder that is removed afterwards. Skips when the
// tool is not built next to the tests (build/tools/lumora-img).
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Runs "lumora-img ARGS" with the folder as working directory; ARGS is shell text.
  RunResult run(const std::string& args) const;
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  std::string tool_, dir_;
};

// A CliTest whose test also uses the image library itself, to write the tool's inputs and read
// its outputs: the library is started after the folder is made and stopped before it goes.
class LibraryCliTest : public CliTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace lumora_test
