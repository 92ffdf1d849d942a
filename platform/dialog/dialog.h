#pragma once
// Dialogs: templates in dialog units as C++ tables, modal runs with their own message loop, the
// keyboard handling of a phone dialog (Up/Down move the focus between controls, the action key
// is the default command 1, the focused control is always marked), full-screen sizing, and the
// message box.
#include <span>
#include <string>

#include "platform/controls/commctrl.h"
#include "platform/menu/menubar.h"

namespace lumora::plat {

using DLGPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);  // TRUE: handled

inline constexpr DWORD DS_SETFONT = 0x40, DS_MODALFRAME = 0x80, DS_CENTER = 0x800;

// One control of a template. Position and size are dialog units: x units are a quarter of the
// dialog font's average character width, y units an eighth of its height. Controls are created
// visible (hide them in WM_INITDIALOG when needed); WS_TABSTOP makes them take the focus.
struct DialogItemTemplate {
  const char* class_name = "";  // "BUTTON", "EDIT", "STATIC", "LISTBOX", "COMBOBOX", WC_LISTVIEW, ...
  const char* text = "";
  int id = 0;
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  DWORD ex_style = 0;
};

struct DialogTemplate {
  const char* title = "";
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  const char* font_face = "Tahoma";
  int font_points = 9;
  std::span<const DialogItemTemplate> items{};
};

// Templates by numeric id or by name, registered by the application's resource tables.
void RegisterDialogResource(UINT id, const DialogTemplate* t);
void RegisterDialogResource(std::string_view name, const DialogTemplate* t);
const DialogTemplate* FindDialogResource(UINT id);
const DialogTemplate* FindDialogResource(std::string_view name);

// Modal run: creates the dialog and its controls, sends WM_INITDIALOG (lParam = param), and runs
// until EndDialog. Returns the result given to EndDialog, -1 when the dialog could not be made.
LRESULT DialogBoxIndirectParam(HINSTANCE inst, const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param);
LRESULT DialogBoxParam(HINSTANCE inst, UINT id, HWND parent, DLGPROC proc, LPARAM param);
LRESULT DialogBoxParam(HINSTANCE inst, std::string_view name, HWND parent, DLGPROC proc, LPARAM param);
// Modeless: the dialog stays until destroyed; its keys need IsDialogMessage in the caller's loop.
HWND CreateDialogIndirectParam(HINSTANCE inst, const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dlg, LRESULT result);
// Handles the dialog keys of a message meant for the dialog or one of its controls.
BOOL IsDialogMessage(HWND dlg, MSG* msg);
// The answer of the dialog procedure for the message being handled (WM_NOTIFY results); the same
// as SetWindowLongPtr(dlg, DWLP_MSGRESULT, result) before returning TRUE.
void SetDlgMsgResult(HWND dlg, LRESULT result);

// Full-screen sizing (SHIDIF_SIZEDLGFULLSCREEN): the dialog covers the screen above its soft-key
// bar. The other flags are accepted.
struct SHINITDLGINFO {
  DWORD dwMask = 0;
  HWND hDlg = nullptr;
  DWORD dwFlags = 0;
};
inline constexpr DWORD SHIDIM_FLAGS = 0x0001;
inline constexpr DWORD SHIDIF_DONEBUTTON = 0x0001, SHIDIF_SIZEDLG = 0x0002, SHIDIF_SIZEDLGFULLSCREEN = 0x0004,
                       SHIDIF_SIPDOWN = 0x0008, SHIDIF_FULLSCREENNOMENUBAR = 0x0010, SHIDIF_EMPTYMENU = 0x0020;
BOOL SHInitDialog(SHINITDLGINFO* info);

// Control helpers.
LRESULT SendDlgItemMessage(HWND dlg, int id, UINT msg, WPARAM wp, LPARAM lp);
BOOL SetDlgItemText(HWND dlg, int id, std::string_view text);
std::string GetDlgItemText(HWND dlg, int id);
BOOL SetDlgItemInt(HWND dlg, int id, UINT value, BOOL is_signed);
UINT GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL is_signed);
BOOL CheckDlgButton(HWND dlg, int id, UINT check);
UINT IsDlgButtonChecked(HWND dlg, int id);
BOOL MapDialogRect(HWND dlg, RECT* r);  // dialog units to pixels
// The next (or previous) control that takes the focus, wrapping round.
HWND GetNextDlgTabItem(HWND dlg, HWND from, BOOL previous);

// Message box: full screen with an icon drawn by the platform, the text, and soft keys "OK"
// (left) and, with MB_OKCANCEL, "Cancel" (right); MB_YESNO gives "Yes" and "No". The action key
// answers IDOK (IDYES); Back answers IDCANCEL (IDNO; IDOK for a plain MB_OK box).
inline constexpr UINT MB_ICONINFORMATION = 0x0040;
int MessageBox(HWND owner, std::string_view text, std::string_view caption, UINT type);

}  // namespace lumora::plat
