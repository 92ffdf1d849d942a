#pragma once
// CompuServe GIF (GIF87a and GIF89a): the format table's reader and writer, and the loader that
// builds every frame of an animated GIF as a full-canvas palette Bitmap.
#include <cstdint>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"

namespace lumora {

// Format table entries.
int gif_read(ByteStream* stream, LoadContext* context);
int gif_write(ByteStream* stream, SaveContext* context);
// Palette pictures of at most 256 colours, grey and bilevel pictures.
void gif_capabilities(WriterCapability* list);

// One frame: a palette Bitmap the size of the canvas, and how long it is shown.
struct GifFrame {
  Bitmap bitmap;
  uint32_t delay_ms;
};

// Every frame of an animated GIF. The caller owns it: gif_animation_free releases every frame's
// Bitmap and then the array (both allocated with malloc).
struct GifAnimation {
  uint32_t frame_count;
  GifFrame* frames;
};

// Loads every frame of the GIF file at `path` (UTF-8). Returns 0; 1 out of memory; 2 not a GIF,
// or a file without any frame; 3 the file cannot be opened; 4 the file ends inside an image
// descriptor; 9 bad frame size or code size. With 1, 4 and 9 the frames completed before stay
// in `animation`. `animation` is overwritten (not freed) on entry.
int gif_load_frames(const char* path, GifAnimation* animation);
void gif_animation_free(GifAnimation* animation);

}  // namespace lumora
