#pragma once
// CThumbView: the browser. A list-view control (child id 1001 of the main window) that shows the
// picture files of one folder as thumbnails, a strip, a list or details, with thumbnails made by a
// worker thread, and follows the folder's changes. It tells its parent when the selection moves
// (UM_SHOW_FILE) or an item is activated (UM_OPEN_VIEWER).
#include <array>
#include <string>
#include <unordered_map>

#include "app/browser/detail_texts.h"
#include "app/browser/folder_list.h"
#include "app/browser/thumb_worker.h"
#include "app/shell/framework.h"
#include "platform/shell/file_notify.h"

namespace lumora::app {

// Private messages of the list window.
inline constexpr UINT UM_THUMB_PROBLEM = 0x0400 + 3;    // a thumbnail had no screen bitmap: tell once
inline constexpr UINT UM_VISIBLE_CHANGED = 0x0400 + 4;  // the items on screen may have changed

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
  void set_show_extension(bool on);  // names with their extension (off: without)
  void set_sort(uint32_t sort_value);  // key in the low bits, 0x1000 descending
  uint32_t sort() const;
  void set_high_quality(bool on);
  void set_use_embedded(bool on);
  void set_exif_rotate(bool on);
  // Thumbnails through the shared freedesktop.org thumbnail cache (the ThumbCache setting).
  void set_use_cache(bool on);

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
  bool worker_running() const { return worker_.running(); }
  // Threads of the next worker start: 0 (the default) is one per core, at most four.
  void set_worker_threads(int n) { worker_.set_thread_count(n); }

  // The parent forwards WM_NOTIFY and WM_DRAWITEM of control 1001.
  LRESULT on_parent_notify(NMHDR* hdr);
  LRESULT on_parent_draw_item(WPARAM wp, LPARAM lp);

  // The folder's items in display order, and the thumbnail of one (null while none was made).
  const FolderList& items() const { return list_; }
  HBITMAP thumbnail(int index, int* width = nullptr, int* height = nullptr) const;

  // A name cut to max_width pixels in font, ending in "..." when it was cut.
  static std::string fit_name(HDC dc, HFONT font, const std::string& name, int max_width);

  LUMORA_DECLARE_MESSAGE_TABLE();

 private:
  struct Thumb {
    HBITMAP bitmap = nullptr;
    int width = 0, height = 0;
  };

  // Message handlers.
  void OnDestroy();
  LRESULT OnThumbReady(WPARAM wp, LPARAM lp);
  LRESULT OnThumbsDone(WPARAM wp, LPARAM lp);
  LRESULT OnThumbProblem(WPARAM wp, LPARAM lp);
  LRESULT OnVisibleChanged(WPARAM wp, LPARAM lp);
  LRESULT OnFileChange(WPARAM wp, LPARAM lp);
  void OnSize(UINT type, int cx, int cy);
  void OnScroll(int code, int pos, HWND bar);

  // The control.
  void fill_control();
  void insert_control_item(int index, UINT state);
  void set_item_texts(int index);
  void set_column0_texts();
  void set_column_widths();
  void apply_style();
  void build_image_lists();
  void destroy_image_lists();
  void create_fonts();
  void select_index(int index, bool notify);
  void sync_selection_to_list();
  void restore_selection_from_list();
  std::string shown_name(const FileItem& item) const;
  void post_path(UINT msg, int index);
  void visible_range(int* first, int* count) const;
  void schedule_visible_update();
  void remove_item(int index, bool was_selected);
  UINT item_state(int index) const;
  void invalidate_item(int index);

  // Drawing (thumb_draw.cpp).
  LRESULT custom_draw(NMLVCUSTOMDRAW* cd);
  void draw_tile(HDC dc, int index, const RECT& bounds, bool selected);
  void draw_details_row(const DRAWITEMSTRUCT& di);
  void draw_thumbnail(HDC dc, int index, int x, int y, const RECT* centre_in);

  void delete_thumbnails();
  void watch(bool on);

  FolderList list_;
  std::unordered_map<uint32_t, Thumb> thumbs_;  // by item id
  ThumbWorker worker_;
  FileChangeWatcher watcher_;
  bool watcher_started_ = false;

  int view_mode_ = 0;
  int thumb_width_ = 33, thumb_height_ = 33;
  HIMAGELIST thumb_images_ = nullptr;    // normal list of the thumbnail and strip modes (sizes only)
  HIMAGELIST pixel_images_ = nullptr;    // one-pixel small list
  HIMAGELIST details_images_ = nullptr;  // small list of the details mode (sizes the rows)
  bool show_filename_ = false;
  bool show_extension_ = false;
  bool high_quality_ = false;
  bool use_embedded_ = true;
  bool exif_rotate_ = true;
  bool use_cache_ = false;  // the main window turns it on from the settings
  HFONT bold_font_ = nullptr;
  HFONT normal_font_ = nullptr;
  int text_height_ = 0;  // of the bold font
  int item_height_ = 0;  // vertical icon spacing in the thumbnail modes
  int dpi_x_ = 96, dpi_y_ = 96;
  int screen_bits_ = 16;
  SizeUnits units_;  // unit words of the size texts, read at each fill

  std::array<int, 5> list_widths_{};  // column widths of the list mode, kept while another mode shows
  bool list_widths_saved_ = false;
  bool quiet_ = false;             // selection changes that need not be told to the parent
  bool visible_update_posted_ = false;
  bool problem_reported_ = false;  // the "no screen bitmap" message was shown for this folder
};

}  // namespace lumora::app
