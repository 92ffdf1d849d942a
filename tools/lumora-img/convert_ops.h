#pragma once
// The picture operations of `lumora-img convert`: --resize, --rotate, --tone and --colors,
// applied in that order between loading and saving.
#include <optional>

#include "imagelib/core/bitmap.h"

namespace cli {

// The colour modes of the Save as flow.
enum class ColorMode { kBlackWhite = 0, kColors16 = 1, kColors256 = 2, kTrueColor = 3 };

struct ToneSettings {
  int brightness = 0;  // −128..128
  int contrast = 0;    // −128..128
  double gamma = 1.0;  // above 0; 1.0 neutral
};

struct ImageOps {
  int resize_width = 0;  // 0: no resize
  int resize_height = 0;
  std::optional<int> rotate;  // degrees, a multiple of 90 from −270 to 270
  std::optional<ToneSettings> tone;
  std::optional<ColorMode> colors;
};

// Usage text for the four options, one line each, for the command's --help.
extern const char kImageOpsHelp[];

// True for the options handled here (each takes one value).
bool is_image_op(const char* option);
// Stores the option's value in `ops`. False, with a usage message printed, for a bad value.
bool parse_image_op(const char* option, const char* value, ImageOps* ops);

// Applies the operations to `picture` in the order resize, rotate, tone, colours, replacing it.
// Returns a library status (0 on success); the picture is then left as the failing step found it.
int apply_image_ops(lumora::Bitmap* picture, const ImageOps& ops);

}  // namespace cli
