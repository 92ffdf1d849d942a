#pragma once
// Portable Network Graphics through libpng: the format table's reader and writer.
#include "imagelib/core/format.h"

namespace lumora {

int png_read(ByteStream* stream, LoadContext* context);
// Bilevel, grey, palette, RGB and RGBA pictures; optional Adam7 interlacing.
int png_write(ByteStream* stream, SaveContext* context);
// 4-component colour, 3-component colour, grey, palette, bilevel.
void png_capabilities(WriterCapability* list);

}  // namespace lumora
