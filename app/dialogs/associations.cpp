#include "app/dialogs/associations.h"

#include <strings.h>
#include <unistd.h>

#include <climits>

#include "app/dialogs/mime_defaults.h"
#include "platform/registry/registry.h"

namespace lumora::app {

using namespace lumora::plat;

namespace {

// Rows with the check box ids of the page's template. PSD files have no reader in the library,
// so they are not offered: associating them would only send them to a program that cannot open
// them.
constexpr AssociationRow kRows[] = {
    {1034, "JPEG, JFIF", {"jpg", "jpeg", "jif", "jfif", "jpe"}, {"image/jpeg"}},
    {1035, "PNG", {"png"}, {"image/png"}},
    {1036, "BMP, 2BP", {"bmp", "rle", "2bp"}, {"image/bmp"}},
    {1037, "CompuServe GIF", {"gif"}, {"image/gif"}},
    {1038, "TIFF", {"tif", "tim", "tiff", "cfx", "tfx"}, {"image/tiff"}},
    {1043, "ICO", {"ico"}, {"image/vnd.microsoft.icon"}},
    {1039, "PCX", {"pcx", "pcc", "dcx"}, {"image/vnd.zbrush.pcx"}},
    {1040, "TARGA", {"tga", "targa"}, {"image/x-tga"}},
    {1041, "PBM, PGM, PPM, PNM", {"pbm", "pgm", "ppm", "pnm"},
     {"image/x-portable-bitmap", "image/x-portable-graymap", "image/x-portable-pixmap", "image/x-portable-anymap"}},
    {1042, "X11 XBM, XPM", {"xbm", "bm", "xpm", "pm"}, {"image/x-xbitmap", "image/x-xpixmap"}},
};

constexpr const char* kIconIndex = ",-134";  // the program icon, resource 134
constexpr const char* kBackupKey = "\\Lumora.bak";
constexpr const char* kMimeBackupKey = "Software\\Lumora\\MimeDefaults";

std::string ext_key(const std::string& ext) { return "." + ext; }
std::string prog_id(const std::string& ext) { return "Corvalin." + ext; }

// The default value of a key under a root; false when the key or a string value is missing.
bool default_string(HKEY root, const std::string& key, std::string* value) {
  HKEY k = nullptr;
  if (RegOpenKeyEx(root, key, &k) != ERROR_SUCCESS) return false;
  const bool ok = RegQueryString(k, "", value) == ERROR_SUCCESS;
  RegCloseKey(k);
  return ok;
}

bool key_exists(HKEY root, const std::string& key) {
  HKEY k = nullptr;
  if (RegOpenKeyEx(root, key, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void set_default_string(HKEY root, const std::string& key, const std::string& value) {
  HKEY k = nullptr;
  if (RegCreateKeyEx(root, key, &k) != ERROR_SUCCESS) return;
  RegSetString(k, "", value);
  RegCloseKey(k);
}

void associate_extension(const std::string& ext, const std::string& first_ext, const std::string& program) {
  const std::string id = prog_id(ext);
  set_default_string(HKEY_CLASSES_ROOT, id, first_ext);
  set_default_string(HKEY_CLASSES_ROOT, id + "\\shell\\open\\command", "\"" + program + "\" %1");
  set_default_string(HKEY_CLASSES_ROOT, id + "\\DefaultIcon", program + kIconIndex);
  HKEY k = nullptr;
  if (RegCreateKeyEx(HKEY_CLASSES_ROOT, ext_key(ext), &k) != ERROR_SUCCESS) return;
  std::string former;
  // Associating twice must not make the backup name ourselves.
  if (RegQueryString(k, "", &former) == ERROR_SUCCESS && strcasecmp(former.c_str(), id.c_str()) != 0)
    set_default_string(HKEY_CLASSES_ROOT, ext_key(ext) + kBackupKey, former);
  RegSetString(k, "", id);
  RegCloseKey(k);
}

void dissociate_extension(const std::string& ext) {
  HKEY k = nullptr;
  if (RegOpenKeyEx(HKEY_CLASSES_ROOT, ext_key(ext), &k) != ERROR_SUCCESS) return;
  std::string current, former;
  const bool ours = RegQueryString(k, "", &current) == ERROR_SUCCESS &&
                    strcasecmp(current.c_str(), prog_id(ext).c_str()) == 0;
  const bool backed_up = default_string(HKEY_CLASSES_ROOT, ext_key(ext) + kBackupKey, &former);
  // Only our own value is replaced: a program that took the extension since keeps it. Without a
  // former owner the extension is left without one rather than still naming us.
  if (ours && backed_up) RegSetString(k, "", former);
  else if (ours) RegDeleteValue(k, "");
  RegCloseKey(k);
  RegDeleteKey(HKEY_CLASSES_ROOT, ext_key(ext) + kBackupKey);
}

std::string mimeapps_text() {
  std::string text;
  read_text_file(mimeapps_path(), &text);
  return text;
}

// The default this program replaced for a type: false when it never replaced one.
bool mime_backup(const std::string& type, std::string* former) {
  HKEY k = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kMimeBackupKey, &k) != ERROR_SUCCESS) return false;
  const bool ok = RegQueryString(k, type, former) == ERROR_SUCCESS;
  RegCloseKey(k);
  return ok;
}

void set_mime_backup(const std::string& type, const std::string& former) {
  HKEY k = nullptr;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, kMimeBackupKey, &k) != ERROR_SUCCESS) return;
  RegSetString(k, type, former);
  RegCloseKey(k);
}

void drop_mime_backup(const std::string& type) {
  HKEY k = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kMimeBackupKey, &k) != ERROR_SUCCESS) return;
  RegDeleteValue(k, type);
  RegCloseKey(k);
}

