// put_rows and put_tile_rows: every delivered raw row is unpacked into the working form, mirrored
// when asked, reduced (nearest: through the column and row maps; averaging: box sums), and packed
// into its destination row of the Bitmap.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "imagelib/core/load_internal.h"
#include "imagelib/core/status.h"

namespace lumora {

namespace {

// Reverses a working row of `width` pixels in place.
void mirror_row(uint8_t* row, int32_t width, const LoadConverters& conv) {
  if (conv.working_form == kWorkBits) {
    for (int32_t a = 0, b = width - 1; a < b; ++a, --b) {
      int va = bit_get(row, a), vb = bit_get(row, b);
      bit_put(row, a, vb);
      bit_put(row, b, va);
    }
    return;
  }
  const int n = conv.working_bytes_per_pixel;
  uint8_t tmp[16];
  for (int32_t a = 0, b = width - 1; a < b; ++a, --b) {
    uint8_t* pa = row + static_cast<size_t>(a) * n;
    uint8_t* pb = row + static_cast<size_t>(b) * n;
    std::memcpy(tmp, pa, n);
    std::memcpy(pa, pb, n);
    std::memcpy(pb, tmp, n);
  }
}

int32_t destination(const LoadRowState& st, int32_t produced_row) {
  return st.flip ? st.out_height - 1 - produced_row : produced_row;
}

// Packs `width` working pixels into row `dest` of the Bitmap, starting at column `column`.
void pack_at(LoadContext* ctx, LoadRowState& st, const uint8_t* working, int32_t dest,
             int32_t column, int32_t width, int plane) {
  if (dest < 0 || dest >= st.out_height || column < 0 || width < 1 || column >= st.out_width)
    return;
  width = std::min(width, st.out_width - column);
  uint8_t* row = bitmap_row(ctx->bitmap, dest);
  if (st.average_packed && st.reduce == ReduceMode::kAverage) {
    std::memcpy(row + static_cast<size_t>(column) * 4, working, static_cast<size_t>(width) * 4);
    return;
  }
  if (st.produced != kPixBilevel) {
    st.conv.pack(working, row + static_cast<size_t>(column) * st.conv.produced_bytes_per_pixel,
                 width, plane, &st.conv.params);
    return;
  }
  if (column % 8 == 0) {
    // Whole bytes; the last byte keeps its bits beyond the segment.
    const int32_t full = width / 8;
    st.conv.pack(working, row + column / 8, full * 8, plane, &st.conv.params);
    for (int32_t x = full * 8; x < width; ++x) bit_put(row, column + x, bit_get(working, x));
    return;
  }
  for (int32_t x = 0; x < width; ++x) bit_put(row, column + x, bit_get(working, x));
}

// Nearest reduction of a segment covering source columns [x, x + width): the produced columns
// whose source column lies inside it, gathered into `reduced`. Returns the first produced column
// and their count in *count (0 when none falls inside).
int32_t gather_nearest(LoadRowState& st, const uint8_t* working, int32_t x, int32_t width,
                       int32_t* count) {
  const bool bits = st.conv.working_form == kWorkBits;
  const uint32_t unit = bits ? 1 : static_cast<uint32_t>(st.conv.working_bytes_per_pixel);
  const int64_t W = st.src_width, OW = st.out_width;
  // First produced column c with floor(c * W / OW) >= x, last with floor(c * W / OW) < x + width.
  int64_t first = (static_cast<int64_t>(x) * OW + W - 1) / W;
  int64_t end = ((static_cast<int64_t>(x) + width) * OW + W - 1) / W;
  first = std::clamp<int64_t>(first, 0, OW);
  end = std::clamp<int64_t>(end, first, OW);
  *count = static_cast<int32_t>(end - first);
  uint8_t* out = st.reduced.data();
  const uint32_t base = static_cast<uint32_t>(x) * unit;
  for (int64_t c = first; c < end; ++c) {
    const uint32_t from = st.column_map[c] - base;
    if (bits) {
      bit_put(out, static_cast<int32_t>(c - first), bit_get(working, static_cast<int32_t>(from)));
    } else {
      std::memcpy(out + (c - first) * unit, working + from, unit);
    }
  }
  return static_cast<int32_t>(first);
}

// Row bookkeeping before a row is converted: progress bar, row callback, counter, cancel check,
// progress report. Returns false when the load is cancelled at once.
bool account_row(LoadContext* ctx, LoadRowState& st, int32_t row, bool* cancel_after) {
  const LoadParams& p = ctx->params;
  const int64_t total = st.progress_total > 0 ? st.progress_total : 1;
  const int64_t done = ctx->delivered_rows + 1;
  if (p.flags & kLoadProgressBar) {
    const int64_t stars = std::min<int64_t>(60, done * 60 / total);
    bool drew = false;
    while (ctx->progress_position < stars) {
      std::fputc('*', stderr);
      ++ctx->progress_position;
      drew = true;
    }
    if (drew) std::fflush(stderr);
  }
  if (p.row_callback && p.row_callback(row, st.src_height, p.row_user)) *cancel_after = true;
  ctx->delivered_rows = done;
  if (p.cancel_callback && p.cancel_callback(p.cancel_user)) {
    ctx->cancelled = true;
    return false;
  }
  if (p.progress_callback) {
    const int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / total));
    if (percent != st.last_percent) {
      st.last_percent = percent;
      p.progress_callback(percent, p.progress_user);
    }
  }
  return true;
}

