// CThumbView's drawing: thumbnail tiles (thumbnail and strip modes, through custom draw), the
// striped rows of the list mode and the owner-drawn rows of the details mode.
#include <algorithm>

#include "app/browser/thumb_view.h"

namespace lumora::app {

namespace {

constexpr COLORREF kTileFrame = RGB(120, 120, 120);
constexpr COLORREF kSelectedFrame = RGB(255, 0, 0);
constexpr COLORREF kListOddRow = RGB(195, 195, 195);
constexpr COLORREF kDetailsSelected = RGB(206, 214, 227);
constexpr COLORREF kDetailsOdd = RGB(237, 237, 202);
constexpr COLORREF kDetailsEven = RGB(235, 230, 230);
constexpr size_t kMaxFittedChars = 64;

void fill(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void frame(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FrameRect(dc, &r, b);
  DeleteObject(b);
}

void text(HDC dc, HFONT font, const std::string& s, RECT r, UINT align, COLORREF c) {
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, c);
  SetBkMode(dc, TRANSPARENT);
  DrawText(dc, s, &r, align | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

// Bytes of the first max_chars UTF-8 characters of s.
size_t utf8_prefix(const std::string& s, size_t max_chars) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
    if (chars == max_chars) return i;
    ++chars;
  }
  return s.size();
}

}  // namespace

std::string CThumbView::fit_name(HDC dc, HFONT font, const std::string& name, int max_width) {
  HGDIOBJ old = SelectObject(dc, font);
  SIZE whole;
  GetTextExtentPoint32(dc, name, &whole);
  std::string out = name;
  if (whole.cx > max_width) {
    SIZE dots;
    GetTextExtentPoint32(dc, "...", &dots);
    int fit = 0;
    SIZE ignored;
    GetTextExtentExPoint(dc, name, std::max(0, max_width - static_cast<int>(dots.cx)), &fit, &ignored);
    size_t keep = std::min(static_cast<size_t>(std::max(0, fit)), utf8_prefix(name, kMaxFittedChars - 3));
    out = name.substr(0, keep) + "...";
  }
  SelectObject(dc, old);
  return out;
}

LRESULT CThumbView::custom_draw(NMLVCUSTOMDRAW* cd) {
  const DWORD stage = cd->nmcd.dwDrawStage;
  if (stage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (stage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  const int index = static_cast<int>(cd->nmcd.dwItemSpec);
  if (view_mode_ == 2) {
    if (index & 1) cd->clrTextBk = kListOddRow;
    return CDRF_DODEFAULT;
  }
  if (view_mode_ != 0 && view_mode_ != 1) return CDRF_DODEFAULT;
  // Every tile is the view's: the control draws nothing of its own.
  RECT client{};
  GetClientRect(hwnd_, &client);
  const RECT& b = cd->nmcd.rc;
  if (index < 0 || index >= item_count() || b.top >= client.bottom || b.bottom <= client.top ||
      b.left >= client.right || b.right <= client.left)
    return CDRF_SKIPDEFAULT;
  draw_tile(cd->nmcd.hdc, index, b, (cd->nmcd.uItemState & (CDIS_SELECTED | CDIS_FOCUS)) != 0);
  return CDRF_SKIPDEFAULT;
}

void CThumbView::draw_thumbnail(HDC dc, int index, int x, int y, const RECT* centre_in) {
  int w = 0, h = 0;
  HBITMAP bmp = thumbnail(index, &w, &h);
  if (!bmp) return;
  if (centre_in) {
    x = centre_in->left + (centre_in->right - w - centre_in->left + 1) / 2;
    y = centre_in->top + (centre_in->bottom - h - centre_in->top + 1) / 2;
  }
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(dc, x, y, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void CThumbView::draw_tile(HDC dc, int index, const RECT& bounds, bool selected) {
  RECT tile{bounds.left + 2, bounds.top + 2, bounds.right - 2, bounds.bottom - 1};
  if (selected) {
    fill(dc, tile, GetSysColor(COLOR_HIGHLIGHT));
    frame(dc, tile, kSelectedFrame);
  } else {
    frame(dc, tile, kTileFrame);
  }
  RECT inner{tile.left + 2, tile.top + 2, tile.right - 2, tile.bottom - 2};
  if (show_filename_) inner.bottom -= ((dpi_y_ + 16) * 3) / 96 + text_height_;
  draw_thumbnail(dc, index, 0, 0, &inner);
  if (!show_filename_) return;
  RECT name{bounds.left + 4, bounds.bottom - 2 - text_height_, bounds.right - 3, bounds.bottom - 2};
  const std::string shown =
      fit_name(dc, bold_font_, shown_name(list_.item(static_cast<size_t>(index))), RectWidth(name) - 4);
  if (selected) fill(dc, name, GetSysColor(COLOR_HIGHLIGHT));
  text(dc, bold_font_, shown, name, DT_CENTER | DT_VCENTER,
       selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0));
}

void CThumbView::draw_details_row(const DRAWITEMSTRUCT& di) {
  const int index = static_cast<int>(di.itemID);
  if (index < 0 || index >= item_count()) return;
  HDC dc = di.hDC;
  const FileItem& item = list_.item(static_cast<size_t>(index));
  const bool selected = (di.itemState & ODS_SELECTED) != 0;
  RECT row = di.rcItem;
  row.right = row.left + static_cast<int>(SendMessage(hwnd_, LVM_GETCOLUMNWIDTH, 0, 0));
  COLORREF ink = selected ? RGB(0, 0, 0) : GetSysColor(COLOR_WINDOWTEXT);
  fill(dc, row, selected ? kDetailsSelected : (index & 1) ? kDetailsOdd : kDetailsEven);

  int w = 0, h = 0;
  if (thumbnail(index, &w, &h)) draw_thumbnail(dc, index, row.left + 6, row.top + (RectHeight(row) - h) / 2, nullptr);

  const int left = row.left + 6 + thumb_width_ + 4, right = row.right - 4;
  HDC measure = dc;
  const int normal_h = [&] {
    HGDIOBJ old = SelectObject(measure, normal_font_);
    TEXTMETRIC tm;
    GetTextMetrics(measure, &tm);
    SelectObject(measure, old);
    return static_cast<int>(tm.tmHeight);
  }();
  auto line = [&](int n) {
    int top = row.top + 2 + (n == 0 ? 0 : text_height_ + (n - 1) * normal_h);
    return RECT{left, top, right, top + (n == 0 ? text_height_ : normal_h)};
  };
  if (right <= left) return;
  text(dc, bold_font_, fit_name(dc, bold_font_, shown_name(item), right - left), line(0), DT_LEFT, ink);
  const std::string size = size_text(item.size, units_);
  const std::string dims = dimensions_text(item);
  const std::string format = format_text(item);
  text(dc, normal_font_, date_text(item.write_time_ns, date_locale()), line(1), DT_LEFT, ink);
  if (thumb_width_ < 61) {
    text(dc, normal_font_, size, line(1), DT_RIGHT, ink);
    text(dc, normal_font_, dims, line(2), DT_LEFT, ink);
    text(dc, normal_font_, format, line(2), DT_RIGHT, ink);
  } else {
    text(dc, normal_font_, size, line(2), DT_LEFT, ink);
    text(dc, normal_font_, dims, line(3), DT_LEFT, ink);
    text(dc, normal_font_, format, line(4), DT_RIGHT, ink);
  }
}

}  // namespace lumora::app
