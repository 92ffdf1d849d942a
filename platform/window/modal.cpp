// Nested modal loops for dialogs and message boxes.
#include <algorithm>

#include "platform/window/window_impl.h"

namespace lumora::plat {

int RunModalLoop(HWND hwnd, HWND owner) {
  if (!IsWindow(hwnd)) return -1;
  auto q = this_queue();
  HWND previous_focus = GetFocus();
  bool owner_was_enabled = owner && IsWindowEnabled(owner);
  if (owner_was_enabled) EnableWindow(owner, FALSE);
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);

  ModalState state{hwnd};
  q->modal.push_back(&state);
  bool quit = false;
  int quit_code = 0;
  MSG m;
  while (!state.ended && IsWindow(hwnd)) {
    if (!GetMessage(&m, nullptr, 0, 0)) {
      quit = true;
      quit_code = static_cast<int>(m.wParam);
      break;
    }
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  q->modal.erase(std::remove(q->modal.begin(), q->modal.end(), &state), q->modal.end());

  if (owner_was_enabled && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(hwnd)) ShowWindow(hwnd, SW_HIDE);
  if (previous_focus && IsWindow(previous_focus) && IsWindowVisible(previous_focus)) SetFocus(previous_focus);
  else if (owner && IsWindow(owner)) SetForegroundWindow(owner);
  // The outer loop must see the quit request too.
  if (quit) PostQuitMessage(quit_code);
  return state.ended ? state.result : (quit ? quit_code : -1);
}

BOOL EndModalLoop(HWND hwnd, int result) {
  auto q = this_queue();
  for (ModalState* s : q->modal) {
    if (s->hwnd == hwnd && !s->ended) {
      s->ended = true;
      s->result = result;
      q->cv.notify_all();
      return TRUE;
    }
  }
  return FALSE;
}

BOOL IsInModalLoop(HWND hwnd) {
  auto q = this_queue();
  for (ModalState* s : q->modal)
    if (s->hwnd == hwnd && !s->ended) return TRUE;
  return FALSE;
}

}  // namespace lumora::plat
