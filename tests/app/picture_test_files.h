#pragma once
// Picture files the viewer tests write for themselves: four-colour quadrant pictures as JPEG
// (with an Exif block), uncompressed TIFF and multi-frame GIF, and a JPEG whose header claims a
// size its data never fills.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "tests/support/exif_block.h"
#include "tests/support/picture_file.h"
#include "tests/support/tiff_file.h"

namespace lumora::test {

using Rgb = std::array<int, 3>;

// The quadrants of an upright picture: top left, top right, bottom left, bottom right.
constexpr Rgb kTopLeft{230, 30, 30}, kTopRight{30, 200, 30}, kBottomLeft{30, 30, 230},
    kBottomRight{240, 240, 240};

inline Rgb quadrant_colour(int x, int y, int w, int h) {
  const bool right = x >= w / 2, bottom = y >= h / 2;
  return bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft);
}

inline bool near(const Rgb& a, const Rgb& b, int tolerance = 48) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > tolerance) return false;
  return true;
}

inline std::string describe(const Rgb& c) {
  return "(" + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + ")";
}

// A blue-green-red picture whose pixel (x, y) is colour(x, y). Freed by the caller.
inline Bitmap make_picture(int w, int h, const std::function<Rgb(int, int)>& colour) {
  Bitmap b{};
  bitmap_alloc(&b, kPixBGR, 4, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgb c = colour(x, y);
      uint8_t* p = bitmap_row(&b, y) + 3 * x;
      p[0] = static_cast<uint8_t>(c[2]), p[1] = static_cast<uint8_t>(c[1]), p[2] = static_cast<uint8_t>(c[0]);
    }
  return b;
}

inline Rgb pixel_of(const Bitmap& b, int x, int y) {
  const uint8_t* row = bitmap_row(&b, y);
  if (b.type == kPixIndexed) return {b.palette[kPalR + row[x]], b.palette[kPalG + row[x]], b.palette[kPalB + row[x]]};
  if (b.type == kPixGrey) return {row[x], row[x], row[x]};
  const uint8_t* p = row + x * b.bytes_per_pixel;
  return {p[2], p[1], p[0]};
}

// Where the upright pixel (ux, uy) of a w x h picture lies in the stored picture of a camera
// that tagged it with `orientation` (Exif 2.3 section 4.6.4, TIFF 6.0 tag 274: where the stored
// first row and first column lie in the scene). The stored picture is h x w for 5 to 8.
inline void stored_position(int orientation, int ux, int uy, int w, int h, int* sx, int* sy) {
  switch (orientation) {
    case 2: *sx = w - 1 - ux, *sy = uy; break;
    case 3: *sx = w - 1 - ux, *sy = h - 1 - uy; break;
    case 4: *sx = ux, *sy = h - 1 - uy; break;
    case 5: *sx = uy, *sy = ux; break;                    // first row at the left, first column at the top
    case 6: *sx = uy, *sy = w - 1 - ux; break;            // first row at the right, first column at the top
    case 7: *sx = h - 1 - uy, *sy = w - 1 - ux; break;    // first row at the right, first column at the bottom
    case 8: *sx = h - 1 - uy, *sy = ux; break;            // first row at the left, first column at the bottom
    default: *sx = ux, *sy = uy; break;
  }
}

// The stored picture a camera would write for an upright w x h quadrant picture.
inline Bitmap camera_picture(int orientation, int w, int h) {
  const bool turned = orientation >= 5;
  const int sw = turned ? h : w, sh = turned ? w : h;
  Bitmap b = make_picture(sw, sh, [](int, int) { return Rgb{0, 0, 0}; });
  for (int uy = 0; uy < h; ++uy)
    for (int ux = 0; ux < w; ++ux) {
      int sx, sy;
      stored_position(orientation, ux, uy, w, h, &sx, &sy);
      const Rgb c = quadrant_colour(ux, uy, w, h);
      uint8_t* p = bitmap_row(&b, sy) + 3 * sx;
      p[0] = static_cast<uint8_t>(c[2]), p[1] = static_cast<uint8_t>(c[1]), p[2] = static_cast<uint8_t>(c[0]);
    }
  return b;
}

