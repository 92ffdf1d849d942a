// The TIFF reader's entry: page choice, the checks of the page's description, the header given
// to the load pipeline, decoding and the palette at the end.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "imagelib/codecs/jpeg/jpeg.h"
#include "imagelib/codecs/tiff/tiff.h"
#include "imagelib/codecs/tiff/tiff_decode.h"
#include "imagelib/codecs/tiff/tiff_metadata.h"
#include "imagelib/core/status.h"

namespace lumora {

namespace {

using namespace tiff;

constexpr const char* kBadCompression = "TIFF : Bad data compression algorithm !";
constexpr const char* kBadPhotometric = "TIFF : Bad photometric interpretation !";
constexpr const char* kBadLzw = "TIFF : Bad LZW codes !";

// Strips and tiles bigger than this are not decoded (a corrupt size, not a picture).
constexpr uint64_t kMaxChunkBytes = 512ull << 20;

bool known_compression(uint32_t c) {
  switch (c) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 32946: case 32773:
    case 32809: case 34676: case 34677:
      return true;
    default:
      return false;
  }
}

bool known_photometric(uint32_t p) {
  switch (p) {
    case 0: case 1: case 2: case 3: case 5: case 6: case 8: case 32844: case 32845:
      return true;
    default:
      return false;
  }
}

bool is_colour(uint32_t photometric) {
  return photometric == 2 || photometric == 5 || photometric == 6 || photometric == 8 ||
         photometric == 32844 || photometric == 32845;
}

bool is_ccitt(uint32_t compression) { return compression >= 2 && compression <= 4; }

uint16_t row_order_of(uint32_t orientation) {
  switch (orientation) {
    case 2: return 1;
    case 3: return 17;
    case 4: return 16;
    default: return 0;
  }
}

void set_compression(const TiffPage& page, ImageHeader* h) {
  switch (page.compression) {
    case 2: h->compression = kCompCcittRle; break;
    case 3: h->compression = (page.t4_options & 1) ? kCompCcittG3_2D : kCompCcittG3; break;
    case 4: h->compression = kCompCcittG4; break;
    case 5: h->compression = kCompLzw; break;
    case 7: h->compression = kCompJpeg; break;
    case 8: case 32946: h->compression = kCompZip; break;
    case 32773: h->compression = kCompRle; break;
    case 34676:
      h->compression = kCompReaderText;
      std::snprintf(h->compression_text, sizeof h->compression_text, "SGILog");
      break;
    case 34677:
      h->compression = kCompReaderText;
      std::snprintf(h->compression_text, sizeof h->compression_text, "SGILog24");
      break;
    default: h->compression = kCompNone; break;
  }
}

// The samples kept of a colour page: 4 for inks and for RGB with one alpha; beyond four samples,
// 4 when the first extra sample is associated alpha, else 3.
uint32_t colour_samples_kept(const TiffFile& f, const TiffPage& page) {
  switch (page.photometric) {
    case 5: return 4;
    case 32844: return 1;
    case 6: case 8: case 32845: return 3;
    default: break;
  }
  if (page.samples <= 3) return 3;
  if (page.samples == 4) return 4;
  std::vector<uint64_t> extra;
  if (page.extra_samples.present && page.extra_samples.type == 3 &&
      field_numbers(f, page.extra_samples, 1, &extra) == kStatusOk && !extra.empty() &&
      extra[0] == 1)
    return 4;
  return 3;
}

// Sample sizes that files really use but the reader does not convert, named in the message:
// 64-bit integers, and 24- and 64-bit floats (Adobe TIFF Technical Note 3). 0 for the others,
// which are usable or are no sample size at all.
int refuse_samples(const TiffPage& page, LoadContext* context) {
  const bool is_float = page.sample_format == 3;
  const bool named = page.bits == 64 || (is_float && page.bits == 24);
  if (!named) return kStatusOk;
  char text[64];
  std::snprintf(text, sizeof text, "TIFF : %u-bit %ssamples are not supported", page.bits,
                is_float ? "float " : "");
  load_set_message(context, text);
  return kStatusImpossible;
}

// Fills the plan from the page: 0, 2 (a combination the reader cannot deliver), 4 (no usable
// bit count) or 9 (with the message already set).
int make_plan(const TiffFile& f, const TiffPage& page, LoadContext* context, PagePlan* plan) {
  if (const int refused = refuse_samples(page, context)) return refused;
  if (page.bits < 1 || page.bits > 32) return kStatusFileEndsEarly;
  if (page.samples < 1 || page.samples > 64) return kStatusNotRecognised;
  if (page.width < 1 || page.length < 1 || page.width >= 200000 || page.length >= 200000)
    return kStatusNotRecognised;
  plan->width = page.width;
  plan->height = page.length;
  plan->bits = page.bits;
  const bool planar = page.planar == 2 && page.samples > 1;
  plan->stored_planes = planar ? page.samples : 1;
  plan->chunk_samples = planar ? 1 : page.samples;
  plan->tiled = page_is_tiled(page);
  if (plan->tiled) {
    if (page.tile_width > 65536 || page.tile_length > 65536) return kStatusNotRecognised;
    plan->chunk_width = page.tile_width;
    plan->chunk_length = page.tile_length;
  } else {
    plan->chunk_width = page.width;
    plan->chunk_length = page.rows_per_strip;
  }
  const uint64_t chunk_bytes = (static_cast<uint64_t>(plan->chunk_width) * plan->chunk_samples *
                                    plan->bits + 7) / 8 * plan->chunk_length;
  if (chunk_bytes > kMaxChunkBytes) return kStatusNotRecognised;

  const uint32_t c = page.compression;
  const uint32_t p = page.photometric;
  // SGILog data belong to the LogL and LogLuv interpretations, and those to SGILog data.
  const bool log_photometric = p == 32844 || p == 32845;
  const bool sgilog = c == 34676 || c == 34677;
  if (log_photometric != sgilog) {
    load_set_message(context, log_photometric ? kBadPhotometric : kBadCompression);
    return kStatusImpossible;
  }
  if (is_ccitt(c)) {
    if (page.bits != 1 || plan->chunk_samples != 1) return kStatusNotRecognised;
    plan->kind = DataKind::kCcitt;
  } else if (c == 7) {
    if (page.bits != 8) return kStatusNotRecognised;
    plan->kind = DataKind::kJpeg;
  } else if (sgilog) {
    // LogL pages have no 24-bit form: libtiff writes them as LogL16 under either code.
    plan->kind = DataKind::kSgiLog;
    plan->sgilog_luv = p == 32845;
    if (planar) return kStatusNotRecognised;
  } else if (c == 32809 && (page.bits != 4 || plan->chunk_samples != 1)) {
    return kStatusNotRecognised;
  }

  // YCbCr planes are never delivered apart: the three are needed for every pixel.
  if (p == 6 && planar) return kStatusNotRecognised;
  if (is_colour(p)) {
    const uint32_t needed = p == 5 ? 4 : log_photometric ? 1 : 3;
    if (page.samples < needed) return kStatusNotRecognised;
    plan->out_samples = colour_samples_kept(f, page);
    plan->out_bits = 8;
    plan->planar_delivery = planar && plan->out_samples > 1;
    plan->scale_to_byte = plan->kind == DataKind::kSamples && page.bits != 8;
    if (p == 6 && plan->kind == DataKind::kSamples) {
      // Subsampled YCbCr is converted here; planar YCbCr is not delivered.
      const uint32_t h = page.subsampling_h, v = page.subsampling_v;
      if (planar || page.bits != 8 || (h != 1 && h != 2 && h != 4) || (v != 1 && v != 2 && v != 4))
        return kStatusNotRecognised;
      if (plan->tiled && (plan->chunk_width % h != 0 || plan->chunk_length % v != 0))
        return kStatusNotRecognised;
      plan->kind = DataKind::kYCbCr;
      plan->chunk_samples = 3;
    }
    if (p == 6 && page.ycbcr_coefficients.present) {
      float luma[3] = {0.299f, 0.587f, 0.114f};
      for (uint32_t i = 0; i < 3; ++i) {
        uint32_t num = 0, den = 0;
        if (field_rational(f, page.ycbcr_coefficients, i, &num, &den) && den != 0)
          luma[i] = static_cast<float>(num) / static_cast<float>(den);
      }
      // Coefficients that cannot be luma weights (the green one divides) keep the defaults.
      const bool usable = luma[1] > 0.0f && luma[0] >= 0.0f && luma[2] >= 0.0f &&
                          luma[0] + luma[1] + luma[2] < 1.5f;
      if (usable) std::copy(luma, luma + 3, plan->luma);
    }
  } else {
    plan->out_samples = 1;
    const bool natural = page.bits == 1 || page.bits == 2 || page.bits == 4 || page.bits == 8;
    plan->out_bits = natural ? page.bits : 8;
    if (!natural && plan->kind == DataKind::kSamples) {
      if (p == 3 && page.bits < 8) plan->index_bytes = true;
      else plan->scale_to_byte = true;
    }
  }
  if (plan->tiled && plan->out_bits < 8 && (static_cast<uint64_t>(plan->chunk_width) * plan->out_bits) % 8 != 0)
    return kStatusNotRecognised;
  plan->out_row_bytes = plan->planar_delivery
                            ? plan->width
                            : (static_cast<size_t>(plan->width) * plan->out_samples * plan->out_bits + 7) / 8;
  return kStatusOk;
}

void fill_header(const TiffPage& page, const PagePlan& plan, const char* description,
                 int32_t xdpi, int32_t ydpi, ImageHeader* h) {
  h->row_order = row_order_of(page.orientation);
  h->width = static_cast<int32_t>(plan.width);
  h->height = static_cast<int32_t>(plan.height);
  h->rows_per_call = 1;
  h->xdpi = xdpi;
  h->ydpi = ydpi;
  if (plan.planar_delivery) {
    h->planes = static_cast<uint16_t>(plan.out_samples);
    h->bits_per_plane = 8;
    h->layout |= 0x4;
  } else {
    h->planes = 1;
    h->bits_per_plane = static_cast<uint16_t>(plan.out_samples * plan.out_bits);
  }
  h->bytes_per_plane = static_cast<uint32_t>(plan.out_row_bytes);
  switch (page.photometric) {
    case 5: h->color_model = kModelCMYK; h->layout |= 0x8000; break;
    case 6: h->color_model = kModelYCbCr; break;
    case 8: h->color_model = kModelLab; h->layout |= 0x80000; break;
    case 32844: h->color_model = kModelLogL; break;
    case 32845: h->color_model = kModelLogLuv; break;
    default: h->color_model = kModelRGB; break;
  }
  if (plan.tiled) h->layout |= 0x1000000;
  set_compression(page, h);
  if (description) {
    std::snprintf(h->description, sizeof h->description, "%s", description);
  } else {
    std::snprintf(h->description, sizeof h->description, "%s", plan.tiled ? "TIFF (Tiled)" : "TIFF");
  }
}

// The colour map as three planes of native 16-bit values with 2^bits entries each.
int read_palette(const TiffFile& f, const TiffPage& page, uint32_t bits, std::vector<uint8_t>* out) {
  const uint32_t entries = 1u << bits;
  std::vector<uint64_t> values;
  TiffField map = page.color_map;
  if (map.type != 3 || map.count / 3 > UINT32_MAX / 3) return kStatusOk;
  const uint32_t per_plane = static_cast<uint32_t>(map.count / 3);
  if (per_plane == 0) return kStatusOk;
  const int status = field_numbers(f, map, 3 * per_plane, &values);
  if (status == kStatusNoMemory) return status;
  if (status != kStatusOk) return kStatusOk;   // a map beyond the file: no palette
  try {
    out->assign(static_cast<size_t>(entries) * 6, 0);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  const uint32_t n = std::min(entries, per_plane);
  for (uint32_t k = 0; k < 3; ++k) {
    for (uint32_t i = 0; i < n; ++i) {
      const uint16_t v = static_cast<uint16_t>(values[k * per_plane + i]);
      std::memcpy(out->data() + (static_cast<size_t>(k) * entries + i) * 2, &v, 2);
    }
  }
  return kStatusOk;
}

}  // namespace

int tiff_read_common(ByteStream* stream, LoadContext* context, const char* description) {
  TiffFile f;
  f.stream = stream;
  f.size = stream->size;
  uint64_t first = 0;
  int status = read_file_header(&f, &first);
  if (status != kStatusOk) return status;

  std::vector<uint64_t> directories;
  status = list_directories(f, first, &directories);
  if (status != kStatusOk) return status;
  context->image_count = directories.empty() ? 1 : static_cast<uint32_t>(directories.size());
  const int32_t index = context->services.current_image_index(context, 0);
  const uint64_t offset = directories.empty() ? first
                          : (index >= 0 && static_cast<size_t>(index) < directories.size())
                              ? directories[static_cast<size_t>(index)]
                              : directories[0];

  TiffPage page;
  status = read_directory(f, offset, context, &page);
  if (status != kStatusOk) return status;

  int32_t xdpi = 0, ydpi = 0;
  page_resolution(f, page, &xdpi, &ydpi);
  uint32_t px = 0, py = 0;
  if (page_position(f, page, xdpi, ydpi, &px, &py)) {
    context->reader_values[0] = px;
    context->reader_values[1] = py;
  }
  status = keep_page_texts(f, page, context);
  if (status != kStatusOk) return status;
  status = keep_page_metadata(f, page, context);
  if (status != kStatusOk) return status;

  if (!known_compression(page.compression) || (page.compression == 6 && page.jpeg_interchange < 0)) {
    load_set_message(context, kBadCompression);
    return kStatusImpossible;
  }
  if (page.compression == 6) {
    // Old-style JPEG: the page is one JFIF stream.
    if (static_cast<uint64_t>(page.jpeg_interchange) >= f.size ||
        stream_seek(stream, static_cast<uint64_t>(page.jpeg_interchange)) != kStatusOk)
      return kStatusFileEndsEarly;
    return jpeg_read_jfif_stream(stream, context, description ? description : "TIFF (jpeg)");
  }
  if (!known_photometric(page.photometric)) {
    load_set_message(context, kBadPhotometric);
    return kStatusImpossible;
  }

  PagePlan plan;
  status = make_plan(f, page, context, &plan);
  if (status != kStatusOk) return status;
  if (plan.kind == DataKind::kJpeg && page.jpeg_tables.present) {
    status = field_bytes(f, page.jpeg_tables, kMaxChunkBytes, &plan.jpeg_tables);
    if (status == kStatusNoMemory) return status;
    if (status != kStatusOk) plan.jpeg_tables.clear();
  }
  std::vector<uint8_t> palette;
  const bool use_map = !is_ccitt(page.compression) && page.photometric == 3 &&
                       page.color_map.present && plan.out_bits <= 8 && plan.out_samples == 1;
  if (use_map) {
    status = read_palette(f, page, plan.out_bits, &palette);
    if (status != kStatusOk) return status;
  }

  ImageHeader header;
  context->services.header_init(&header);
  fill_header(page, plan, description, xdpi, ydpi, &header);
  // Grey pages without a colour map (end_image below receives no palette for them).
  if (!is_ccitt(page.compression) && palette.empty() && page.photometric <= 1)
    header.grey_levels = page.photometric == 0 ? kGreyLevelsWhiteZero : kGreyLevelsBlackZero;
  status = context->services.begin_image(context, &header);
  if (status != 0) return status;

  status = decode_page(f, page, plan, context, header);
  if (status == kStatusImpossible) load_set_message(context, kBadLzw);

  uint32_t form = 0;
  const uint8_t* map = nullptr;
  if (is_ccitt(page.compression)) {
    if (page.photometric != 0) form = 0x1;
  } else if (!palette.empty()) {
    form = 0x110;
    map = palette.data();
  } else if (page.photometric == 0) {
    form = 0x1;
  }
  const int end = context->services.end_image(context, form, map ? 16 : 8, map);
  return status != kStatusOk ? status : end;
}

int tiff_read(ByteStream* stream, LoadContext* context) {
  return tiff_read_common(stream, context, nullptr);
}

}  // namespace lumora
