#include "tools/lumora-img/convert_ops.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "imagelib/core/status.h"
#include "imagelib/ops/color_reduce.h"
#include "imagelib/ops/resample.h"
#include "imagelib/ops/rotate.h"
#include "imagelib/ops/tone.h"
#include "tools/lumora-img/cli_common.h"

namespace cli {
namespace {

bool bad_value(const char* option, const char* value, const char* expected) {
  usage_error(std::string("convert: bad value '") + value + "' for " + option + " (expected " +
              expected + ")");
  return false;
}

// "B,C,G": two whole numbers and a decimal number.
bool parse_tone(const char* text, ToneSettings* tone) {
  const char* comma1 = std::strchr(text, ',');
  if (!comma1) return false;
  const char* comma2 = std::strchr(comma1 + 1, ',');
  if (!comma2) return false;
  const std::string b(text, comma1), c(comma1 + 1, comma2);
  const auto brightness = parse_long(b.c_str(), lumora::kToneMin, lumora::kToneMax);
  const auto contrast = parse_long(c.c_str(), lumora::kToneMin, lumora::kToneMax);
  char* end = nullptr;
  const double gamma = std::strtod(comma2 + 1, &end);
  if (!brightness || !contrast || end == comma2 + 1 || *end || !(gamma >= 0.1 && gamma <= 10.0))
    return false;
  *tone = ToneSettings{static_cast<int>(*brightness), static_cast<int>(*contrast), gamma};
  return true;
}

// The Save as flow's conversion for a colour mode: the code, or 0 when the picture already fits.
int code_for_mode(const lumora::Bitmap* p, ColorMode mode) {
  switch (mode) {
    case ColorMode::kBlackWhite:
      return p->type == lumora::kPixBilevel ? 0 : lumora::kConvertBlackWhite;
    case ColorMode::kColors16:
      return p->type == lumora::kPixIndexed && p->colors == 16 ? 0 : lumora::kConvertPalette16;
    case ColorMode::kColors256:
      return p->type == lumora::kPixIndexed && p->colors == 256 ? 0 : lumora::kConvertPalette256;
    case ColorMode::kTrueColor:
      return p->bytes_per_pixel >= 2 ? 0 : lumora::kConvertRGB;
  }
  return 0;
}

int method_for_code(int code) {
  switch (code) {
    case lumora::kConvertBlackWhite: return lumora::kMethodErrorDiffusion;
    case lumora::kConvertPalette16:
    case lumora::kConvertPalette256: return lumora::kMethodMedianCut;
    default: return lumora::kMethodCopy;
  }
}

// As the picture window does it: pictures of fewer than 3 bytes per pixel become blue, green,
// red colour first, then every pixel byte goes through the table.
int apply_tone(lumora::Bitmap* p, const ToneSettings& t) {
  if (p->bytes_per_pixel < 3) {
    const int st = lumora::bitmap_convert(p, nullptr, lumora::kConvertBGR, lumora::kMethodCopy);
    if (st != lumora::kStatusOk) return st;
  }
  uint8_t table[256];
  lumora::tone_table(table, t.brightness, t.contrast, t.gamma);
  return lumora::bitmap_apply_tone(p, table);
}

}  // namespace

const char kImageOpsHelp[] =
    "  --resize WxH         resize smoothly to W x H pixels\n"
    "  --rotate DEG         turn by -90, 90 or 180 degrees (clockwise positive)\n"
    "  --tone B,C,G         brightness and contrast (-128..128) and gamma (1.0 neutral)\n"
    "  --colors MODE        bw (error diffusion), 16 or 256 (palette), 24 (3-byte colour)\n";

bool is_image_op(const char* option) {
  return !std::strcmp(option, "--resize") || !std::strcmp(option, "--rotate") ||
         !std::strcmp(option, "--tone") || !std::strcmp(option, "--colors");
}

bool parse_image_op(const char* option, const char* value, ImageOps* ops) {
  if (!std::strcmp(option, "--resize")) {
    if (!parse_size(value, &ops->resize_width, &ops->resize_height))
      return bad_value(option, value, "WxH");
  } else if (!std::strcmp(option, "--rotate")) {
    const auto deg = parse_long(value, -270, 270);
    if (!deg || *deg % 90 != 0) return bad_value(option, value, "-90, 90 or 180");
    ops->rotate = static_cast<int>(*deg);
  } else if (!std::strcmp(option, "--tone")) {
    ToneSettings t;
    if (!parse_tone(value, &t)) return bad_value(option, value, "B,C,G such as 10,-20,1.5");
    ops->tone = t;
  } else if (!std::strcmp(option, "--colors")) {
    if (!std::strcmp(value, "bw"))
      ops->colors = ColorMode::kBlackWhite;
    else if (!std::strcmp(value, "16"))
      ops->colors = ColorMode::kColors16;
    else if (!std::strcmp(value, "256"))
      ops->colors = ColorMode::kColors256;
    else if (!std::strcmp(value, "24"))
      ops->colors = ColorMode::kTrueColor;
    else
      return bad_value(option, value, "bw, 16, 256 or 24");
  } else {
    return bad_value(option, value, "a picture operation");
  }
  return true;
}

int apply_image_ops(lumora::Bitmap* p, const ImageOps& ops) {
  int st = lumora::kStatusOk;
  if (ops.resize_width > 0 && ops.resize_height > 0)
    st = lumora::resample_smooth(p, nullptr, ops.resize_width, ops.resize_height,
                                 lumora::kResampleSmooth);
  if (st == lumora::kStatusOk && ops.rotate) st = lumora::bitmap_rotate(p, nullptr, *ops.rotate);
  if (st == lumora::kStatusOk && ops.tone) st = apply_tone(p, *ops.tone);
  if (st == lumora::kStatusOk && ops.colors) {
    const int code = code_for_mode(p, *ops.colors);
    if (code) st = lumora::bitmap_convert(p, nullptr, code, method_for_code(code));
  }
  return st;
}

}  // namespace cli
