#pragma once
// Properties: what is known about a picture file, on three pages of one dialog (Info: the file
// and the picture; IPTC: the picture's IPTC texts; EXIF: the camera's data), with the picture
// small in the corner and Previous / Next over the files of the browsed folder.
#include <functional>
#include <string>
#include <vector>

#include "app/shell/framework.h"
#include "app/shell/list_ctrl.h"
#include "app/viewer/picture_window.h"
#include "imagelib/core/format.h"

namespace lumora::app {

enum PropertiesControl : int {
  IDC_PICTURE_PLACE = 1000,
  IDC_INFO_LIST = 1002,
  IDC_FILE_NAME = 1003,
  IDC_IPTC_LIST = 1004,
  IDC_EXIF_LIST = 1005,
};

// A two-column list of names (right-aligned) and values (left-aligned), every other row shaded.
class CListInfo : public CListCtrl {
 public:
  static constexpr COLORREF kShade = RGB(195, 195, 195);

  // Binds the dialog's control and gives it its two columns.
  bool setup(HWND dialog, int id);
  void add_row(const std::string& name, const std::string& value);
  // Splits the list's width between the columns where the fewest texts are cut (the list cannot
  // scroll sideways); of equally good splits the one that leaves the values most room. The
  // columns always fill the width.
  void fit_columns();
  // The list's part of the parent's custom drawing.
  static LRESULT custom_draw(NMLVCUSTOMDRAW* draw);
};

// One row of the Info page.
struct InfoRow {
  std::string label, value;
};
// The Info page of a file: name, folder, size, date (when the file is there), then the picture's
// format, size, resolution, colours and comment when it could be read (format index >= 0).
std::vector<InfoRow> info_rows(const std::string& path, const lumora::FileInfo& info);
// The split of width between names and values (text widths with their padding) that cuts the
// fewest texts, the names' column kept between a quarter and three quarters of the width.
int column_split(const std::vector<int>& names, const std::vector<int>& values, int width);
// A file name laid out in at most max_lines lines of at most width pixels (by measure(text)),
// broken anywhere when it has to be; the last line ends in "..." when the name is longer still.
std::string wrap_name(const std::string& name, int width, int max_lines, const std::function<int(const std::string&)>& measure);
// 8-bit metadata text as shown: UTF-8 kept, other bytes read as Latin-1, at most 128 characters.
std::string metadata_text(const char* text);

class CDlgProperties : public CDlgEx {
 public:
  enum Page { kInfo = 0, kIptc = 1, kExif = 2 };

  // A negative index is taken as 0.
  CDlgProperties(HWND parent, std::vector<std::string> paths, int index);

  int index() const { return index_; }
  Page page() const { return page_; }
  HMENU action_menu() const { return menu_; }
  const CListInfo& list(Page p) const { return lists_[p]; }
  CBmp& picture() { return picture_; }

  LUMORA_DECLARE_MESSAGE_TABLE();
  LRESULT OnInitDialog(WPARAM, LPARAM);
  BOOL OnNotify(WPARAM, NMHDR* header, LRESULT* result);
  void OnClose(UINT id);
  void OnPrevious(UINT id);
  void OnNext(UINT id);
  void OnPage(UINT id);

 private:
  void show_page(Page p);
  void fill();
  void update_menu();
  void place_lists();
  void show_file_name(const std::string& name);

  std::vector<std::string> paths_;
  int index_;
  Page page_ = kInfo;
  CListInfo lists_[3];
  CBmp picture_;
};

}  // namespace lumora::app
