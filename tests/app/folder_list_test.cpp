// The browser's folder list: which names are pictures, every order in both directions with the
// selection following its files, the details texts, and file-change events applied in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/browser/detail_texts.h"
#include "app/browser/folder_list.h"
#include "tests/support/picture_file.h"

namespace lumora::app {
namespace {

namespace fs = std::filesystem;
using plat::FILECHANGEINFO;
using Kind = ListChange::Kind;

class FolderListTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library_start(); }
  static void TearDownTestSuite() { library_stop(); }
};

std::vector<std::string> names(const FolderList& list) {
  std::vector<std::string> out;
  for (const FileItem& it : list.items()) out.push_back(it.name);
  return out;
}

TEST_F(FolderListTest, PictureNames) {
  const struct {
    const char* name;
    bool listed;
  } cases[] = {
      {"a.jpg", true},   {"photo.JPEG", true}, {"a.b.gif", true}, {"scan.tif", true},
      {"icon.Ico", true}, {".jpg", false},     {"x.jp", false},   {"noext", false},
      {"trail.", false},  {"notes.txt", false}, {"x.jpg.txt", false},
      {"a.bm", true},  // X11 bitmap: a two-letter extension is no reason to refuse a short name
  };
  for (const auto& c : cases) EXPECT_EQ(is_picture_file(c.name), c.listed) << c.name;
}

// Upper and lower case of a letter sort as one letter in the two-byte UTF-8 range too (Latin-1,
// Latin Extended-A with its odd-upper pairs, Cyrillic); a mix of both cases must not split groups.
TEST_F(FolderListTest, NamesSortWithCaseFoldedInUtf8) {
  const std::vector<std::string> ascending = {"äa.jpg", "Äb.jpg", "čA.jpg", "Čb.jpg", "łA.jpg", "Łb.jpg",
                                              "ёa.jpg", "Ёb.jpg"};
  std::vector<FileItem> items;
  for (auto it = ascending.rbegin(); it != ascending.rend(); ++it) items.emplace_back().name = *it;
  FolderList list;
  list.assign("/pictures", items);
  list.sort(kSortName);
  EXPECT_EQ(names(list), ascending);
}

TEST_F(FolderListTest, EveryOrderBothWaysKeepsSelection) {
  auto item = [](const char* name, int64_t time, int64_t size, uint32_t w, uint32_t h) {
    FileItem it;
    it.name = name;
    it.write_time_ns = time;
    it.size = size;
    if (w) it.facts.width = w, it.facts.height = h, it.info_known = true;
    return it;
  };
  std::vector<FileItem> items = {
      item("b.jpg", 300, 10, 100, 100), item("A.png", 100, 30, 0, 0), item("c.gif", 100, 10, 50, 50),
      item("d.JPG", 200, 30, 100, 100), item("e.png", 300, 5, 0, 0),
  };
  items[0].selected = items[3].selected = true;
  FolderList list;
  list.assign("/pictures", items);
  list.set_mark(list.find_by_path("/pictures/d.JPG"));

  const struct {
    uint32_t key;
    std::vector<std::string> ascending;
  } cases[] = {
      {kSortName, {"A.png", "b.jpg", "c.gif", "d.JPG", "e.png"}},
      {kSortDate, {"A.png", "c.gif", "d.JPG", "b.jpg", "e.png"}},        // equal times by name
      {kSortType, {"c.gif", "b.jpg", "d.JPG", "A.png", "e.png"}},        // extension, case ignored
      {kSortSize, {"e.png", "b.jpg", "c.gif", "A.png", "d.JPG"}},        // equal sizes by name
      {kSortResolution, {"c.gif", "b.jpg", "d.JPG", "A.png", "e.png"}},  // unread pictures last
  };
  for (const auto& c : cases) {
    for (bool descending : {false, true}) {
      list.sort(c.key | (descending ? kSortDescending : 0));
      std::vector<std::string> expected = c.ascending;
      if (descending) std::reverse(expected.begin(), expected.end());
      EXPECT_EQ(names(list), expected) << "key " << c.key << (descending ? " descending" : "");
      ASSERT_GE(list.mark(), 0);
      EXPECT_EQ(list.item(static_cast<size_t>(list.mark())).name, "d.JPG");
      for (const FileItem& it : list.items()) EXPECT_EQ(it.selected, it.name == "b.jpg" || it.name == "d.JPG");
    }
  }
}

