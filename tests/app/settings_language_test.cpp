// Settings in the registry (defaults, mistyped and out-of-range values, round trip, a corrupt
// file) and language files (lookups, line limits, sections, menus, dialogs, the language list).
#include <gtest/gtest.h>


#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "app/shell/language.h"
#include "app/shell/resource.h"
#include "app/shell/settings.h"
#include "app/shell/strings.h"
#include "platform/controls_fixture.h"
#include "temp_home.h"

namespace lumora::app {
namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// ---- Settings ----------------------------------------------------------------------------------

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = home_.point("LUMORA_CONFIG_DIR", "cfg");
    pictures_ = home_.point("XDG_PICTURES_DIR", "pics");
    RegFlushCache();
  }
  void TearDown() override { RegFlushCache(); }
  static void store_number(const char* name, DWORD v) { reg_write_number(nullptr, name, v); }
  static void store_string(const char* name, const char* v) { reg_write_string(nullptr, name, v); }
  std::string pictures() const { return pictures_.string() + "/"; }
  test::TempHome home_;
  fs::path config_, pictures_;
};

// Every field as a number, so that tables can name them.
struct Field {
  const char* name;
  std::function<uint32_t(const Settings&)> get;
};
const Field kFields[] = {
    {"Mode", [](const Settings& s) { return s.mode; }},
    {"UseEmbedded", [](const Settings& s) { return uint32_t{s.use_embedded}; }},
    {"HighQuality", [](const Settings& s) { return uint32_t{s.high_quality}; }},
    {"ShowFilename", [](const Settings& s) { return uint32_t{s.show_filename}; }},
    {"ShowExt", [](const Settings& s) { return uint32_t{s.show_ext}; }},
    {"ThumbSize", [](const Settings& s) { return s.thumb_size; }},
    {"SortBy", [](const Settings& s) { return s.sort_by; }},
    {"Fit", [](const Settings& s) { return s.fit; }},
    {"Rotate", [](const Settings& s) { return s.rotate; }},
    {"AutoROnlyFull", [](const Settings& s) { return uint32_t{s.auto_r_only_full}; }},
    {"ResizeBigPicture", [](const Settings& s) { return s.resize_big_picture; }},
    {"NoBWResize", [](const Settings& s) { return uint32_t{s.no_bw_resize}; }},
    {"Delay", [](const Settings& s) { return s.delay; }},
    {"UseTransition", [](const Settings& s) { return uint32_t{s.use_transition}; }},
    {"ExifRotate", [](const Settings& s) { return uint32_t{s.exif_rotate}; }},
    {"MaxPictureMP", [](const Settings& s) { return s.max_picture_mp; }},
    {"ThumbCache", [](const Settings& s) { return uint32_t{s.thumb_cache}; }},
};
const uint32_t kDefaults[] = {0, 1, 0, 1, 1, 1, 0, 2, 1, 1, 0, 1, 2, 1, 1, 64, 1};
static_assert(std::size(kDefaults) == std::size(kFields));

void expect_defaults(const Settings& s, const std::string& pictures) {
  for (size_t i = 0; i < std::size(kFields); ++i) EXPECT_EQ(kFields[i].get(s), kDefaults[i]) << kFields[i].name;
  EXPECT_EQ(s.path, pictures);
  EXPECT_EQ(s.save_options.format, 0);
  EXPECT_EQ(s.save_options.quality, 80);
  EXPECT_EQ(s.save_options.flags, 7);
  EXPECT_EQ(s.save_options.keep_exif, 1);
}

TEST_F(SettingsTest, AFreshConfigurationGivesTheDefaultsAndMyPictures) {
  Settings s;
  s.load();
  expect_defaults(s, pictures());
}

