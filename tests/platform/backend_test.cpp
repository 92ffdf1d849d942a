// Backends: the key table, key scripts, a scripted headless run with screenshots, the command
// line, and the SDL backend on SDL's dummy video driver.
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/backend/key_script.h"
#include "platform/backend/keymap.h"
#include "platform_fixture.h"

#ifdef LUMORA_HAVE_SDL2
#include <SDL.h>
#endif

namespace lumora::plat {
namespace {

namespace fs = std::filesystem;

// The tables themselves are data; this checks the look-up: the last entries are found and an
// unmapped key or button gives no phone key.
TEST(KeyMap, LookUpFindsEveryEntryAndStickPressesWithHysteresis) {
  EXPECT_EQ(phone_key_for(HostKey::Hash), VK_TPOUND);
  EXPECT_EQ(phone_key_for(HostKey::Other), 0u);
  EXPECT_EQ(phone_key_for(PadButton::RightShoulder), VK_TSOFT2);
  EXPECT_EQ(phone_key_for(PadButton::Other), 0u);
  // The stick presses past one threshold and releases below a lower one.
  EXPECT_FALSE(stick_pressed(false, kStickRelease + 1));
  EXPECT_TRUE(stick_pressed(false, kStickPress + 1));
  EXPECT_TRUE(stick_pressed(true, kStickRelease + 1));
  EXPECT_FALSE(stick_pressed(true, kStickRelease));
}

TEST(KeyScript, TokensParseAndBadTokensAreNamed) {
  std::vector<ScriptStep> steps;
  std::string err;
  ASSERT_TRUE(parse_key_script("  up\tdown 7 star hash back back-hold type:abc wait:250 shot:x.png quit cmd:32776 settle\n",
                               &steps, &err));
  ASSERT_EQ(steps.size(), 13u);
  EXPECT_EQ(steps[0].vk, VK_TUP);
  EXPECT_EQ(steps[2].vk, static_cast<UINT>('7'));
  EXPECT_EQ(steps[3].vk, VK_TSTAR);
  EXPECT_EQ(steps[5].vk, VK_TBACK);
  EXPECT_EQ(steps[6].kind, ScriptStep::Kind::BackHold);
  EXPECT_EQ(steps[7].text, "abc");
  EXPECT_EQ(steps[8].ms, 250u);
  EXPECT_EQ(steps[9].text, "x.png");
  EXPECT_EQ(steps[10].kind, ScriptStep::Kind::Quit);
  EXPECT_EQ(steps[11].kind, ScriptStep::Kind::Command);
  EXPECT_EQ(steps[11].ms, 32776u);
  EXPECT_EQ(steps[12].kind, ScriptStep::Kind::Settle);
  for (const char* bad : {"jump", "wait:", "wait:-5", "wait:12x", "shot:", "UP", "cmd:", "cmd:0", "cmd:70000", "cmd:x"}) {
    EXPECT_FALSE(parse_key_script(std::string("up ") + bad, &steps, &err)) << bad;
    EXPECT_NE(err.find(bad), std::string::npos) << err;
  }
}

TEST(CommandLine, OptionsAndPath) {
  const char* argv[] = {"lumora", "--screen", "320x240", "--dpi", "192", "--depth", "24", "--headless",
                        "--keys", "down action", "--config-dir", "/tmp/x", "--screenshot", "a.png", "/pics/b.jpg"};
  Options o;
  std::string path, err;
  ASSERT_TRUE(ParseCommandLine(15, const_cast<char**>(argv), &o, &path, &err)) << err;
  EXPECT_EQ(o.screen_width, 320);
  EXPECT_EQ(o.screen_height, 240);
  EXPECT_EQ(o.dpi, 192);
  EXPECT_EQ(o.depth, 24);
  EXPECT_TRUE(o.headless);
  EXPECT_TRUE(o.quit_after_script);
  EXPECT_EQ(o.keys, "down action");
  EXPECT_EQ(o.config_dir, "/tmp/x");
  EXPECT_EQ(o.screenshot, "a.png");
  EXPECT_EQ(path, "/pics/b.jpg");
  const std::vector<std::vector<const char*>> bad = {
      {"lumora", "--depth", "8"}, {"lumora", "--screen", "240"}, {"lumora", "--screen", "9x9"},
      {"lumora", "--scale"},      {"lumora", "--bogus"},        {"lumora", "a", "b"}};
  for (const auto& args : bad) {
    Options d;
    EXPECT_FALSE(ParseCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data()), &d, &path, &err))
        << args[1];
  }
}

// Reads an 8-bit RGB PNG into 0x00RRGGBB pixels.
bool read_png(const std::string& path, int* w, int* h, std::vector<uint32_t>* out) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  img.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> buf(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, buf.data(), 0, nullptr)) return false;
  *w = static_cast<int>(img.width), *h = static_cast<int>(img.height);
  out->resize(static_cast<size_t>(*w) * *h);
  for (size_t i = 0; i < out->size(); ++i) (*out)[i] = (uint32_t(buf[3 * i]) << 16) | (uint32_t(buf[3 * i + 1]) << 8) | buf[3 * i + 2];
  return true;
}

