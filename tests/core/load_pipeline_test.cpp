// The load pipeline driven by readers written here and registered into the registry's spare rows.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "imagelib/core/status.h"
#include "imagelib/core/stream.h"
#include "imagelib/ops/resample.h"
#include "tests/support/picture_file.h"

namespace lumora {
namespace {

// What the test reader describes and delivers. The file itself only carries a magic.
struct Script {
  std::function<void(ImageHeader&)> describe;
  std::function<void(ImageHeader&)> adjust;  // changes to the description, applied after it
  // Raw bytes of file row y (the reader writes them into the row buffer).
  std::function<void(int32_t y, uint8_t* raw)> row;
  int32_t rows_to_deliver = -1;  // -1 = all
  int after_rows_status = 0;     // returned after the rows (e.g. 4 for a truncated file)
  uint32_t palette_form = 0;
  int palette_bits = 8;
  std::vector<uint8_t> palette;  // empty = none
  std::function<void(LoadContext*)> extra;  // comments, text lines, chunks
  int begin_status = 0;          // what begin_image answered
  std::function<int(LoadContext*, ImageHeader&)> deliver;  // replaces the row loop
};
Script g_script;
int g_early_calls = 0;

int scripted_reader(ByteStream* s, LoadContext* ctx) {
  uint8_t magic[4];
  if (stream_read(s, magic, 4)) return 4;
  if (std::memcmp(magic, "LMTS", 4) != 0) return 2;
  if (g_script.extra) g_script.extra(ctx);
  ImageHeader h;
  ctx->services.header_init(&h);
  g_script.describe(h);
  if (g_script.adjust) g_script.adjust(h);
  int status = ctx->services.begin_image(ctx, &h);
  g_script.begin_status = status;
  if (status) return status;
  if (g_script.deliver) status = g_script.deliver(ctx, h);
  const int32_t rows = g_script.deliver ? 0 : g_script.rows_to_deliver < 0 ? h.height : g_script.rows_to_deliver;
  for (int32_t y = 0; y < rows && status == 0; ++y) {
    g_script.row(y, h.row_buffer);
    status = ctx->services.put_rows(ctx, -1, y, 1);
  }
  ctx->services.end_image(ctx, g_script.palette_form, g_script.palette_bits,
                          g_script.palette.empty() ? nullptr : g_script.palette.data());
  return status ? status : g_script.after_rows_status;
}

// Fails with "file ends early" before describing anything: the search must go on.
int early_reader(ByteStream*, LoadContext*) {
  ++g_early_calls;
  return 4;
}

class Registry : public ::testing::Environment {
 public:
  void SetUp() override {
    library_start();
    FormatEntry early{};
    early.name = "early";
    early.description = "Early end";
    early.reader = early_reader;
    early.extensions[0] = "lm2";
    ASSERT_GE(format_register(early), 0);
    FormatEntry scripted{};
    scripted.flags = kFormatByContent;
    scripted.name = "lmtest";
    scripted.description = "Test Picture";
    scripted.reader = scripted_reader;
    scripted.extensions[0] = "lmt";
    scripted.extensions[1] = "lm2";
    ASSERT_GE(format_register(scripted), 0);
  }
  void TearDown() override { library_stop(); }
};
const auto* const kRegistry = ::testing::AddGlobalTestEnvironment(new Registry);

// A file holding only the magic (or `content`), removed at the end of the test.
struct TempFile : test::TempFile {
  explicit TempFile(const char* ext, const std::string& content = "LMTS")
      : test::TempFile(test::Bytes(content.begin(), content.end()), ext) {}
};

LoadParams defaults() {
  LoadParams p;
  load_params_init(&p);
  return p;
}

// Loads a magic-only file of extension `ext` through the scripted reader.
struct Loaded {
  int status = -99;
  Bitmap bitmap{};
  FileInfo info{};
  explicit Loaded(const LoadParams& params = defaults(), const char* ext = "lmt") {
    TempFile file(ext);
    status = load_image(file.path().c_str(), &bitmap, &params, &info);
  }
  ~Loaded() {
    bitmap_free(&bitmap);
    file_info_free(&info);
  }
};

// An 8-bit grey picture whose value at (x, y) is value(x, y).
void grey_picture(int32_t w, int32_t h, std::function<uint8_t(int32_t, int32_t)> value) {
  g_script = Script{};
  g_script.describe = [=](ImageHeader& hd) {
    hd.width = w;
    hd.height = h;
    hd.bits_per_plane = 8;
    hd.bytes_per_plane = static_cast<uint32_t>(w);
    std::strcpy(hd.description, "Test Picture");
  };
  g_script.row = [=](int32_t y, uint8_t* raw) {
    for (int32_t x = 0; x < w; ++x) raw[x] = value(x, y);
  };
}

// A 24-bit picture (bytes red, green, blue in the file) from a pixel function.
void color_picture(int32_t w, int32_t h, std::function<void(int32_t, int32_t, uint8_t*)> value) {
  g_script = Script{};
  g_script.describe = [=](ImageHeader& hd) {
    hd.width = w;
    hd.height = h;
    hd.bits_per_plane = 24;
    hd.bytes_per_plane = static_cast<uint32_t>(3 * w);
  };
  g_script.row = [=](int32_t y, uint8_t* raw) {
    for (int32_t x = 0; x < w; ++x) value(x, y, raw + 3 * x);
  };
}

namespace averaging {

// Largest picture the pipeline asked the allocation callback for, in pixels.
int64_t g_largest_allocation = 0;
uint8_t* counting_alloc(int32_t w, int32_t h, int, int, int, uint32_t bytes_per_line, void*) {
  g_largest_allocation = std::max<int64_t>(g_largest_allocation, int64_t{w} * h);
  return static_cast<uint8_t*>(std::malloc(static_cast<size_t>(h) * bytes_per_line));
}

// A picture of random raw rows in the given form, delivered as rows or as tiles of tile_w x tile_h
// (tile_h 1: row segments; tiles left to right, top to bottom as TIFF stores them).
void random_picture(int32_t w, int32_t h, int bits, int samples, uint8_t grey_levels,
                    uint16_t row_order, int32_t tile_w, int32_t tile_h, uint32_t seed) {
  const uint32_t row_bytes = static_cast<uint32_t>((int64_t{w} * bits + 7) / 8);
  auto raw = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(row_bytes) * h);
  std::mt19937 random(seed);
  for (auto& v : *raw) v = static_cast<uint8_t>(random());
  g_script = Script{};
  g_script.describe = [=](ImageHeader& hd) {
    hd.width = w;
    hd.height = h;
    hd.bits_per_plane = static_cast<uint16_t>(bits);
    hd.samples = static_cast<int16_t>(samples);
    hd.bytes_per_plane = row_bytes;
    hd.grey_levels = grey_levels;
    hd.row_order = row_order;
    hd.rows_per_call = tile_h > 0 ? tile_h : 1;
  };
  g_script.row = [=](int32_t y, uint8_t* out) {
    std::memcpy(out, raw->data() + static_cast<size_t>(y) * row_bytes, row_bytes);
  };
  if (tile_w <= 0) return;
  g_script.deliver = [=](LoadContext* ctx, ImageHeader& hd) {
    for (int32_t ty = 0; ty < h; ty += tile_h)
      for (int32_t tx = 0; tx < w; tx += tile_w) {
        const int32_t tw = std::min(tile_w, w - tx), th = std::min(tile_h, h - ty);
        for (int32_t r = 0; r < th; ++r)
          std::memcpy(hd.row_buffer + static_cast<size_t>(r) * hd.row_stride,
                      raw->data() + static_cast<size_t>(ty + r) * row_bytes + tx * bits / 8,
                      static_cast<size_t>(tw) * bits / 8);
        if (int status = ctx->services.put_tile_rows(ctx, -1, ty, th, tx, tw)) return status;
      }
    return 0;
  };
}

void flip(Bitmap* b) {
  std::vector<uint8_t> tmp(b->bytes_per_line);
  for (int32_t y = 0, z = b->height - 1; y < z; ++y, --z) {
    std::memcpy(tmp.data(), bitmap_row(b, y), tmp.size());
    std::memcpy(bitmap_row(b, y), bitmap_row(b, z), tmp.size());
    std::memcpy(bitmap_row(b, z), tmp.data(), tmp.size());
  }
}

}  // namespace averaging

TEST(LoadPipeline, DescriptionLimits) {
  struct Case {
    int32_t width, height;
    uint16_t planes, bits;
    int status;
  } cases[] = {
      {0, 5, 1, 8, 2},      {5, 0, 1, 8, 2},     {200000, 1, 1, 1, 2}, {1, 200000, 1, 1, 2},
      {199999, 1, 1, 1, 0}, {4, 4, 1, 33, 2},    {4, 4, 3, 11, 2},     {4, 4, 0, 8, 2},
      {4, 4, 1, 32, 0},     {-3, 4, 1, 8, 2},
  };
  for (const Case& c : cases) {
    g_script = Script{};
    g_script.describe = [&](ImageHeader& h) {
      h.width = c.width;
      h.height = c.height;
      h.planes = c.planes;
      h.bits_per_plane = c.bits;
      h.bytes_per_plane = static_cast<uint32_t>((static_cast<int64_t>(c.width) * c.bits + 7) / 8);
    };
    g_script.row = [](int32_t, uint8_t*) {};
    Loaded r;
    EXPECT_EQ(r.status, c.status) << c.width << "x" << c.height << " " << c.planes << "x" << c.bits;
    if (c.status) {
      EXPECT_EQ(r.bitmap.pixels, nullptr);
    }
  }
}

TEST(LoadPipeline, RowBufferSizesAreCheckedBeforeAllocation) {
  // A plane row far beyond what its pixels need, and a rows-per-call count whose buffer would
  // overflow 32 bits, are refused instead of sizing buffers from them.
  struct Case {
    uint32_t bytes_per_plane;
    int32_t rows_per_call;
  } cases[] = {{0x7FFFFFFF, 1}, {64, 0x7FFFFFFF}};
  for (const Case& c : cases) {
    grey_picture(64, 4, [](int32_t, int32_t) { return 1; });
    g_script.adjust = [&](ImageHeader& h) {
      h.bytes_per_plane = c.bytes_per_plane;
      h.rows_per_call = c.rows_per_call;
    };
    Loaded r;
    EXPECT_EQ(r.status, 2);
  }
}

TEST(LoadPipeline, ResolutionRules) {
  struct Case {
    int32_t xdpi, ydpi, info_x, info_y, bitmap_x, bitmap_y;
  } cases[] = {
      {2, 300, 0, 0, 72, 72},         {300, 300, 300, 300, 300, 300}, {3, 3, 3, 3, 3, 3},
      {10001, 300, 0, 0, 72, 72},     {300, 2, 0, 0, 72, 72},         {0, 0, 0, 0, 72, 72},
      {10000, 10000, 10000, 10000, 10000, 10000},
  };
  for (const Case& c : cases) {
    grey_picture(2, 2, [](int32_t, int32_t) { return 0; });
    g_script.adjust = [&](ImageHeader& h) {
      h.xdpi = c.xdpi;
      h.ydpi = c.ydpi;
    };
    Loaded r;
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.info.xdpi, c.info_x);
    EXPECT_EQ(r.info.ydpi, c.info_y);
    EXPECT_EQ(r.bitmap.xdpi, c.bitmap_x);
    EXPECT_EQ(r.bitmap.ydpi, c.bitmap_y);
  }
}

