// CThumbView: the list control, its modes, the items it shows from the folder list, the selection,
// the worker's results and the folder's change events. Drawing is in thumb_draw.cpp.
#include "app/browser/thumb_view.h"

#include <algorithm>
#include <memory>

#include "app/shell/language.h"
#include "app/shell/resource.h"
#include "app/viewer/screen_conv.h"

namespace lumora::app {

namespace {

constexpr int kColumns = 5;
constexpr DWORD kModeStyleBits =
    LVS_TYPEMASK | LVS_ALIGNLEFT | LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER | WS_HSCROLL | WS_VSCROLL;

struct ColumnDef {
  UINT title;
  int format;
};
constexpr ColumnDef kColumnDefs[kColumns] = {
    {IDS_NAME, LVCFMT_LEFT}, {IDS_PROPERTIES, LVCFMT_LEFT}, {IDS_TYPE, LVCFMT_RIGHT},
    {IDS_SIZE, LVCFMT_RIGHT}, {IDS_DATE, LVCFMT_RIGHT},
};

DWORD style_for_mode(int mode) {
  switch (mode) {
    case 1: return LVS_ICON | LVS_ALIGNLEFT | WS_HSCROLL;
    case 2: return LVS_REPORT;
    case 3: return LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_OWNERDRAWFIXED;
    default: return LVS_ICON;
  }
}

void set_text(HWND lv, int index, int column, const std::string& text) {
  LVITEM it;
  it.iSubItem = column;
  it.pszText = const_cast<char*>(text.c_str());
  SendMessage(lv, LVM_SETITEMTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&it));
}

int text_height(HDC dc, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  return tm.tmHeight;
}

}  // namespace

LUMORA_BEGIN_MESSAGE_TABLE(CThumbView)
  ON_DESTROY(OnDestroy)
  ON_MESSAGE(UM_THUMB_READY, OnThumbReady)
  ON_MESSAGE(UM_THUMBS_DONE, OnThumbsDone)
  ON_MESSAGE(UM_THUMB_PROBLEM, OnThumbProblem)
  ON_MESSAGE(UM_VISIBLE_CHANGED, OnVisibleChanged)
  ON_MESSAGE(WM_FILECHANGEINFO, OnFileChange)
  ON_SIZE(OnSize)
  ON_VSCROLL(OnScroll)
  ON_HSCROLL(OnScroll)
LUMORA_END_MESSAGE_TABLE()

CThumbView::CThumbView() = default;

CThumbView::~CThumbView() {
  destroy();  // runs OnDestroy while this object is still whole
  stop_worker();
  delete_thumbnails();
  destroy_image_lists();
  if (bold_font_) DeleteObject(bold_font_);
  if (normal_font_) DeleteObject(normal_font_);
  bold_font_ = normal_font_ = nullptr;
}

// ---- Creation --------------------------------------------------------------------------------

