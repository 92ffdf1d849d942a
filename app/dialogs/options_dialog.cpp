#include "app/dialogs/options_dialog.h"

#include <algorithm>

#include "app/dialogs/associations.h"
#include "app/dialogs/dialogs.h"
#include "app/dialogs/mime_defaults.h"
#include "app/shell/language.h"
#include "app/shell/resource.h"

namespace lumora::app {

namespace {

constexpr UINT kPageNames[] = {IDS_OPTGENERAL, IDS_OPTTHUMBNAIL, IDS_OPTSLIDESHOW, IDS_OPTASSOCIATIONS};
constexpr UINT kRotationNames[] = {IDS_NONE, IDS_AUTOLEFT, IDS_AUTORIGHT, IDS_LEFT, IDS_RIGHT};
constexpr const char* kResizeNames[] = {nullptr, "120x160", "240x320", "480x640", "720x960"};  // null: "None"

void fill_combo(HWND dialog, int id, const std::vector<std::string>& entries, uint32_t selected) {
  for (const std::string& e : entries)
    SendDlgItemMessage(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.c_str()));
  SendDlgItemMessage(dialog, id, CB_SETCURSEL, selected < entries.size() ? selected : 0, 0);
}

uint32_t combo_choice(HWND dialog, int id) {
  const LRESULT i = SendDlgItemMessage(dialog, id, CB_GETCURSEL, 0, 0);
  return i < 0 ? 0 : static_cast<uint32_t>(i);
}

std::string combo_text(HWND dialog, int id) {
  const LRESULT i = SendDlgItemMessage(dialog, id, CB_GETCURSEL, 0, 0);
  if (i < 0) return {};
  const LRESULT length = SendDlgItemMessage(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
  std::string text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
  SendDlgItemMessage(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::char_traits<char>::length(text.c_str()));
  return text;
}

void check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Stores value into field; true when that changed it.
template <class T>
bool update(T* field, T value) {
  if (*field == value) return false;
  *field = value;
  return true;
}

}  // namespace

// ---- The list of pages ---------------------------------------------------------------------------

LUMORA_BEGIN_MESSAGE_TABLE(CDlgOpt)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND(1, OnOpenPage)
  ON_COMMAND(ID_DIALOG_DONE, OnDone)
  ON_COMMAND(2, OnDone)
LUMORA_END_MESSAGE_TABLE()

CDlgOpt::~CDlgOpt() {
  if (list_font_) DeleteObject(list_font_);
}

LRESULT CDlgOpt::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_OPTIONS);
  list_.attach(hwnd_, IDC_OPTION_LIST);
  // The pages' names in bold 12-point Tahoma: a list of four is read at a glance.
  HDC dc = GetDC(hwnd_);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd_, dc);
  list_font_ = CreateFont(-MulDiv(12, dpi, 72), 0, 0, 0, 700, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, "Tahoma");
  SendMessage(list_, WM_SETFONT, reinterpret_cast<WPARAM>(list_font_), TRUE);
  RECT client;
  GetClientRect(list_, &client);
  list_.insert_column(0, "", client.right);
  list_.set_extended_style(LVS_EX_FULLROWSELECT);
  for (UINT id : kPageNames) list_.add_item(load_string(id));
  list_.select(0);
  SetFocus(list_);
  return FALSE;  // the focus is set
}

void CDlgOpt::OnOpenPage(UINT) {
  bool page_changed = false;
  switch (list_.selected()) {
    case 0: {
      CDlgGeneralOpt page(hwnd_, settings_);
      page.run();
      page_changed = page.changed();
      break;
    }
    case 1: {
      CDlgThumbOpt page(hwnd_, settings_);
      page.run();
      page_changed = page.changed();
      break;
    }
    case 2: {
      CDlgSlideOpt page(hwnd_, settings_);
      page.run();
      page_changed = page.changed();
      break;
    }
    case 3: {
      CDlgAssociationOpt page(hwnd_);
      page.run();
      break;
    }
    default:
      break;
  }
  changed_ = changed_ || page_changed;
  SetFocus(list_);
}

void CDlgOpt::OnDone(UINT) { end(); }

// ---- Pages of settings ---------------------------------------------------------------------------

LUMORA_BEGIN_MESSAGE_TABLE(CDlgSettingsPage)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND(1, OnDone)
  ON_COMMAND(2, OnCancel)
LUMORA_END_MESSAGE_TABLE()

LRESULT CDlgSettingsPage::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_DONE_CANCEL);
  load();
  return TRUE;
}

void CDlgSettingsPage::OnDone(UINT) {
  changed_ = store();
  end_dialog(1);
}

void CDlgSettingsPage::OnCancel(UINT) { end_dialog(2); }

