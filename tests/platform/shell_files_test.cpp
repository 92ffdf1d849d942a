// Special folders by the XDG rules, folder listing with attributes, and the file operations the
// browser uses: never overwriting, keeping times, leaving exactly one file behind on a move.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/shell/files.h"
#include "platform/shell/folders.h"
#include "scratch.h"

namespace lumora::plat {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using Env = testing::ScopedEnv;

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
std::string read(const std::string& path) { return testing::read_text(path); }

TEST(SpecialFolders, PicturesFolderFollowsTheXdgRules) {
  struct Case {
    const char* what;
    const char* env_pictures;  // $XDG_PICTURES_DIR, null = unset
    const char* user_dirs;     // contents of user-dirs.dirs, null = no file
    bool config_home;          // $XDG_CONFIG_HOME points at <home>/cfg instead of the default
    std::string expected;      // "~" stands for the temporary home
  };
  const Case cases[] = {
      {"nothing set", nullptr, nullptr, false, "~/Pictures"},
      {"user-dirs with $HOME", nullptr, "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", false, "~/Bilder"},
      {"user-dirs in XDG_CONFIG_HOME", nullptr, "XDG_PICTURES_DIR=\"$HOME/Cfg Pics/\"\n", true, "~/Cfg Pics"},
      {"absolute path, comments, other keys", nullptr,
       "# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/M\"\nXDG_PICTURES_DIR=\"/srv/photos\"\n", false,
       "/srv/photos"},
      {"relative path is refused", nullptr, "XDG_PICTURES_DIR=\"photos\"\n", false, "~/Pictures"},
      {"unterminated quote is refused", nullptr, "XDG_PICTURES_DIR=\"$HOME/x\n", false, "~/Pictures"},
      {"variable wins over the file", "/data/pics", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", false, "/data/pics"},
      {"relative variable is ignored", "pics", nullptr, false, "~/Pictures"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir home;
    Env env;
    env.set("HOME", home.dir().c_str());
    env.set("XDG_PICTURES_DIR", c.env_pictures);
    std::string cfg = c.config_home ? home / "cfg" : home / ".config";
    env.set("XDG_CONFIG_HOME", c.config_home ? cfg.c_str() : nullptr);
    if (c.user_dirs) {
      fs::create_directories(cfg);
      write(cfg + "/user-dirs.dirs", c.user_dirs);
    }
    std::string expected = c.expected;
    if (expected[0] == '~') expected = home.dir() + expected.substr(1);
    EXPECT_EQ(PicturesFolder(), expected);
  }
}

TEST(SpecialFolders, DataHomeAndProgramFolder) {
  TempDir home;
  Env env;
  env.set("HOME", home.dir().c_str());
  env.set("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(DataHomeFolder(), home / ".local/share");
  env.set("XDG_DATA_HOME", "/var/tmp/data/");
  EXPECT_EQ(DataHomeFolder(), "/var/tmp/data");
  // The test program lives in the build tree: its folder holds the program itself.
  std::string prog = ProgramFolder();
  ASSERT_FALSE(prog.empty());
  EXPECT_TRUE(fs::exists(fs::path(prog) / "test_platform_shell_files_test"));
  EXPECT_EQ(LanguageFolders().front(), prog);
}

TEST(FolderListing, AttributesOfEntries) {
  TempDir d;
  write(d / "a.jpg", "12345");
  write(d / ".hidden.png", "x");
  fs::create_directory(d / "sub");
  fs::create_directory(d / ".cache");
  write(d / "locked.gif", "");
  ::chmod((d / "locked.gif").c_str(), 0444);
  fs::create_symlink(d / "a.jpg", d / "link.jpg");
  fs::create_symlink(d / "missing", d / "dangling");

  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolder(d.dir(), &entries));
  std::map<std::string, FolderEntry> by_name;
  for (auto& e : entries) by_name[e.name] = e;
  ASSERT_EQ(by_name.size(), 7u);
  EXPECT_EQ(by_name["a.jpg"].attributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(by_name["a.jpg"].size, 5u);
  EXPECT_EQ(by_name[".hidden.png"].attributes, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(by_name["sub"].attributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(by_name[".cache"].attributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(by_name["locked.gif"].attributes, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(by_name["link.jpg"].size, 5u);  // the file it points at
  EXPECT_NE(by_name.count("dangling"), 0u);

  struct stat st;
  ASSERT_EQ(::stat((d / "a.jpg").c_str(), &st), 0);
  EXPECT_EQ(by_name["a.jpg"].write_time_ns, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec);

  EXPECT_FALSE(ListFolder(d / "a.jpg", &entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(ListFolder(d / "nope", &entries));
  EXPECT_EQ(GetFileAttributes(d / "nope"), INVALID_FILE_ATTRIBUTES);
}

TEST(FileOperations, ResultsAndNoOverwrite) {
  enum Op { Copy, Move, Delete };
  struct Case {
    const char* what;
    Op op;
    const char* from;
    const char* to;
    FileOpResult expected;
    const char* from_after;  // contents of the source afterwards, null = gone
    const char* to_after;    // contents of the target afterwards, null = absent
  };
  // Each case starts from: a.jpg = "AAA", b.jpg = "BBB", folder sub/.
  const Case cases[] = {
      {"copy to a new name", Copy, "a.jpg", "c.jpg", FileOpResult::Ok, "AAA", "AAA"},
      {"copy onto an existing file", Copy, "a.jpg", "b.jpg", FileOpResult::Exists, "AAA", "BBB"},
      {"copy onto itself", Copy, "a.jpg", "a.jpg", FileOpResult::Exists, "AAA", "AAA"},
      {"copy a missing file", Copy, "x.jpg", "c.jpg", FileOpResult::NotFound, nullptr, nullptr},
      {"copy a folder", Copy, "sub", "c", FileOpResult::IsFolder, nullptr, nullptr},
      {"copy into a missing folder", Copy, "a.jpg", "nope/c.jpg", FileOpResult::NotFound, "AAA", nullptr},
      {"move into a folder", Move, "a.jpg", "sub/a.jpg", FileOpResult::Ok, nullptr, "AAA"},
      {"rename onto an existing file", Move, "a.jpg", "b.jpg", FileOpResult::Exists, "AAA", "BBB"},
      {"rename a missing file", Move, "x.jpg", "y.jpg", FileOpResult::NotFound, nullptr, nullptr},
      {"delete a file", Delete, "a.jpg", nullptr, FileOpResult::Ok, nullptr, nullptr},
      {"delete a missing file", Delete, "x.jpg", nullptr, FileOpResult::NotFound, nullptr, nullptr},
      {"delete a folder", Delete, "sub", nullptr, FileOpResult::IsFolder, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d;
    write(d / "a.jpg", "AAA");
    write(d / "b.jpg", "BBB");
    fs::create_directory(d / "sub");
    FileOpResult r = c.op == Copy   ? CopyFile(d / c.from, d / c.to)
                     : c.op == Move ? MoveFile(d / c.from, d / c.to)
                                    : DeleteFile(d / c.from);
    EXPECT_EQ(r, c.expected) << FileOpResultText(r);
    if (c.from_after) {
      EXPECT_EQ(read(d / c.from), c.from_after);
    } else if (std::string(c.from) != "sub") {
      EXPECT_FALSE(fs::exists(d / c.from));
    }
    if (c.to) {
      if (c.to_after) EXPECT_EQ(read(d / c.to), c.to_after);
      else EXPECT_FALSE(fs::exists(d / c.to));
    }
  }
}

TEST(FileOperations, CopyKeepsTheModificationTime) {
  TempDir d;
  write(d / "a.jpg", std::string(200000, 'q'));  // more than one buffer
  struct timespec times[2] = {{1000000000, 0}, {1234567890, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (d / "a.jpg").c_str(), times, 0), 0);
  ASSERT_EQ(CopyFile(d / "a.jpg", d / "b.jpg"), FileOpResult::Ok);
  FolderEntry e;
  ASSERT_TRUE(GetFileEntry(d / "b.jpg", &e));
  EXPECT_EQ(e.write_time_ns, 1234567890LL * 1000000000 + 500);
  EXPECT_EQ(e.size, 200000u);
  EXPECT_EQ(e.name, "b.jpg");
}

}  // namespace
}  // namespace lumora::plat
