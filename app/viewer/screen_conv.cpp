#include "app/viewer/screen_conv.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/system/system.h"

namespace lumora::app {

using namespace lumora::plat;

namespace {

// Three tables (red, green, blue) of 4096 entries, indexed by dither position x 256 + value,
// where the position is (x mod 4) x 4 + (y mod 4). Each entry is the channel's 5-bit value
// already in its place of a 5-5-5 pixel.
constexpr int kDitherTableSize = 4096;
std::unique_ptr<uint16_t[]> g_dither555;

// Thresholds of the 4 x 4 ordered dither, row by row, against the three bits that 8 -> 5 drops.
constexpr uint8_t kDither4x4[16] = {0, 4, 1, 5, 6, 2, 7, 3, 1, 5, 0, 4, 7, 3, 6, 2};

// The 8 x 8 Bayer matrix (0..63) of the 3-3-2 dither on palette screens, by [y][x].
constexpr uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

constexpr std::array<uint8_t, 256> identity_table() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  return t;
}
constexpr std::array<uint8_t, 256> kIdentity = identity_table();

// Display sizes beyond this are refused rather than given tables of that many entries.
constexpr int kMaxDisplaySide = 1 << 18;

RGBQUAD quad(int r, int g, int b) {
  RGBQUAD q;
  q.rgbRed = static_cast<BYTE>(r), q.rgbGreen = static_cast<BYTE>(g), q.rgbBlue = static_cast<BYTE>(b);
  return q;
}

}  // namespace

struct ScreenImage::Job {
  const uint8_t* const* rows;  // source row of each display row
  const uint32_t* columns;     // source offset of each display column
  int x0, y0, width, height;   // display rectangle to convert
  uint8_t* top;                // surface row that receives display row y0
  ptrdiff_t step;              // bytes to the next surface row down (negative: rows are bottom-up)
  const uint8_t* tone;         // 256 entries, the identity when no tone table is active
  int r, g, b;                 // byte offsets of the channels within a source pixel
  int pixel_bytes;             // bytes per source pixel, for whole-row copies
  const uint16_t* dither;      // red, green and blue 5-5-5 tables
};

