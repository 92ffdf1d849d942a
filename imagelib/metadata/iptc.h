#pragma once
// IPTC reader: finds the IPTC-NAA record inside a Photoshop image-resource block (a
// MetadataChunk of kind 2, resource 0x0404) and hands each record-2 dataset to a callback as a
// name and an 8-bit text.
#include <cstdint>

#include "imagelib/core/bitmap.h"

namespace lumora {

using IptcCallback = void (*)(void* user, uint32_t dataset, const char* name, const char* text);

// The position of the IPTC data length inside a Photoshop resource block ("Photoshop 3.0\0",
// then "8BIM" resources): it points at the last two bytes of resource 0x0404's size field, with
// the size's four bytes and (when the size is non-zero) at least one data byte inside the
// block. Null when the block is not such a block or has no IPTC resource.
const uint8_t* iptc_find(const uint8_t* data, uint32_t size);
// 1 when some chunk of kind 2 holds an IPTC resource, else 0.
int iptc_present(const MetadataChunk* chunks);
// Parses the last kind-2 chunk that holds an IPTC resource and calls `callback` for each
// dataset to show, in dataset order; the repeatable datasets (20, 25, 27, 118) come as one line
// of texts joined with ",". Returns 1 when a block was parsed, 0 when there was none. A broken
// block yields the datasets before the break; a text that cannot be allocated is left out.
int iptc_enumerate(const MetadataChunk* chunks, IptcCallback callback, void* user);
// The name of a record-2 dataset, or "????" when it has none.
const char* iptc_dataset_name(uint32_t dataset);

}  // namespace lumora
