// The edit dialogs, the folder chooser and the About box, driven through the phone's keys in the
// headless platform: the size arithmetic, the Adjust strip's preview and cancel, Save as in every
// format and colour mode read back with the library, the overwrite question, Rename's parts, the
// chooser's tree, Back, Cancel and label (their screens are checked with the others' in
// info_dialogs_test).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/dialogs/dialogs.h"
#include "app/dialogs/dlg_about.h"
#include "app/dialogs/dlg_adjust.h"
#include "app/dialogs/dlg_get_folder.h"
#include "app/dialogs/dlg_saveas.h"
#include "app/shell/language.h"
#include "app/shell/resource.h"
#include "app/shell/resources.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "platform/controls_fixture.h"
#include "tests/support/picture_file.h"

namespace lumora::app {
// The Properties and Options dialogs register their templates from their own files, which this
// test does not need; these give way to them when they are linked.
[[gnu::weak]] void register_properties_resources() {}
[[gnu::weak]] void register_options_resources() {}
}  // namespace lumora::app

namespace lumora::app {
namespace {

namespace fs = std::filesystem;
using plat::testing::Step;

class DialogsTest : public plat::testing::ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    register_resources();
    lumora::library_start();
    // The owner ends above its soft-key bar, as the main window does.
    SHMENUBARINFO mb;
    mb.hwndParent = parent_;
    mb.nToolBarId = IDM_VIEWER;
    SHCreateMenuBar(&mb);
  }
  void TearDown() override {
    the_language().load("en");
    lumora::library_stop();
    ControlsTest::TearDown();
  }
  // Runs `body` (which opens a modal dialog) while the steps press keys inside it.
  template <class F>
  auto with_keys(std::vector<Step> steps, F body) {
    drive(std::move(steps));
    auto result = body();
    PumpPendingMessages();
    MSG m;
    while (PeekMessage(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    return result;
  }
  // The top-level window holding the focus: the open dialog.
  static HWND dialog() {
    HWND h = GetFocus();
    while (h && (GetWindowLongPtr(h, GWL_STYLE) & WS_CHILD)) h = GetParent(h);
    return h;
  }
  static std::string text(int id) { return GetDlgItemText(dialog(), id); }
  static Step type(int id, std::string t) {
    return {0, [id, t] {
              HWND e = GetDlgItem(dialog(), id);
              SetFocus(e);
              SendMessage(e, EM_SETSEL, 0, -1);
              if (t.empty()) SendMessage(e, WM_CHAR, VK_BACK, 0);
              else InjectText(t);
            }};
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  test::TempDir tmp_;
  const fs::path dir_ = tmp_.dir();
};

// ---- Resize ------------------------------------------------------------------------------------

TEST_F(DialogsTest, ResizeKeepsTheProportions) {
  struct Case {
    int w, h;
    std::vector<Step> steps;
    int want_w, want_h;
    const char* want_percent;
  } cases[] = {
      {101, 75, {type(1017, "50")}, 51, 38, "50"},  // rounded up
      {640, 480, {type(1020, "320")}, 320, 240, "50"},
      {640, 480, {type(1022, "120")}, 160, 120, "25"},
      // "320x240" is the third entry after the empty one; a portrait picture is fitted by height.
      {480, 640, {{0, [] { SetFocus(GetDlgItem(dialog(), 1024)); }}, VK_RIGHT, VK_RIGHT, VK_RIGHT}, 180, 240, "37"},
      {300, 200, {{0, [] { SetFocus(GetDlgItem(dialog(), 1017)); }}, VK_RIGHT}, 303, 202, "101"},  // spinner
  };
  for (Case& c : cases) {
    int w = c.w, h = c.h;
    std::string percent;
    LRESULT preset = -1;
    c.steps.push_back({0, [&] {
                         percent = text(1017);
                         preset = SendDlgItemMessage(dialog(), 1024, CB_GETCURSEL, 0, 0);
                       }});
    c.steps.push_back(VK_TSOFT1);
    EXPECT_TRUE(with_keys(c.steps, [&] { return run_resize_dialog(parent_, &w, &h); })) << c.w << "x" << c.h;
    EXPECT_EQ(w, c.want_w) << c.w << "x" << c.h;
    EXPECT_EQ(h, c.want_h) << c.w << "x" << c.h;
    EXPECT_EQ(percent, c.want_percent) << c.w << "x" << c.h;
    // Only a choice from the list stays shown in the list.
    EXPECT_EQ(preset, c.w == 480 ? 3 : 0) << c.w << "x" << c.h;
  }
  int w = 640, h = 480;
  EXPECT_FALSE(with_keys({type(1017, "50"), VK_TSOFT2}, [&] { return run_resize_dialog(parent_, &w, &h); }));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
}

// ---- Adjust ------------------------------------------------------------------------------------

struct RecordedTone : ToneTarget {
  int calls = 0;
  int preview[3] = {0, 0, 10};
  bool applied = false;
  int apply[3] = {0, 0, 10};
  void preview_tone(int b, int c, int g) override {
    ++calls;
    preview[0] = b, preview[1] = c, preview[2] = g;
  }
  void apply_tone(int b, int c, int g) override {
    applied = true;
    apply[0] = b, apply[1] = c, apply[2] = g;
  }
};

TEST_F(DialogsTest, AdjustPreviewsAppliesOnDoneAndCancelLeavesThePicture) {
  auto command = [](UINT id) { return Step{0, [id] { PostMessage(dialog(), WM_COMMAND, id, 0); }}; };
  struct Case {
    std::vector<Step> steps;
    LRESULT result;
    bool applied;
    int tone[3];       // applied, or the last preview
    const char* shown; // the value edit before the last key
  } cases[] = {
      {{VK_RIGHT, VK_RIGHT, 0, VK_TSOFT1}, 1, true, {2, 0, 10}, "2"},
      {{command(ID_ADJUST_CONTRAST), VK_LEFT, 0, VK_TSOFT1}, 1, true, {0, -1, 10}, "-1"},
      {{command(ID_ADJUST_GAMMA), VK_RIGHT, VK_RIGHT, 0, VK_TSOFT1}, 1, true, {0, 0, 12}, "1.200"},
      {{VK_RIGHT, command(ID_ADJUST_RESET), 0, VK_TSOFT1}, 1, true, {0, 0, 10}, "0"},
      {{VK_RIGHT, VK_RIGHT, 0, VK_TBACK}, 0, false, {0, 0, 10}, "2"},
      {{command(ID_ADJUST_GAMMA), VK_RIGHT, 0, command(ID_ADJUST_CANCEL)}, 0, false, {0, 0, 10}, "1.100"},
  };
  for (Case& c : cases) {
    RecordedTone tone;
    std::string shown;
    RECT strip{}, area{};
    c.steps.insert(c.steps.end() - 1, Step{0, [&] {
                                             shown = text(CDlgAdjust::kValue);
                                             GetWindowRect(dialog(), &strip);
                                           }});
    LRESULT r = with_keys(c.steps, [&] {
      CDlgAdjust dlg(parent_, &tone);
      return dlg.run();
    });
    EXPECT_EQ(r, c.result) << shown;
    EXPECT_EQ(tone.applied, c.applied) << shown;
    const int* got = c.applied ? tone.apply : tone.preview;
    EXPECT_EQ(std::vector<int>(got, got + 3), std::vector<int>(c.tone, c.tone + 3)) << shown;
    EXPECT_EQ(shown, c.shown);
    EXPECT_GT(tone.calls, 0);
    // A strip across the bottom of the owner's client area.
    GetClientRect(parent_, &area);
    EXPECT_EQ(strip.bottom, area.bottom);
    EXPECT_EQ(RectWidth(strip), area.right);
    EXPECT_LT(RectHeight(strip), area.bottom / 3);
  }
}

// ---- Save as -----------------------------------------------------------------------------------

lumora::Bitmap gradient(int w, int h) {
  lumora::Bitmap b{};
  EXPECT_EQ(bitmap_alloc(&b, kPixBGR, 4, w, h), 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = b.pixels + static_cast<size_t>(y) * b.bytes_per_line + static_cast<size_t>(x) * 3;
      p[0] = static_cast<uint8_t>(x * 255 / w), p[1] = static_cast<uint8_t>(y * 255 / h), p[2] = static_cast<uint8_t>((x + y) * 4);
    }
  return b;
}

TEST_F(DialogsTest, ColourListFollowsTheFormat) {
  struct Case {
    int presses;  // Right on the format list from JPEG
    std::vector<std::string> colours;
    bool exif, quality;
  } cases[] = {
      {0, {"24 Bits"}, true, true},
      {1, {"24 Bits", "256 colors", "16 colors", "Black&White"}, false, false},
      {2, {"256 colors", "16 colors", "Black&White"}, false, false},
      {3, {"24 Bits", "256 colors", "16 colors", "Black&White"}, false, true},
  };
  lumora::Bitmap pic = gradient(40, 30);
  for (const Case& c : cases) {
    std::vector<std::string> colours;
    bool exif = false, quality = false, spin = false;
    std::vector<Step> steps{{0, [] { SetFocus(GetDlgItem(dialog(), CDlgSaveas::kFormat)); }}};
    for (int i = 0; i < c.presses; ++i) steps.push_back(VK_RIGHT);
    steps.push_back({0, [&] {
                       HWND list = GetDlgItem(dialog(), CDlgSaveas::kColors);
                       for (LRESULT i = 0; i < SendMessage(list, CB_GETCOUNT, 0, 0); ++i) {
                         char buf[64] = {};
                         SendMessage(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
                         colours.emplace_back(buf);
                       }
                       exif = IsWindowEnabled(GetDlgItem(dialog(), CDlgSaveas::kSaveExif));
                       quality = IsWindowEnabled(GetDlgItem(dialog(), CDlgSaveas::kQuality));
                       spin = IsWindowEnabled(GetDlgItem(dialog(), CDlgSaveas::kQualitySpin));
                     }});
    steps.push_back(VK_TSOFT2);
    SaveOptions options;
    auto r = with_keys(steps, [&] { return save_picture_as(parent_, path("a.jpg"), &pic, &options); });
    EXPECT_EQ(r, SaveAsResult::kCancelled);
    EXPECT_EQ(colours, c.colours) << c.presses;
    EXPECT_EQ(exif, c.exif) << c.presses;
    EXPECT_EQ(quality, c.quality) << c.presses;
    EXPECT_EQ(spin, c.quality) << c.presses;
  }
  EXPECT_FALSE(fs::exists(path("a.jpg")));
  bitmap_free(&pic);
}

TEST_F(DialogsTest, SaveAsWritesEveryFormatAndColourModeThatReadsBack) {
  struct Case {
    int format, color_mode;
    const char* extension;
    int max_bits;  // bits per pixel the file may use
  } cases[] = {
      {0, 3, ".jpg", 24}, {1, 3, ".bmp", 24}, {1, 2, ".bmp", 8}, {1, 1, ".bmp", 4}, {1, 0, ".bmp", 1},
      {2, 2, ".gif", 8},  {2, 1, ".gif", 4},  {2, 0, ".gif", 1}, {3, 3, ".png", 24}, {3, 2, ".png", 8},
      {3, 1, ".png", 4},  {3, 0, ".png", 1},
  };
  lumora::Bitmap pic = gradient(41, 29);
  for (const Case& c : cases) {
    SaveOptions o;
    o.format = c.format;
    o.color_mode = c.color_mode;
    const std::string base = path("out" + std::to_string(c.format) + std::to_string(c.color_mode));
    std::string saved;
    ASSERT_EQ(save_with_options(parent_, base, &pic, o, &saved), SaveAsResult::kSaved) << base;
    EXPECT_EQ(saved, base + c.extension);
    FileInfo info{};
    ASSERT_EQ(lumora::load_info(saved.c_str(), -1, 0, &info) & 0xFFFF, 0) << saved;
    EXPECT_EQ(info.width, 41u);
    EXPECT_EQ(info.height, 29u);
    const int bits = info.bits_per_sample * info.samples_per_pixel * std::max<int>(1, info.planes);
    if (c.color_mode == 3) {
      EXPECT_GE(bits, 24) << saved;
    } else {
      EXPECT_LE(bits, c.max_bits) << saved;
    }
    lumora::file_info_free(&info);
  }
  // The picture shown is never changed by a conversion for saving.
  EXPECT_EQ(pic.type, kPixBGR);
  bitmap_free(&pic);
}

TEST_F(DialogsTest, SaveAsAsksBeforeReplacingAndReportsFailures) {
  lumora::Bitmap pic = gradient(16, 16);
  const std::string target = path("shown.jpg");
  std::ofstream(target) << "the picture shown";
  auto contents = [&] {
    std::ifstream f(target);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  SaveOptions o;
  // Through the dialog: Done keeps the name, the question comes, Cancel writes nothing.
  auto r = with_keys({VK_TSOFT1, 0, VK_TSOFT2}, [&] { return save_picture_as(parent_, target, &pic, &o); });
  EXPECT_EQ(r, SaveAsResult::kCancelled);
  EXPECT_EQ(contents(), "the picture shown");
  EXPECT_EQ(o.flags, 7);
  // OK replaces it.
  std::string saved;
  r = with_keys({VK_TSOFT1, 0, VK_TSOFT1}, [&] { return save_picture_as(parent_, target, &pic, &o, &saved); });
  EXPECT_EQ(r, SaveAsResult::kSaved);
  EXPECT_EQ(saved, target);
  EXPECT_NE(contents(), "the picture shown");
  // A folder that is not there: the message with its reason, and nothing written.
  std::string shown;
  SetTextRecording(true);
  r = with_keys({{VK_RETURN, [&] {
                   RedrawWindow(dialog(), nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                   for (const DrawnText& t : DrawnTexts()) shown += t.text + " ";
                 }}},
                [&] { return save_with_options(parent_, path("missing/x"), &pic, o); });
  SetTextRecording(false);
  EXPECT_EQ(r, SaveAsResult::kFailed);
  EXPECT_NE(shown.find("Problem to save the file!"), std::string::npos) << shown;
  EXPECT_NE(shown.find("cannot be written"), std::string::npos) << shown;
  EXPECT_FALSE(fs::exists(path("missing")));
  // An existing name the save cannot replace (a folder): the message, the folder as it was and no
  // file left beside it.
  fs::create_directories(path("taken.bmp"));
  const auto before = std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
  o.format = 1;
  r = with_keys({VK_TSOFT1, 0, VK_RETURN}, [&] { return save_with_options(parent_, path("taken"), &pic, o); });
  EXPECT_EQ(r, SaveAsResult::kFailed);
  EXPECT_TRUE(fs::is_directory(path("taken.bmp")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), before);
  // The folder spinner opens the chooser on the folder shown; Back there and Select take the parent.
  std::string folder_chosen;
  r = with_keys({{0, [] { SetFocus(GetDlgItem(dialog(), CDlgSaveas::kFolder)); }}, VK_RIGHT, VK_TBACK, VK_TSOFT1,
                 {VK_TSOFT2, [&] { folder_chosen = text(CDlgSaveas::kFolder); }}},
                [&] { return save_picture_as(parent_, target, &pic, &o); });
  EXPECT_EQ(r, SaveAsResult::kCancelled);
  EXPECT_EQ(folder_chosen, dir_.parent_path().string() + "/");
  // A new name and format typed in the dialog.
  o.format = 0;
  o.color_mode = 3;
  r = with_keys({type(CDlgSaveas::kName, "copy.of.shown"), {0, [] { SetFocus(GetDlgItem(dialog(), CDlgSaveas::kFormat)); }},
                 VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_TSOFT1},
                [&] { return save_picture_as(parent_, target, &pic, &o, &saved); });
  EXPECT_EQ(r, SaveAsResult::kSaved);
  EXPECT_EQ(saved, path("copy.of.shown.png"));
  EXPECT_EQ(o.format, 3);
  bitmap_free(&pic);
}

// ---- Rename ------------------------------------------------------------------------------------

TEST_F(DialogsTest, RenameJoinsFolderNameAndExtension) {
  struct Case {
    const char* path;
    std::vector<Step> steps;
    bool done;
    const char* want;
  } cases[] = {
      {"/p/holiday.jpg", {VK_TSOFT1}, true, "/p/holiday.jpg"},
      {"/p/holiday.jpg", {type(1003, "beach"), VK_TSOFT1}, true, "/p/beach.jpg"},
      {"/p/holiday.jpg", {type(1036, ""), VK_TSOFT1}, true, "/p/holiday"},  // no trailing dot
      {"/p/readme", {VK_TSOFT1}, true, "/p/readme"},
      {"/p/.profile", {VK_TSOFT1}, true, "/p/.profile"},
      {"/p/a.b.png", {type(1003, ""), VK_TSOFT1, type(1003, "c"), VK_TSOFT1}, true, "/p/c.png"},  // a name is needed
      {"/p/holiday.jpg", {type(1003, "beach"), VK_TSOFT2}, false, ""},
  };
  for (Case& c : cases) {
    std::string out;
    EXPECT_EQ(with_keys(c.steps, [&] { return run_rename_dialog(parent_, c.path, &out); }), c.done) << c.path;
    EXPECT_EQ(out, c.want) << c.path;
  }
}

// ---- Folder chooser ----------------------------------------------------------------------------

TEST(ShortenPath, KeepsTheLongestTailThatFits) {
  auto ten_per_char = [](std::string_view t) { return static_cast<int>(t.size()) * 10; };
  const std::string p = "/Storage Card/Photos/2007/Holiday";
  struct Case {
    int limit;
    const char* want;
  } cases[] = {{400, "/Storage Card/Photos/2007/Holiday"}, {270, "/St.../Photos/2007/Holiday"},
               {200, "/St.../2007/Holiday"},               {150, "/St.../Holiday"},
               {50, "/St.../Holiday"}};
  for (const Case& c : cases) EXPECT_EQ(shorten_path(p, c.limit, ten_per_char), c.want) << c.limit;
  EXPECT_EQ(shorten_path("/ab", 5, ten_per_char), "/ab");
  EXPECT_EQ(shorten_path("/abcdefgh", 5, ten_per_char), "/abcdefgh");  // no '/' after the head
}

// The texts of the children of the selected tree item's parent, and the selected item's.
struct TreeLook {
  std::string selected;
  std::vector<std::string> siblings;
  std::vector<int> markers;  // child counts of the siblings
};
TreeLook look_at_tree(HWND tree) {
  TreeLook look;
  auto item_of = [&](HTREEITEM item, UINT mask, char* buf) {
    TVITEM it;
    it.mask = mask | TVIF_HANDLE;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = 260;
    SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&it));
    return it;
  };
  char buf[264] = {};
  auto sel = reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  look.selected = item_of(sel, TVIF_TEXT, buf).pszText;
  auto parent = reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(sel)));
  for (auto c = reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent))); c;
       c = reinterpret_cast<HTREEITEM>(SendMessage(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)))) {
    TVITEM it = item_of(c, TVIF_TEXT | TVIF_CHILDREN, buf);
    look.siblings.emplace_back(it.pszText);
    look.markers.push_back(it.cChildren);
  }
  return look;
}

