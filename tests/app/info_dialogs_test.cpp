// The Properties and Options dialogs in the headless platform: the pages of a camera JPEG, a
// JPEG without Exif, 1-bit and 24-bit pictures and a missing file with Previous and Next; the
// options pages storing (or dropping) their values; the file associations in the classes root
// and in mimeapps.list, set, kept, given back and spoiled by a foreign owner; and every dialog's
// screen at 240 x 320 and 480 x 640 in English and German, written as PNG files and checked for
// cut and overlapping texts.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app/browser/detail_texts.h"
#include "app/dialogs/associations.h"
#include "app/dialogs/dialogs.h"
#include "app/dialogs/dlg_adjust.h"
#include "app/dialogs/dlg_saveas.h"
#include "app/dialogs/info_dialogs.h"
#include "app/dialogs/mime_defaults.h"
#include "app/dialogs/options_dialog.h"
#include "app/dialogs/properties_dialog.h"
#include "app/shell/language.h"
#include "app/shell/resource.h"
#include "app/shell/resources.h"
#include "imagelib/core/load.h"
#include "picture_test_files.h"
#include "temp_home.h"
#include "tests/support/iptc_block.h"
#include "platform/controls_fixture.h"

namespace lumora::app {
namespace {

namespace fs = std::filesystem;
using plat::testing::Step;

std::string read_file(const fs::path& p) {
  std::string text;
  EXPECT_TRUE(read_text_file(p.string(), &text)) << p;
  return text;
}
void write_file(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// A private home: configuration (the registry files), XDG folders and pictures.
class InfoDialogsTest : public plat::testing::ControlsTest {
 protected:
  void SetUp() override {
    root_ = home_.dir();
    fs::create_directories(root_ / "pictures");
    // Not made: the registry and the associations make the folders they write to.
    for (const auto& [name, sub] : kEnv) home_.point(name, sub, false);
    plat::RegFlushCache();
    ControlsTest::SetUp();
    library_start();
    register_menu_resources();
    register_properties_resources();
    register_options_resources();
    the_language().set_search_folders({(root_ / "lng").string()});
    the_language().load("en");
  }
  void TearDown() override {
    the_language().close();
    the_language().load("en");
    ControlsTest::TearDown();
    library_stop();
    plat::RegFlushCache();
  }
  // Runs a dialog with the steps; the steps end it.
  LRESULT run(CDlg& dialog, std::vector<Step> steps) {
    drive(std::move(steps));
    LRESULT r = dialog.run();
    plat::PumpPendingMessages();
    plat::MSG m;
    while (plat::PeekMessage(&m, nullptr, plat::WM_QUIT, plat::WM_QUIT, plat::PM_REMOVE)) {
    }
    return r;
  }
  std::string picture(const char* name) const { return (root_ / "pictures" / name).string(); }
  void install_desktop_entry() const { write_file(root_ / "data/applications/lumora.desktop", "[Desktop Entry]\n"); }

  static constexpr std::pair<const char*, const char*> kEnv[] = {
      {"HOME", "home"},          {"LUMORA_CONFIG_DIR", "config"}, {"XDG_CONFIG_HOME", "xdgconfig"},
      {"XDG_DATA_HOME", "data"}, {"XDG_DATA_DIRS", "sysdata"},
  };
  test::TempHome home_;
  fs::path root_;
};

// ---- Picture files -------------------------------------------------------------------------------

void write_jpeg(const std::string& path, const char* make, const char* model, const char* caption = nullptr) {
  Bitmap pic = test::make_picture(64, 48, [](int x, int) { return test::Rgb{x * 4, 90, 40}; });
  if (caption) {
    // IPTC record 2: caption (dataset 120) and by-line (dataset 80).
    const std::vector<uint8_t> block = test::photoshop(test::iim({{2, 120, caption}, {2, 80, "A. Photographer"}}));
    ASSERT_EQ(chunk_append(&pic.chunks, kChunkIptc, block.data(), static_cast<uint32_t>(block.size())), 0);
  }
  std::vector<uint8_t> exif;
  if (make) {
    test::IfdBlock t(false);
    const int ifd0 = t.add_ifd();
    t.add_ascii(ifd0, 271, make);
    t.add_ascii(ifd0, 272, model);
    exif = {'E', 'x', 'i', 'f', 0, 0};
    std::vector<uint8_t> body = t.build();
    exif.insert(exif.end(), body.begin(), body.end());
  }
  SaveParams p;
  save_params_init(&p);
  p.format_index = kFormatJpeg;
  p.write_iptc = caption ? 1 : 0;
  if (!exif.empty()) {
    ASSERT_EQ(chunk_append(&pic.chunks, kChunkExif, exif.data(), static_cast<uint32_t>(exif.size())), 0);
    p.write_exif = 1;
  }
  ASSERT_EQ(save_image(path.c_str(), &pic, &p), 0);
  bitmap_free(&pic);
}

using Rows = std::vector<std::pair<std::string, std::string>>;
Rows rows_of(const CListInfo& list) {
  Rows rows;
  for (int i = 0; i < list.item_count(); ++i) rows.emplace_back(list.item_text(i, 0), list.item_text(i, 1));
  return rows;
}
std::string value_of(const Rows& rows, const std::string& label) {
  for (const auto& [l, v] : rows)
    if (l == label) return v;
  return "<no row " + label + ">";
}
bool greyed(HMENU menu, UINT id) { return (plat::GetMenuState(menu, id, plat::MF_BYCOMMAND) & plat::MF_GRAYED) != 0; }

// ---- Properties ----------------------------------------------------------------------------------

TEST_F(InfoDialogsTest, PropertiesPagesFollowTheFiles) {
  write_jpeg(picture("a.jpg"), "Canon", "Canon EOS 5D", "Lake at dawn");
  write_jpeg(picture("b.jpg"), nullptr, nullptr);
  test::write_file(picture("c.pbm"), {'P', '4', '\n', '1', '6', ' ', '2', '\n', 0xAA, 0x55, 0x0F, 0xF0});
  {
    Bitmap pic = test::make_picture(40, 30, [](int, int) { return test::Rgb{32, 128, 192}; });
    SaveParams p;
    save_params_init(&p);
    p.format_index = kFormatBmp;
    ASSERT_EQ(save_image(picture("d.bmp").c_str(), &pic, &p), 0);
    bitmap_free(&pic);
  }
  const std::vector<std::string> paths = {picture("a.jpg"), picture("b.jpg"), picture("c.pbm"), picture("d.bmp"),
                                          picture("gone.png")};
  struct Expect {
    bool exif, iptc;
    std::map<std::string, std::string> info;  // label -> value
    size_t info_rows;
  };
  const std::string folder = (root_ / "pictures").string() + "/";
  const Expect expect[] = {
      {true, true, {{"Filename", "a.jpg"}, {"File location", folder}, {"Format name", "JPEG"}, {"Image size", "64 x 48"}}, 8},
      {false, false, {{"Filename", "b.jpg"}, {"# Bits", "16M"}}, 8},
      {false, false, {{"Format name", "PBM"}, {"Image size", "16 x 2"}, {"# Bits", "2"}, {"DPI", "72 x 72"}}, 8},
      {false, false, {{"Format name", "BMP"}, {"Image size", "40 x 30"}, {"# Bits", "16M"}}, 8},
      // A missing file: its name, folder and size, no date and nothing of a picture.
      {false, false, {{"Filename", "gone.png"}, {"File size", size_text(0, size_units_from_language())}}, 3},
  };
  struct stat st {};
  ASSERT_EQ(::stat(paths[0].c_str(), &st), 0);

  CDlgProperties dlg(parent_, paths, 0);
  auto check = [&](int i) {
    SCOPED_TRACE("file " + paths[static_cast<size_t>(i)]);
    EXPECT_EQ(dlg.index(), i);
    const Rows info = rows_of(dlg.list(CDlgProperties::kInfo));
    EXPECT_EQ(info.size(), expect[i].info_rows);
    for (const auto& [label, value] : expect[i].info) EXPECT_EQ(value_of(info, label), value) << label;
    HMENU menu = dlg.action_menu();
    EXPECT_EQ(greyed(menu, ID_PROP_EXIF), !expect[i].exif);
    EXPECT_EQ(greyed(menu, ID_PROP_IPTC), !expect[i].iptc);
    EXPECT_EQ(greyed(menu, ID_PROP_PREVIOUS), i == 0);
    EXPECT_EQ(greyed(menu, ID_PROP_NEXT), i == 4);
    EXPECT_EQ(plat::GetDlgItemText(dlg.hwnd(), IDC_FILE_NAME), fs::path(paths[static_cast<size_t>(i)]).filename().string());
  };
  auto command = [&](UINT id) { plat::SendMessage(dlg.hwnd(), plat::WM_COMMAND, id, 0); };
  std::vector<Step> steps;
  steps.push_back({0, [&] {
                     check(0);
                     EXPECT_EQ(value_of(rows_of(dlg.list(CDlgProperties::kInfo)), "File size"),
                               size_text(st.st_size, size_units_from_language()));
                     command(ID_PROP_IPTC);
                     EXPECT_EQ(dlg.page(), CDlgProperties::kIptc);
                     const Rows iptc = rows_of(dlg.list(CDlgProperties::kIptc));
                     EXPECT_EQ(value_of(iptc, "Caption"), "Lake at dawn");
                     EXPECT_EQ(value_of(iptc, "Byline"), "A. Photographer");
                     command(ID_PROP_EXIF);
                     EXPECT_EQ(dlg.page(), CDlgProperties::kExif);
                     EXPECT_FALSE(plat::IsWindowVisible(dlg.list(CDlgProperties::kIptc)));
                     EXPECT_TRUE(plat::IsWindowVisible(dlg.list(CDlgProperties::kExif)));
                     EXPECT_FALSE(plat::IsWindowVisible(dlg.list(CDlgProperties::kInfo)));
                     const Rows exif = rows_of(dlg.list(CDlgProperties::kExif));
                     ASSERT_FALSE(exif.empty());
                     EXPECT_EQ(exif[0], (std::pair<std::string, std::string>{"", ""}));  // the camera section
                     EXPECT_EQ(value_of(exif, "Camera Manufacturer"), "Canon");
                     EXPECT_EQ(value_of(exif, "Camera Model"), "Canon EOS 5D");
                   }});
  for (int i = 1; i <= 4; ++i) {
    steps.push_back({0, [&, i] {
                       command(ID_PROP_NEXT);
                       check(i);
                       // The EXIF page was showing; a file without Exif falls back to Info.
                       EXPECT_EQ(dlg.page(), CDlgProperties::kInfo);
                       EXPECT_TRUE(plat::IsWindowVisible(dlg.list(CDlgProperties::kInfo)));
                       EXPECT_EQ(dlg.list(CDlgProperties::kExif).item_count(), 0);
                     }});
  }
  steps.push_back({0, [&] {
                     command(ID_PROP_NEXT);  // past the end: nothing happens
                     EXPECT_EQ(dlg.index(), 4);
                     for (int i = 0; i < 4; ++i) command(ID_PROP_PREVIOUS);
                     check(0);
                     command(ID_PROP_PREVIOUS);
                     EXPECT_EQ(dlg.index(), 0);
                   }});
  steps.push_back(plat::VK_TSOFT1);  // Done
  EXPECT_EQ(run(dlg, steps), 0);
  EXPECT_EQ(dlg.index(), 0);
}

TEST_F(InfoDialogsTest, PropertiesOfASingleFile) {
  write_jpeg(picture("only.jpg"), "Nikon", "D70");
  CDlgProperties dlg(parent_, {picture("only.jpg")}, -3);
  bool seen = false;
  run(dlg, {{0,
             [&] {
               seen = true;
               EXPECT_EQ(dlg.index(), 0);
               EXPECT_TRUE(greyed(dlg.action_menu(), ID_PROP_PREVIOUS));
               EXPECT_TRUE(greyed(dlg.action_menu(), ID_PROP_NEXT));
               EXPECT_FALSE(greyed(dlg.action_menu(), ID_PROP_EXIF));
               // Names right-aligned; the values' column takes the rest of the list's width.
               const CListInfo& list = dlg.list(CDlgProperties::kInfo);
               RECT client;
               plat::GetClientRect(list, &client);
               EXPECT_EQ(list.column_width(0) + list.column_width(1), client.right);
               EXPECT_LE(list.column_width(0), client.right / 2);
               plat::LVCOLUMN c;
               c.mask = plat::LVCF_FMT;
               plat::SendMessage(list, plat::LVM_GETCOLUMN, 0, reinterpret_cast<LPARAM>(&c));
               EXPECT_EQ(c.fmt, plat::LVCFMT_RIGHT);
               // The picture shows in the corner.
               EXPECT_NE(dlg.picture().picture(), nullptr);
             }},
            plat::VK_TBACK});
  EXPECT_TRUE(seen);
}

TEST(InfoRows, ColumnsAndNamesFitTheirPlace) {
  struct Split {
    std::vector<int> names, values;
    int expected;
  } splits[] = {
      {{70, 60}, {50, 40}, 70},     // everything fits: the names' column as wide as the widest name
      {{130, 90}, {60, 300}, 130},  // a long value is cut anyway: the names stay whole
      {{400, 60}, {50, 60}, 60},    // a huge name is cut anyway: the values get the room
      {{}, {}, 100},
  };
  for (const Split& c : splits) EXPECT_EQ(column_split(c.names, c.values, 200), c.expected);
  auto ten_each = [](const std::string& s) { return static_cast<int>(s.size()) * 10; };
  EXPECT_EQ(wrap_name("abc", 40, 1, ten_each), "abc");
  EXPECT_EQ(wrap_name("abcdefghij", 40, 3, ten_each), "abcd\nefgh\nij");
  EXPECT_EQ(wrap_name("abcdefghijklmnop", 40, 2, ten_each), "abcd\ne...");
  EXPECT_EQ(wrap_name("\xC3\xA9\xC3\xA9\xC3\xA9", 40, 2, ten_each), "\xC3\xA9\xC3\xA9\n\xC3\xA9");  // whole characters
}

TEST(InfoRows, MetadataTextIsShownAsUtf8) {
  EXPECT_EQ(metadata_text("Caf\xC3\xA9"), "Caf\xC3\xA9");      // UTF-8 kept
  EXPECT_EQ(metadata_text("Caf\xE9"), "Caf\xC3\xA9");          // Latin-1 converted
  EXPECT_EQ(metadata_text(std::string(300, 'x').c_str()), std::string(128, 'x'));
  EXPECT_EQ(metadata_text(nullptr), "");
}

// ---- Options -------------------------------------------------------------------------------------

TEST_F(InfoDialogsTest, OptionPagesStoreOrDropTheirValues) {
  write_file(root_ / "lng/de.lng", "Language = Deutsch\n");
  bool restart_shown = false;
  // A step after the soft key's command: the message box, when Done opened one, is up by then.
  const Step look_for_restart{0, [&] {
                                plat::PumpPendingMessages();
                                for (const plat::DrawnText& t : plat::DrawnTexts())
                                  if (t.text.find("restart Lumora") != std::string::npos) restart_shown = true;
                              }};
  auto combo = [](int id, int i) {
    return Step{0, [id, i] { plat::SendDlgItemMessage(plat::GetParent(plat::GetFocus()), id, plat::CB_SETCURSEL, i, 0); }};
  };
  enum { kGeneral, kThumbs, kSlide };
  struct Case {
    const char* name;
    int page;
    std::vector<Step> steps;
    std::function<void(const Settings&)> check;
    bool changed, restart;
  } cases[] = {
      {"rotation only: no restart message", kGeneral,
       {combo(IDC_ROTATION_LIST, 3), combo(IDC_RESIZE_LIST, 2), plat::VK_TSOFT1, 0, look_for_restart},
       [](const Settings& s) { EXPECT_EQ(s.rotate * 10 + s.resize_big_picture, 32u); }, true, false},
      {"language: restart message", kGeneral,
       {combo(IDC_LANGUAGE_LIST, 1), plat::VK_TSOFT1, 0, look_for_restart, plat::VK_RETURN},
       [](const Settings& s) { EXPECT_EQ(s.rotate, 1u); }, true, true},
      {"cancel drops the changes", kGeneral,
       {combo(IDC_ROTATION_LIST, 4), plat::VK_DOWN, plat::VK_DOWN, plat::VK_RETURN, plat::VK_TSOFT2, 0, look_for_restart},
       [](const Settings& s) { EXPECT_TRUE(s.rotate == 1 && s.exif_rotate); }, false, false},
      // Language, rotation, then the check box, which the action key clicks.
      {"camera orientation", kGeneral, {plat::VK_DOWN, plat::VK_DOWN, plat::VK_RETURN, plat::VK_TSOFT1},
       [](const Settings& s) { EXPECT_FALSE(s.exif_rotate); }, true, false},
      {"keep thumbnails off", kThumbs, {plat::VK_DOWN, plat::VK_DOWN, plat::VK_RETURN, plat::VK_TSOFT1},
       [](const Settings& s) { EXPECT_TRUE(!s.thumb_cache && s.use_embedded && !s.high_quality); }, true, false},
      {"the spinner steps the delay", kSlide, {plat::VK_RIGHT, plat::VK_RIGHT, plat::VK_TSOFT1},
       [](const Settings& s) { EXPECT_EQ(s.delay, 4u); }, true, false},
      {"a typed delay stays within 120 seconds", kSlide,
       {{0, [] { plat::SetWindowText(plat::GetFocus(), "500"); }}, plat::VK_DOWN, plat::VK_RETURN, plat::VK_TSOFT1},
       [](const Settings& s) { EXPECT_TRUE(s.delay == kMaxSlideDelay && !s.use_transition); }, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    the_language().load("en");
    Settings settings;
    restart_shown = false;
    plat::SetTextRecording(true);
    plat::ClearDrawnTexts();
    std::unique_ptr<CDlgSettingsPage> page;
    if (c.page == kGeneral) page = std::make_unique<CDlgGeneralOpt>(parent_, &settings);
    if (c.page == kThumbs) page = std::make_unique<CDlgThumbOpt>(parent_, &settings);
    if (c.page == kSlide) page = std::make_unique<CDlgSlideOpt>(parent_, &settings);
    EXPECT_EQ(run(*page, c.steps), c.changed ? 1 : 2);
    plat::SetTextRecording(false);
    c.check(settings);
    EXPECT_EQ(page->changed(), c.changed);
    EXPECT_EQ(restart_shown, c.restart);
    EXPECT_EQ(the_language().name(), c.restart ? "de" : "en");
  }
}

TEST_F(InfoDialogsTest, OptionsListOpensThePages) {
  Settings settings;
  CDlgOpt dlg(parent_, &settings);
  std::string page_title;
  run(dlg, {{0,
             [&] {
               const HWND list = plat::GetDlgItem(dlg.hwnd(), IDC_OPTION_LIST);
               EXPECT_EQ(plat::GetFocus(), list);
               EXPECT_EQ(plat::SendMessage(list, plat::LVM_GETITEMCOUNT, 0, 0), 4);
             }},
            plat::VK_DOWN,
            plat::VK_DOWN,
            plat::VK_RETURN,  // SlideShow
            {0, [&] { page_title = plat::GetWindowText(plat::GetParent(plat::GetFocus())); }},
            plat::VK_RIGHT,   // the spinner: one second more
            plat::VK_TSOFT1,  // the page's Done
            plat::VK_TSOFT1});  // the list's Done
  EXPECT_EQ(page_title, "SlideShow");
  EXPECT_TRUE(dlg.changed());
  EXPECT_EQ(settings.delay, 3u);
}

// ---- Associations --------------------------------------------------------------------------------

TEST(MimeDefaults, OnlyTheTypesLineChanges) {
  const std::string base =
      "# mine\r\n[Default Applications]\r\nimage/jpeg=eog.desktop;\r\ntext/plain = gedit.desktop\r\n\r\n"
      "[Added Associations]\r\nimage/png=gimp.desktop;\r\n";
  struct Case {
    const char* text;
    const char* type;
    const char* value;
    const char* expected;
  } cases[] = {
      {"[Default Applications]\nimage/jpeg=eog.desktop;\ntext/plain=gedit.desktop\n", "image/jpeg", "lumora.desktop",
       "[Default Applications]\nimage/jpeg=lumora.desktop\ntext/plain=gedit.desktop\n"},
      // Added after the group's last line, before the blank line and the next group.
      {"[Default Applications]\ntext/plain=gedit.desktop\n\n[Added Associations]\nimage/png=gimp.desktop;\n",
       "image/png", "lumora.desktop",
       "[Default Applications]\ntext/plain=gedit.desktop\nimage/png=lumora.desktop\n\n[Added Associations]\n"
       "image/png=gimp.desktop;\n"},
      {"[Added Associations]\nimage/png=gimp.desktop;", "image/png", "lumora.desktop",
       "[Added Associations]\nimage/png=gimp.desktop;\n\n[Default Applications]\nimage/png=lumora.desktop\n"},
      {"", "image/gif", "lumora.desktop", "[Default Applications]\nimage/gif=lumora.desktop\n"},
      {"[Default Applications]\nimage/gif = lumora.desktop\nimage/png=x.desktop\n", "image/gif", "",
       "[Default Applications]\nimage/png=x.desktop\n"},
      {"[Default Applications]\nimage/png=x.desktop\n", "image/gif", "", "[Default Applications]\nimage/png=x.desktop\n"},
      {"[Default Applications]\r\nimage/png=x.desktop\r\n", "image/gif", "lumora.desktop",
       "[Default Applications]\r\nimage/png=x.desktop\r\nimage/gif=lumora.desktop\r\n"},
      // The group the type's line was the last entry of goes, with the blank line before it.
      {"[Added Associations]\nimage/png=gimp.desktop;\n\n[Default Applications]\nimage/png=lumora.desktop\n",
       "image/png", "", "[Added Associations]\nimage/png=gimp.desktop;\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mimeapps_with_default(c.text, c.type, c.value), c.expected) << c.text;
    EXPECT_EQ(mimeapps_default(c.expected, c.type), c.value) << c.expected;
  }
  // Carriage returns, comments and other groups are kept byte for byte.
  const std::string set = mimeapps_with_default(base, "image/jpeg", "lumora.desktop");
  EXPECT_EQ(mimeapps_default(set, "text/plain"), "gedit.desktop");
  EXPECT_EQ(mimeapps_default(set, "image/png"), "");  // only an added association
  EXPECT_EQ(mimeapps_with_default(set, "image/jpeg", "eog.desktop;"), base);
  EXPECT_EQ(first_desktop_id(" a.desktop ;b.desktop;"), "a.desktop");
  EXPECT_EQ(first_desktop_id(";;"), "");
}

const AssociationRow& row_of(int check_id) {
  for (const AssociationRow& r : association_rows())
    if (r.check_id == check_id) return r;
  throw std::runtime_error("no row");
}

std::string class_value(const std::string& key, bool* found = nullptr) {
  plat::HKEY k = nullptr;
  std::string v;
  const bool ok = plat::RegOpenKeyEx(plat::HKEY_CLASSES_ROOT, key, &k) == plat::ERROR_SUCCESS &&
                  plat::RegQueryString(k, "", &v) == plat::ERROR_SUCCESS;
  if (k) plat::RegCloseKey(k);
  if (found) *found = ok;
  return ok ? v : "<none>";
}
void set_class_value(const std::string& key, const std::string& v) {
  plat::HKEY k = nullptr;
  ASSERT_EQ(plat::RegCreateKeyEx(plat::HKEY_CLASSES_ROOT, key, &k), plat::ERROR_SUCCESS);
  plat::RegSetString(k, "", v);
  plat::RegCloseKey(k);
}

TEST_F(InfoDialogsTest, AssociationsAreSetKeptAndGivenBack) {
  install_desktop_entry();
  // mimeapps.list is a link into the user's dotfiles; the link stays a link.
  const fs::path dotfile = root_ / "dotfiles/mimeapps.list";
  const std::string original =
      "# kept by hand\n[Default Applications]\nimage/jpeg=eog.desktop;\ntext/plain=gedit.desktop\n\n"
      "[Added Associations]\nimage/jpeg=gimp.desktop;\n";
  write_file(dotfile, original);
  fs::create_directories(root_ / "xdgconfig");
  fs::create_symlink(dotfile, root_ / "xdgconfig/mimeapps.list");
  set_class_value(".jpg", "jpegfile");
  set_class_value(".jpe", "jpegfile");
  const AssociationRow& jpeg = row_of(1034);
  const AssociationRow& png = row_of(1035);
  const std::string program = "/opt/lumora/bin/lumora";
  auto mime = [&] { return read_file(dotfile); };

  ASSERT_FALSE(row_associated(jpeg));
  associate_row(jpeg, true, program);
  associate_row(jpeg, true, program);  // twice: the backups still name the former owners
  EXPECT_TRUE(row_associated(jpeg));
  for (const char* e : {"jpg", "jpeg", "jif", "jfif", "jpe"}) {
    SCOPED_TRACE(e);
    const std::string id = std::string("Corvalin.") + e;
    EXPECT_EQ(class_value(std::string(".") + e), id);
    EXPECT_EQ(class_value(id), "jpg");
    EXPECT_EQ(class_value(id + "\\shell\\open\\command"), "\"/opt/lumora/bin/lumora\" %1");
    EXPECT_EQ(class_value(id + "\\DefaultIcon"), "/opt/lumora/bin/lumora,-134");
  }
  EXPECT_EQ(class_value(".jpg\\Lumora.bak"), "jpegfile");
  EXPECT_EQ(class_value(".jpe\\Lumora.bak"), "jpegfile");
  EXPECT_EQ(class_value(".jpeg\\Lumora.bak"), "<none>");
  EXPECT_TRUE(fs::is_symlink(root_ / "xdgconfig/mimeapps.list"));
  EXPECT_EQ(mime(), "# kept by hand\n[Default Applications]\nimage/jpeg=lumora.desktop\ntext/plain=gedit.desktop\n\n"
                    "[Added Associations]\nimage/jpeg=gimp.desktop;\n");

  // One foreign owner, in either place, leaves the row unchecked.
  set_class_value(".jpe", "otherfile");
  EXPECT_FALSE(row_associated(jpeg));
  set_class_value(".jpe", "CORVALIN.JPE");  // case does not matter
  EXPECT_TRUE(row_associated(jpeg));
  write_file(dotfile, mimeapps_with_default(mime(), "image/jpeg", "eog.desktop"));
  EXPECT_FALSE(row_associated(jpeg));
  write_file(dotfile, mimeapps_with_default(mime(), "image/jpeg", "lumora.desktop;eog.desktop;"));
  EXPECT_TRUE(row_associated(jpeg));

  // Given back: the former owners return, the backups go, a fresh extension names no one.
  associate_row(jpeg, false, program);
  EXPECT_FALSE(row_associated(jpeg));
  EXPECT_EQ(class_value(".jpg"), "jpegfile");
  EXPECT_EQ(class_value(".jpe"), "jpegfile");
  EXPECT_EQ(class_value(".jpeg"), "<none>");
  EXPECT_EQ(class_value(".jpg\\Lumora.bak"), "<none>");
  EXPECT_EQ(class_value("Corvalin.jpg"), "jpg");  // the identifier stays
  EXPECT_EQ(mime(), original);

  // A type without a default of its own gets none back.
  associate_row(png, true, program);
  EXPECT_TRUE(row_associated(png));
  EXPECT_EQ(mimeapps_default(mime(), "image/png"), "lumora.desktop");
  associate_row(png, false, program);
  EXPECT_EQ(mime(), original);
  // Another program that took the type meanwhile keeps it.
  associate_row(png, true, program);
  write_file(dotfile, mimeapps_with_default(mime(), "image/png", "gimp.desktop"));
  set_class_value(".png", "pngfile");
  associate_row(png, false, program);
  EXPECT_EQ(mimeapps_default(mime(), "image/png"), "gimp.desktop");
  EXPECT_EQ(class_value(".png"), "pngfile");
}

TEST_F(InfoDialogsTest, AssociationPageClicksApplyAtOnce) {
  const AssociationRow& jpeg = row_of(1034);
  // Without the desktop entry the rows are not offered and the page says why.
  CDlgAssociationOpt missing(parent_);
  run(missing, {{0,
                 [&] {
                   EXPECT_TRUE(plat::IsWindowVisible(plat::GetDlgItem(missing.hwnd(), IDC_NO_DESKTOP_ENTRY)));
                   EXPECT_FALSE(plat::IsWindowVisible(plat::GetDlgItem(missing.hwnd(), 1034)));
                 }},
                plat::VK_RETURN, plat::VK_TSOFT1});
  EXPECT_FALSE(row_associated(jpeg));
  EXPECT_FALSE(fs::exists(root_ / "xdgconfig/mimeapps.list"));

  install_desktop_entry();
  for (bool on : {true, false}) {
    CDlgAssociationOpt page(parent_);
    bool shown_before = !on;
    run(page, {{0,
                [&] {
                  EXPECT_FALSE(plat::IsWindowVisible(plat::GetDlgItem(page.hwnd(), IDC_NO_DESKTOP_ENTRY)));
                  shown_before = plat::IsDlgButtonChecked(page.hwnd(), 1034) == plat::BST_CHECKED;
                }},
               plat::VK_RETURN,  // the first row, JPEG, has the focus
               {0, [&] { EXPECT_EQ(plat::IsDlgButtonChecked(page.hwnd(), 1034) == plat::BST_CHECKED, on); }},
               plat::VK_TSOFT2});
    EXPECT_EQ(shown_before, !on);
    EXPECT_EQ(row_associated(jpeg), on);
    EXPECT_EQ(class_value(".jpg\\Lumora.bak"), "<none>");
    EXPECT_EQ(class_value("Corvalin.jpg\\shell\\open\\command"), "\"" + program_path() + "\" %1");
  }
  EXPECT_EQ(read_file(root_ / "xdgconfig/mimeapps.list"), "");
}

// ---- Screens -------------------------------------------------------------------------------------

struct ScreenCase {
  int w, h, dpi;
  const char* language;
};

struct NoTone : ToneTarget {
  void preview_tone(int, int, int) override {}
  void apply_tone(int, int, int) override {}
};

// Every dialog at two screens in two languages, written as PNG files for people to look at.
class DialogScreens : public InfoDialogsTest, public ::testing::WithParamInterface<ScreenCase> {
 protected:
  void SetUp() override {
    const ScreenCase& p = GetParam();
    InfoDialogsTest::SetUp();
    plat::Shutdown();
    plat::Options o;
    o.headless = true;
    o.screen_width = p.w;
    o.screen_height = p.h;
    o.dpi = p.dpi;
    std::string err;
    ASSERT_TRUE(plat::Startup(o, &err)) << err;
    plat::InitCommonControls();
    plat::WNDCLASS wc;
    wc.lpfnWndProc = plat::testing::parent_proc;
    wc.lpszClassName = "TestParent";
    plat::RegisterClass(&wc);
    plat::WNDCLASS dc;
    dc.lpfnWndProc = plat::testing::driver_proc;
    dc.lpszClassName = "TestDriver";
    plat::RegisterClass(&dc);
    register_resources();
    parent_ = plat::CreateWindowEx(0, "TestParent", "Lumora", plat::WS_VISIBLE, plat::CW_USEDEFAULT,
                                   plat::CW_USEDEFAULT, plat::CW_USEDEFAULT, plat::CW_USEDEFAULT, nullptr, 0, nullptr,
                                   nullptr);
    driver_ = plat::CreateWindowEx(0, "TestDriver", "", 0, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr);
    if (std::string(p.language) != "en") {
      const char* src = std::getenv("LUMORA_SOURCE_DIR");
      if (!src) GTEST_SKIP() << "LUMORA_SOURCE_DIR not set";
      the_language().set_search_folders({std::string(src) + "/app/lng"});
      ASSERT_TRUE(the_language().load(p.language));
    }
    const char* env = std::getenv("LUMORA_GALLERY_DIR");
    gallery_ = env && *env ? fs::path(env) : fs::temp_directory_path() / "lumora-gallery";
    fs::create_directories(gallery_);
  }
  // The top-level window holding the focus: the open dialog.
  static HWND dialog() {
    HWND h = plat::GetFocus();
    while (h && (plat::GetWindowLongPtr(h, plat::GWL_STYLE) & plat::WS_CHILD)) h = plat::GetParent(h);
    return h;
  }
  // Writes the screen and checks it: no control leaves the dialog or lies over another (a
  // spinner over its buddy aside); no text is cut short, leaves its window or lies over another
  // window's text.
  Step shot(const std::string& name, bool values_may_shorten = false) {
    return Step{0, [this, name, values_may_shorten] {
                  const HWND dlg = dialog();
                  ASSERT_TRUE(dlg) << name;
                  RECT client;
                  plat::GetClientRect(dlg, &client);
                  std::vector<std::pair<HWND, RECT>> placed;
                  for (HWND c = plat::GetWindow(dlg, plat::GW_CHILD); c; c = plat::GetWindow(c, plat::GW_HWNDNEXT)) {
                    if (!plat::IsWindowVisible(c) || plat::GetDlgCtrlID(c) == 0xFFFF) continue;
                    RECT r;
                    plat::GetWindowRect(c, &r);
                    POINT tl{r.left, r.top};
                    plat::ScreenToClient(dlg, &tl);
                    plat::OffsetRect(&r, tl.x - r.left, tl.y - r.top);
                    EXPECT_LE(r.right, client.right) << name << " control " << plat::GetDlgCtrlID(c);
                    // A label or check box one line high shows its whole text on that line.
                    const std::string cls = plat::GetClassName(c), text = plat::GetWindowText(c);
                    if ((cls == "Static" || cls == "Button") && !text.empty() && text.find('\n') == std::string::npos) {
                      HDC dc = plat::GetDC(c);
                      const auto font = reinterpret_cast<HFONT>(plat::SendMessage(c, plat::WM_GETFONT, 0, 0));
                      HGDIOBJ old = plat::SelectObject(dc, font);
                      SIZE size;
                      plat::GetTextExtentPoint32(dc, text, &size);
                      plat::SelectObject(dc, old);
                      plat::ReleaseDC(c, dc);
                      const int box = cls == "Button" ? plat::RectHeight(r) + plat::MulDiv(6, GetParam().dpi, 96) : 0;
                      if (plat::RectHeight(r) < 2 * size.cy) {
                        EXPECT_LE(size.cx + box, plat::RectWidth(r)) << name << ": \"" << text << "\" is cut";
                      }
                    }
                    const bool spinner = cls == "msctls_updown32";
                    for (const auto& [other, o] : placed) {
                      RECT both;
                      if (!spinner && plat::GetClassName(other) != "msctls_updown32") {
                        EXPECT_FALSE(plat::IntersectRect(&both, &r, &o))
                            << name << ": " << plat::GetDlgCtrlID(c) << " overlaps " << plat::GetDlgCtrlID(other);
                      }
                    }
                    placed.emplace_back(c, r);
                  }
                  plat::SetTextRecording(true);
                  plat::ClearDrawnTexts();
                  plat::InvalidateRect(nullptr, nullptr, TRUE);
                  plat::PumpPendingMessages();
                  const ScreenCase& p = GetParam();
                  const fs::path file = gallery_ / (name + "_" + p.language + "_" + std::to_string(p.w) + "x" +
                                                    std::to_string(p.h) + "_" + std::to_string(p.dpi) + ".png");
                  EXPECT_TRUE(plat::SaveScreenshot(file.string())) << file;
                  // A text painted twice at one place (a repaint, the title band over its dialog) is one
                  // text. Edits and trees scroll or shorten the user's own names: their controls are
                  // checked above.
                  std::vector<plat::DrawnText> texts;
                  EXPECT_FALSE(plat::DrawnTexts().empty()) << name;
                  for (const plat::DrawnText& t : plat::DrawnTexts()) {
                    const std::string cls = plat::GetClassName(t.hwnd);
                    if (cls == plat::WC_EDIT || cls == plat::WC_TREEVIEW) continue;
                    const bool again = std::any_of(texts.begin(), texts.end(), [&](const plat::DrawnText& o) {
                      return o.text == t.text && plat::EqualRect(&o.bounds, &t.bounds);
                    });
                    if (!again) texts.push_back(t);
                  }
                  plat::SetTextRecording(false);
                  for (size_t i = 0; i < texts.size(); ++i) {
                    const plat::DrawnText& t = texts[i];
                    RECT wr;
                    plat::GetWindowRect(t.hwnd, &wr);
                    const bool in_list = plat::GetClassName(t.hwnd) == plat::WC_LISTVIEW;
                    if (!(values_may_shorten && in_list)) {
                      EXPECT_FALSE(t.text.size() > 3 && t.text.ends_with("...")) << name << ": \"" << t.text << "\"";
                    }
                    EXPECT_TRUE(t.bounds.left >= wr.left && t.bounds.right <= wr.right && t.bounds.top >= wr.top &&
                                t.bounds.bottom <= wr.bottom)
                        << name << ": \"" << t.text << "\" leaves its window";
                    for (size_t j = i + 1; j < texts.size(); ++j) {
                      RECT overlap;
                      if (texts[j].hwnd != t.hwnd && plat::IntersectRect(&overlap, &t.bounds, &texts[j].bounds))
                        ADD_FAILURE() << name << ": \"" << t.text << "\" over \"" << texts[j].text << "\"";
                    }
                  }
                }};
  }
  fs::path gallery_;
};

TEST_P(DialogScreens, EveryDialogLooksFinished) {
  write_jpeg(picture("IMG_0042.JPG"), "Canon", "Canon PowerShot A95 with a long model name",
             "Sunset over the lake, from the north shore");
  write_jpeg(picture("holiday_at_the_lake_2007_panorama.jpg"), nullptr, nullptr);
  fs::create_directories(root_ / "pictures/Holiday 2007/Beach");
  Bitmap pic = test::make_picture(64, 48, [](int x, int y) { return test::Rgb{x * 4, y * 5, 40}; });
  SaveOptions save;
  save.format = 2;
  int w = 640, h = 480;
  std::string renamed, folder = picture("Holiday 2007/Beach/");
  NoTone tone;
  Settings settings;
  CDlgProperties* properties = nullptr;
  auto command = [](UINT id) {
    return Step{0, [id] { plat::SendMessage(dialog(), plat::WM_COMMAND, id, 0); }};
  };
  // Every other row of the properties shaded, at the right end of the values' column.
  const Step shading{0, [&] {
                       RECT row;
                       row.left = plat::LVIR_BOUNDS;
                       const HWND list = properties->list(CDlgProperties::kInfo);
                       plat::SendMessage(list, plat::LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
                       POINT p{row.right - 3, (row.top + row.bottom) / 2};
                       plat::ClientToScreen(list, &p);
                       EXPECT_EQ(plat::testing::screen_pixel(p.x, p.y), 0xC3C3C3u);
                     }};
  struct Shown {
    std::vector<Step> steps;
    std::function<void()> open;
  };
  const Shown dialogs[] = {
      {{shot("resize"), plat::VK_TSOFT2}, [&] { run_resize_dialog(parent_, &w, &h); }},
      {{shot("saveas"), plat::VK_TSOFT2}, [&] { save_picture_as(parent_, picture("IMG_2041.jpg"), &pic, &save); }},
      {{shot("rename"), plat::VK_TSOFT2}, [&] { run_rename_dialog(parent_, picture("IMG_2041.jpg"), &renamed); }},
      {{shot("browse"), plat::VK_TSOFT2}, [&] { choose_folder(parent_, &folder); }},
      {{shot("about"), plat::VK_TSOFT1}, [&] { show_about(parent_); }},
      {{shot("adjust"), plat::VK_TBACK}, [&] { CDlgAdjust(parent_, &tone).run(); }},
      {{shot("properties_info", true), shading, command(ID_PROP_EXIF), shot("properties_exif", true),
        command(ID_PROP_IPTC), shot("properties_iptc", true), command(ID_PROP_NEXT),
        shot("properties_long_name", true), plat::VK_TSOFT1},
       [&] {
         CDlgProperties dlg(parent_, {picture("IMG_0042.JPG"), picture("holiday_at_the_lake_2007_panorama.jpg")}, 0);
         properties = &dlg;
         dlg.run();
       }},
      {{shot("options"), plat::VK_TSOFT1}, [&] { CDlgOpt(parent_, &settings).run(); }},
      {{shot("options_general"), plat::VK_TSOFT2}, [&] { CDlgGeneralOpt(parent_, &settings).run(); }},
      {{shot("options_thumbnails"), plat::VK_TSOFT2}, [&] { CDlgThumbOpt(parent_, &settings).run(); }},
      {{shot("options_slideshow"), plat::VK_TSOFT2}, [&] { CDlgSlideOpt(parent_, &settings).run(); }},
      {{shot("options_associations_not_installed"), plat::VK_TSOFT2}, [&] { CDlgAssociationOpt(parent_).run(); }},
      {{shot("options_associations"), plat::VK_TSOFT2},
       [&] {
         install_desktop_entry();
         CDlgAssociationOpt(parent_).run();
       }},
  };
  for (const Shown& d : dialogs) {
    drive(d.steps);
    d.open();
    plat::PumpPendingMessages();
    plat::MSG m;
    while (plat::PeekMessage(&m, nullptr, plat::WM_QUIT, plat::WM_QUIT, plat::PM_REMOVE)) {
    }
  }
  bitmap_free(&pic);
}

INSTANTIATE_TEST_SUITE_P(Screens, DialogScreens,
                         ::testing::Values(ScreenCase{240, 320, 96, "en"}, ScreenCase{480, 640, 192, "en"},
                                           ScreenCase{240, 320, 96, "de"}, ScreenCase{480, 640, 192, "de"}),
                         [](const ::testing::TestParamInfo<ScreenCase>& i) {
                           return std::to_string(i.param.w) + "x" + std::to_string(i.param.h) + "_" + i.param.language;
                         });

}  // namespace
}  // namespace lumora::app
