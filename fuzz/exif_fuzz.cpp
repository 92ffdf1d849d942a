// Fuzz target of the Exif reader: the input is the TIFF body of an Exif block (the "Exif\0\0"
// prefix is added here), walked with every directory, GPS and maker-note decoder it leads to.
// The maker decoders are reached through the camera make of IFD0, which the seeds carry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imagelib/metadata/exif.h"

namespace {

// Touches every byte of every text so that a bad pointer or a missing NUL shows.
void consume(void* user, uint32_t section, uint32_t tag, const char* name, const char* text) {
  auto* sum = static_cast<size_t*>(user);
  *sum += section + tag + std::strlen(name);
  if (text != nullptr) {
    size_t n = std::strlen(text);
    if (n >= lumora::kExifTextSize) std::abort();
    *sum += n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<uint8_t> block = {'E', 'x', 'i', 'f', 0, 0};
  block.insert(block.end(), data, data + size);
  lumora::MetadataChunk chunk{lumora::kChunkExif, static_cast<uint32_t>(block.size()), block.data(), nullptr};
  size_t sum = 0;
  lumora::exif_enumerate(&chunk, consume, &sum);
  lumora::exif_enumerate(&chunk, nullptr, nullptr);
  return 0;
}
