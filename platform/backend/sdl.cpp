// The SDL2 backend: a window (or the full screen) showing the framebuffer scaled by a whole
// factor, the keyboard and game controllers, and the real clock.
//
// The screen is drawn in software, so it reaches the window through SDL's window surface (shared
// memory images on X11) rather than a renderer: a renderer would load the system's OpenGL stack
// (Mesa with LLVM under Xvfb or on a machine without a GPU driver, some 100 MB) only to copy one
// picture.
#include "platform/backend/backend.h"

#ifdef LUMORA_HAVE_SDL2

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <map>

#include "platform/backend/keymap.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/window/window.h"

namespace lumora::plat {

namespace {

HostKey host_key(const SDL_Keysym& k) {
  const bool shift = (k.mod & KMOD_SHIFT) != 0;
  switch (k.sym) {
    case SDLK_UP: return HostKey::Up;
    case SDLK_DOWN: return HostKey::Down;
    case SDLK_LEFT: return HostKey::Left;
    case SDLK_RIGHT: return HostKey::Right;
    case SDLK_RETURN: return HostKey::Enter;
    case SDLK_KP_ENTER: return HostKey::KeypadEnter;
    case SDLK_F1: return HostKey::F1;
    case SDLK_F2: return HostKey::F2;
    case SDLK_BACKSPACE: return HostKey::Backspace;
    case SDLK_ESCAPE: return HostKey::Escape;
    case SDLK_ASTERISK:
    case SDLK_KP_MULTIPLY: return HostKey::Star;
    case SDLK_HASH: return HostKey::Hash;
    case SDLK_8: return shift ? HostKey::Star : HostKey::Digit8;  // '*' on common layouts
    case SDLK_3: return shift ? HostKey::Hash : HostKey::Digit3;  // '#' on common layouts
    default: break;
  }
  if (k.sym >= SDLK_0 && k.sym <= SDLK_9) return static_cast<HostKey>(static_cast<int>(HostKey::Digit0) + (k.sym - SDLK_0));
  if (k.sym >= SDLK_KP_1 && k.sym <= SDLK_KP_9)
    return static_cast<HostKey>(static_cast<int>(HostKey::Digit1) + (k.sym - SDLK_KP_1));
  if (k.sym == SDLK_KP_0) return HostKey::Digit0;
  return HostKey::Other;
}

PadButton pad_button(Uint8 b) {
  switch (b) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return PadButton::DpadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return PadButton::DpadDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return PadButton::DpadLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return PadButton::DpadRight;
    case SDL_CONTROLLER_BUTTON_A: return PadButton::A;
    case SDL_CONTROLLER_BUTTON_B: return PadButton::B;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return PadButton::LeftShoulder;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return PadButton::RightShoulder;
    default: return PadButton::Other;
  }
}

class SdlBackend : public Backend {
 public:
  ~SdlBackend() override {
    for (auto& [id, pad] : pads_) SDL_GameControllerClose(pad);
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER);
  }

  bool start(const Options& o, std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return fail(error, "cannot start SDL video");
    // Controllers are optional; a machine without the subsystem still runs.
    pads_ok_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    // With --scale the screen keeps its size and is shown enlarged by that factor. Otherwise the
    // window opens at the screen size times the largest whole factor that leaves room for the
    // desktop's panels, and the screen is the window's size in pixels: a photo is seen at the
    // monitor's resolution, and resizing or maximising the window resizes the screen. The dpi
    // grows with the factor (unless given), so texts and thumbnails keep their size on screen.
    follow_ = o.scale <= 0;
    int scale = o.scale;
    if (scale <= 0) {
      scale = 1;
      SDL_DisplayMode dm;
      if (SDL_GetDesktopDisplayMode(0, &dm) == 0 && dm.w > 0 && dm.h > 0) {
        int s = std::min(dm.w * 9 / 10 / o.screen_width, dm.h * 8 / 10 / o.screen_height);
        scale = std::max(1, s);
      }
    }
    Uint32 flags = SDL_WINDOW_SHOWN | (o.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (follow_) flags |= SDL_WINDOW_RESIZABLE;
    window_ = SDL_CreateWindow("Lumora", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, o.screen_width * scale,
                               o.screen_height * scale, flags);
    if (!window_) return fail(error, "cannot open the SDL window");
    // On X11 SDL would otherwise back the window surface with an OpenGL texture. Other drivers
    // (Wayland, KMS) have only that path. A user's SDL_FRAMEBUFFER_ACCELERATION still decides.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && SDL_strcmp(driver, "x11") == 0) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (!SDL_GetWindowSurface(window_)) return fail(error, "cannot draw into the SDL window");
    screen_w_ = o.screen_width;
    screen_h_ = o.screen_height;
    dpi_ = o.dpi;
    if (follow_) {
      int w = 0, h = 0;
      SDL_GetWindowSizeInPixels(window_, &w, &h);
      if (w >= 16 && h >= 16) {
        screen_w_ = std::min(w, 8192);
        screen_h_ = std::min(h, 8192);
      }
      if (!o.dpi_given) dpi_ = std::clamp(o.dpi * scale, 48, 600);
    }
    return true;
  }

  bool initial_screen(int* width, int* height, int* dpi) override {
    if (!follow_) return false;
    *width = screen_w_;
    *height = screen_h_;
    *dpi = dpi_;
    return true;
  }

  const char* name() const override { return "sdl"; }

  // Copies the screen into the window: 1:1 when the sizes agree (the window follows the screen),
  // else enlarged by the largest whole factor that fits, or shrunk to fit, centred on black.
  void present(const Surface& screen) override {
    SDL_Surface* window = SDL_GetWindowSurface(window_);
    if (!window || !screen.valid()) return;
    // The framebuffer is 0x00RRGGBB pixels, rows top-down: SDL's RGB888.
    const int w = screen.width, h = screen.height;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(screen.row0, w, h, 32, static_cast<int>(screen.pitch),
                                                             SDL_PIXELFORMAT_RGB888);
    if (!source) return;
    if (window->w == w && window->h == h) {
      SDL_BlitSurface(source, nullptr, window, nullptr);
    } else {
      SDL_Rect to;
      const int factor = std::min(window->w / w, window->h / h);
      if (factor >= 1) {
        to.w = w * factor;
        to.h = h * factor;
      } else if (static_cast<int64_t>(window->w) * h <= static_cast<int64_t>(window->h) * w) {
        to.w = window->w;
        to.h = std::max(1, static_cast<int>(static_cast<int64_t>(h) * window->w / w));
      } else {
        to.h = window->h;
        to.w = std::max(1, static_cast<int>(static_cast<int64_t>(w) * window->h / h));
      }
      to.x = (window->w - to.w) / 2;
      to.y = (window->h - to.h) / 2;
      SDL_FillRect(window, nullptr, SDL_MapRGB(window->format, 0, 0, 0));
      SDL_BlitScaled(source, nullptr, window, &to);
    }
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window_);
  }

