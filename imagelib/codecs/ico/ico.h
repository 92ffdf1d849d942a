#pragma once
// Windows icon files (ICO: an icon directory followed by device-independent bitmaps without file
// header, each an XOR colour bitmap and a 1-bit AND transparency mask): the format table's
// reader. The image that LoadParams::image_index names is loaded; the count goes to FileInfo.
#include "imagelib/core/format.h"

namespace lumora {

int ico_read(ByteStream* stream, LoadContext* context);

}  // namespace lumora
