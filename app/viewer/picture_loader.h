#pragma once
// The one picture loader of the program: thumbnails for the browser's worker, the picture
// window's display loads and the Properties preview all go through it, with the program's fixed
// load options (blue-green-red order, rows aligned to 4 bytes, 3-byte colour preferred,
// incomplete files accepted, recognition by content when the extension's reader declines).
#include <string>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"

namespace lumora::app {

enum class PictureLoadMode {
  Display,    // picture window: averaging reduction to the request
  Thumbnail,  // browser: quick decoding, the box as maximum, embedded thumbnails when allowed
  Preview,    // Properties dialog's small picture: quick decoding, averaging
};

struct PictureRequest {
  PictureLoadMode mode = PictureLoadMode::Display;
  int page = 0;
  int max_width = 0, max_height = 0;  // 0: no request
  bool high_quality = false;          // thumbnails reduced by averaging
  bool use_embedded = true;           // thumbnails may come from the picture stored in the file
  bool exif_rotate = true;            // turn by the camera's Orientation tag
  bool use_cache = false;             // thumbnails: the shared freedesktop.org thumbnail cache
  uint32_t max_pixels = 64u << 20;    // pixel budget (MaxPictureMP) when no smaller request
};

// Loads the picture into *bitmap (released with bitmap_free by the caller). info may be null.
// Returns the library status (0 success).
int load_picture(const std::string& path, const PictureRequest& request, lumora::Bitmap* bitmap,
                 lumora::FileInfo* info);

}  // namespace lumora::app
