#pragma once
// Pieces shared by the JPEG reader, the thumbnail decoder and the JFIF-stream reader.
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include "imagelib/codecs/jpeg/jpeg_error.h"
#include "imagelib/core/load.h"

namespace lumora {

// A decompressor with its error manager. Lives in the reader's own frame (never in a frame a
// longjmp crosses) and destroys the libjpeg object when it goes.
struct JpegDecompressor {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  bool created = false;

  explicit JpegDecompressor(JpegErrorRole role);
  ~JpegDecompressor();
  JpegDecompressor(const JpegDecompressor&) = delete;
  JpegDecompressor& operator=(const JpegDecompressor&) = delete;

  // jpeg_create_decompress under the guard; 0 or the mapped error code.
  int create();
};

// Scans beyond this number end the decode with an error: a progressive file needs about ten, and
// a crafted file with tens of thousands of tiny scans would otherwise take minutes.
constexpr int kMaxScans = 1000;
// And the scans together may run over the picture's blocks at most this many times (small
// pictures always get kMinScanBlockVisits): empty scans of a large picture cost a full pass each.
constexpr uint64_t kMaxScanPasses = 64;
constexpr uint64_t kMinScanBlockVisits = uint64_t{1} << 22;

// Installs a progress monitor that stops decompressions with more than kMaxScans scans or more
// scan work than kMaxScanPasses passes over the picture.
void jpeg_limit_scans(JpegDecompressor* d);

// Fills the parts of the ImageHeader that follow from the output colour space: description text,
// bits and bytes per plane, ink layout and colour model. Returns the description text, or null
// when the colour space is not one the pipeline can take (then nothing is set).
const char* jpeg_describe_output(J_COLOR_SPACE space, uint32_t output_width, ImageHeader* header);
// Components per pixel of an output colour space that jpeg_describe_output accepts (1, 3 or 4).
int jpeg_output_components(J_COLOR_SPACE space);

// Decodes every output row into the header's row buffer and hands it to put_rows. Returns 0, 15
// when put_rows asked to stop, or the mapped code of a fatal libjpeg error (the rows delivered
// so far stay delivered).
int jpeg_deliver_rows(JpegDecompressor* d, LoadContext* context, const ImageHeader* header);

// Quality estimate of a decompressor after jpeg_read_header.
int jpeg_decompressor_quality(const jpeg_decompress_struct* cinfo);

// Keeps COM markers as comment and APP markers as metadata chunks (Exif, XMP, IPTC, ICC) as the
// context's flags ask. 0, or 1 when memory is short.
int jpeg_keep_markers(const jpeg_decompress_struct* cinfo, LoadContext* context);

// Decodes the embedded Exif thumbnail (`size` bytes at `data`) as the picture of `context`. The
// main picture's full output size and colour space give the logical fields. 0 when the thumbnail
// was delivered (or -1 when only the description was wanted); any other value means the caller
// decodes the main picture: 1 refused or out of memory, 10 corrupt, 2 not usable, or
// begin_image's status.
int jpeg_decode_thumbnail(const uint8_t* data, size_t size, uint32_t main_width,
                          uint32_t main_height, J_COLOR_SPACE main_space, LoadContext* context);

// Thumbnails with more pixels than this are not taken: decoding them would cost more than the
// reduced main picture and their buffer would be large.
constexpr uint64_t kMaxThumbnailPixels = 1u << 20;

}  // namespace lumora
