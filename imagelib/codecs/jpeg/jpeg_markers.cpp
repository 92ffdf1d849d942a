// Turning the markers libjpeg kept into the file's comment and metadata chunks.
#include <cstring>

#include "imagelib/codecs/jpeg/jpeg_internal.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

constexpr int kApp1 = JPEG_APP0 + 1;
constexpr int kApp2 = JPEG_APP0 + 2;
constexpr int kApp13 = JPEG_APP0 + 13;
// ICC.1:2010 annex B.4: "ICC_PROFILE", NUL, sequence number, marker count, then profile bytes.
constexpr char kIccTag[] = "ICC_PROFILE";
constexpr size_t kIccHeaderBytes = sizeof kIccTag + 2;

bool starts_with(const jpeg_saved_marker_ptr m, const char* text, size_t n) {
  return m->data_length >= n && std::memcmp(m->data, text, n) == 0;
}

// The chunk kind an APP marker carries and the part of its payload kept; kind 0 = none.
uint32_t classify(const jpeg_saved_marker_ptr m, const uint8_t** data, uint32_t* size) {
  *data = m->data;
  *size = m->data_length;
  if (m->marker == kApp1) {
    if (m->data_length > 5 && starts_with(m, "Exif", 4)) return kChunkExif;
    if (m->data_length > 6 && starts_with(m, "http:", 5)) return kChunkXmp;  // XMP packet
    return 0;
  }
  if (m->marker == kApp13) return m->data_length > 0 ? uint32_t{kChunkIptc} : 0u;
  if (m->marker == kApp2 && m->data_length >= kIccHeaderBytes && starts_with(m, kIccTag, sizeof kIccTag)) {
    *data = m->data + kIccHeaderBytes;
    *size = m->data_length - static_cast<uint32_t>(kIccHeaderBytes);
    return *size > 0 ? uint32_t{kChunkIcc} : 0u;
  }
  return 0;
}

}  // namespace

int jpeg_keep_markers(const jpeg_decompress_struct* cinfo, LoadContext* context) {
  const uint32_t flags = context->params.flags;
  if (flags & kLoadKeepComment) {
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
      // An empty COM has no text; keep_comment would take length 0 as "up to the NUL byte".
      if (m->marker != JPEG_COM || m->data_length == 0) continue;
      if (keep_comment(context, reinterpret_cast<const char*>(m->data),
                       static_cast<int32_t>(m->data_length)) == kStatusNoMemory)
        return kStatusNoMemory;
    }
  }
  if (flags & kLoadKeepChunks) {
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
      const uint8_t* data = nullptr;
      uint32_t size = 0;
      const uint32_t kind = classify(m, &data, &size);
      // keep_chunk appends a kind-4 block to the one already kept: the profile pieces join up
      // in file order.
      if (kind != 0 && keep_chunk(context, kind, data, size) == kStatusNoMemory) return kStatusNoMemory;
    }
  }
  return 0;
}

}  // namespace lumora
