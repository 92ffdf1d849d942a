// The JPEG writer: options from SaveParams, comment and metadata markers, rows from the save
// pipeline one at a time through a 4096-byte destination manager over the output ByteStream.
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "imagelib/codecs/jpeg/jpeg.h"
#include "imagelib/codecs/jpeg/jpeg_error.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"

namespace lumora {
namespace {

constexpr size_t kOutputBufferBytes = 4096;
constexpr size_t kMaxMarkerData = 65533;  // a marker's 16-bit length counts itself (T.81 B.1.1.4)
constexpr int kApp1 = JPEG_APP0 + 1;
constexpr int kApp2 = JPEG_APP0 + 2;
constexpr int kApp13 = JPEG_APP0 + 13;
constexpr char kIccTag[] = "ICC_PROFILE";
constexpr size_t kIccHeaderBytes = sizeof kIccTag + 2;  // tag, NUL, sequence number, count
constexpr size_t kIccPieceBytes = kMaxMarkerData - kIccHeaderBytes;

struct Destination {
  jpeg_destination_mgr pub;  // first member
  ByteStream* stream;
  JOCTET* buffer;
  bool write_failed;         // any write to the stream failed, the last one included
};

void init_destination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  dest->buffer = static_cast<JOCTET*>(
      cinfo->mem->alloc_small(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kOutputBufferBytes));
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kOutputBufferBytes;
}

boolean empty_output_buffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  if (stream_write(dest->stream, dest->buffer, kOutputBufferBytes) != 0) {
    dest->write_failed = true;
    return FALSE;  // libjpeg then writes no further rows
  }
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kOutputBufferBytes;
  return TRUE;
}

// The end of the file is a write like any other: a disk that fills up here must not yield a
// truncated file reported as written.
void term_destination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  const size_t left = kOutputBufferBytes - dest->pub.free_in_buffer;
  if (left > 0 && stream_write(dest->stream, dest->buffer, left) != 0) dest->write_failed = true;
  if (stream_flush(dest->stream) != 0) dest->write_failed = true;
}

struct Compressor {
  jpeg_compress_struct cinfo;
  JpegErrorManager error;
  Destination dest;
  bool created = false;

  Compressor() {
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&dest, 0, sizeof dest);
    cinfo.err = jpeg_error_setup(&error, JpegErrorRole::kWriter);
  }
  ~Compressor() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
};

void set_options(j_compress_ptr cinfo, const SaveContext* context) {
  const SaveParams& p = context->params;
  jpeg_set_defaults(cinfo);
  cinfo->optimize_coding = p.jpeg_optimize ? TRUE : FALSE;
  // JFIF densities must be non-zero; without a usable resolution the aspect-ratio form
  // (unit 0, 1:1) that libjpeg sets by default stays.
  if (context->xdpi >= 1 && context->xdpi <= 65535 && context->ydpi >= 1 && context->ydpi <= 65535) {
    cinfo->density_unit = 1;  // dots per inch
    cinfo->X_density = static_cast<UINT16>(context->xdpi);
    cinfo->Y_density = static_cast<UINT16>(context->ydpi);
  }
  jpeg_set_quality(cinfo, std::min<int>(p.quality, 100), TRUE);
  if (p.interlaced) jpeg_simple_progression(cinfo);
  if (cinfo->num_components >= 3 && p.jpeg_subsampling >= 0 && p.jpeg_subsampling <= 2) {
    static const int kFactors[3][2] = {{2, 2}, {2, 1}, {1, 1}};  // horizontal, vertical
    cinfo->comp_info[0].h_samp_factor = kFactors[p.jpeg_subsampling][0];
    cinfo->comp_info[0].v_samp_factor = kFactors[p.jpeg_subsampling][1];
    for (int c = 1; c < 3; ++c) cinfo->comp_info[c].h_samp_factor = cinfo->comp_info[c].v_samp_factor = 1;
  }
  if (p.jpeg_dct_method == 1) cinfo->dct_method = JDCT_IFAST;
  else if (p.jpeg_dct_method == 2) cinfo->dct_method = JDCT_FLOAT;
  cinfo->smoothing_factor = std::min<int>(p.jpeg_smoothing, 100);
}

// An ICC profile longer than one marker is split over several, numbered from 1 (ICC.1 B.4).
void write_icc(j_compress_ptr cinfo, const MetadataChunk* chunk) {
  const size_t pieces = (chunk->size + kIccPieceBytes - 1) / kIccPieceBytes;
  if (pieces == 0 || pieces > 255) return;  // the count is one byte: such a profile cannot be stored
  const size_t first = std::min(kIccPieceBytes, size_t{chunk->size});
  auto* marker = static_cast<uint8_t*>(std::malloc(kIccHeaderBytes + first));
  if (!marker) return;  // the profile is optional: the picture is written without it
  std::memcpy(marker, kIccTag, sizeof kIccTag);
  for (size_t i = 0; i < pieces; ++i) {
    const size_t at = i * kIccPieceBytes;
    const size_t n = std::min(kIccPieceBytes, chunk->size - at);
    marker[sizeof kIccTag] = static_cast<uint8_t>(i + 1);
    marker[sizeof kIccTag + 1] = static_cast<uint8_t>(pieces);
    std::memcpy(marker + kIccHeaderBytes, chunk->data + at, n);
    jpeg_write_marker(cinfo, kApp2, marker, static_cast<unsigned>(kIccHeaderBytes + n));
  }
  std::free(marker);
}

