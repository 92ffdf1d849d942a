// Default processing of window messages.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/window/window_impl.h"

namespace lumora::plat {

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* w = win(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH b = w->cls->wc.hbrBackground;
      if (!b) return 0;
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, b);
      return 1;
    }
    case WM_SETREDRAW:
      // Redrawing off hides the window from the paint cycle without exposing what is below;
      // turning it on again does not repaint by itself (the caller redraws when ready).
      if (wp) w->style |= WS_VISIBLE;
      else w->style &= ~WS_VISIBLE, w->update.clear();
      return 0;
    case WM_SETTEXT:
      w->title = lp ? reinterpret_cast<const char*>(lp) : "";
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->title.size());
    case WM_GETTEXT: {
      if (!lp || wp == 0) return 0;
      size_t n = std::min<size_t>(w->title.size(), wp - 1);
      std::memcpy(reinterpret_cast<char*>(lp), w->title.data(), n);
      reinterpret_cast<char*>(lp)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    default:
      return 0;
  }
}

}  // namespace lumora::plat