TEST(LoadPipeline, ReductionSizes) {
  struct Case {
    int32_t w, h, lw, lh, max_w, max_h;
    uint32_t mode;
    int32_t out_w, out_h;
  } cases[] = {
      {1000, 500, 0, 0, 160, 120, 0, 160, 80},   {100, 50, 0, 0, 160, 120, 0, 100, 50},
      {500, 1000, 0, 0, 160, 120, 0, 60, 120},   {1000, 500, 0, 0, 160, 120, 2, 160, 80},
      {999, 333, 0, 0, 100, 100, 0, 100, 33},    {160, 121, 0, 0, 160, 120, 0, 159, 120},
      // The logical size gives the aspect ratio; its sides swap to follow the real orientation.
      {400, 400, 800, 400, 100, 100, 0, 100, 50}, {400, 800, 800, 400, 100, 100, 0, 50, 100},
      {1000, 500, 0, 0, 0, 120, 0, 1000, 500},   {5000, 2, 0, 0, 160, 120, 0, 160, 1},
  };
  for (const Case& c : cases) {
    grey_picture(c.w, c.h, [](int32_t x, int32_t y) { return static_cast<uint8_t>(x + y); });
    g_script.adjust = [&](ImageHeader& h) {
      h.logical_width = c.lw;
      h.logical_height = c.lh;
    };
    LoadParams p = defaults();
    p.max_width = c.max_w;
    p.max_height = c.max_h;
    p.reduce_mode = c.mode;
    Loaded r(p);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.bitmap.width, c.out_w) << c.w << "x" << c.h;
    EXPECT_EQ(r.bitmap.height, c.out_h) << c.w << "x" << c.h;
  }
}

