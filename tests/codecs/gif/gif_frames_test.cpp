// The animation frame loader on byte-crafted files: delays, disposal, transparency, palette
// merging, frames beyond the canvas and broken files.
#include <gtest/gtest.h>

#include <cstdio>

#include "imagelib/codecs/gif/gif.h"
#include "tests/support/gif_file.h"

namespace lumora {
namespace {

using test::default_color;
using test::filled;
using test::GifBuilder;
using test::Rgb;

struct Loaded {
  int status = -1;
  GifAnimation animation{};
  ~Loaded() { gif_animation_free(&animation); }
  std::vector<uint8_t> pixels(uint32_t frame) const {
    const Bitmap& b = animation.frames[frame].bitmap;
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < b.height; ++y) {
      const uint8_t* row = bitmap_row(&b, y);
      out.insert(out.end(), row, row + b.width);
    }
    return out;
  }
};

void load(const GifBuilder& g, Loaded* out) {
  test::TempFile file(g.bytes, "gif");
  out->status = gif_load_frames(file.path().c_str(), &out->animation);
}

TEST(GifFrames, DelaysInMilliseconds) {
  GifBuilder g;
  g.header(2, 2, 1);
  g.control(1, 0, -1).image(0, 0, 2, 2, filled(4, 1));
  g.control(1, 5, -1).image(0, 0, 2, 2, filled(4, 0));
  g.image(0, 0, 2, 2, filled(4, 1)).trailer();   // no graphic control block
  Loaded l;
  load(g, &l);
  ASSERT_EQ(l.status, 0);
  ASSERT_EQ(l.animation.frame_count, 3u);
  EXPECT_EQ(l.animation.frames[0].delay_ms, 100u);
  EXPECT_EQ(l.animation.frames[1].delay_ms, 50u);
  EXPECT_EQ(l.animation.frames[2].delay_ms, 0u);
  const Bitmap& b = l.animation.frames[0].bitmap;
  EXPECT_EQ(b.type, kPixIndexed);
  EXPECT_EQ(b.alignment, 1);
  EXPECT_EQ(b.colors, 2);
  EXPECT_EQ(b.palette[kPalG + 1], default_color(1).g);
}

TEST(GifFrames, FillDisposalAndTransparency) {
  struct Case {
    const char* name;
    GifBuilder gif;
    std::vector<uint8_t> last;   // pixels of the last frame
    int16_t transparent;         // its transparent_index
  };
  const Case cases[] = {
      // A first frame smaller than the screen lies on its transparent index, else the background.
      {"first frame on the background", GifBuilder().header(3, 1, 2, 1).image(1, 0, 1, 1, {3}).trailer(),
       {1, 3, 1}, -1},
      {"first frame on its transparent index",
       GifBuilder().header(3, 1, 2, 1).control(0, 0, 2).image(1, 0, 1, 1, {3}).trailer(), {2, 3, 2}, 2},
      // Disposal 2 before a transparent frame: the old rectangle becomes the new transparent index.
      {"background, transparent next",
       GifBuilder().header(4, 4, 2, 2).control(2, 0, -1).image(0, 0, 4, 4, filled(16, 1))
           .control(0, 0, 3).image(0, 0, 2, 2, filled(4, 3)).trailer(),
       filled(16, 3), 3},
      // Disposal 2 before an opaque frame: the background index fills the rectangle.
      {"background, opaque next",
       GifBuilder().header(4, 4, 2, 2).control(2, 0, -1).image(1, 1, 2, 2, filled(4, 1))
           .control(0, 0, -1).image(0, 0, 1, 1, {3}).trailer(),
       {3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}, -1},
      // Transparent pixels keep what the canvas had; disposal 1 keeps the previous frame.
      {"transparent pixels",
       GifBuilder().header(4, 1, 2).control(1, 0, -1).image(0, 0, 4, 1, {1, 1, 1, 1})
           .control(1, 0, 0).image(0, 0, 4, 1, {0, 2, 0, 3}).trailer(),
       {1, 2, 1, 3}, 0},
      // Disposal 3 restores the canvas as it was before that frame was painted.
      {"restore previous",
       GifBuilder().header(4, 4, 2).control(1, 0, -1).image(0, 0, 4, 4, filled(16, 1))
           .control(1, 0, -1).image(0, 0, 2, 2, filled(4, 2)).control(3, 0, -1).image(0, 0, 4, 4, filled(16, 3))
           .control(0, 0, -1).image(3, 3, 1, 1, {0}).trailer(),
       {2, 2, 1, 1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loaded l;
    load(c.gif, &l);
    ASSERT_EQ(l.status, 0);
    ASSERT_GE(l.animation.frame_count, 1u);
    const uint32_t last = l.animation.frame_count - 1;
    EXPECT_EQ(l.pixels(last), c.last);
    EXPECT_EQ(l.animation.frames[last].bitmap.transparent_index, c.transparent);
  }
}

TEST(GifFrames, FramesBeyondTheCanvas) {
  {
    // A first frame far wider than the screen enlarges the canvas; its rows fit the row buffer.
    std::vector<uint8_t> wide(3000);
    for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<uint8_t>(i % 4);
    GifBuilder g;
    g.header(1, 1, 2).image(0, 0, 3000, 2, [&] { auto v = wide; v.insert(v.end(), wide.begin(), wide.end()); return v; }())
        .trailer();
    Loaded l;
    load(g, &l);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.animation.frames[0].bitmap.width, 3000);
    EXPECT_EQ(l.animation.frames[0].bitmap.height, 2);
    std::vector<uint8_t> px = l.pixels(0);
    EXPECT_TRUE(std::equal(wide.begin(), wide.end(), px.begin()));
  }
  {
    // Later frames are clipped to the canvas; one wholly outside paints nothing.
    GifBuilder g;
    g.header(4, 2, 2);
    g.control(1, 0, -1).image(0, 0, 4, 2, filled(8, 0));
    g.image(2, 1, 4, 2, filled(8, 1));
    g.image(100, 100, 3, 2, filled(6, 2));
    g.image(0, 0, 5, 1, filled(5, 3)).trailer();   // larger than the canvas: the walk ends
    Loaded l;
    load(g, &l);
    ASSERT_EQ(l.status, 0);
    ASSERT_EQ(l.animation.frame_count, 3u);
    EXPECT_EQ(l.pixels(1), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(l.pixels(2), l.pixels(1));
  }
}

TEST(GifFrames, PaletteMergingFitsLaterFramesToTheFirst) {
  const Rgb a{10, 0, 0}, b{0, 20, 0}, c{0, 0, 30}, d{40, 40, 40}, x{1, 2, 3};
  GifBuilder g;
  g.header(4, 1, 2, 0, "GIF89a", {a, b, c, d});
  g.control(1, 0, -1).image(0, 0, 4, 1, {0, 1, 2, 3});
  g.control(1, 0, 3).image(0, 0, 3, 1, {0, 1, 2}, 2, false, 0, {c, a, x, b}).trailer();
  Loaded l;
  load(g, &l);
  ASSERT_EQ(l.status, 0);
  ASSERT_EQ(l.animation.frame_count, 2u);
  const Bitmap& f = l.animation.frames[1].bitmap;
  EXPECT_EQ(l.pixels(1), (std::vector<uint8_t>{2, 0, 4, 3}));
  EXPECT_EQ(f.colors, 256);
  EXPECT_EQ(f.palette[kPalR + 0], 10);   // the first frame's palette is kept in front
  EXPECT_EQ(f.palette[kPalB + 2], 30);
  EXPECT_EQ(f.palette[kPalR + 4], 1);    // the unmatched colour is appended
  EXPECT_EQ(f.palette[kPalB + 4], 3);
}

TEST(GifFrames, StatusesKeepTheFramesCompleted) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int status;
    uint32_t frames;
  };
  auto one = [] {
    GifBuilder g;
    g.header(2, 2, 1).image(0, 0, 2, 2, filled(4, 1));
    return g;
  };
  std::vector<Case> cases;
  cases.push_back({"bad code size", one().image(0, 0, 2, 2, filled(4, 0), 0, false, 11).trailer().bytes, 9, 1});
  cases.push_back({"zero-sized frame", one().image(0, 0, 0, 2, {}).trailer().bytes, 9, 1});
  std::vector<uint8_t> cut = one().bytes;
  for (uint8_t v : {0x2C, 0, 0}) cut.push_back(v);
  cases.push_back({"descriptor cut short", cut, 4, 1});
  cases.push_back({"not a GIF", std::vector<uint8_t>{'G', 'I', 'F', '8', 'x', 'a', 1, 0, 1, 0, 0, 0, 0}, 2, 0});
  cases.push_back({"no frame", GifBuilder().header(2, 2, 1).trailer().bytes, 2, 0});
  cases.push_back({"huge canvas", GifBuilder().header(16000, 2, 1).image(0, 0, 1, 1, {0}).trailer().bytes, 2, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GifBuilder g;
    g.bytes = c.bytes;
    Loaded l;
    load(g, &l);
    EXPECT_EQ(l.status, c.status);
    EXPECT_EQ(l.animation.frame_count, c.frames);
  }
  Loaded missing;
  EXPECT_EQ(gif_load_frames("/nonexistent/lumora.gif", &missing.animation), 3);
}

}  // namespace
}  // namespace lumora
