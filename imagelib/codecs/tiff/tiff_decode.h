#pragma once
// The decoding plan of a TIFF page: how its strips or tiles are stored, and the form in which
// its rows are delivered to the load pipeline.
#include <cstdint>
#include <vector>

#include "imagelib/codecs/tiff/tiff_internal.h"

namespace lumora::tiff {

enum class DataKind {
  kSamples,    // samples as stored (after decompression), converted to the delivered form
  kYCbCr,      // subsampled YCbCr blocks, converted to RGB
  kJpeg,       // libjpeg's output, 8-bit samples
  kSgiLog,     // LogL16 or LogLuv32, converted to 8-bit grey or RGB
  kCcitt,      // bilevel rows, white 1
};

struct PagePlan {
  uint32_t width = 0, height = 0;
  uint32_t bits = 1;              // bits per sample in the file
  uint32_t chunk_samples = 1;     // samples per pixel in one strip or tile (1 when planar)
  uint32_t stored_planes = 1;     // planes in the file (samples when planar, else 1)
  bool tiled = false;
  uint32_t chunk_width = 0;       // strip: the picture width; tile: the tile width
  uint32_t chunk_length = 0;      // rows per strip, or the tile length
  DataKind kind = DataKind::kSamples;
  bool scale_to_byte = false;     // samples of other sizes than 1, 2, 4, 8 become bytes (levels)
  bool index_bytes = false;       // palette indices of odd sizes become bytes unscaled
  bool sgilog_luv = false;
  float luma[3] = {0.299f, 0.587f, 0.114f};
  // Delivered rows.
  uint32_t out_samples = 1;       // samples kept per pixel
  uint32_t out_bits = 8;          // bits per delivered sample (1, 2, 4 or 8)
  bool planar_delivery = false;   // each put_rows call carries one plane
  size_t out_row_bytes = 0;       // bytes of one delivered row (of one plane when planar)
  std::vector<uint8_t> jpeg_tables;
};

// Decodes every strip or tile of the page and delivers its rows. 0, 1, 4, 9, 10 or put_rows'
// stop code. `file` is positioned anywhere.
int decode_page(const TiffFile& file, const TiffPage& page, PagePlan& plan, LoadContext* context,
                const ImageHeader& header);

}  // namespace lumora::tiff
