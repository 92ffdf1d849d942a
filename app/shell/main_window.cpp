#include "app/shell/main_window.h"

#include <sys/stat.h>

#include <memory>

#include "app/browser/file_ops.h"
#include "app/dialogs/dialogs.h"
#include "app/dialogs/mail/send_mail.h"
#include "app/shell/debug.h"
#include "app/shell/language.h"
#include "app/shell/paths.h"
#include "app/shell/resource.h"

namespace lumora::app {

namespace {

// Takes over a path string posted by another window (or a null lParam: nothing).
std::unique_ptr<std::string> take_path(LPARAM lp) { return std::unique_ptr<std::string>(reinterpret_cast<std::string*>(lp)); }

// Big-picture limits of the ResizeBigPicture setting, width x height.
struct Limit {
  int width, height;
};
Limit big_picture_limit(uint32_t setting) {
  switch (setting) {
    case 1: return {120, 160};
    case 2: return {240, 320};
    case 3: return {480, 640};
    case 4: return {720, 960};
    default: return {-1, -1};
  }
}

constexpr int kZoomOfCommand[] = {25, 50, 75, 100, 150, 200, 300};  // ID_ZOOM_25 .. ID_ZOOM_300

}  // namespace

LUMORA_BEGIN_MESSAGE_TABLE(CMainWnd)
  ON_CREATE(OnCreate)
  ON_SIZE(OnSize)
  ON_PAINT(OnPaint)
  ON_DESTROY(OnDestroy)
  ON_SETFOCUS(OnSetFocus)
  ON_KEYDOWN(OnKeyDown)
  ON_KEYUP(OnKeyUp)
  ON_CHAR(OnChar)
  ON_HOTKEY(OnHotKey)
  ON_TIMER(OnTimer)
  ON_NOTIFY_ANY(OnNotify)
  ON_DRAWITEM(OnDrawItem)
  ON_MESSAGE(UM_BROWSE_FOLDER, OnBrowseFolder)
  ON_MESSAGE(UM_SHOW_FILE, OnShowFile)
  ON_MESSAGE(UM_OPEN_VIEWER, OnOpenViewer)
  ON_MESSAGE(WM_INSTANCE_REQUEST, OnInstanceRequest)
  ON_COMMAND(ID_PROPERTIES, OnProperties)
  ON_COMMAND(ID_QUIT, OnQuit)
  ON_COMMAND_RANGE(ID_VIEW_THUMBNAILS, ID_VIEW_STRIP, OnViewMode)
  ON_COMMAND_RANGE(ID_SORT_NAME, ID_SORT_RESOLUTION, OnSortKey)
  ON_COMMAND_RANGE(ID_SORT_ASCENDING, ID_SORT_DESCENDING, OnSortDirection)
  ON_COMMAND(ID_SHOW_FILENAME, OnShowFilename)
  ON_COMMAND(ID_OPEN_FOLDER, OnOpenFolder)
  ON_COMMAND_RANGE(ID_THUMB_SMALL, ID_THUMB_LARGE, OnThumbSize)
  ON_COMMAND(ID_SAVE_AS, OnSaveAs)
  ON_COMMAND(ID_START_SLIDESHOW, OnStartSlideshow)
  ON_COMMAND(ID_RESIZE, OnResize)
  ON_COMMAND(ID_ADJUST, OnAdjust)
  ON_COMMAND_RANGE(ID_COPY_TO, ID_DELETE, OnFileOperation)
  ON_COMMAND_RANGE(ID_PAGE_PREVIOUS, ID_PAGE_NEXT, OnPage)
  ON_COMMAND(ID_ROTATE_AUTO, OnRotateAuto)
  ON_COMMAND_RANGE(ID_ROTATE_LEFT, ID_ROTATE_RIGHT, OnRotate)
  ON_COMMAND_RANGE(ID_ZOOM_FIT, ID_ZOOM_300, OnZoom)
  ON_COMMAND(ID_BROWSE, OnBrowse)
  ON_COMMAND(ID_ABOUT, OnAbout)
  ON_COMMAND(ID_SEND_EMAIL, OnSendMail)
  ON_COMMAND(ID_OPTIONS, OnOptions)
LUMORA_END_MESSAGE_TABLE()

CMainWnd::CMainWnd() { class_name_ = kClassName; }

CMainWnd::~CMainWnd() = default;

int CMainWnd::thumbnail_side(int size_choice, int dpi) {
  const int n = size_choice == 0 ? 33 : size_choice == 2 ? 74 : 46;
  return (n * dpi + 48) / 96;
}

bool CMainWnd::create_main(const std::string& command_line_path) {
  if (!register_class(CS_HREDRAW | CS_VREDRAW, kClassName)) return false;
  if (!create(0, "Lumora", WS_CLIPCHILDREN, RECT{}, nullptr, 0)) return false;
  apply_settings(command_line_path);
  ShowWindow(hwnd_, SW_SHOW);
  return true;
}

// ---- Creation, settings, layout ------------------------------------------------------------------

LRESULT CMainWnd::OnCreate(CREATESTRUCT*) {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  list_.create(hwnd_, WS_CHILD | WS_VISIBLE | WS_TABSTOP, CThumbView::kControlId);
  picture_.create(hwnd_, rc, WS_CHILD);

  auto make_bar = [this](UINT id) -> HWND {
    SHMENUBARINFO mb;
    mb.cbSize = 36;
    mb.hwndParent = hwnd_;
    mb.nToolBarId = id;
    mb.hInstRes = instance_;
    if (!SHCreateMenuBar(&mb)) return nullptr;
    HMENU menu = static_cast<HMENU>(SendMessage(mb.hwndMB, SHCMBM_GETMENU, 0, 0));
    the_language().translate_menu(mb.hwndMB, menu);
    // The Back key reaches this window as WM_HOTKEY instead of being handled by the bar.
    SendMessage(mb.hwndMB, SHCMBM_OVERRIDEKEY, VK_TBACK,
                MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    return mb.hwndMB;
  };
  browser_bar_ = make_bar(IDM_BROWSER);
  viewer_bar_ = make_bar(IDM_VIEWER);
  if (viewer_bar_) ShowWindow(viewer_bar_, SW_HIDE);
  if (browser_bar_) ShowWindow(browser_bar_, SW_SHOW);

  HDC dc = GetDC(nullptr);
  dpi_x_ = GetDeviceCaps(dc, LOGPIXELSX);
  dpi_y_ = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return 0;
}

void CMainWnd::check_radio(HMENU menu, UINT first, UINT last, UINT id) {
  if (menu) CheckMenuRadioItem(menu, first, last, id, MF_BYCOMMAND);
}

static HMENU bar_menu(HWND bar) { return bar ? static_cast<HMENU>(SendMessage(bar, SHCMBM_GETMENU, 0, 0)) : 0; }

void CMainWnd::apply_settings(const std::string& command_line_path) {
  ShowWindow(picture_, SW_HIDE);
  settings_.load();

  // The list.
  const int side_choice = settings_.thumb_size == 0 ? 0 : settings_.thumb_size == 2 ? 2 : 1;
  list_.set_thumbnail_size(thumbnail_side(side_choice, dpi_x_), thumbnail_side(side_choice, dpi_y_));
  const int mode = settings_.mode <= 3 ? static_cast<int>(settings_.mode) : 0;
  list_.set_view_mode(mode);
  list_.set_show_filename(settings_.show_filename);
  list_.set_sort(settings_.sort_by);
  list_.set_high_quality(settings_.high_quality);
  list_.set_use_embedded(settings_.use_embedded);
  list_.set_exif_rotate(settings_.exif_rotate);
  list_.set_use_cache(settings_.thumb_cache);

  HMENU bm = bar_menu(browser_bar_);
  static constexpr UINT kModeItem[] = {ID_VIEW_THUMBNAILS, ID_VIEW_STRIP, ID_VIEW_LIST, ID_VIEW_DETAILS};
  check_radio(bm, ID_VIEW_THUMBNAILS, ID_VIEW_STRIP, kModeItem[mode]);
  const UINT key = settings_.sort_by & 0xF;
  check_radio(bm, ID_SORT_NAME, ID_SORT_RESOLUTION, key >= 1 && key <= 4 ? ID_SORT_NAME + key : ID_SORT_NAME);
  check_radio(bm, ID_SORT_ASCENDING, ID_SORT_DESCENDING,
              (settings_.sort_by & 0x1000) ? ID_SORT_DESCENDING : ID_SORT_ASCENDING);
  if (bm) CheckMenuItem(bm, ID_SHOW_FILENAME, settings_.show_filename ? MF_CHECKED : MF_UNCHECKED);
  check_radio(bm, ID_THUMB_SMALL, ID_THUMB_LARGE,
              settings_.thumb_size == 1 ? ID_THUMB_NORMAL : settings_.thumb_size == 2 ? ID_THUMB_LARGE : ID_THUMB_SMALL);

  // The command line: a folder is browsed with its first item selected; a picture's folder is
  // browsed and the picture opened. A path that does not exist is ignored.
  std::string start = settings_.path;
  std::string open_file;
  bool select_first = true;
  if (!command_line_path.empty()) {
    const std::string full = absolute_path(command_line_path);
    struct stat st;
    if (::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      start = with_trailing_slash(full);
    } else {
      const std::string folder = folder_of(full);
      if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        start = folder;
        open_file = full;
        select_first = false;
      }
    }
  }
  list_.browse(start, select_first);

  // The picture window.
  picture_.set_zoom(100);
  picture_.set_zoom_mode(settings_.fit == 1 ? 1 : 2);
  picture_.set_rotation_mode(static_cast<int>(settings_.rotate));
  picture_.set_exif_rotate(settings_.exif_rotate);
  apply_picture_limits();
  HMENU vm = bar_menu(viewer_bar_);
  check_radio(vm, ID_ZOOM_FIT, ID_ZOOM_300, settings_.fit == 1 ? ID_ZOOM_FIT : ID_ZOOM_FILL);
  if (vm) CheckMenuItem(vm, ID_ROTATE_AUTO, settings_.rotate != 0 ? MF_CHECKED : MF_UNCHECKED);

  ShowWindow(list_, SW_SHOW);
  ShowWindow(picture_, mode == 1 ? SW_SHOW : SW_HIDE);
  if (browser_bar_) ShowWindow(browser_bar_, SW_SHOW);
  if (viewer_bar_) ShowWindow(viewer_bar_, SW_HIDE);
  layout();
  if (mode == 1) {
    std::string sel;
    if (list_.selected_path(&sel)) load_into_picture(sel, 0, 0);
    picture_.set_zoom_mode(2);
  }
  SetFocus(hwnd_);

  if (!open_file.empty()) {
    list_.select_path(open_file);
    open_viewer(open_file);
  }
}

void CMainWnd::apply_picture_limits() {
  const Limit l = big_picture_limit(settings_.resize_big_picture);
  picture_.set_limits(l.width, l.height, settings_.no_bw_resize);
  picture_.set_max_pixels(settings_.max_picture_mp * 1000000u);
}

void CMainWnd::layout() {
  if (!hwnd_) return;
  RECT rc;
  GetClientRect(hwnd_, &rc);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (viewer_ || slideshow_) {
    MoveWindow(picture_, 0, 0, w, h, TRUE);
  } else if (list_.view_mode() == 1) {
    const int band = std::min(h, list_.strip_height());
    MoveWindow(list_, 0, 0, w, band, TRUE);
    MoveWindow(picture_, 0, band, w, h - band, TRUE);
  } else {
    MoveWindow(list_, 0, 0, w, h, TRUE);
  }
}

void CMainWnd::OnSize(UINT, int, int) { layout(); }

void CMainWnd::OnPaint() { ValidateRect(hwnd_, nullptr); }

void CMainWnd::OnSetFocus(HWND) {
  if (!viewer_ && !slideshow_ && list_.hwnd()) SetFocus(list_);
}

BOOL CMainWnd::OnNotify(WPARAM, NMHDR* hdr, LRESULT* result) {
  if (!hdr || hdr->idFrom != static_cast<uintptr_t>(CThumbView::kControlId)) return FALSE;
  *result = list_.on_parent_notify(hdr);
  return TRUE;
}

LRESULT CMainWnd::OnDrawItem(WPARAM wp, LPARAM lp) {
  if (wp != static_cast<WPARAM>(CThumbView::kControlId)) return FALSE;
  return list_.on_parent_draw_item(wp, lp);
}

// ---- Showing files -------------------------------------------------------------------------------

bool CMainWnd::current_file(std::string* path) const {
  if (viewer_ && !picture_.path().empty()) {
    *path = picture_.path();
    return true;
  }
  return list_.selected_path(path);
}

void CMainWnd::load_into_picture(const std::string& path, int request_w, int request_h) {
  if (!picture_.load(path, 0, request_w, request_h) && !slideshow_) report_load_failure(path);
}

void CMainWnd::report_load_failure(const std::string& path) {
  // The picture window stays empty; its caption says which file could not be shown and why.
  picture_.set_caption(describe_load_failure(path, picture_.last_status()));
}

void CMainWnd::update_page_items() {
  HMENU vm = bar_menu(viewer_bar_);
  if (!vm) return;
  const int page = picture_.page(), count = picture_.page_count();
  EnableMenuItem(vm, ID_PAGE_NEXT, page < count - 1 ? MF_ENABLED : MF_GRAYED);
  EnableMenuItem(vm, ID_PAGE_PREVIOUS, page != 0 ? MF_ENABLED : MF_GRAYED);
}

LRESULT CMainWnd::OnShowFile(WPARAM, LPARAM lp) {
  auto path = take_path(lp);
  if (!path) return 0;
  const bool strip = !viewer_ && list_.view_mode() == 1;
  if (viewer_ || strip) {
    picture_.set_caption("");
    load_into_picture(*path, 0, 0);
  } else if (slideshow_) {
    load_into_picture(*path, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  }
  update_page_items();
  if (slideshow_) {
    picture_.set_caption(name_of(*path));
    SetTimer(hwnd_, kSlideshowTimer, settings_.delay * 1000, nullptr);
  }
  if (strip) picture_.set_zoom_mode(2);
  return 0;
}

LRESULT CMainWnd::OnOpenViewer(WPARAM, LPARAM lp) {
  auto path = take_path(lp);
  if (path) open_viewer(*path);
  return 0;
}

void CMainWnd::open_viewer(const std::string& path) {
  picture_.set_caption("");
  viewer_ = true;
  layout();
  load_into_picture(path, 0, 0);
  update_page_items();
  ShowWindow(picture_, SW_SHOW);
  SetFocus(hwnd_);
  ShowWindow(list_, SW_HIDE);
  if (browser_bar_) ShowWindow(browser_bar_, SW_HIDE);
  if (viewer_bar_) ShowWindow(viewer_bar_, SW_SHOW);
}

void CMainWnd::back_to_browser() {
  viewer_ = false;
  picture_.set_caption("");
  ShowWindow(list_, SW_SHOW);
  const bool strip = list_.view_mode() == 1;
  ShowWindow(picture_, strip ? SW_SHOW : SW_HIDE);
  if (browser_bar_) ShowWindow(browser_bar_, SW_SHOW);
  if (viewer_bar_) ShowWindow(viewer_bar_, SW_HIDE);
  layout();
  if (!picture_.path().empty()) {
    list_.browse(folder_of(picture_.path()), false);
    list_.select_path(picture_.path());
  }
  if (strip) picture_.set_zoom_mode(2);
  SetFocus(list_);
}

LRESULT CMainWnd::OnBrowseFolder(WPARAM, LPARAM lp) {
  auto path = take_path(lp);
  if (path) list_.browse(with_trailing_slash(*path), true);
  return 0;
}

LRESULT CMainWnd::OnInstanceRequest(WPARAM, LPARAM lp) {
  std::unique_ptr<InstanceRequest> request = TakeInstanceRequest(lp);
  BringToForeground(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(hwnd_) | 1));
  if (!request) return 0;
  // The later start's path (relative to where it was started): a folder is browsed, a picture
  // opened, as at start-up. Options of the later start are not ours to take.
  for (const std::string& arg : request->args) {
    if (arg.empty() || arg[0] == '-') continue;
    const std::string full = absolute_path(arg, request->working_folder);
    struct stat st;
    if (::stat(full.c_str(), &st) != 0) continue;
    if (slideshow_) stop_slideshow();
    if (S_ISDIR(st.st_mode)) {
      if (viewer_) back_to_browser();
      list_.browse(with_trailing_slash(full), true);
    } else {
      list_.browse(folder_of(full), false);
      list_.select_path(full);
      open_viewer(full);
    }
    break;
  }
  return 0;
}

// ---- Keys ----------------------------------------------------------------------------------------

void CMainWnd::OnKeyDown(UINT key, UINT, LPARAM) {
  if (!viewer_ || slideshow_) return;
  switch (key) {
    case VK_UP: picture_.zoom_in(); break;
    case VK_DOWN: picture_.zoom_out(); break;
    case '2': picture_.scroll_by(0, -16); break;
    case '4': picture_.scroll_by(-16, 0); break;
    case '6': picture_.scroll_by(16, 0); break;
    case '8': picture_.scroll_by(0, 16); break;
    default: break;
  }
}

void CMainWnd::OnKeyUp(UINT key, UINT, LPARAM) {
  if (!viewer_ || slideshow_) return;
  switch (key) {
    case VK_LEFT: list_.previous(); break;
    case VK_RIGHT: list_.next(false); break;
    case '1': picture_.rotate(-90); break;
    case '3': picture_.rotate(90); break;
    case '5': picture_.set_zoom_mode(2); break;
    default: break;
  }
}

void CMainWnd::OnChar(UINT key, UINT, LPARAM) {
  if (key != '\r' && key != '\n') return;
  if (slideshow_) stop_slideshow();
  else if (viewer_) back_to_browser();
}

void CMainWnd::OnHotKey(int, UINT modifiers, UINT key) {
  if (key != VK_TBACK) return;
  if (back_key_to_edit(modifiers)) return;
  if (!(modifiers & MOD_KEYUP)) return;
  if (slideshow_) stop_slideshow();
  else if (viewer_) back_to_browser();
  else PostMessage(hwnd_, WM_CLOSE, 0, 0);
}

// ---- Slideshow -----------------------------------------------------------------------------------

void CMainWnd::OnStartSlideshow(UINT) {
  if (slideshow_ || list_.item_count() == 0) return;
  slideshow_ = true;
  picture_.set_slideshow(true, settings_.use_transition);
  GetWindowRect(hwnd_, &saved_rect_);
  std::string path;
  if (current_file(&path)) picture_.set_caption(name_of(path));
  ShowWindow(list_, SW_HIDE);
  if (browser_bar_) ShowWindow(browser_bar_, SW_HIDE);
  if (viewer_bar_) ShowWindow(viewer_bar_, SW_HIDE);
  SHFullScreen(hwnd_, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
  MoveWindow(hwnd_, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
  layout();
  ShowWindow(picture_, SW_SHOW);
  SetFocus(hwnd_);
  if (list_.selected_path(&path)) picture_.load(path, 0, 0, 0);
  update_page_items();
  SetTimer(hwnd_, kSlideshowTimer, settings_.delay * 1000, nullptr);
}

void CMainWnd::OnTimer(UINT id) {
  if (id == kSlideshowTimer) slideshow_step();
}

void CMainWnd::slideshow_step() {
  KillTimer(hwnd_, kSlideshowTimer);
  if (!slideshow_) return;
  // The list posts UM_SHOW_FILE, which loads the picture and arms the timer again, so the delay
  // counts from the end of the transition.
  if (!list_.next(true)) SetTimer(hwnd_, kSlideshowTimer, settings_.delay * 1000, nullptr);
}

void CMainWnd::stop_slideshow() {
  KillTimer(hwnd_, kSlideshowTimer);
  if (!slideshow_) return;
  slideshow_ = false;
  picture_.set_slideshow(false, settings_.use_transition);
  picture_.set_caption("");
  if (browser_bar_) ShowWindow(browser_bar_, viewer_ ? SW_HIDE : SW_SHOW);
  if (viewer_bar_) ShowWindow(viewer_bar_, viewer_ ? SW_SHOW : SW_HIDE);
  SHFullScreen(hwnd_, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
  MoveWindow(hwnd_, saved_rect_.left, saved_rect_.top, saved_rect_.right - saved_rect_.left,
             saved_rect_.bottom - saved_rect_.top, TRUE);
  if (!viewer_) {
    ShowWindow(list_, SW_SHOW);
    ShowWindow(picture_, list_.view_mode() == 1 ? SW_SHOW : SW_HIDE);
  }
  layout();
  SetFocus(viewer_ ? hwnd_ : list_.hwnd());
}

// ---- Browser commands ----------------------------------------------------------------------------

void CMainWnd::set_view_mode(int mode) {
  if (browser_bar_) ShowWindow(browser_bar_, SW_SHOW);
  if (viewer_bar_) ShowWindow(viewer_bar_, SW_HIDE);
  picture_.set_caption("");
  list_.set_view_mode(mode);
  ShowWindow(list_, SW_SHOW);
  if (mode == 1) {
    ShowWindow(picture_, SW_SHOW);
    std::string sel;
    if (list_.selected_path(&sel)) load_into_picture(sel, 0, 0);
    picture_.set_zoom_mode(2);
  } else {
    ShowWindow(picture_, SW_HIDE);
  }
  update_page_items();
  SetFocus(list_);
  layout();
}

void CMainWnd::OnViewMode(UINT id) {
  static constexpr int kMode[] = {0, 2, 3, 1};  // Thumbnails, List, Details, Strip
  const int mode = kMode[id - ID_VIEW_THUMBNAILS];
  settings_.mode = static_cast<uint32_t>(mode);
  set_view_mode(mode);
  check_radio(bar_menu(browser_bar_), ID_VIEW_THUMBNAILS, ID_VIEW_STRIP, id);
}

void CMainWnd::OnSortKey(UINT id) {
  const uint32_t value = (list_.sort() & 0x1000) | (id - ID_SORT_NAME);
  list_.set_sort(value);
  check_radio(bar_menu(browser_bar_), ID_SORT_NAME, ID_SORT_RESOLUTION, id);
}

void CMainWnd::OnSortDirection(UINT id) {
  uint32_t value = list_.sort() & ~0x1000u;
  if (id == ID_SORT_DESCENDING) value |= 0x1000;
  list_.set_sort(value);
  check_radio(bar_menu(browser_bar_), ID_SORT_ASCENDING, ID_SORT_DESCENDING, id);
}

void CMainWnd::OnThumbSize(UINT id) {
  const int choice = static_cast<int>(id - ID_THUMB_SMALL);
  list_.set_thumbnail_size(thumbnail_side(choice, dpi_x_), thumbnail_side(choice, dpi_y_));
  check_radio(bar_menu(browser_bar_), ID_THUMB_SMALL, ID_THUMB_LARGE, id);
  layout();
}

void CMainWnd::OnShowFilename(UINT) {
  const bool on = !list_.show_filename();
  list_.set_show_filename(on);
  if (HMENU bm = bar_menu(browser_bar_)) CheckMenuItem(bm, ID_SHOW_FILENAME, on ? MF_CHECKED : MF_UNCHECKED);
}

void CMainWnd::OnOpenFolder(UINT) {
  std::string folder = list_.folder();
  if (choose_folder(hwnd_, &folder)) list_.browse(with_trailing_slash(folder), true);
}

// ---- Viewer commands -----------------------------------------------------------------------------

void CMainWnd::OnZoom(UINT id) {
  if (id == ID_ZOOM_FIT) {
    picture_.set_zoom_mode(1);
  } else if (id == ID_ZOOM_FILL) {
    picture_.set_zoom_mode(2);
  } else {
    picture_.set_zoom(kZoomOfCommand[id - ID_ZOOM_25]);
  }
  check_radio(bar_menu(viewer_bar_), ID_ZOOM_FIT, ID_ZOOM_300, id);
}

void CMainWnd::OnRotate(UINT id) {
  static constexpr int kAngle[] = {-90, 180, 90};  // Left, 180, Right
  picture_.rotate(kAngle[id - ID_ROTATE_LEFT]);
}

void CMainWnd::OnRotateAuto(UINT) {
  HMENU vm = bar_menu(viewer_bar_);
  const bool on = picture_.rotation_mode() == 0;
  // Turning it on takes the rotation of the settings (auto left when the settings say none).
  picture_.set_rotation_mode(on ? (settings_.rotate != 0 ? static_cast<int>(settings_.rotate) : 1) : 0);
  if (vm) CheckMenuItem(vm, ID_ROTATE_AUTO, on ? MF_CHECKED : MF_UNCHECKED);
}

void CMainWnd::OnPage(UINT id) {
  if (id == ID_PAGE_NEXT) picture_.next_page();
  else picture_.previous_page();
  update_page_items();
}

void CMainWnd::OnBrowse(UINT) {
  if (viewer_) back_to_browser();
}

void CMainWnd::OnResize(UINT) {
  const lumora::Bitmap* pic = picture_.picture();
  if (!pic) return;
  int w = pic->width, h = pic->height;
  if (run_resize_dialog(hwnd_, &w, &h)) picture_.resize(w, h);
}

void CMainWnd::OnAdjust(UINT) {
  if (picture_.picture()) run_adjust_dialog(hwnd_, &picture_);
}

void CMainWnd::OnSaveAs(UINT) {
  if (picture_.picture()) run_save_as(hwnd_, picture_.path(), &picture_, &settings_.save_options);
}

// ---- Both bars -----------------------------------------------------------------------------------

void CMainWnd::OnProperties(UINT) {
  std::vector<std::string> paths;
  const int n = list_.item_count();
  paths.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) paths.push_back(list_.item_path(i));
  int start = list_.selected_index();
  std::string current;
  if (viewer_ && current_file(&current)) {
    start = -1;
    for (int i = 0; i < n; ++i)
      if (paths[static_cast<size_t>(i)] == current) start = i;
    if (start < 0) {
      paths.insert(paths.begin(), current);
      start = 0;
    }
  }
  if (paths.empty() || start < 0) return;
  show_properties(hwnd_, paths, start);
}

void CMainWnd::OnQuit(UINT) { DestroyWindow(hwnd_); }

void CMainWnd::OnFileOperation(UINT id) {
  std::string path;
  if (!current_file(&path)) return;
  switch (id) {
    case ID_COPY_TO:
    case ID_MOVE_TO: {
      std::string folder = folder_of(path);
      if (!choose_folder(hwnd_, &folder)) return;
      if (id == ID_COPY_TO) copy_to(hwnd_, path, with_trailing_slash(folder));
      else move_to(hwnd_, path, with_trailing_slash(folder));
      break;
    }
    case ID_RENAME: {
      std::string new_path;
      if (run_rename_dialog(hwnd_, path, &new_path) && new_path != path) rename_to(hwnd_, path, new_path);
      break;
    }
    case ID_DELETE:
      delete_to_trash(hwnd_, path);
      break;
    default:
      break;
  }
}

void CMainWnd::OnSendMail(UINT) {
  std::string path;
  if (current_file(&path)) send_file_by_mail(hwnd_, path);
}

void CMainWnd::OnAbout(UINT) { show_about(hwnd_); }

void CMainWnd::OnOptions(UINT) {
  run_options(hwnd_, &settings_);
  list_.set_high_quality(settings_.high_quality);
  list_.set_use_embedded(settings_.use_embedded);
  list_.set_exif_rotate(settings_.exif_rotate);
  list_.set_use_cache(settings_.thumb_cache);
  picture_.set_exif_rotate(settings_.exif_rotate);
  apply_picture_limits();
}

// ---- Shut-down -----------------------------------------------------------------------------------

void CMainWnd::OnDestroy() {
  KillTimer(hwnd_, kSlideshowTimer);
  reg_write_string(nullptr, "Language", the_language().name());
  the_language().close();

  settings_.path = list_.folder().empty() ? settings_.path : list_.folder();
  const int small = thumbnail_side(0, dpi_x_), large = thumbnail_side(2, dpi_x_);
  settings_.thumb_size = list_.thumbnail_width() == small ? 0 : list_.thumbnail_width() == large ? 2 : 1;
  settings_.show_filename = list_.show_filename();
  settings_.sort_by = list_.sort();
  settings_.mode = static_cast<uint32_t>(list_.view_mode());
  settings_.fit = picture_.zoom_mode() == 1 ? 1 : 2;
  settings_.save();

  list_.stop_worker();
  list_.destroy();
  if (browser_bar_ && IsWindow(browser_bar_)) DestroyWindow(browser_bar_);
  if (viewer_bar_ && IsWindow(viewer_bar_)) DestroyWindow(viewer_bar_);
  browser_bar_ = viewer_bar_ = nullptr;
  // Paths and later starts' command lines still queued for this window are owned by their
  // handlers, which will not run now.
  MSG m;
  for (UINT msg : {UM_BROWSE_FOLDER, UM_SHOW_FILE, UM_OPEN_VIEWER})
    while (PeekMessage(&m, hwnd_, msg, msg, PM_REMOVE)) take_path(m.lParam);
  while (PeekMessage(&m, hwnd_, WM_INSTANCE_REQUEST, WM_INSTANCE_REQUEST, PM_REMOVE)) TakeInstanceRequest(m.lParam);
  PostQuitMessage(0);
}

}  // namespace lumora::app
