#include "app/dialogs/properties_dialog.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstdio>

#include "app/browser/detail_texts.h"
#include "app/dialogs/dialogs.h"
#include "app/shell/language.h"
#include "app/shell/paths.h"
#include "app/shell/resource.h"
#include "imagelib/core/load.h"
#include "imagelib/metadata/exif.h"
#include "imagelib/metadata/iptc.h"
#include "platform/base/utf8.h"

namespace lumora::app {

namespace {

constexpr int kListIds[] = {IDC_INFO_LIST, IDC_IPTC_LIST, IDC_EXIF_LIST};
constexpr UINT kPageCommands[] = {ID_PROP_INFO, ID_PROP_IPTC, ID_PROP_EXIF};
constexpr size_t kMaxMetadataChars = 128;

// What the Info page reads of a file: its facts without decoding pixels, with the comment and
// the metadata blocks. The extension is not required: a misnamed picture is still described.
constexpr uint32_t kInfoFlags = kLoadAcceptIncomplete | kLoadKeepComment | kLoadKeepChunks;

std::string printf_text(const char* format, int a, int b) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b);
  return buffer;
}

// The number of colours a pixel can take: 2^bits of one sample, "16M" for several samples.
std::string colour_count(const FileInfo& info) {
  if (info.samples_per_pixel > 1) return "16M";
  const unsigned bits = std::min<unsigned>(info.bits_per_sample, 63);
  return std::to_string(uint64_t{1} << bits);
}

void exif_row(void* user, uint32_t, uint32_t, const char* name, const char* text) {
  auto* list = static_cast<CListInfo*>(user);
  // A section header comes without text: an empty row sets the sections apart.
  if (!text) list->add_row("", "");
  else list->add_row(metadata_text(name), metadata_text(text));
}

void iptc_row(void* user, uint32_t, const char* name, const char* text) {
  static_cast<CListInfo*>(user)->add_row(metadata_text(name), metadata_text(text));
}

}  // namespace

// ---- CListInfo -----------------------------------------------------------------------------------

bool CListInfo::setup(HWND dialog, int id) {
  if (!attach(dialog, id)) return false;
  RECT client;
  GetClientRect(hwnd_, &client);
  insert_column(0, "", client.right / 2, LVCFMT_RIGHT);
  insert_column(1, "", client.right - client.right / 2, LVCFMT_LEFT);
  set_extended_style(LVS_EX_FULLROWSELECT);
  return true;
}

void CListInfo::add_row(const std::string& name, const std::string& value) {
  const int row = add_item(name);
  if (row >= 0) set_item_text(row, 1, value);
}

void CListInfo::fit_columns() {
  RECT client;
  GetClientRect(hwnd_, &client);
  HDC dc = GetDC(hwnd_);
  const int padding = 2 * MulDiv(4, GetDeviceCaps(dc, LOGPIXELSY), 96);  // the cell's margins
  ReleaseDC(hwnd_, dc);
  std::vector<int> names, values;
  for (int i = 0; i < item_count(); ++i) {
    names.push_back(string_width(item_text(i, 0)) + padding);
    values.push_back(string_width(item_text(i, 1)) + padding);
  }
  const int split = column_split(names, values, client.right);
  set_column_width(0, split);
  set_column_width(1, std::max(0, static_cast<int>(client.right) - split));
}

LRESULT CListInfo::custom_draw(NMLVCUSTOMDRAW* draw) {
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw->nmcd.dwItemSpec & 1)) draw->clrTextBk = kShade;
  return CDRF_DODEFAULT;
}

// ---- Rows ----------------------------------------------------------------------------------------

int column_split(const std::vector<int>& names, const std::vector<int>& values, int width) {
  const int lowest = width / 4, highest = width - width / 4;
  std::vector<int> splits{width / 2};
  for (int n : names) splits.push_back(n);
  for (int v : values) splits.push_back(width - v);
  int best = width / 2;
  size_t best_cuts = SIZE_MAX;
  for (int split : splits) {
    split = std::clamp(split, lowest, highest);
    size_t cuts = 0;
    for (size_t i = 0; i < names.size(); ++i) cuts += (names[i] > split) + (values[i] > width - split);
    if (cuts < best_cuts || (cuts == best_cuts && split < best)) best = split, best_cuts = cuts;
  }
  return best;
}