TEST_F(SettingsTest, StoredNumbersOfTheWrongTypeOrOutOfRangeReadAsDefaults) {
  struct Row {
    const char* value;
    bool as_string;
    DWORD number;
    const char* text;
    uint32_t expected;
  };
  const Row rows[] = {
      {"Delay", true, 0, "5", 2},          // a string is not a number
      {"Delay", false, 100000, nullptr, 120},
      {"ThumbSize", false, 7, nullptr, 1},
      {"Mode", false, 9, nullptr, 0},
      {"Fit", false, 0, nullptr, 2},
      {"Rotate", false, 5, nullptr, 1},
      {"ResizeBigPicture", false, 5, nullptr, 0},
      {"SortBy", false, 0x81007, nullptr, 0x1000},  // unknown key, stray bits
      {"HighQuality", false, 5, nullptr, 1},
      {"MaxPictureMP", false, 0, nullptr, 64},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.value) + (r.as_string ? " as text" : " = " + std::to_string(r.number)));
    RegDeleteKey(HKEY_CURRENT_USER, "Software\\Lumora");
    if (r.as_string) store_string(r.value, r.text);
    else store_number(r.value, r.number);
    Settings s;
    s.load();
    for (const Field& f : kFields) {
      if (std::string(f.name) == r.value) {
        EXPECT_EQ(f.get(s), r.expected);
      }
    }
  }
}

TEST_F(SettingsTest, TheStartFolderIsTheStoredFolderOrMyPictures) {
  fs::path there = pictures_ / "Holiday";
  fs::create_directories(there);
  struct Row {
    std::string stored;  // empty: a number stored under Path
    std::string expected;
  };
  const Row rows[] = {
      {"\\", pictures()},
      {"\\Storage Card\\Photos\\", pictures()},
      {"/", pictures()},
      {"relative/folder", pictures()},
      {(pictures_ / "gone").string(), pictures()},
      {there.string(), there.string() + "/"},
      {there.string() + "/", there.string() + "/"},
      {"", pictures()},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.stored);
    if (r.stored.empty()) store_number("Path", 3);
    else store_string("Path", r.stored.c_str());
    Settings s;
    s.load();
    EXPECT_EQ(s.path, r.expected);
  }
}

TEST_F(SettingsTest, EveryValueSurvivesSaveAndLoadAsANumber) {
  const uint32_t others[] = {3, 0, 1, 0, 0, 2, 0x1004, 1, 4, 0, 3, 0, 9, 0, 0, 16, 0};  // none a default
  static_assert(std::size(others) == std::size(kFields));
  const std::string folder = (pictures_ / "x").string() + "/";
  fs::create_directories(folder);
  for (size_t i = 0; i < std::size(kFields); ++i) store_number(kFields[i].name, others[i]);
  store_string("Path", folder.c_str());
  Settings s;
  s.load();
  RegDeleteKey(HKEY_CURRENT_USER, "Software\\Lumora");
  s.save();
  RegFlushCache();  // as the next start would
  EXPECT_EQ(s.path, folder);
  for (size_t i = 0; i < std::size(kFields); ++i) {
    EXPECT_EQ(kFields[i].get(s), others[i]) << kFields[i].name;
    // Numbers, not texts: a string would read as the default.
    EXPECT_EQ(reg_read_number(nullptr, kFields[i].name, 0xDEAD), others[i]) << kFields[i].name;
  }
  EXPECT_EQ(reg_read_string(nullptr, "Path", "none"), folder);
}

TEST_F(SettingsTest, RegistryFunctionsUseTheSubkeyAndTheDefaults) {
  reg_write_string("Backup", "jpg", "viewer.jpg");
  reg_write_number("Backup", "Count", 3);
  EXPECT_EQ(reg_read_string("Backup", "jpg", "-"), "viewer.jpg");
  EXPECT_EQ(reg_read_number("Backup", "Count", 0), 3u);
  EXPECT_EQ(reg_read_string(nullptr, "jpg", "-"), "-");            // not in the key itself
  EXPECT_EQ(reg_read_string("Backup", "Count", "-"), "-");         // a number is not a string
  EXPECT_EQ(reg_read_number("Missing", "Count", 42), 42u);          // no such key
  HKEY k = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Lumora\\Backup", &k), ERROR_SUCCESS);
  RegCloseKey(k);
}

