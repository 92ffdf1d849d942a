#pragma once
// Text tags, metadata blocks, resolution and position of a TIFF page.
#include <cstdint>

#include "imagelib/codecs/tiff/tiff_internal.h"

namespace lumora::tiff {

// ImageDescription as comment (flag 0x10000); the other text tags as "key: value" lines (flag
// 0x20000) unless they go to the Exif record (flag 0x40000 and an Exif directory). 0 or 1.
int keep_page_texts(const TiffFile& f, const TiffPage& page, LoadContext* context);
// With flag 0x40000: the Exif record (text tags and the Exif directory), IPTC and Photoshop
// blocks (kind 2) and the ICC profile (kind 4, 8-bit pages). 0 or 1.
int keep_page_metadata(const TiffFile& f, const TiffPage& page, LoadContext* context);
// Resolution in dots per inch by the resolution unit; 0 where it cannot be expressed.
void page_resolution(const TiffFile& f, const TiffPage& page, int32_t* xdpi, int32_t* ydpi);
// The page's position in pixels (position x resolution): false unless both tags are usable.
bool page_position(const TiffFile& f, const TiffPage& page, int32_t xdpi, int32_t ydpi,
                   uint32_t* x, uint32_t* y);

}  // namespace lumora::tiff
