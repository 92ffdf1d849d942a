#pragma once
// The program's options, kept under HKEY_CURRENT_USER "Software\Lumora": read once at start-up,
// changed in memory by the menus and the Options dialog, written back when the main window closes.
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace lumora::app {

using namespace lumora::plat;

// The registry functions shared by the settings, the language name and the associations. subkey
// null means the key itself; otherwise "Software\Lumora\<subkey>". A missing key or value, or a
// value of another type, reads as the default.
uint32_t reg_read_number(const char* subkey, const char* name, uint32_t def);
void reg_write_number(const char* subkey, const char* name, uint32_t value);
std::string reg_read_string(const char* subkey, const char* name, const std::string& def);
void reg_write_string(const char* subkey, const char* name, const std::string& text);

// The Save as choices (not stored in the registry).
struct SaveOptions {
  int32_t format = 0;      // 0 JPEG, 1 BMP, 2 GIF, 3 PNG
  int32_t quality = 80;
  int32_t flags = 7;       // handed to the save parameters
  int32_t keep_exif = 1;
  int32_t color_mode = 3;  // 0 black and white, 1 16 colours, 2 256 colours, other 24 bits
};

class Settings {
 public:
  virtual ~Settings() = default;
  // Reads every value: a missing value or one of another type reads as the default, and a value
  // outside its range as the default too (ThumbSize 7 is normal size). The start folder is the
  // stored Path when it is an existing absolute folder other than "/"; otherwise (nothing stored,
  // the phone's root marker "\", "/", a folder that is gone) it is My Pictures.
  void load();
  // Writes every stored value; a value that cannot be written leaves a debug line.
  void save() const;

  std::string path;              // Path: start folder, ends with '/'
  uint32_t mode = 0;             // Mode: 0 thumbnails, 1 strip, 2 list, 3 details
  bool use_embedded = true;      // UseEmbedded
  bool high_quality = false;     // HighQuality
  bool show_filename = true;     // ShowFilename
  bool show_ext = true;          // ShowExt
  uint32_t thumb_size = 1;       // ThumbSize: 0 small, 1 normal, 2 large
  uint32_t sort_by = 0;          // SortBy: key in the low bits, 0x1000 descending
  uint32_t fit = 2;              // Fit: 1 fit to screen, 2 fill the screen
  uint32_t rotate = 1;           // Rotate: 0 none, 1 auto left, 2 auto right, 3 left, 4 right
  bool auto_r_only_full = true;  // AutoROnlyFull
  uint32_t resize_big_picture = 0;  // ResizeBigPicture: 0 off, 1..4 size limits
  bool no_bw_resize = true;      // NoBWResize
  uint32_t delay = 2;            // Delay: seconds between slideshow pictures
  bool use_transition = true;    // UseTransition
  bool exif_rotate = true;       // ExifRotate: follow the camera's Orientation tag
  uint32_t max_picture_mp = 64;  // MaxPictureMP: pixel budget of a shown picture, megapixels
  bool thumb_cache = true;       // ThumbCache: keep thumbnails in the shared cache
  SaveOptions save_options;
};

}  // namespace lumora::app