// ---- Language files ----------------------------------------------------------------------------

// The section "DlgOption1" comes before "DlgOption", so a section found by its name's prefix
// would give the wrong title. The overlong line is 511 bytes up to where "IDS_KB = Kilo" begins.
std::string sample_file(const char* eol) {
  std::string long_line = "IDS_BYTES = " + std::string(499, 'b') + "IDS_KB = Kilo";
  const char* lines[] = {
      "Language = Deutsch",
      "[Menu]",
      "Open folder... = Ordner öffnen...",
      "Quit = X",
      "Quit = Beenden",
      "Action = Aktion",
      "Aktion = Handlung",
      "File = Datei",
      "Zoom   =\t Vergrößern  ",
      "[String]",
      "; IDS_FILE = comment",
      "IDS_OK = Jawohl",
      "ids_exist = Datei da.\\nÜberschreiben?",
      "IDS_NAME = N",
      "IDS_TYPE = Typ   ",
      "IDS_SIZE =",
      "IDS_APP_NAME = Lumina",
      long_line.c_str(),
      "[DlgOption1]",
      "-1 = Allgemein",
      "IDC_TLANGUAGE = Sprache",
      "IDS_DATE = Datum",
      "[DlgOption]",
      "-1 = Optionen",
  };
  std::string text;
  for (const char* l : lines) text += std::string(l) + eol;
  return text;
}

class LanguageTest : public plat::testing::ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    dir_ = home_.path("lng");
    fs::create_directories(dir_);
    write_file(dir_ / "de.lng", sample_file("\n"));
    lang_.set_search_folders({dir_.string()});
  }
  void TearDown() override {
    lang_.close();
    ControlsTest::TearDown();
  }
  test::TempHome home_;
  fs::path dir_;
  Language lang_;
};

TEST_F(LanguageTest, StringsComeFromTheFileOrTheBuiltInTable) {
  struct Row {
    UINT id;
    const char* expected;
  };
  const Row rows[] = {
      {IDS_OK, "Jawohl"},                            // id 104
      {IDS_EXIST, "Datei da.\nÜberschreiben?"},      // key without case, "\n" a line break
      {IDS_NAME, "Name"},                            // one character is no translation
      {IDS_TYPE, "Typ"},
      {IDS_SIZE, "Size"},
      {IDS_FILE, "File"},                            // no key: never translated
      {IDS_APP_NAME, "Lumora"},
      {IDS_DATE, "Date"},                            // only in a later section
      {IDS_BYTES, nullptr},                          // the overlong line, cut at 511 bytes
      {IDS_KB, "Kb"},                                // its tail is no line of its own
      {IDS_ERROR, "Error"},
      {9999, ""},
  };
  for (const char* eol : {"\n", "\r\n"}) {
    write_file(dir_ / "de.lng", sample_file(eol));
    ASSERT_TRUE(lang_.load("de"));
    EXPECT_EQ(lang_.name(), "de");
    for (const Row& r : rows) {
      std::string got = lang_.get_string(r.id);
      const std::string want = r.expected ? r.expected : std::string(499, 'b');
      EXPECT_EQ(got, want) << r.id << (eol[0] == '\r' ? " CRLF" : " LF");
    }
  }
}

TEST_F(LanguageTest, AMissingFileMeansEnglish) {
  for (const char* name : {"zz", "", "../de", "de.lng"}) {
    EXPECT_FALSE(lang_.load(name)) << name;
    EXPECT_EQ(lang_.name(), "en");
    EXPECT_EQ(lang_.get_string(IDS_OK), "Ok");
  }
  fs::create_directories(dir_ / "xx.lng");  // a folder is no file
  EXPECT_FALSE(lang_.load("xx"));
}

