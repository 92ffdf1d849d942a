#pragma once
// Finding the JPEG thumbnail that a camera stores in the Exif block of an APP1 marker
// (Exif 2.3 section 4.5.4: JPEGInterchangeFormat and JPEGInterchangeFormatLength in IFD1).
#include <cstddef>
#include <cstdint>

namespace lumora {

struct ExifThumbnailLocation {
  uint32_t offset;  // from the start of the APP1 payload ("Exif\0\0...")
  uint32_t length;
};

// Looks for the thumbnail in an APP1 payload that begins "Exif", two NUL bytes and a TIFF
// structure. Returns true and fills `out` when both tags are present and the thumbnail lies
// wholly inside the payload. Nothing outside the `length` bytes at `payload` is ever read,
// whatever the offsets, counts and types in the block say.
bool exif_locate_thumbnail(const uint8_t* payload, size_t length, ExifThumbnailLocation* out);

}  // namespace lumora
