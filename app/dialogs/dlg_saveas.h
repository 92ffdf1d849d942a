#pragma once
// CDlgSaveas: folder, file name, format, quality, Exif keeping and colour mode for Save as; and the
// Save as flow that carries the choices out on a picture.
#include <string>

#include "app/shell/framework.h"
#include "app/shell/settings.h"
#include "imagelib/core/bitmap.h"

namespace lumora::app {

class CDlgSaveas : public CDlgEx {
 public:
  static constexpr int kFolder = 1008, kFolderSpin = 1024, kName = 1003, kFormat = 1021, kQuality = 1027,
                       kQualitySpin = 1028, kSaveExif = 1034, kColors = 1026;

  // path: the picture's path; on Done the chosen folder and name, without extension.
  CDlgSaveas(HWND parent, std::string* path, SaveOptions* options);

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  void OnFormatChanged(UINT);
  void OnFolderSpin(NMHDR* hdr, LRESULT* result);
  void OnDone(UINT);
  void OnCancel(UINT);

 private:
  void fill_colors(int format);
  std::string* path_;
  SaveOptions* options_;
};

// What became of a Save as.
enum class SaveAsResult { kCancelled, kSaved, kFailed };

// The whole Save as: the dialog on `path` and *options, the picture brought to the chosen colour
// mode, the format's extension, the question before an existing file is replaced, the save, and
// the message when it fails. *saved_path (optional) receives the path written.
SaveAsResult save_picture_as(HWND owner, const std::string& path, const lumora::Bitmap* picture,
                             SaveOptions* options, std::string* saved_path = nullptr);

// The steps after the dialog, for a chosen path (folder and name, the extension is added).
SaveAsResult save_with_options(HWND owner, std::string path, const lumora::Bitmap* picture,
                               const SaveOptions& options, std::string* saved_path = nullptr);

}  // namespace lumora::app