namespace {

using Job = ScreenImage::Job;

// 1-bit pictures into a 1-bit surface. Display rows that repeat a source row (enlarging) copy
// the surface row above instead of picking bits again.
void convert_bilevel(const Job& j) {
  const size_t bytes = static_cast<size_t>(j.width + 7) / 8;
  uint8_t* dst = j.top;
  for (int y = 0; y < j.height; ++y, dst += j.step) {
    const uint8_t* src = j.rows[j.y0 + y];
    if (y > 0 && src == j.rows[j.y0 + y - 1]) {
      std::memcpy(dst, dst - j.step, bytes);
      continue;
    }
    std::memset(dst, 0, bytes);
    for (int x = 0; x < j.width; ++x)
      if (bit_get(src, static_cast<int32_t>(j.columns[j.x0 + x]))) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
}

// One byte per pixel (grey level or palette index) through the column table.
void convert_bytes(const Job& j) {
  uint8_t* dst = j.top;
  for (int y = 0; y < j.height; ++y, dst += j.step) {
    const uint8_t* src = j.rows[j.y0 + y];
    const uint32_t* col = j.columns + j.x0;
    for (int x = 0; x < j.width; ++x) dst[x] = j.tone[src[col[x]]];
  }
}

// Unscaled pictures whose pixels already have the surface's layout.
void copy_rows(const Job& j) {
  const size_t bytes = static_cast<size_t>(j.width) * static_cast<size_t>(j.pixel_bytes);
  const size_t skip = static_cast<size_t>(j.x0) * static_cast<size_t>(j.pixel_bytes);
  uint8_t* dst = j.top;
  for (int y = 0; y < j.height; ++y, dst += j.step) std::memcpy(dst, j.rows[j.y0 + y] + skip, bytes);
}

// Colour into 5-5-5 with the ordered dither. The dither position follows display coordinates so
// that the pattern stays fixed to the picture while it scrolls.
void convert_555_dither(const Job& j) {
  const uint16_t* red = j.dither;
  const uint16_t* green = red + kDitherTableSize;
  const uint16_t* blue = green + kDitherTableSize;
  uint8_t* dst = j.top;
  for (int y = 0; y < j.height; ++y, dst += j.step) {
    const uint8_t* src = j.rows[j.y0 + y];
    const int dy = (j.y0 + y) & 3;
    auto* out = reinterpret_cast<uint16_t*>(dst);
    for (int x = 0; x < j.width; ++x) {
      const int dx = j.x0 + x;
      const uint8_t* p = src + j.columns[dx];
      const int base = (((dx & 3) << 2) | dy) << 8;
      out[x] = static_cast<uint16_t>(red[base + j.tone[p[j.r]]] | green[base + j.tone[p[j.g]]] |
                                     blue[base + j.tone[p[j.b]]]);
    }
  }
}

// Colour into 5-5-5 by dropping the low three bits (dither off, or no tables).
void convert_555(const Job& j) {
  uint8_t* dst = j.top;
  for (int y = 0; y < j.height; ++y, dst += j.step) {
    const uint8_t* src = j.rows[j.y0 + y];
    auto* out = reinterpret_cast<uint16_t*>(dst);
    for (int x = 0; x < j.width; ++x) {
      const uint8_t* p = src + j.columns[j.x0 + x];
      out[x] = static_cast<uint16_t>(((j.tone[p[j.r]] >> 3) << 10) | ((j.tone[p[j.g]] >> 3) << 5) |
                                     (j.tone[p[j.b]] >> 3));
    }
  }
}

// Colour into three bytes per pixel, blue, green, red, as 24-bit surfaces store them.
void convert_bgr24(const Job& j) {
  uint8_t* dst = j.top;
  for (int y = 0; y < j.height; ++y, dst += j.step) {
    const uint8_t* src = j.rows[j.y0 + y];
    const uint32_t* col = j.columns + j.x0;
    uint8_t* out = dst;
    for (int x = 0; x < j.width; ++x, out += 3) {
      const uint8_t* p = src + col[x];
      out[0] = j.tone[p[j.b]];
      out[1] = j.tone[p[j.g]];
      out[2] = j.tone[p[j.r]];
    }
  }
}

// Colour into the 3-3-2 palette with the 8 x 8 Bayer dither (screens of 8 bits or less).
void convert_332(const Job& j) {
  uint8_t* dst = j.top;
  for (int y = 0; y < j.height; ++y, dst += j.step) {
    const uint8_t* src = j.rows[j.y0 + y];
    const uint8_t* bayer = kBayer8[(j.y0 + y) & 7];
    for (int x = 0; x < j.width; ++x) {
      const int dx = j.x0 + x;
      const uint8_t* p = src + j.columns[dx];
      const int t = bayer[dx & 7];
      const int r = j.tone[p[j.r]], g = j.tone[p[j.g]], b = j.tone[p[j.b]];
      const int rl = std::min(7, r / 32 + (t < (r % 32) * 2 ? 1 : 0));
      const int gl = std::min(7, g / 32 + (t < (g % 32) * 2 ? 1 : 0));
      const int bl = std::min(3, b / 64 + ((b % 64) > t ? 1 : 0));
      dst[x] = static_cast<uint8_t>(rl * 32 + gl * 4 + bl);
    }
  }
}

// Surface bits for colour pictures on a screen of the given depth.
int colour_surface_bits(int screen_bits) { return screen_bits == 16 ? 16 : screen_bits > 8 ? 24 : 8; }

void fill_332(RGBQUAD* colours) {
  for (int i = 0; i < 256; ++i) colours[i] = quad((i / 32) * 255 / 7, ((i / 4) % 8) * 255 / 7, (i % 4) * 255 / 3);
}

// Byte offsets of red, green and blue in a source pixel of a colour type, and its size; false for
// types that cannot be shown (CMYK, deep samples).
bool colour_layout(const Bitmap& b, int channels[3], int* pixel_bytes) {
  struct Layout {
    uint16_t type;
    int bytes, r, g, b;
  };
  static constexpr Layout kLayouts[] = {
      {kPixRGB, 3, 0, 1, 2},  {kPixBGR, 3, 2, 1, 0},  {kPixRGBA, 4, 0, 1, 2},
      {kPixABGR, 4, 3, 2, 1}, {kPixBGRA, 4, 2, 1, 0}, {kPixARGB, 4, 1, 2, 3},
  };
  for (const Layout& l : kLayouts) {
    if (l.type != b.type) continue;
    if (b.bytes_per_pixel != l.bytes) return false;
    channels[0] = l.r, channels[1] = l.g, channels[2] = l.b;
    *pixel_bytes = l.bytes;
    return true;
  }
  return false;
}

}  // namespace

int screen_bits_per_pixel() { return GetOptions().depth; }

void screen_conv_start(int screen_bits) {
  if (screen_bits != 16 || g_dither555) return;
  std::unique_ptr<uint16_t[]> t(new (std::nothrow) uint16_t[3 * kDitherTableSize]);
  if (!t) return;  // pictures are then truncated, not dithered
  for (int pos = 0; pos < 16; ++pos) {
    const int threshold = kDither4x4[pos];
    for (int v = 0; v < 256; ++v) {
      // Round up where the dropped bits exceed the threshold, except where that would overflow.
      const int level = ((v & 7) > threshold && v < 248) ? (v + 8) / 8 : v / 8;
      const int i = pos * 256 + v;
      t[i] = static_cast<uint16_t>(level << 10);
      t[kDitherTableSize + i] = static_cast<uint16_t>(level << 5);
      t[2 * kDitherTableSize + i] = static_cast<uint16_t>(level);
    }
  }
  g_dither555 = std::move(t);
}

void screen_conv_stop() { g_dither555.reset(); }

ScreenImage::~ScreenImage() {
  free_surface();
  free_palette();
}

void ScreenImage::free_surface() {
  if (surface_) DeleteObject(surface_);
  surface_ = nullptr;
  bits_ = nullptr;
  top_row_ = nullptr;
  stride_ = 0;
}

void ScreenImage::free_palette() {
  if (palette_) DeleteObject(palette_);
  palette_ = nullptr;
}

bool ScreenImage::make_surface(int bits, const RGBQUAD* colours, int colour_count) {
  free_surface();
  dib_ = DibInfo{};
  BITMAPINFOHEADER& h = dib_.header;
  h.biWidth = surface_width_;
  h.biHeight = surface_height_;  // positive: bottom-up rows
  h.biBitCount = static_cast<WORD>(bits);
  if (bits == 16) {
    // 5-5-5 in 16 bits: red 10..14, green 5..9, blue 0..4.
    const DWORD masks[3] = {0x7C00, 0x03E0, 0x001F};
    h.biCompression = BI_BITFIELDS;
    std::memcpy(dib_.colours, masks, sizeof masks);
  } else if (bits <= 8) {
    h.biClrUsed = static_cast<DWORD>(colour_count);
    std::copy(colours, colours + colour_count, dib_.colours);
  }
  if (surface_width_ <= 0 || surface_height_ <= 0) return false;
  void* p = nullptr;
  surface_ = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&dib_), DIB_RGB_COLORS, &p, nullptr, 0);
  if (!surface_ || !p) {
    surface_ = nullptr;
    return false;
  }
  bits_ = static_cast<uint8_t*>(p);
  stride_ = ((surface_width_ * bits + 31) / 32) * 4;
  top_row_ = bits_ + static_cast<size_t>(surface_height_ - 1) * static_cast<size_t>(stride_);
  return true;
}

