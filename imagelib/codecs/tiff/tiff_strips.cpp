// Strips and tiles of a TIFF page (TIFF 6.0 sections 3 and 15): each is read whole, decompressed
// into a buffer of the size the page says it holds, post-processed (predictor, samples reduced to
// bytes, extra samples dropped, YCbCr to RGB) and delivered row by row. Tiles are assembled into
// full picture rows one row of tiles at a time.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "imagelib/codecs/tiff/tiff_decode.h"
#include "imagelib/core/status.h"

namespace lumora::tiff {

namespace {

// The decoded data of one strip or tile as the converter sees them.
struct Stage {
  uint32_t bits = 8;
  uint32_t samples = 1;       // samples per pixel
  size_t row_bytes = 0;
  bool big_endian = false;    // byte order of 16-, 24- and 32-bit samples
  bool float_samples = false; // IEEE floats (sample format 3, 16 or 32 bits)
};

// An IEEE 754 half-precision value (1 sign bit, 5 exponent bits biased by 15, 10 fraction bits).
float half_to_float(uint16_t h) {
  const uint32_t exponent = (h >> 10) & 0x1F, fraction = h & 0x3FF;
  float v;
  if (exponent == 0) v = std::ldexp(static_cast<float>(fraction), -24);   // subnormal
  else if (exponent == 31) v = fraction ? std::numeric_limits<float>::quiet_NaN()
                                        : std::numeric_limits<float>::infinity();
  else v = std::ldexp(static_cast<float>(fraction | 0x400), static_cast<int>(exponent) - 25);
  return (h & 0x8000) ? -v : v;
}

// A floating-point sample as a byte: 0.0 to 1.0 spans the levels, anything outside is clipped.
uint32_t float_to_byte(float f) {
  if (!(f > 0.0f)) return 0;
  if (f >= 1.0f) return 255;
  return static_cast<uint32_t>(f * 255.0f + 0.5f);
}

uint32_t read_bits(const uint8_t* row, uint64_t bit, uint32_t count) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < count; ++i, ++bit)
    v = (v << 1) | ((row[bit >> 3] >> (7 - (bit & 7))) & 1u);
  return v;
}

void write_bits(uint8_t* row, uint64_t bit, uint32_t count, uint32_t value) {
  for (uint32_t i = 0; i < count; ++i, ++bit) {
    const uint8_t mask = static_cast<uint8_t>(0x80u >> (bit & 7));
    if ((value >> (count - 1 - i)) & 1u) row[bit >> 3] |= mask;
    else row[bit >> 3] &= static_cast<uint8_t>(~mask);
  }
}

// One sample of a stage row as a byte (or as the delivered code when `keep_bits` is below 8).
uint32_t sample_value(const Stage& st, const PagePlan& plan, const uint8_t* row, uint64_t index) {
  switch (st.bits) {
    case 8: return row[index];
    case 16: {
      const uint8_t* p = row + index * 2;
      if (st.float_samples) return float_to_byte(half_to_float(st.big_endian ? get_u16be(p) : get_u16le(p)));
      return st.big_endian ? p[0] : p[1];
    }
    case 24: {
      // Whole-byte samples are stored in the file's byte order, as 16- and 32-bit ones are.
      const uint8_t* p = row + index * 3;
      return st.big_endian ? p[0] : p[2];
    }
    case 32: {
      const uint8_t* p = row + index * 4;
      if (st.float_samples) {
        const uint32_t word = st.big_endian ? get_u32be(p) : get_u32le(p);
        float f;
        std::memcpy(&f, &word, 4);
        return float_to_byte(f);
      }
      return st.big_endian ? p[0] : p[3];
    }
    default: break;
  }
  const uint32_t v = read_bits(row, index * st.bits, st.bits);
  if (st.bits > 8) return v >> (st.bits - 8);
  if (plan.scale_to_byte) return v * 255 / ((1u << st.bits) - 1);
  return v;   // natural sizes kept, or palette indices as bytes
}

