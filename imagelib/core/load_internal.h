#pragma once
// The row machinery of one load, private to the pipeline's files.
#include <cstdint>
#include <vector>

#include "imagelib/core/convert.h"
#include "imagelib/core/load.h"
#include "imagelib/ops/box_shrink.h"

namespace lumora {

// How the produced picture is reduced to the caller's maximum size.
enum class ReduceMode {
  kNone,         // full size
  kNearest,      // pick pixels while rows arrive (column map, row map)
  kAverage,      // box-average while rows arrive
  kAfterSmooth,  // load at full size, then resample_smooth
  kAfterShrink,  // load at full size, then resample_shrink
};

struct LoadRowState {
  // The description as begin_image accepted it.
  int32_t src_width = 0, src_height = 0;
  uint16_t row_order = 0;
  uint32_t layout = 0;
  int planes = 1, bits_per_plane = 1, bits = 1, samples = 0;
  uint32_t bytes_per_plane = 0;
  int16_t transparent_index = -1;
  int32_t xdpi = 72, ydpi = 72;
  uint32_t flags = 0;            // the load's flags with the additions of begin_image

  // The produced picture.
  int32_t out_width = 0, out_height = 0;
  uint32_t produced = 0;         // request code: 1, 2, 80, 1952 or a deep code
  uint32_t bytes_per_line = 0;
  ReduceMode reduce = ReduceMode::kNone;

  LoadConverters conv{};
  size_t row_stride = 0;         // bytes between rows in the reader's row buffer
  size_t source_bytes = 0;       // bytes unpack reads from one raw row
  std::vector<uint8_t> row_buffer;
  std::vector<uint8_t> working;  // one unpacked row at source width (plus slack)
  std::vector<uint8_t> reduced;  // one working row at produced width (plus slack)
  std::vector<uint32_t> column_map;  // produced column -> working-row offset (bits for type 1)
  BoxShrinker average;
  int average_channels = 3;      // bytes per working pixel that the averaging takes
  bool averaged_grey = false;    // grey levels averaged while they arrive: colours 256, no palette
  bool level_mapped = false;
  bool average_packed = false;   // rows are packed into the Bitmap's form before averaging
  std::vector<uint8_t> prepacked;  // one such packed row at source width     // working values go through level_map before averaging
  uint8_t level_map[256] = {};   // grey level of `bits` bits -> 0..255 (inverted when 0 is white)
  // Tiles under averaging: the band of picture rows [band_start, band_start + band_rows) is
  // gathered at source width until its rows are complete, then averaged in order.
  std::vector<uint8_t> band;
  std::vector<int64_t> band_columns;  // columns delivered for each band row
  int32_t band_start = 0, band_rows = 0, band_limit = 0;
  int32_t band_complete = 0;          // band rows whose columns add up to the width
  bool flip = false;             // destination rows mirrored top to bottom
  bool mirror = false;           // rows mirrored left to right

  // Counters.
  int32_t next_row = 0;          // the row number of a delivery with row -1
  int64_t tile_columns = 0;      // columns delivered for the current row by put_tile_rows
  int32_t average_next = 0;      // next source row the averaging expects
  int last_percent = -1;
  int64_t progress_total = 1;    // rows (x planes for planar layouts) for the progress report
};

// Releases the row machinery (also the header's row buffer) of the context.
void load_rows_release(LoadContext* context);

// Finishes the averaged rows of a load (a band of tile rows still gathered, the last produced row,
// and zero rows for rows the reader never delivered).
void load_finish_average(LoadContext* context);

// Verbose recognition lines (flag 0x1) for a described picture.
void load_print_recognised(const LoadContext* context, const ImageHeader* header);

}  // namespace lumora
