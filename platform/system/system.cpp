// The running platform: screen, backend, clock, metrics and text recording.
#include "platform/system/system.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/backend/backend.h"
#include "platform/controls/theme.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/system/system_impl.h"
#include "platform/system/threads.h"
#include "platform/window/window_impl.h"

namespace lumora::plat {

namespace {

struct System {
  Options options;
  std::vector<uint32_t> pixels;
  Surface screen;
  std::unique_ptr<Backend> backend;
  std::thread::id ui_thread;
  bool virtual_clock = false;
  std::atomic<bool> dirty{true};
};

std::unique_ptr<System>& the_system() {
  static std::unique_ptr<System> s;
  return s;
}

std::atomic<uint64_t> g_virtual_ms{0};
std::atomic<bool> g_virtual{false};
const auto g_start = std::chrono::steady_clock::now();

struct TextLog {
  std::mutex m;
  bool on = false;
  std::vector<DrawnText> texts;
};
TextLog& text_log() {
  static TextLog t;
  return t;
}

}  // namespace

// ---- internal interface ----

bool is_ui_thread() {
  auto& s = the_system();
  return s && s->ui_thread == std::this_thread::get_id();
}

Backend* backend() { return the_system() ? the_system()->backend.get() : nullptr; }

bool clock_is_virtual() { return g_virtual.load(); }

void set_virtual_clock(uint64_t ms) {
  if (ms > g_virtual_ms.load()) g_virtual_ms.store(ms);
}

uint64_t clock_now() {
  if (g_virtual.load()) return g_virtual_ms.load();
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_start).count());
}

Surface* screen_surface() { return the_system() ? &the_system()->screen : nullptr; }
int screen_dpi() { return the_system() ? the_system()->options.dpi : 96; }
int screen_depth() { return the_system() ? the_system()->options.depth : 16; }
void mark_screen_dirty() {
  if (auto& s = the_system()) s->dirty = true;
}

void present_if_dirty() {
  auto& s = the_system();
  if (s && s->backend && s->dirty.exchange(false)) s->backend->present(s->screen);
}

void record_text(const DrawnText& t) {
  TextLog& log = text_log();
  std::lock_guard lock(log.m);
  if (log.on) log.texts.push_back(t);
}

// ---- public interface ----

void SetTextRecording(bool on) {
  std::lock_guard lock(text_log().m);
  text_log().on = on;
}

std::vector<DrawnText> DrawnTexts() {
  std::lock_guard lock(text_log().m);
  return text_log().texts;
}

void ClearDrawnTexts() {
  std::lock_guard lock(text_log().m);
  text_log().texts.clear();
}

bool Startup(const Options& opts, std::string* error) {
  auto fail = [&](const std::string& m) {
    if (error) *error = m;
    return false;
  };
  if (the_system()) return fail("the platform is already started");
  if (opts.screen_width < 16 || opts.screen_height < 16 || opts.screen_width > 8192 || opts.screen_height > 8192)
    return fail("screen size out of range (16 to 8192 pixels)");
  if (opts.depth != 16 && opts.depth != 24) return fail("screen depth must be 16 or 24");
  if (opts.dpi < 48 || opts.dpi > 600) return fail("dpi out of range (48 to 600)");
  auto s = std::make_unique<System>();
  s->options = opts;
  s->ui_thread = std::this_thread::get_id();
  try {
    s->pixels.assign(static_cast<size_t>(opts.screen_width) * opts.screen_height, 0);
  } catch (...) {
    return fail("out of memory for the screen");
  }
  s->screen.attach(reinterpret_cast<uint8_t*>(s->pixels.data()), opts.screen_width, opts.screen_height, 32,
                   static_cast<size_t>(opts.screen_width) * 4, false);
  std::string why;
  if (!opts.headless) {
    s->backend = make_sdl_backend(opts, &why);
    if (!s->backend) return fail(why.empty() ? "the SDL backend is not available" : why);
    // A desktop window whose screen follows its size in pixels may start larger than asked.
    int w = 0, h = 0, dpi = 0;
    if (s->backend->initial_screen(&w, &h, &dpi) &&
        (w != opts.screen_width || h != opts.screen_height || dpi != opts.dpi)) {
      try {
        s->pixels.assign(static_cast<size_t>(w) * h, 0);
      } catch (...) {
        return fail("out of memory for the screen");
      }
      s->options.screen_width = w;
      s->options.screen_height = h;
      s->options.dpi = dpi;
      s->screen.attach(reinterpret_cast<uint8_t*>(s->pixels.data()), w, h, 32, static_cast<size_t>(w) * 4, false);
    }
  } else {
    s->backend = make_headless_backend(opts, &why);
    if (!s->backend) return fail(why);
  }
  s->virtual_clock = opts.headless;
  g_virtual = opts.headless;
  g_virtual_ms = 0;
  the_system() = std::move(s);
  reset_input_state();
  this_queue();
  return true;
}