// Sets or gives back the row's MIME defaults in one rewrite of mimeapps.list.
void apply_mime_defaults(const AssociationRow& row, bool on) {
  const std::string original = mimeapps_text();
  std::string text = original;
  for (const char* const* t = row.mime_types; t < std::end(row.mime_types) && *t; ++t) {
    const std::string type = *t;
    const std::string current = mimeapps_default(text, type);
    const bool ours = first_desktop_id(current) == kDesktopId;
    if (on && !ours) {
      set_mime_backup(type, current);  // "" when the type had no default of the user's own
      text = mimeapps_with_default(text, type, kDesktopId);
    } else if (!on) {
      std::string former;
      const bool backed_up = mime_backup(type, &former);
      if (ours) text = mimeapps_with_default(text, type, backed_up ? former : std::string());
      drop_mime_backup(type);
    }
  }
  if (text != original) write_file_atomically(mimeapps_path(), text);
}

}  // namespace

std::span<const AssociationRow> association_rows() { return kRows; }

std::string program_path() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

bool extension_associated(const std::string& ext) {
  std::string value;
  return default_string(HKEY_CLASSES_ROOT, ext_key(ext), &value) &&
         strcasecmp(value.c_str(), prog_id(ext).c_str()) == 0 && key_exists(HKEY_CLASSES_ROOT, prog_id(ext));
}

bool mime_type_associated(const std::string& type) {
  return first_desktop_id(mimeapps_default(mimeapps_text(), type)) == kDesktopId;
}

bool row_associated(const AssociationRow& row) {
  for (const char* const* e = row.extensions; e < std::end(row.extensions) && *e; ++e)
    if (!extension_associated(*e)) return false;
  const std::string text = mimeapps_text();
  for (const char* const* t = row.mime_types; t < std::end(row.mime_types) && *t; ++t)
    if (first_desktop_id(mimeapps_default(text, *t)) != kDesktopId) return false;
  return true;
}

void associate_row(const AssociationRow& row, bool on, const std::string& program) {
  for (const char* const* e = row.extensions; e < std::end(row.extensions) && *e; ++e) {
    if (on) associate_extension(*e, row.extensions[0], program);
    else dissociate_extension(*e);
  }
  apply_mime_defaults(row, on);
}

}  // namespace lumora::app