bool ScreenImage::init(int surface_width, int surface_height, int screen_bits) {
  surface_width_ = surface_width;
  surface_height_ = surface_height;
  screen_bits_ = screen_bits;
  dither_ = true;
  tone_active_ = false;
  converter_ = plain_copy_ = nullptr;
  RGBQUAD cube[256];
  fill_332(cube);
  return make_surface(colour_surface_bits(screen_bits), cube, 256);
}

bool ScreenImage::make_tables(const Bitmap& picture, int display_width, int display_height) {
  if (display_width <= 0 || display_height <= 0 || display_width > kMaxDisplaySide || display_height > kMaxDisplaySide)
    return false;
  try {
    rows_.resize(static_cast<size_t>(display_height));
    columns_.resize(static_cast<size_t>(display_width));
  } catch (const std::bad_alloc&) {
    rows_.clear();
    columns_.clear();
    return false;
  }
  const uint64_t sw = static_cast<uint64_t>(picture.width), sh = static_cast<uint64_t>(picture.height);
  const bool bottom_up = picture.orientation & kOrientBottomUp;
  const bool mirrored = picture.orientation & kOrientMirrored;
  const uint32_t unit = picture.type == kPixBilevel ? 1u : picture.bytes_per_pixel;
  // Nearest pixel: display column x shows source column (source width x x) / display width.
  for (int y = 0; y < display_height; ++y) {
    uint64_t sy = sh * static_cast<uint64_t>(y) / static_cast<uint64_t>(display_height);
    if (bottom_up) sy = sh - 1 - sy;
    rows_[static_cast<size_t>(y)] = bitmap_row(&picture, static_cast<int32_t>(sy));
  }
  for (int x = 0; x < display_width; ++x) {
    uint64_t sx = sw * static_cast<uint64_t>(x) / static_cast<uint64_t>(display_width);
    if (mirrored) sx = sw - 1 - sx;
    columns_[static_cast<size_t>(x)] = static_cast<uint32_t>(sx) * unit;
  }
  display_width_ = display_width;
  display_height_ = display_height;
  source_width_ = picture.width;
  source_height_ = picture.height;
  return true;
}

