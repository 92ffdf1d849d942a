#pragma once
// Windows and OS/2 bitmaps (also the "2bp" Pocket PC variant and DXT1/DXT3 block data behind a
// bitmap header): the reader and the writer attached to the format table.
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"

namespace lumora {

// Reads a bitmap through the load pipeline's services. 0, 1, 2 (not a bitmap, unsupported
// compression or depth), 4 (file ends early), 9 (impossible size, with a message) or 15.
int bmp_read(ByteStream* stream, LoadContext* context);

// Writes the picture as a Windows bitmap (or OS/2 with SaveParams::os2_bitmap), uncompressed or
// with RLE4/RLE8 (SaveParams::rle). 0, 1, 6 (write error), 7 (cannot store) or 15.
int bmp_write(ByteStream* stream, SaveContext* context);

}  // namespace lumora