void CDlgGeneralOpt::load() {
  std::vector<std::string> rotations, sizes;
  for (UINT id : kRotationNames) rotations.push_back(load_string(id));
  for (const char* s : kResizeNames) sizes.push_back(s ? s : load_string(IDS_NONE));
  fill_combo(hwnd_, IDC_ROTATION_LIST, rotations, settings_->rotate);
  fill_combo(hwnd_, IDC_RESIZE_LIST, sizes, settings_->resize_big_picture);
  check(hwnd_, IDC_CHECK_FIRST, settings_->no_bw_resize);
  check(hwnd_, IDC_CHECK_THIRD, settings_->exif_rotate);
  the_language().fill_language_list(hwnd_, IDC_LANGUAGE_LIST);
}

bool CDlgGeneralOpt::store() {
  bool changed = update(&settings_->rotate, combo_choice(hwnd_, IDC_ROTATION_LIST));
  changed |= update(&settings_->resize_big_picture, combo_choice(hwnd_, IDC_RESIZE_LIST));
  changed |= update(&settings_->no_bw_resize, checked(hwnd_, IDC_CHECK_FIRST));
  changed |= update(&settings_->exif_rotate, checked(hwnd_, IDC_CHECK_THIRD));
  language_changed_ = the_language().choose(combo_text(hwnd_, IDC_LANGUAGE_LIST));
  if (language_changed_) MessageBox(hwnd_, load_string(IDS_REBOOT), "", MB_OK | MB_ICONEXCLAMATION);
  return changed || language_changed_;
}

void CDlgThumbOpt::load() {
  check(hwnd_, IDC_CHECK_FIRST, settings_->use_embedded);
  check(hwnd_, IDC_CHECK_SECOND, settings_->high_quality);
  check(hwnd_, IDC_CHECK_THIRD, settings_->thumb_cache);
}

bool CDlgThumbOpt::store() {
  bool changed = update(&settings_->use_embedded, checked(hwnd_, IDC_CHECK_FIRST));
  changed |= update(&settings_->high_quality, checked(hwnd_, IDC_CHECK_SECOND));
  changed |= update(&settings_->thumb_cache, checked(hwnd_, IDC_CHECK_THIRD));
  return changed;
}

void CDlgSlideOpt::load() {
  // Range (upper 0, lower 120); the spinner keeps the value between the two either way round.
  SendDlgItemMessage(hwnd_, IDC_DELAY_SPIN, UDM_SETRANGE, 0, MAKELPARAM(0, kMaxSlideDelay));
  SendDlgItemMessage(hwnd_, IDC_DELAY_SPIN, UDM_SETPOS, 0, MAKELPARAM(std::min(settings_->delay, kMaxSlideDelay), 0));
  SetDlgItemInt(hwnd_, IDC_DELAY_EDIT, std::min(settings_->delay, kMaxSlideDelay), FALSE);
  check(hwnd_, IDC_CHECK_FIRST, settings_->use_transition);
}

bool CDlgSlideOpt::store() {
  // Typed digits may go beyond the spinner's range; the delay stays within it.
  const uint32_t delay = std::min<uint32_t>(GetDlgItemInt(hwnd_, IDC_DELAY_EDIT, nullptr, FALSE), kMaxSlideDelay);
  bool changed = update(&settings_->delay, delay);
  changed |= update(&settings_->use_transition, checked(hwnd_, IDC_CHECK_FIRST));
  return changed;
}

// ---- Associations --------------------------------------------------------------------------------

LUMORA_BEGIN_MESSAGE_TABLE(CDlgAssociationOpt)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND_RANGE(1, 2, OnClose)
  ON_COMMAND_RANGE(1034, 1043, OnCheck)
LUMORA_END_MESSAGE_TABLE()

LRESULT CDlgAssociationOpt::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_DONE_CANCEL);
  program_ = program_path();
  // Without the desktop entry a default application would name a file that is not there, so the
  // rows are not offered and the page says why.
  const bool installed = desktop_entry_installed(kDesktopId);
  ShowWindow(GetDlgItem(hwnd_, IDC_NO_DESKTOP_ENTRY), installed ? SW_HIDE : SW_SHOW);
  for (const AssociationRow& row : association_rows())
    ShowWindow(GetDlgItem(hwnd_, row.check_id), installed ? SW_SHOW : SW_HIDE);
  show_states();
  return TRUE;
}

void CDlgAssociationOpt::show_states() {
  for (const AssociationRow& row : association_rows()) check(hwnd_, row.check_id, row_associated(row));
}

void CDlgAssociationOpt::OnCheck(UINT id) {
  for (const AssociationRow& row : association_rows()) {
    if (row.check_id != static_cast<int>(id)) continue;
    associate_row(row, checked(hwnd_, row.check_id), program_);
    // What the registry and mimeapps.list now say, so a write that failed shows unchecked.
    check(hwnd_, row.check_id, row_associated(row));
  }
}

void CDlgAssociationOpt::OnClose(UINT) { end(); }

bool run_options(HWND owner, Settings* settings) {
  CDlgOpt dialog(owner, settings);
  dialog.run();
  return dialog.changed();
}

}  // namespace lumora::app