TEST(DetailTexts, Sizes) {
  const SizeUnits units{"Bytes", "Kb", "Mb", "Gb"};
  const struct {
    int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 Bytes"},         {1023, "1023 Bytes"},         {1024, "1.00 Kb"},
      {1536, "1.50 Kb"},      {1048576, "1.00 Mb"},         {1073741824, "1.00 Gb"},
      {5368709120, "5.00 Gb"},  // beyond 32 bits: files of video-sized pictures exist
  };
  for (const auto& c : cases) EXPECT_EQ(size_text(c.bytes, units), c.text) << c.bytes;
}

TEST(DetailTexts, Dates) {
  const plat::LocaleFacts dmy{"en", "1", "/", ":"}, mdy{"en", "0", "-", "."}, ymd{"de", "2", ".", ":"};
  const struct {
    const plat::LocaleFacts* locale;
    int y, mo, d, h, mi, s;
    const char* text;
  } cases[] = {
      {&dmy, 2026, 12, 6, 13, 5, 9, "06/12/2026 13:05"}, {&mdy, 2026, 12, 6, 13, 5, 9, "12-06-2026 13.05"},
      {&ymd, 2026, 3, 1, 9, 0, 0, "2026.03.01 09:00"},    {&dmy, 2026, 3, 1, 0, 0, 0, "01/03/2026"},
      {&dmy, 2026, 3, 1, 0, 0, 1, "01/03/2026 00:00"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(date_text_of(c.y, c.mo, c.d, c.h, c.mi, c.s, *c.locale), c.text) << c.text;

  // The modification time is shown in local time.
  ::setenv("TZ", "CET-1", 1);
  ::tzset();
  std::tm utc{};
  utc.tm_year = 2026 - 1900, utc.tm_mon = 11, utc.tm_mday = 5, utc.tm_hour = 23;
  EXPECT_EQ(date_text(int64_t(::timegm(&utc)) * 1000000000, dmy), "06/12/2026");
  ::unsetenv("TZ");
  ::tzset();
}

TEST_F(FolderListTest, DimensionsAndFormat) {
  FileItem it;
  EXPECT_EQ(dimensions_text(it), "");
  FileInfo info{};
  info.format_index = kFormatPng, info.width = 640, info.height = 480;
  const struct {
    uint16_t bits, samples;
    const char* text;
  } cases[] = {{1, 1, "640x480,2"}, {4, 1, "640x480,16"}, {8, 1, "640x480,256"}, {8, 3, "640x480,16M"}, {8, 4, "640x480,16M"}};
  for (const auto& c : cases) {
    info.bits_per_sample = c.bits, info.samples_per_pixel = c.samples;
    it.set_facts(info);
    EXPECT_EQ(dimensions_text(it), c.text);
  }
  EXPECT_EQ(format_text(it), "PNG");
}

class FolderEvents : public FolderListTest {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ + "sub");
    fs::create_directories(root_ + "/other");
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg", "notes.txt", "sub/d.jpg"}) touch(dir_ + n);
  }
  static void touch(const std::string& path) { std::ofstream(path) << "x"; }

  test::TempDir tmp_;
  const std::string root_ = tmp_.dir(), dir_ = root_ + "/shown/";
};