TEST(LoadPipeline, NearestKeepsFirstRowOfEachGroupAndMappedColumns) {
  struct Case {
    int32_t w, h, max_w, max_h;
  } cases[] = {{10, 7, 4, 3}, {33, 17, 8, 4}, {7, 30, 2, 9}, {64, 64, 13, 13}};
  for (const Case& c : cases) {
    auto value = [](int32_t x, int32_t y) { return static_cast<uint8_t>(x * 7 + y * 31); };
    grey_picture(c.w, c.h, value);
    LoadParams p = defaults();
    p.max_width = c.max_w;
    p.max_height = c.max_h;
    Loaded r(p);
    ASSERT_EQ(r.status, 0);
    for (int32_t py = 0; py < r.bitmap.height; ++py) {
      int32_t sy = 0;  // the first source row falling on produced row py
      while (sy * r.bitmap.height / c.h < py) ++sy;
      for (int32_t px = 0; px < r.bitmap.width; ++px) {
        const int32_t sx = px * c.w / r.bitmap.width;
        ASSERT_EQ(bitmap_row(&r.bitmap, py)[px], value(sx, sy)) << px << "," << py;
      }
    }
  }
}

TEST(LoadPipeline, OrientationAndMirroring) {
  // 3 x 2 picture, value = 10 * y + x in file order.
  struct Case {
    uint16_t row_order, orientation;
    uint8_t expect[2][3];
  } cases[] = {
      {0, 0, {{0, 1, 2}, {10, 11, 12}}},
      {16, 0, {{10, 11, 12}, {0, 1, 2}}},   // bottom-up file, top-down storage: flipped
      {16, 16, {{0, 1, 2}, {10, 11, 12}}},  // bottom-up file stored bottom-up: as delivered
      {0, 16, {{10, 11, 12}, {0, 1, 2}}},
      {1, 0, {{2, 1, 0}, {12, 11, 10}}},
      {1, 1, {{0, 1, 2}, {10, 11, 12}}},
      {17, 1, {{10, 11, 12}, {0, 1, 2}}},
  };
  for (const Case& c : cases) {
    grey_picture(3, 2, [](int32_t x, int32_t y) { return static_cast<uint8_t>(10 * y + x); });
    g_script.adjust = [&](ImageHeader& h) {
      h.row_order = c.row_order;
    };
    LoadParams p = defaults();
    p.orientation = c.orientation;
    Loaded r(p);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.bitmap.orientation, c.orientation);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(bitmap_row(&r.bitmap, y)[x], c.expect[y][x])
            << "order " << c.row_order << " orientation " << c.orientation;
  }
}