// Converts `count` pixels of a stage row into the delivered row at pixel column `x`. `keep`
// samples of each pixel are delivered, at `out_bits` each.
void convert_pixels(const Stage& st, const PagePlan& plan, const uint8_t* src, uint8_t* dst,
                    uint32_t x, uint32_t count, uint32_t keep, uint32_t out_bits) {
  if (st.bits == out_bits && st.samples == keep && !plan.scale_to_byte && !plan.index_bytes &&
      !st.float_samples && (static_cast<uint64_t>(x) * keep * out_bits) % 8 == 0) {
    const uint64_t bits = static_cast<uint64_t>(count) * keep * out_bits;
    std::memcpy(dst + static_cast<uint64_t>(x) * keep * out_bits / 8, src, static_cast<size_t>((bits + 7) / 8));
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    for (uint32_t k = 0; k < keep; ++k) {
      const uint32_t v = sample_value(st, plan, src, static_cast<uint64_t>(i) * st.samples + k);
      const uint64_t at = (static_cast<uint64_t>(x) + i) * keep + k;
      if (out_bits == 8) dst[at] = static_cast<uint8_t>(v);
      else write_bits(dst, at * out_bits, out_bits, v);
    }
  }
}

// Horizontal differencing (predictor 2) undone on one row of 8-, 16- or 32-bit samples.
void undo_predictor(const Stage& st, uint8_t* row, uint32_t width) {
  const uint64_t n = static_cast<uint64_t>(width) * st.samples;
  const uint32_t s = st.samples;
  switch (st.bits) {
    case 8:
      for (uint64_t i = s; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - s]);
      break;
    case 16:
      for (uint64_t i = s; i < n; ++i) {
        uint8_t* p = row + i * 2;
        const uint8_t* q = row + (i - s) * 2;
        const uint16_t v = static_cast<uint16_t>((st.big_endian ? get_u16be(p) : get_u16le(p)) +
                                                 (st.big_endian ? get_u16be(q) : get_u16le(q)));
        if (st.big_endian) put_u16be(p, v); else put_u16le(p, v);
      }
      break;
    case 32:
      for (uint64_t i = s; i < n; ++i) {
        uint8_t* p = row + i * 4;
        const uint8_t* q = row + (i - s) * 4;
        const uint32_t v = (st.big_endian ? get_u32be(p) : get_u32le(p)) +
                           (st.big_endian ? get_u32be(q) : get_u32le(q));
        if (st.big_endian) put_u32be(p, v); else put_u32le(p, v);
      }
      break;
    default:
      break;
  }
}

// Floating-point prediction (predictor 3, Adobe TIFF Technical Note 3) undone on one row: bytes
// differenced, then each value's bytes stored as separate byte planes, most significant first.
void undo_float_predictor(const Stage& st, uint8_t* row, uint32_t width, std::vector<uint8_t>& tmp) {
  const uint32_t bytes = st.bits / 8;
  const size_t n = static_cast<size_t>(width) * st.samples;
  const size_t total = n * bytes;
  for (size_t i = st.samples; i < total; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - st.samples]);
  tmp.assign(row, row + total);
  for (size_t i = 0; i < n; ++i) {
    for (uint32_t b = 0; b < bytes; ++b) {
      // Plane b holds byte b of every value counted from the most significant.
      const uint8_t v = tmp[b * n + i];
      const uint32_t pos = st.big_endian ? b : bytes - 1 - b;
      row[i * bytes + pos] = v;
    }
  }
}

// The most bytes one stored byte can decode to, by compression (unbounded ones count as such).
uint64_t expansion_limit(uint32_t compression) {
  switch (compression) {
    case 1: return 1;
    case 32773: return 64;        // PackBits: 2 bytes repeat one up to 128 times
    case 32809: return 32;        // ThunderScan: a run byte gives up to 63 pixels of 4 bits
    case 8: case 32946: return 1032;   // deflate's largest ratio
    case 5: return 4096;          // LZW: a 9-bit code can stand for a 4096-byte string
    default: return UINT64_MAX / (1ull << 40);
  }
}

struct ChunkList {
  std::vector<uint64_t> offsets;
  std::vector<uint64_t> counts;
};

class PageDecoder {
 public:
  PageDecoder(const TiffFile& f, const TiffPage& page, PagePlan& plan, LoadContext* ctx,
              const ImageHeader& header)
      : f_(f), page_(page), plan_(plan), ctx_(ctx), header_(header) {}
  int run();

 private:
  int gather();
  int decode_chunk(uint32_t index, uint32_t rows, uint32_t* rows_done);
  int deliver_strips();
  int deliver_tiles();
  uint32_t keep_samples() const { return plan_.planar_delivery ? 1 : plan_.out_samples; }
  bool plane_wanted(uint32_t plane) const {
    return plane == 0 || (plan_.planar_delivery && plane < plan_.out_samples);
  }