// A window that shows the number of the last digit key it got as that many green rows, and
// counts timer ticks.
int g_digit = 0, g_ticks = 0;
LRESULT script_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_CREATE: SetTimer(h, 1000, 500, nullptr); return 0;
    case WM_TIMER: ++g_ticks; return 0;
    case WM_CHAR:
      if (wp >= '0' && wp <= '9') g_digit = static_cast<int>(wp - '0');
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT all{0, 0, 32, 32}, rows{0, 0, 32, g_digit};
      FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      HBRUSH g = CreateSolidBrush(RGB(0, 255, 0));
      FillRect(dc, &rows, g);
      DeleteObject(g);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProc(h, m, wp, lp);
}

// Starts the platform with the options and opens the script window on the whole screen.
HWND start_script_window(const Options& o) {
  std::string err;
  EXPECT_TRUE(Startup(o, &err)) << err;
  testing::register_class("ScriptWindow", script_proc);
  g_digit = 0, g_ticks = 0;
  return CreateWindowEx(0, "ScriptWindow", "", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        nullptr, 0, nullptr, nullptr);
}

TEST(Headless, ScriptDrivesTheMessageLoopClockAndScreenshots) {
  fs::path dir = fs::temp_directory_path() / ("lumora_shot_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string mid = (dir / "mid.png").string(), last = (dir / "last.png").string();
  Options o;
  o.headless = true;
  o.screen_width = 32, o.screen_height = 32;
  o.keys = "3 shot:" + mid + " wait:1200 5 type:7";
  o.screenshot = last;
  SetFocus(start_script_window(o));
  MSG m;
  int loops = 0;
  while (GetMessage(&m, nullptr, 0, 0) && ++loops < 100000) {
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  EXPECT_EQ(g_ticks, 2);  // 500 and 1000 within the 1200 ms wait, none while keys were handled
  EXPECT_EQ(g_digit, 7);
  Shutdown();
  int sw = 0, sh = 0;
  std::vector<uint32_t> px;
  ASSERT_TRUE(read_png(mid, &sw, &sh, &px));
  EXPECT_EQ(sw, 32);
  EXPECT_EQ(px[2 * 32], 0x00FF00u);   // row 2 green after "3"
  EXPECT_EQ(px[3 * 32], 0x000000u);   // row 3 black
  ASSERT_TRUE(read_png(last, &sw, &sh, &px));
  EXPECT_EQ(px[6 * 32 + 31], 0x00FF00u);  // 7 rows after "type:7"
  EXPECT_EQ(px[7 * 32], 0x000000u);
  fs::remove_all(dir);
}

TEST(Headless, AnEmptyScriptEndsTheRunWhenTheQueueFirstGoesIdle) {
  Options o;
  o.headless = true;
  o.quit_after_script = true;
  ASSERT_NE(start_script_window(o), nullptr);
  MSG m;
  int handled = 0;
  while (GetMessage(&m, nullptr, 0, 0) && handled < 1000) {
    DispatchMessage(&m);
    ++handled;
  }
  EXPECT_LT(handled, 1000);
  EXPECT_EQ(g_ticks, 0);  // the virtual clock did not move
  Shutdown();
}

TEST(Headless, UnknownTokensStopStartUp) {
  Options o;
  o.headless = true;
  o.keys = "up sideways";
  std::string err;
  EXPECT_FALSE(Startup(o, &err));
  EXPECT_NE(err.find("sideways"), std::string::npos);
  EXPECT_FALSE(IsStarted());
}

#ifdef LUMORA_HAVE_SDL2
TEST(Sdl, RunsOnTheDummyDriverAndMapsKeyboardEvents) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  Options o;
  o.scale = 2;
  std::string err;
  if (!Startup(o, &err)) GTEST_SKIP() << "SDL cannot start here: " << err;
  EXPECT_STREQ(BackendName(), "sdl");
  testing::register_class("SdlWindow", [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_KEYDOWN) g_digit = static_cast<int>(wp);
    if (m == WM_KEYDOWN && wp == VK_TSOFT2) PostQuitMessage(0);
    return DefWindowProc(h, m, wp, lp);
  });
  HWND w = CreateWindowEx(0, "SdlWindow", "", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          nullptr, 0, nullptr, nullptr);
  SetFocus(w);
  auto push = [](SDL_Keycode sym, Uint16 mod) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  };
  g_digit = 0;
  push(SDLK_8, KMOD_LSHIFT);  // '*' on the keyboard
  push(SDLK_F2, 0);
  MSG m;
  int seen_star = 0;
  while (GetMessage(&m, nullptr, 0, 0)) {
    if (m.message == WM_KEYDOWN && m.wParam == VK_TSTAR) ++seen_star;
    DispatchMessage(&m);
  }
  EXPECT_EQ(seen_star, 1);
  EXPECT_EQ(g_digit, static_cast<int>(VK_TSOFT2));
  Present();
  Shutdown();
}
#endif

}  // namespace
}  // namespace lumora::plat