TEST(LoadPipeline, BilevelNormalisation) {
  // 10 x 1 bilevel row 1010000011 with a two-entry palette.
  struct Case {
    uint8_t pal0[3], pal1[3];
    uint32_t flags;
    uint16_t type;
    std::vector<uint8_t> expect;  // first bytes of the row
  } cases[] = {
      {{0, 0, 0}, {255, 255, 255}, 0, kPixBilevel, {0xA0, 0xC0}},
      {{255, 255, 255}, {0, 0, 0}, 0, kPixBilevel, {0x5F, 0x3F}},
      {{255, 0, 0}, {0, 0, 255}, 0, kPixIndexed, {1, 0, 1, 0, 0, 0, 0, 0, 1, 1}},
      {{0, 0, 0}, {255, 255, 255}, kLoadBilevelAsBytes, kPixGrey, {255, 0, 255, 0, 0, 0, 0, 0, 255, 255}},
      {{255, 255, 255}, {0, 0, 0}, kLoadBilevelAsBytes, kPixGrey, {0, 255, 0, 255, 255, 255, 255, 255, 0, 0}},
      {{255, 0, 0}, {0, 0, 255}, kLoadBilevelAsBytes, kPixIndexed, {1, 0, 1, 0, 0, 0, 0, 0, 1, 1}},
      {{255, 255, 255}, {0, 0, 0}, kLoadForceColor, kPixRGB, {0, 0, 0, 255, 255, 255, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    g_script = Script{};
    g_script.describe = [](ImageHeader& h) {
      h.width = 10;
      h.height = 1;
      h.bytes_per_plane = 2;
    };
    g_script.row = [](int32_t, uint8_t* raw) {
      raw[0] = 0xA0;
      raw[1] = 0xC0;
    };
    g_script.palette = {c.pal0[0], c.pal0[1], c.pal0[2], c.pal1[0], c.pal1[1], c.pal1[2]};
    LoadParams p = defaults();
    p.flags = c.flags;
    Loaded r(p);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.bitmap.type, c.type);
    const uint8_t* row = bitmap_row(&r.bitmap, 0);
    EXPECT_EQ(std::vector<uint8_t>(row, row + c.expect.size()), c.expect) << "flags " << c.flags;
    if (c.type == kPixIndexed) {
      EXPECT_EQ(r.bitmap.palette[kPalR + 0], c.pal0[0]);
      EXPECT_EQ(r.bitmap.palette[kPalB + 1], c.pal1[2]);
      EXPECT_EQ(r.bitmap.colors, 2);
    }
    if (c.type == kPixGrey) {
      EXPECT_EQ(r.bitmap.colors, 256);
    }
  }
}

TEST(LoadPipeline, PaletteAndGreyExpansionIntoColor) {
  struct Case {
    uint16_t order;
    uint32_t flags;
    bool palette;
    uint16_t type;
    std::vector<uint8_t> pixel1;  // the pixel of index 1
  } cases[] = {
      {0, kLoadForceColor, true, kPixRGB, {10, 20, 30}},
      {1, kLoadForceColor, true, kPixBGR, {30, 20, 10}},
      {1, kLoadForceColor | kLoadPrefer4Byte, true, kPixABGR, {200, 30, 20, 10}},
      {2, kLoadForceColor | kLoadPrefer4Byte, true, kPixBGRA, {30, 20, 10, 200}},
      {3, kLoadForceColor | kLoadPrefer4Byte, true, kPixARGB, {200, 10, 20, 30}},
      // Without a map a 2-bit grey value 1 of 3 becomes 85.
      {0, kLoadForceColor, false, kPixRGB, {85, 85, 85}},
  };
  for (const Case& c : cases) {
    g_script = Script{};
    g_script.describe = [](ImageHeader& h) {
      h.width = 4;
      h.height = 1;
      h.bits_per_plane = 2;
      h.bytes_per_plane = 1;
    };
    g_script.row = [](int32_t, uint8_t* raw) { raw[0] = 0x1B; };  // 0, 1, 2, 3
    if (c.palette) g_script.palette = {0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
    LoadParams p = defaults();
    p.flags = c.flags;
    p.component_order = c.order;
    p.alpha = 200;
    Loaded r(p);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.bitmap.type, c.type);
    const uint8_t* px = bitmap_row(&r.bitmap, 0) + r.bitmap.bytes_per_pixel;
    EXPECT_EQ(std::vector<uint8_t>(px, px + c.pixel1.size()), c.pixel1) << "order " << c.order;
  }
}

TEST(LoadPipeline, IncompleteFiles) {
  struct Case {
    int reader_status;
    uint32_t flags;
    int status;
    int accepted_status;  // what FileInfo tells of the load's own status
  } cases[] = {
      {4, kLoadAcceptIncomplete, 0, 4}, {4, 0, 4, 0}, {10, kLoadAcceptIncomplete, 0, 10}, {10, 0, 10, 0},
      {9, kLoadAcceptIncomplete, 9, 0}, {0, kLoadAcceptIncomplete, 0, 0},
  };
  for (const Case& c : cases) {
    grey_picture(5, 6, [](int32_t, int32_t y) { return static_cast<uint8_t>(100 + y); });
    g_script.rows_to_deliver = 3;
    g_script.after_rows_status = c.reader_status;
    LoadParams p = defaults();
    p.flags = c.flags;
    Loaded r(p);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.info.accepted_status, c.accepted_status) << c.reader_status;
    if (c.status != 0) {
      EXPECT_EQ(r.bitmap.pixels, nullptr);
      continue;
    }
    ASSERT_NE(r.bitmap.pixels, nullptr);
    for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(bitmap_row(&r.bitmap, y)[4], y < 3 ? 100 + y : 0);
    EXPECT_EQ(r.info.width, 5u);  // the FileInfo is filled for statuses 4 and 10 too
  }
}

TEST(LoadPipeline, IncompleteAveragedPictureKeepsItsSize) {
  color_picture(40, 40, [](int32_t, int32_t, uint8_t* px) { px[0] = px[1] = px[2] = 200; });
  g_script.rows_to_deliver = 20;
  g_script.after_rows_status = 4;
  LoadParams p = defaults();
  p.flags = kLoadAcceptIncomplete;
  p.max_width = p.max_height = 10;
  p.reduce_mode = kReduceAverage;
  Loaded r(p);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.bitmap.width, 10);
  EXPECT_EQ(r.bitmap.height, 10);
  EXPECT_EQ(bitmap_row(&r.bitmap, 2)[0], 200);
  EXPECT_EQ(bitmap_row(&r.bitmap, 9)[0], 0);
}

