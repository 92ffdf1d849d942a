// IPTC-NAA Information Interchange Model (IIM 4.1) record 2 inside Photoshop image resources
// (Adobe Photoshop File Format, "Image Resource Blocks": "8BIM", a 16-bit id, a Pascal name
// padded to an even length, a 32-bit big-endian size, the data).
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "imagelib/metadata/iptc.h"

namespace lumora {

namespace {

constexpr char kPhotoshopSignature[] = "Photoshop 3.0";  // followed by its NUL: 14 bytes
constexpr size_t kSignatureSize = sizeof kPhotoshopSignature;
constexpr uint8_t kIptcResource[6] = {'8', 'B', 'I', 'M', 0x04, 0x04};
constexpr uint8_t kTagMarker = 0x1C;
constexpr uint8_t kRecordApplication = 2;
// The first dataset marker is looked for within this many bytes of the data.
constexpr uint32_t kMarkerSearchLimit = 254;

struct DatasetName {
  uint32_t dataset;
  const char* name;
};
constexpr DatasetName kNames[] = {
    {80, "Byline"}, {85, "Byline Title"}, {110, "Credits"}, {115, "Source"},
    {122, "Caption Writer"}, {120, "Caption"}, {105, "Headline"}, {40, "Special Instructions"},
    {5, "Object Name"}, {55, "Date Created"}, {30, "Release Date"}, {90, "City"}, {95, "State"},
    {101, "Country"}, {103, "Original Transmission Reference"}, {15, "Category"},
    {116, "CopyrightNotice"}, {7, "Edit Status"}, {22, "JobId"}, {65, "Program"},
    {10, "Priority"}, {92, "Sublocation"}, {100, "Country Code"}, {75, "Object Cycle"},
    {60, "Time Created"}, {35, "Release Time"}, {27, "Content location name"},
    {70, "Program version"}, {118, "Contact"}, {45, "Reference Service"}, {50, "Reference Number"},
};

// The repeatable datasets, collected as lists.
struct ListDataset {
  uint32_t dataset;
  const char* name;
};
constexpr ListDataset kLists[] = {
    {20, "Supplemental Categories"}, {25, "Keywords"}, {27, "Content location name"}, {118, "Contact"},
};

int list_index(uint32_t dataset) {
  for (int i = 0; i < 4; ++i) {
    if (kLists[i].dataset == dataset) return i;
  }
  return -1;
}

uint32_t be16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }

// The parsed record: one text per dataset number (the last occurrence) and the lists.
struct IptcRecord {
  std::array<std::string, 256> texts;
  std::array<bool, 256> present{};
  std::array<std::vector<std::string>, 4> lists;
  bool found = false;
};

void store(IptcRecord& record, uint32_t dataset, const uint8_t* data, uint32_t length) {
  try {
    // The text ends at its first NUL byte, as 8-bit strings do.
    size_t n = 0;
    while (n < length && data[n] != 0) ++n;
    std::string text(reinterpret_cast<const char*>(data), n);
    int list = list_index(dataset);
    if (list >= 0) {
      record.lists[list].push_back(std::move(text));
    } else {
      record.texts[dataset] = std::move(text);
      record.present[dataset] = true;
    }
  } catch (const std::bad_alloc&) {
    // A text whose copy cannot be allocated is left out.
  }
}

// Parses the IPTC data whose length field is at `p` (inside [base, base + size)).
void parse(const uint8_t* base, uint32_t size, const uint8_t* p, IptcRecord& record) {
  record.found = true;
  const uint8_t* block_end = base + size;
  // The resource size is 32-bit: its high half is the two bytes before `p`.
  uint64_t length = (uint64_t{be16(p - 2)} << 16) | be16(p);
  const uint8_t* data = p + 2;
  uint64_t available = static_cast<uint64_t>(block_end - data);
  const uint8_t* end = data + (length < available ? length : available);
  // The first record-2 dataset marker.
  const uint8_t* pos = data;
  // Compared as a distance: a pointer formed past the end of the block would itself be undefined.
  const uint8_t* search_end = end - data > kMarkerSearchLimit ? data + kMarkerSearchLimit : end;
  while (pos + 1 < search_end && !(pos[0] == kTagMarker && pos[1] == kRecordApplication)) ++pos;
  while (end - pos >= 5 && pos[0] == kTagMarker) {
    uint32_t record_number = pos[1], dataset = pos[2];
    uint64_t data_length = be16(pos + 3);
    const uint8_t* value = pos + 5;
    if (data_length & 0x8000) {
      // Extended dataset (IIM section 1.5.4): the low 15 bits give the size of the length.
      uint32_t length_size = static_cast<uint32_t>(data_length & 0x7FFF);
      if (length_size == 0 || length_size > 4 || end - value < length_size) return;
      data_length = 0;
      for (uint32_t i = 0; i < length_size; ++i) data_length = (data_length << 8) | value[i];
      value += length_size;
    }
    if (static_cast<uint64_t>(end - value) < data_length) return;  // truncated dataset
    if (record_number == kRecordApplication) store(record, dataset, value, static_cast<uint32_t>(data_length));
    pos = value + data_length;
  }
}

}  // namespace

