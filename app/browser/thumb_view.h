#pragma once
// CThumbView: the browser. A list-view control (child id 1001 of the main window) that shows the
// picture files of one folder as thumbnails, a strip, a list or details, with thumbnails made by a
// worker thread, and follows the folder's changes. It tells its parent when the selection moves
// (UM_SHOW_FILE) or an item is activated (UM_OPEN_VIEWER).
#include <string>

#include "app/shell/framework.h"

namespace lumora::app {

class CThumbView : public CWindow {
 public:
  static constexpr int kControlId = 1001;

  CThumbView();
  ~CThumbView() override;

  // Creates and subclasses the list control.
  bool create(HWND parent, DWORD style, int id = kControlId);
  // Shows a folder ('/'-terminated); false when it is already shown.
  bool browse(const std::string& folder, bool select_first);
  const std::string& folder() const;

  void set_view_mode(int mode);  // 0 thumbnails, 1 strip, 2 list, 3 details
  int view_mode() const;
  void set_thumbnail_size(int width, int height);
  int thumbnail_width() const;
  int thumbnail_height() const;
  void set_show_filename(bool on);
  bool show_filename() const;
  void set_sort(uint32_t sort_value);  // key in the low bits, 0x1000 descending
  uint32_t sort() const;
  void set_high_quality(bool on);
  void set_use_embedded(bool on);
  void set_exif_rotate(bool on);

  bool selected_path(std::string* path) const;
  int selected_index() const;
  int select_path(const std::string& path);  // index, or -1
  int item_count() const;
  std::string item_path(int index) const;
  // Move the selection and post UM_SHOW_FILE to the parent; false at the end without wrap.
  bool next(bool wrap);
  bool previous();
  // Band height in strip mode: thumbnail height + horizontal scroll bar + 3.
  int strip_height() const;

  void start_worker();
  void stop_worker();

  // The parent forwards WM_NOTIFY and WM_DRAWITEM of control 1001.
  LRESULT on_parent_notify(NMHDR* hdr);
  LRESULT on_parent_draw_item(WPARAM wp, LPARAM lp);
};

}  // namespace lumora::app
