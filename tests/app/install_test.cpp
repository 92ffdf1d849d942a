// The installed program: `cmake --install` of this build into a temporary DESTDIR under /usr, the
// layout it leaves, the installed programs run from there, the desktop entry, the metainfo and the
// manual pages checked by their own tools, and the Debian package cpack makes.
// GCC 12 at -O1 with the sanitizers warns that std::regex's compiled state "may be used
// uninitialized" inside libstdc++'s std::function; a false positive in the library's headers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"

namespace lumora_test {
namespace {

// A value of the build's CMakeCache.txt ("NAME:TYPE=VALUE").
std::string cache_value(const std::string& build, const std::string& name) {
  std::istringstream in(slurp(build + "/CMakeCache.txt"));
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(name + ":", 0) == 0) return line.substr(line.find('=') + 1);
  return {};
}

bool have(const std::string& command) {
  return std::system(("command -v " + command + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs shell text; standard output and standard error are captured separately.
RunResult shell(const std::string& cmd, const std::string& scratch) {
  const std::string out = scratch + "/.out", err = scratch + "/.err";
  const int status = std::system(("(" + cmd + ") >'" + out + "' 2>'" + err + "'").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

bool is_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

// Width and height from a PNG file's header; 0 x 0 when it is not a PNG.
std::pair<int, int> png_size(const std::string& path) {
  const std::string b = slurp(path);
  if (b.size() < 24 || b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
  auto be32 = [&](size_t at) {
    return (static_cast<uint8_t>(b[at]) << 24) | (static_cast<uint8_t>(b[at + 1]) << 16) |
           (static_cast<uint8_t>(b[at + 2]) << 8) | static_cast<uint8_t>(b[at + 3]);
  };
  return {static_cast<int>(be32(16)), static_cast<int>(be32(20))};
}

// Every long option ("--name") in a text, with roff's "\-" read as "-".
std::set<std::string> long_options(std::string text) {
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  std::set<std::string> found;
  const std::regex option("--[a-z][a-z0-9-]*");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
    found.insert(it->str());
  return found;
}

// The options the bash completion offers per command: its lines "CMD | CMD) options=\"...\"".
std::map<std::string, std::set<std::string>> completion_options(const std::string& script) {
  std::map<std::string, std::set<std::string>> offered;
  const std::regex line(R"re(([a-z |]+)\)\s*options="([^"]*)")re");
  for (auto it = std::sregex_iterator(script.begin(), script.end(), line); it != std::sregex_iterator(); ++it) {
    std::istringstream commands((*it)[1].str());
    for (std::string c; commands >> c;)
      if (c != "|") offered[c] = long_options((*it)[2].str());
  }
  return offered;
}

// One installation per test program: this build installed under /usr in a temporary DESTDIR.
class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    build_ = built_program(".");  // the test programs lie in tests/ of the build folder
    cmake_ = cache_value(build_, "CMAKE_COMMAND");
    built_ = access((build_ + "/app/lumora").c_str(), X_OK) == 0 &&
             access((build_ + "/tools/lumora-img").c_str(), X_OK) == 0;
    char dir[] = "/tmp/lumora_installXXXXXX";
    if (cmake_.empty() || !built_ || !mkdtemp(dir)) return;
    scratch_ = dir;
    root_ = scratch_ + "/root";
    install_ = shell("DESTDIR='" + root_ + "' '" + cmake_ + "' --install '" + build_ + "' --prefix /usr", scratch_);
  }
  static void TearDownTestSuite() {
    if (!scratch_.empty()) std::system(("rm -rf '" + scratch_ + "'").c_str());
  }
  void SetUp() override {
    ASSERT_FALSE(cmake_.empty()) << "no CMAKE_COMMAND in " << build_ << "/CMakeCache.txt";
    if (!built_) GTEST_SKIP() << "lumora and lumora-img are not built in " << build_;
    ASSERT_FALSE(scratch_.empty()) << "no temporary folder";
    ASSERT_EQ(install_.exit_code, 0) << install_.out << install_.err;
  }
  static std::string usr(const std::string& rel) { return root_ + "/usr/" + rel; }
  // Runs an installed program in a private home; ARGS is shell text.
  static RunResult run_installed(const std::string& program, const std::string& args) {
    const std::string home = scratch_ + "/home";
    std::system(("mkdir -p '" + home + "/config' '" + home + "/data' '" + home + "/runtime'").c_str());
    return shell("cd '" + home + "' && env -u LUMORA_LANG_DIR -u LUMORA_CONFIG_DIR HOME='" + home +
                     "' XDG_CONFIG_HOME='" + home + "/config' XDG_DATA_HOME='" + home + "/data' XDG_RUNTIME_DIR='" +
                     home + "/runtime' LANG=C.UTF-8 '" + usr("bin/" + program) + "' " + args,
                 scratch_);
  }

  static std::string build_, cmake_, scratch_, root_;
  static bool built_;
  static RunResult install_;
};
std::string InstallTest::build_, InstallTest::cmake_, InstallTest::scratch_, InstallTest::root_;
bool InstallTest::built_ = false;
RunResult InstallTest::install_;

TEST_F(InstallTest, LaysOutTheFilesUnderThePrefix) {
  for (const char* program : {"bin/lumora", "bin/lumora-img"})
    EXPECT_EQ(access(usr(program).c_str(), X_OK), 0) << program;
  for (const char* file : {"share/applications/lumora.desktop", "share/metainfo/lumora.viewer.Lumora.metainfo.xml",
                           "share/man/man1/lumora.1", "share/man/man1/lumora-img.1",
                           "share/bash-completion/completions/lumora-img", "share/doc/lumora/README.md",
                           "share/doc/lumora/THIRD-PARTY.md", "share/icons/hicolor/scalable/apps/lumora.svg"})
    EXPECT_TRUE(is_file(usr(file))) << file;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string icon = "share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/lumora.png";
    EXPECT_EQ(png_size(usr(icon)), std::make_pair(size, size)) << icon;
  }
  // The language files and the sample pictures of the source tree, all of them.
  const char* source = std::getenv("LUMORA_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::vector<std::string> languages = files_in(std::string(source) + "/app/lng");
  ASSERT_FALSE(languages.empty());
  for (const std::string& lng : languages) EXPECT_TRUE(is_file(usr("share/lumora/" + lng))) << lng;
  std::vector<std::string> samples = files_in(std::string(source) + "/samples");
  ASSERT_FALSE(samples.empty());
  for (const std::string& s : samples) EXPECT_TRUE(is_file(usr("share/lumora/samples/" + s))) << s;
  // Nothing lands outside the prefix.
  EXPECT_EQ(files_in(root_), std::vector<std::string>{"usr"});
}

TEST_F(InstallTest, DesktopEntryOpensEveryReadableType) {
  const std::string entry = slurp(usr("share/applications/lumora.desktop"));
  EXPECT_NE(entry.find("\nExec=lumora %f\n"), std::string::npos);
  EXPECT_NE(entry.find("\nIcon=lumora\n"), std::string::npos);
  EXPECT_NE(entry.find("\nCategories=Graphics;Viewer;\n"), std::string::npos);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(entry, m, std::regex("\nMimeType=([^\n]*)\n")));
  std::set<std::string> listed;
  std::istringstream types(m[1].str());
  for (std::string t; std::getline(types, t, ';');) listed.insert(t);
  for (const char* type : {"image/jpeg", "image/png", "image/gif", "image/tiff", "image/x-tga", "image/bmp",
                           "image/vnd.zbrush.pcx", "image/x-portable-bitmap", "image/x-portable-graymap",
                           "image/x-portable-pixmap", "image/x-portable-anymap", "image/vnd.microsoft.icon",
                           "image/x-xbitmap", "image/x-xpixmap"})
    EXPECT_EQ(listed.count(type), 1u) << type;
  if (!have("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
  RunResult v = shell("desktop-file-validate '" + usr("share/applications/lumora.desktop") + "'", scratch_);
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
  EXPECT_EQ(v.out + v.err, "");
}

TEST_F(InstallTest, MetainfoValidates) {
  if (!have("appstreamcli")) GTEST_SKIP() << "appstreamcli is not installed";
  RunResult v = shell("appstreamcli validate --no-net '" + usr("share/metainfo/lumora.viewer.Lumora.metainfo.xml") + "'",
                      scratch_);
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
}

TEST_F(InstallTest, ManPagesRenderWithoutWarningsAndNameEveryOption) {
  for (const char* page : {"lumora.1", "lumora-img.1"}) {
    const std::string path = usr(std::string("share/man/man1/") + page);
    if (have("man")) {
      RunResult r = shell("MANWIDTH=80 man -l --warnings -E UTF-8 '" + path + "'", scratch_);
      EXPECT_EQ(r.exit_code, 0) << page;
      EXPECT_EQ(r.err, "") << page;
      EXPECT_NE(r.out.find("EXIT STATUS"), std::string::npos) << page;
    }
  }
  // Every option the programs' help texts name is in their page; lumora-img's also in the completion.
  const std::set<std::string> lumora_page = long_options(slurp(usr("share/man/man1/lumora.1")));
  const std::set<std::string> lumora_options = long_options(run_installed("lumora", "--help").out);
  EXPECT_EQ(lumora_options.count("--headless"), 1u);
  for (const std::string& option : lumora_options)
    EXPECT_EQ(lumora_page.count(option), 1u) << "lumora.1 lacks " << option;
  const std::set<std::string> img_page = long_options(slurp(usr("share/man/man1/lumora-img.1")));
  auto completion = completion_options(slurp(usr("share/bash-completion/completions/lumora-img")));
  size_t checked = 0;
  for (const char* command : {"info", "decode", "convert", "exif", "thumbs", "frames"}) {
    RunResult help = run_installed("lumora-img", std::string(command) + " --help");
    ASSERT_EQ(help.exit_code, 0) << command;
    for (const std::string& option : long_options(help.out + help.err)) {
      ++checked;
      EXPECT_EQ(img_page.count(option), 1u) << "lumora-img.1 lacks " << command << " " << option;
      EXPECT_EQ(completion[command].count(option), 1u) << "the completion lacks " << command << " " << option;
    }
  }
  EXPECT_GE(checked, 20u);
}

TEST_F(InstallTest, InstalledProgramsRunFromTheirPlace) {
  RunResult version = run_installed("lumora", "--version");
  EXPECT_EQ(version.exit_code, 0) << version.err;
  EXPECT_EQ(version.out.rfind("lumora ", 0), 0u) << version.out;
  RunResult info = run_installed("lumora-img", "info '" + usr("share/lumora/samples/landscape.jpg") + "'");
  EXPECT_EQ(info.exit_code, 0) << info.err;
  EXPECT_NE(info.out.find("format: jpeg"), std::string::npos) << info.out;
  // The browser on the installed samples, headless, with the data the installation brought.
  const std::string shot = scratch_ + "/browser.png";
  RunResult browse = run_installed("lumora", "--headless --config-dir '" + scratch_ + "/home/config' --screen 480x640 "
                                             "--keys settle --screenshot '" + shot + "' '" +
                                             usr("share/lumora/samples/") + "'");
  EXPECT_EQ(browse.exit_code, 0) << browse.err;
  EXPECT_EQ(png_size(shot), std::make_pair(480, 640));
}

// The Debian package: what the installation holds, with the dependencies dpkg-shlibdeps found.
TEST_F(InstallTest, DebianPackageHoldsTheProgramsAndTheirLibraries) {
  const std::string cpack = cache_value(build_, "CMAKE_CPACK_COMMAND");
  if (cpack.empty() || !have("dpkg-deb") || !have("dpkg-shlibdeps")) GTEST_SKIP() << "cpack or dpkg tools missing";
  const std::string out = scratch_ + "/deb";
  RunResult pack = shell("'" + cpack + "' -G DEB --config '" + build_ + "/CPackConfig.cmake' -B '" + out + "'", scratch_);
  ASSERT_EQ(pack.exit_code, 0) << pack.out << pack.err;
  std::string deb;
  for (const std::string& f : files_in(out))
    if (f.rfind("lumora_", 0) == 0 && f.size() > 4 && f.compare(f.size() - 4, 4, ".deb") == 0) deb = out + "/" + f;
  ASSERT_FALSE(deb.empty()) << pack.out;
  auto field = [&](const char* name) { return shell("dpkg-deb -f '" + deb + "' " + name, scratch_).out; };
  EXPECT_EQ(field("Package"), "lumora\n");
  EXPECT_EQ(field("Section"), "graphics\n");
  EXPECT_EQ(field("Maintainer"), "The Lumora developers\n");
  const std::string depends = field("Depends");
  for (const char* package : {"libjpeg62-turbo", "libpng16-16", "zlib1g", "libfreetype6", "libgmime-3.0-0",
                              "fonts-dejavu-core"})
    EXPECT_NE(depends.find(package), std::string::npos) << package << " not in " << depends;
  if (cache_value(build_, "SDL2_FOUND") == "1") {
    EXPECT_NE(depends.find("libsdl2-2.0-0"), std::string::npos) << depends;
  }
  // Unpacked anywhere, the programs run and find their files.
  const std::string unpacked = scratch_ + "/unpacked";
  ASSERT_EQ(shell("dpkg-deb -x '" + deb + "' '" + unpacked + "'", scratch_).exit_code, 0);
  RunResult help = shell("'" + unpacked + "/usr/bin/lumora-img' --help", scratch_);
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("thumbs"), std::string::npos);
  RunResult version = shell("'" + unpacked + "/usr/bin/lumora' --version", scratch_);
  EXPECT_EQ(version.out.rfind("lumora ", 0), 0u) << version.out << version.err;
  EXPECT_TRUE(is_file(unpacked + "/usr/share/applications/lumora.desktop"));
}

}  // namespace
}  // namespace lumora_test
