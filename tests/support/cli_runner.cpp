#include "support/cli_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "imagelib/core/format.h"

namespace lumora_test {

// Test programs live in build/tests/; the programs beside that folder (build/tools/lumora-img,
// build/app/lumora).
std::string built_program(const std::string& relative) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = '\0';
  std::string dir(self);
  dir = dir.substr(0, dir.rfind('/'));
  return dir.substr(0, dir.rfind('/')) + "/" + relative;
}

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void CliTest::SetUp() {
  tool_ = built_program("tools/lumora-img");
  if (access(tool_.c_str(), X_OK) != 0) GTEST_SKIP() << "lumora-img is not built at " << tool_;
  char dir[] = "/tmp/lumora_cliXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  dir_ = dir;
}

void CliTest::TearDown() {
  if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
}

RunResult CliTest::run(const std::string& args) const {
  const std::string out = dir_ + "/.stdout", err = dir_ + "/.stderr";
  const std::string cmd = "cd '" + dir_ + "' && '" + tool_ + "' " + args + " >" + out + " 2>" + err;
  const int status = std::system(cmd.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

void LibraryCliTest::SetUp() {
  CliTest::SetUp();
  lumora::library_start();
}

void LibraryCliTest::TearDown() {
  lumora::library_stop();
  CliTest::TearDown();
}

}  // namespace lumora_test
