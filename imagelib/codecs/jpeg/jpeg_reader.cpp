// The JPEG/JFIF reader and the bare JFIF-stream reader the TIFF reader calls. Rows go one at a
// time from libjpeg straight into the pipeline's row buffer; no whole picture is held here.
#include <cstdio>
#include <cstring>

#include "imagelib/codecs/jpeg/exif_thumbnail.h"
#include "imagelib/codecs/jpeg/jpeg.h"
#include "imagelib/codecs/jpeg/jpeg_internal.h"
#include "imagelib/codecs/jpeg/jpeg_source.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

constexpr unsigned kMarkerLengthLimit = 0xFFFF;
constexpr unsigned kApp1 = JPEG_APP0 + 1;

enum class Variant { kJpegFile, kJfifStream };

// Asks libjpeg to keep the markers the load options need (before jpeg_read_header).
void save_markers(j_decompress_ptr cinfo, const LoadParams& params, Variant variant) {
  if (variant == Variant::kJfifStream) {
    jpeg_save_markers(cinfo, JPEG_COM, kMarkerLengthLimit);
    return;
  }
  if (params.flags & kLoadKeepComment) jpeg_save_markers(cinfo, JPEG_COM, kMarkerLengthLimit);
  if (params.flags & kLoadKeepChunks) {
    for (int m = JPEG_APP0; m <= JPEG_APP0 + 15; ++m) jpeg_save_markers(cinfo, m, kMarkerLengthLimit);
  } else if ((params.flags & kLoadQuick) && params.use_embedded) {
    jpeg_save_markers(cinfo, kApp1, kMarkerLengthLimit);
  }
}

// Tries the Exif thumbnails of the kept APP1 markers in file order. Returns true when one of them
// settled the load (its status in *result).
bool try_embedded_thumbnails(JpegDecompressor* d, LoadContext* context, int* result) {
  for (jpeg_saved_marker_ptr m = d->cinfo.marker_list; m; m = m->next) {
    if (m->marker != kApp1 || m->data_length <= 6) continue;
    ExifThumbnailLocation where{};
    if (!exif_locate_thumbnail(m->data, m->data_length, &where)) continue;
    if (int rc = jpeg_guarded(&d->error, [d] { jpeg_calc_output_dimensions(&d->cinfo); })) {
      *result = rc;
      return true;
    }
    const int rc = jpeg_decode_thumbnail(m->data + where.offset, where.length, d->cinfo.output_width,
                                         d->cinfo.output_height, d->cinfo.out_color_space, context);
    // Once the thumbnail reached the pipeline it is the picture, whatever came after.
    if (rc == 0 || rc == -1 || context->reader_flag == 1) {
      *result = rc;
      return true;
    }
  }
  return false;
}

// Quick decoding: fast integer IDCT, simple upsampling and, with a box, DCT scaling. Ends with
// the output dimensions computed.
int choose_decoding(JpegDecompressor* d, const LoadParams& params) {
  j_decompress_ptr cinfo = &d->cinfo;
  if (params.flags & (kLoadQuick | kLoadFastDecode)) {
    cinfo->dct_method = JDCT_IFAST;
    cinfo->do_fancy_upsampling = FALSE;
  }
  const bool scaled = (params.flags & kLoadQuick) && params.max_width >= 1 && params.max_height >= 1;
  return jpeg_guarded(&d->error, [&] {
    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
    jpeg_calc_output_dimensions(cinfo);
    if (!scaled) return;
    cinfo->scale_denom = jpeg_scale_denominator(cinfo->output_width, cinfo->output_height,
                                                params.max_width, params.max_height);
    jpeg_calc_output_dimensions(cinfo);
  });
}

// Fills the header from the output dimensions; 0, or 2 for an unusable colour space.
int fill_header(const jpeg_decompress_struct* cinfo, const char* description, ImageHeader* header) {
  header_init(header);
  const char* text = jpeg_describe_output(cinfo->out_color_space, cinfo->output_width, header);
  if (!text) return kStatusNotRecognised;
  const int components = jpeg_output_components(cinfo->out_color_space);
  header->width = static_cast<int32_t>(cinfo->output_width);
  header->height = static_cast<int32_t>(cinfo->output_height);
  header->planes = 1;
  header->compression = kCompJpeg;
  header->logical_width = static_cast<int32_t>(cinfo->image_width);
  header->logical_height = static_cast<int32_t>(cinfo->image_height);
  header->logical_bytes = static_cast<int32_t>(cinfo->image_width) * components;
  header->logical_samples = static_cast<uint32_t>(components);
  header->logical_bits = 8;
  header->grey_levels = kGreyLevelsBlackZero;   // one-component JPEGs are grey; none has a palette
  // JFIF densities; the unit is not consulted, and a density of 1 is only an aspect ratio.
  if (cinfo->X_density >= 2) {
    header->xdpi = cinfo->X_density;
    header->ydpi = cinfo->Y_density >= 2 ? cinfo->Y_density : cinfo->X_density;
  }
  if (description) {
    std::snprintf(header->description, sizeof header->description, "%s", description);
  } else {
    // libjpeg reports version 1.1 when the file has no JFIF marker.
    std::snprintf(header->description, sizeof header->description, "%s (v%d.%d)", text,
                  cinfo->JFIF_major_version, cinfo->JFIF_minor_version);
  }
  return 0;
}

