// Templates of the Properties and Options dialogs, in dialog units of 9-point Tahoma on a
// 140-unit-wide phone screen (the dialogs are stretched to the screen's width).
#include "app/dialogs/info_dialogs.h"
#include "app/dialogs/options_dialog.h"
#include "app/dialogs/properties_dialog.h"
#include "app/shell/language.h"
#include "app/shell/resource.h"

namespace lumora::app {

namespace {

constexpr DWORD kList = LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kDropDown = CBS_DROPDOWNLIST | WS_TABSTOP;

// ---- Properties (107) ----
// The file name sits beside the picture and wraps onto a second line when it is long.
constexpr DialogItemTemplate kPropertiesItems[] = {
    {"BUTTON", "", IDC_PICTURE_PLACE, 0, 4, 4, 30, 25},
    {"STATIC", "", IDC_FILE_NAME, SS_LEFT | SS_NOPREFIX, 38, 4, 98, 25},
    {WC_LISTVIEW, "", IDC_INFO_LIST, kList, 4, 31, 132, 78},
    {WC_LISTVIEW, "", IDC_IPTC_LIST, kList, 4, 31, 132, 78},
    {WC_LISTVIEW, "", IDC_EXIF_LIST, kList, 4, 31, 132, 78},
};
constexpr DialogTemplate kProperties = {"Properties", 0, 0, 0, 140, 113, "Tahoma", 9, kPropertiesItems};

// ---- Options list (113) ----
constexpr DialogItemTemplate kOptionItems[] = {
    {WC_LISTVIEW, "", IDC_OPTION_LIST, kList, 0, 2, 140, 100},
};
constexpr DialogTemplate kOptions = {"Settings", 0, 0, 0, 140, 104, "Tahoma", 9, kOptionItems};

// ---- General (114) ----
constexpr DialogItemTemplate kGeneralItems[] = {
    {"STATIC", "Language", IDC_PAGE_TEXT, 0, 4, 3, 132, 9},
    {"COMBOBOX", "", IDC_LANGUAGE_LIST, kDropDown, 4, 12, 132, 60},
    {"STATIC", "Default rotation", IDC_ROTATION_LABEL, 0, 4, 28, 132, 9},
    {"COMBOBOX", "", IDC_ROTATION_LIST, kDropDown, 4, 37, 132, 60},
    {"BUTTON", "Follow camera orientation", IDC_CHECK_THIRD, kCheck, 4, 52, 132, 12},
    {"STATIC", "Resize big pictures", IDC_RESIZE_LABEL, 0, 4, 68, 132, 9},
    {"COMBOBOX", "", IDC_RESIZE_LIST, kDropDown, 4, 77, 132, 60},
    {"BUTTON", "No resize for B&W pictures", IDC_CHECK_FIRST, kCheck, 4, 92, 132, 12},
};
constexpr DialogTemplate kGeneral = {"General", 0, 0, 0, 140, 108, "Tahoma", 9, kGeneralItems};

// ---- Thumbnails (115) ----
constexpr DialogItemTemplate kThumbItems[] = {
    {"BUTTON", "Use embedded thumbnail", IDC_CHECK_FIRST, kCheck, 4, 4, 132, 12},
    {"BUTTON", "Smooth thumbnail", IDC_CHECK_SECOND, kCheck, 4, 18, 132, 12},
    {"BUTTON", "Keep thumbnails", IDC_CHECK_THIRD, kCheck, 4, 32, 132, 12},
};
constexpr DialogTemplate kThumbs = {"Thumbnails", 0, 0, 0, 140, 48, "Tahoma", 9, kThumbItems};

// ---- Slideshow (116) ----
constexpr DialogItemTemplate kSlideItems[] = {
    {"STATIC", "Delay (seconds)", IDC_DELAY_LABEL, 0, 4, 4, 132, 9},
    {"EDIT", "", IDC_DELAY_EDIT, ES_NUMBER | WS_TABSTOP, 4, 14, 50, 12},
    {UPDOWN_CLASS, "", IDC_DELAY_SPIN, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS, 0, 0, 0, 0},
    {"BUTTON", "Use effect transition", IDC_CHECK_FIRST, kCheck, 4, 31, 132, 12},
};
constexpr DialogTemplate kSlide = {"SlideShow", 0, 0, 0, 140, 48, "Tahoma", 9, kSlideItems};

// ---- Associations (117) ----
// One check box per row of association_rows(); the notice takes their place while Lumora's
// desktop entry is not installed.
constexpr DialogItemTemplate kAssociationItems[] = {
    {"STATIC", "Select formats that you want to associate with Lumora", IDC_PAGE_TEXT, 0, 4, 2, 132, 18},
    {"BUTTON", "JPEG, JFIF", 1034, kCheck, 4, 22, 132, 12},
    {"BUTTON", "PNG", 1035, kCheck, 4, 34, 132, 12},
    {"BUTTON", "BMP, 2BP", 1036, kCheck, 4, 46, 132, 12},
    {"BUTTON", "CompuServe GIF", 1037, kCheck, 4, 58, 132, 12},
    {"BUTTON", "TIFF", 1038, kCheck, 4, 70, 132, 12},
    {"BUTTON", "ICO", 1043, kCheck, 4, 82, 132, 12},
    {"BUTTON", "PCX", 1039, kCheck, 4, 94, 132, 12},
    {"BUTTON", "TARGA", 1040, kCheck, 4, 106, 132, 12},
    {"BUTTON", "PBM, PGM, PPM, PNM", 1041, kCheck, 4, 118, 132, 12},
    {"BUTTON", "X11 XBM, XPM", 1042, kCheck, 4, 130, 132, 12},
    {"STATIC",
     "Lumora is not installed for this desktop yet (lumora.desktop was not found), so file types "
     "cannot open in it. Install Lumora, then come back here.",
     IDC_NO_DESKTOP_ENTRY, 0, 4, 24, 132, 60},
};
constexpr DialogTemplate kAssociations = {"Associations", 0, 0, 0, 140, 144, "Tahoma", 9, kAssociationItems};

constexpr ControlKey kGeneralKeys[] = {
    {IDC_PAGE_TEXT, "IDC_TLANGUAGE"},     {IDC_ROTATION_LABEL, "IDC_TDEFROTATION"},
    {IDC_RESIZE_LABEL, "IDC_TRESIZEBIGPIC"}, {IDC_CHECK_FIRST, "IDC_NOBWRESIZE"},
    {IDC_CHECK_THIRD, "IDC_EXIFROTATE"},
};
constexpr ControlKey kThumbKeys[] = {
    {IDC_CHECK_FIRST, "IDC_USEEMBEDDED"},
    {IDC_CHECK_SECOND, "IDC_USEHIGHQUALITY"},
    {IDC_CHECK_THIRD, "IDC_THUMBCACHE"},
};
constexpr ControlKey kSlideKeys[] = {
    {IDC_DELAY_LABEL, "IDC_TDELAY"},
    {IDC_CHECK_FIRST, "IDC_USEEFFECT"},
};
constexpr ControlKey kAssociationKeys[] = {
    {IDC_PAGE_TEXT, "IDC_OPT4TEXT"},
    {IDC_NO_DESKTOP_ENTRY, "IDC_NODESKTOPENTRY"},
};

void register_template(UINT id, const char* name, const DialogTemplate* t) {
  RegisterDialogResource(id, t);
  RegisterDialogResource(name, t);
}

}  // namespace

void register_properties_resources() { register_template(IDD_PROPERTIES, "DlgProperties", &kProperties); }

void register_options_resources() {
  register_template(IDD_OPTION, "DlgOption", &kOptions);
  register_template(IDD_OPTION1, "DlgOption1", &kGeneral);
  register_template(IDD_OPTION2, "DlgOption2", &kThumbs);
  register_template(IDD_OPTION3, "DlgOption3", &kSlide);
  register_template(IDD_OPTION4, "DlgOption4", &kAssociations);
  Language::register_dialog_keys("DlgOption1", kGeneralKeys);
  Language::register_dialog_keys("DlgOption2", kThumbKeys);
  Language::register_dialog_keys("DlgOption3", kSlideKeys);
  Language::register_dialog_keys("DlgOption4", kAssociationKeys);
}

}  // namespace lumora::app
