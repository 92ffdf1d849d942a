// Source managers (the libjpeg 6b jpeg_source_mgr interface).
#include "imagelib/codecs/jpeg/jpeg_source.h"

#include <jerror.h>

#include <algorithm>

#include "imagelib/core/stream.h"

namespace lumora {
namespace {

constexpr size_t kInputBufferBytes = 4096;
// An end-of-image marker (ITU-T T.81 table B.1) put in place of missing data.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

struct SourceBase {
  jpeg_source_mgr pub;  // first member: libjpeg sees only this part
  bool start_of_file;
  bool ended_early;     // the data stopped before the end-of-image marker
};

struct StreamSource {
  SourceBase base;
  ByteStream* stream;
  JOCTET* buffer;
};

struct MemorySource {
  SourceBase base;
  const uint8_t* data;
  size_t size;
  size_t position;
};

// Shared end-of-data rule: nothing at all is an empty file (a fatal error); data that stops
// later is a truncated file, finished with a synthetic end-of-image marker.
void supply_end_of_image(j_decompress_ptr cinfo, SourceBase* source) {
  if (source->start_of_file) ERREXIT(cinfo, JERR_INPUT_EMPTY);
  WARNMS(cinfo, JWRN_JPEG_EOF);
  source->ended_early = true;
  source->pub.next_input_byte = kEndOfImage;
  source->pub.bytes_in_buffer = sizeof kEndOfImage;
}

void init_source(j_decompress_ptr cinfo) {
  reinterpret_cast<SourceBase*>(cinfo->src)->start_of_file = true;
  reinterpret_cast<SourceBase*>(cinfo->src)->ended_early = false;
}

void term_source(j_decompress_ptr) {}

boolean fill_from_stream(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<StreamSource*>(cinfo->src);
  const size_t got = stream_read_some(source->stream, source->buffer, kInputBufferBytes);
  if (got == 0) {
    supply_end_of_image(cinfo, &source->base);
  } else {
    source->base.pub.next_input_byte = source->buffer;
    source->base.pub.bytes_in_buffer = got;
  }
  source->base.start_of_file = false;
  return TRUE;
}

boolean fill_from_memory(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<MemorySource*>(cinfo->src);
  const size_t left = source->size - source->position;
  if (left == 0) {
    supply_end_of_image(cinfo, &source->base);
  } else {
    // libjpeg never writes through next_input_byte, so the block is handed over in place.
    const size_t step = std::min(left, kInputBufferBytes);
    source->base.pub.next_input_byte = source->data + source->position;
    source->base.pub.bytes_in_buffer = step;
    source->position += step;
  }
  source->base.start_of_file = false;
  return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  size_t n = static_cast<size_t>(count);
  while (n > src->bytes_in_buffer) {
    n -= src->bytes_in_buffer;
    src->fill_input_buffer(cinfo);
    // At the end of the data the synthetic marker stands for everything that was to be skipped.
    if (src->next_input_byte == kEndOfImage) return;
  }
  src->next_input_byte += n;
  src->bytes_in_buffer -= n;
}

void set_entries(SourceBase* base, boolean (*fill)(j_decompress_ptr)) {
  base->pub.init_source = init_source;
  base->pub.fill_input_buffer = fill;
  base->pub.skip_input_data = skip_input_data;
  base->pub.resync_to_restart = jpeg_resync_to_restart;
  base->pub.term_source = term_source;
  base->pub.bytes_in_buffer = 0;
  base->pub.next_input_byte = nullptr;
  base->start_of_file = true;
}

}  // namespace

void jpeg_stream_source(j_decompress_ptr cinfo, ByteStream* stream) {
  auto* source = static_cast<StreamSource*>(
      cinfo->mem->alloc_small(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(StreamSource)));
  source->buffer = static_cast<JOCTET*>(
      cinfo->mem->alloc_small(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kInputBufferBytes));
  source->stream = stream;
  set_entries(&source->base, fill_from_stream);
  cinfo->src = &source->base.pub;
}

void jpeg_memory_source(j_decompress_ptr cinfo, const uint8_t* data, size_t size) {
  auto* source = static_cast<MemorySource*>(
      cinfo->mem->alloc_small(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
  source->data = data;
  source->size = data ? size : 0;
  source->position = 0;
  set_entries(&source->base, fill_from_memory);
  cinfo->src = &source->base.pub;
}

bool jpeg_source_ended_early(j_decompress_ptr cinfo) {
  return cinfo->src && reinterpret_cast<const SourceBase*>(cinfo->src)->ended_early;
}

}  // namespace lumora
