// Shared decompression pieces: the decompressor holder, the scan limit, the header description by
// output colour space, the row delivery loop, and the scale choice of quick decoding.
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "imagelib/codecs/jpeg/jpeg.h"
#include "imagelib/codecs/jpeg/jpeg_internal.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

struct ScanLimit {
  jpeg_progress_mgr pub;  // first member
  int charged_scan;       // the last scan whose blocks were counted
  uint64_t block_visits;  // blocks the scans started so far run over
};

// Blocks of all components: one full pass over the picture.
uint64_t picture_blocks(j_decompress_ptr d) {
  uint64_t blocks = 0;
  for (int c = 0; c < d->num_components; ++c)
    blocks += uint64_t{d->comp_info[c].width_in_blocks} * d->comp_info[c].height_in_blocks;
  return blocks;
}

// Besides the scan count, the work of the scans: every scan runs over all blocks of its
// components whether or not it carries data, so a scan of ten bytes costs a full pass over a
// picture the header may claim at 65500 x 65500. A progressive file visits each block about six
// times (ITU-T T.81 annex G; the usual scripts have ten scans over three components); past
// kMaxScanPasses passes over the whole picture the decode ends with an error.
void check_scans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) ERREXIT(cinfo, JERR_NOTIMPL);
  auto* limit = reinterpret_cast<ScanLimit*>(cinfo->progress);
  // Called again and again within a scan, and during the output passes: each scan counts once,
  // when its components are known.
  if (d->input_scan_number == limit->charged_scan || d->comps_in_scan < 1) return;
  limit->charged_scan = d->input_scan_number;
  for (int i = 0; i < d->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i) {
    const jpeg_component_info* c = d->cur_comp_info[i];
    if (c) limit->block_visits += uint64_t{c->width_in_blocks} * c->height_in_blocks;
  }
  const uint64_t allowed = std::max<uint64_t>(picture_blocks(d) * kMaxScanPasses, kMinScanBlockVisits);
  if (limit->block_visits > allowed) ERREXIT(cinfo, JERR_NOTIMPL);
}

}  // namespace

JpegDecompressor::JpegDecompressor(JpegErrorRole role) {
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_error_setup(&error, role);
}

JpegDecompressor::~JpegDecompressor() {
  if (created) jpeg_destroy_decompress(&cinfo);
}

int JpegDecompressor::create() {
  // jpeg_destroy_decompress copes with an object whose creation failed half-way.
  created = true;
  return jpeg_guarded(&error, [this] { jpeg_create_decompress(&cinfo); });
}

void jpeg_limit_scans(JpegDecompressor* d) {
  auto* limit = static_cast<ScanLimit*>(d->cinfo.mem->alloc_small(
      reinterpret_cast<j_common_ptr>(&d->cinfo), JPOOL_PERMANENT, sizeof(ScanLimit)));
  std::memset(limit, 0, sizeof *limit);
  limit->pub.progress_monitor = check_scans;
  d->cinfo.progress = &limit->pub;
}

int jpeg_output_components(J_COLOR_SPACE space) {
  switch (space) {
    case JCS_GRAYSCALE: return 1;
    case JCS_RGB: return 3;
    case JCS_CMYK: return 4;
    default: return 0;
  }
}

const char* jpeg_describe_output(J_COLOR_SPACE space, uint32_t output_width, ImageHeader* header) {
  switch (space) {
    case JCS_GRAYSCALE:
      header->bits_per_plane = 8;
      header->bytes_per_plane = output_width;
      return "JPEG Grayscale";
    case JCS_RGB:
      header->bits_per_plane = 24;
      header->bytes_per_plane = 3 * output_width;
      return "JPEG TrueColor";
    case JCS_CMYK:
      // CMYK and YCCK files: libjpeg delivers the inks as stored, inverted in the Adobe manner.
      header->bits_per_plane = 32;
      header->bytes_per_plane = 4 * output_width;
      header->layout |= 0x4000;
      header->color_model = kModelCMYK;
      return "JPEG CMYK";
    default:
      return nullptr;
  }
}

// The row loop runs in this frame under its own jump buffer. Only plain values live here, so a
// fatal libjpeg error may jump back across put_rows's earlier, already finished, calls freely.
int jpeg_deliver_rows(JpegDecompressor* d, LoadContext* context, const ImageHeader* header) {
  j_decompress_ptr cinfo = &d->cinfo;
  if (setjmp(d->error.jump)) return d->error.code;
  const size_t row_bytes = size_t{cinfo->output_width} * cinfo->output_components;
  if (!header->row_buffer || header->row_buffer_size < row_bytes) ERREXIT(cinfo, JERR_BUFFER_SIZE);
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = header->row_buffer;
    // Our source managers never suspend, so each call yields exactly one row.
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) ERREXIT(cinfo, JERR_CANT_SUSPEND);
    if (context->services.put_rows(context, -1, -1, 1) != 0) return kStatusCancelled;
  }
  return 0;
}

unsigned jpeg_scale_denominator(uint32_t width, uint32_t height, int32_t max_width,
                                int32_t max_height) {
  if (max_width < 1 || max_height < 1) return 1;
  const double ratio_w = static_cast<double>(width) / max_width;
  const double ratio_h = static_cast<double>(height) / max_height;
  const double ratio = ratio_w < ratio_h ? ratio_w : ratio_h;
  // The reductions of the libjpeg 6b scaled IDCT: 1/8, 1/4, 1/2.
  if (ratio >= 8) return 8;
  if (ratio >= 4) return 4;
  if (ratio >= 2) return 2;
  return 1;
}

int jpeg_decompressor_quality(const jpeg_decompress_struct* cinfo) {
  const uint16_t* tables[4] = {};
  for (int i = 0; i < 4; ++i)
    if (cinfo->quant_tbl_ptrs[i]) tables[i] = cinfo->quant_tbl_ptrs[i]->quantval;
  return jpeg_estimate_quality(tables);
}

}  // namespace lumora