// Rows, end of the picture, finish. Called after a successful begin_image.
int deliver_picture(JpegDecompressor* d, LoadContext* context, const ImageHeader* header) {
  const int rows = jpeg_deliver_rows(d, context, header);
  const int ended = context->services.end_image(context, 0, 0, nullptr);
  // A cancelled load stays cancelled: it must not pass for a partial picture that flag 0x400
  // would accept. libjpeg is not asked to finish a decompression whose rows were not all read.
  if (rows == kStatusCancelled) return kStatusCancelled;
  if (rows == kStatusNoMemory) return kStatusNoMemory;
  if (rows != 0) return kStatusCorrupt;  // the rows delivered so far form the picture
  if (ended != 0) return ended;
  if (jpeg_guarded(&d->error, [d] { jpeg_finish_decompress(&d->cinfo); })) return kStatusCorrupt;
  // The picture is whole as far as libjpeg goes, but the file stopped early: the missing rows
  // are grey. Flag 0x400 accepts it; a caller can still tell it from an intact file.
  if (jpeg_source_ended_early(&d->cinfo)) return kStatusFileEndsEarly;
  return 0;
}

// The common road of both readers once the source is attached and markers are chosen.
int read_picture(JpegDecompressor* d, LoadContext* context, Variant variant, const char* description) {
  j_decompress_ptr cinfo = &d->cinfo;
  const LoadParams& params = context->params;
  if (int rc = jpeg_guarded(&d->error, [cinfo] { jpeg_read_header(cinfo, TRUE); })) return rc;

  if (variant == Variant::kJpegFile) {
    if (jpeg_keep_markers(cinfo, context) == kStatusNoMemory) return kStatusNoMemory;
    if ((params.flags & kLoadQuick) && params.use_embedded) {
      int result = 0;
      if (try_embedded_thumbnails(d, context, &result)) return result;
    }
  } else if ((params.flags & kLoadKeepComment) && cinfo->marker_list &&
             cinfo->marker_list->data_length > 0) {
    if (keep_comment(context, reinterpret_cast<const char*>(cinfo->marker_list->data),
                     static_cast<int32_t>(cinfo->marker_list->data_length)) == kStatusNoMemory)
      return kStatusNoMemory;
  }

  if (int rc = choose_decoding(d, params)) return rc;
  if (variant == Variant::kJpegFile && (params.flags & kLoadEstimateQuality))
    context->reader_values[2] = static_cast<uint32_t>(jpeg_decompressor_quality(cinfo));
  ImageHeader header;
  if (int rc = fill_header(cinfo, description, &header)) return rc;
  // The description goes out before decompression starts: starting a progressive file reads all
  // of its scans, which an information-only load never needs.
  if (int rc = context->services.begin_image(context, &header)) return rc;
  if (int rc = jpeg_guarded(&d->error, [cinfo] { jpeg_start_decompress(cinfo); })) {
    context->services.end_image(context, 0, 0, nullptr);
    return rc;
  }
  return deliver_picture(d, context, &header);
}

}  // namespace

int jpeg_read(ByteStream* stream, LoadContext* context) {
  JpegDecompressor d(JpegErrorRole::kMainReader);
  if (int rc = d.create()) return rc;
  if (int rc = jpeg_guarded(&d.error, [&] {
        jpeg_stream_source(&d.cinfo, stream);
        jpeg_limit_scans(&d);
        save_markers(&d.cinfo, context->params, Variant::kJpegFile);
      }))
    return rc;
  return read_picture(&d, context, Variant::kJpegFile, nullptr);
}

int jpeg_read_jfif_stream(ByteStream* stream, LoadContext* context, const char* description) {
  JpegDecompressor d(JpegErrorRole::kMainReader);
  if (int rc = d.create()) return rc;
  if (int rc = jpeg_guarded(&d.error, [&] {
        jpeg_stream_source(&d.cinfo, stream);
        jpeg_limit_scans(&d);
        save_markers(&d.cinfo, context->params, Variant::kJfifStream);
      }))
    return rc;
  return read_picture(&d, context, Variant::kJfifStream, description ? description : "");
}

int jpeg_read_jfif_memory(const uint8_t* data, size_t size, LoadContext* context,
                          const char* description) {
  JpegDecompressor d(JpegErrorRole::kMainReader);
  if (int rc = d.create()) return rc;
  if (int rc = jpeg_guarded(&d.error, [&] {
        jpeg_memory_source(&d.cinfo, data, size);
        jpeg_limit_scans(&d);
        save_markers(&d.cinfo, context->params, Variant::kJfifStream);
      }))
    return rc;
  return read_picture(&d, context, Variant::kJfifStream, description ? description : "");
}

}  // namespace lumora
