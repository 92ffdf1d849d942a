#pragma once
// CMainWnd: the program's one top-level window. It holds the browser list and the picture window,
// the two soft-key bars (browser and viewer), the settings, and turns every menu command and
// navigation key into a call on the list, the picture window or a dialog.
#include <string>

#include "app/browser/thumb_view.h"
#include "app/shell/framework.h"
#include "app/shell/settings.h"
#include "app/viewer/picture_window.h"

namespace lumora::app {

class CMainWnd : public CWindow {
 public:
  static constexpr const char* kClassName = "LumoraClass";
  static constexpr UINT kSlideshowTimer = 1000;

  CMainWnd();
  ~CMainWnd() override;

  // Registers the class, creates the window over the screen and applies the settings and the
  // command-line path (a picture, opened in the viewer, or a folder, browsed).
  bool create_main(const std::string& command_line_path);

  // What the tests and the shell look at.
  bool viewer_shown() const { return viewer_; }
  bool slideshow_running() const { return slideshow_; }
  CThumbView& list() { return list_; }
  CBmp& picture() { return picture_; }
  Settings& settings() { return settings_; }
  HWND browser_bar() const { return browser_bar_; }
  HWND viewer_bar() const { return viewer_bar_; }

  // Thumbnail box side for a size choice (0 small, 1 normal, 2 large) at a resolution in dpi.
  static int thumbnail_side(int size_choice, int dpi);

  LUMORA_DECLARE_MESSAGE_TABLE();

 public:
  // Message handlers (public for the message table's thunks).
  LRESULT OnCreate(CREATESTRUCT* cs);
  void OnSize(UINT type, int cx, int cy);
  void OnPaint();
  void OnDestroy();
  void OnSetFocus(HWND other);
  void OnKeyDown(UINT key, UINT repeat, LPARAM lp);
  void OnKeyUp(UINT key, UINT repeat, LPARAM lp);
  void OnChar(UINT key, UINT repeat, LPARAM lp);
  void OnHotKey(int id, UINT modifiers, UINT key);
  void OnTimer(UINT id);
  BOOL OnNotify(WPARAM wp, NMHDR* hdr, LRESULT* result);
  LRESULT OnDrawItem(WPARAM wp, LPARAM lp);
  LRESULT OnBrowseFolder(WPARAM wp, LPARAM lp);
  LRESULT OnShowFile(WPARAM wp, LPARAM lp);
  LRESULT OnOpenViewer(WPARAM wp, LPARAM lp);
  LRESULT OnInstanceRequest(WPARAM wp, LPARAM lp);
  LRESULT OnThumbProblem(WPARAM wp, LPARAM lp);

  void OnViewMode(UINT id);
  void OnSortKey(UINT id);
  void OnSortDirection(UINT id);
  void OnThumbSize(UINT id);
  void OnShowFilename(UINT id);
  void OnOpenFolder(UINT id);
  void OnStartSlideshow(UINT id);
  void OnZoom(UINT id);
  void OnRotate(UINT id);
  void OnRotateAuto(UINT id);
  void OnPage(UINT id);
  void OnBrowse(UINT id);
  void OnProperties(UINT id);
  void OnQuit(UINT id);
  void OnSaveAs(UINT id);
  void OnResize(UINT id);
  void OnAdjust(UINT id);
  void OnFileOperation(UINT id);
  void OnSendMail(UINT id);
  void OnAbout(UINT id);
  void OnOptions(UINT id);

 private:
  void apply_settings(const std::string& command_line_path);
  void layout();
  void update_page_items();
  void open_viewer(const std::string& path);
  void back_to_browser();
  void stop_slideshow();
  void slideshow_step();
  void set_view_mode(int mode);
  bool current_file(std::string* path) const;
  void load_into_picture(const std::string& path, int request_w, int request_h);
  void report_load_failure(const std::string& path);
  void apply_picture_limits();
  void check_radio(HMENU menu, UINT first, UINT last, UINT id);

  CThumbView list_;
  CBmp picture_;
  bool viewer_ = false;
  bool slideshow_ = false;
  RECT saved_rect_{};
  HWND viewer_bar_ = nullptr;
  HWND browser_bar_ = nullptr;
  Settings settings_;
  int dpi_x_ = 96, dpi_y_ = 96;
};

}  // namespace lumora::app