TEST(LoadPipeline, Cancellation) {
  struct Case {
    bool by_cancel, by_row;
    int cancel_at;  // row at which the callback first answers non-zero
  } cases[] = {{true, false, 0}, {false, true, 0}, {true, false, 3}};
  for (const Case& c : cases) {
    grey_picture(4, 8, [](int32_t, int32_t) { return 9; });
    static int calls;
    static int cancel_at;
    calls = 0;
    cancel_at = c.cancel_at;
    LoadParams p = defaults();
    if (c.by_cancel) p.cancel_callback = [](void*) { return calls++ >= cancel_at ? 1 : 0; };
    if (c.by_row)
      p.row_callback = [](int32_t, int32_t, void*) { return calls++ >= cancel_at ? 1 : 0; };
    Loaded r(p);
    EXPECT_EQ(r.status, 15);
    EXPECT_EQ(r.bitmap.pixels, nullptr);
    EXPECT_EQ(calls, c.cancel_at + 1) << "the reader must stop at the answer";
  }
}

TEST(LoadPipeline, ProgressReportsEachPercentOnce) {
  grey_picture(2, 250, [](int32_t, int32_t) { return 1; });
  static std::vector<int> seen;
  seen.clear();
  LoadParams p = defaults();
  p.progress_callback = [](int percent, void*) { seen.push_back(percent); };
  Loaded r(p);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(seen.size(), 101u);
  for (int i = 0; i <= 100; ++i) EXPECT_EQ(seen[i], i);
}

TEST(LoadPipeline, ReaderSearchOrder) {
  struct Case {
    const char* ext;
    uint32_t flags;
    int16_t index;
    int status;
    int early_calls;
    const char* format;
  } cases[] = {
      {"lmt", 0, -1, 0, 0, "lmtest"},
      // "early" knows lm2 first but ends before describing anything: the next row reads it.
      {"lm2", 0, -1, 0, 1, "lmtest"},
      {"LM2", 0, -1, 0, 1, "lmtest"},
      // Unknown extension: found by content.
      {"zzq", 0, -1, 0, 0, "lmtest"},
      {"zzq", kLoadKnownExtension, -1, 2, 0, nullptr},
      {"lmt", kLoadKnownExtension, -1, 0, 0, "lmtest"},
      // The caller's index is the only reader tried; its status stands.
      {"lm2", 0, 0, 2, 1, nullptr},
  };
  const int scripted = format_find("lmtest");
  ASSERT_GE(scripted, 0);
  for (const Case& c : cases) {
    grey_picture(2, 2, [](int32_t, int32_t) { return 1; });
    g_early_calls = 0;
    LoadParams p = defaults();
    p.flags = c.flags;
    p.format_index = c.index == 0 ? static_cast<int16_t>(format_find("early")) : c.index;
    Loaded r(p, c.ext);
    EXPECT_EQ(r.status, c.status) << c.ext;
    EXPECT_EQ(g_early_calls, c.early_calls) << c.ext;
    if (c.format) {
      EXPECT_STREQ(format_name(r.info.format_index), c.format) << c.ext;
    }
  }
}

TEST(LoadPipeline, FileInfoContents) {
  grey_picture(12, 7, [](int32_t, int32_t) { return 1; });
  g_script.adjust = [](ImageHeader& h) {
    h.compression = kCompRle;
    h.color_model = kModelRGB;
    std::strcpy(h.compression_text, "Packed");
    h.row_order = 16;
  };
  g_script.extra = [](LoadContext* ctx) {
    keep_comment(ctx, "a comment", 0);
    keep_text(ctx, "Author", "Someone", 0);
    keep_text(ctx, nullptr, "plain", 0);
    keep_text(ctx, "Binary", "\x01xx", 0);  // not printable: dropped
    keep_text(ctx, "Missing", nullptr, 0);   // no text at all: dropped
    keep_comment(ctx, nullptr, 0);
    const uint8_t icc1[] = {1, 2}, icc2[] = {3};
    keep_chunk(ctx, kChunkIcc, icc1, 2);
    keep_chunk(ctx, kChunkIcc, icc2, 1);
    ctx->image_count = 3;
    ctx->reader_values[1] = 77;
    load_set_message(ctx, "Test Picture : fine");
  };
  LoadParams p = defaults();
  p.flags = kLoadKeepComment | kLoadKeepText | kLoadKeepChunks;
  Loaded r(p);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.info.file_size, 4u);
  EXPECT_STREQ(r.info.description, "Test Picture");
  EXPECT_EQ(r.info.width, 12u);
  EXPECT_EQ(r.info.height, 7u);
  EXPECT_EQ(r.info.bits_per_sample, 8);
  EXPECT_EQ(r.info.samples_per_pixel, 1);
  EXPECT_EQ(r.info.row_order, 16);
  EXPECT_EQ(r.info.compression, kCompRle);
  EXPECT_STREQ(r.info.compression_text, "Packed");
  EXPECT_EQ(r.info.image_count, 3u);
  EXPECT_EQ(r.info.reader_values[1], 77u);
  EXPECT_STREQ(r.info.message, "Test Picture : fine");
  ASSERT_EQ(r.info.text_count, 2u);
  EXPECT_STREQ(r.info.text_lines[0], "Author: Someone");
  EXPECT_STREQ(r.info.text_lines[1], "plain");
  ASSERT_NE(r.bitmap.comment, nullptr);
  EXPECT_STREQ(r.bitmap.comment, "a comment");
  ASSERT_NE(r.bitmap.chunks, nullptr);
  EXPECT_EQ(r.bitmap.chunks->size, 3u);  // the two ICC blocks joined
  EXPECT_EQ(r.bitmap.chunks->next, nullptr);
}