std::string wrap_name(const std::string& name, int width, int max_lines,
                      const std::function<int(const std::string&)>& measure) {
  if (measure(name) <= width || max_lines < 1) return name;
  // Whole characters: a UTF-8 sequence is never split.
  std::vector<std::string> chars;
  for (size_t i = 0; i < name.size();) {
    size_t n = 1;
    while (i + n < name.size() && (static_cast<unsigned char>(name[i + n]) & 0xC0) == 0x80) ++n;
    chars.push_back(name.substr(i, n));
    i += n;
  }
  std::string out, line;
  int lines = 1;
  for (size_t i = 0; i < chars.size(); ++i) {
    if (measure(line + chars[i]) <= width || line.empty()) {
      line += chars[i];
      continue;
    }
    if (lines == max_lines) {
      while (!line.empty() && measure(line + "...") > width) {
        size_t cut = line.size() - 1;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        line.resize(cut);
      }
      return out + line + "...";
    }
    out += line + "\n";
    line = chars[i];
    ++lines;
  }
  return out + line;
}

std::string metadata_text(const char* text) {
  std::string out;
  if (!text) return out;
  const std::string_view bytes(text);
  std::vector<char32_t> points = plat::utf8_decode(bytes);
  // Text that is not UTF-8 is taken as Latin-1, the usual single-byte text of cameras.
  if (std::find(points.begin(), points.end(), U'\uFFFD') != points.end()) {
    points.clear();
    for (unsigned char c : bytes) points.push_back(c);
  }
  if (points.size() > kMaxMetadataChars) points.resize(kMaxMetadataChars);
  for (char32_t c : points) plat::utf8_append(out, c);
  return out;
}

std::vector<InfoRow> info_rows(const std::string& path, const FileInfo& info) {
  std::vector<InfoRow> rows;
  std::string folder = folder_of(path);
  rows.push_back({load_string(IDS_FILENAME), name_of(path)});
  rows.push_back({load_string(IDS_FILELOCATION), folder});
  struct stat st {};
  const bool found = ::stat(path.c_str(), &st) == 0;
  rows.push_back({load_string(IDS_FILESIZE), size_text(found ? st.st_size : 0, size_units_from_language())});
  if (found) {
    const int64_t ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    rows.push_back({load_string(IDS_FILEDATE), date_text(ns, date_locale())});
  }
  if (info.format_index < 0) return rows;  // nothing is known of the picture
  std::string format = format_name(info.format_index) ? format_name(info.format_index) : "";
  for (char& c : format) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  rows.push_back({load_string(IDS_FORMATNAME), format});
  rows.push_back({load_string(IDS_IMAGESIZE),
                  printf_text("%d x %d", static_cast<int>(info.width), static_cast<int>(info.height))});
  // A file without a resolution is shown at the 72 dpi that readers assume for it.
  rows.push_back({load_string(IDS_DPI), info.xdpi < 1 ? std::string("72 x 72") : printf_text("%d x %d", info.xdpi, info.ydpi)});
  rows.push_back({load_string(IDS_BITS), colour_count(info)});
  if (info.comment && *info.comment) rows.push_back({load_string(IDS_COMMENT), metadata_text(info.comment)});
  return rows;
}

// ---- The dialog ----------------------------------------------------------------------------------

LUMORA_BEGIN_MESSAGE_TABLE(CDlgProperties)
  ON_INITDIALOG(OnInitDialog)
  ON_NOTIFY_ANY(OnNotify)
  ON_COMMAND_RANGE(1, 2, OnClose)
  ON_COMMAND(ID_PROP_PREVIOUS, OnPrevious)
  ON_COMMAND(ID_PROP_NEXT, OnNext)
  ON_COMMAND_RANGE(ID_PROP_INFO, ID_PROP_EXIF, OnPage)
LUMORA_END_MESSAGE_TABLE()

CDlgProperties::CDlgProperties(HWND parent, std::vector<std::string> paths, int index)
    : CDlgEx(parent, "DlgProperties"), paths_(std::move(paths)), index_(std::max(index, 0)) {
  if (index_ >= static_cast<int>(paths_.size())) index_ = paths_.empty() ? 0 : static_cast<int>(paths_.size()) - 1;
}

LRESULT CDlgProperties::OnInitDialog(WPARAM, LPARAM) {
  dialog_menu_bar(IDM_PROPERTIES);
  for (int p = 0; p < 3; ++p) lists_[p].setup(hwnd_, kListIds[p]);
  place_lists();
  // The picture takes the placeholder's place.
  HWND place = GetDlgItem(hwnd_, IDC_PICTURE_PLACE);
  RECT r{};
  GetWindowRect(place, &r);
  POINT tl{r.left, r.top}, br{r.right, r.bottom};
  ScreenToClient(hwnd_, &tl);
  ScreenToClient(hwnd_, &br);
  ShowWindow(place, SW_HIDE);
  picture_.create(hwnd_, RECT{tl.x, tl.y, br.x, br.y}, WS_CHILD | WS_VISIBLE);
  picture_.set_zoom_mode(1);  // the whole picture, fitted
  show_page(kInfo);
  fill();
  return FALSE;  // the visible list has the focus
}

