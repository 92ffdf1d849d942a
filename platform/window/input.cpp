// Focus, keyboard routing and the Back key's hot-key path.
#include <array>

#include "platform/base/utf8.h"
#include "platform/system/system_impl.h"
#include "platform/window/window_impl.h"

namespace lumora::plat {

namespace {

// Keyboard state of the user-interface thread.
struct KeyState {
  HWND focus = nullptr;
  std::array<bool, 256> down{};
  bool back_down = false;
  bool back_held = false;
  uint64_t back_since = 0;
};

KeyState& keys() {
  static KeyState k;
  return k;
}

// The nearest window, from the key target up through parents and owners, that takes Back as a
// hot key.
HWND back_target() {
  for (HWND h = key_target(); h; h = GetParent(h)) {
    Window* w = win(h);
    if (w && w->back_override) return h;
  }
  return nullptr;
}

void post_back(UINT modifiers) {
  if (HWND t = back_target()) PostMessage(t, WM_HOTKEY, 0, MAKELPARAM(static_cast<int>(modifiers), static_cast<int>(VK_TBACK)));
}

}  // namespace

void reset_input_state() { keys() = KeyState{}; }

HWND GetFocus() {
  HWND f = keys().focus;
  return IsWindow(f) ? f : nullptr;
}

HWND SetFocus(HWND hwnd) {
  KeyState& k = keys();
  if (hwnd && (!IsWindow(hwnd) || !IsWindowEnabled(hwnd))) return nullptr;
  HWND old = GetFocus();
  if (old == hwnd) return old;
  k.focus = hwnd;
  if (old) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && k.focus == hwnd && IsWindow(hwnd)) SendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

void on_window_hidden_or_destroyed(HWND h) {
  HWND f = GetFocus();
  if (!f || (f != h && !IsChild(h, f))) return;
  // The keyboard moves to the nearest shown, enabled window up the chain.
  HWND next = GetParent(h);
  while (next && (!IsWindowVisible(next) || !IsWindowEnabled(next))) next = GetParent(next);
  SetFocus(next);
}

HWND key_target() {
  HWND f = GetFocus();
  if (f && IsWindowVisible(f) && IsWindowEnabled(f)) return f;
  HWND fg = GetForegroundWindow();
  return fg && IsWindowEnabled(fg) ? fg : nullptr;
}

BOOL SetBackKeyOverride(HWND hwnd, BOOL on) {
  Window* w = win(hwnd);
  if (!w) return FALSE;
  w->back_override = on != FALSE;
  return TRUE;
}

uint64_t back_hold_deadline() {
  KeyState& k = keys();
  return k.back_down && !k.back_held ? k.back_since + kBackHoldMs + 1 : 0;
}

void check_back_hold(uint64_t now) {
  KeyState& k = keys();
  if (k.back_down && !k.back_held && now - k.back_since > kBackHoldMs) {
    k.back_held = true;
    post_back(MOD_HOLD);
  }
}

namespace {
KeyFilter g_key_filter = nullptr;
}  // namespace

void SetKeyFilter(KeyFilter filter) { g_key_filter = filter; }

void InjectKey(UINT vk, bool down) {
  KeyState& k = keys();
  vk &= 0xFF;
  if (g_key_filter && g_key_filter(vk, down)) return;
  if (vk == VK_TBACK && back_target()) {
    if (down) {
      if (k.back_down) return;  // auto-repeat
      k.back_down = true;
      k.back_held = false;
      k.back_since = clock_now();
      post_back(0);
    } else {
      check_back_hold(clock_now());
      UINT mods = MOD_KEYUP | (k.back_held ? MOD_HOLD : 0);
      k.back_down = false;
      k.back_held = false;
      post_back(mods);
    }
    return;
  }
  if (vk == VK_TBACK && !down) k.back_down = false;
  HWND target = key_target();
  LPARAM lp = KF_REPEAT_COUNT_ONE;
  if (down && k.down[vk]) lp |= KF_PREVIOUS_DOWN;
  if (!down) lp |= KF_PREVIOUS_DOWN | KF_TRANSITION_UP;
  k.down[vk] = down;
  if (target) PostMessage(target, down ? WM_KEYDOWN : WM_KEYUP, vk, lp);
}

void InjectText(std::string_view utf8) {
  HWND target = key_target();
  if (!target) return;
  for (char32_t cp : utf8_decode(utf8)) PostMessage(target, WM_CHAR, cp, KF_REPEAT_COUNT_ONE);
}

}  // namespace lumora::plat
