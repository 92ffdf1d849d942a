#pragma once
// Conversion of library pictures to the screen: nearest-pixel scaling through row and column
// tables, and conversion into a device-independent surface of the screen's pixel format
// (ordered dithering to 5-5-5 on 16-bit screens, three bytes per pixel on deeper ones).
// Only the part of the picture that a paint shows is ever converted.
#include <array>
#include <cstdint>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "platform/gdi/gdi.h"

namespace lumora::app {

// Bits per pixel of the screen (16 or 24 on this platform).
int screen_bits_per_pixel();

// The process-wide 5-5-5 dither tables: built once at start-up when the screen has 16 bits per
// pixel, freed at exit. Pictures converted while they are absent are truncated to 5-5-5.
void screen_conv_start(int screen_bits = screen_bits_per_pixel());
void screen_conv_stop();

// build() flag: make the surface's logical palette again (a new picture, not a new zoom).
inline constexpr unsigned kBuildPalette = 0x2;

// One drawing surface and what converts a picture into it: the picture window keeps one for the
// screen; a temporary one makes each screen bitmap.
class ScreenImage {
 public:
  ScreenImage() = default;
  ~ScreenImage();
  ScreenImage(const ScreenImage&) = delete;
  ScreenImage& operator=(const ScreenImage&) = delete;

  // Sets the surface size (the screen's, for a picture window) and creates a surface of the
  // screen's depth without picture. False when the surface cannot be created.
  bool init(int surface_width, int surface_height, int screen_bits = screen_bits_per_pixel());

  // Prepares the surface, the scaling tables, the palette and the converter for picture shown at
  // display_width x display_height. The picture is read at every draw: it must stay alive and
  // unchanged until the next build or the end of this object. False (nothing is drawn then)
  // for pictures it cannot show or when the surface cannot be created.
  bool build(const Bitmap& picture, int display_width, int display_height, unsigned flags = 0);

  // Converts the part of the display rectangle placed at (x, y) that lies in paint, and copies it
  // 1:1 to dc. At most a surface's worth is converted per call.
  void draw(plat::HDC dc, int x, int y, const plat::RECT& paint);
  // Converts the display rectangle (x0, y0, width, height), clipped to the display and the
  // surface size, into the surface's top-left corner.
  void convert(int x0, int y0, int width, int height);

  // While a table is set every colour byte (and every grey level) passes through it before
  // conversion; null switches it off. The table is copied.
  void set_tone_table(const uint8_t* table);
  // Ordered dithering where the surface has fewer colours than the picture (on by default).
  void set_dither(bool on) { dither_ = on; }

  // Hands the surface to the caller (who deletes it with DeleteObject); *bits receives its pixels.
  plat::HBITMAP detach(void** bits);

  // A whole picture converted once into a new width x height surface (thumbnails, slideshow);
  // null when it cannot be made.
  static plat::HBITMAP make_screen_bitmap(const Bitmap& picture, int width, int height, void** bits,
                                    int screen_bits = screen_bits_per_pixel());

  plat::HBITMAP surface() const { return surface_; }
  int surface_bits() const { return dib_.header.biBitCount; }
  int surface_width() const { return surface_width_; }
  int surface_height() const { return surface_height_; }
  // Bytes per surface row, and the surface's top row (rows lie bottom-up in memory, so the next
  // row down is one stride lower).
  int stride() const { return stride_; }
  uint8_t* top_row() const { return top_row_; }
  const plat::RGBQUAD* colour_table() const { return dib_.colours; }
  int display_width() const { return display_width_; }
  int display_height() const { return display_height_; }
  // Byte offset of the source pixel of each display column (the source column of 1-bit pictures).
  const std::vector<uint32_t>& column_table() const { return columns_; }

  // The arguments of one conversion (public so that the converter functions can take it).
  struct Job;
  using Converter = void (*)(const Job&);

 private:
  bool make_surface(int bits, const plat::RGBQUAD* colours, int colour_count);
  void free_surface();
  void free_palette();
  void make_palette();
  bool make_tables(const Bitmap& picture, int display_width, int display_height);

  // Device-independent bitmap header with room for 256 colours (or three bit-field masks).
  struct DibInfo {
    plat::BITMAPINFOHEADER header;
    plat::RGBQUAD colours[256];
  };

  std::vector<const uint8_t*> rows_;  // source row of each display row
  std::vector<uint32_t> columns_;
  int display_width_ = 0, display_height_ = 0;
  int source_width_ = 0, source_height_ = 0;
  bool dither_ = true;
  int screen_bits_ = 16;
  DibInfo dib_{};
  int surface_width_ = 0, surface_height_ = 0;
  plat::HBITMAP surface_ = nullptr;
  uint8_t* bits_ = nullptr;
  int stride_ = 0;
  uint8_t* top_row_ = nullptr;
  plat::HPALETTE palette_ = nullptr;
  Converter converter_ = nullptr;
  Converter plain_copy_ = nullptr;  // a copy of whole rows when no scaling and no tone apply
  int channels_[3] = {2, 1, 0};     // byte offsets of red, green and blue within a source pixel
  int source_pixel_bytes_ = 0;
  bool tone_active_ = false;
  bool tone_applies_ = false;       // colour and grey pictures; palette indexes are no levels
  std::array<uint8_t, 256> tone_{};
};

}  // namespace lumora::app
