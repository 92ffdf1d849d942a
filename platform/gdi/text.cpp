// Text output with FreeType glyphs: UTF-8 in, anti-aliased coverage blended into any surface.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/base/utf8.h"
#include "platform/gdi/gdi_internal.h"

namespace lumora::plat {

namespace {

FontInstance* dc_font(DeviceContext* dc) {
  auto* f = gdi_cast<FontObject>(dc->st.font, GdiType::Font);
  return f ? f->get() : nullptr;
}

int text_width(FontInstance* font, const std::vector<char32_t>& cps) {
  int w = 0;
  for (char32_t c : cps) w += font->glyph(c).advance;
  return w;
}

// Blends glyph coverage in the text colour at the device baseline position, inside clip.
void draw_glyphs(DeviceContext* dc, FontInstance* font, const std::vector<char32_t>& cps, int pen_x, int baseline,
                 const Region& clip, uint32_t rgb) {
  std::vector<uint32_t> row;
  const uint32_t cr = (rgb >> 16) & 0xFF, cg = (rgb >> 8) & 0xFF, cb = rgb & 0xFF;
  for (char32_t c : cps) {
    const Glyph& g = font->glyph(c);
    RECT box{pen_x + g.left, baseline - g.top, pen_x + g.left + g.width, baseline - g.top + g.height};
    for (const RECT& cr_rect : clip.rects()) {
      RECT r;
      if (!IntersectRect(&r, &cr_rect, &box)) continue;
      int n = r.right - r.left;
      row.resize(static_cast<size_t>(n));
      for (int y = r.top; y < r.bottom; ++y) {
        const uint8_t* cov = g.coverage.data() + static_cast<size_t>(y - box.top) * g.width + (r.left - box.left);
        dc->surface->read_span(r.left, y, n, row.data());
        bool any = false;
        for (int i = 0; i < n; ++i) {
          uint32_t a = cov[i];
          if (a == 0) continue;
          any = true;
          uint32_t d = row[static_cast<size_t>(i)];
          uint32_t dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
          dr = (dr * (255 - a) + cr * a + 127) / 255;
          dg = (dg * (255 - a) + cg * a + 127) / 255;
          db = (db * (255 - a) + cb * a + 127) / 255;
          row[static_cast<size_t>(i)] = (dr << 16) | (dg << 8) | db;
        }
        if (any) dc->surface->write_span(r.left, y, n, row.data());
      }
    }
    pen_x += g.advance;
  }
}

// Draws one line whose cell's top-left corner is at device (x, y); opaque fills the cell first.
void draw_line(DeviceContext* dc, FontInstance* font, const std::vector<char32_t>& cps, int x, int y,
               const Region& clip, bool opaque, const std::string& utf8, const LOGFONT& lf) {
  int width = text_width(font, cps);
  int height = font->ascent() + font->descent();
  RECT cell{x, y, x + width, y + height};
  if (opaque) {
    uint32_t bk = colorref_to_rgb(dc->st.bk_colour);
    for (const RECT& c : clip.rects()) {
      RECT r;
      if (!IntersectRect(&r, &c, &cell)) continue;
      for (int yy = r.top; yy < r.bottom; ++yy) dc->surface->fill_span(r.left, yy, r.right - r.left, bk);
    }
  }
  const int baseline = y + font->ascent();
  const uint32_t ink = colorref_to_rgb(dc->st.text_colour);
  draw_glyphs(dc, font, cps, x, baseline, clip, ink);
  // Underline just below the baseline, strike-out through the middle of the lower-case letters.
  const int thickness = std::max(1, font->pixel_size() / 14);
  for (int line_y : {lf.lfUnderline ? baseline + 1 + thickness / 2 : INT32_MIN,
                     lf.lfStrikeOut ? baseline - font->ascent() / 3 : INT32_MIN}) {
    if (line_y == INT32_MIN) continue;
    RECT bar{x, line_y, x + width, line_y + thickness};
    for (const RECT& c : clip.rects()) {
      RECT r;
      if (!IntersectRect(&r, &c, &bar)) continue;
      for (int yy = r.top; yy < r.bottom; ++yy) dc->surface->fill_span(r.left, yy, r.right - r.left, ink);
    }
  }
  if (dc->screen) {
    mark_screen_dirty();
    if (clip.intersects(cell)) record_text(DrawnText{utf8, cell, dc->st.text_colour, dc->hwnd});
  }
}

}  // namespace

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !tm) return FALSE;
  FontInstance* font = dc_font(dc);
  if (!font) return FALSE;
  auto* f = gdi_cast<FontObject>(dc->st.font, GdiType::Font);
  tm->tmAscent = font->ascent();
  tm->tmDescent = font->descent();
  tm->tmHeight = font->ascent() + font->descent();
  tm->tmInternalLeading = std::max(0, tm->tmHeight - font->pixel_size());
  tm->tmExternalLeading = 0;
  tm->tmAveCharWidth = font->average_width();
  tm->tmMaxCharWidth = font->max_width();
  tm->tmWeight = f->lf.lfWeight;
  return TRUE;
}

