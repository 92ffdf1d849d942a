// The bitmap writer: the depth it chooses, its headers, RLE output, and round trips of every
// pixel type and form through the reader.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "imagelib/codecs/bmp/bmp_header.h"
#include "imagelib/core/save.h"
#include "imagelib/core/stream.h"
#include "tests/support/bmp_file.h"

namespace lumora::test {
namespace {

testing::Environment* const g_env = testing::AddGlobalTestEnvironment(new LibraryEnvironment);

// A picture of `type` with varied content: noise, runs and a few flat rows.
Bitmap make_picture(uint16_t type, int w, int h, int colors, unsigned seed) {
  Bitmap b{};
  EXPECT_EQ(bitmap_alloc(&b, type, 4, w, h), 1);
  std::mt19937 rng(seed);
  if (type == kPixGrey || type == kPixIndexed) b.colors = static_cast<uint16_t>(colors);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bitmap_row(&b, y);
    bool flat = y % 3 == 1;
    if (type == kPixBilevel) {
      for (int x = 0; x < w; ++x) bit_put(row, x, flat ? 1 : static_cast<int>(rng() & 1));
    } else if (type == kPixGrey || type == kPixIndexed) {
      for (int x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(flat ? (x / 5) % colors : rng() % colors);
    } else {
      for (int i = 0; i < w * b.bytes_per_pixel; ++i) row[i] = static_cast<uint8_t>(flat ? i / 7 : rng());
    }
  }
  if (type == kPixIndexed) {
    for (int i = 0; i < 256; ++i) {
      b.palette[kPalR + i] = static_cast<uint8_t>(i * 7);
      b.palette[kPalG + i] = static_cast<uint8_t>(255 - i);
      b.palette[kPalB + i] = static_cast<uint8_t>(i * 3 + 1);
    }
  }
  b.xdpi = b.ydpi = 150;
  return b;
}

int save_bmp(const Bitmap& b, const std::string& path, bool rle, bool os2) {
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatBmp;
  p.rle = rle;
  p.os2_bitmap = os2;
  return save_image(path.c_str(), &b, &p);
}

// The colour of pixel (x, y) whatever the type (bilevel as 0/255 grey).
Bytes colour_at(const Bitmap& b, int x, int y) {
  const uint8_t* row = bitmap_row(&b, y);
  switch (b.type) {
    case kPixBilevel: {
      uint8_t v = bit_get(row, x) ? 255 : 0;
      return {v, v, v};
    }
    case kPixGrey: {
      uint8_t v = static_cast<uint8_t>(row[x] * 255 / (b.colors - 1));
      return {v, v, v};
    }
    case kPixIndexed: {
      int i = row[x];
      return {b.palette[kPalR + i], b.palette[kPalG + i], b.palette[kPalB + i]};
    }
    case kPixRGB: return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    case kPixRGBA: return {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
    default: return {};
  }
}

TEST(BmpWriter, RoundTripsEveryTypeAndForm) {
  struct Kind {
    const char* name;
    uint16_t type;
    int colors;
    int bits;        // expected bits per pixel in the file
    uint16_t loaded; // type read back (component order 0)
  };
  const std::vector<Kind> kinds = {
      {"bilevel", kPixBilevel, 2, 1, kPixBilevel},
      {"10-colour indexed", kPixIndexed, 10, 4, kPixIndexed},
      {"16-level grey", kPixGrey, 16, 4, kPixIndexed},
      {"200-colour indexed", kPixIndexed, 200, 8, kPixIndexed},
      {"256-level grey", kPixGrey, 256, 8, kPixIndexed},
      {"24-bit colour", kPixRGB, 0, 24, kPixRGB},
      {"32-bit colour with alpha", kPixRGBA, 0, 32, kPixRGBA},
  };
  struct Form {
    const char* name;
    bool rle, os2;
  };
  const std::vector<Form> forms = {{"windows", false, false}, {"windows rle", true, false}, {"os/2", false, true}};
  TempDir dir;
  for (const Kind& k : kinds) {
    for (const Form& f : forms) {
      for (auto [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{7, 5}, std::pair{33, 4}, std::pair{300, 3}}) {
        SCOPED_TRACE(testing::Message() << k.name << ", " << f.name << ", " << w << "x" << h);
        Bitmap src = make_picture(k.type, w, h, k.colors, w * 131u + h);
        std::string path = dir.file("rt.bmp");
        ASSERT_EQ(save_bmp(src, path, f.rle, f.os2), 0);
        Bytes file = read_file(path);
        ASSERT_GE(file.size(), 26u);
        EXPECT_EQ(get_u32le(&file[2]), file.size());  // the file-size field
        bool compressed = f.rle && !f.os2 && (k.bits == 4 || k.bits == 8);
        if (f.os2) {
          EXPECT_EQ(get_u32le(&file[14]), 12u);
          EXPECT_EQ(get_u16le(&file[24]), k.bits);
        } else {
          EXPECT_EQ(get_u16le(&file[28]), k.bits);
          EXPECT_EQ(get_u32le(&file[30]), compressed ? (k.bits == 8 ? 1u : 2u) : 0u);
        }
        int entries = k.bits <= 8 ? 1 << k.bits : 0;
        EXPECT_EQ(get_u32le(&file[10]), f.os2 ? 26u + 3 * entries : 54u + 4 * entries);

        Bitmap back{};
        LoadParams lp;
        load_params_init(&lp);
        lp.flags = kLoadPrefer4Byte * (k.type == kPixRGBA);
        ASSERT_EQ(load_image(path.c_str(), &back, &lp, nullptr), 0);
        ASSERT_EQ(back.type, k.loaded);
        ASSERT_EQ(back.width, w);
        ASSERT_EQ(back.height, h);
        if (!f.os2) {
          EXPECT_EQ(back.xdpi, 150);
        }
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            ASSERT_EQ(colour_at(back, x, y), colour_at(src, x, y)) << x << "," << y;
          }
        }
        bitmap_free(&src);
        bitmap_free(&back);
      }
    }
  }
}

TEST(BmpWriter, DeepPicturesAreNarrowedToTheirHighBytes) {
  TempDir dir;
  for (uint16_t type : {kPixRGB, kPixGrey}) {
    SCOPED_TRACE(type);
    Bitmap deep{};
    ASSERT_EQ(bitmap_alloc_deep(&deep, type, 4, 2, 2, 16), 1);
    const int samples = type == kPixRGB ? 3 : 1;
    for (int y = 0; y < 2; ++y) {
      auto* row = reinterpret_cast<uint16_t*>(bitmap_row(&deep, y));
      for (int i = 0; i < 2 * samples; ++i) row[i] = static_cast<uint16_t>(0x1100 * (i + 3 * y) + 0xFF);
    }
    ASSERT_EQ(save_bmp(deep, dir.file("deep.bmp"), false, false), 0);
    Bitmap back{};
    ASSERT_EQ(load(dir.file("deep.bmp"), &back), 0);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) {
        Bytes want;
        for (int c = 0; c < 3; ++c)
          want.push_back(static_cast<uint8_t>(0x11 * (x * samples + (samples == 3 ? c : 0) + 3 * y)));
        Bytes got = pixel(back, x, y);
        if (back.type == kPixIndexed) got = {back.palette[kPalR + got[0]], back.palette[kPalG + got[0]], back.palette[kPalB + got[0]]};
        EXPECT_EQ(got, want) << x << "," << y;
      }
    }
    bitmap_free(&deep);
    bitmap_free(&back);
  }
}

