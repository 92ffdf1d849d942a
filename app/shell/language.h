#pragma once
// Language files: every text the user sees can be replaced by NAME.lng, found next to the program
// or in the installed data folder. Menus and soft keys are translated by their English text
// (section "Menu"), resource strings by their IDS_ key (section "String"), dialog controls by
// their IDC_ key in the section named after the dialog ("DlgSaveas"; key "-1" is the title).
// Without a file, or for a key the file lacks, the built-in English text is used.
#include <cstdio>
#include <span>
#include <string>
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

  // Opens NAME.lng. On failure the name becomes "en" and every text comes from the resources.
  bool load(const std::string& name);
  // The file's text for a string id, or the built-in one ("" for an unknown id).
  std::string get_string(UINT id);
  // The "Menu" section applied to a menu tree and, when bar is given, to its two soft keys.
  void translate_menu(HWND bar, HMENU menu);
  // Finds the dialog's section, translates its title (key "-1") and every control registered for
  // it with register_dialog_keys.
  void begin_dialog(HWND dialog, const char* section);
  // Sets the control's text (id -1: the dialog's title) when the current dialog section has key.
  void translate_control(int id, const char* key);
  // The Options dialog's language list: "en - English", then "xx - Name" for every xx.lng.
  void fill_language_list(HWND dialog, int list_id);
  // Takes the language of a list entry; true when it differs from the current one.
  bool choose(const std::string& list_text);
  void close();
  const std::string& name() const { return name_; }

  // The control keys of a dialog section, registered once by the resources.
  static void register_dialog_keys(const char* section, std::span<const ControlKey> keys);

 private:
  // ... implementation fields (file, section positions, current dialog)
  std::string name_ = "en";
  std::FILE* file_ = nullptr;
  long string_section_ = 0;
  long dialog_section_ = 0;
  HWND dialog_ = nullptr;
  std::vector<std::string> folders_;
};

// The single process-wide language object.
Language& the_language();
// Shorthand: the_language().get_string(id).
std::string load_string(UINT id);

}  // namespace lumora::app