bool ScreenImage::build(const Bitmap& picture, int display_width, int display_height, unsigned flags) {
  converter_ = plain_copy_ = nullptr;
  rows_.clear();
  columns_.clear();
  display_width_ = display_height_ = 0;
  if (!picture.pixels || picture.width <= 0 || picture.height <= 0) return false;
  const uint32_t row_bytes = bitmap_row_bytes(picture.type, picture.width, picture.bytes_per_pixel);
  if (row_bytes == 0 || picture.bytes_per_line < row_bytes) return false;

  const bool bilevel = picture.type == kPixBilevel;
  const bool levels = picture.type == kPixGrey || picture.type == kPixIndexed;
  if (levels && picture.bytes_per_pixel != 1) return false;  // deep grey is not shown
  source_pixel_bytes_ = 1;
  if (!bilevel && !levels && !colour_layout(picture, channels_, &source_pixel_bytes_)) return false;

  // The surface: one of the picture's own colours for 1-sample pictures, the screen's depth for
  // colour ones (kept from the previous picture when it already has it).
  RGBQUAD colours[256];
  int colour_count = 0, bits = 0;
  if (bilevel) {
    bits = 1, colour_count = 2;
    colours[0] = quad(0, 0, 0), colours[1] = quad(255, 255, 255);
  } else if (levels) {
    bits = 8, colour_count = 256;
    std::fill(colours, colours + 256, RGBQUAD{});
    if (picture.palette) {
      for (int i = 0; i < 256; ++i)
        colours[i] = quad(picture.palette[kPalR + i], picture.palette[kPalG + i], picture.palette[kPalB + i]);
    } else {
      // Grey levels 0 .. colors-1, spread over 0 .. 255.
      const int n = picture.colors >= 2 && picture.colors <= 256 ? picture.colors : 256;
      for (int i = 0; i < n; ++i) colours[i] = quad(i * 255 / (n - 1), i * 255 / (n - 1), i * 255 / (n - 1));
    }
  } else {
    bits = colour_surface_bits(screen_bits_);
    if (bits == 8) fill_332(colours), colour_count = 256;
  }
  const bool keep = !bilevel && !levels && surface_ && surface_bits() == bits && bits > 8;
  if (!keep && !make_surface(bits, colours, colour_count)) return false;
  if (!make_tables(picture, display_width, display_height)) return false;

  if (bits > 8)
    free_palette();  // true-colour surfaces need none
  else if (flags & kBuildPalette)
    make_palette();

  // Palette indexes are not levels: a tone table leaves them, as applying it to the picture does.
  tone_applies_ = !bilevel && !(levels && picture.palette);
  const bool unscaled = display_width == picture.width && display_height == picture.height &&
                        !(picture.orientation & kOrientMirrored);
  if (bilevel) {
    converter_ = convert_bilevel;
  } else if (levels) {
    converter_ = convert_bytes;
    if (unscaled) plain_copy_ = copy_rows;
  } else if (bits == 8) {
    converter_ = convert_332;
  } else if (bits == 16) {
    converter_ = dither_ && g_dither555 ? convert_555_dither : convert_555;
  } else {
    converter_ = convert_bgr24;
    if (unscaled && picture.type == kPixBGR) plain_copy_ = copy_rows;
  }
  return true;
}