  const TiffFile& f_;
  const TiffPage& page_;
  PagePlan& plan_;
  LoadContext* ctx_;
  const ImageHeader& header_;
  ChunkList chunks_;
  uint32_t chunks_per_plane_ = 0;
  Stage stage_;
  std::vector<uint8_t> input_;    // one strip or tile as stored
  std::vector<uint8_t> decoded_;  // one strip or tile decompressed
  std::vector<uint8_t> rgb_;      // YCbCr converted
  std::vector<uint8_t> scratch_;
  int lzw_variant_ = -1;          // decided by the first LZW strip: 0 current, 1 old-style
  int deferred_ = kStatusOk;      // missing strips: reported once the others are delivered
};

int PageDecoder::gather() {
  const TiffField& off = plan_.tiled ? page_.tile_offsets : page_.strip_offsets;
  const TiffField& cnt = plan_.tiled ? page_.tile_counts : page_.strip_counts;
  if (plan_.tiled) {
    const uint64_t across = (static_cast<uint64_t>(plan_.width) + plan_.chunk_width - 1) / plan_.chunk_width;
    const uint64_t down = (static_cast<uint64_t>(plan_.height) + plan_.chunk_length - 1) / plan_.chunk_length;
    if (across * down > (1u << 24)) return kStatusNotRecognised;
    chunks_per_plane_ = static_cast<uint32_t>(across * down);
  } else {
    chunks_per_plane_ = (plan_.height + plan_.chunk_length - 1) / plan_.chunk_length;
  }
  const uint64_t wanted = static_cast<uint64_t>(chunks_per_plane_) * plan_.stored_planes;
  if (wanted > (1u << 24)) return kStatusNotRecognised;
  if (!off.present) return kStatusFileEndsEarly;
  int status = field_numbers(f_, off, static_cast<uint32_t>(wanted), &chunks_.offsets);
  if (status == kStatusNoMemory) return status;
  if (status != kStatusOk) return kStatusFileEndsEarly;
  if (cnt.present) {
    status = field_numbers(f_, cnt, static_cast<uint32_t>(wanted), &chunks_.counts);
    if (status == kStatusNoMemory) return status;
    if (status != kStatusOk) chunks_.counts.clear();
  }
  if (chunks_.offsets.size() < wanted) deferred_ = kStatusFileEndsEarly;
  return kStatusOk;
}

