// CIE L*a*b* and ink (CMYK) pictures to red, green, blue at the end of a load.
#include "imagelib/core/colorspace.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imagelib/core/convert.h"
#include "imagelib/core/status.h"

namespace lumora {
namespace {

struct WhitePoint {
  double x, y, z;
};
constexpr WhitePoint kD50{0.9643, 1.0, 0.8251};
constexpr WhitePoint kD65{0.9505, 1.0, 1.089};

// XYZ to linear RGB. D50: the Bradford-adapted sRGB matrix; D65: IEC 61966-2-1.
constexpr double kToRgbD50[3][3] = {
    {3.13386467802206, -1.61708787738292, -0.49070460774676},
    {-0.97846928415465, 1.91605177261501, 0.03346568837626},
    {0.07197299083166, -0.22908945441861, 1.40536182567307}};
constexpr double kToRgbD65[3][3] = {
    {3.24062547732005, -1.53720797221032, -0.49862859869825},
    {-0.96893071472932, 1.87575606088524, 0.04151752384295},
    {0.05571012044551, -0.20402105059849, 1.05699594225439}};

// The inverse of the CIE f() for x and z: cube above 6/29, linear segment below.
inline double finv(double f) {
  return f > 0.20689655172413793 ? f * f * f : (f - 16.0 / 116.0) * 0.12841855030312424;
}

inline double clamp02(double v) { return v < 0.0 ? 0.0 : (v > 2.0 ? 2.0 : v); }

inline uint8_t encode(double linear, const uint8_t table[256]) {
  const double i = std::floor(linear * 255.0 + 0.5);
  if (i > 255.0) return 255;
  if (i < 0.0) return 0;
  return table[static_cast<int>(i)];
}

// Result layout: 3 bytes per pixel, blue-green-red for component orders 1 and 2.
struct Target {
  uint16_t type;
  bool bgr;
};

Target target_for(int component_order) {
  const bool bgr = component_order == 1 || component_order == 2;
  return {bgr ? kPixBGR : kPixRGB, bgr};
}

}  // namespace

bool colorspace_layout_needs_conversion(uint32_t layout) {
  return (layout & kLayoutSpecialMask) != 0;
}

void lab_gamma_table(uint8_t table[256]) {
  for (int i = 0; i < 256; ++i) {
    const double t = i / 256.0;
    const double v = t < 0.00303951367781155 ? t * 3295.395483970642
                                             : (1.055 * std::pow(t, 1.0 / 2.4) - 0.055) * 255.0;
    const double r = std::floor(v + 0.5);
    table[i] = static_cast<uint8_t>(r > 255.0 ? 255.0 : (r < 0.0 ? 0.0 : r));
  }
}

void lab_to_rgb(const uint8_t lab[3], uint32_t layout, const uint8_t table[256], uint8_t rgb[3]) {
  const bool is_signed = layout & (kLayoutLabSignedD50 | kLayoutLabSignedD65);
  const bool d50 = layout & (kLayoutLabD50 | kLayoutLabSignedD50);
  const WhitePoint& wp = d50 ? kD50 : kD65;
  const double(&m)[3][3] = d50 ? kToRgbD50 : kToRgbD65;

  const double l = lab[0] * 100.0 / 255.0;
  const double a = is_signed ? static_cast<int8_t>(lab[1]) : lab[1] - 128.0;
  const double b = is_signed ? static_cast<int8_t>(lab[2]) : lab[2] - 128.0;
  double fy, yr;
  if (l > 8.0) {
    fy = (l + 16.0) / 116.0;
    yr = fy * fy * fy;
  } else {
    yr = l * 0.0011070564482319617;
    fy = 7.787036979 * yr + 16.0 / 116.0;
  }
  const double xr = finv(fy + a * 0.002);
  const double zr = finv(fy - b * 0.005);
  const double x = clamp02(xr) * wp.x, y = clamp02(yr) * wp.y, z = clamp02(zr) * wp.z;
  for (int k = 0; k < 3; ++k) rgb[k] = encode(m[k][0] * x + m[k][1] * y + m[k][2] * z, table);
}

int colorspace_convert(Bitmap* bitmap, uint32_t layout, int component_order, int alignment) {
  const int bpp = bitmap->bytes_per_pixel;
  if (!bitmap->pixels || (bpp != 3 && bpp != 4) || bitmap->width < 1 || bitmap->height < 1 ||
      bitmap->bits_per_sample > 8) {
    return kStatusBadArguments;
  }
  const size_t w = static_cast<size_t>(bitmap->width);
  const size_t h = static_cast<size_t>(bitmap->height);
  const size_t old_bpl = bitmap->bytes_per_line;
  if (old_bpl < w * static_cast<size_t>(bpp)) return kStatusBadArguments;

  // Ink values kept as type 1024: only the inversion, in place.
  if (bitmap->type == kPixCMYK) {
    if (layout & kLayoutInkInverted) {
      for (size_t y = 0; y < h; ++y) {
        uint8_t* row = bitmap->pixels + y * old_bpl;
        for (size_t i = 0; i < w * 4; ++i) row[i] = static_cast<uint8_t>(255 - row[i]);
      }
    }
    return 0;
  }

  const size_t align = alignment < 1 ? 1 : static_cast<size_t>(alignment);
  const size_t new_bpl = (w * 3 + align - 1) / align * align;
  // The new rows are never longer than the old ones unless the alignment grew; then the result
  // goes to a fresh buffer instead of overrunning the old one.
  uint8_t* out = bitmap->pixels;
  if (new_bpl > old_bpl) {
    if (h > SIZE_MAX / new_bpl) return kStatusNoMemory;
    out = static_cast<uint8_t*>(std::calloc(h, new_bpl));
    if (!out) return kStatusNoMemory;
  }
  const Target target = target_for(component_order);
  uint8_t table[256];
  const bool lab = (layout & kLayoutInkMask) == 0;
  if (lab) lab_gamma_table(table);

  // Rows in increasing order, pixels left to right: every write lands at or before the bytes
  // still to be read, and each pixel is read completely before its result is stored.
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* src = bitmap->pixels + y * old_bpl;
    uint8_t* dst = out + y * new_bpl;
    for (size_t x = 0; x < w; ++x) {
      uint8_t s[4] = {0, 0, 0, 0};
      std::memcpy(s, src + x * static_cast<size_t>(bpp), static_cast<size_t>(bpp));
      uint8_t rgb[3];
      if (lab) {
        lab_to_rgb(s, layout, table, rgb);
      } else if (bpp == 4 && (layout & kLayoutInkInverted)) {
        // Inks stored as 255 - ink: red = (255 - cyan) x (255 - black) / 255.
        for (int k = 0; k < 3; ++k) rgb[k] = static_cast<uint8_t>(s[k] * s[3] / 255u);
      } else if (bpp == 4) {
        const unsigned k = 255u - s[3];
        for (int c = 0; c < 3; ++c) rgb[c] = static_cast<uint8_t>((255u - s[c]) * k / 255u);
      } else if (layout & kLayoutInkInverted) {
        // Three inverted inks are already the colour values.
        std::memcpy(rgb, s, 3);
      } else {
        for (int c = 0; c < 3; ++c) rgb[c] = static_cast<uint8_t>(255 - s[c]);
      }
      uint8_t* d = dst + x * 3;
      d[0] = target.bgr ? rgb[2] : rgb[0];
      d[1] = rgb[1];
      d[2] = target.bgr ? rgb[0] : rgb[2];
    }
    if (out == bitmap->pixels && new_bpl > w * 3) std::memset(dst + w * 3, 0, new_bpl - w * 3);
  }
  if (out != bitmap->pixels) {
    std::free(bitmap->pixels);
    bitmap->pixels = out;
  }
  bitmap->type = target.type;
  bitmap->bytes_per_line = static_cast<uint32_t>(new_bpl);
  bitmap->bytes_per_pixel = 3;
  bitmap->samples_per_pixel = 3;
  bitmap->bits_per_sample = 8;
  bitmap->alignment = static_cast<uint16_t>(align);
  bitmap->colors = 0;
  return 0;
}

}  // namespace lumora
