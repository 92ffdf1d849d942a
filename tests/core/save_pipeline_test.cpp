// The save pipeline: refusals, the file name fix-ups of flags 0x40/0x80, replacing files only
// when a save succeeds, and the rows, palettes and levels a writer receives.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "imagelib/core/stream.h"
#include "tests/support/picture_file.h"

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;

// What the recording writer asks for and what it received.
struct Recorder {
  WriterHeader want{};
  int fail_after_row = -1;  // write this many rows, then fail with `fail_status`
  int fail_status = 6;
  std::vector<Bytes> rows;
  Bytes palette;
  std::string path;
  void reset() {
    *this = Recorder{};
    save_header_init(&want);
    want.bits_per_plane = 8;
  }
};
Recorder g_rec;

int recording_writer(ByteStream* stream, SaveContext* ctx) {
  WriterHeader h = g_rec.want;  // made by save_header_init, as a writer starts
  std::snprintf(h.description, sizeof h.description, "Test format");
  if (int st = ctx->begin_save(ctx, &h)) return st;
  g_rec.path = ctx->path ? ctx->path : "";
  if (h.palette) g_rec.palette.assign(h.palette, h.palette + h.palette_size);
  for (int32_t y = 0; y < ctx->height; ++y) {
    if (y == g_rec.fail_after_row) {
      ctx->end_save(ctx);
      return g_rec.fail_status;
    }
    if (int st = ctx->get_rows(ctx, -1, 1)) {
      ctx->end_save(ctx);
      return st;
    }
    g_rec.rows.emplace_back(h.row_buffer, h.row_buffer + h.bytes_per_row);
    stream_write(stream, h.row_buffer, h.bytes_per_row);
  }
  ctx->end_save(ctx);
  return 0;
}

void palette_only(WriterCapability* list) {
  list[0] = {kPixIndexed | kPixGrey | kPixBilevel, 256, 0, 0, "pal"};
}

struct Formats {
  int rec = -1;      // recording writer, extension "tst"
  int pal = -1;      // recording writer that stores palette pictures only, option text "pal"
  Formats() {
    library_start();
    FormatEntry row{};
    row.name = "test-rec";
    row.description = "Test format";
    row.writer = &recording_writer;
    row.extensions[0] = "tst";
    row.extensions[1] = "test";
    rec = format_register(row);
    row.name = "test-pal";
    row.capabilities = &palette_only;
    pal = format_register(row);
  }
};
const Formats& formats() {
  static Formats f;
  return f;
}

using test::TempDir;

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A grey picture whose pixel (x, y) is x + 10 * y.
Bitmap grey_picture(int w, int h, int colors = 256) {
  Bitmap b{};
  EXPECT_EQ(bitmap_alloc(&b, kPixGrey, 1, w, h), 1);
  b.colors = static_cast<uint16_t>(colors);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bitmap_row(&b, y)[x] = static_cast<uint8_t>((x + 10 * y) % colors);
  return b;
}

SaveParams params_for(int format) {
  SaveParams p;
  save_params_init(&p);
  p.format_index = static_cast<int16_t>(format);
  return p;
}

