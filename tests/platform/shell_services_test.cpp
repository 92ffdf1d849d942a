// Locale facts, shell execute through xdg-open, full-screen requests and the shell's icons.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform_fixture.h"
#include "platform/shell/shell.h"
#include "scratch.h"

namespace lumora::plat {
namespace {

namespace fs = std::filesystem;

TEST(LocaleFacts, DateAndTimeFormats) {
  struct Case {
    const char* fmt;
    bool ok;
    const char* order;
    const char* separator;
  };
  // Formats as the C library's locales give them (en_US, de_DE, sv_SE, en_GB, ja_JP, nl_NL, hu_HU).
  const Case cases[] = {
      {"%m/%d/%y", true, "0", "/"},  {"%d.%m.%Y", true, "1", "."},  {"%Y-%m-%d", true, "2", "-"},
      {"%d/%m/%y", true, "1", "/"},  {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", true, "2", "\xE5\xB9\xB4"},
      {"%d-%m-%y", true, "1", "-"},  {"%Y. %m. %d.", true, "2", ". "},  {"%D", true, "0", "/"},
      {"%F", true, "2", "-"},        {"%e.%-m.%Y", true, "1", "."},  {"%d %b %Y", true, "1", " "},
      {"%H:%M", false, "", ""},      {"", false, "", ""},            {"%m%d%y", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string order = "?", sep = "?";
    EXPECT_EQ(ParseDateFormat(c.fmt, &order, &sep), c.ok) << c.fmt;
    if (c.ok) {
      EXPECT_EQ(order, c.order) << c.fmt;
      EXPECT_EQ(sep, c.separator) << c.fmt;
    }
  }
  const struct {
    const char* fmt;
    const char* separator;
  } times[] = {{"%H:%M:%S", ":"}, {"%T", ":"}, {"%H.%M.%S", "."}, {"%I:%M:%S %p", ":"}, {"%Hh%M", "h"}, {"%p", nullptr}};
  for (const auto& t : times) {
    std::string sep;
    EXPECT_EQ(ParseTimeFormat(t.fmt, &sep), t.separator != nullptr) << t.fmt;
    if (t.separator) {
      EXPECT_EQ(sep, t.separator) << t.fmt;
    }
  }
}

TEST(LocaleFacts, LanguageFromTheEnvironment) {
  const struct {
    const char* name;
    const char* lang;
  } names[] = {{"de_DE.UTF-8", "de"}, {"fr_CA@euro", "fr"}, {"C", "en"},   {"POSIX", "en"},
               {"C.UTF-8", "en"},     {"pt", "pt"},         {"x", ""},     {"EN_us", "en"}};
  for (const auto& n : names) EXPECT_EQ(LanguageOfLocaleName(n.name), n.lang) << n.name;

  testing::ScopedEnv env;
  env.set("LC_ALL", nullptr);
  env.set("LC_MESSAGES", "it_IT.UTF-8");
  env.set("LANG", "de_DE.UTF-8");
  EXPECT_EQ(GetLocaleInfo(LOCALE_SISO639LANGNAME), "it");  // messages decide the language
  env.set("LC_ALL", "C");
  LocaleFacts f = GetLocaleFacts();  // the C locale: month/day/year
  EXPECT_EQ(f.language, "en");
  EXPECT_EQ(f.date_order, "0");
  EXPECT_EQ(f.date_separator, "/");
  EXPECT_EQ(f.time_separator, ":");
}

TEST(ShellExecute, RunsXdgOpenWithTheTarget) {
  testing::TempDir t;
  const std::string bin = t / "bin", log = t / "log";
  fs::create_directory(bin);
  // A stand-in handler: records its arguments, fails for names containing "broken".
  std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\" >> '" << log
                                   << "'; done\ncase \"$1\" in *broken*) exit 4;; esac\nexit 0\n";
  ::chmod((bin + "/xdg-open").c_str(), 0755);
  testing::ScopedEnv env;
  env.set("PATH", bin.c_str());

  struct Case {
    const char* target;
    bool ok;
    const char* logged;  // what the handler saw
  };
  const Case cases[] = {
      {"https://example.org/forum?id=1&x=2", true, "[https://example.org/forum?id=1&x=2]"},
      {"/pics/a b'c.jpg", true, "[/pics/a b'c.jpg]"},
      {"-rf", true, "[./-rf]"},  // never taken for an option
      {"broken.jpg", false, "[broken.jpg]"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    fs::remove(log);
    std::string err;
    EXPECT_EQ(ShellExecuteOpen(c.target, &err), c.ok) << c.target << " " << err;
    std::ifstream in(log);
    std::string got;
    std::getline(in, got);
    EXPECT_EQ(got, c.logged) << c.target;
  }
  env.set("PATH", (t / "none").c_str());
  std::string err;
  EXPECT_FALSE(ShellExecuteOpen("x.jpg", &err));
  EXPECT_NE(err.find("xdg-open"), std::string::npos);
}

class ShellScreenTest : public testing::HeadlessTest {};

TEST_F(ShellScreenTest, FullScreenRequestsReachTheBackend) {
  HWND w = testing::message_window("FullScreenTest", DefWindowProc);
  EXPECT_FALSE(IsFullScreen());
  EXPECT_TRUE(SHFullScreen(w, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
  EXPECT_TRUE(IsFullScreen());
  EXPECT_TRUE(SHFullScreen(w, SHFS_SHOWSIPBUTTON));  // no task-bar flag: unchanged
  EXPECT_TRUE(IsFullScreen());
  EXPECT_TRUE(SHFullScreen(w, SHFS_SHOWTASKBAR));
  EXPECT_FALSE(IsFullScreen());
  EXPECT_FALSE(SHFullScreen(nullptr, SHFS_HIDETASKBAR));
  EXPECT_FALSE(IsFullScreen());
}

TEST_F(ShellScreenTest, IconsByPathAndTheirMasks) {
  testing::TempDir t;
  std::ofstream(t / "f.jpg") << "x";
  EXPECT_EQ(ShellIconIndex("/"), SHELL_ICON_DEVICE);
  EXPECT_EQ(ShellIconIndex(t.dir()), SHELL_ICON_FOLDER);
  EXPECT_EQ(ShellIconIndex(t / ""), SHELL_ICON_FOLDER);
  EXPECT_EQ(ShellIconIndex(t / "f.jpg"), SHELL_ICON_FILE);
  EXPECT_EQ(ShellIconIndex(t / "missing"), SHELL_ICON_FILE);
  EXPECT_EQ(ShellIconIndex("/proc"), SHELL_ICON_DRIVE);  // a file system of its own

  // Drawn on the screen: the folder's body is opaque, the corner above its tab stays untouched.
  HDC dc = GetDC(nullptr);
  RECT all{0, 0, 40, 40};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ASSERT_TRUE(DrawShellIcon(dc, 0, 0, SHELL_ICON_FOLDER, 32));
  EXPECT_EQ(GetPixel(dc, 31, 0), RGB(255, 255, 255));
  EXPECT_NE(GetPixel(dc, 16, 20), RGB(255, 255, 255));
  EXPECT_FALSE(DrawShellIcon(dc, 0, 0, SHELL_ICON_COUNT, 16));
  ReleaseDC(nullptr, dc);

  HBITMAP image = nullptr, mask = nullptr;
  ASSERT_TRUE(CreateShellIconStrip(16, &image, &mask));
  BITMAP bi, bm;
  ASSERT_EQ(GetObject(image, sizeof bi, &bi), static_cast<int>(sizeof bi));
  ASSERT_EQ(GetObject(mask, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bi.bmWidth, 16 * SHELL_ICON_COUNT);
  EXPECT_EQ(bi.bmHeight, 16);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  HDC mdc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mdc, mask);
  const int folder_x = 16 * SHELL_ICON_FOLDER;
  EXPECT_EQ(GetPixel(mdc, folder_x + 15, 0), RGB(255, 255, 255));  // transparent
  EXPECT_EQ(GetPixel(mdc, folder_x + 8, 10), RGB(0, 0, 0));        // opaque
  SelectObject(mdc, old);
  DeleteDC(mdc);
  // The strip is made for an image list: one entry per icon.
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, SHELL_ICON_COUNT, 0);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ImageList_Add(list, image, mask), 0);
  EXPECT_EQ(ImageList_GetImageCount(list), SHELL_ICON_COUNT);
  ImageList_Destroy(list);
  DeleteObject(image);
  DeleteObject(mask);
}

}  // namespace
}  // namespace lumora::plat