TEST(LoadPipeline, LoadInfoStopsAtTheDescription) {
  grey_picture(30, 20, [](int32_t, int32_t) { return 1; });
  g_script.extra = [](LoadContext* ctx) { keep_comment(ctx, "info comment", 0); };
  TempFile file("lmt");
  FileInfo info{};
  EXPECT_EQ(load_info(file.path().c_str(), -1, kLoadKeepComment, &info), 0);
  EXPECT_EQ(g_script.begin_status, -1);
  EXPECT_EQ(info.width, 30u);
  EXPECT_EQ(info.file_size, 4u);
  ASSERT_NE(info.comment, nullptr);
  EXPECT_STREQ(info.comment, "info comment");
  file_info_free(&info);

  FILE* f = std::fopen(file.path().c_str(), "rb");
  ASSERT_NE(f, nullptr);
  FileInfo streamed{};
  EXPECT_EQ(load_info(nullptr, f, -1, 0, &streamed), 0);
  EXPECT_EQ(streamed.file_size, 999999999u);
  EXPECT_EQ(streamed.height, 20u);
  std::fclose(f);  // still the caller's
  file_info_free(&streamed);
}

TEST(LoadPipeline, TiledDeliveryMatchesRowDelivery) {
  struct Case {
    uint32_t mode;
    int32_t max, tile;
  } cases[] = {{0, 0, 16}, {0, 13, 16}, {2, 13, 16}, {2, 13, 7}, {0, 9, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " tile " + std::to_string(c.tile));
    LoadParams p = defaults();
    p.reduce_mode = c.mode;
    p.max_width = p.max_height = c.max;
    averaging::random_picture(50, 37, 24, 0, 0, 0, 0, 0, 3);
    Loaded rows(p);
    averaging::random_picture(50, 37, 24, 0, 0, 0, c.tile, 1, 3);
    Loaded tiles(p);
    ASSERT_EQ(rows.status, 0);
    ASSERT_EQ(tiles.status, 0);
    ASSERT_EQ(tiles.bitmap.width, rows.bitmap.width);
    ASSERT_EQ(tiles.bitmap.height, rows.bitmap.height);
    ASSERT_EQ(tiles.bitmap.bytes_per_line, rows.bitmap.bytes_per_line);
    for (int32_t y = 0; y < rows.bitmap.height; ++y)
      ASSERT_EQ(std::memcmp(bitmap_row(&rows.bitmap, y), bitmap_row(&tiles.bitmap, y),
                            rows.bitmap.bytes_per_line),
                0)
          << "row " << y;
  }
}

TEST(LoadPipeline, DeepGreySamples) {
  g_script = Script{};
  g_script.describe = [](ImageHeader& h) {
    h.width = 3;
    h.height = 1;
    h.bits_per_plane = 16;
    h.samples = 1;
    h.bytes_per_plane = 6;
  };
  g_script.row = [](int32_t, uint8_t* raw) {
    const uint16_t v[3] = {0, 0x1234, 0xFFFF};
    std::memcpy(raw, v, 6);
  };
  struct Case {
    uint32_t flags;
    uint16_t bits_per_sample, bytes_per_pixel;
  } cases[] = {{kLoadKeepDeep, 16, 2}, {0, 8, 1}};
  for (const Case& c : cases) {
    LoadParams p = defaults();
    p.flags = c.flags;
    Loaded r(p);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.bitmap.type, kPixGrey);
    EXPECT_EQ(r.bitmap.bits_per_sample, c.bits_per_sample);
    EXPECT_EQ(r.bitmap.bytes_per_pixel, c.bytes_per_pixel);
    const uint8_t* row = bitmap_row(&r.bitmap, 0);
    if (c.bytes_per_pixel == 2) {
      uint16_t v[3];
      std::memcpy(v, row, 6);
      EXPECT_EQ(v[1], 0x1234);
      EXPECT_EQ(v[2], 0xFFFF);
    } else {
      EXPECT_EQ(row[1], 0x12);
      EXPECT_EQ(row[2], 0xFF);
    }
  }
}

TEST(LoadPipeline, AllocCallbackSuppliesThePixels) {
  grey_picture(5, 3, [](int32_t x, int32_t) { return static_cast<uint8_t>(x); });
  static int32_t seen_line;
  LoadParams p = defaults();
  p.alloc_callback = [](int32_t, int32_t h, int, int, int, uint32_t line, void*) {
    seen_line = static_cast<int32_t>(line);
    return static_cast<uint8_t*>(std::malloc(static_cast<size_t>(h) * line));
  };
  Loaded r(p);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(seen_line, 8);
  EXPECT_EQ(bitmap_row(&r.bitmap, 2)[4], 4);
  p.alloc_callback = [](int32_t, int32_t, int, int, int, uint32_t, void*) -> uint8_t* { return nullptr; };
  Loaded failed(p);
  EXPECT_EQ(failed.status, 1);
}

TEST(LoadPipeline, VerboseLinesAndProgressBar) {
  grey_picture(3, 4, [](int32_t, int32_t) { return 1; });
  g_script.adjust = [](ImageHeader& h) {
    h.compression = kCompRle;
    h.xdpi = h.ydpi = 96;
  };
  g_script.rows_to_deliver = 2;
  g_script.after_rows_status = 4;
  LoadParams p = defaults();
  p.flags = kLoadVerbose | kLoadProgressBar | kLoadAcceptIncomplete;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  Loaded r(p);
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(out,
            "A Test Picture (RGB) - Rle was recognized : picture.lmt\n"
            "    Width:3 Height:4 with 256 colors\n"
            "    Nplanes : 1      Bitscount : 8\n"
            "    Bytes Per Plane : 3 \n"
            "    xdpi : 96         ydpi : 96\n");
  EXPECT_EQ(err, std::string(60, '-') + "\r" + std::string(30, '*') + "\n" +
                     " *** WARNING: File Not complete ... ***\n");
}