BOOL GetTextExtentPoint32(HDC hdc, std::string_view text, SIZE* size) {
  return GetTextExtentExPoint(hdc, text, -1, nullptr, size);
}

BOOL GetTextExtentExPoint(HDC hdc, std::string_view text, int max_extent, int* fit, SIZE* size) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  FontInstance* font = dc_font(dc);
  if (!font) return FALSE;
  // Walk the UTF-8 text character by character so *fit is a byte count on a character boundary.
  int width = 0;
  int fitted_bytes = 0;
  bool fitting = true;
  size_t i = 0;
  while (i < text.size()) {
    size_t len = 1;
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (b >= 0xF0) len = 4;
    else if (b >= 0xE0) len = 3;
    else if (b >= 0xC0) len = 2;
    len = std::min(len, text.size() - i);
    std::vector<char32_t> cps = utf8_decode(text.substr(i, len));
    for (char32_t c : cps) width += font->glyph(c).advance;
    i += len;
    if (fitting && (max_extent < 0 || width <= max_extent)) fitted_bytes = static_cast<int>(i);
    else fitting = false;
  }
  if (fit) *fit = fitted_bytes;
  if (size) *size = SIZE{width, font->ascent() + font->descent()};
  return TRUE;
}

BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* rect, std::string_view text) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  if (!dc->surface || !dc->surface->valid()) return TRUE;
  Region clip = dc->clip();
  if (rect && (options & ETO_OPAQUE)) fill_device_rect(dc, dc->to_device(*rect), colorref_to_rgb(dc->st.bk_colour));
  if (rect && (options & ETO_CLIPPED)) clip.intersect(dc->to_device(*rect));
  if (text.empty()) return TRUE;
  FontInstance* font = dc_font(dc);
  if (!font) return FALSE;
  std::vector<char32_t> cps = utf8_decode(text);
  int width = text_width(font, cps);
  UINT align = dc->st.text_align;
  if ((align & TA_CENTER) == TA_CENTER) x -= width / 2;
  else if (align & TA_RIGHT) x -= width;
  if ((align & TA_BASELINE) == TA_BASELINE) y -= font->ascent();
  else if (align & TA_BOTTOM) y -= font->ascent() + font->descent();
  POINT d = dc->to_device(x, y);
  // With ETO_OPAQUE the rectangle was the background; the cell is not filled again.
  bool opaque = dc->st.bk_mode == OPAQUE && !(rect && (options & ETO_OPAQUE));
  draw_line(dc, font, cps, d.x, d.y, clip, opaque, std::string(text), gdi_cast<FontObject>(dc->st.font, GdiType::Font)->lf);
  return TRUE;
}

BOOL TextOut(HDC hdc, int x, int y, std::string_view text) { return ExtTextOut(hdc, x, y, 0, nullptr, text); }

