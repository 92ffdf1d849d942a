#pragma once
// The IFD builder now lives in tests/support/exif_block.h; this name is kept for the program's
// tests, which include it under the old name.
#include "tests/support/exif_block.h"

namespace lumora::test {
using TiffBuilder = IfdBlock;
}  // namespace lumora::test
