// The program's options in the registry: HKEY_CURRENT_USER "Software\Lumora" (the platform keeps
// it as a JSON file in the configuration folder). Every value is checked on the way in, so the
// rest of the program can index its tables with them.
#include "app/shell/settings.h"

#include "app/shell/debug.h"

namespace lumora::app {

namespace {

constexpr const char* kKey = "Software\\Lumora";

// Longest start folder taken from the registry, in bytes (Linux PATH_MAX).
constexpr size_t kMaxPath = 4096;

std::string key_path(const char* subkey) {
  std::string k = kKey;
  if (subkey && *subkey) k += "\\" + std::string(subkey);
  return k;
}

// RAII for an open key: closed in every case.
struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};

// Where the browser starts when no usable folder is stored: My Pictures, with a trailing '/'.
std::string pictures_start() {
  std::string p = PicturesFolder();
  if (p.size() > 1 && p.back() != '/') p += '/';
  return p.empty() ? std::string("/") : p;
}

// The stored start folder, or My Pictures when it is a marker of the phone's root ("\..."), empty,
// the root itself, not absolute, too long, or no longer an existing folder.
std::string start_folder(const std::string& stored) {
  if (stored.empty() || stored[0] == '\\' || stored == "/" || stored[0] != '/' || stored.size() > kMaxPath ||
      stored.find('\0') != std::string::npos || !IsDirectory(stored))
    return pictures_start();
  return stored.back() == '/' ? stored : stored + '/';
}

}  // namespace

uint32_t reg_read_number(const char* subkey, const char* name, uint32_t def) {
  Key k;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, key_path(subkey), &k.h) != ERROR_SUCCESS) return def;
  DWORD type = REG_NONE, value = 0;
  if (RegQueryValueType(k.h, name, &type) != ERROR_SUCCESS || type != REG_DWORD) return def;
  if (RegQueryDword(k.h, name, &value) != ERROR_SUCCESS) return def;
  return value;
}

void reg_write_number(const char* subkey, const char* name, uint32_t value) {
  Key k;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, key_path(subkey), &k.h) != ERROR_SUCCESS ||
      RegSetDword(k.h, name, value) != ERROR_SUCCESS)
    debug_line("Pb : <%s> \n", name);
}

std::string reg_read_string(const char* subkey, const char* name, const std::string& def) {
  Key k;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, key_path(subkey), &k.h) != ERROR_SUCCESS) return def;
  DWORD type = REG_NONE;
  std::string value;
  if (RegQueryValueType(k.h, name, &type) != ERROR_SUCCESS || type != REG_SZ) return def;
  if (RegQueryString(k.h, name, &value) != ERROR_SUCCESS) return def;
  return value;
}

void reg_write_string(const char* subkey, const char* name, const std::string& text) {
  Key k;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, key_path(subkey), &k.h) != ERROR_SUCCESS ||
      RegSetString(k.h, name, text) != ERROR_SUCCESS)
    debug_line("Pb : <%s> \n", name);
}

void Settings::load() {
  path = start_folder(reg_read_string(nullptr, "Path", "\\"));

  auto number = [](const char* name, uint32_t def) { return reg_read_number(nullptr, name, def); };
  auto flag = [](const char* name, bool def) { return reg_read_number(nullptr, name, def ? 1 : 0) != 0; };

  mode = number("Mode", 0);
  if (mode > 3) mode = 0;  // any other view mode shows thumbnails
  use_embedded = flag("UseEmbedded", true);
  high_quality = flag("HighQuality", false);
  show_filename = flag("ShowFilename", true);
  show_ext = flag("ShowExt", true);
  thumb_size = number("ThumbSize", 1);
  if (thumb_size > 2) thumb_size = 1;  // any other size is normal, and is written back as such
  sort_by = number("SortBy", 0);
  // Sort key 0..4 in the low bits, 0x1000 for descending; other bits mean nothing.
  sort_by = ((sort_by & 0xFFF) > 4 ? 0 : (sort_by & 0xFFF)) | (sort_by & 0x1000);
  fit = number("Fit", 2);
  if (fit != 1 && fit != 2) fit = 2;
  rotate = number("Rotate", 1);
  if (rotate > 4) rotate = 1;
  auto_r_only_full = flag("AutoROnlyFull", true);
  resize_big_picture = number("ResizeBigPicture", 0);
  if (resize_big_picture > 4) resize_big_picture = 0;  // indexes the table of four size limits
  no_bw_resize = flag("NoBWResize", true);
  delay = number("Delay", 2);
  if (delay > 120) delay = 120;  // seconds; the Options dialog offers 0..120
  use_transition = flag("UseTransition", true);
  exif_rotate = flag("ExifRotate", true);
  max_picture_mp = number("MaxPictureMP", 64);
  if (max_picture_mp == 0 || max_picture_mp > 1024) max_picture_mp = 64;  // megapixels
  thumb_cache = flag("ThumbCache", true);

  save_options.format = 0;
  save_options.quality = 80;
  save_options.flags = 7;
  save_options.keep_exif = 1;
}

void Settings::save() const {
  reg_write_string(nullptr, "Path", path);
  auto number = [](const char* name, uint32_t v) { reg_write_number(nullptr, name, v); };
  auto flag = [](const char* name, bool v) { reg_write_number(nullptr, name, v ? 1 : 0); };
  number("Mode", mode);
  flag("HighQuality", high_quality);
  flag("UseEmbedded", use_embedded);
  flag("ShowFilename", show_filename);
  flag("ShowExt", show_ext);
  number("ThumbSize", thumb_size > 2 ? 1 : thumb_size);
  number("SortBy", sort_by);
  number("Fit", fit);
  number("Rotate", rotate);
  flag("AutoROnlyFull", auto_r_only_full);
  number("ResizeBigPicture", resize_big_picture);
  flag("NoBWResize", no_bw_resize);
  number("Delay", delay);
  flag("UseTransition", use_transition);
  flag("ExifRotate", exif_rotate);
  number("MaxPictureMP", max_picture_mp);
  flag("ThumbCache", thumb_cache);
}

}  // namespace lumora::app
