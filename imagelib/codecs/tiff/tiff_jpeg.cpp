// JPEG-compressed strips and tiles (compression 7, TIFF Technical Note 2): the page's JPEG
// tables (tag 347) and each strip form one JPEG stream, decoded through libjpeg.
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/codecs/jpeg/jpeg_internal.h"
#include "imagelib/codecs/jpeg/jpeg_source.h"
#include "imagelib/codecs/tiff/tiff_internal.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

// The tables stream without its end-of-image marker, then the strip without its start-of-image
// marker: libjpeg reads them as one interchange stream.
bool join_streams(const std::vector<uint8_t>& tables, const uint8_t* in, size_t in_size,
                  std::vector<uint8_t>* out) {
  try {
    out->clear();
    size_t tables_size = tables.size();
    if (tables_size >= 4 && tables[0] == 0xFF && tables[1] == 0xD8) {
      if (tables[tables_size - 2] == 0xFF && tables[tables_size - 1] == 0xD9) tables_size -= 2;
      out->assign(tables.begin(), tables.begin() + static_cast<std::ptrdiff_t>(tables_size));
      if (in_size >= 2 && in[0] == 0xFF && in[1] == 0xD8) {
        in += 2;
        in_size -= 2;
      }
    }
    out->insert(out->end(), in, in + in_size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

struct RowTarget {
  uint8_t* out;
  size_t row_bytes;
  uint32_t rows;
  size_t copy_bytes;
  uint8_t* scanline;
};

// Reads every scanline; rows beyond the chunk are read and dropped. Holds nothing with a
// destructor: libjpeg's errors jump back out of it.
int read_rows(JpegDecompressor* d, const RowTarget* t, uint32_t* rows_read) {
  j_decompress_ptr cinfo = &d->cinfo;
  if (setjmp(d->error.jump)) return d->error.code;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = t->scanline;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) ERREXIT(cinfo, JERR_CANT_SUSPEND);
    const uint32_t y = cinfo->output_scanline - 1;
    if (y < t->rows) {
      std::memcpy(t->out + static_cast<size_t>(y) * t->row_bytes, t->scanline, t->copy_bytes);
      *rows_read = y + 1;
    }
  }
  jpeg_finish_decompress(cinfo);
  return 0;
}

}  // namespace

DecodeResult decode_jpeg_chunk(const std::vector<uint8_t>& tables, const uint8_t* in,
                               size_t in_size, uint8_t* out, size_t row_bytes, uint32_t width,
                               uint32_t rows, int components, bool ycbcr) {
  DecodeResult r;
  std::vector<uint8_t> stream;
  if (!join_streams(tables, in, in_size, &stream)) {
    r.status = kStatusNoMemory;
    return r;
  }
  JpegDecompressor d(JpegErrorRole::kMainReader);
  if (d.create() != 0) {
    r.status = kStatusNoMemory;
    return r;
  }
  j_decompress_ptr cinfo = &d.cinfo;
  const uint8_t* data = stream.data();
  const size_t size = stream.size();
  int rc = jpeg_guarded(&d.error, [cinfo, data, size] {
    jpeg_memory_source(cinfo, data, size);
    jpeg_read_header(cinfo, TRUE);
  });
  if (rc != 0) {
    r.status = kStatusFileEndsEarly;
    return r;
  }
  if (ycbcr && cinfo->num_components == 3) {
    cinfo->jpeg_color_space = JCS_YCbCr;
    cinfo->out_color_space = JCS_RGB;
  } else {
    cinfo->jpeg_color_space = JCS_UNKNOWN;
    cinfo->out_color_space = JCS_UNKNOWN;
  }
  rc = jpeg_guarded(&d.error, [cinfo] { jpeg_start_decompress(cinfo); });
  if (rc != 0) {
    r.status = kStatusFileEndsEarly;
    return r;
  }
  if (cinfo->output_components != components || cinfo->output_width == 0) {
    r.status = kStatusCorrupt;
    return r;
  }
  std::vector<uint8_t> scanline;
  try {
    scanline.resize(static_cast<size_t>(cinfo->output_width) * components);
  } catch (const std::bad_alloc&) {
    r.status = kStatusNoMemory;
    return r;
  }
  const size_t copy = static_cast<size_t>(std::min<uint32_t>(width, cinfo->output_width)) * components;
  const RowTarget target{out, row_bytes, rows, std::min(copy, row_bytes), scanline.data()};
  uint32_t rows_read = 0;
  rc = read_rows(&d, &target, &rows_read);
  r.produced = static_cast<size_t>(rows_read) * row_bytes;
  if (rc != 0) r.status = kStatusFileEndsEarly;
  else if (rows_read < rows) r.status = kStatusFileEndsEarly;
  return r;
}

}  // namespace lumora::tiff
