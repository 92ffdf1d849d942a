#pragma once
// Language files: every text the user sees can be replaced by NAME.lng, found next to the program
// or in the installed data folder. Menus and soft keys are translated by their English text
// (section "Menu"), resource strings by their IDS_ key (section "String"), dialog controls by
// their IDC_ key in the section named after the dialog ("DlgSaveas"; key "-1" is the title).
// Without a file, or for a key the file lacks, the built-in English text is used.
#include <cstdio>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace lumora::app {

using namespace lumora::plat;

// A dialog control and the key of its text in the dialog's section.
struct ControlKey {
  int id;
  const char* key;  // "IDC_..."
};

class Language {
 public:
  Language();
  virtual ~Language();
  Language(const Language&) = delete;
  Language& operator=(const Language&) = delete;

  // Folders searched for NAME.lng, in order (default: the program's folder, then the installed
  // data folder). Tests point it at their own folders.
  void set_search_folders(std::vector<std::string> folders);
  const std::vector<std::string>& search_folders() const { return folders_; }

  // Opens NAME.lng from the first search folder that has it, and keeps it open until close(). A
  // name is a file's base name (normally two letters). On failure the name becomes "en" and every
  // text comes from the built-in strings.
  bool load(const std::string& name);
  // The file's text for a string id, or the built-in one ("" for an unknown id). Ids without a
  // key (the program's name, "File", "Menu", "Done") always give the built-in text.
  std::string get_string(UINT id);
  // The "Menu" section applied to a menu tree and, when bar is given, to its two soft keys.
  void translate_menu(HWND bar, HMENU menu);
  // Finds the dialog's section, translates its title (key "-1") and every control registered for
  // it with register_dialog_keys.
  void begin_dialog(HWND dialog, const char* section);
  // Sets the control's text (id -1: the dialog's title) when the current dialog section has key.
  void translate_control(int id, const char* key);
  // The languages of the search folders as (name, display name): ("en", "English") first, then
  // one entry per NAME.lng whose first line names it, sorted by name; a name found in several
  // folders is listed once (the first folder's file is the one load() opens).
  std::vector<std::pair<std::string, std::string>> available();
  // The Options dialog's language list (a list box or a drop-down list): "en - English", then
  // "xx - Name" for every xx.lng, the current language selected (else the first entry).
  void fill_language_list(HWND dialog, int list_id);
  // Takes the language of a list entry (the text before " - "); true when it differs from the
  // current one. The new file is opened at the next start (the name goes to the registry).
  bool choose(const std::string& list_text);
  void close();
  const std::string& name() const { return name_; }

  // The control keys of a dialog section, registered once by the resources.
  static void register_dialog_keys(const char* section, std::span<const ControlKey> keys);

 private:
  void close_file();
  // File position after the line "[section]", or a negative value when there is none.
  long find_section(const char* section);
  // The value of key in the section at position (negative: none); false when absent.
  bool find_value(long position, std::string_view key, std::string* value);
  void translate_items(HMENU menu, int depth);

  std::recursive_mutex mutex_;  // one file position shared by every lookup
  std::string name_ = "en";
  std::FILE* file_ = nullptr;
  long string_section_ = -1;  // -1 not looked up yet, -2 missing
  long menu_section_ = -1;
  long dialog_section_ = -2;
  HWND dialog_ = nullptr;
  std::vector<std::string> folders_;
};

// The single process-wide language object.
Language& the_language();
// Shorthand: the_language().get_string(id).
std::string load_string(UINT id);

}  // namespace lumora::app