bool CThumbView::create(HWND parent, DWORD style, int id) {
  RECT r{};
  GetClientRect(parent, &r);
  HWND lv = CreateWindowEx(0, WC_LISTVIEW, "", WS_CHILD | (style & ~kModeStyleBits) | style_for_mode(view_mode_), 0,
                           0, r.right, r.bottom, parent, static_cast<HMENU>(id), nullptr, nullptr);
  if (!lv || !subclass(lv)) return false;
  HDC screen = GetDC(nullptr);
  dpi_x_ = GetDeviceCaps(screen, LOGPIXELSX);
  dpi_y_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  screen_bits_ = screen_bits_per_pixel();
  create_fonts();
  build_image_lists();
  const int narrow = static_cast<int>(SendMessage(hwnd_, LVM_GETSTRINGWIDTH, 0, reinterpret_cast<LPARAM>("XXXXXX")));
  for (int c = 0; c < kColumns; ++c) {
    std::string title = load_string(kColumnDefs[c].title);
    LVCOLUMN col;
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.fmt = kColumnDefs[c].format;
    col.cx = c == 0 ? 116 : narrow;
    col.pszText = title.data();
    SendMessage(hwnd_, LVM_INSERTCOLUMN, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
  }
  SendMessage(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  apply_style();
  return true;
}

void CThumbView::create_fonts() {
  const int height = -(8 * dpi_y_ / 72);
  bold_font_ = CreateFont(height, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, "MS Sans Serif");
  normal_font_ =
      CreateFont(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, "MS Sans Serif");
  HDC dc = GetDC(hwnd_);
  text_height_ = text_height(dc, bold_font_);
  ReleaseDC(hwnd_, dc);
}

// The image lists only size the items: the view draws every thumbnail itself.
void CThumbView::build_image_lists() {
  if (!hwnd_) return;
  HDC dc = GetDC(hwnd_);
  auto font = reinterpret_cast<HFONT>(SendMessage(hwnd_, WM_GETFONT, 0, 0));
  const int t = text_height(dc, font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  ReleaseDC(hwnd_, dc);
  const int b = text_height_, tw = thumb_width_, th = thumb_height_;
  const int icon_cy = show_filename_ ? th - t + 17 + (b - t) : th - t + 17 - t;
  HIMAGELIST thumbs = ImageList_Create(tw + 3, std::max(1, icon_cy), ILC_COLOR16, 0, 1);
  HIMAGELIST pixel = ImageList_Create(1, 1, ILC_COLOR16, 0, 1);
  HIMAGELIST details =
      ImageList_Create(std::max(1, tw - 8), std::max(th, (60 * dpi_y_ + 48) / 96) + 4, ILC_COLOR16, 0, 1);
  const int spacing_x = tw + 3 + ((dpi_x_ + 8) * 6) / 96;
  item_height_ = th + 8 + (show_filename_ ? b : 0);
  SendMessage(hwnd_, LVM_SETICONSPACING, 0, MAKELPARAM(spacing_x, item_height_));
  HIMAGELIST old[] = {thumb_images_, pixel_images_, details_images_};
  thumb_images_ = thumbs;
  pixel_images_ = pixel;
  details_images_ = details;
  apply_style();  // attaches the new lists
  for (HIMAGELIST il : old)
    if (il) ImageList_Destroy(il);
  // New cells move the items: the selected one stays in sight.
  if (int sel = selected_index(); sel >= 0) SendMessage(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(sel), FALSE);
}

void CThumbView::destroy_image_lists() {
  if (hwnd_) {
    SendMessage(hwnd_, LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
    SendMessage(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
  }
  for (HIMAGELIST* il : {&thumb_images_, &pixel_images_, &details_images_}) {
    if (*il) ImageList_Destroy(*il);
    *il = nullptr;
  }
}

void CThumbView::apply_style() {
  if (!hwnd_) return;
  DWORD style = static_cast<DWORD>(GetWindowLongPtr(hwnd_, GWL_STYLE)) & ~kModeStyleBits;
  SetWindowLongPtr(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(style | style_for_mode(view_mode_)));
  const bool tiles = view_mode_ == 0 || view_mode_ == 1;
  SendMessage(hwnd_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(tiles ? thumb_images_ : nullptr));
  SendMessage(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL,
              reinterpret_cast<LPARAM>(view_mode_ == 3 ? details_images_ : pixel_images_));
}

// ---- Browsing and the items ------------------------------------------------------------------

const std::string& CThumbView::folder() const { return list_.folder(); }

bool CThumbView::browse(const std::string& folder, bool select_first) {
  std::string wanted = folder.empty() || folder.back() != '/' ? folder + "/" : folder;
  if (wanted == list_.folder()) return false;
  watch(false);
  stop_worker();
  delete_thumbnails();
  problem_reported_ = false;
  list_.scan(wanted);  // a folder that cannot be listed shows empty
  fill_control();
  if (select_first && !list_.empty()) select_index(0, true);
  watch(true);
  start_worker();
  return true;
}

void CThumbView::fill_control() {
  if (!hwnd_) return;
  units_ = size_units_from_language();
  SendMessage(hwnd_, WM_SETREDRAW, FALSE, 0);
  quiet_ = true;
  SendMessage(hwnd_, LVM_DELETEALLITEMS, 0, 0);
  SendMessage(hwnd_, LVM_SETITEMCOUNT, list_.size(), 0);
  for (size_t i = 0; i < list_.size(); ++i) {
    const FileItem& it = list_.item(i);
    UINT state = it.selected ? LVIS_SELECTED : 0;
    if (static_cast<int>(i) == list_.mark()) state |= LVIS_FOCUSED;
    insert_control_item(static_cast<int>(i), state);
  }
  if (list_.mark() >= 0) SendMessage(hwnd_, LVM_SETSELECTIONMARK, 0, list_.mark());
  quiet_ = false;
  SendMessage(hwnd_, WM_SETREDRAW, TRUE, 0);
  if (list_.mark() >= 0) SendMessage(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(list_.mark()), FALSE);
  InvalidateRect(hwnd_, nullptr, TRUE);
  UpdateWindow(hwnd_);
}

void CThumbView::insert_control_item(int index, UINT state) {
  const FileItem& it = list_.item(static_cast<size_t>(index));
  std::string name = view_mode_ == 2 ? shown_name(it) : std::string();
  LVITEM item;
  item.mask = LVIF_TEXT | LVIF_STATE;
  item.iItem = index;
  item.pszText = name.data();
  item.state = state;
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessage(hwnd_, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
  if (it.info_known) {
    set_item_texts(index);
  } else {
    set_text(hwnd_, index, 3, size_text(it.size, units_));
    set_text(hwnd_, index, 4, date_text(it.write_time_ns, date_locale()));
  }
}

void CThumbView::set_item_texts(int index) {
  auto texts = details_texts(list_.item(static_cast<size_t>(index)), units_, date_locale());
  for (int c = 0; c < 4; ++c) set_text(hwnd_, index, c + 1, texts[static_cast<size_t>(c)]);
}

std::string CThumbView::shown_name(const FileItem& item) const {
  if (show_extension_) return item.name;
  size_t dot = item.name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? item.name : item.name.substr(0, dot);
}

// In list mode the control draws column 0 itself; elsewhere the view draws the names.
void CThumbView::set_column0_texts() {
  for (size_t i = 0; i < list_.size(); ++i)
    set_text(hwnd_, static_cast<int>(i), 0, view_mode_ == 2 ? shown_name(list_.item(i)) : std::string());
}

int CThumbView::item_count() const { return static_cast<int>(list_.size()); }

std::string CThumbView::item_path(int index) const {
  return index >= 0 && static_cast<size_t>(index) < list_.size() ? list_.item(static_cast<size_t>(index)).path()
                                                                  : std::string();
}

HBITMAP CThumbView::thumbnail(int index, int* width, int* height) const {
  if (index < 0 || static_cast<size_t>(index) >= list_.size()) return nullptr;
  auto found = thumbs_.find(list_.item(static_cast<size_t>(index)).id);
  if (found == thumbs_.end()) return nullptr;
  if (width) *width = found->second.width;
  if (height) *height = found->second.height;
  return found->second.bitmap;
}

void CThumbView::delete_thumbnails() {
  for (auto& [id, t] : thumbs_)
    if (t.bitmap) DeleteObject(t.bitmap);
  thumbs_.clear();
}

// ---- Modes, sizes, options -------------------------------------------------------------------

int CThumbView::view_mode() const { return view_mode_; }

void CThumbView::set_view_mode(int mode) {
  if (mode < 0 || mode > 3) mode = 0;
  const int old = view_mode_;
  // The list mode's column widths are kept while another mode shows.
  if (hwnd_ && old == 2 && mode != 2 && !list_.empty()) {
    for (int c = 0; c < kColumns; ++c)
      list_widths_[static_cast<size_t>(c)] = static_cast<int>(SendMessage(hwnd_, LVM_GETCOLUMNWIDTH, c, 0));
    list_widths_saved_ = true;
  }
  view_mode_ = mode;
  if (!hwnd_) return;
  SendMessage(hwnd_, WM_SETREDRAW, FALSE, 0);
  apply_style();
  set_column0_texts();
  set_column_widths();
  SendMessage(hwnd_, WM_SETREDRAW, TRUE, 0);
  int sel = selected_index();
  if (sel >= 0) SendMessage(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(sel), FALSE);
  InvalidateRect(hwnd_, nullptr, TRUE);
  schedule_visible_update();
}

void CThumbView::set_column_widths() {
  if (view_mode_ == 3) {
    for (int c = 1; c < kColumns; ++c) SendMessage(hwnd_, LVM_SETCOLUMNWIDTH, c, 0);
    RECT r{};
    GetClientRect(hwnd_, &r);
    SendMessage(hwnd_, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(std::max(0, r.right - GetSystemMetrics(SM_CXVSCROLL)), 0));
    return;
  }
  if (view_mode_ != 2) return;  // the tile modes show no columns
  if (list_.empty()) {
    for (int c = 0; c < kColumns; ++c) SendMessage(hwnd_, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
  } else if (list_widths_saved_) {
    for (int c = 0; c < kColumns; ++c)
      SendMessage(hwnd_, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(list_widths_[static_cast<size_t>(c)], 0));
  } else {
    for (int c = 0; c < kColumns; ++c) SendMessage(hwnd_, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(LVSCW_AUTOSIZE, 0));
  }
}

void CThumbView::set_thumbnail_size(int width, int height) {
  if (width <= 0 || height <= 0) return;
  stop_worker();
  thumb_width_ = width;
  thumb_height_ = height;
  build_image_lists();
  delete_thumbnails();
  for (size_t i = 0; i < list_.size(); ++i) list_.item(i).info_known = false;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
  start_worker();
}

int CThumbView::thumbnail_width() const { return thumb_width_; }
int CThumbView::thumbnail_height() const { return thumb_height_; }

void CThumbView::set_show_filename(bool on) {
  if (on == show_filename_) return;
  show_filename_ = on;
  build_image_lists();
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
  schedule_visible_update();
}

bool CThumbView::show_filename() const { return show_filename_; }

void CThumbView::set_show_extension(bool on) {
  if (on == show_extension_) return;
  show_extension_ = on;
  if (!hwnd_) return;
  if (view_mode_ == 2) set_column0_texts();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void CThumbView::set_sort(uint32_t sort_value) {
  stop_worker();
  sync_selection_to_list();
  list_.sort(sort_value);
  fill_control();
  start_worker();
}

uint32_t CThumbView::sort() const { return list_.sort_value(); }

// The loader options take effect for the thumbnails made from now on.
void CThumbView::set_high_quality(bool on) { high_quality_ = on; }
void CThumbView::set_use_embedded(bool on) { use_embedded_ = on; }
void CThumbView::set_exif_rotate(bool on) { exif_rotate_ = on; }
void CThumbView::set_use_cache(bool on) { use_cache_ = on; }

int CThumbView::strip_height() const { return thumb_height_ + GetSystemMetrics(SM_CYHSCROLL) + 3; }

// ---- Selection -------------------------------------------------------------------------------

int CThumbView::selected_index() const {
  if (!hwnd_) return -1;
  return static_cast<int>(SendMessage(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool CThumbView::selected_path(std::string* path) const {
  int i = selected_index();
  if (path) *path = i >= 0 ? item_path(i) : std::string();
  return i >= 0;
}

UINT CThumbView::item_state(int index) const {
  return static_cast<UINT>(SendMessage(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED | LVIS_FOCUSED));
}

// Selects and focuses one item alone; notify: the parent hears of it (UM_SHOW_FILE).
void CThumbView::select_index(int index, bool notify) {
  if (!hwnd_ || index < 0 || index >= item_count()) return;
  const bool was_quiet = quiet_;
  quiet_ = true;
  for (int i = selected_index(); i >= 0;
       i = static_cast<int>(SendMessage(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) {
    if (i == index) continue;
    LVITEM off;
    off.stateMask = LVIS_SELECTED;
    SendMessage(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&off));
  }
  quiet_ = was_quiet || !notify;
  LVITEM on;
  on.state = on.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessage(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&on));
  quiet_ = was_quiet;
  SendMessage(hwnd_, LVM_SETSELECTIONMARK, 0, index);
  SendMessage(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
  list_.set_mark(index);
}

int CThumbView::select_path(const std::string& path) {
  int i = list_.find_by_path(path);
  if (i >= 0) select_index(i, true);
  return i;
}

bool CThumbView::next(bool wrap) {
  const int n = item_count();
  if (n == 0) return false;
  const int sel = selected_index();
  int to = sel < 0 ? 0 : sel + 1;
  if (to >= n) to = wrap ? 0 : n - 1;
  if (to == sel) return false;
  quiet_ = true;
  select_index(to, false);
  quiet_ = false;
  post_path(UM_SHOW_FILE, to);
  return true;
}

bool CThumbView::previous() {
  if (item_count() == 0) return false;
  const int sel = selected_index();
  const int to = sel >= 1 ? sel - 1 : 0;
  if (to == sel) return false;
  quiet_ = true;
  select_index(to, false);
  quiet_ = false;
  post_path(UM_SHOW_FILE, to);
  return true;
}

// The control's selection into the folder list, so that it follows its files through a change.
void CThumbView::sync_selection_to_list() {
  if (!hwnd_) return;
  for (size_t i = 0; i < list_.size(); ++i) list_.item(i).selected = false;
  for (int i = selected_index(); i >= 0;
       i = static_cast<int>(SendMessage(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED)))
    list_.item(static_cast<size_t>(i)).selected = true;
  int mark = static_cast<int>(SendMessage(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  list_.set_mark(mark >= 0 ? mark : selected_index());
}

void CThumbView::post_path(UINT msg, int index) {
  if (index < 0 || index >= item_count()) return;
  HWND parent = GetParent(hwnd_);
  auto* path = new std::string(item_path(index));
  if (!parent || !PostMessage(parent, msg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(path))) delete path;
}

// ---- Notifications from the control (through the parent) --------------------------------------

LRESULT CThumbView::on_parent_notify(NMHDR* hdr) {
  if (!hdr || hdr->hwndFrom != hwnd_) return 0;
  switch (hdr->code) {
    case LVN_ITEMACTIVATE:
      post_path(UM_OPEN_VIEWER, reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem);
      return 0;
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      const bool newly_selected = (nm->uNewState & LVIS_SELECTED) && !(nm->uOldState & LVIS_SELECTED);
      if (newly_selected && (nm->uChanged & LVIF_STATE) && !quiet_) post_path(UM_SHOW_FILE, nm->iItem);
      schedule_visible_update();
      return 0;
    }
    case LVN_ITEMCHANGING:
      return 0;
    case NM_CUSTOMDRAW:
      return custom_draw(reinterpret_cast<NMLVCUSTOMDRAW*>(hdr));
    default:
      return 0;
  }
}

LRESULT CThumbView::on_parent_draw_item(WPARAM, LPARAM lp) {
  auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
  if (!di || di->hwndItem != hwnd_) return FALSE;
  draw_details_row(*di);
  return TRUE;
}

// ---- The worker ------------------------------------------------------------------------------

void CThumbView::start_worker() {
  if (!hwnd_ || worker_.running() || list_.empty()) return;
  std::vector<ThumbJob> jobs(list_.size());
  bool any = false;
  for (size_t i = 0; i < list_.size(); ++i) {
    const FileItem& it = list_.item(i);
    jobs[i].id = it.id;
    if (thumbs_.count(it.id)) continue;  // made already: the path stays empty
    jobs[i].path = it.path();
    any = true;
  }
  if (!any) return;
  PictureRequest request;
  request.mode = PictureLoadMode::Thumbnail;
  request.max_width = thumb_width_;
  request.max_height = thumb_height_;
  request.high_quality = high_quality_;
  request.use_embedded = use_embedded_;
  request.exif_rotate = exif_rotate_;
  request.use_cache = use_cache_;
  int first = 0, count = 0;
  visible_range(&first, &count);
  worker_.start(hwnd_, std::move(jobs), request, screen_bits_, first, count);
}

void CThumbView::stop_worker() { worker_.stop(); }

LRESULT CThumbView::OnThumbReady(WPARAM wp, LPARAM lp) {
  std::unique_ptr<ThumbResult> r(reinterpret_cast<ThumbResult*>(lp));
  if (!r) return 0;
  int i = static_cast<int>(wp);
  if (i < 0 || i >= item_count() || list_.item(static_cast<size_t>(i)).id != r->id) i = list_.find_by_id(r->id);
  if (i < 0) return 0;
  FileItem& item = list_.item(static_cast<size_t>(i));
  if (r->loaded) {
    item.set_facts(r->info);
    set_item_texts(i);
  }
  if (r->bitmap) {
    Thumb& t = thumbs_[item.id];
    if (t.bitmap) DeleteObject(t.bitmap);
    t.width = r->width;
    t.height = r->height;
    t.bitmap = r->take_bitmap();
  }
  invalidate_item(i);
  if (r->bitmap_failed && !problem_reported_) {
    problem_reported_ = true;
    auto* path = new std::string(r->path);
    if (!PostMessage(hwnd_, UM_THUMB_PROBLEM, 0, reinterpret_cast<LPARAM>(path))) delete path;
  }
  return 0;
}

// The last result came before this message: the finished thread's handles can go.
LRESULT CThumbView::OnThumbsDone(WPARAM, LPARAM) {
  worker_.stop();
  return 0;
}

// Told once per folder, on the user-interface thread, so that a folder of such pictures does not
// bury the user under one box per file.
LRESULT CThumbView::OnThumbProblem(WPARAM, LPARAM lp) {
  std::unique_ptr<std::string> path(reinterpret_cast<std::string*>(lp));
  if (!path) return 0;
  MessageBox(GetParent(hwnd_), "The thumbnail of " + *path +
                                   " cannot be shown: there is not enough memory to prepare it for the screen.",
             "Thumbnails", MB_OK | MB_ICONEXCLAMATION);
  return 0;
}

void CThumbView::invalidate_item(int index) {
  RECT r{};
  r.left = LVIR_BOUNDS;
  if (SendMessage(hwnd_, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)))
    InvalidateRect(hwnd_, &r, FALSE);
}

void CThumbView::visible_range(int* first, int* count) const {
  *first = static_cast<int>(SendMessage(hwnd_, LVM_GETTOPINDEX, 0, 0));
  // One more line of items: a partly shown line counts as shown.
  int per_page = static_cast<int>(SendMessage(hwnd_, LVM_GETCOUNTPERPAGE, 0, 0));
  *count = per_page + std::max(1, per_page / 2);
}

void CThumbView::schedule_visible_update() {
  if (!hwnd_ || visible_update_posted_) return;
  visible_update_posted_ = PostMessage(hwnd_, UM_VISIBLE_CHANGED, 0, 0) != FALSE;
}

LRESULT CThumbView::OnVisibleChanged(WPARAM, LPARAM) {
  visible_update_posted_ = false;
  if (!worker_.running()) return 0;
  int first = 0, count = 0;
  visible_range(&first, &count);
  worker_.prefer(first, count);
  return 0;
}

void CThumbView::OnSize(UINT, int, int) {
  schedule_visible_update();
  if (view_mode_ == 3) set_column_widths();
}

void CThumbView::OnScroll(int, int, HWND) { schedule_visible_update(); }

// ---- File-system changes ---------------------------------------------------------------------

void CThumbView::watch(bool on) {
  if (!hwnd_) return;
  if (!on) {
    watcher_.Unwatch("");
    return;
  }
  if (list_.folder().empty()) return;
  if (!watcher_started_) watcher_started_ = watcher_.Start(hwnd_);
  watcher_.Watch(list_.folder());
}

LRESULT CThumbView::OnFileChange(WPARAM, LPARAM lp) {
  auto* n = reinterpret_cast<FILECHANGENOTIFY*>(lp);
  if (!n) return 0;
  const FILECHANGEINFO change = n->fci;
  SHChangeNotifyFree(n);

  const int before = list_.find_by_path(change.dwItem1);
  const uint32_t before_id = before >= 0 ? list_.item(static_cast<size_t>(before)).id : 0;
  const bool before_selected = before >= 0 && (item_state(before) & LVIS_SELECTED);
  std::string selected;
  selected_path(&selected);

  stop_worker();
  sync_selection_to_list();
  ListChange c = list_.apply_change(change);
  switch (c.kind) {
    case ListChange::Kind::None:
      break;
    case ListChange::Kind::Inserted:
      insert_control_item(c.index, 0);
      break;
    case ListChange::Kind::Removed:
      if (auto t = thumbs_.find(before_id); t != thumbs_.end()) {
        if (t->second.bitmap) DeleteObject(t->second.bitmap);
        thumbs_.erase(t);
      }
      remove_item(c.index, before_selected);
      break;
    case ListChange::Kind::Updated:
    case ListChange::Kind::Moved: {
      const FileItem& it = list_.item(static_cast<size_t>(c.index));
      if (!it.info_known) {  // the file was written again: its thumbnail is out of date
        if (auto t = thumbs_.find(it.id); t != thumbs_.end()) {
          if (t->second.bitmap) DeleteObject(t->second.bitmap);
          thumbs_.erase(t);
        }
      }
      if (c.kind == ListChange::Kind::Moved) {
        const UINT state = item_state(c.from);
        quiet_ = true;
        SendMessage(hwnd_, LVM_DELETEITEM, static_cast<WPARAM>(c.from), 0);
        insert_control_item(c.index, state);
        quiet_ = false;
        if (state & LVIS_FOCUSED) SendMessage(hwnd_, LVM_SETSELECTIONMARK, 0, c.index);
      } else {
        set_text(hwnd_, c.index, 0, view_mode_ == 2 ? shown_name(it) : std::string());
        if (it.info_known) {
          set_item_texts(c.index);
        } else {
          for (int col = 1; col <= 2; ++col) set_text(hwnd_, c.index, col, std::string());
          set_text(hwnd_, c.index, 3, size_text(it.size, units_));
          set_text(hwnd_, c.index, 4, date_text(it.write_time_ns, date_locale()));
        }
        invalidate_item(c.index);
      }
      // A renamed file that is shown must be shown under its new path.
      if (item_state(c.index) & LVIS_SELECTED) {
        SendMessage(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(c.index), FALSE);
        if (list_.item(static_cast<size_t>(c.index)).path() != selected) post_path(UM_SHOW_FILE, c.index);
      }
      break;
    }
    case ListChange::Kind::Reset: {
      // A rename over a listed file: that file's thumbnail has no item any more.
      std::unordered_map<uint32_t, Thumb> kept;
      for (size_t i = 0; i < list_.size(); ++i)
        if (auto t = thumbs_.find(list_.item(i).id); t != thumbs_.end()) kept.insert(thumbs_.extract(t));
      delete_thumbnails();
      thumbs_ = std::move(kept);
      fill_control();
      break;
    }
    case ListChange::Kind::Rescan: {
      const std::string folder = list_.folder();
      delete_thumbnails();
      list_.scan(folder);
      fill_control();
      if (int i = list_.find_by_path(selected); i >= 0) select_index(i, false);
      break;
    }
  }
  start_worker();
  return 0;
}

// A deleted or moved-out file leaves the list; when it was selected, the selection goes to the
// file that took its place (or the new last one), and the parent shows that file.
void CThumbView::remove_item(int index, bool was_selected) {
  quiet_ = true;
  SendMessage(hwnd_, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
  quiet_ = false;
  const int n = item_count();
  if (!was_selected || n == 0) return;
  select_index(std::min(index, n - 1), true);
}

void CThumbView::OnDestroy() {
  watch(false);
  watcher_.Stop();
  watcher_started_ = false;
  stop_worker();
  destroy_image_lists();
  if (bold_font_) DeleteObject(bold_font_);
  if (normal_font_) DeleteObject(normal_font_);
  bold_font_ = normal_font_ = nullptr;
  delete_thumbnails();
  // Messages still queued carry heap payloads that only their handler would have released; the
  // worker and the watcher are stopped above, so nothing more can be posted.
  MSG m;
  while (PeekMessage(&m, hwnd_, UM_THUMB_PROBLEM, UM_THUMB_PROBLEM, PM_REMOVE))
    delete reinterpret_cast<std::string*>(m.lParam);
  while (PeekMessage(&m, hwnd_, WM_FILECHANGEINFO, WM_FILECHANGEINFO, PM_REMOVE))
    SHChangeNotifyFree(reinterpret_cast<FILECHANGENOTIFY*>(m.lParam));
}

}  // namespace lumora::app
