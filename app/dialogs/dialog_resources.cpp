// The templates of the edit dialogs, the folder chooser and the About box, in dialog units, with
// the language keys of their controls. Labels sit above wide fields and beside short ones, so that
// the German texts fit a 240-pixel screen.
#include "app/dialogs/dialogs.h"
#include "app/dialogs/program_icon.h"
#include "app/shell/language.h"
#include "app/shell/resource.h"

namespace lumora::app {

namespace {

constexpr DWORD TAB = WS_TABSTOP;
constexpr DWORD SPIN = UDS_AUTOBUDDY | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_HORZ;

// ---- Choose folder (108) ----
constexpr DialogItemTemplate kBrowseItems[] = {
    {"STATIC", "", 1008, SS_NOPREFIX, 4, 2, 132, 10},
    {WC_TREEVIEW, "", 1009, TAB | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 2, 14, 136, 130},
};
constexpr DialogTemplate kBrowse = {"Choose folder", 0, 0, 0, 140, 146, "Tahoma", 9, kBrowseItems};

// ---- About (109) ----
constexpr DialogItemTemplate kAboutItems[] = {
    {kProgramIconClass, "", 1015, 0, 50, 4, 40, 30},
    {"STATIC", "Lumora", 1012, SS_CENTER | SS_NOPREFIX, 4, 38, 132, 10},
    {"STATIC", "The Lumora developers", 1013, SS_CENTER | SS_NOPREFIX, 4, 50, 132, 10},
    {"STATIC", "User guide", 1010, SS_CENTER | SS_NOTIFY | SS_NOPREFIX | TAB, 20, 68, 100, 11},
    {"STATIC", "Licence and notices", 1011, SS_CENTER | SS_NOTIFY | SS_NOPREFIX | TAB, 20, 82, 100, 11},
};
constexpr DialogTemplate kAbout = {"About", 0, 0, 0, 140, 113, "Tahoma", 9, kAboutItems};
constexpr ControlKey kAboutKeys[] = {{1013, "IDC_TAUTHOR"}, {1010, "IDC_USERGUIDE"}, {1011, "IDC_NOTICES"}};

// ---- Resize (110) ----
constexpr DialogItemTemplate kResizeItems[] = {
    {"STATIC", "Size (%)", 1048, 0, 4, 4, 58, 8},
    {"EDIT", "", 1017, TAB | ES_NUMBER, 64, 2, 56, 12},
    {UPDOWN_CLASS, "", 1019, SPIN | UDS_SETBUDDYINT, 0, 0, 0, 0},
    {"STATIC", "Width", 1049, 0, 4, 19, 58, 8},
    {"EDIT", "", 1020, TAB | ES_NUMBER, 64, 17, 56, 12},
    {UPDOWN_CLASS, "", 1021, SPIN | UDS_SETBUDDYINT, 0, 0, 0, 0},
    {"STATIC", "Height", 1050, 0, 4, 34, 58, 8},
    {"EDIT", "", 1022, TAB | ES_NUMBER, 64, 32, 56, 12},
    {UPDOWN_CLASS, "", 1023, SPIN | UDS_SETBUDDYINT, 0, 0, 0, 0},
    {"STATIC", "Predefined size", 1051, 0, 4, 50, 132, 8},
    {"COMBOBOX", "", 1024, TAB | CBS_DROPDOWNLIST, 4, 60, 116, 80},
};
constexpr DialogTemplate kResize = {"Resize", 0, 0, 0, 140, 80, "Tahoma", 9, kResizeItems};
constexpr ControlKey kResizeKeys[] = {
    {1048, "IDC_TIMAGESIZE"}, {1049, "IDC_TIMAGEWIDTH"}, {1050, "IDC_TIMAGEHEIGHT"}, {1051, "IDC_TDEFINEDSIZE"}};

// ---- Save as (111) ----
constexpr DialogItemTemplate kSaveasItems[] = {
    {"STATIC", "Folder", 1045, 0, 4, 2, 132, 8},
    {"EDIT", "", 1008, TAB | ES_READONLY | ES_AUTOHSCROLL, 4, 11, 132, 12},
    {UPDOWN_CLASS, "", 1024, SPIN, 0, 0, 0, 0},
    {"STATIC", "File name", 1046, 0, 4, 26, 132, 8},
    {"EDIT", "", 1003, TAB | ES_AUTOHSCROLL, 4, 35, 132, 12},
    {"STATIC", "Format", 1052, 0, 4, 50, 132, 8},
    {"COMBOBOX", "", 1021, TAB | CBS_DROPDOWNLIST, 4, 59, 132, 60},
    {"STATIC", "Quality", 1053, 0, 4, 76, 44, 8},
    {"EDIT", "", 1027, TAB | ES_NUMBER, 50, 74, 44, 12},
    {UPDOWN_CLASS, "", 1028, SPIN | UDS_SETBUDDYINT, 0, 0, 0, 0},
    {"BUTTON", "Save EXIF data", 1034, TAB | BS_AUTOCHECKBOX, 4, 89, 132, 12},
    {"STATIC", "Colors", 1054, 0, 4, 106, 44, 8},
    {"COMBOBOX", "", 1026, TAB | CBS_DROPDOWNLIST, 50, 104, 86, 60},
};
constexpr DialogTemplate kSaveas = {"Save as", 0, 0, 0, 140, 120, "Tahoma", 9, kSaveasItems};
constexpr ControlKey kSaveasKeys[] = {{1045, "IDC_TPATHNAME"}, {1046, "IDC_TFILENAME"}, {1052, "IDC_TFORMAT"},
                                      {1053, "IDC_TQUALITY"},  {1034, "IDC_SAVEEXIF"},  {1054, "IDC_TCOLOR"}};

// ---- Rename (112) ----
constexpr DialogItemTemplate kRenameItems[] = {
    {"STATIC", "Folder", 1045, 0, 4, 2, 132, 8},
    {"EDIT", "", 1008, ES_READONLY | ES_AUTOHSCROLL, 4, 11, 132, 12},
    {"STATIC", "File name", 1046, 0, 4, 26, 132, 8},
    {"EDIT", "", 1003, TAB | ES_AUTOHSCROLL, 4, 35, 132, 12},
    {"STATIC", "Extension", 1047, 0, 4, 50, 132, 8},
    {"EDIT", "", 1036, TAB | ES_AUTOHSCROLL, 4, 59, 60, 12},
};
constexpr DialogTemplate kRename = {"Rename", 0, 0, 0, 140, 74, "Tahoma", 9, kRenameItems};
constexpr ControlKey kRenameKeys[] = {{1045, "IDC_TPATHNAME"}, {1046, "IDC_TFILENAME"}, {1047, "IDC_TEXTENSION"}};

// ---- Adjust (118): a strip, not a full-screen dialog ----
constexpr DialogItemTemplate kAdjustItems[] = {
    {"EDIT", "0", 1047, ES_READONLY | ES_CENTER, 2, 3, 30, 12},
    {TRACKBAR_CLASS, "", 1048, TAB | TBS_HORZ | TBS_NOTICKS, 34, 2, 106, 15},
};
constexpr DialogTemplate kAdjust = {"", 0, 0, 0, 142, 19, "Tahoma", 9, kAdjustItems};

struct DialogResource {
  UINT id;
  const char* name;
  const DialogTemplate* dialog;
  std::span<const ControlKey> keys;
};
const DialogResource kDialogs[] = {
    {IDD_BROWSE, "DlgBrowse", &kBrowse, {}},
    {IDD_ABOUT, "DlgAbout", &kAbout, kAboutKeys},
    {IDD_RESIZE, "DlgResize", &kResize, kResizeKeys},
    {IDD_SAVEAS, "DlgSaveas", &kSaveas, kSaveasKeys},
    {IDD_RENAME, "DlgRename", &kRename, kRenameKeys},
    {IDD_ADJUST, "DlgAdjust", &kAdjust, {}},
};

}  // namespace

void register_dialog_resources() {
  register_program_icon_class();
  for (const DialogResource& d : kDialogs) {
    RegisterDialogResource(d.id, d.dialog);
    RegisterDialogResource(d.name, d.dialog);
    Language::register_dialog_keys(d.name, d.keys);
  }
  register_properties_resources();
  register_options_resources();
}

}  // namespace lumora::app