// The markers after the frame tables: the comment (with its NUL), then the kept metadata blocks in
// list order. Exif and IPTC blocks cannot be split over markers; one too long for a marker is left
// out rather than failing the whole picture. XMP is never written.
void write_markers(j_compress_ptr cinfo, const SaveContext* context) {
  if (context->comment) {
    const size_t n = std::min(std::strlen(context->comment) + 1, kMaxMarkerData);
    jpeg_write_m_header(cinfo, JPEG_COM, static_cast<unsigned>(n));
    for (size_t i = 0; i + 1 < n; ++i) jpeg_write_m_byte(cinfo, static_cast<uint8_t>(context->comment[i]));
    jpeg_write_m_byte(cinfo, 0);
  }
  const SaveParams& p = context->params;
  for (const MetadataChunk* c = context->chunks; c; c = c->next) {
    if (!c->data || c->size == 0) continue;
    if (c->kind == kChunkIptc && p.write_iptc && c->size <= kMaxMarkerData) {
      jpeg_write_marker(cinfo, kApp13, c->data, c->size);
    } else if (c->kind == kChunkExif && p.write_exif && c->size <= kMaxMarkerData) {
      jpeg_write_marker(cinfo, kApp1, c->data, c->size);
    } else if (c->kind == kChunkIcc && (p.flags & kSaveWriteIcc)) {
      write_icc(cinfo, c);
    }
  }
}

// Rows from the pipeline into libjpeg. Plain frame for the jump. Returns 0, the status of
// get_rows, 6 when the output could not take a row, or 11 for a libjpeg error.
int write_rows(Compressor* c, SaveContext* context, const WriterHeader* header) {
  j_compress_ptr cinfo = &c->cinfo;
  if (setjmp(c->error.jump)) return c->error.code;
  while (cinfo->next_scanline < cinfo->image_height) {
    if (int rc = context->get_rows(context, -1, 1)) return rc;
    JSAMPROW row = header->row_buffer;
    if (jpeg_write_scanlines(cinfo, &row, 1) != 1) return kStatusWriteError;
  }
  return 0;
}

}  // namespace

int jpeg_write(ByteStream* stream, SaveContext* context) {
  const uint16_t type = context->type;
  if (type != kMaskColor && type != kPixGrey && type != kPixBilevel) return kStatusCannotStore;
  if (context->width < 1 || context->height < 1 || context->width > JPEG_MAX_DIMENSION ||
      context->height > JPEG_MAX_DIMENSION)
    return kStatusCannotStore;

  Compressor c;
  c.created = true;  // jpeg_destroy_compress copes with a half-made object
  if (int rc = jpeg_guarded(&c.error, [&] { jpeg_create_compress(&c.cinfo); })) return rc;
  c.dest.pub.init_destination = init_destination;
  c.dest.pub.empty_output_buffer = empty_output_buffer;
  c.dest.pub.term_destination = term_destination;
  c.dest.stream = stream;
  c.cinfo.dest = &c.dest.pub;

  int components = 3;
  J_COLOR_SPACE space = JCS_RGB;
  if (type == kPixGrey || type == kPixBilevel) {
    components = 1;
    space = JCS_GRAYSCALE;
  } else if (context->bitmap_type == kPixCMYK) {
    components = 4;
    space = JCS_CMYK;
  }
  c.cinfo.image_width = static_cast<JDIMENSION>(context->width);
  c.cinfo.image_height = static_cast<JDIMENSION>(context->height);
  c.cinfo.input_components = components;
  c.cinfo.in_color_space = space;
  c.cinfo.data_precision = 8;

  int rc = jpeg_guarded(&c.error, [&] {
    set_options(&c.cinfo, context);
    jpeg_start_compress(&c.cinfo, TRUE);
    write_markers(&c.cinfo, context);
  });
  if (c.dest.write_failed) return kStatusWriteError;
  if (rc) return rc;

  WriterHeader header;
  context->save_header_init(&header);
  std::snprintf(header.description, sizeof header.description, "Jpeg");
  header.planes = 1;
  if (components == 1) {
    header.bits_per_plane = 8;
  } else if (components == 4) {
    header.bits_per_plane = 32;
    header.layout = 0x4000;  // inks inverted, as Adobe CMYK JPEG files store them
  } else {
    header.bits_per_plane = 24;
  }
  header.bytes_per_row = static_cast<uint32_t>(context->width) * components;
  if (int begun = context->begin_save(context, &header)) return begun;
  if (!header.row_buffer || header.bytes_per_row < static_cast<uint32_t>(context->width) * components) {
    context->end_save(context);
    return kStatusCannotStore;
  }

  rc = write_rows(&c, context, &header);
  context->end_save(context);
  if (c.dest.write_failed) return kStatusWriteError;
  if (rc) return rc;
  rc = jpeg_guarded(&c.error, [&] { jpeg_finish_compress(&c.cinfo); });
  if (c.dest.write_failed) return kStatusWriteError;
  return rc;
}

void jpeg_capabilities(WriterCapability* list) {
  static const uint16_t kMasks[4] = {kMaskColor3, kPixGrey, kPixBilevel, kPixCMYK};
  for (int i = 0; i < 4; ++i) list[i].type_mask = kMasks[i];
}

}  // namespace lumora