// Reads and decompresses chunk `index` holding `rows` rows into the stage buffer; `rows_done`
// says how many whole rows are usable. Returns the decoding status.
int PageDecoder::decode_chunk(uint32_t index, uint32_t rows, uint32_t* rows_done) {
  *rows_done = 0;
  if (index >= chunks_.offsets.size()) return kStatusFileEndsEarly;
  const uint32_t width = plan_.chunk_width;
  const uint32_t samples = plan_.chunk_samples;
  const uint64_t file_row = (static_cast<uint64_t>(width) * samples * plan_.bits + 7) / 8;
  uint64_t expected = file_row * rows;
  stage_ = Stage{};
  stage_.big_endian = f_.big_endian;
  switch (plan_.kind) {
    case DataKind::kSamples:
    case DataKind::kCcitt:
      stage_.bits = plan_.bits;
      stage_.samples = samples;
      stage_.row_bytes = static_cast<size_t>(file_row);
      stage_.float_samples = page_.sample_format == 3 && (plan_.bits == 16 || plan_.bits == 32);
      break;
    case DataKind::kYCbCr: {
      const uint32_t h = page_.subsampling_h, v = page_.subsampling_v;
      expected = ((static_cast<uint64_t>(width) + h - 1) / h) * ((rows + v - 1) / v) * (h * v + 2);
      stage_.samples = 3;
      stage_.row_bytes = static_cast<size_t>(width) * 3;
      break;
    }
    case DataKind::kJpeg:
      stage_.samples = samples;
      stage_.row_bytes = static_cast<size_t>(width) * samples;
      expected = static_cast<uint64_t>(stage_.row_bytes) * rows;
      break;
    case DataKind::kSgiLog:
      stage_.samples = plan_.sgilog_luv ? 3 : 1;
      stage_.row_bytes = static_cast<size_t>(width) * stage_.samples;
      expected = static_cast<uint64_t>(stage_.row_bytes) * rows;
      break;
  }
  const uint64_t offset = chunks_.offsets[index];
  if (offset >= f_.size) return kStatusFileEndsEarly;
  // The stored size: the byte count when given, else what the page needs (uncompressed) or the
  // rest of the file; never beyond the file.
  uint64_t stored = index < chunks_.counts.size() ? chunks_.counts[index]
                    : page_.compression == 1   ? expected
                                               : f_.size - offset;
  bool cut = false;
  if (stored > f_.size - offset) {
    stored = f_.size - offset;
    cut = true;
  }
  // What the stored bytes can expand to at most bounds the buffer, so that a tiny file claiming a
  // huge strip costs no more than its data can fill.
  const uint32_t rows_wanted = rows;
  const uint64_t most = stored * expansion_limit(page_.compression);
  if (plan_.kind == DataKind::kSamples && most < expected) {
    expected = most;
    rows = static_cast<uint32_t>(std::min<uint64_t>(rows, expected / file_row + 1));
    expected = std::min<uint64_t>(expected, file_row * rows);
  }
  try {
    input_.resize(static_cast<size_t>(stored));
    decoded_.assign(static_cast<size_t>(expected), 0);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  if (stored > 0 && f_.read_at(offset, input_.data(), input_.size()) != kStatusOk)
    return kStatusFileEndsEarly;
  if (page_.fill_order == 2 && plan_.kind != DataKind::kJpeg) reverse_bits(input_.data(), input_.size());

  const uint8_t* in = input_.data();
  const size_t in_size = input_.size();
  uint8_t* out = decoded_.data();
  const size_t out_size = decoded_.size();
  DecodeResult r;
  switch (page_.compression) {
    case 1:
      r.produced = std::min(in_size, out_size);
      if (r.produced) std::memcpy(out, in, r.produced);
      if (r.produced < out_size) r.status = kStatusFileEndsEarly;
      break;
    case 2:
      r = decode_ccitt(in, in_size, out, stage_.row_bytes, width, rows, CcittMode::kModifiedHuffman);
      break;
    case 3:
      r = decode_ccitt(in, in_size, out, stage_.row_bytes, width, rows,
                       (page_.t4_options & 1) ? CcittMode::kGroup3TwoD : CcittMode::kGroup3);
      break;
    case 4:
      r = decode_ccitt(in, in_size, out, stage_.row_bytes, width, rows, CcittMode::kGroup4);
      break;
    case 5:
      if (lzw_variant_ < 0) lzw_variant_ = lzw_is_old_style(in, in_size) ? 1 : 0;
      r = decode_lzw(in, in_size, out, out_size, lzw_variant_ == 1);
      break;
    case 7:
      r = decode_jpeg_chunk(plan_.jpeg_tables, in, in_size, out, stage_.row_bytes, width, rows,
                            static_cast<int>(samples), page_.photometric == 6);
      break;
    case 8:
    case 32946:
      r = decode_deflate(in, in_size, out, out_size);
      break;
    case 32773:
      r = decode_packbits(in, in_size, out, out_size);
      break;
    case 32809:
      r = decode_thunderscan(in, in_size, out, out_size, width, stage_.row_bytes);
      break;
    case 34676:
      r = decode_sgilog(in, in_size, out, width, rows, plan_.sgilog_luv);
      break;
    case 34677:
      r = plan_.sgilog_luv ? decode_logluv24(in, in_size, out, width, rows)
                           : decode_sgilog(in, in_size, out, width, rows, false);
      break;
    default:
      return kStatusImpossible;
  }
  if (plan_.kind == DataKind::kYCbCr) {
    const uint32_t h = page_.subsampling_h, v = page_.subsampling_v;
    const size_t block_row = ((static_cast<size_t>(width) + h - 1) / h) * (h * v + 2);
    try {
      rgb_.assign(stage_.row_bytes * rows, 0);
    } catch (const std::bad_alloc&) {
      return kStatusNoMemory;
    }
    ycbcr_to_rgb(out, r.produced, rgb_.data(), stage_.row_bytes, width, rows, h, v, plan_.luma);
    *rows_done = static_cast<uint32_t>(std::min<uint64_t>(rows, r.produced / block_row * v));
  } else {
    *rows_done = static_cast<uint32_t>(std::min<uint64_t>(rows, r.produced / stage_.row_bytes));
    if (plan_.kind == DataKind::kSamples && (page_.predictor == 2 || page_.predictor == 3)) {
      try {
        for (uint32_t y = 0; y < *rows_done; ++y) {
          uint8_t* row = out + static_cast<size_t>(y) * stage_.row_bytes;
          if (page_.predictor == 2) undo_predictor(stage_, row, width);
          else if (stage_.float_samples) undo_float_predictor(stage_, row, width, scratch_);
        }
      } catch (const std::bad_alloc&) {
        return kStatusNoMemory;
      }
    }
  }
  if (r.status == kStatusOk && (cut || (page_.compression == 1 && *rows_done < rows_wanted)))
    r.status = kStatusFileEndsEarly;
  return r.status;
}

const uint8_t* stage_row(const std::vector<uint8_t>& decoded, const std::vector<uint8_t>& rgb,
                         bool ycbcr, size_t row_bytes, uint32_t y) {
  return (ycbcr ? rgb.data() : decoded.data()) + static_cast<size_t>(y) * row_bytes;
}

int PageDecoder::deliver_strips() {
  const bool ycbcr = plan_.kind == DataKind::kYCbCr;
  for (uint32_t plane = 0; plane < plan_.stored_planes; ++plane) {
    if (!plane_wanted(plane)) continue;
    for (uint32_t s = 0; s < chunks_per_plane_; ++s) {
      const uint32_t y0 = s * plan_.chunk_length;
      const uint32_t rows = std::min(plan_.chunk_length, plan_.height - y0);
      uint32_t done = 0;
      const int status = decode_chunk(plane * chunks_per_plane_ + s, rows, &done);
      for (uint32_t y = 0; y < done; ++y) {
        std::memset(header_.row_buffer, 0, plan_.out_row_bytes);
        convert_pixels(stage_, plan_, stage_row(decoded_, rgb_, ycbcr, stage_.row_bytes, y),
                       header_.row_buffer, 0, plan_.width, keep_samples(), plan_.out_bits);
        const int stop = ctx_->services.put_rows(ctx_, plan_.planar_delivery ? static_cast<int>(plane) : -1,
                                                 static_cast<int32_t>(y0 + y), 1);
        if (stop != 0) return stop;
      }
      if (status != kStatusOk) return status;
    }
  }
  return kStatusOk;
}

int PageDecoder::deliver_tiles() {
  const bool ycbcr = plan_.kind == DataKind::kYCbCr;
  const uint32_t tw = plan_.chunk_width, tl = plan_.chunk_length;
  const uint32_t across = (plan_.width + tw - 1) / tw;
  const uint32_t down = (plan_.height + tl - 1) / tl;
  std::vector<uint8_t> band;
  try {
    band.assign(plan_.out_row_bytes * tl, 0);
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  for (uint32_t plane = 0; plane < plan_.stored_planes; ++plane) {
    if (!plane_wanted(plane)) continue;
    for (uint32_t ty = 0; ty < down; ++ty) {
      std::fill(band.begin(), band.end(), 0);
      const uint32_t y0 = ty * tl;
      const uint32_t rows = std::min(tl, plan_.height - y0);
      int failed = kStatusOk;
      uint32_t rows_ok = rows;
      for (uint32_t tx = 0; tx < across && failed == kStatusOk; ++tx) {
        uint32_t done = 0;
        failed = decode_chunk(plane * chunks_per_plane_ + ty * across + tx, tl, &done);
        const uint32_t x0 = tx * tw;
        const uint32_t count = std::min(tw, plan_.width - x0);
        for (uint32_t y = 0; y < std::min(done, rows); ++y)
          convert_pixels(stage_, plan_, stage_row(decoded_, rgb_, ycbcr, stage_.row_bytes, y),
                         band.data() + static_cast<size_t>(y) * plan_.out_row_bytes, x0, count,
                         keep_samples(), plan_.out_bits);
        if (failed != kStatusOk) rows_ok = std::min(rows, done);
      }
      // After a failed tile the rows of the band are delivered as far as they are whole.
      for (uint32_t y = 0; y < (failed == kStatusOk ? rows : rows_ok); ++y) {
        if (header_.row_buffer_size < plan_.out_row_bytes) return kStatusNoMemory;
        std::memcpy(header_.row_buffer, band.data() + static_cast<size_t>(y) * plan_.out_row_bytes,
                    plan_.out_row_bytes);
        const int stop = ctx_->services.put_rows(ctx_, plan_.planar_delivery ? static_cast<int>(plane) : -1,
                                                 static_cast<int32_t>(y0 + y), 1);
        if (stop != 0) return stop;
      }
      if (failed != kStatusOk) return failed;
    }
  }
  return kStatusOk;
}

int PageDecoder::run() {
  if (!header_.row_buffer || header_.row_buffer_size < plan_.out_row_bytes) return kStatusNoMemory;
  int status = gather();
  if (status != kStatusOk) return status;
  status = plan_.tiled ? deliver_tiles() : deliver_strips();
  return status != kStatusOk ? status : deferred_;
}

}  // namespace

int decode_page(const TiffFile& file, const TiffPage& page, PagePlan& plan, LoadContext* context,
                const ImageHeader& header) {
  PageDecoder decoder(file, page, plan, context, header);
  try {
    return decoder.run();
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
}

}  // namespace lumora::tiff