TEST_F(DialogsTest, FolderChooserWalksTheTree) {
  for (const char* d : {"Photos/2007/Holiday", "Photos/.thumbs", "Empty", "OnlyHidden/.git", ".secret"})
    fs::create_directories(dir_ / d);
  const std::string start = path("Photos/2007/");
  auto tree = [] { return GetDlgItem(dialog(), CDlgGetFolder::kTreeId); };
  TreeLook at_start, after_back, photos_again;
  std::string label_after_back;
  std::string folder = start;
  bool chosen = with_keys(
      {{0, [&] { at_start = look_at_tree(tree()); }},
       {VK_TBACK, nullptr},
       {0, [&] {
          after_back = look_at_tree(tree());
          label_after_back = text(CDlgGetFolder::kLabelId);
          fs::create_directories(dir_ / "Photos/2008");  // read again when the folder opens again
        }},
       VK_RETURN, VK_RETURN, VK_DOWN, {0, [&] { photos_again = look_at_tree(tree()); }}, VK_TSOFT2},
      [&] { return choose_folder(parent_, &folder); });
  EXPECT_FALSE(chosen);
  EXPECT_EQ(folder, start);  // Cancel leaves the path
  EXPECT_EQ(at_start.selected, "2007");
  EXPECT_EQ(after_back.selected, "Photos");
  // Hidden folders are left out, but count for the marker.
  EXPECT_EQ(after_back.siblings, (std::vector<std::string>{"Empty", "OnlyHidden", "Photos"}));
  EXPECT_EQ(after_back.markers, (std::vector<int>{0, 1, 1}));
  EXPECT_EQ(photos_again.selected, "2007");
  EXPECT_EQ(photos_again.siblings, (std::vector<std::string>{"2007", "2008"}));
  // The label ends with the parent's path; shortened, it keeps its start and its end.
  const std::string photos = path("Photos/");
  ASSERT_GE(label_after_back.size(), 9u);
  EXPECT_EQ(label_after_back.substr(0, 3), photos.substr(0, 3));
  EXPECT_EQ(label_after_back.substr(label_after_back.size() - 8), "/Photos/");

  // Select takes the full path; a folder given without its '/' is found all the same.
  folder = path("Photos/2007/Holiday");
  EXPECT_TRUE(with_keys({VK_TBACK, VK_TSOFT1}, [&] { return choose_folder(parent_, &folder); }));
  EXPECT_EQ(folder, path("Photos/2007/"));
  // Selections made just before Select: the strings the tree posted die with the dialog (the
  // sanitizer build finds one that leaks).
  folder = path("Photos/2007/Holiday/");
  EXPECT_TRUE(with_keys({{0, [&] {
                            HWND t = tree();
                            for (UINT rel : {TVGN_PARENT, TVGN_PARENT}) {
                              auto sel = SendMessage(t, TVM_GETNEXTITEM, TVGN_CARET, 0);
                              SendMessage(t, TVM_SELECTITEM, TVGN_CARET, SendMessage(t, TVM_GETNEXTITEM, rel, sel));
                            }
                            SendMessage(dialog(), WM_COMMAND, ID_DIALOG_DONE, 0);
                          }}},
                        [&] { return choose_folder(parent_, &folder); }));
  EXPECT_EQ(folder, path("Photos/"));
  MSG left;
  EXPECT_FALSE(PeekMessage(&left, nullptr, UM_BROWSE_FOLDER, UM_BROWSE_FOLDER, PM_NOREMOVE));
  // A folder that is gone: its nearest existing ancestor.
  folder = path("Photos/1999/");
  EXPECT_TRUE(with_keys({VK_TSOFT1}, [&] { return choose_folder(parent_, &folder); }));
  EXPECT_EQ(folder, path("Photos/"));
}

TEST_F(DialogsTest, AboutFindsTheUserGuideAndNotices) {
  for (const char* doc : {"README.md", "THIRD-PARTY.md"}) {
    const std::string found = find_document(doc);
    ASSERT_FALSE(found.empty()) << doc;
    EXPECT_TRUE(fs::exists(found));
  }
  EXPECT_EQ(find_document("no-such-document.md"), "");
}

}  // namespace
}  // namespace lumora::app
