#include "app/dialogs/dlg_saveas.h"

#include <algorithm>

#include "app/dialogs/dialogs.h"
#include "app/dialogs/path_parts.h"
#include "app/shell/language.h"
#include "app/shell/paths.h"
#include "app/shell/resource.h"
#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "imagelib/core/status.h"
#include "imagelib/ops/color_reduce.h"

namespace lumora::app {

namespace {

enum Format { kJpeg = 0, kBmp = 1, kGif = 2, kPng = 3 };
enum ColorMode { kBlackWhite = 0, kColors16 = 1, kColors256 = 2, kTrueColor = 3 };

struct FormatRow {
  const char* list_text;
  const char* library_name;
};
constexpr FormatRow kFormats[] = {
    {"JPEG Image Format", "jpeg"},
    {"BMP Image Format", "bmp"},
    {"GIF Image Format", "gif"},
    {"PNG Image Format", "png"},
};

// The colour list, richest first; GIF stores palettes only and JPEG stores no palettes.
struct ColorRow {
  ColorMode mode;
  UINT text;
  bool jpeg, gif;
};
constexpr ColorRow kColorRows[] = {
    {kTrueColor, IDS_24BITS, true, false},
    {kColors256, IDS_256COLORS, false, true},
    {kColors16, IDS_16COLORS, false, true},
    {kBlackWhite, IDS_BLACK_WHITE, false, true},
};

// The conversion a colour mode needs for a picture: (code, method), or code 0 for none.
struct Conversion {
  int code, method;
};
Conversion conversion_for(int color_mode, const lumora::Bitmap& b) {
  switch (color_mode) {
    case kBlackWhite:
      return b.type == kPixBilevel ? Conversion{0, 0} : Conversion{kConvertBlackWhite, kMethodErrorDiffusion};
    case kColors16:
      return b.type == kPixIndexed && b.colors <= 16 ? Conversion{0, 0} : Conversion{kConvertPalette16, kMethodMedianCut};
    case kColors256:
      return b.type == kPixIndexed ? Conversion{0, 0} : Conversion{kConvertPalette256, kMethodMedianCut};
    default:
      return b.bytes_per_pixel >= 2 ? Conversion{0, 0} : Conversion{kConvertRGB, kMethodCopy};
  }
}

// "Problem to save the file!" and, below it, why, in words a person can act on.
void report_failure(HWND owner, int status) {
  std::string text = load_string(IDS_PROBLEM_SAVING);
  UINT reason = 0;
  switch (status & 0xFFFF) {
    case kStatusCannotCreate: reason = IDS_SAVE_CANNOT_CREATE; break;
    case kStatusWriteError: reason = IDS_SAVE_WRITE_ERROR; break;
    case kStatusNoMemory: reason = IDS_SAVE_NO_MEMORY; break;
    case kStatusCannotStore:
    case kStatusNoWriter: reason = IDS_SAVE_CANNOT_STORE; break;
    default: break;
  }
  if (reason) text += "\n" + load_string(reason);
  MessageBox(owner, text, "", MB_OK | MB_ICONERROR);
}

}  // namespace

CDlgSaveas::CDlgSaveas(HWND parent, std::string* path, SaveOptions* options)
    : CDlgEx(parent, "DlgSaveas"), path_(path), options_(options) {}

LUMORA_BEGIN_MESSAGE_TABLE(CDlgSaveas)
  ON_INITDIALOG(OnInitDialog)
  ON_COMMAND_CODE(CBN_SELCHANGE, CDlgSaveas::kFormat, OnFormatChanged)
  ON_NOTIFY(UDN_DELTAPOS, CDlgSaveas::kFolderSpin, OnFolderSpin)
  ON_COMMAND(IDOK, OnDone)
  ON_COMMAND(IDCANCEL, OnCancel)
LUMORA_END_MESSAGE_TABLE()

LRESULT CDlgSaveas::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_DONE_CANCEL);
  const PathParts parts = split_path(*path_);
  SetDlgItemText(hwnd_, kFolder, parts.folder);
  SetDlgItemText(hwnd_, kName, parts.base);
  for (const FormatRow& f : kFormats)
    SendDlgItemMessage(hwnd_, kFormat, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.list_text));
  const int format = std::clamp(options_->format, 0, static_cast<int32_t>(std::size(kFormats)) - 1);
  SendDlgItemMessage(hwnd_, kFormat, CB_SETCURSEL, static_cast<WPARAM>(format), 0);
  SendDlgItemMessage(hwnd_, kQualitySpin, UDM_SETRANGE, 0, MAKELPARAM(10, 100));
  SendDlgItemMessage(hwnd_, kQualitySpin, UDM_SETPOS, 0, MAKELPARAM(std::clamp(options_->quality, 10, 100), 0));
  CheckDlgButton(hwnd_, kSaveExif, options_->keep_exif ? BST_CHECKED : BST_UNCHECKED);
  fill_colors(format);
  return TRUE;
}

