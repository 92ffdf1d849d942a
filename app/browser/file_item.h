#pragma once
// One picture file of the browsed folder, as the browser's list shows it.
#include <cstdint>
#include <string>

#include "imagelib/core/format.h"

namespace lumora::app {

// What the thumbnail worker learns about a picture. Only the scalar facts of a FileInfo are kept:
// a FileInfo owns its comment, text lines and chunks, and items are copied and moved freely.
struct PictureFacts {
  int16_t format_index = -1;
  uint32_t width = 0;   // pixels
  uint32_t height = 0;
  uint16_t bits_per_sample = 0;
  uint16_t samples_per_pixel = 0;
  uint32_t image_count = 0;
};

struct FileItem {
  uint32_t id = 0;          // unique within its list and kept across sorts: the key for thumbnails
  uint32_t attributes = 0;  // platform FILE_ATTRIBUTE_* of the directory entry
  bool info_known = false;  // facts have been read (the worker sets them)
  std::string folder;       // ends with '/'
  std::string name;         // file name with extension
  int64_t size = 0;         // bytes
  int64_t write_time_ns = 0;  // last modification, nanoseconds since 1970-01-01 UTC
  PictureFacts facts;
  bool selected = false;    // shown selected by the list control; follows the file through sorts

  std::string path() const { return folder + name; }

  void set_facts(const FileInfo& info) {
    facts.format_index = info.format_index;
    facts.width = info.width;
    facts.height = info.height;
    facts.bits_per_sample = info.bits_per_sample;
    facts.samples_per_pixel = info.samples_per_pixel;
    facts.image_count = info.image_count;
    info_known = true;
  }
};

}  // namespace lumora::app
