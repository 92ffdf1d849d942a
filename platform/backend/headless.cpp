// The headless backend: the framebuffer stays in memory, keys come from a script and the clock
// is virtual, so a run gives the same screens every time.
#include <cstdio>

#include "platform/backend/backend.h"
#include "platform/backend/key_script.h"
#include "platform/window/window.h"
#include "platform/window/window_impl.h"

namespace lumora::plat {

namespace {

// The soft-key bars and popup menus are top-level windows of their own; the key tokens that
// address "the program's window" look past them.
bool is_menu_window(HWND h) {
  const std::string cls = GetClassName(h);
  return cls == "LumoraSoftKeyBar" || cls == "LumoraPopupMenu";
}

// The window a menu command would come from: the topmost visible, enabled top-level window that
// is not a menu (a dialog while one is open, else the main window).
HWND active_top_level_window() {
  for (HWND t : top_level_windows())
    if (IsWindowVisible(t) && IsWindowEnabled(t) && !is_menu_window(t)) return t;
  return nullptr;
}

// The program's main window: the bottom-most top-level window that nobody owns.
HWND main_top_level_window() {
  auto top = top_level_windows();
  for (auto it = top.rbegin(); it != top.rend(); ++it) {
    Window* w = win(*it);
    if (w && !w->owner && !is_menu_window(*it)) return *it;
  }
  return nullptr;
}

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend(std::vector<ScriptStep> steps, std::string screenshot, bool has_script)
      : steps_(std::move(steps)), screenshot_(std::move(screenshot)), has_script_(has_script) {}

  const char* name() const override { return "headless"; }
  void present(const Surface&) override {}
  int poll_interval_ms() const override { return -1; }
  bool scripted() const override { return has_script_ && !finished_; }
  // No display: the state is only kept, so that tests can see what the program asked for.
  bool set_fullscreen(bool on) override {
    fullscreen_ = on;
    return true;
  }
  bool fullscreen() const override { return fullscreen_; }

  bool pump_input() override {
    if (!has_script_ || finished_) return false;
    if (next_ >= steps_.size()) {
      finish();
      return true;
    }
    run(steps_[next_++]);
    return true;
  }

 private:
  void finish() {
    finished_ = true;
    if (!screenshot_.empty() && !SaveScreenshot(screenshot_))
      std::fprintf(stderr, "lumora: cannot write the screenshot %s\n", screenshot_.c_str());
    PostQuitMessage(0);
  }

  void run(const ScriptStep& s) {
    switch (s.kind) {
      case ScriptStep::Kind::Key:
        InjectKey(s.vk, true);
        InjectKey(s.vk, false);
        break;
      case ScriptStep::Kind::BackHold:
        InjectKey(VK_TBACK, true);
        AdvanceClock(kBackHoldMs + 200);
        InjectKey(VK_TBACK, false);
        break;
      case ScriptStep::Kind::Type:
        InjectText(s.text);
        break;
      case ScriptStep::Kind::Wait:
        AdvanceClock(s.ms);
        break;
      case ScriptStep::Kind::Shot:
        if (!SaveScreenshot(s.text)) std::fprintf(stderr, "lumora: cannot write the screenshot %s\n", s.text.c_str());
        break;
      case ScriptStep::Kind::Command:
        // As if chosen from a menu of the active window: posted, so a dialog it opens runs its
        // own loop and the script goes on inside it.
        if (HWND target = active_top_level_window())
          PostMessage(target, WM_COMMAND, MAKEWPARAM(static_cast<int>(s.ms), 0), 0);
        else
          std::fprintf(stderr, "lumora: no window for the key token cmd:%u\n", static_cast<unsigned>(s.ms));
        break;
      case ScriptStep::Kind::Settle:
        SettleWorkers();
        break;
      case ScriptStep::Kind::Quit:
        next_ = steps_.size();
        // Close the program's main window as a person would, so that its shut-down runs; the
        // quit message follows the close.
        if (HWND main = main_top_level_window()) PostMessage(main, WM_CLOSE, 0, 0);
        finish();
        break;
    }
  }

  std::vector<ScriptStep> steps_;
  size_t next_ = 0;
  std::string screenshot_;
  bool has_script_;
  bool finished_ = false;
  bool fullscreen_ = false;
};

}  // namespace

std::unique_ptr<Backend> make_headless_backend(const Options& opts, std::string* error) {
  std::vector<ScriptStep> steps;
  if (!parse_key_script(opts.keys, &steps, error)) return nullptr;
  // A run with a screenshot but no keys still ends: it shows the first screen and quits.
  bool has_script = opts.quit_after_script || !opts.keys.empty() || !opts.screenshot.empty();
  auto b = std::make_unique<HeadlessBackend>(std::move(steps), opts.screenshot, has_script);
  b->set_fullscreen(opts.fullscreen);
  return b;
}

}  // namespace lumora::plat
