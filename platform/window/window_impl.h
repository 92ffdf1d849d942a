#pragma once
// The records behind window handles and thread queues. Internal to the window system.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/window.h"

namespace lumora::plat {

struct ThreadQueue;

struct WindowClass {
  std::string name;
  WNDCLASS wc;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> cls;
  std::shared_ptr<ThreadQueue> queue;
  WNDPROC proc = nullptr;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;  // z-order, topmost first
  std::string title;
  DWORD style = 0;
  DWORD ex_style = 0;
  uintptr_t id = 0;
  HINSTANCE instance = nullptr;
  LONG_PTR user_data = 0;
  LONG_PTR dialog_msg_result = 0;  // DWLP_MSGRESULT of a dialog
  RECT rect{};  // relative to the parent's client area (screen for top-level windows)
  Region update;  // client coordinates
  bool erase_pending = false;
  bool destroying = false;
  bool back_override = false;
  struct ScrollState {
    int min = 0, max = 0, pos = 0;
    UINT page = 0;
  } scroll[2];  // horizontal, vertical
};

struct SentMessage {
  HWND hwnd;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
  LRESULT result = 0;
  bool done = false;
};

struct Timer {
  HWND hwnd;
  uintptr_t id;
  UINT elapse;
  TIMERPROC proc;
  uint64_t due;  // platform clock, ms
};

struct ModalState {
  HWND hwnd;
  bool ended = false;
  int result = 0;
};

struct ThreadQueue {
  std::mutex m;
  std::condition_variable cv;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  bool quit = false;
  int quit_code = 0;
  // Touched by the owning thread only.
  std::vector<Timer> timers;
  std::vector<ModalState*> modal;
  std::thread::id owner;
  uintptr_t next_timer_id = 0x7F00;
};

// Window table.
Window* win(HWND h);  // null for stale handles; owning thread only
std::shared_ptr<ThreadQueue> queue_of(HWND h);  // any thread
std::shared_ptr<ThreadQueue> this_queue();
std::vector<HWND> top_level_windows();  // z-order, topmost first
void remove_top_level(HWND h);

// Geometry.
RECT window_screen_rect(const Window* w);
RECT client_rect_local(const Window* w);  // client area in window-relative coordinates
POINT client_origin(const Window* w);     // client origin in screen coordinates
Region visible_region(const Window* w);
RECT client_screen_rect(const Window* w);   // screen coordinates, clipped by ancestors and siblings

// Paint cycle helpers.
void invalidate_screen_area(const RECT& screen_rect);
HWND find_window_to_paint(ThreadQueue& q, HWND filter);
void on_window_hidden_or_destroyed(HWND h);
// Draws the border and scroll bars around the client area.
void paint_nonclient(Window* w);

// Input.
void reset_input_state();  // a new run starts with no key held and no focus
HWND key_target();
uint64_t back_hold_deadline();  // 0 when none pending
void check_back_hold(uint64_t now);

// Clock of the platform in ms (virtual in headless).
uint64_t clock_now();

}  // namespace lumora::plat