namespace {

// Lines of a DrawText call: split at line breaks and, with DT_WORDBREAK, at blanks to fit.
std::vector<std::string> layout_lines(HDC hdc, std::string_view text, int max_width, UINT format) {
  std::vector<std::string> lines;
  auto width_of = [&](std::string_view s) {
    SIZE sz{};
    GetTextExtentPoint32(hdc, s, &sz);
    return static_cast<int>(sz.cx);
  };
  std::vector<std::string_view> paragraphs;
  if (format & DT_SINGLELINE) {
    paragraphs.push_back(text);
  } else {
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      if (i == text.size() || text[i] == '\n') {
        std::string_view p = text.substr(start, i - start);
        if (!p.empty() && p.back() == '\r') p.remove_suffix(1);
        paragraphs.push_back(p);
        start = i + 1;
      }
    }
  }
  for (std::string_view p : paragraphs) {
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE) || width_of(p) <= max_width) {
      lines.emplace_back(p);
      continue;
    }
    std::string line;
    size_t i = 0;
    while (i < p.size()) {
      size_t j = p.find(' ', i);
      if (j == std::string_view::npos) j = p.size();
      std::string word(p.substr(i, j - i));
      std::string candidate = line.empty() ? word : line + " " + word;
      if (!line.empty() && width_of(candidate) > max_width) {
        lines.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
      i = j + 1;
    }
    lines.push_back(line);
  }
  return lines;
}

// Removes '&' prefix marks ("&&" stands for one '&').
std::string strip_prefix(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    else if (text[i] == '&') continue;
    out += text[i];
  }
  return out;
}

std::string ellipsize(HDC hdc, const std::string& line, int max_width) {
  SIZE sz{};
  GetTextExtentPoint32(hdc, line, &sz);
  if (sz.cx <= max_width) return line;
  SIZE dots{};
  GetTextExtentPoint32(hdc, "...", &dots);
  int fit = 0;
  GetTextExtentExPoint(hdc, line, std::max(0, max_width - static_cast<int>(dots.cx)), &fit, nullptr);
  return line.substr(0, static_cast<size_t>(fit)) + "...";
}

}  // namespace

int DrawText(HDC hdc, std::string_view text_in, RECT* r, UINT format) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !r) return 0;
  FontInstance* font = dc_font(dc);
  if (!font) return 0;
  std::string text = (format & DT_NOPREFIX) ? std::string(text_in) : strip_prefix(text_in);
  const int line_height = font->ascent() + font->descent();
  const int box_width = r->right - r->left;
  std::vector<std::string> lines = layout_lines(hdc, text, box_width, format);
  if (format & DT_END_ELLIPSIS)
    for (std::string& l : lines) l = ellipsize(hdc, l, box_width);
  const int total = line_height * static_cast<int>(lines.size());

  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const std::string& l : lines) {
      SIZE sz{};
      GetTextExtentPoint32(hdc, l, &sz);
      widest = std::max(widest, static_cast<int>(sz.cx));
    }
    r->right = r->left + widest;
    r->bottom = r->top + total;
    return total;
  }

  int y = r->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = r->top + (r->bottom - r->top - line_height) / 2;
    else if (format & DT_BOTTOM) y = r->bottom - line_height;
  }
  UINT saved_align = dc->st.text_align;
  dc->st.text_align = TA_LEFT | TA_TOP;
  for (const std::string& l : lines) {
    SIZE sz{};
    GetTextExtentPoint32(hdc, l, &sz);
    int x = r->left;
    if (format & DT_CENTER) x = r->left + (box_width - sz.cx) / 2;
    else if (format & DT_RIGHT) x = r->right - sz.cx;
    if (format & DT_NOCLIP) ExtTextOut(hdc, x, y, 0, nullptr, l);
    else ExtTextOut(hdc, x, y, ETO_CLIPPED, r, l);
    y += line_height;
  }
  dc->st.text_align = saved_align;
  return total;
}

}  // namespace lumora::plat
