// The X11 colour names known to the pixmap reader (a subset of the X Window System's rgb.txt):
// the basic colours and the two grey ramps "gray0" to "gray100" and "grey0" to "grey100".
#include <array>
#include <cstring>

#include "imagelib/codecs/x11/x11.h"

namespace lumora {

namespace {

constexpr X11Color kBasic[] = {
    {"None", 255, 255, 255},  {"black", 0, 0, 0},     {"blue", 0, 0, 255},
    {"brown", 165, 42, 42},   {"cyan", 0, 255, 255},  {"gold", 255, 215, 0},
    {"gray", 190, 190, 190},  {"green", 0, 255, 0},   {"magenta", 255, 0, 255},
    {"red", 255, 0, 0},       {"white", 255, 255, 255}, {"yellow", 255, 255, 0},
};
constexpr int kBasicCount = sizeof kBasic / sizeof kBasic[0];
constexpr int kRampSteps = 101;   // 0 to 100 percent

// Grey level of n percent as rgb.txt has it: n x 255 / 100 rounded half up, except the two
// entries whose rgb.txt values are rounded down.
constexpr uint8_t ramp_level(int n) {
  if (n == 50) return 127;
  if (n == 90) return 229;
  return static_cast<uint8_t>((n * 255 * 2 + 100) / 200);
}

constexpr X11Color ramp_row(const char* prefix, int n) {
  X11Color c{};
  int i = 0;
  for (; prefix[i]; ++i) c.name[i] = prefix[i];
  if (n >= 100) c.name[i++] = '1';
  if (n >= 10) c.name[i++] = static_cast<char>('0' + (n / 10) % 10);
  c.name[i++] = static_cast<char>('0' + n % 10);
  c.red = c.green = c.blue = ramp_level(n);
  return c;
}

constexpr std::array<X11Color, kX11ColorCount + 1> build_table() {
  std::array<X11Color, kX11ColorCount + 1> t{};
  int k = 0;
  for (const X11Color& c : kBasic) t[k++] = c;
  for (int n = 0; n < kRampSteps; ++n) t[k++] = ramp_row("gray", n);
  for (int n = 0; n < kRampSteps; ++n) t[k++] = ramp_row("grey", n);
  return t;   // the last row stays empty: the end mark
}

static_assert(kBasicCount + 2 * kRampSteps == kX11ColorCount);
constexpr std::array<X11Color, kX11ColorCount + 1> kTable = build_table();

}  // namespace

const X11Color* x11_color_table() { return kTable.data(); }

const X11Color* x11_color_find(const char* name) {
  for (const X11Color* c = kTable.data(); c->name[0]; ++c)
    if (std::strcmp(c->name, name) == 0) return c;
  return nullptr;
}

}  // namespace lumora
