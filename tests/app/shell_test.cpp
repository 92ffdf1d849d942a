// The program as a person uses it: started on a folder or a picture, driven by keys and menu
// commands, closed, started again.
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/shell/main_window.h"
#include "app/shell/resource.h"
#include "app/shell/resources.h"
#include "app/viewer/screen_conv.h"
#include "imagelib/core/format.h"
#include "platform/platform.h"
#include "support/app_runner.h"

namespace lumora_test {
namespace {

using lumora::plat::WM_USER;

constexpr uint32_t kRed = 0xE01010, kBlue = 0x1020D0;

nlohmann::json settings_in(const std::string& config) {
  std::ifstream f(config + "/HKEY_CURRENT_USER.json");
  nlohmann::json doc = nlohmann::json::parse(f, nullptr, false);
  if (doc.is_discarded() || !doc.contains("Software\\Lumora")) return nlohmann::json::object();
  return doc["Software\\Lumora"];
}

class ShellTest : public AppTest {};

// The first name in a folder ("" when it is empty or missing).
std::string first_name(const std::string& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  return ec || it == std::filesystem::directory_iterator() ? "" : it->path().filename().string();
}

TEST_F(ShellTest, HelpAndVersionAnswerWithoutAScreen) {
  RunResult help = run("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("--keys"), std::string::npos);
  RunResult version = run("--version");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.rfind("lumora ", 0), 0u);
  EXPECT_EQ(run("--screen 10").exit_code, 1);
}

// Each radio group of the browser's menus: the command is remembered after closing, and the
// next start opens with it.
TEST_F(ShellTest, MenuChoicesSurviveARestart) {
  write_solid_picture(pictures() + "/a.bmp", 40, 30, kRed);
  struct Case {
    const char* keys;
    const char* value;
    uint32_t expected;
  } cases[] = {
      {"cmd:32778 quit", "Mode", 3},          // Details
      {"cmd:32779 quit", "Mode", 1},          // Strip
      {"cmd:32777 quit", "Mode", 2},          // List
      {"cmd:32783 quit", "SortBy", 2},        // Type, ascending
      {"cmd:32783 cmd:32787 quit", "SortBy", 0x1002},  // descending keeps the key
      {"cmd:32787 cmd:32785 quit", "SortBy", 0x1004},  // a new key keeps the direction
      {"cmd:32795 quit", "ThumbSize", 2},
      {"cmd:32793 quit", "ThumbSize", 0},
      {"cmd:32789 quit", "ShowFilename", 0},
      {"back", "Mode", 0},                    // Back in the browser closes, writing the settings
  };
  for (const Case& c : cases) {
    std::system(("rm -f '" + config() + "/HKEY_CURRENT_USER.json'").c_str());
    RunResult r;
    run_keys(pictures(), c.keys, "", &r);
    nlohmann::json s = settings_in(config());
    ASSERT_TRUE(s.contains(c.value)) << c.keys << "\n" << r.err;
    EXPECT_EQ(s[c.value].get<uint32_t>(), c.expected) << c.keys;
    // The next start takes the value and writes it back unchanged.
    run_keys(pictures(), "quit");
    EXPECT_EQ(settings_in(config())[c.value].get<uint32_t>(), c.expected) << c.keys << " after a restart";
  }
}

TEST_F(ShellTest, BadSettingsFallBackToDefaults) {
  write_solid_picture(pictures() + "/a.bmp", 40, 30, kRed);
  // Cut short after a value: nothing of the file is taken, it is set aside, and the defaults
  // are written in its place.
  std::ofstream(config() + "/HKEY_CURRENT_USER.json") << R"({"Software\\Lumora": {"Mode": 3,,,)";
  run_keys(pictures(), "quit");
  EXPECT_TRUE(std::filesystem::exists(config() + "/HKEY_CURRENT_USER.json.corrupt"));
  nlohmann::json s = settings_in(config());
  EXPECT_EQ(s["Mode"].get<uint32_t>(), 0u);
  EXPECT_EQ(s["ThumbSize"].get<uint32_t>(), 1u);
  EXPECT_EQ(s["Delay"].get<uint32_t>(), 2u);

  // A ThumbSize the program does not know is normal size, and written back as such.
  std::ofstream(config() + "/HKEY_CURRENT_USER.json") << R"({"Software\\Lumora": {"ThumbSize": 7, "Delay": "x"}})";
  run_keys(pictures(), "quit");
  s = settings_in(config());
  EXPECT_EQ(s["ThumbSize"].get<uint32_t>(), 1u);
  EXPECT_EQ(s["Delay"].get<uint32_t>(), 2u);
}

// The three thumbnail sizes of the Action menu: each larger size shows the picture in a larger
// tile, and the browser keeps showing it (the worker made the thumbnails again).
TEST_F(ShellTest, ThumbnailSizesChangeTheTiles) {
  write_solid_picture(pictures() + "/red.png", 400, 300, kRed);
  const char* commands[] = {"cmd:32793", "cmd:32794", "cmd:32795"};  // small, normal, large
  int last_width = 0;
  for (const char* command : commands) {
    Screen s = run_keys(pictures(), std::string(command) + " settle");
    ASSERT_FALSE(s.empty()) << command;
    // The widest red run of any row is the thumbnail's width on screen.
    int width = 0;
    for (int y = 0; y < s.height; ++y) {
      int run = 0;
      for (int x = 0; x < s.width; ++x) {
        run = near_colour(s.at(x, y), kRed, 24) ? run + 1 : 0;
        width = std::max(width, run);
      }
    }
    EXPECT_GT(width, last_width) << command << ": the thumbnail did not grow";
    last_width = width;
  }
}

// What the screen shows after a start: a picture path opens the viewer full screen, a folder
// the browser; Back and Enter in the viewer return to the browser.
TEST_F(ShellTest, StartsOnAFolderOrAPicture) {
  write_solid_picture(pictures() + "/red.bmp", 64, 48, kRed);
  write_solid_picture(pictures() + "/blue.png", 64, 48, kBlue);
  struct Case {
    std::string target, keys;
    bool viewer;        // the picture fills the middle of the screen
    uint32_t colour;
  } cases[] = {
      {pictures() + "/blue.png", "", true, kBlue},
      {pictures() + "/red.bmp", "", true, kRed},
      {pictures(), "action", true, kBlue},   // sorted by name: blue.png first
      {pictures(), "right action", true, kRed},
      {pictures() + "/red.bmp", "back", false, 0},
      {pictures() + "/red.bmp", "action", false, 0},
      {pictures() + "/red.bmp", "left", true, kBlue},  // previous picture of the folder
  };
  for (const Case& c : cases) {
    Screen s = run_keys(c.target, c.keys);
    ASSERT_FALSE(s.empty()) << c.target << " " << c.keys;
    const uint32_t middle = s.at(s.width / 2, s.height / 2);
    if (c.viewer) {
      EXPECT_TRUE(near_colour(middle, c.colour, 24)) << c.target << " " << c.keys << std::hex << " got " << middle;
    } else {
      EXPECT_FALSE(near_colour(middle, kRed, 24)) << c.target << " " << c.keys << ": still in the viewer";
    }
  }
}

// Rename from the browser's menu: Done gives the file its new name on disk, Cancel leaves it.
TEST_F(ShellTest, RenameThroughTheKeys) {
  const std::string rename = "settle cmd:" + std::to_string(lumora::app::ID_RENAME) + " settle type:beach ";
  const struct {
    std::string keys;
    const char* after;
  } cases[] = {
      {rename + "soft1 settle", "beach.png"},
      {rename + "soft2 settle", "holiday.png"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(pictures());
    std::filesystem::create_directories(pictures());
    write_solid_picture(pictures() + "/holiday.png", 40, 30, kRed);
    run_keys(pictures(), c.keys + " quit");
    EXPECT_EQ(first_name(pictures()), c.after) << c.keys;
  }
}

// The browser keeps the thumbnails of pictures without an embedded one in the shared cache, so a
// second visit reads them from there; "as EMail" puts the selected picture into the account's
// Outbox.
TEST_F(ShellTest, ThumbnailsAreCachedAndPicturesSentByMail) {
  write_solid_picture(pictures() + "/blue.png", 300, 200, kBlue);
  Screen first = run_keys(pictures(), "settle");
  const std::string normal = dir_ + "/cache/thumbnails/normal";
  EXPECT_NE(first_name(normal).find(".png"), std::string::npos) << "no cached thumbnail in " << normal;
  Screen second = run_keys(pictures(), "settle");
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  // The same tile both times: the cached thumbnail shows the picture's colour where it did.
  int blue_first = 0, blue_second = 0;
  for (size_t i = 0; i < first.pixels.size(); ++i) {
    blue_first += near_colour(first.pixels[i], kBlue, 24);
    blue_second += near_colour(second.pixels[i], kBlue, 24);
  }
  EXPECT_GT(blue_first, 200);
  EXPECT_NEAR(blue_second, blue_first, blue_first / 10);

  const std::string outbox = dir_ + "/data/lumora/mail/home/Outbox";
  ASSERT_EQ(std::system(("mkdir -p '" + outbox + "/new' '" + outbox + "/cur' '" + outbox + "/tmp'").c_str()), 0);
  std::ofstream(dir_ + "/data/lumora/mail/home/account.conf") << "from = Me <me@example.org>\nto = you@example.org\n";
  run_keys(pictures(), "settle cmd:32839 settle action quit");
  const std::string sent = first_name(outbox + "/new");
  ASSERT_NE(sent, "") << "no message in the Outbox";
  const std::string message = slurp(outbox + "/new/" + sent);
  EXPECT_NE(message.find("blue.png"), std::string::npos);
  EXPECT_NE(message.find("you@example.org"), std::string::npos);
}

// The main window in this process: each radio group's command moves the check mark to its own
// item, within its group only.
TEST_F(ShellTest, EveryRadioGroupMovesItsCheck) {
  using namespace lumora::plat;
  using namespace lumora::app;
  write_solid_picture(pictures() + "/a.bmp", 40, 30, kRed);
  setenv("XDG_RUNTIME_DIR", (dir_ + "/runtime").c_str(), 1);
  Options o;
  o.headless = true;
  o.config_dir = config();
  std::string err;
  ASSERT_TRUE(Startup(o, &err)) << err;
  InitCommonControls();
  register_resources();
  lumora::library_start();
  screen_conv_start(16);
  {
    CMainWnd main;
    ASSERT_TRUE(main.create_main(pictures()));
    PumpPendingMessages();
    const HMENU browser = static_cast<HMENU>(SendMessage(main.browser_bar(), SHCMBM_GETMENU, 0, 0));
    const HMENU viewer = static_cast<HMENU>(SendMessage(main.viewer_bar(), SHCMBM_GETMENU, 0, 0));
    struct Group {
      HMENU menu;
      UINT first, last;
    } groups[] = {
        {browser, ID_VIEW_THUMBNAILS, ID_VIEW_STRIP},   {browser, ID_SORT_NAME, ID_SORT_RESOLUTION},
        {browser, ID_SORT_ASCENDING, ID_SORT_DESCENDING}, {browser, ID_THUMB_SMALL, ID_THUMB_LARGE},
        {viewer, ID_ZOOM_FIT, ID_ZOOM_300},
    };
    for (const Group& g : groups) {
      for (UINT id = g.last + 1; id-- > g.first;) {
        if (GetMenuState(g.menu, id, MF_BYCOMMAND) == kMenuError) continue;  // a gap in the ids
        SendMessage(main.hwnd(), WM_COMMAND, id, 0);
        PumpPendingMessages();
        for (UINT other = g.first; other <= g.last; ++other) {
          const UINT state = GetMenuState(g.menu, other, MF_BYCOMMAND);
          if (state == kMenuError) continue;
          EXPECT_EQ((state & MF_CHECKED) != 0, other == id) << "after " << id << ", item " << other;
        }
      }
    }
    // "Show Filename" is a plain check item that follows the command.
    const bool shown = (GetMenuState(browser, ID_SHOW_FILENAME, MF_BYCOMMAND) & MF_CHECKED) != 0;
    SendMessage(main.hwnd(), WM_COMMAND, ID_SHOW_FILENAME, 0);
    EXPECT_NE((GetMenuState(browser, ID_SHOW_FILENAME, MF_BYCOMMAND) & MF_CHECKED) != 0, shown);
    DestroyWindow(main.hwnd());
  }
  screen_conv_stop();
  lumora::library_stop();
  Shutdown();
}

// A later start hands its path to the running program and ends with 0.
TEST_F(ShellTest, ASecondStartHandsOverItsPath) {
  using namespace lumora::plat;
  Options o;
  o.headless = true;
  std::string err;
  ASSERT_TRUE(Startup(o, &err)) << err;
  WNDCLASS wc;
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "FirstInstance";
  RegisterClass(&wc);
  HWND first = CreateWindowEx(0, "FirstInstance", "", 0, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  SingleInstance instance;
  ASSERT_EQ(instance.Acquire("lumora", {}, &err, dir_ + "/runtime"), SingleInstance::Role::First) << err;
  ASSERT_TRUE(instance.Listen(first, WM_USER + 77));

  // Without --headless: the program finds the first instance before it needs a display.
  const std::string cmd = "cd '" + dir_ + "' && XDG_RUNTIME_DIR='" + dir_ + "/runtime' '" + program_ +
                          "' Pictures/some.jpg >/dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  MSG msg;
  bool got = false;
  for (int i = 0; i < 200 && !got; ++i) {
    usleep(10000);
    while (PeekMessage(&msg, first, WM_USER + 77, WM_USER + 77, PM_REMOVE)) {
      auto request = TakeInstanceRequest(msg.lParam);
      ASSERT_TRUE(request);
      ASSERT_EQ(request->args.size(), 1u);
      EXPECT_EQ(request->args[0], "Pictures/some.jpg");
      EXPECT_EQ(request->working_folder, dir_);
      got = true;
    }
  }
  EXPECT_TRUE(got);
  Shutdown();
}

}  // namespace
}  // namespace lumora_test
