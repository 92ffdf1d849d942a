#pragma once
// A temporary folder removed with everything in it at the end of its scope, and environment
// variables set for one scope and put back afterwards (also when a test fails half-way).
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/picture_file.h"
#include "tests/support/scoped_env.h"

namespace lumora::plat::testing {

using TempDir = lumora::test::TempDir;
using ScopedEnv = lumora::test::ScopedEnv;

// The whole file as bytes; empty when it cannot be read.
inline std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace lumora::plat::testing