// Feeds averaged rows up to source row `row` (rows never delivered count as zero), then packs
// every produced row that completes.
void feed_average(LoadContext* ctx, LoadRowState& st, const uint8_t* working, int32_t row) {
  if (row < st.average_next) return;  // a row behind the averaging band is too late to count
  auto feed = [&](const uint8_t* samples) {
    int32_t target = 0;
    if (const uint8_t* out = st.average.feed(samples, &target))
      pack_at(ctx, st, out, destination(st, target), 0, st.out_width, -1);
  };
  if (row > st.average_next) {
    const size_t bytes = static_cast<size_t>(st.src_width) * st.average_channels;
    std::vector<uint8_t> blank;
    try {
      blank.assign(bytes, 0);
    } catch (...) {
      return;
    }
    while (st.average_next < row) {
      feed(blank.data());
      ++st.average_next;
    }
  }
  feed(working);
  ++st.average_next;
}

// A working row as the averaging takes it: grey levels of fewer than 8 bits (or inverted ones)
// become 0..255; 3-byte colour produced as 4 bytes is packed first.
const uint8_t* average_form(LoadRowState& st, uint8_t* working, int32_t width) {
  if (st.level_mapped)
    for (int32_t x = 0; x < width; ++x) working[x] = st.level_map[working[x]];
  if (!st.average_packed) return working;
  st.conv.pack(working, st.prepacked.data(), width, -1, &st.conv.params);
  return st.prepacked.data();
}

// Averages the gathered band rows in order (missing parts of a row count as zero) and empties
// the band.
void flush_band(LoadContext* ctx, LoadRowState& st) {
  const size_t row_bytes = static_cast<size_t>(st.src_width) * st.average_channels;
  for (int32_t i = 0; i < st.band_rows; ++i)
    feed_average(ctx, st, st.band.data() + static_cast<size_t>(i) * row_bytes, st.band_start + i);
  st.band_start += st.band_rows;
  st.band_rows = 0;
  st.band_complete = 0;
  std::fill(st.band.begin(), st.band.end(), 0);
  std::fill(st.band_columns.begin(), st.band_columns.end(), 0);
}

