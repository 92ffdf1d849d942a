#pragma once
// A backend presents the framebuffer and delivers input to the user-interface thread.
#include <memory>
#include <string>

#include "platform/gdi/surface.h"
#include "platform/system/system.h"

namespace lumora::plat {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* name() const = 0;
  virtual void present(const Surface& screen) = 0;
  // Called on the user-interface thread when its queue is empty. Returns true when it delivered
  // something (input, a script token), so the queue is looked at again.
  virtual bool pump_input() = 0;
  // Longest real-time wait before pump_input is called again; -1 = only when woken by a message.
  virtual int poll_interval_ms() const = 0;
  // True while a key script drives the run (the virtual clock then moves only with the script).
  virtual bool scripted() const { return false; }
  // Shows the framebuffer over the whole host display (the slideshow) or in its window again.
  // False when the backend cannot.
  virtual bool set_fullscreen(bool on) {
    (void)on;
    return false;
  }
  virtual bool fullscreen() const { return false; }
  // The screen a backend whose screen follows its window starts with (pixels, dpi); false to
  // keep the options' size.
  virtual bool initial_screen(int* width, int* height, int* dpi) {
    (void)width, (void)height, (void)dpi;
    return false;
  }
  // Raises the host window above the desktop's other windows (a later start brings us forward).
  virtual void raise() {}
};

std::unique_ptr<Backend> make_headless_backend(const Options& opts, std::string* error);
// Null with a message when SDL is not compiled in or cannot start.
std::unique_ptr<Backend> make_sdl_backend(const Options& opts, std::string* error);

}  // namespace lumora::plat