TEST(LoadPipeline, OutOfRangeDeliveriesAreIgnored) {
  // Rows, planes and segments outside the picture, and counts beyond the row buffer, are never
  // written anywhere (the sanitizer build checks every byte).
  struct Case {
    uint32_t reduce;
    int32_t max;
  } cases[] = {{0, 0}, {0, 5}, {2, 5}};
  for (const Case& c : cases) {
    color_picture(12, 9, [](int32_t, int32_t, uint8_t* px) { px[0] = px[1] = px[2] = 77; });
    g_script.deliver = [](LoadContext* ctx, ImageHeader& h) {
      std::memset(h.row_buffer, 77, h.row_buffer_size);
      const LoadServices& s = ctx->services;
      int bad = 0;
      bad |= s.put_rows(ctx, -1, 9, 1) | s.put_rows(ctx, -1, -5, 1) | s.put_rows(ctx, -1, 1 << 30, 3);
      bad |= s.put_rows(ctx, -1, 0, 1 << 20);  // more rows than the buffer holds
      bad |= s.put_tile_rows(ctx, -1, 2, 1, -4, 8) | s.put_tile_rows(ctx, -1, 2, 1, 12, 8);
      bad |= s.put_tile_rows(ctx, -1, 3, 1, 8, 1 << 30) | s.put_tile_rows(ctx, -1, 4, 1, 0, 0);
      for (int32_t y = 0; y < h.height; ++y) bad |= s.put_rows(ctx, -1, y, 1);
      return bad;
    };
    LoadParams p = defaults();
    p.reduce_mode = c.reduce;
    p.max_width = p.max_height = c.max;
    Loaded r(p);
    ASSERT_EQ(r.status, 0);
    for (int32_t y = 0; y < r.bitmap.height; ++y)
      for (int32_t x = 0; x < r.bitmap.width * 3; ++x) ASSERT_NEAR(bitmap_row(&r.bitmap, y)[x], 77, 1);
  }
}

TEST(LoadServices, TempFileNameIsCreatedUnpredictably) {
  char a[256], b[256];
  ASSERT_EQ(temp_file_name(a, sizeof a), 0);
  ASSERT_EQ(temp_file_name(b, sizeof b), 0);
  EXPECT_STRNE(a, b);
  EXPECT_NE(std::strstr(a, "/x_"), nullptr);
  EXPECT_EQ(access(a, F_OK), 0);  // the file exists already: nobody can plant one
  std::remove(a);
  std::remove(b);
  char tiny[4];
  EXPECT_EQ(temp_file_name(tiny, sizeof tiny), 5);
}

TEST(LoadServices, StreamTypedReadsFailAtTheEnd) {
  TempFile file("bin", "\x01\x02\x03\x04\x05");
  ByteStream* s = stream_open_path(file.path().c_str(), kStreamReadBinary);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->size, 5u);
  uint32_t v32 = 0;
  uint16_t v16 = 0;
  EXPECT_EQ(stream_read_u32be(s, &v32), 0);
  EXPECT_EQ(v32, 0x01020304u);
  EXPECT_EQ(stream_read_u16le(s, &v16), 4);
  EXPECT_EQ(stream_seek(s, 6), 4);
  EXPECT_EQ(stream_seek(s, 1), 0);
  EXPECT_EQ(stream_read_u16le(s, &v16), 0);
  EXPECT_EQ(v16, 0x0302);
  stream_close(s);
  TempFile empty("bin", "");
  ByteStream* e = stream_attach(nullptr, empty.path().c_str());
  EXPECT_EQ(stream_open(e, kStreamReadBinary), nullptr);
  EXPECT_EQ(stream_open_error(e), 3);
  stream_close(e);
  // A text meant to end with a NUL byte that meets the end of the file first, kept or skipped.
  TempFile unterminated("bin", "abc");
  LoadContext keep{};
  keep.params.flags = kLoadKeepComment | kLoadKeepText;
  for (LoadContext* ctx : {static_cast<LoadContext*>(nullptr), &keep}) {
    for (bool comment : {true, false}) {
      ByteStream* t = stream_open_path(unterminated.path().c_str(), kStreamReadBinary);
      ASSERT_NE(t, nullptr);
      EXPECT_EQ(comment ? read_comment(t, ctx, 0) : read_text(t, ctx, "Key", 0), kStatusFileEndsEarly);
      stream_close(t);
    }
  }
  EXPECT_EQ(keep.comment, nullptr);
  EXPECT_EQ(keep.text_count, 0u);
}