TEST_F(LanguageTest, MenusAndSoftKeysAreTranslatedByTheirText) {
  const MenuTemplateItem zoom[] = {{"zoom", 1}, {"Fit to Screen", 2}};
  const MenuTemplateItem action[] = {
      {"OPEN FOLDER...", 3}, {"", 0, MF_SEPARATOR}, {"Zoom", 0, MF_POPUP, zoom}, {"Quit", 4}};
  const MenuTemplateItem file[] = {{"Quit", 5}};
  const MenuTemplateItem bar[] = {{"Action", 0, MF_POPUP, action}, {"File", 0, MF_POPUP, file}};
  ASSERT_TRUE(lang_.load("de"));

  SHMENUBARINFO mb;
  mb.hwndParent = parent_;
  mb.dwFlags = SHCMBF_HMENU;
  mb.nToolBarId = static_cast<UINT>(LoadMenuIndirect(bar));
  ASSERT_TRUE(SHCreateMenuBar(&mb));
  HMENU m = static_cast<HMENU>(SendMessage(mb.hwndMB, SHCMBM_GETMENU, 0, 0));
  lang_.translate_menu(mb.hwndMB, m);
  HMENU a = GetSubMenu(m, 0);
  EXPECT_EQ(SHGetSoftKeyText(mb.hwndMB, 0), "Aktion");  // once: "Aktion" has an entry of its own
  EXPECT_EQ(SHGetSoftKeyText(mb.hwndMB, 1), "Datei");
  EXPECT_EQ(GetMenuString(a, 0, MF_BYPOSITION), "Ordner öffnen...");
  EXPECT_EQ(GetMenuState(a, 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
  EXPECT_EQ(GetMenuString(a, 2, MF_BYPOSITION), "Vergrößern");
  EXPECT_EQ(GetMenuString(a, 3, MF_BYPOSITION), "Beenden");
  EXPECT_EQ(GetMenuString(GetSubMenu(a, 2), 0, MF_BYPOSITION), "Vergrößern");
  EXPECT_EQ(GetMenuString(GetSubMenu(a, 2), 1, MF_BYPOSITION), "Fit to Screen");
  EXPECT_EQ(GetMenuString(GetSubMenu(m, 1), 0, MF_BYPOSITION), "Beenden");

  // A bar whose menu is not the one given: its keys are translated on their own.
  SHMENUBARINFO mb2;
  mb2.hwndParent = parent_;
  mb2.dwFlags = SHCMBF_HMENU;
  mb2.nToolBarId = static_cast<UINT>(LoadMenuIndirect(bar));
  ASSERT_TRUE(SHCreateMenuBar(&mb2));
  HMENU other = LoadMenuIndirect(file);
  lang_.translate_menu(mb2.hwndMB, other);
  EXPECT_EQ(SHGetSoftKeyText(mb2.hwndMB, 0), "Aktion");
  EXPECT_EQ(GetMenuString(other, 0, MF_BYPOSITION), "Beenden");
  DestroyMenu(other);
}

TEST_F(LanguageTest, DialogsTakeTheirTitleAndRegisteredControlsFromTheirOwnSection) {
  const ControlKey keys[] = {{1057, "IDC_TLANGUAGE"}, {1055, "IDC_TDEFROTATION"}};
  Language::register_dialog_keys("DlgOption1", keys);
  HWND language = child(WC_STATIC, 0, {0, 0, 50, 10}, 1057, "Language");
  HWND rotation = child(WC_STATIC, 0, {0, 10, 50, 20}, 1055, "Default rotation");
  ASSERT_TRUE(lang_.load("de"));

  lang_.begin_dialog(parent_, "DlgOption");
  EXPECT_EQ(GetWindowText(parent_), "Optionen");  // not the title of "DlgOption1"
  EXPECT_EQ(GetWindowText(language), "Language");

  lang_.begin_dialog(parent_, "DlgOption1");
  EXPECT_EQ(GetWindowText(parent_), "Allgemein");
  EXPECT_EQ(GetWindowText(language), "Sprache");
  EXPECT_EQ(GetWindowText(rotation), "Default rotation");  // the file lacks the key

  lang_.begin_dialog(parent_, "DlgMissing");
  lang_.translate_control(-1, "-1");
  EXPECT_EQ(GetWindowText(parent_), "Allgemein");
}

TEST_F(LanguageTest, TheLanguageListShowsEveryFileOnceWithTheCurrentOneSelected) {
  const fs::path second = dir_.parent_path() / "lng2";
  fs::create_directories(second);
  write_file(dir_ / "fr.lng", "Language=Fran\xC3\xA7" "ais\r\n[Menu]\n");
  write_file(dir_ / "xx.lng", "\n");                        // no name: not listed
  write_file(dir_ / "notes.txt", "Language = Notes\n");
  write_file(second / "de.lng", "Language = Anders\n");    // the first folder's de wins
  write_file(second / "it.lng", "\xEF\xBB\xBFLanguage = Italiano\n");
  lang_.set_search_folders({dir_.string(), second.string()});
  const std::vector<std::string> expected = {"en - English", "de - Deutsch", "fr - Fran\xC3\xA7" "ais",
                                             "it - Italiano"};
  struct Row {
    const char* cls;
    UINT count, text, cursel;
    const char* current;
    int selected;
  };
  const Row rows[] = {
      {WC_COMBOBOX, CB_GETCOUNT, CB_GETLBTEXT, CB_GETCURSEL, "it", 3},
      {WC_LISTBOX, LB_GETCOUNT, LB_GETTEXT, LB_GETCURSEL, "de", 1},
      {WC_COMBOBOX, CB_GETCOUNT, CB_GETLBTEXT, CB_GETCURSEL, "zz", 0},
  };
  int id = 1042;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.current);
    lang_.load(r.current);
    HWND list = child(r.cls, std::string_view(r.cls) == WC_COMBOBOX ? CBS_DROPDOWNLIST : 0, {0, 0, 100, 80}, id, "");
    lang_.fill_language_list(parent_, id);
    lang_.fill_language_list(parent_, id);  // filling again does not add twice
    std::vector<std::string> got;
    LRESULT n = SendMessage(list, r.count, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      char buf[128] = {};
      SendMessage(list, r.text, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
      got.push_back(buf);
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(SendMessage(list, r.cursel, 0, 0), r.selected);
    ++id;
  }
}

TEST_F(LanguageTest, ChoosingTellsWhetherTheLanguageChanged) {
  ASSERT_TRUE(lang_.load("de"));
  struct Row {
    const char* text;
    bool changed;
    const char* name_after;
  };
  const Row rows[] = {
      {"de - Deutsch", false, "de"},
      {"fr - Français", true, "fr"},
      {"fr - Français", false, "fr"},
      {"../x - Evil", false, "fr"},
      {"en - English", true, "en"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(lang_.choose(r.text), r.changed) << r.text;
    EXPECT_EQ(lang_.name(), r.name_after) << r.text;
  }
}

// The shipped translation has an entry for every translatable string.
TEST(GermanFile, HasEveryStringKey) {
  const char* src = std::getenv("LUMORA_SOURCE_DIR");
  if (!src) GTEST_SKIP() << "LUMORA_SOURCE_DIR not set";
  std::ifstream in(std::string(src) + "/app/lng/de.lng");
  ASSERT_TRUE(in);
  std::string line, section;
  std::set<std::string> keys;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') section = line;
    else if (section == "[String]" && line.find(" = ") != std::string::npos) keys.insert(line.substr(0, line.find(" = ")));
  }
  for (UINT id = 1; id < 300; ++id) {
    if (string_key(id)) {
      EXPECT_TRUE(keys.count(string_key(id))) << string_key(id);
    }
  }
}

}  // namespace
}  // namespace lumora::app