const uint8_t* iptc_find(const uint8_t* data, uint32_t size) {
  if (data == nullptr || size < kSignatureSize) return nullptr;
  if (std::memcmp(data, kPhotoshopSignature, kSignatureSize) != 0) return nullptr;
  for (uint32_t off = 0; off + 6 < size; ++off) {
    if (std::memcmp(data + off, kIptcResource, 6) != 0) continue;
    // Pascal name: length byte and text, padded to an even length.
    uint64_t name_length = data[off + 6];
    uint64_t name_field = (name_length + 2) & ~uint64_t{1};
    uint64_t size_pos = uint64_t{off} + 6 + name_field;
    if (size_pos + 4 > size) return nullptr;
    return data + size_pos + 2;
  }
  return nullptr;
}

int iptc_present(const MetadataChunk* chunks) {
  for (const MetadataChunk* c = chunks; c != nullptr; c = c->next) {
    if (c->kind == kChunkIptc && iptc_find(c->data, c->size) != nullptr) return 1;
  }
  return 0;
}

const char* iptc_dataset_name(uint32_t dataset) {
  for (const DatasetName& row : kNames) {
    if (row.dataset == dataset) return row.name;
  }
  for (const ListDataset& row : kLists) {
    if (row.dataset == dataset) return row.name;
  }
  return "????";
}

int iptc_enumerate(const MetadataChunk* chunks, IptcCallback callback, void* user) {
  const MetadataChunk* chunk = nullptr;
  const uint8_t* position = nullptr;
  for (const MetadataChunk* c = chunks; c != nullptr; c = c->next) {
    if (c->kind != kChunkIptc) continue;
    if (const uint8_t* p = iptc_find(c->data, c->size)) chunk = c, position = p;
  }
  if (chunk == nullptr) return 0;
  try {
    auto record = std::make_unique<IptcRecord>();
    parse(chunk->data, chunk->size, position, *record);
    if (callback == nullptr) return 1;
    for (uint32_t dataset = 0; dataset < 256; ++dataset) {
      int list = list_index(dataset);
      if (list >= 0) {
        const std::vector<std::string>& texts = record->lists[list];
        if (texts.empty()) continue;
        std::string joined;
        for (size_t i = 0; i < texts.size(); ++i) {
          if (i > 0) joined += ',';
          joined += texts[i];
        }
        callback(user, dataset, kLists[list].name, joined.c_str());
      } else if (record->present[dataset]) {
        callback(user, dataset, iptc_dataset_name(dataset), record->texts[dataset].c_str());
      }
    }
  } catch (const std::bad_alloc&) {
    // What could not be held in memory is left out.
  }
  return 1;
}

}  // namespace lumora