// Gathers a mapped working segment of picture row `row` at `column` into the band; averages the
// band once all its rows are complete. Readers deliver tiles left to right, top to bottom, so a
// band of one tile row completes; a segment too far below the band pushes the band out first.
void band_put(LoadContext* ctx, LoadRowState& st, const uint8_t* working, int32_t row,
              int32_t column, int32_t width) {
  if (row < st.band_start) return;  // its rows were averaged already: too late to count
  while (row >= st.band_start + st.band_limit) {
    if (st.band_rows == 0) st.band_start = row;  // nothing gathered: rows between stay zero
    else flush_band(ctx, st);
  }
  const size_t row_bytes = static_cast<size_t>(st.src_width) * st.average_channels;
  const int32_t index = row - st.band_start;
  if (index >= st.band_rows) {
    try {
      st.band.resize(static_cast<size_t>(index + 1) * row_bytes, 0);
      st.band_columns.resize(static_cast<size_t>(index + 1), 0);
    } catch (...) {
      return;  // memory short: the segment stays zero
    }
    st.band_rows = index + 1;
  }
  std::memcpy(st.band.data() + static_cast<size_t>(index) * row_bytes +
                  static_cast<size_t>(column) * st.average_channels,
              working, static_cast<size_t>(width) * st.average_channels);
  const int64_t before = st.band_columns[index];
  st.band_columns[index] += width;
  if (before < st.src_width && st.band_columns[index] >= st.src_width) ++st.band_complete;
  if (st.band_complete == st.band_rows) flush_band(ctx, st);
}

void convert_row(LoadContext* ctx, LoadRowState& st, const uint8_t* raw, int plane, int32_t row) {
  if (st.reduce == ReduceMode::kNearest) {
    // Row map: the first source row of each group of rows that fall on one produced row is kept.
    const int64_t H = st.src_height, OH = st.out_height;
    const int64_t produced = row * OH / H;
    if (row > 0 && produced == (row - 1) * OH / H) return;
    uint8_t* working = st.working.data();
    st.conv.unpack(raw, working, st.src_width, plane, &st.conv.params);
    if (st.mirror) mirror_row(working, st.src_width, st.conv);
    int32_t count = 0;
    const int32_t first = gather_nearest(st, working, 0, st.src_width, &count);
    pack_at(ctx, st, st.reduced.data(), destination(st, static_cast<int32_t>(produced)), first,
            count, plane);
    return;
  }
  uint8_t* working = st.working.data();
  st.conv.unpack(raw, working, st.src_width, plane, &st.conv.params);
  if (st.mirror) mirror_row(working, st.src_width, st.conv);
  if (st.reduce == ReduceMode::kAverage) {
    feed_average(ctx, st, average_form(st, working, st.src_width), row);
    return;
  }
  pack_at(ctx, st, working, destination(st, row), 0, st.src_width, plane);
}

bool plane_usable(const LoadRowState& st, int plane) {
  if (!(st.layout & kLayoutPlanar)) return true;
  return plane >= 0 && plane < std::max(st.planes, st.samples);
}

// Rows that fit in the reader's row buffer from a call of `count` rows.
int32_t rows_in_buffer(const LoadRowState& st, int32_t count) {
  const size_t fit = st.row_stride ? st.row_buffer.size() / st.row_stride : 0;
  return static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(count), fit));
}

}  // namespace

void load_finish_average(LoadContext* ctx) {
  LoadRowState* st = ctx->rows;
  if (!st || st->reduce != ReduceMode::kAverage || !ctx->bitmap || !ctx->bitmap->pixels) return;
  if (st->band_rows > 0) flush_band(ctx, *st);
  // Rows never delivered count as zero rows, so a partial picture keeps its place and size.
  if (st->average_next < st->src_height && st->average_next > 0) {
    std::vector<uint8_t> blank;
    try {
      blank.assign(static_cast<size_t>(st->src_width) * st->average_channels, 0);
    } catch (...) {
      return;
    }
    while (st->average_next < st->src_height) {
      int32_t target = 0;
      if (const uint8_t* out = st->average.feed(blank.data(), &target))
        pack_at(ctx, *st, out, destination(*st, target), 0, st->out_width, -1);
      ++st->average_next;
    }
  }
  if (st->average_next == 0) return;
  int32_t target = 0;
  if (const uint8_t* out = st->average.finish(&target))
    pack_at(ctx, *st, out, destination(*st, target), 0, st->out_width, -1);
}