  int poll_interval_ms() const override { return 10; }

  bool set_fullscreen(bool on) override {
    if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
    mark_screen_dirty();
    return true;
  }
  bool fullscreen() const override { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0; }
  void raise() override { SDL_RaiseWindow(window_); }

  bool pump_input() override {
    bool any = false;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      any = true;
      handle(e);
    }
    return any;
  }

 private:
  static bool fail(std::string* error, const char* what) {
    if (error) *error = std::string(what) + ": " + SDL_GetError();
    return false;
  }

  void key(UINT vk, bool down) {
    if (vk) InjectKey(vk, down);
  }

  void stick(int axis, int value) {
    // Axis 0 is left-right, axis 1 up-down; each has two directions.
    int base = axis * 2;
    bool neg = stick_pressed(stick_[base], -value);
    bool pos = stick_pressed(stick_[base + 1], value);
    UINT neg_vk = axis == 0 ? VK_TLEFT : VK_TUP;
    UINT pos_vk = axis == 0 ? VK_TRIGHT : VK_TDOWN;
    if (neg != stick_[base]) key(neg_vk, neg);
    if (pos != stick_[base + 1]) key(pos_vk, pos);
    stick_[base] = neg;
    stick_[base + 1] = pos;
  }

  void handle(const SDL_Event& e) {
    switch (e.type) {
      case SDL_QUIT: {
        // Closing the host window closes the program's first top-level window.
        HWND first = GetWindow(GetForegroundWindow(), GW_HWNDLAST);
        if (first) PostMessage(first, WM_CLOSE, 0, 0);
        else PostQuitMessage(0);
        break;
      }
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        UINT vk = phone_key_for(host_key(e.key.keysym));
        key(vk, e.type == SDL_KEYDOWN);
        break;
      }
      case SDL_CONTROLLERDEVICEADDED:
        if (pads_ok_) {
          if (SDL_GameController* pad = SDL_GameControllerOpen(e.cdevice.which))
            pads_[SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad))] = pad;
        }
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
        if (auto it = pads_.find(e.cdevice.which); it != pads_.end()) {
          SDL_GameControllerClose(it->second);
          pads_.erase(it);
        }
        break;
      case SDL_CONTROLLERBUTTONDOWN:
      case SDL_CONTROLLERBUTTONUP:
        key(phone_key_for(pad_button(e.cbutton.button)), e.type == SDL_CONTROLLERBUTTONDOWN);
        break;
      case SDL_CONTROLLERAXISMOTION:
        if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) stick(0, e.caxis.value);
        if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) stick(1, e.caxis.value);
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) mark_screen_dirty();
        if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && follow_) {
          int w = 0, h = 0;
          SDL_GetWindowSizeInPixels(window_, &w, &h);
          if (w >= 16 && h >= 16) ResizeScreen(w, h);
          mark_screen_dirty();
        }
        break;
      default:
        break;
    }
  }

  SDL_Window* window_ = nullptr;
  bool follow_ = false;  // the screen is the window's size in pixels
  int screen_w_ = 0, screen_h_ = 0, dpi_ = 96;
  bool pads_ok_ = false;
  std::map<SDL_JoystickID, SDL_GameController*> pads_;
  bool stick_[4] = {};
};

}  // namespace

std::unique_ptr<Backend> make_sdl_backend(const Options& opts, std::string* error) {
  auto b = std::make_unique<SdlBackend>();
  if (!b->start(opts, error)) return nullptr;
  return b;
}

}  // namespace lumora::plat

#else

namespace lumora::plat {

std::unique_ptr<Backend> make_sdl_backend(const Options&, std::string* error) {
  if (error) *error = "this build has no SDL2 support; run with --headless";
  return nullptr;
}

}  // namespace lumora::plat

#endif
