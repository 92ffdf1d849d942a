#pragma once
// libjpeg source managers: one over the library's ByteStream, one over a block of memory (the
// Exif thumbnail, or JPEG data another reader already holds). Both read in 4096-byte steps and,
// when the data ends after the first byte, hand libjpeg a synthetic end-of-image marker so that a
// truncated file decodes to its last row (with libjpeg's silent "Premature end" warning).
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

namespace lumora {

struct ByteStream;

// Attaches a source reading `stream` from its current position. The manager and its buffer come
// from libjpeg's permanent pool and go with the decompressor. Raises libjpeg's out-of-memory
// error when the pool is exhausted, so it must run under jpeg_guarded.
void jpeg_stream_source(j_decompress_ptr cinfo, ByteStream* stream);
// Attaches a source over `size` bytes at `data`, which must outlive the decompression.
void jpeg_memory_source(j_decompress_ptr cinfo, const uint8_t* data, size_t size);
// Whether the source ran out before the end-of-image marker (the picture was finished with a
// synthetic one): the file is truncated.
bool jpeg_source_ended_early(j_decompress_ptr cinfo);

}  // namespace lumora
