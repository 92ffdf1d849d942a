// Language files. A file is UTF-8 text read line by line (at most 511 bytes of a line count; the
// rest of a longer line is dropped). The first line names the language ("Language = Deutsch");
// sections begin with a line "[Name]"; entries are "key = value" lines. Keys compare without
// regard to ASCII case; a value has its blanks trimmed, "\n" (backslash, n) becomes a line break,
// and a value of fewer than two characters is passed over. Lines starting with ';' are comments.
#include "app/shell/language.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "app/shell/strings.h"
#include "platform/base/utf8.h"

namespace lumora::app {

namespace {

constexpr size_t kLineBytes = 511;        // bytes of a line that count (a 512-byte buffer)
constexpr size_t kDisplayNameChars = 64;  // longest display name in the language list
constexpr size_t kMaxListEntries = 256;   // languages listed at most
constexpr int kMaxMenuItems = 255;        // positions looked at per menu
constexpr int kMaxMenuDepth = 8;          // submenu levels translated
constexpr long kUnknown = -1;             // section position not looked up yet
constexpr long kMissing = -2;             // the file has no such section

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && is_blank(s[b])) ++b;
  while (e > b && (is_blank(s[e - 1]) || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return std::string(s.substr(b, e - b));
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_no_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

// Drops a UTF-8 sequence cut short at the end of s (after a line was truncated).
void drop_partial_utf8(std::string& s) {
  size_t i = s.size(), back = 0;
  while (i > 0 && back < 4 && (static_cast<unsigned char>(s[i - 1]) & 0xC0) == 0x80) {
    --i;
    ++back;
  }
  if (i == 0) return;
  unsigned char lead = static_cast<unsigned char>(s[i - 1]);
  size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (need > back + 1) s.resize(i - 1);
}

// Reads one line (without its LF); false at the end of the file. Only the first kLineBytes bytes
// are kept, so an overlong line can never turn its tail into a line of its own.
bool read_line(std::FILE* f, std::string& line) {
  line.clear();
  int c = 0;
  bool any = false, cut = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < kLineBytes) line.push_back(static_cast<char>(c));
    else cut = true;
  }
  if (cut) drop_partial_utf8(line);
  return any;
}

// Valid UTF-8 for the platform's text drawing: malformed bytes become U+FFFD.
std::string clean_utf8(std::string_view s) {
  std::string out;
  for (char32_t cp : utf8_decode(s)) utf8_append(out, cp);
  return out;
}

size_t utf8_chars(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// The display name of a language: the text after the first line's key and its "=".
std::string display_name(std::string line) {
  if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);  // a byte order mark
  size_t i = 0;
  while (i < line.size() && (is_blank(line[i]) || line[i] == '=')) ++i;
  while (i < line.size() && !is_blank(line[i]) && line[i] != '=') ++i;  // the first token
  while (i < line.size() && (is_blank(line[i]) || line[i] == '=')) ++i;
  std::vector<char32_t> chars = utf8_decode(trim(std::string_view(line).substr(i)));
  if (chars.size() > kDisplayNameChars) chars.resize(kDisplayNameChars);
  std::string name;
  for (char32_t cp : chars) utf8_append(name, cp);
  return trim(name);
}

// A language name is a file's base name: no folders, nothing hidden.
bool valid_name(const std::string& name) {
  return !name.empty() && name.size() <= 64 && name[0] != '.' && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::FILE* open_regular(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
  struct stat st;
  if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {  // a folder opens too
    std::fclose(f);
    return nullptr;
  }
  return f;
}

std::map<std::string, std::vector<std::pair<int, std::string>>>& dialog_keys() {
  static std::map<std::string, std::vector<std::pair<int, std::string>>> keys;
  return keys;
}
std::mutex& dialog_keys_mutex() {
  static std::mutex m;
  return m;
}

std::vector<std::string> default_folders() {
  std::vector<std::string> out;
  auto add = [&](std::string f) {
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    if (!f.empty() && std::find(out.begin(), out.end(), f) == out.end()) out.push_back(std::move(f));
  };
  if (const char* env = std::getenv("LUMORA_LANG_DIR")) add(env);
  add(ProgramFolder());
#ifdef LUMORA_DATA_DIR
  add(LUMORA_DATA_DIR);
#endif
  for (std::string& d : DataFolders()) add(std::move(d));
  return out;
}

}  // namespace

Language::Language() : folders_(default_folders()) {}

Language::~Language() { close(); }

void Language::set_search_folders(std::vector<std::string> folders) {
  std::lock_guard lock(mutex_);
  folders_ = std::move(folders);
}

bool Language::load(const std::string& name) {
  std::lock_guard lock(mutex_);
  close_file();
  if (valid_name(name)) {
    for (const std::string& folder : folders_) {
      if (std::FILE* f = open_regular(JoinPath(folder, name + ".lng"))) {
        file_ = f;
        name_ = name;
        return true;
      }
    }
  }
  name_ = "en";
  return false;
}

void Language::close() {
  std::lock_guard lock(mutex_);
  close_file();
}

void Language::close_file() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  string_section_ = kUnknown;
  menu_section_ = kUnknown;
  dialog_section_ = kMissing;
  dialog_ = nullptr;
}