int put_rows(LoadContext* ctx, int plane, int32_t row, int32_t count) {
  if (!ctx) return kStatusOk;
  if (ctx->cancelled) return kStatusCancelled;
  LoadRowState* st = ctx->rows;
  if (!st || !ctx->bitmap || !ctx->bitmap->pixels) return kStatusOk;
  count = rows_in_buffer(*st, count);
  bool cancel_after = false;
  for (int32_t i = 0; i < count; ++i) {
    int32_t r;
    if (row < 0) {
      r = st->next_row;
      st->next_row = st->next_row + 1 >= st->src_height ? 0 : st->next_row + 1;
    } else {
      r = row + i;
    }
    if (r < 0 || r >= st->src_height) continue;
    if (!account_row(ctx, *st, r, &cancel_after)) return kStatusCancelled;
    if (!plane_usable(*st, plane)) continue;
    convert_row(ctx, *st, st->row_buffer.data() + static_cast<size_t>(i) * st->row_stride, plane, r);
  }
  if (cancel_after) {
    ctx->cancelled = true;
    return kStatusCancelled;
  }
  return kStatusOk;
}

int put_tile_rows(LoadContext* ctx, int plane, int32_t row, int32_t count, int32_t x,
                  int32_t width) {
  if (!ctx) return kStatusOk;
  if (ctx->cancelled) return kStatusCancelled;
  LoadRowState* st = ctx->rows;
  if (!st || !ctx->bitmap || !ctx->bitmap->pixels) return kStatusOk;
  // A segment must lie inside the picture; a tile that overhangs the right edge is cut.
  if (x < 0 || x >= st->src_width || width < 1) return kStatusOk;
  width = std::min(width, st->src_width - x);
  count = rows_in_buffer(*st, count);
  bool cancel_after = false;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t r = row < 0 ? st->next_row : row + i;
    // The counters advance once the segments delivered add up to whole picture rows.
    st->tile_columns += width;
    while (st->tile_columns >= st->src_width) {
      st->tile_columns -= st->src_width;
      st->next_row = st->next_row + 1 >= st->src_height ? 0 : st->next_row + 1;
      if (!account_row(ctx, *st, r, &cancel_after)) return kStatusCancelled;
    }
    if (r < 0 || r >= st->src_height || !plane_usable(*st, plane)) continue;
    const uint8_t* raw = st->row_buffer.data() + static_cast<size_t>(i) * st->row_stride;
    if (st->reduce == ReduceMode::kNearest) {
      const int64_t H = st->src_height, OH = st->out_height;
      const int64_t produced = r * OH / H;
      if (r > 0 && produced == (r - 1) * OH / H) continue;
    }
    uint8_t* working = st->working.data();
    st->conv.unpack(raw, working, width, plane, &st->conv.params);
    int32_t column = x;
    if (st->mirror) {
      mirror_row(working, width, st->conv);
      column = st->src_width - x - width;
    }
    switch (st->reduce) {
      case ReduceMode::kNearest: {
        int32_t segment = 0;
        const int32_t first = gather_nearest(*st, working, column, width, &segment);
        const int32_t produced = static_cast<int32_t>(static_cast<int64_t>(r) * st->out_height /
                                                      st->src_height);
        pack_at(ctx, *st, st->reduced.data(), destination(*st, produced), first, segment, plane);
        break;
      }
      case ReduceMode::kAverage:
        band_put(ctx, *st, average_form(*st, working, width), r, column, width);
        break;
      default:
        pack_at(ctx, *st, working, destination(*st, r), column, width, plane);
        break;
    }
  }
  if (cancel_after) {
    ctx->cancelled = true;
    return kStatusCancelled;
  }
  return kStatusOk;
}

}  // namespace lumora
