#pragma once
// IPTC-IIM record datasets (tag marker 0x1C, record, number, 16-bit length) inside Photoshop
// image resource blocks ("Photoshop 3.0", then "8BIM" resources), built byte by byte, and the
// lines the IPTC reader makes of such a block.
#include <string>
#include <tuple>
#include <vector>

#include "imagelib/metadata/iptc.h"
#include "tests/support/exif_block.h"

namespace lumora::test {

struct Dataset {
  int record;
  int number;
  std::string data;
};

std::vector<uint8_t> iim(const std::vector<Dataset>& datasets) {
  std::vector<uint8_t> out;
  for (const Dataset& d : datasets) {
    out.insert(out.end(), {0x1C, static_cast<uint8_t>(d.record), static_cast<uint8_t>(d.number),
                           static_cast<uint8_t>(d.data.size() >> 8), static_cast<uint8_t>(d.data.size())});
    out.insert(out.end(), d.data.begin(), d.data.end());
  }
  return out;
}

// "Photoshop 3.0\0", an unrelated resource, then resource `id` named `name` holding `data`.
std::vector<uint8_t> photoshop(const std::vector<uint8_t>& data, const std::string& name = "",
                               uint16_t id = 0x0404, int64_t size = -1) {
  std::string out("Photoshop 3.0", 14);
  out += std::string("8BIM\x03\xED\0\0\0\0\0\4\0\x48\0\1", 16);
  out += "8BIM";
  out += static_cast<char>(id >> 8);
  out += static_cast<char>(id & 0xFF);
  out += static_cast<char>(name.size());
  out += name;
  if ((name.size() + 1) & 1) out += '\0';
  auto length = size < 0 ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(size);
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((length >> shift) & 0xFF);
  out.append(data.begin(), data.end());
  if (data.size() & 1) out += '\0';
  return std::vector<uint8_t>(out.begin(), out.end());
}

// Every line iptc_enumerate hands out for a block: dataset number, name, text.
using Calls = std::vector<std::tuple<uint32_t, std::string, std::string>>;

Calls enumerate(const std::vector<uint8_t>& block) {
  ChunkHolder holder(kChunkIptc, block);
  Calls calls;
  iptc_enumerate(&holder.chunk, [](void* user, uint32_t dataset, const char* name, const char* text) {
    static_cast<Calls*>(user)->emplace_back(dataset, name, text);
  }, &calls);
  return calls;
}

}  // namespace lumora::test