TEST(BmpWriter, RleIntoAStreamThatAlreadyHoldsData) {
  Bitmap b = make_picture(kPixIndexed, 9, 4, 200, 5);
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatBmp;
  p.rle = 1;
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fputs("prefix", f);
  ASSERT_EQ(save_image(nullptr, 0, f, &b, &p), 0);
  long end = std::ftell(f);
  Bytes file(static_cast<size_t>(end));
  std::rewind(f);
  ASSERT_EQ(std::fread(file.data(), 1, file.size(), f), file.size());
  std::fclose(f);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "prefix");
  EXPECT_EQ(get_u32le(&file[6 + 2]), file.size() - 6);
  bitmap_free(&b);
}

TEST(BmpWriter, OversizedOs2AndCancelledSaves) {
  TempDir dir;
  Bitmap wide{};
  ASSERT_EQ(bitmap_alloc(&wide, kPixBilevel, 4, 70000, 1), 1);
  EXPECT_EQ(save_bmp(wide, dir.file("w.bmp"), false, true), 7);  // 16-bit OS/2 sizes
  EXPECT_EQ(save_bmp(wide, dir.file("w.bmp"), false, false), 0);
  bitmap_free(&wide);

  Bitmap b = make_picture(kPixGrey, 8, 8, 256, 3);
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatBmp;
  p.rle = 1;
  p.row_callback = [](int32_t row, int32_t, void*) { return row == 4 ? 1 : 0; };
  EXPECT_EQ(save_image(dir.file("cancel.bmp").c_str(), &b, &p), 15);
  EXPECT_TRUE(read_file(dir.file("cancel.bmp")).empty());
  bitmap_free(&b);
}

}  // namespace
}  // namespace lumora::test
