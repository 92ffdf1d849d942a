#pragma once
// State of a dialog window. Internal to the dialog code.
#include <vector>

#include "platform/dialog/dialog.h"

namespace lumora::plat::dlg {

struct DialogState {
  DLGPROC proc = nullptr;
  HFONT font = nullptr;  // owned
  int base_x = 6, base_y = 13;  // pixels per 4 x units and per 8 y units
  int title_h = 0;
  double stretch = 1.0;  // horizontal stretch of the template in full-screen sizing
  int template_w = 1;    // width of the template in pixels, unstretched
  int scroll_y = 0;
  HWND title_band = nullptr;  // child over the scrolled controls
  bool msg_result_set = false;
  bool ended = false;
  LRESULT result = 0;
  struct Placed {
    HWND hwnd;
    RECT units;  // template rectangle in dialog units
  };
  std::vector<Placed> controls;
};

DialogState* state_of(HWND dlg);
// Places every control from its template rectangle, the stretch and the scroll offset.
void layout_controls(HWND dlg, DialogState& s);
// Scrolls the controls so that the given one is inside the client area.
void scroll_into_view(HWND dlg, HWND ctrl);

}  // namespace lumora::plat::dlg
