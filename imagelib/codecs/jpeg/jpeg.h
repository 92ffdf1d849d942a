#pragma once
// The JPEG/JFIF codec on libjpeg (version 6b interface): the format table's reader, writer and
// capabilities functions, the reader of a bare JFIF stream that the TIFF reader calls for
// JPEG-compressed pages, and the helpers the codec is built from that are useful on their own.
#include <cstddef>
#include <cstdint>

#include "imagelib/core/format.h"

namespace lumora {

// Format table entries (row "jpeg").
int jpeg_read(ByteStream* stream, LoadContext* context);
int jpeg_write(ByteStream* stream, SaveContext* context);
void jpeg_capabilities(WriterCapability* list);

// Reads one complete JFIF stream that starts at the stream's current position (the caller has
// seeked there) as the picture of `context`. Only COM markers are looked at (the first becomes
// the comment with load flag 0x10000); no metadata chunks, embedded thumbnail or quality estimate.
// `description` (e.g. "TIFF (jpeg)") is given to the header as it is. Returns the reader codes of
// jpeg_read.
int jpeg_read_jfif_stream(ByteStream* stream, LoadContext* context, const char* description);
// The same for a JFIF stream already in memory (`size` bytes at `data`).
int jpeg_read_jfif_memory(const uint8_t* data, size_t size, LoadContext* context,
                          const char* description);

// Quality estimate from quantisation tables in natural (row-major) order; a null slot is an
// absent table. 1..100, or -1 when it cannot tell (no table in slot 0).
int jpeg_estimate_quality(const uint16_t* const tables[4]);

// libjpeg's DCT scale denominator for quick decoding of a picture whose full output size is
// width x height into the box max_width x max_height: 1, 2, 4 or 8, the largest reduction that
// does not go below the box (1 when the box is missing or larger than the picture).
unsigned jpeg_scale_denominator(uint32_t width, uint32_t height, int32_t max_width,
                                int32_t max_height);

}  // namespace lumora