TEST_F(FolderEvents, ScanAndChanges) {
  FolderList list;
  ASSERT_TRUE(list.scan(root_ + "/shown"));  // the trailing '/' is added
  EXPECT_EQ(names(list), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
  const uint32_t a_id = list.item(0).id;

  const struct {
    const char* what;
    std::function<void(const std::string&, const std::string&)> on_disk;
    LONG event;
    std::string path1, path2;
    Kind kind;
    int index;
    std::vector<std::string> after;
  } steps[] = {
      {"create here", [](auto& d, auto&) { touch(d + "a2.png"); }, plat::SHCNE_CREATE, "a2.png", "",
       Kind::Inserted, 1, {"a.jpg", "a2.png", "b.jpg", "c.jpg"}},
      {"create in a subfolder", [](auto& d, auto&) { touch(d + "sub/e.jpg"); }, plat::SHCNE_CREATE, "sub/e.jpg", "",
       Kind::None, -1, {"a.jpg", "a2.png", "b.jpg", "c.jpg"}},
      {"create elsewhere", [](auto&, auto& r) { touch(r + "/other/f.jpg"); }, plat::SHCNE_CREATE, "../other/f.jpg",
       "", Kind::None, -1, {"a.jpg", "a2.png", "b.jpg", "c.jpg"}},
      {"create of no picture", [](auto& d, auto&) { touch(d + "g.txt"); }, plat::SHCNE_CREATE, "g.txt", "",
       Kind::None, -1, {"a.jpg", "a2.png", "b.jpg", "c.jpg"}},
      {"create of a file gone again", [](auto&, auto&) {}, plat::SHCNE_CREATE, "gone.jpg", "", Kind::None, -1,
       {"a.jpg", "a2.png", "b.jpg", "c.jpg"}},
      {"rename in place", [](auto& d, auto&) { fs::rename(d + "a.jpg", d + "z.jpg"); }, plat::SHCNE_RENAMEITEM,
       "a.jpg", "z.jpg", Kind::Moved, 3, {"a2.png", "b.jpg", "c.jpg", "z.jpg"}},
      {"rename to no picture", [](auto& d, auto&) { fs::rename(d + "a2.png", d + "a2.txt"); },
       plat::SHCNE_RENAMEITEM, "a2.png", "a2.txt", Kind::Removed, 0, {"b.jpg", "c.jpg", "z.jpg"}},
      {"move out", [](auto& d, auto& r) { fs::rename(d + "c.jpg", r + "/other/c.jpg"); }, plat::SHCNE_RENAMEITEM,
       "c.jpg", "../other/c.jpg", Kind::Removed, 1, {"b.jpg", "z.jpg"}},
      {"move in", [](auto& d, auto& r) { fs::rename(r + "/other/f.jpg", d + "f.jpg"); }, plat::SHCNE_RENAMEITEM,
       "../other/f.jpg", "f.jpg", Kind::Inserted, 1, {"b.jpg", "f.jpg", "z.jpg"}},
      {"delete", [](auto& d, auto&) { fs::remove(d + "b.jpg"); }, plat::SHCNE_DELETE, "b.jpg", "", Kind::Removed, 0,
       {"f.jpg", "z.jpg"}},
      {"delete of an unlisted file", [](auto&, auto&) {}, plat::SHCNE_DELETE, "notes.txt", "", Kind::None, -1,
       {"f.jpg", "z.jpg"}},
      {"events lost", [](auto&, auto&) {}, plat::SHCNE_UPDATEDIR, "", "", Kind::Rescan, -1, {"f.jpg", "z.jpg"}},
  };
  auto full = [&](const std::string& p) { return p.starts_with("../") ? root_ + "/" + p.substr(3) : dir_ + p; };
  for (const auto& s : steps) {
    s.on_disk(dir_, root_);
    FILECHANGEINFO ev;
    ev.wEventId = s.event;
    ev.dwItem1 = s.path1.empty() ? root_ + "/shown" : full(s.path1);
    if (!s.path2.empty()) ev.dwItem2 = full(s.path2);
    ListChange ch = list.apply_change(ev);
    EXPECT_EQ(ch.kind, s.kind) << s.what;
    EXPECT_EQ(ch.index, s.index) << s.what;
    EXPECT_EQ(names(list), s.after) << s.what;
    if (std::string(s.what) == "rename in place") {
      EXPECT_EQ(list.item(3).id, a_id) << "the item keeps its thumbnail";
    }
  }
}

TEST_F(FolderListTest, UnlistableFolderGivesEmptyList) {
  FolderList list;
  EXPECT_FALSE(list.scan("/nonexistent/lumora/folder"));
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace lumora::app
