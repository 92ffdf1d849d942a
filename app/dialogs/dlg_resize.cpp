#include "app/dialogs/dlg_resize.h"

#include <cstdio>

#include "app/shell/resource.h"

namespace lumora::app {

namespace {

// The usual screen sizes, landscape; a portrait picture is fitted by its height.
constexpr const char* kPredefinedSizes[] = {"", "160x120", "240x180", "320x240", "640x480", "800x600", "1024x768"};

void spin_range(HWND dlg, int spin, int low, int high) {
  // Handed over upside down, as the phone's spinners want it: Right steps up.
  SendDlgItemMessage(dlg, spin, UDM_SETRANGE, 0, MAKELPARAM(low, high));
}

}  // namespace

CDlgResize::CDlgResize(HWND parent, int* width, int* height)
    : CDlgEx(parent, "DlgResize"), width_(width), height_(height), W_(*width), H_(*height) {}

LUMORA_BEGIN_MESSAGE_TABLE(CDlgResize)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND_CODE(EN_UPDATE, CDlgResize::kPercent, OnPercentChanged)
  ON_COMMAND_CODE(EN_UPDATE, CDlgResize::kWidth, OnWidthChanged)
  ON_COMMAND_CODE(EN_UPDATE, CDlgResize::kHeight, OnHeightChanged)
  ON_COMMAND_CODE(CBN_SELCHANGE, CDlgResize::kPredefined, OnPredefined)
  ON_COMMAND(IDOK, OnDone)
  ON_COMMAND(IDCANCEL, OnCancel)
LUMORA_END_MESSAGE_TABLE()

LRESULT CDlgResize::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_DONE_CANCEL);
  updating_ = true;
  spin_range(hwnd_, kPercentSpin, 5, 800);
  spin_range(hwnd_, kWidthSpin, 5, 2048);
  spin_range(hwnd_, kHeightSpin, 5, 2048);
  SetDlgItemInt(hwnd_, kPercent, 100, FALSE);
  SetDlgItemInt(hwnd_, kWidth, static_cast<UINT>(W_), FALSE);
  SetDlgItemInt(hwnd_, kHeight, static_cast<UINT>(H_), FALSE);
  for (const char* size : kPredefinedSizes)
    SendDlgItemMessage(hwnd_, kPredefined, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(size));
  SendDlgItemMessage(hwnd_, kPredefined, CB_SETCURSEL, 0, 0);
  updating_ = false;
  // The percentage selected, so that typing replaces it.
  HWND percent = GetDlgItem(hwnd_, kPercent);
  SetFocus(percent);
  SendMessage(percent, EM_SETSEL, 0, -1);
  return FALSE;  // the focus is set
}

void CDlgResize::set_value(int id, long long value) {
  const bool was = updating_;
  updating_ = true;
  SetDlgItemText(hwnd_, id, std::to_string(value));
  updating_ = was;
}

void CDlgResize::changed_by_user() {
  if (!from_list_) SendDlgItemMessage(hwnd_, kPredefined, CB_SETCURSEL, 0, 0);
}

void CDlgResize::OnPercentChanged(UINT) {
  BOOL ok = FALSE;
  const long long p = GetDlgItemInt(hwnd_, kPercent, &ok, FALSE);
  if (updating_ || !ok) return;
  // Rounded up, so that no side becomes 0.
  set_value(kWidth, (W_ * p + 99) / 100);
  set_value(kHeight, (H_ * p + 99) / 100);
  changed_by_user();
}

void CDlgResize::OnWidthChanged(UINT) {
  BOOL ok = FALSE;
  const long long w = GetDlgItemInt(hwnd_, kWidth, &ok, FALSE);
  if (updating_ || !ok || W_ <= 0) return;
  set_value(kPercent, w * 100 / W_);
  set_value(kHeight, H_ * w / W_);
  changed_by_user();
}

void CDlgResize::OnHeightChanged(UINT) {
  BOOL ok = FALSE;
  const long long h = GetDlgItemInt(hwnd_, kHeight, &ok, FALSE);
  if (updating_ || !ok || H_ <= 0) return;
  set_value(kPercent, h * 100 / H_);
  set_value(kWidth, W_ * h / H_);
  changed_by_user();
}

void CDlgResize::OnPredefined(UINT) {
  const LRESULT sel = SendDlgItemMessage(hwnd_, kPredefined, CB_GETCURSEL, 0, 0);
  if (updating_ || sel <= 0) return;
  const auto index = static_cast<size_t>(sel);
  int a = 0, b = 0;
  if (index >= std::size(kPredefinedSizes) || std::sscanf(kPredefinedSizes[index], "%dx%d", &a, &b) != 2) return;
  // The picture goes into the named box turned to its own orientation; the edit's change
  // notification does the rest.
  from_list_ = true;
  if (W_ > H_) SetDlgItemInt(hwnd_, kWidth, static_cast<UINT>(a), FALSE);
  else SetDlgItemInt(hwnd_, kHeight, static_cast<UINT>(b), FALSE);
  from_list_ = false;
}

void CDlgResize::OnDone(UINT) {
  BOOL ok_w = FALSE, ok_h = FALSE;
  const UINT w = GetDlgItemInt(hwnd_, kWidth, &ok_w, FALSE);
  const UINT h = GetDlgItemInt(hwnd_, kHeight, &ok_h, FALSE);
  // An emptied or zero edit is no size: the dialog stays, with the focus on it.
  if (!ok_w || w == 0 || w > 0x7FFFFFFF) {
    SetFocus(GetDlgItem(hwnd_, kWidth));
    return;
  }
  if (!ok_h || h == 0 || h > 0x7FFFFFFF) {
    SetFocus(GetDlgItem(hwnd_, kHeight));
    return;
  }
  *width_ = static_cast<int>(w);
  *height_ = static_cast<int>(h);
  end_dialog(1);
}

void CDlgResize::OnCancel(UINT) { end_dialog(0); }

}  // namespace lumora::app
