#pragma once
// Runs one reader on bytes held in memory with a LoadContext whose services record what the
// reader hands over (header, raw rows by row number, palette), so that a reader can be checked
// on its own, apart from the load pipeline's conversions.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/save.h"
#include "imagelib/core/stream.h"
#include "tests/support/picture_file.h"

namespace lumora::test {

struct RecordedLoad {
  // Filled by the fake services.
  ImageHeader header{};
  int begin_calls = 0;
  int end_calls = 0;
  uint32_t palette_form = 0;
  bool palette_given = false;
  std::vector<uint8_t> palette;             // 768 bytes when given
  std::vector<std::vector<uint8_t>> rows;   // by row number as delivered; empty = never delivered
  std::vector<int32_t> order;               // row numbers in delivery order
  std::vector<uint8_t> row_buffer;
  int32_t next_row = 0;
  // Test controls.
  int cancel_after_rows = -1;   // put_rows answers 15 once this many rows were delivered
  bool info_only = false;       // begin_image answers -1
};

inline RecordedLoad* recorded(LoadContext* c) { return static_cast<RecordedLoad*>(c->params.row_user); }

inline int fake_begin(LoadContext* c, ImageHeader* h) {
  RecordedLoad* r = recorded(c);
  ++r->begin_calls;
  c->header_seen = true;
  if (h->width < 1 || h->height < 1 || h->width >= 200000 || h->height >= 200000) return 2;
  if (r->info_only) {
    r->header = *h;
    return -1;
  }
  size_t bytes_per_pixel = (static_cast<size_t>(h->planes) * h->bits_per_plane + 7) / 8;
  if (bytes_per_pixel == 0) bytes_per_pixel = 1;
  r->row_buffer.assign(static_cast<size_t>(h->rows_per_call) * bytes_per_pixel * h->width + 1024, 0);
  h->row_buffer = r->row_buffer.data();
  h->row_buffer_size = r->row_buffer.size();
  r->header = *h;
  r->rows.assign(static_cast<size_t>(h->height), {});
  return 0;
}

inline int fake_put(LoadContext* c, int /*plane*/, int32_t row, int32_t count) {
  RecordedLoad* r = recorded(c);
  for (int32_t i = 0; i < count; ++i) {
    int32_t y = row >= 0 ? row + i : r->next_row++;
    if (y >= r->header.height) y %= r->header.height;
    size_t bytes = r->header.bytes_per_plane;
    const uint8_t* src = r->row_buffer.data() + static_cast<size_t>(i) * bytes;
    r->rows[static_cast<size_t>(y)].assign(src, src + bytes);
    r->order.push_back(y);
  }
  if (r->cancel_after_rows >= 0 && static_cast<int>(r->order.size()) >= r->cancel_after_rows) {
    c->cancelled = true;
    return 15;
  }
  return 0;
}

inline int fake_end(LoadContext* c, uint32_t form, int /*bits*/, const uint8_t* palette) {
  RecordedLoad* r = recorded(c);
  ++r->end_calls;
  r->palette_form = form;
  r->palette_given = palette != nullptr;
  if (palette) r->palette.assign(palette, palette + 768);
  return 0;
}

// Writes `bytes` to a temporary file, opens it as the pipeline would and runs `reader`.
// `context` receives the context after the run (message, image count, kept texts: released by
// the caller through free_context).
inline int run_reader(ReaderFn reader, const std::vector<uint8_t>& bytes, const LoadParams& params,
                      RecordedLoad* out, LoadContext* context) {
  char name[] = "/tmp/lumora_reader_XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) return -100;
  FILE* f = fdopen(fd, "wb");
  if (!f) return -100;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  ByteStream* s = stream_open_path(name, kStreamReadBinary);
  std::memset(context, 0, sizeof *context);
  context->services.begin_image = fake_begin;
  context->services.put_rows = fake_put;
  context->services.end_image = fake_end;
  context->services.header_init = header_init;
  context->services.current_image_index = current_image_index;
  context->image_count = 1;
  context->params = params;
  context->params.row_user = out;
  int status = s ? reader(s, context) : 3;
  stream_close(s);
  std::remove(name);
  return status;
}

inline void free_context(LoadContext* c) {
  std::free(c->comment);
  c->comment = nullptr;
  for (uint32_t i = 0; i < c->text_count; ++i) std::free(c->text_lines[i]);
  c->text_count = 0;
  chunk_list_free(&c->chunks);
}

inline LoadParams default_params() {
  LoadParams p;
  load_params_init(&p);
  return p;
}

// One reader run: its status, what it delivered, and the context (released on destruction).
struct ReaderRun {
  int status = -1;
  RecordedLoad load;
  LoadContext context{};
  ReaderRun() = default;
  ReaderRun(const ReaderRun&) = delete;
  ReaderRun& operator=(const ReaderRun&) = delete;
  ~ReaderRun() { free_context(&context); }
  void run(ReaderFn reader, const std::vector<uint8_t>& bytes, const LoadParams& params) {
    status = run_reader(reader, bytes, params, &load, &context);
  }
};

// Saves `b` into /dev/full: the status the writer reports for the failing writes.
inline int save_to_full_disk(const Bitmap& b, const SaveParams& params) {
  FILE* full = std::fopen("/dev/full", "wb");
  if (!full) return -100;
  const int status = save_image(nullptr, 0, full, &b, &params);
  std::fclose(full);
  return status;
}


}  // namespace lumora::test