void ScreenImage::make_palette() {
  free_palette();
  const int n = dib_.header.biBitCount == 1 ? 2 : 256;
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * static_cast<size_t>(n));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(n);
  for (int i = 0; i < n; ++i) {
    PALETTEENTRY& e = lp->palPalEntry[i];
    e.peRed = dib_.colours[i].rgbRed, e.peGreen = dib_.colours[i].rgbGreen, e.peBlue = dib_.colours[i].rgbBlue;
    e.peFlags = 0;
  }
  palette_ = CreatePalette(lp);
}

void ScreenImage::set_tone_table(const uint8_t* table) {
  tone_active_ = table != nullptr;
  if (table) std::copy(table, table + 256, tone_.begin());
}

void ScreenImage::convert(int x0, int y0, int width, int height) {
  if (!surface_ || !converter_ || rows_.empty()) return;
  if (x0 < 0) width += x0, x0 = 0;
  if (y0 < 0) height += y0, y0 = 0;
  width = std::min({width, display_width_ - x0, surface_width_});
  height = std::min({height, display_height_ - y0, surface_height_});
  if (width <= 0 || height <= 0) return;
  const bool tone = tone_active_ && tone_applies_;
  Converter fn = plain_copy_ && !tone ? plain_copy_ : converter_;
  // The 5-5-5 choice follows the dither switch and the tables present now.
  if (fn == convert_555_dither || fn == convert_555) fn = dither_ && g_dither555 ? convert_555_dither : convert_555;
  Job job{rows_.data(), columns_.data(), x0, y0, width, height, top_row_, -static_cast<ptrdiff_t>(stride_),
          tone ? tone_.data() : kIdentity.data(), channels_[0], channels_[1], channels_[2], source_pixel_bytes_,
          g_dither555.get()};
  fn(job);
}

void ScreenImage::draw(HDC dc, int x, int y, const RECT& paint) {
  if (!surface_ || !converter_) return;
  const RECT shown{std::max<LONG>(x, paint.left), std::max<LONG>(y, paint.top),
                   std::min<LONG>(x + display_width_, paint.right), std::min<LONG>(y + display_height_, paint.bottom)};
  if (shown.right <= shown.left || shown.bottom <= shown.top) return;
  const int width = std::min<int>(shown.right - shown.left, surface_width_);
  const int height = std::min<int>(shown.bottom - shown.top, surface_height_);
  convert(shown.left - x, shown.top - y, width, height);

  HDC mem = CreateCompatibleDC(dc);
  if (!mem) return;
  HGDIOBJ old_bitmap = SelectObject(mem, surface_);
  HPALETTE old_palette = palette_ ? SelectPalette(dc, palette_, FALSE) : nullptr;
  if (palette_) RealizePalette(dc);
  BitBlt(dc, shown.left, shown.top, width, height, mem, 0, 0, SRCCOPY);
  if (old_palette) SelectPalette(dc, old_palette, FALSE);
  SelectObject(mem, old_bitmap);
  DeleteDC(mem);
}

HBITMAP ScreenImage::detach(void** bits) {
  HBITMAP h = surface_;
  if (bits) *bits = bits_;
  surface_ = nullptr;
  bits_ = nullptr;
  top_row_ = nullptr;
  stride_ = 0;
  converter_ = plain_copy_ = nullptr;
  return h;
}

HBITMAP ScreenImage::make_screen_bitmap(const Bitmap& picture, int width, int height, void** bits, int screen_bits) {
  if (bits) *bits = nullptr;
  ScreenImage image;
  image.surface_width_ = width;
  image.surface_height_ = height;
  image.screen_bits_ = screen_bits;
  if (width <= 0 || height <= 0 || !image.build(picture, width, height, kBuildPalette)) return nullptr;
  image.convert(0, 0, width, height);
  return image.detach(bits);
}

}  // namespace lumora::app
