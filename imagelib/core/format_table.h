#pragma once
// The static format table that library_start copies into the registry.
#include "imagelib/core/format.h"

namespace lumora {
extern const FormatEntry kFormatTable[kStaticFormatCount];
}
