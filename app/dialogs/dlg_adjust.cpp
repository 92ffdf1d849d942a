#include "app/dialogs/dlg_adjust.h"

#include <algorithm>
#include <cstdio>

#include "app/shell/resource.h"

namespace lumora::app {

namespace {

struct PageSetup {
  UINT command;
  int low, high, page_size;
};
// Brightness and contrast in the tone table's steps; gamma from 1.0 to 5.0 in tenths.
constexpr PageSetup kPages[] = {
    {ID_ADJUST_BRIGHTNESS, -128, 128, 20},
    {ID_ADJUST_CONTRAST, -128, 128, 20},
    {ID_ADJUST_GAMMA, 10, 50, 4},
};

}  // namespace

CDlgAdjust::CDlgAdjust(HWND parent, ToneTarget* target) : CDlgEx(parent, "DlgAdjust"), target_(target) {
  set_full_screen(false);
}

LUMORA_BEGIN_MESSAGE_TABLE(CDlgAdjust)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND_RANGE(ID_ADJUST_BRIGHTNESS, ID_ADJUST_GAMMA, OnPage)
  ON_COMMAND(ID_ADJUST_RESET, OnReset)
  ON_COMMAND(ID_ADJUST_CANCEL, OnCancel)
  ON_COMMAND(IDOK, OnDone)
  ON_COMMAND(IDCANCEL, OnCancel)
  ON_HSCROLL(OnHScroll)
LUMORA_END_MESSAGE_TABLE()

LRESULT CDlgAdjust::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_ADJUST);
  // A strip across the bottom of the viewer, so that most of the picture stays in sight.
  RECT own, area;
  GetWindowRect(hwnd_, &own);
  GetClientRect(parent_, &area);
  POINT origin{0, 0};
  ClientToScreen(parent_, &origin);
  const int height = RectHeight(own);
  MoveWindow(hwnd_, origin.x, origin.y + area.bottom - height, area.right, height, TRUE);
  // The value keeps its width from the template; the trackbar takes the rest of the strip.
  RECT value, track;
  HWND value_edit = GetDlgItem(hwnd_, kValue), trackbar = GetDlgItem(hwnd_, kTrack);
  GetWindowRect(value_edit, &value);
  GetWindowRect(trackbar, &track);
  const int gap = track.left - value.right, margin = value.left - own.left;
  const int track_left = margin + RectWidth(value) + gap;
  POINT top{track.left, track.top};
  ScreenToClient(hwnd_, &top);
  MoveWindow(trackbar, track_left, top.y, std::max(1, area.right - track_left - margin), RectHeight(track), TRUE);
  show_page(kBrightness);
  SetFocus(GetDlgItem(hwnd_, kTrack));
  return FALSE;
}

void CDlgAdjust::show_page(Page page) {
  page_ = page;
  const PageSetup& p = kPages[page];
  HWND track = GetDlgItem(hwnd_, kTrack);
  SendMessage(track, TBM_SETRANGE, TRUE, MAKELPARAM(p.low, p.high));
  SendMessage(track, TBM_SETPAGESIZE, 0, p.page_size);
  const int pos = page == kBrightness ? brightness_ : page == kContrast ? contrast_ : gamma_;
  SendMessage(track, TBM_SETPOS, TRUE, pos);
  if (menu_) CheckMenuRadioItem(menu_, ID_ADJUST_BRIGHTNESS, ID_ADJUST_GAMMA, p.command, MF_BYCOMMAND);
  show_value();
}

void CDlgAdjust::show_value() {
  char text[32];
  if (page_ == kGamma) std::snprintf(text, sizeof text, "%.3f", gamma_ / 10.0);
  else std::snprintf(text, sizeof text, "%d", page_ == kBrightness ? brightness_ : contrast_);
  SetDlgItemText(hwnd_, kValue, text);
}

void CDlgAdjust::OnPage(UINT id) { show_page(static_cast<Page>(id - ID_ADJUST_BRIGHTNESS)); }

void CDlgAdjust::OnHScroll(int, int, HWND bar) {
  if (bar != GetDlgItem(hwnd_, kTrack)) return;
  // The trackbar's own position: its scroll messages do not carry one.
  const int pos = static_cast<int>(SendMessage(bar, TBM_GETPOS, 0, 0));
  int& value = page_ == kBrightness ? brightness_ : page_ == kContrast ? contrast_ : gamma_;
  if (value == pos) return;
  value = pos;
  show_value();
  if (target_) target_->preview_tone(brightness_, contrast_, gamma_);
}

void CDlgAdjust::OnReset(UINT) {
  brightness_ = contrast_ = 0;
  gamma_ = 10;
  show_page(page_);
  if (target_) target_->preview_tone(brightness_, contrast_, gamma_);
}

void CDlgAdjust::OnDone(UINT) {
  if (target_) target_->apply_tone(brightness_, contrast_, gamma_);
  end_dialog(1);
}

void CDlgAdjust::end() {
  if (target_) target_->preview_tone(0, 0, 10);
  end_dialog(0);
}

void CDlgAdjust::OnCancel(UINT) { end(); }

}  // namespace lumora::app