long Language::find_section(const char* section) {
  if (!file_ || !section || !*section) return kMissing;
  if (std::fseek(file_, 0, SEEK_SET) != 0) return kMissing;
  const std::string_view want(section);
  std::string line;
  while (read_line(file_, line)) {
    // "[Name]": the name must be followed by the bracket, so "DlgOption" is not "DlgOption1".
    if (line.size() > want.size() + 1 && line[0] == '[' && line.compare(1, want.size(), want) == 0 &&
        line[want.size() + 1] == ']')
      return std::ftell(file_);
  }
  return kMissing;
}

bool Language::find_value(long position, std::string_view key, std::string* value) {
  if (!file_ || position < 0 || std::fseek(file_, position, SEEK_SET) != 0) return false;
  std::string line;
  while (read_line(file_, line)) {
    if (!line.empty() && line[0] == '[') return false;  // the next section
    if (!line.empty() && line[0] == ';') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos || !equal_no_case(trim(std::string_view(line).substr(0, eq)), key)) continue;
    std::string v = trim(std::string_view(line).substr(eq + 1));
    if (utf8_chars(v) < 2) continue;  // too short to be a translation: look further
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
      if (v[i] == '\\' && i + 1 < v.size() && v[i + 1] == 'n') {
        out.push_back('\n');
        ++i;
      } else {
        out.push_back(v[i]);
      }
    }
    *value = clean_utf8(out);
    return true;
  }
  return false;
}

std::string Language::get_string(UINT id) {
  const char* key = string_key(id);
  if (key) {
    std::lock_guard lock(mutex_);
    if (file_ && string_section_ == kUnknown) string_section_ = find_section("String");
    std::string value;
    if (find_value(string_section_, key, &value)) return value;
  }
  const char* text = builtin_string(id);
  return text ? text : "";
}

void Language::translate_items(HMENU menu, int depth) {
  for (int pos = 0; pos < kMaxMenuItems; ++pos) {
    std::string text;
    MENUITEMINFO info;
    info.fMask = MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
    info.text = &text;
    if (!GetMenuItemInfo(menu, static_cast<UINT>(pos), TRUE, &info)) break;
    if (info.fType & MF_SEPARATOR) continue;
    std::string translated;
    if (!text.empty() && find_value(menu_section_, text, &translated)) {
      MENUITEMINFO set;
      set.fMask = MIIM_STRING;
      set.text = &translated;
      SetMenuItemInfo(menu, static_cast<UINT>(pos), TRUE, &set);
    }
    if (info.hSubMenu && depth < kMaxMenuDepth) translate_items(info.hSubMenu, depth + 1);
  }
}

void Language::translate_menu(HWND bar, HMENU menu) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  if (menu_section_ == kUnknown) menu_section_ = find_section("Menu");
  if (menu_section_ < 0) return;
  if (menu && IsMenu(menu)) translate_items(menu, 0);
  // The keys are the top-level items of the bar's own menu: translated above when that menu was
  // given, here when it was not (translating them twice could chain two entries).
  if (bar && static_cast<HMENU>(SendMessage(bar, SHCMBM_GETMENU, 0, 0)) != menu) {
    for (int key = 0; key < 2; ++key) {
      std::string text = SHGetSoftKeyText(bar, key), translated;
      if (!text.empty() && find_value(menu_section_, text, &translated)) SHSetSoftKeyText(bar, key, translated);
    }
  }
}