// Grey, 3- and 4-byte colour, rows and tiles: averaging while the rows arrive holds only the
// reduced picture and gives exactly what shrinking the full-size load gives.
TEST(LoadPipeline, AveragingWhileRowsArriveMatchesShrinkingTheFullPicture) {
  struct Type {
    const char* name;
    int bits, samples;
    uint8_t grey_levels;
    uint32_t palette_form, flags;
    uint16_t order;
  } types[] = {
      {"grey 8", 8, 0, kGreyLevelsBlackZero, 0, 0, 1},
      {"grey 4", 4, 0, kGreyLevelsBlackZero, 0, 0, 1},
      {"grey 2, 0 is white", 2, 0, kGreyLevelsWhiteZero, 0x1, 0, 0},
      {"grey 16", 16, 1, kGreyLevelsUnknown, 0, 0, 1},
      {"colour 3 RGB", 24, 0, 0, 0, 0, 0},
      {"colour 3 BGR", 24, 0, 0, 0, 0, 1},
      {"colour 3 as 4", 24, 0, 0, 0, kLoadPrefer4Byte, 2},
      {"colour 4 RGBA", 32, 4, 0, 0, 0, 0},
      {"colour 4 ABGR", 32, 4, 0, 0, 0, 1},
  };
  struct Delivery {
    const char* name;
    int32_t tile_w, tile_h;
    uint16_t row_order;
    uint32_t layout;  // tiles as a tiled TIFF declares them: "resized after the load"
  } deliveries[] = {{"rows", 0, 0, 0, 0},         {"rows bottom-up mirrored", 0, 0, 17, 0},
                    {"row segments", 16, 1, 0, 0}, {"tiles 16x8", 16, 8, 0, kLayoutReaderReducedAlt},
                    {"tiles 24x64", 24, 64, 1, kLayoutReaderReducedAlt}};
  // Picture and box sizes, taken in turn: the boxes' fixed-point pieces round differently.
  const struct {
    int32_t w, h, max_w, max_h;
  } sizes[] = {{61, 47, 13, 11}, {64, 48, 16, 12}, {101, 67, 30, 30}, {300, 20, 37, 37}, {35, 90, 11, 40}};
  uint32_t seed = 1;
  for (const Type& t : types)
    for (const Delivery& d : deliveries) {
      const auto& size = sizes[seed % 5];
      SCOPED_TRACE(std::string(t.name) + ", " + d.name + ", " + std::to_string(size.w) + "x" +
                   std::to_string(size.h));
      averaging::random_picture(size.w, size.h, t.bits, t.samples, t.grey_levels, d.row_order, d.tile_w,
                                d.tile_h, seed++);
      g_script.palette_form = t.palette_form;
      if (d.layout) g_script.adjust = [&](ImageHeader& h) { h.layout |= d.layout; };
      LoadParams p = defaults();
      p.flags = t.flags;
      p.component_order = t.order;
      p.reduce_mode = kReduceAverage;
      p.max_width = size.max_w;
      p.max_height = size.max_h;
      p.alloc_callback = averaging::counting_alloc;
      averaging::g_largest_allocation = 0;
      Loaded reduced(p);
      ASSERT_EQ(reduced.status, 0);
      EXPECT_EQ(averaging::g_largest_allocation, int64_t{reduced.bitmap.width} * reduced.bitmap.height)
          << "the full picture was held";
      p.max_width = p.max_height = -1;
      p.alloc_callback = nullptr;
      Loaded full(p);
      ASSERT_EQ(full.status, 0);
      // Rows of a bottom-up file arrive last row first and are averaged in that order: the
      // boxes are those of shrinking the picture upside down (they differ from the top-down
      // boxes only by the rounding of the fixed-point pieces).
      const bool bottom_up = d.row_order & kOrientBottomUp;
      if (bottom_up) averaging::flip(&full.bitmap);
      ASSERT_EQ(resample_shrink(&full.bitmap, nullptr, reduced.bitmap.width, reduced.bitmap.height,
                                t.order == 1 ? kPixBGR : kPixRGB),
                0);
      if (bottom_up) averaging::flip(&full.bitmap);
      const Bitmap& a = reduced.bitmap;
      const Bitmap& b = full.bitmap;
      ASSERT_LT(a.width, size.w);
      ASSERT_EQ(a.type, b.type);
      EXPECT_EQ(a.colors, b.colors);
      EXPECT_EQ(a.bytes_per_pixel, b.bytes_per_pixel);
      for (int32_t y = 0; y < a.height; ++y)
        EXPECT_EQ(std::memcmp(bitmap_row(&a, y), bitmap_row(&b, y),
                              static_cast<size_t>(a.width) * a.bytes_per_pixel),
                  0)
            << "row " << y;
    }
}

// Pictures that cannot be averaged while they arrive (palette indexes) are held at full size
// only up to 256 MB when the caller wants them reduced.
TEST(LoadPipeline, FullSizeLoadsForAReductionAreBounded) {
  struct Case {
    int32_t side;
    uint8_t grey_levels;
    uint32_t reduce_mode;
    int status;
  } cases[] = {
      {16500, kGreyLevelsUnknown, kReduceAverage, kStatusNoMemory},  // 272 MB of indexes
      {16500, kGreyLevelsBlackZero, kReduceAverage, kStatusOk},      // averaged as it arrives
      {16500, kGreyLevelsUnknown, kReduceNearest, kStatusOk},        // picked as it arrives
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.side);
    averaging::random_picture(4, 4, 8, 0, c.grey_levels, 0, 0, 0, 1);
    g_script.adjust = [&](ImageHeader& h) {
      h.width = h.height = c.side;
      h.bytes_per_plane = static_cast<uint32_t>(c.side);
    };
    g_script.rows_to_deliver = 0;
    LoadParams p = defaults();
    p.reduce_mode = c.reduce_mode;
    p.max_width = p.max_height = 46;
    p.flags = kLoadAcceptIncomplete;
    p.alloc_callback = averaging::counting_alloc;
    averaging::g_largest_allocation = 0;
    Loaded r(p);
    EXPECT_EQ(r.status, c.status);
    if (c.status == kStatusNoMemory) {
      EXPECT_EQ(averaging::g_largest_allocation, 0);
      EXPECT_STRNE(r.info.message, "");
    }
  }
}

}  // namespace
}  // namespace lumora
