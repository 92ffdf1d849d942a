#pragma once
// ZSoft PC Paintbrush (PCX, "ZSoft PCX File Format Technical Reference Manual"): the format
// table's reader. 1 to 8 planes, run-length encoded or raw rows, palettes from the 256-colour
// block of version-5 files, the header's 16 entries or the version-3 default.
#include "imagelib/core/format.h"

namespace lumora {

int pcx_read(ByteStream* stream, LoadContext* context);

}  // namespace lumora
