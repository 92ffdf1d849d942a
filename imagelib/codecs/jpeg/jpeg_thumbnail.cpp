// Decoding the Exif thumbnail in place of the main picture (quick loads that allow it). The
// thumbnail's size is known only once its decoding has begun, after which the pipeline cannot be
// told a different picture, so the whole (small) thumbnail is decoded into a buffer first and
// handed over only when it decoded cleanly; any failure leaves the load free to take the main
// picture.
#include <jerror.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "imagelib/codecs/jpeg/jpeg_internal.h"
#include "imagelib/codecs/jpeg/jpeg_source.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};

// Decodes all rows into `pixels` (row_bytes x output_height). Plain frame for the jump.
int decode_into(JpegDecompressor* t, uint8_t* pixels, size_t row_bytes) {
  j_decompress_ptr cinfo = &t->cinfo;
  if (setjmp(t->error.jump)) return t->error.code;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = pixels + size_t{cinfo->output_scanline} * row_bytes;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) ERREXIT(cinfo, JERR_CANT_SUSPEND);
  }
  jpeg_finish_decompress(cinfo);
  return 0;
}

}  // namespace

int jpeg_decode_thumbnail(const uint8_t* data, size_t size, uint32_t main_width,
                          uint32_t main_height, J_COLOR_SPACE main_space, LoadContext* context) {
  const LoadParams& params = context->params;
  JpegDecompressor t(JpegErrorRole::kThumbnail);
  if (int rc = t.create()) return rc;
  jpeg_limit_scans(&t);
  int rc = jpeg_guarded(&t.error, [&] {
    jpeg_memory_source(&t.cinfo, data, size);
    jpeg_read_header(&t.cinfo, TRUE);
    if (params.flags & kLoadQuick) {
      t.cinfo.dct_method = JDCT_IFAST;
      t.cinfo.do_fancy_upsampling = FALSE;
    }
    jpeg_calc_output_dimensions(&t.cinfo);
  });
  if (rc) return rc;

  const uint32_t width = t.cinfo.output_width;
  const uint32_t height = t.cinfo.output_height;
  // A "thumbnail" no smaller than the picture, or absurdly large, is not worth taking.
  if (uint64_t{width} * height > kMaxThumbnailPixels ||
      uint64_t{width} * height > uint64_t{main_width} * main_height)
    return kStatusNoMemory;
  // Load flag 0x800000: a thumbnail smaller than the box in both directions would have to be
  // enlarged; the main picture is decoded instead.
  if ((params.flags & kLoadRefuseSmallThumb) && params.max_width > 0 && params.max_height > 0 &&
      width < static_cast<uint32_t>(params.max_width) && height < static_cast<uint32_t>(params.max_height))
    return kStatusNoMemory;

  ImageHeader header;
  header_init(&header);
  const char* text = jpeg_describe_output(t.cinfo.out_color_space, width, &header);
  const int main_components = jpeg_output_components(main_space);
  if (!text || main_components == 0) return kStatusNotRecognised;
  header.width = static_cast<int32_t>(width);
  header.height = static_cast<int32_t>(height);
  header.planes = 1;
  header.compression = kCompJpeg;
  header.logical_width = static_cast<int32_t>(main_width);
  header.logical_height = static_cast<int32_t>(main_height);
  header.logical_bytes = static_cast<int32_t>(main_width) * main_components;
  header.logical_samples = static_cast<uint32_t>(main_components);
  header.logical_bits = 8;
  header.grey_levels = kGreyLevelsBlackZero;

  rc = jpeg_guarded(&t.error, [&] { jpeg_start_decompress(&t.cinfo); });
  if (rc) return rc;
  const size_t row_bytes = size_t{width} * t.cinfo.output_components;
  std::unique_ptr<uint8_t, FreeDeleter> pixels(static_cast<uint8_t*>(std::malloc(row_bytes * height)));
  if (!pixels) return kStatusNoMemory;
  rc = decode_into(&t, pixels.get(), row_bytes);
  if (rc) return rc == kStatusNotRecognised ? kStatusCorrupt : rc;
  std::snprintf(header.description, sizeof header.description, "%s (v%d.%d)", text,
                t.cinfo.JFIF_major_version, t.cinfo.JFIF_minor_version);

  // From here on the thumbnail is the picture: the marker and the box follow it.
  const LoadParams saved = context->params;
  const uint32_t saved_flag = context->reader_flag;
  context->reader_flag = 1;
  if (params.use_embedded == 2) {
    context->params.max_width = static_cast<int32_t>(width);
    context->params.max_height = static_cast<int32_t>(height);
  }
  rc = context->services.begin_image(context, &header);
  if (rc != 0) {
    if (rc != -1) {
      context->params = saved;
      context->reader_flag = saved_flag;
    }
    return rc;
  }
  if (!header.row_buffer || header.row_buffer_size < row_bytes) {
    context->services.end_image(context, 0, 0, nullptr);
    return kStatusImpossible;
  }
  for (uint32_t y = 0; y < height; ++y) {
    std::memcpy(header.row_buffer, pixels.get() + y * row_bytes, row_bytes);
    context->services.put_rows(context, -1, -1, 1);
  }
  return context->services.end_image(context, 0, 0, nullptr);
}

}  // namespace lumora
