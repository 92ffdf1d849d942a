// Full-screen requests of the application, passed to the backend.
#include "platform/backend/backend.h"
#include "platform/shell/shell.h"
#include "platform/system/system_impl.h"
#include "platform/window/window.h"

namespace lumora::plat {

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  if (!IsWindow(hwnd)) return FALSE;
  Backend* be = backend();
  if (!be) return FALSE;
  if (state & SHFS_HIDETASKBAR) return be->set_fullscreen(true) ? TRUE : FALSE;
  if (state & SHFS_SHOWTASKBAR) return be->set_fullscreen(GetOptions().fullscreen) ? TRUE : FALSE;
  return TRUE;  // only input-panel or start-icon flags: nothing to change
}

bool IsFullScreen() {
  Backend* be = backend();
  return be && be->fullscreen();
}

}  // namespace lumora::plat
