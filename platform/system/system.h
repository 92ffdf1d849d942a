#pragma once
// Start-up of the platform: screen, backend, clock; the program's command line; screen metrics.
#include <string>

#include "platform/base/types.h"

namespace lumora::plat {

struct Options {
  int screen_width = 240;   // pixels
  int screen_height = 320;
  int dpi = 96;
  int depth = 16;           // bits per pixel the screen reports (16 or 24)
  int scale = 0;            // window scale of the SDL backend; 0 = the screen follows the window
  bool dpi_given = false;   // --dpi was given (else a desktop window sets it from its scale)
  bool fullscreen = false;
  bool headless = false;
  std::string config_dir;   // empty: LUMORA_CONFIG_DIR, then $XDG_CONFIG_HOME/lumora
  std::string keys;         // key script of the headless backend
  std::string screenshot;   // PNG written when a headless run ends
  // Headless: the run ends once the key script (even an empty one) is done. The command line
  // sets it with --headless; tests that drive the message loop themselves leave it off.
  bool quit_after_script = false;
};

// Reads the program's options:
//   [--screen WxH] [--dpi N] [--depth 16|24] [--scale N] [--fullscreen] [--config-dir DIR]
//   [--headless] [--keys SCRIPT|@FILE] [--screenshot FILE.png] [PATH]
// false with a message on a malformed option.
bool ParseCommandLine(int argc, char** argv, Options* opts, std::string* path, std::string* error);

// Creates the screen and the backend. The calling thread becomes the user-interface thread: it
// receives the input and presents the screen. Without SDL support, or with headless set, the
// headless backend is used.
bool Startup(const Options& opts, std::string* error);
// Gives the screen a new size in pixels (a desktop window resized or maximised): the framebuffer
// is made anew and the top-level windows that reached the old screen's right or bottom edge
// follow the new one, receiving WM_SIZE as after any move. False on another thread or without
// memory.
bool ResizeScreen(int width, int height);
// Destroys the remaining windows and the backend.
void Shutdown();
bool IsStarted();
bool IsHeadless();
const Options& GetOptions();
// Name of the running backend: "headless" or "sdl".
const char* BackendName();

// Milliseconds of the platform clock (virtual in the headless backend).
DWORD GetTickCount();
// Waits without dispatching messages. The headless backend advances its virtual clock instead,
// so timers fall due but run only when messages are processed again. Shows the screen first.
void Sleep(DWORD ms);
// Headless: advances the virtual clock by ms, running every timer as it falls due and letting the
// threads started through CreateThread finish, with all pending messages processed in between.
// With a real clock it processes messages for ms milliseconds.
void AdvanceClock(DWORD ms);
// Waits in real time until every thread started through CreateThread has ended and no message is
// pending, processing messages meanwhile (at most 30 s). The key token "settle".
void SettleWorkers();
// Processes every pending message of the calling thread (sent, posted, paint, due timers), not
// WM_QUIT. Returns the number of messages handled.
int PumpPendingMessages();

// Shows the framebuffer now (the message loop does this by itself when it goes idle).
void Present();
bool SaveScreenshot(const std::string& png_path);
// The framebuffer: width x height pixels 0x00RRGGBB, rows top-down. Null before Startup.
const uint32_t* ScreenPixels();

// Configuration folder for the registry files.
std::string ConfigDir();

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXVSCROLL = 2;
inline constexpr int SM_CYHSCROLL = 3;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
inline constexpr int SM_CYVSCROLL = 20;
inline constexpr int SM_CXHSCROLL = 21;
inline constexpr int SM_CXSMICON = 49;
inline constexpr int SM_CYSMICON = 50;
int GetSystemMetrics(int index);

}  // namespace lumora::plat