void Language::begin_dialog(HWND dialog, const char* section) {
  std::vector<std::pair<int, std::string>> keys;
  {
    std::lock_guard lock(mutex_);
    dialog_ = dialog;
    dialog_section_ = file_ && dialog ? find_section(section) : kMissing;
    if (dialog_section_ < 0) return;
    std::lock_guard keys_lock(dialog_keys_mutex());
    auto it = dialog_keys().find(section);
    if (it != dialog_keys().end()) keys = it->second;
  }
  translate_control(-1, "-1");
  for (const auto& [id, key] : keys) translate_control(id, key.c_str());
}

void Language::translate_control(int id, const char* key) {
  std::string value;
  HWND dialog = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (!dialog_ || !key || !find_value(dialog_section_, key, &value)) return;
    dialog = dialog_;
  }
  // Outside the lock: setting a text sends messages that may come back here.
  if (id == -1) SetWindowText(dialog, value);
  else SetDlgItemText(dialog, id, value);
}

void Language::register_dialog_keys(const char* section, std::span<const ControlKey> keys) {
  if (!section) return;
  std::vector<std::pair<int, std::string>> copy;
  for (const ControlKey& k : keys)
    if (k.key) copy.emplace_back(k.id, k.key);
  std::lock_guard lock(dialog_keys_mutex());
  dialog_keys()[section] = std::move(copy);
}

std::vector<std::pair<std::string, std::string>> Language::available() {
  std::vector<std::pair<std::string, std::string>> found;  // (name, display name)
  std::vector<std::string> folders;
  {
    std::lock_guard lock(mutex_);
    folders = folders_;
  }
  for (const std::string& folder : folders) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) continue;
    while (dirent* e = ::readdir(d)) {
      std::string file = e->d_name;
      if (file.size() <= 4 || file.compare(file.size() - 4, 4, ".lng") != 0) continue;
      std::string name = file.substr(0, file.size() - 4);
      if (!valid_name(name) || name == "en") continue;
      // The first folder that has a language is the one load() opens.
      if (std::any_of(found.begin(), found.end(), [&](const auto& f) { return f.first == name; })) continue;
      if (found.size() >= kMaxListEntries) break;
      std::FILE* f = open_regular(JoinPath(folder, file));
      if (!f) continue;
      std::string first;
      bool ok = read_line(f, first);
      std::fclose(f);
      std::string shown = ok ? display_name(first) : std::string();
      if (!shown.empty()) found.emplace_back(name, shown);
    }
    ::closedir(d);
  }
  std::sort(found.begin(), found.end());
  found.insert(found.begin(), std::make_pair(std::string("en"), std::string("English")));
  return found;
}

void Language::fill_language_list(HWND dialog, int list_id) {
  HWND list = GetDlgItem(dialog, list_id);
  if (!list) return;
  const bool combo = equal_no_case(GetClassName(list), WC_COMBOBOX);
  SendMessage(list, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
  std::string current;
  {
    std::lock_guard lock(mutex_);
    current = name_;
  }
  int selected = 0, index = 0;
  for (const auto& [name, shown] : available()) {
    std::string entry = name + " - " + shown;
    SendMessage(list, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    if (equal_no_case(name, current)) selected = index;
    ++index;
  }
  SendMessage(list, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

bool Language::choose(const std::string& list_text) {
  size_t sep = list_text.find(" - ");
  std::string name = trim(std::string_view(list_text).substr(0, sep));
  if (!valid_name(name)) return false;
  std::lock_guard lock(mutex_);
  if (name == name_) return false;
  name_ = name;  // the file of the new language is opened at the next start
  return true;
}

Language& the_language() {
  static Language language;
  return language;
}

std::string load_string(UINT id) { return the_language().get_string(id); }

}  // namespace lumora::app
