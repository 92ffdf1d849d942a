#include "app/shell/winmain.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/shell/language.h"
#include "app/shell/main_window.h"
#include "app/shell/resources.h"
#include "app/shell/settings.h"
#include "app/viewer/screen_conv.h"
#include "imagelib/core/format.h"
#include "platform/platform.h"

namespace lumora::app {

namespace {

constexpr const char* kUsage =
    "Usage: lumora [OPTIONS] [PATH]\n"
    "Browse a folder of pictures, or open one picture, with the keypad or the keyboard.\n"
    "PATH is a picture (opened in the viewer) or a folder (browsed with its first picture\n"
    "selected); without it Lumora opens the folder it showed last, or your pictures folder.\n"
    "\n"
    "Options:\n"
    "  --screen WxH       screen size in pixels (default 240x320); a desktop window can also\n"
    "                     be resized or maximised, and the screen follows it\n"
    "  --scale N          show the screen N times enlarged, at a fixed size\n"
    "  --dpi N            screen resolution in dots per inch (default 96)\n"
    "  --depth 16|24      bits per pixel of the screen (default 16)\n"
    "  --fullscreen       cover the whole display\n"
    "  --config-dir DIR   where the settings are kept (default $XDG_CONFIG_HOME/lumora)\n"
    "  --headless         run without a display (tests, scripts)\n"
    "  --keys SCRIPT      keys for a headless run, or @FILE to read them from a file:\n"
    "                     up down left right action soft1 soft2 back back-hold 0-9 star hash\n"
    "                     type:TEXT wait:MS shot:FILE.png cmd:ID settle quit\n"
    "  --screenshot FILE  write the last screen of a headless run as PNG\n"
    "  --help, --version\n"
    "\n"
    "Keys: arrows move, Enter opens, F1/F2 are the soft keys (menus), Escape or Backspace is\n"
    "Back. In the viewer: Up/Down zoom, Left/Right previous/next picture, 2 4 6 8 scroll,\n"
    "1/3 rotate, 5 fills the screen, Enter or Back returns to the browser.\n";

// Frees the library and the conversion tables however the run ends.
struct LibraryRun {
  LibraryRun() {
    library_start();
    screen_conversion_start();
  }
  ~LibraryRun() {
    screen_conversion_stop();
    library_stop();
  }
};

}  // namespace

int lumora_main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("lumora %s\n", LUMORA_VERSION);
      return 0;
    }
  }
  Options opts;
  std::string path, error;
  if (!ParseCommandLine(argc, argv, &opts, &path, &error)) {
    std::fprintf(stderr, "lumora: %s\nTry 'lumora --help'.\n", error.c_str());
    return 1;
  }

  // One running program per user: a later start hands its path to the first and ends. Headless
  // runs (tests, scripts, screenshots) are independent of a program on the desktop.
  SingleInstance instance;
  if (!opts.headless) {
    std::vector<std::string> args;
    if (!path.empty()) args.push_back(path);
    switch (instance.Acquire("lumora", args, &error)) {
      case SingleInstance::Role::HandedOver: return 0;
      case SingleInstance::Role::Failed:
        std::fprintf(stderr, "lumora: %s; running on its own\n", error.c_str());
        break;
      case SingleInstance::Role::First: break;
    }
  }

  if (!Startup(opts, &error)) {
    std::fprintf(stderr, "lumora: %s\n", error.c_str());
    return 1;
  }
  InitCommonControls();
  register_resources();
  LibraryRun library;

  // The language: the one chosen in the Options, else the user's locale.
  std::string language = reg_read_string(nullptr, "Language", "");
  if (language.empty()) language = GetLocaleInfo(LOCALE_SISO639LANGNAME);
  if (language.empty()) language = GetLocaleInfo(LOCALE_SABBREVLANGNAME);
  the_language().load(language);

  int code = 0;
  {
    auto main_window = std::make_unique<CMainWnd>();
    if (!main_window->create_main(path)) {
      std::fprintf(stderr, "lumora: cannot create the main window\n");
      Shutdown();
      return 1;
    }
    if (!opts.headless) instance.Listen(main_window->hwnd());
    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0)) {
      TranslateMessage(&msg);
      DispatchMessage(&msg);
    }
    code = static_cast<int>(msg.wParam);
  }
  Shutdown();
  return code;
}

}  // namespace lumora::app