// The lists reach down to the soft-key bar: the template's height is the phone's smallest screen.
void CDlgProperties::place_lists() {
  RECT client;
  GetClientRect(hwnd_, &client);
  HDC dc = GetDC(hwnd_);
  const int margin = MulDiv(4, GetDeviceCaps(dc, LOGPIXELSY), 96);
  ReleaseDC(hwnd_, dc);
  for (CListInfo& list : lists_) {
    RECT r{};
    GetWindowRect(list, &r);
    POINT tl{r.left, r.top};
    ScreenToClient(hwnd_, &tl);
    const int bottom = std::max(static_cast<int>(client.bottom) - margin, tl.y + (r.bottom - r.top));
    MoveWindow(list, tl.x, tl.y, r.right - r.left, bottom - tl.y, TRUE);
  }
}

BOOL CDlgProperties::OnNotify(WPARAM, NMHDR* header, LRESULT* result) {
  if (header->code != NM_CUSTOMDRAW) return FALSE;
  for (int id : kListIds) {
    if (static_cast<int>(header->idFrom) == id) {
      *result = CListInfo::custom_draw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
      return TRUE;
    }
  }
  return FALSE;
}

void CDlgProperties::OnClose(UINT) { end(); }

void CDlgProperties::OnPrevious(UINT) {
  if (index_ <= 0) return;
  --index_;
  fill();
}

void CDlgProperties::OnNext(UINT) {
  if (index_ + 1 >= static_cast<int>(paths_.size())) return;
  ++index_;
  fill();
}

void CDlgProperties::OnPage(UINT id) { show_page(static_cast<Page>(id - ID_PROP_INFO)); }

void CDlgProperties::show_page(Page p) {
  page_ = p;
  for (int i = 0; i < 3; ++i) ShowWindow(lists_[i], i == p ? SW_SHOW : SW_HIDE);
  CheckMenuRadioItem(menu_, ID_PROP_INFO, ID_PROP_EXIF, kPageCommands[p], MF_BYCOMMAND);
  SetFocus(lists_[p]);
}

void CDlgProperties::fill() {
  if (paths_.empty()) return;
  const std::string& path = paths_[static_cast<size_t>(index_)];
  RECT box;
  GetClientRect(picture_, &box);
  if (!picture_.load(path, 0, box.right, box.bottom)) picture_.clear();

  // A file that cannot be read keeps format index -1; a damaged one keeps what was read of it.
  FileInfo info;
  load_info(path.c_str(), -1, kInfoFlags, &info);
  lists_[kIptc].delete_all_items();
  lists_[kExif].delete_all_items();
  if (info.format_index >= 0) {
    iptc_enumerate(info.chunks, &iptc_row, &lists_[kIptc]);
    exif_enumerate(info.chunks, &exif_row, &lists_[kExif]);
  }
  show_file_name(name_of(path));
  if (page_ != kInfo && lists_[page_].item_count() == 0) show_page(kInfo);

  CListInfo& rows = lists_[kInfo];
  rows.delete_all_items();
  for (const InfoRow& row : info_rows(path, info)) rows.add_row(row.label, row.value);
  file_info_free(&info);
  for (CListInfo& list : lists_) list.fit_columns();
  for (CListInfo& list : lists_)
    if (list.item_count() > 0) list.select(0);
  update_menu();
}

// A name too long for its place beside the picture is broken over the lines there are.
void CDlgProperties::show_file_name(const std::string& name) {
  HWND label = GetDlgItem(hwnd_, IDC_FILE_NAME);
  RECT box;
  GetClientRect(label, &box);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessage(label, WM_GETFONT, 0, 0)));
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  auto measure = [dc](const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32(dc, text, &size);
    return static_cast<int>(size.cx);
  };
  const int lines = std::max(1, static_cast<int>(box.bottom) / std::max(1, static_cast<int>(tm.tmHeight)));
  const std::string shown = wrap_name(name, box.right, lines, measure);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  SetWindowText(label, shown);
}

void CDlgProperties::update_menu() {
  auto enable = [&](UINT id, bool on) { EnableMenuItem(menu_, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
  enable(ID_PROP_PREVIOUS, index_ > 0);
  enable(ID_PROP_NEXT, index_ + 1 < static_cast<int>(paths_.size()));
  enable(ID_PROP_IPTC, lists_[kIptc].item_count() > 0);
  enable(ID_PROP_EXIF, lists_[kExif].item_count() > 0);
}

void show_properties(HWND owner, const std::vector<std::string>& paths, int start) {
  if (paths.empty()) return;
  CDlgProperties dialog(owner, paths, start);
  dialog.run();
}

}  // namespace lumora::app
