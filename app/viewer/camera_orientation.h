#pragma once
// The camera's Orientation tag (TIFF 6.0 tag 274, Exif 2.3 section 4.6.4): where the stored
// picture's first row and first column lie in the scene. Values 2 to 8 ask the viewer to mirror,
// turn or both before the picture is upright.
#include <cstdint>

#include "imagelib/core/bitmap.h"

namespace lumora::app {

constexpr uint16_t kOrientationTag = 274;

// The Orientation value in IFD0 of a kind-1 metadata chunk ("Exif\0\0" and a TIFF body), or 1
// when there is no such chunk, tag or usable value.
int exif_chunk_orientation(const lumora::MetadataChunk* chunks);
// Rewrites the Orientation value of the chunk's IFD0 as 1 (upright), so that a picture turned
// on loading does not carry a stale tag into a saved copy.
void exif_chunk_clear_orientation(lumora::MetadataChunk* chunks);

// The Orientation value of directory `page` of a TIFF file, or 1. Reads only the header and
// the directories on the way; every offset is checked against the file's size.
int tiff_file_orientation(const char* path, int page);

// Mirrors every row left to right, in place (any pixel type).
void bitmap_mirror(lumora::Bitmap* bitmap);

// Turns and mirrors the picture so that a picture tagged with `orientation` (1..8) shows
// upright. Returns the library status: 0, or 1 when memory is short (the picture is then left
// as it was loaded).
int bitmap_apply_orientation(lumora::Bitmap* bitmap, int orientation);

}  // namespace lumora::app