bool ResizeScreen(int width, int height) {
  auto& s = the_system();
  if (!s || !is_ui_thread()) return false;
  width = std::clamp(width, 16, 8192);
  height = std::clamp(height, 16, 8192);
  const int old_w = s->options.screen_width, old_h = s->options.screen_height;
  if (width == old_w && height == old_h) return true;
  std::vector<uint32_t> pixels;
  try {
    pixels.assign(static_cast<size_t>(width) * height, 0);
  } catch (...) {
    return false;
  }
  s->pixels.swap(pixels);
  s->screen.attach(reinterpret_cast<uint8_t*>(s->pixels.data()), width, height, 32, static_cast<size_t>(width) * 4,
                   false);
  s->options.screen_width = width;
  s->options.screen_height = height;

  // Top-level windows keep their place relative to the screen's edges: an edge that lay on the
  // old screen's right or bottom edge (or on the top of the soft-key band) moves with it, as a
  // phone's windows follow its screen when it turns. Bottom-most first, so owners move before
  // the bars and dialogs they own measure themselves against them.
  const int band = ui::softkey_bar_height();
  auto top = top_level_windows();
  for (auto it = top.rbegin(); it != top.rend(); ++it) {
    RECT r;
    if (!GetWindowRect(*it, &r)) continue;
    RECT n = r;
    if (r.right == old_w) n.right = width;
    if (r.bottom == old_h) n.bottom = height;
    if (r.top == old_h - band) n.top = height - band;
    if (r.bottom == old_h - band && r.top != old_h - band) n.bottom = height - band;
    if (r.top >= old_h - band && r.bottom == old_h) n.top = height - (r.bottom - r.top);
    n.right = std::min<LONG>(n.right, width);
    n.bottom = std::min<LONG>(n.bottom, height);
    if (n.right <= n.left || n.bottom <= n.top) continue;
    MoveWindow(*it, n.left, n.top, n.right - n.left, n.bottom - n.top, TRUE);
  }
  RECT all{0, 0, width, height};
  invalidate_screen_area(all);
  mark_screen_dirty();
  return true;
}

void Shutdown() {
  auto& s = the_system();
  if (!s) return;
  for (HWND t : top_level_windows()) DestroyWindow(t);
  // Drop whatever the finished run left in this thread's queue.
  auto q = this_queue();
  {
    std::lock_guard lock(q->m);
    q->posted.clear();
    q->quit = false;
  }
  q->timers.clear();
  s->backend.reset();
  s.reset();
  g_virtual = false;
}

bool IsStarted() { return the_system() != nullptr; }
bool IsHeadless() { return the_system() && the_system()->options.headless; }
const Options& GetOptions() {
  static const Options defaults;
  return the_system() ? the_system()->options : defaults;
}
const char* BackendName() { return backend() ? backend()->name() : ""; }

DWORD GetTickCount() { return static_cast<DWORD>(clock_now()); }

void Sleep(DWORD ms) {
  if (is_ui_thread()) present_if_dirty();
  if (g_virtual.load()) {
    g_virtual_ms += ms;
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SettleWorkers() {
  // Let workers finish and everything they posted be handled, until nothing moves. A worker
  // that never ends (waiting for something that will not come) costs at most 30 s in all.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(give_up - std::chrono::steady_clock::now());
    bool idle = WaitForWorkerThreads(static_cast<DWORD>(std::max<int64_t>(0, left.count())));
    int handled = PumpPendingMessages();
    if (handled == 0 && (idle || std::chrono::steady_clock::now() >= give_up)) break;
  }
}

void AdvanceClock(DWORD ms) {
  const uint64_t target = clock_now() + ms;
  if (!g_virtual.load()) {
    while (clock_now() < target) {
      PumpPendingMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint64_t>(5, target - clock_now())));
    }
    PumpPendingMessages();
    return;
  }
  auto settle = [] { SettleWorkers(); };
  settle();
  auto q = this_queue();
  for (;;) {
    uint64_t next = UINT64_MAX;
    for (const Timer& t : q->timers) next = std::min(next, t.due);
    uint64_t hold = back_hold_deadline();
    if (hold) next = std::min(next, hold);
    if (next > target) break;
    set_virtual_clock(next);
    settle();
  }
  set_virtual_clock(target);
  settle();
}

void Present() {
  if (auto& s = the_system(); s && s->backend) {
    s->dirty = false;
    s->backend->present(s->screen);
  }
}

const uint32_t* ScreenPixels() { return the_system() ? the_system()->pixels.data() : nullptr; }

std::string ConfigDir() {
  if (the_system() && !the_system()->options.config_dir.empty()) return the_system()->options.config_dir;
  if (const char* env = std::getenv("LUMORA_CONFIG_DIR"); env && *env) return env;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return std::string(xdg) + "/lumora";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/lumora";
  return ".lumora";
}

int GetSystemMetrics(int index) {
  const Options& o = GetOptions();
  // Scroll bars are 13 pixels wide at 96 dpi, narrower than a desktop's, as on phones.
  const int bar = (13 * o.dpi + 48) / 96;
  switch (index) {
    case SM_CXSCREEN: return o.screen_width;
    case SM_CYSCREEN: return o.screen_height;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL: return bar;
    case SM_CYCAPTION: return (20 * o.dpi + 48) / 96;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXICON:
    case SM_CYICON: return (32 * o.dpi + 48) / 96;
    case SM_CXSMICON:
    case SM_CYSMICON: return (16 * o.dpi + 48) / 96;
    default: return 0;
  }
}

}  // namespace lumora::plat
