// Fuzz target of the IPTC reader: the input is a Photoshop image-resource block after its
// "Photoshop 3.0\0" signature (added here), parsed and enumerated.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imagelib/metadata/iptc.h"

namespace {

void consume(void* user, uint32_t dataset, const char* name, const char* text) {
  *static_cast<size_t*>(user) += dataset + std::strlen(name) + std::strlen(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  static const char kSignature[] = "Photoshop 3.0";
  std::vector<uint8_t> block(kSignature, kSignature + sizeof kSignature);
  block.insert(block.end(), data, data + size);
  lumora::MetadataChunk chunk{lumora::kChunkIptc, static_cast<uint32_t>(block.size()), block.data(), nullptr};
  size_t sum = 0;
  lumora::iptc_present(&chunk);
  lumora::iptc_enumerate(&chunk, consume, &sum);
  return 0;
}
