#pragma once
// Portable Network Graphics through libpng: the format table's reader and writer.
#include "imagelib/core/format.h"

namespace lumora {

int png_read(ByteStream* stream, LoadContext* context);
// A PNG stream inside another file (an icon's image), read from the stream's position with the
// same limits. The picture's description is `description`. A stream that is no usable PNG gives
// status 10 instead of 2: the surrounding file was recognised already.
int png_read_embedded(ByteStream* stream, LoadContext* context, const char* description);
// Bilevel, grey, palette, RGB and RGBA pictures; optional Adam7 interlacing.
int png_write(ByteStream* stream, SaveContext* context);
// 4-component colour, 3-component colour, grey, palette, bilevel.
void png_capabilities(WriterCapability* list);

}  // namespace lumora