void CDlgSaveas::fill_colors(int format) {
  HWND list = GetDlgItem(hwnd_, kColors);
  SendMessage(list, CB_RESETCONTENT, 0, 0);
  for (const ColorRow& row : kColorRows) {
    if ((format == kJpeg && !row.jpeg) || (format == kGif && !row.gif)) continue;
    const std::string text = load_string(row.text);
    const LRESULT at = SendMessage(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessage(list, CB_SETITEMDATA, static_cast<WPARAM>(at), row.mode);
  }
  SendMessage(list, CB_SETCURSEL, 0, 0);
  EnableWindow(GetDlgItem(hwnd_, kSaveExif), format == kJpeg);
  const bool quality = format == kJpeg || format == kPng;
  EnableWindow(GetDlgItem(hwnd_, kQuality), quality);
  EnableWindow(GetDlgItem(hwnd_, kQualitySpin), quality);
}

void CDlgSaveas::OnFormatChanged(UINT) {
  fill_colors(static_cast<int>(SendDlgItemMessage(hwnd_, kFormat, CB_GETCURSEL, 0, 0)));
}

void CDlgSaveas::OnFolderSpin(NMHDR*, LRESULT* result) {
  *result = TRUE;  // the spinner only opens the chooser; it has no value of its own
  std::string folder = GetDlgItemText(hwnd_, kFolder);
  if (choose_folder(hwnd_, &folder)) SetDlgItemText(hwnd_, kFolder, with_trailing_slash(folder));
}

void CDlgSaveas::OnDone(UINT) {
  const std::string name = GetDlgItemText(hwnd_, kName);
  if (name.empty() || name.find('/') != std::string::npos) {
    // No name, or a name that would lead into another folder: the user fixes it here.
    HWND edit = GetDlgItem(hwnd_, kName);
    SetFocus(edit);
    SendMessage(edit, EM_SETSEL, 0, -1);
    return;
  }
  options_->format = static_cast<int32_t>(SendDlgItemMessage(hwnd_, kFormat, CB_GETCURSEL, 0, 0));
  const LRESULT color = SendDlgItemMessage(hwnd_, kColors, CB_GETCURSEL, 0, 0);
  options_->color_mode = static_cast<int32_t>(SendDlgItemMessage(hwnd_, kColors, CB_GETITEMDATA, static_cast<WPARAM>(std::max<LRESULT>(color, 0)), 0));
  BOOL ok = FALSE;
  const UINT quality = GetDlgItemInt(hwnd_, kQuality, &ok, FALSE);
  if (ok) options_->quality = static_cast<int32_t>(std::clamp<UINT>(quality, 10, 100));
  options_->flags = 7;
  options_->keep_exif = IsDlgButtonChecked(hwnd_, kSaveExif) == BST_CHECKED ? 1 : 0;
  *path_ = with_trailing_slash(GetDlgItemText(hwnd_, kFolder)) + name;
  end_dialog(1);
}

void CDlgSaveas::OnCancel(UINT) { end_dialog(0); }

SaveAsResult save_with_options(HWND owner, std::string path, const lumora::Bitmap* picture,
                               const SaveOptions& options, std::string* saved_path) {
  if (!picture) return SaveAsResult::kCancelled;
  // The picture in the chosen colour mode: a converted copy when it is not in it already.
  lumora::Bitmap converted{};
  const lumora::Bitmap* to_save = picture;
  const Conversion conv = conversion_for(options.color_mode, *picture);
  if (conv.code != 0) {
    if (const int status = bitmap_convert(const_cast<lumora::Bitmap*>(picture), &converted, conv.code, conv.method)) {
      bitmap_free(&converted);
      report_failure(owner, status == kStatusBadArguments ? kStatusCannotStore : status);
      return SaveAsResult::kFailed;
    }
    to_save = &converted;
  }
  struct Release {
    lumora::Bitmap* b;
    ~Release() { bitmap_free(b); }
  } release{&converted};

  const size_t format = std::min<size_t>(static_cast<size_t>(std::max(options.format, 0)), std::size(kFormats) - 1);
  const int index = format_find(kFormats[format].library_name);
  const FormatEntry* entry = format_entry(index);
  if (!entry) {
    report_failure(owner, kStatusNoWriter);
    return SaveAsResult::kFailed;
  }
  // The format's extension is added to the chosen name (a name with dots keeps all of them).
  if (!format_has_extension(path.c_str(), index) && entry->extensions[0]) path += std::string(".") + entry->extensions[0];

  if (GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES &&
      MessageBox(owner, load_string(IDS_EXIST), "", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return SaveAsResult::kCancelled;

  SaveParams params;
  save_params_init(&params);
  params.format_index = static_cast<int16_t>(index);
  params.quality = static_cast<uint16_t>(std::clamp(options.quality, 0, 100));
  // The program never asks the library for its console lines.
  params.flags = static_cast<uint32_t>(options.flags) & ~kSaveVerbose;
  params.write_exif = options.keep_exif ? 1 : 0;
  // The library writes a replaced file aside first and renames it over the old one only when the
  // save succeeded, so a failure leaves the old file as it was.
  if (const int status = save_image(path.c_str(), to_save, &params)) {
    report_failure(owner, status);
    return SaveAsResult::kFailed;
  }
  if (saved_path) *saved_path = path;
  return SaveAsResult::kSaved;
}

SaveAsResult save_picture_as(HWND owner, const std::string& path, const lumora::Bitmap* picture,
                             SaveOptions* options, std::string* saved_path) {
  std::string chosen = path;
  CDlgSaveas dlg(owner, &chosen, options);
  if (dlg.run() != 1) return SaveAsResult::kCancelled;
  return save_with_options(owner, std::move(chosen), picture, *options, saved_path);
}

}  // namespace lumora::app