// An Exif block whose IFD0 holds the Orientation tag (and, optionally, an IFD1 thumbnail).
inline std::vector<uint8_t> exif_with_orientation(int orientation, bool big_endian,
                                                  const std::vector<uint8_t>& thumbnail = {}) {
  auto build = [&](uint32_t thumb_at) {
    IfdBlock t(big_endian);
    const int ifd0 = t.add_ifd();
    t.add_ascii(ifd0, 271, "Lumora test camera");
    t.add_short(ifd0, 274, {static_cast<uint16_t>(orientation)});
    if (!thumbnail.empty()) {
      const int ifd1 = t.add_ifd();
      t.set_next(ifd0, ifd1);
      t.add_long(ifd1, 513, {thumb_at});
      t.add_long(ifd1, 514, {static_cast<uint32_t>(thumbnail.size())});
    }
    return t.build();
  };
  std::vector<uint8_t> body = build(0);
  if (!thumbnail.empty()) {
    // The thumbnail follows the directories; its offset counts from the TIFF header.
    body = build(static_cast<uint32_t>(body.size()));
    body.insert(body.end(), thumbnail.begin(), thumbnail.end());
  }
  std::vector<uint8_t> out = {'E', 'x', 'i', 'f', 0, 0};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// Writes the picture as a JPEG of quality 95 without chroma subsampling, with `exif` as its
// APP1 block when not empty.
inline bool save_jpeg(const std::string& path, Bitmap* picture, const std::vector<uint8_t>& exif = {}) {
  if (!exif.empty() && chunk_append(&picture->chunks, kChunkExif, exif.data(), static_cast<uint32_t>(exif.size())) != 0)
    return false;
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatJpeg;
  p.quality = 95;
  p.jpeg_subsampling = 2;
  p.write_exif = exif.empty() ? 0 : 1;
  return save_image(path.c_str(), picture, &p) == 0;
}

// A small JPEG whose frame header claims width x height: the data covers the first 16 x 16
// pixels only, in the top-left quadrant's colour.
inline bool save_claiming_jpeg(const std::string& path, int width, int height) {
  Bitmap b = make_picture(16, 16, [](int, int) { return kTopLeft; });
  const bool saved = save_jpeg(path, &b);
  bitmap_free(&b);
  if (!saved) return false;
  std::vector<uint8_t> bytes = read_file(path);
  for (size_t i = 2; i + 9 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {  // SOF0: length, precision, height, width
      bytes[i + 5] = static_cast<uint8_t>(height >> 8), bytes[i + 6] = static_cast<uint8_t>(height);
      bytes[i + 7] = static_cast<uint8_t>(width >> 8), bytes[i + 8] = static_cast<uint8_t>(width);
      write_file(path, bytes);
      return true;
    }
  }
  return false;
}

// An uncompressed 8-bit RGB TIFF with one page per picture, each in one strip with the
// Orientation tag.
inline bool save_tiff_pages(const std::string& path, const std::vector<const Bitmap*>& pages, int orientation) {
  TiffFile t;
  for (const Bitmap* page : pages) {
    std::vector<uint8_t> strip;
    for (int y = 0; y < page->height; ++y)
      for (int x = 0; x < page->width; ++x) {
        const Rgb c = pixel_of(*page, x, y);
        strip.insert(strip.end(), {static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[2])});
      }
    basic_page(t, static_cast<uint32_t>(page->width), static_cast<uint32_t>(page->height), 8, 3, 2, 1, strip);
    t.add(274, 3, {static_cast<uint64_t>(orientation)});
    t.next_page();
  }
  write_file(path, t.build());
  return true;
}

inline bool save_tiff(const std::string& path, const Bitmap& picture, int orientation) {
  return save_tiff_pages(path, {&picture}, orientation);
}

// A GIF89a of w x h whose frames are filled with one palette colour each, with their delays in
// hundredths of a second. The image data are written uncompressed (a clear code before every
// pixel keeps the codes 3 bits wide).
inline bool save_gif(const std::string& path, int w, int h, const std::vector<Rgb>& palette,
                     const std::vector<std::pair<int, int>>& frames /* colour index, delay cs */) {
  std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a'};
  auto put16 = [&g](int v) { g.push_back(static_cast<uint8_t>(v)), g.push_back(static_cast<uint8_t>(v >> 8)); };
  put16(w), put16(h);
  g.insert(g.end(), {0xF1, 0, 0});  // global table of 4 entries
  for (int i = 0; i < 4; ++i) {
    const Rgb c = i < static_cast<int>(palette.size()) ? palette[i] : Rgb{0, 0, 0};
    g.insert(g.end(), {static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[2])});
  }
  for (auto [index, delay] : frames) {
    g.insert(g.end(), {0x21, 0xF9, 4, 0});
    put16(delay);
    g.insert(g.end(), {0, 0});
    g.push_back(0x2C);
    put16(0), put16(0), put16(w), put16(h);
    g.push_back(0);
    g.push_back(2);  // minimum code size: clear 4, end 5, 3-bit codes
    std::vector<uint8_t> data;
    uint32_t bits = 0;
    int count = 0;
    auto emit = [&](int code) {
      bits |= static_cast<uint32_t>(code) << count;
      count += 3;
      while (count >= 8) data.push_back(static_cast<uint8_t>(bits)), bits >>= 8, count -= 8;
    };
    for (int i = 0; i < w * h; ++i) emit(4), emit(index);
    emit(5);
    if (count > 0) data.push_back(static_cast<uint8_t>(bits));
    for (size_t at = 0; at < data.size(); at += 255) {
      const size_t n = std::min<size_t>(255, data.size() - at);
      g.push_back(static_cast<uint8_t>(n));
      g.insert(g.end(), data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    g.push_back(0);
  }
  g.push_back(0x3B);
  write_file(path, g);
  return true;
}

}  // namespace lumora::test