TEST(SavePipeline, RefusesWhatItCannotWrite) {
  const Formats& f = formats();
  TempDir dir;
  Bitmap grey = grey_picture(4, 2);
  Bitmap colour{};
  ASSERT_EQ(bitmap_alloc(&colour, kPixRGB, 4, 4, 2), 1);
  Bitmap empty = grey_picture(4, 2);
  std::free(empty.pixels);
  empty.pixels = nullptr;
  struct Case {
    const char* name;
    int format;
    const Bitmap* bitmap;
    int status;
  };
  const std::vector<Case> cases = {
      {"no format", -1, &grey, 8},
      {"index past the registry", 46, &grey, 8},
      {"2bp has no writer", kFormat2bp, &grey, 8},
      {"colour to a palette-only writer", f.pal, &colour, 7},
      {"no pixels and no source", f.rec, &empty, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_rec.reset();
    SaveParams p = params_for(c.format);
    EXPECT_EQ(save_image(dir.file("out.tst").c_str(), c.bitmap, &p), c.status);
  }
  EXPECT_TRUE(dir.entries().empty());
  bitmap_free(&grey);
  bitmap_free(&colour);
}

TEST(SavePipeline, ReplacesAnExistingFileOnlyWhenTheSaveSucceeds) {
  const Formats& f = formats();
  TempDir dir;
  const std::string target = dir.file("picture.tst");
  Bitmap b = grey_picture(3, 4);
  struct Case {
    const char* name;
    int fail_after_row;
    bool cancel;
    int status;
  };
  const std::vector<Case> cases = {
      {"writer fails half-way", 2, false, 6},
      {"writer fails before any row", 0, false, 6},
      {"row callback cancels", -1, true, 15},
      {"success", -1, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_file(target, "old picture");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    g_rec.reset();
    g_rec.fail_after_row = c.fail_after_row;
    SaveParams p = params_for(f.rec);
    if (c.cancel) {
      p.row_callback = [](int32_t row, int32_t, void*) { return row == 1 ? 1 : 0; };
    }
    EXPECT_EQ(save_image(target.c_str(), &b, &p), c.status);
    EXPECT_EQ(dir.entries(), std::set<std::string>{"picture.tst"});  // no temporary file left
    std::string content = read_file(target);
    if (c.status) {
      EXPECT_EQ(content, "old picture");
    } else {
      EXPECT_EQ(content.size(), 12u);  // 4 rows of 3 grey bytes
      struct stat st;
      ASSERT_EQ(stat(target.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file's permissions are kept
    }
  }
  bitmap_free(&b);
}

TEST(SavePipeline, NewFilesAndUnusableDestinations) {
  const Formats& f = formats();
  TempDir dir;
  Bitmap b = grey_picture(2, 2);
  SaveParams p = params_for(f.rec);
  g_rec.reset();
  g_rec.fail_after_row = 1;
  EXPECT_EQ(save_image(dir.file("new.tst").c_str(), &b, &p), 6);
  EXPECT_TRUE(dir.entries().empty());  // a failed save of a new file leaves nothing
  g_rec.reset();
  EXPECT_EQ(save_image(dir.file("missing/new.tst").c_str(), &b, &p), 5);
  ASSERT_EQ(mkdir(dir.file("folder.tst").c_str(), 0755), 0);
  EXPECT_EQ(save_image(dir.file("folder.tst").c_str(), &b, &p), 5);
  // A symbolic link keeps pointing at the replaced picture.
  write_file(dir.file("real.tst"), "old");
  ASSERT_EQ(symlink("real.tst", dir.file("link.tst").c_str()), 0);
  EXPECT_EQ(save_image(dir.file("link.tst").c_str(), &b, &p), 0);
  struct stat st;
  ASSERT_EQ(lstat(dir.file("link.tst").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(read_file(dir.file("real.tst")).size(), 4u);
  EXPECT_EQ(dir.entries(), (std::set<std::string>{"folder.tst", "link.tst", "real.tst"}));
  bitmap_free(&b);
}

TEST(SavePipeline, WritesAnOpenStreamDirectly) {
  const Formats& f = formats();
  Bitmap b = grey_picture(2, 3);
  SaveParams p = params_for(f.rec);
  g_rec.reset();
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fputs("AB", file);
  EXPECT_EQ(save_image(nullptr, 0, file, &b, &p), 0);
  EXPECT_EQ(std::ftell(file), 8);  // appended where the stream stood, and still open
  std::fclose(file);
  bitmap_free(&b);
}

TEST(SavePipeline, ExtensionFlags) {
  const Formats& f = formats();
  struct Case {
    const char* name;
    const char* path;     // relative to the temporary folder
    uint32_t flags;
    int format;
    const char* written;  // the file the pipeline wrote
    const char* returned; // the caller's buffer afterwards
  };
  const std::vector<Case> cases = {
      {"extension replaced", "a.tmp", 0x40 | 0x80, f.rec, "a.tst", "a.tst"},
      {"extension appended", "b", 0x40 | 0x80, f.rec, "b.tst", "b.tst"},
      {"digit after the dot is no extension", "c.001", 0x40 | 0x80, f.rec, "c.001.tst", "c.001.tst"},
      {"leading dot is no extension", ".d", 0x40 | 0x80, f.rec, ".d.tst", ".d.tst"},
      {"capability option text wins", "e.png", 0x40 | 0x80, f.pal, "e.pal", "e.pal"},
      {"without 0x80 the caller's path stays", "g.tmp", 0x40, f.rec, "g.tst", "g.tmp"},
      {"without 0x40 the path is used as given", "h.tmp", 0x80, f.rec, "h.tmp", "h.tmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Bitmap b = grey_picture(2, 2, 4);
    b.type = kPixIndexed;
    b.palette = static_cast<uint8_t*>(std::calloc(1024, 1));
    SaveParams p = params_for(c.format);
    p.flags = c.flags;
    g_rec.reset();
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%s", dir.file(c.path).c_str());
    EXPECT_EQ(save_image(buffer, sizeof buffer, nullptr, &b, &p), 0);
    EXPECT_EQ(dir.entries(), std::set<std::string>{c.written});
    EXPECT_EQ(std::string(buffer), dir.file(c.returned));
    bitmap_free(&b);
  }
}

// Beyond the file names of the extension-flag cases: dots in folders, several dots, capacity.
TEST(SavePipeline, ReplaceExtension) {
  struct Case {
    const char* path;
    size_t capacity;
    int status;
    const char* result;
  };
  const std::vector<Case> cases = {
      {"dir.v2/file", 64, 0, "dir.v2/file.png"},
      {"a.b.c", 64, 0, "a.b.png"},
      {"abc", 8, 0, "abc.png"},
      {"abc", 7, 1, "abc"},  // no room for the NUL: unchanged
  };
  for (const Case& c : cases) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s", c.path);
    EXPECT_EQ(save_replace_extension(buffer, c.capacity, "png"), c.status) << c.path;
    EXPECT_STREQ(buffer, c.result) << c.path;
  }
}

TEST(SavePipeline, LevelTables) {
  uint8_t t[256];
  save_level_table(t, 2, 8, false);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 255);
  save_level_table(t, 2, 8, true);
  EXPECT_EQ(t[0], 255);
  EXPECT_EQ(t[1], 0);
  save_level_table(t, 16, 4, false);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(t[i], i);
  save_level_table(t, 256, 4, false);
  EXPECT_EQ(t[17], 1);
  EXPECT_EQ(t[255], 15);
  save_level_table(t, 4, 8, false);
  EXPECT_EQ((Bytes{t[0], t[1], t[2], t[3], t[200]}), (Bytes{0, 85, 170, 255, 255}));
}

// Rows, palettes and levels as the writer asks for them.
TEST(SavePipeline, RowsPalettesAndLevelsForTheWriter) {
  const Formats& f = formats();
  struct Case {
    const char* name;
    uint16_t type;         // 2 grey, 4 indexed, 1 bilevel
    int colors;
    uint16_t orientation;  // of the Bitmap
    uint16_t row_order;    // of the writer
    uint32_t layout;
    int bits;
    uint16_t palette_form;
    std::vector<Bytes> rows;  // first bytes of each received row
    Bytes palette;            // first bytes of the palette
  };
  // The 2 x 3 picture holds values (x + 10 y) % colors in memory order.
  const std::vector<Case> cases = {
      {"8-bit grey as it is", kPixGrey, 256, 0, 0, 0, 8, 0, {{0, 1}, {10, 11}, {20, 21}}, {}},
      {"bottom-up writer flips a top-down picture", kPixGrey, 256, 0, kWriterBottomUp, 0, 8, 0,
       {{20, 21}, {10, 11}, {0, 1}}, {}},
      {"bottom-up picture to a bottom-up writer is not flipped", kPixGrey, 256, kOrientBottomUp,
       kWriterBottomUp, 0, 8, 0, {{0, 1}, {10, 11}, {20, 21}}, {}},
      {"mirrored writer", kPixGrey, 256, 0, kWriterMirrored, 0, 8, 0, {{1, 0}, {11, 10}, {21, 20}}, {}},
      {"4 grey levels widened to 8 bits", kPixGrey, 4, 0, 0, 0, 8, 0, {{0, 85}, {170, 255}, {0, 85}}, {}},
      {"inverted levels", kPixGrey, 4, 0, 0, kWriterInvertLevels, 8, 0, {{255, 170}, {85, 0}, {255, 170}}, {}},
      {"16 grey levels packed in 4 bits with a ramp palette", kPixGrey, 16, 0, 0, 0, 4, kPalFormBGR,
       {{0x01}, {0xAB}, {0x45}}, {0, 0, 0, 17, 17, 17, 34, 34, 34}},
      {"bilevel to 1 bit with black and white", kPixBilevel, 2, 0, 0, 0, 1, kPalFormWanted,
       {{0x40}, {0x40}, {0x40}}, {0, 0, 0, 255, 255, 255}},
      {"bilevel spread to 0/255 for a plain 8-bit writer", kPixBilevel, 2, 0, 0, 0, 8, 0,
       {{0, 255}, {0, 255}, {0, 255}}, {}},
      {"indexed keeps its indexes and palette", kPixIndexed, 256, 0, 0, 0, 8, kPalFormBGR,
       {{0, 1}, {10, 11}, {20, 21}}, {30, 20, 10, 31, 21, 11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Bitmap b{};
    ASSERT_EQ(bitmap_alloc(&b, c.type, 4, 2, 3), 1);
    b.colors = static_cast<uint16_t>(c.colors);
    b.orientation = c.orientation;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 2; ++x) {
        int v = (x + 10 * y) % c.colors;
        if (c.type == kPixBilevel) bit_put(bitmap_row(&b, y), x, v);
        else bitmap_row(&b, y)[x] = static_cast<uint8_t>(v);
      }
    }
    if (c.type == kPixIndexed) {
      for (int i = 0; i < 256; ++i) {
        b.palette[kPalR + i] = static_cast<uint8_t>(10 + i);
        b.palette[kPalG + i] = static_cast<uint8_t>(20 + i);
        b.palette[kPalB + i] = static_cast<uint8_t>(30 + i);
      }
    }
    g_rec.reset();
    g_rec.want.row_order = c.row_order;
    g_rec.want.layout = c.layout;
    g_rec.want.bits_per_plane = static_cast<uint16_t>(c.bits);
    g_rec.want.palette_form = c.palette_form;
    g_rec.want.palette_bits = 8;
    SaveParams p = params_for(f.rec);
    ASSERT_EQ(save_image(dir.file("x.tst").c_str(), &b, &p), 0);
    ASSERT_EQ(g_rec.rows.size(), c.rows.size());
    for (size_t y = 0; y < c.rows.size(); ++y) {
      ASSERT_GE(g_rec.rows[y].size(), c.rows[y].size());
      EXPECT_EQ(Bytes(g_rec.rows[y].begin(), g_rec.rows[y].begin() + c.rows[y].size()), c.rows[y])
          << "row " << y;
    }
    ASSERT_GE(g_rec.palette.size(), c.palette.size());
    EXPECT_EQ(Bytes(g_rec.palette.begin(), g_rec.palette.begin() + c.palette.size()), c.palette);
    bitmap_free(&b);
  }
}

TEST(SavePipeline, SourceCallbackSuppliesRowsAndStopsTheSave) {
  const Formats& f = formats();
  TempDir dir;
  Bitmap b = grey_picture(3, 2);
  std::free(b.pixels);
  b.pixels = nullptr;
  SaveParams p = params_for(f.rec);
  p.source_callback = [](uint8_t* buffer, int32_t row, int32_t, void*) {
    std::memset(buffer, 40 + row, 3);
    return 0;
  };
  g_rec.reset();
  ASSERT_EQ(save_image(dir.file("s.tst").c_str(), &b, &p), 0);
  ASSERT_EQ(g_rec.rows.size(), 2u);
  EXPECT_EQ(Bytes(g_rec.rows[1].begin(), g_rec.rows[1].begin() + 3), (Bytes{41, 41, 41}));
  p.source_callback = [](uint8_t*, int32_t row, int32_t, void*) { return row == 1 ? 10 : 0; };
  g_rec.reset();
  EXPECT_EQ(save_image(dir.file("s.tst").c_str(), &b, &p), 10);
  EXPECT_EQ(read_file(dir.file("s.tst")).size(), 6u);  // the earlier picture stays
  bitmap_free(&b);
}

TEST(SavePipeline, VerboseLinesAndProgressBar) {
  const Formats& f = formats();
  TempDir dir;
  Bitmap b = grey_picture(2, 60);
  SaveParams p = params_for(f.rec);
  p.flags = kSaveVerbose | kSaveProgressBar;
  g_rec.reset();
  testing::internal::CaptureStderr();
  ASSERT_EQ(save_image(dir.file("v.tst").c_str(), &b, &p), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("A Test format was writen : " + dir.file("v.tst") + "\n"), std::string::npos);
  EXPECT_NE(err.find("    Width:2 Height:60 with 256 colors\n"), std::string::npos);
  EXPECT_NE(err.find(std::string(60, '-') + "\r" + std::string(60, '*') + "\n"), std::string::npos);
  bitmap_free(&b);
}

}  // namespace
}  // namespace lumora
