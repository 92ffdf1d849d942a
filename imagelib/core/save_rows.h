#pragma once
// The save pipeline's row machinery, private to save_rows.cpp and save_pipeline.cpp.
#include <cstdint>
#include <vector>

#include "imagelib/core/convert.h"
#include "imagelib/core/save.h"

namespace lumora {

struct SaveRows {
  WriterHeader* header = nullptr;
  SaveConverters converters{};
  uint32_t working_type = 0;
  int writer_bits = 0;
  int32_t next_row = 0;
  bool flip_rows = false;       // source row = height - 1 - row
  bool mirror = false;          // working rows reversed left to right
  bool use_levels = false;
  bool call_row_callback = true;
  bool progress_bar = false;
  // Deep pictures (16 or 32-bit samples) for a writer of 8-bit samples: each sample's high byte.
  bool narrow = false;
  int narrow_sample_bytes = 0;
  int narrow_samples = 0;
  std::vector<uint8_t> narrowed;
  int progress_stars = 0;
  uint8_t levels[256] = {};
  std::vector<uint8_t> row_buffer;
  std::vector<uint8_t> working;
  std::vector<uint8_t> source;   // a row from source_callback
  std::vector<uint8_t> palette;
};

// Frees the row machinery (also after a writer that never called end_save).
void save_rows_release(SaveContext* context);

}  // namespace lumora
