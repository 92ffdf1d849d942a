// Single-line edit: text typed as characters, backspace (also the Back key), a selection that
// typing replaces, read-only mode, number-only mode and a length limit. Left/Right move the caret,
// or step the up-down control the edit is the buddy of.
#include <algorithm>
#include <string>

#include "platform/base/utf8.h"
#include "platform/controls/control_base.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct Edit : ControlState {
  std::string text;
  size_t sel_start = 0, sel_end = 0;  // bytes; caret at sel_end
  size_t limit = 30000;
  HWND spinner = nullptr;
  int scroll_x = 0;  // pixels of text hidden at the left
};

// Byte index of the code point before / after i.
size_t prev_cp(const std::string& s, size_t i) {
  if (i == 0) return 0;
  --i;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  return i;
}
size_t next_cp(const std::string& s, size_t i) {
  if (i >= s.size()) return s.size();
  ++i;
  while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

void changed(HWND h) {
  InvalidateRect(h, nullptr, TRUE);
  command_parent(h, EN_UPDATE);
  if (IsWindow(h)) command_parent(h, EN_CHANGE);
}

void replace_selection(HWND h, Edit& e, std::string_view with, bool notify) {
  size_t a = std::min(e.sel_start, e.sel_end), b = std::max(e.sel_start, e.sel_end);
  a = std::min(a, e.text.size());
  b = std::min(b, e.text.size());
  std::string add(with);
  size_t room = e.limit > e.text.size() - (b - a) ? e.limit - (e.text.size() - (b - a)) : 0;
  if (add.size() > room) {
    // Cut at a code point boundary.
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(add[cut]) & 0xC0) == 0x80) --cut;
    add.resize(cut);
    command_parent(h, EN_MAXTEXT);
  }
  e.text.replace(a, b - a, add);
  e.sel_start = e.sel_end = a + add.size();
  if (notify) changed(h);
}

std::string shown_text(HWND h, const Edit& e) {
  if (!(style_of(h) & ES_PASSWORD)) return e.text;
  return std::string(utf8_decode(e.text).size(), '*');
}

void paint(HWND h, Edit& e) {
  ControlPaint p(h);
  HDC dc = p.dc;
  const RECT& c = p.client;
  bool ro = (style_of(h) & ES_READONLY) != 0;
  bool enabled = p.enabled;
  ui::fill(dc, c, ro || !enabled ? ui::kFace : ui::kWindow);
  bool focus = p.focus;
  box_edge(dc, c, focus);
  HFONT f = control_font(e.font);
  std::string shown = shown_text(h, e);
  int pad = ui::px(5);
  RECT tr{c.left + pad, c.top, c.right - pad, c.bottom};
  int avail = std::max(1, static_cast<int>(RectWidth(tr)));
  int caret_x = ui::text_width(dc, std::string_view(shown).substr(0, std::min(e.sel_end, shown.size())), f);
  int total = ui::text_width(dc, shown, f);
  // Keep the caret in view.
  if (caret_x - e.scroll_x > avail - 2) e.scroll_x = caret_x - avail + 2;
  if (caret_x - e.scroll_x < 0) e.scroll_x = caret_x;
  e.scroll_x = std::max(0, std::min(e.scroll_x, std::max(0, total - avail + 2)));
  int x0 = tr.left - e.scroll_x;
  DWORD align = style_of(h) & (ES_CENTER | ES_RIGHT);
  if (total < avail && align == ES_RIGHT) x0 = tr.right - total;
  else if (total < avail && align == ES_CENTER) x0 = tr.left + (avail - total) / 2;
  int line = ui::line_height(dc, f);
  int y0 = c.top + (RectHeight(c) - line) / 2;
  IntersectClipRect(dc, tr.left, c.top, tr.right, c.bottom);
  size_t a = std::min({e.sel_start, e.sel_end, shown.size()}), b = std::min(std::max(e.sel_start, e.sel_end), shown.size());
  if (focus && a < b) {
    int xa = ui::text_width(dc, std::string_view(shown).substr(0, a), f);
    int xb = ui::text_width(dc, std::string_view(shown).substr(0, b), f);
    ui::fill(dc, RECT{x0 + xa, y0, x0 + xb, y0 + line}, ui::kAccent);
  }
  HGDIOBJ old = SelectObject(dc, f);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, text_colour(enabled));
  TextOut(dc, x0, y0, std::string_view(shown).substr(0, a));
  int xa = ui::text_width(dc, std::string_view(shown).substr(0, a), f);
  SetTextColor(dc, focus && a < b ? ui::kAccentText : text_colour(enabled));
  TextOut(dc, x0 + xa, y0, std::string_view(shown).substr(a, b - a));
  int xb = ui::text_width(dc, std::string_view(shown).substr(0, b), f);
  SetTextColor(dc, text_colour(enabled));
  TextOut(dc, x0 + xb, y0, std::string_view(shown).substr(b));
  SelectObject(dc, old);
  if (focus && !ro && a == b) ui::fill(dc, RECT{x0 + caret_x, y0, x0 + caret_x + std::max(1, ui::px(1)), y0 + line}, ui::kText);
}

void on_char(HWND h, Edit& e, char32_t ch) {
  DWORD st = style_of(h);
  if (st & ES_READONLY) return;
  if (ch == 8) {
    if (e.sel_start == e.sel_end) {
      if (e.sel_end == 0) return;
      e.sel_start = prev_cp(e.text, std::min(e.sel_end, e.text.size()));
    }
    replace_selection(h, e, "", true);
    return;
  }
  if (ch < 0x20 || ch == 0x7F) return;  // control characters (Enter, Escape) type nothing
  if ((st & ES_NUMBER) && (ch < '0' || ch > '9')) return;
  if (st & ES_UPPERCASE && ch >= 'a' && ch <= 'z') ch -= 32;
  if (st & ES_LOWERCASE && ch >= 'A' && ch <= 'Z') ch += 32;
  std::string one;
  utf8_append(one, ch);
  replace_selection(h, e, one, true);
}

std::optional<LRESULT> handle(HWND h, Edit& e, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCT*>(lp);
      if (cs && cs->lpszName) e.text = cs->lpszName;
      e.sel_start = e.sel_end = e.text.size();
      return TRUE;
    }
    case WM_SETTEXT:
      e.text = lp ? reinterpret_cast<const char*>(lp) : "";
      e.sel_start = e.sel_end = e.text.size();
      e.scroll_x = 0;
      DefWindowProc(h, msg, wp, lp);
      changed(h);
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(e.text.size());
    case WM_GETTEXT:
      return static_cast<LRESULT>(copy_to_buffer(e.text, reinterpret_cast<char*>(lp), wp));
    case WM_SETFONT:
      e.font = reinterpret_cast<HFONT>(wp);
      if (lp) InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(h, nullptr, TRUE);
      command_parent(h, msg == WM_SETFOCUS ? EN_SETFOCUS : EN_KILLFOCUS);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | (is_left_right(wp) ? DLGC_WANTARROWS : 0);
    case WM_CHAR:
      on_char(h, e, static_cast<char32_t>(wp));
      return 0;
    case WM_KEYDOWN:
      switch (wp) {
        case VK_LEFT:
        case VK_RIGHT:
          if (e.spinner && IsWindow(e.spinner)) return SendMessage(e.spinner, msg, wp, lp);
          if (wp == VK_LEFT) e.sel_end = prev_cp(e.text, std::min(e.sel_end, e.text.size()));
          else e.sel_end = next_cp(e.text, e.sel_end);
          e.sel_start = e.sel_end;
          InvalidateRect(h, nullptr, TRUE);
          return 0;
        case VK_HOME:
          e.sel_start = e.sel_end = 0;
          InvalidateRect(h, nullptr, TRUE);
          return 0;
        case VK_END:
          e.sel_start = e.sel_end = e.text.size();
          InvalidateRect(h, nullptr, TRUE);
          return 0;
        case VK_DELETE:
          if (!(style_of(h) & ES_READONLY)) {
            if (e.sel_start == e.sel_end) e.sel_end = next_cp(e.text, e.sel_end);
            replace_selection(h, e, "", true);
          }
          return 0;
        case VK_TBACK:
          // The Back key of a window that does not take it as a hot key deletes like backspace
          // while there is something to delete.
          if (!(style_of(h) & ES_READONLY) && (e.sel_start != e.sel_end || e.sel_end > 0)) {
            on_char(h, e, 8);
            return 0;
          }
          return {};
        default:
          return {};
      }
    case WM_LBUTTONDOWN:
      SetFocus(h);
      return 0;
    case EM_GETSEL: {
      size_t a = std::min(e.sel_start, e.sel_end), b = std::max(e.sel_start, e.sel_end);
      if (wp) *reinterpret_cast<DWORD*>(wp) = static_cast<DWORD>(a);
      if (lp) *reinterpret_cast<DWORD*>(lp) = static_cast<DWORD>(b);
      return MAKELPARAM(static_cast<int>(std::min<size_t>(a, 0xFFFF)), static_cast<int>(std::min<size_t>(b, 0xFFFF)));
    }
    case EM_SETSEL: {
      // (0, -1) selects everything; (-1, x) removes the selection.
      intptr_t a = static_cast<intptr_t>(wp), b = lp;
      size_t n = e.text.size();
      if (a == -1) {
        e.sel_start = e.sel_end;
      } else {
        auto clampi = [&](intptr_t v) { return v < 0 || static_cast<size_t>(v) > n ? n : static_cast<size_t>(v); };
        e.sel_start = clampi(a);
        e.sel_end = clampi(b);
        // Never split a code point.
        while (e.sel_start < n && (static_cast<unsigned char>(e.text[e.sel_start]) & 0xC0) == 0x80) ++e.sel_start;
        while (e.sel_end < n && (static_cast<unsigned char>(e.text[e.sel_end]) & 0xC0) == 0x80) ++e.sel_end;
      }
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    }
    case EM_REPLACESEL:
      replace_selection(h, e, lp ? reinterpret_cast<const char*>(lp) : "", true);
      return 0;
    case EM_LIMITTEXT:
      e.limit = wp ? wp : 0x7FFFFFFE;
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(e.limit);
    case EM_SETREADONLY: {
      DWORD st = style_of(h);
      SetWindowLongPtr(h, GWL_STYLE, static_cast<LONG_PTR>(wp ? (st | ES_READONLY) : (st & ~ES_READONLY)));
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case EM_PRIV_SETSPINNER:
      e.spinner = reinterpret_cast<HWND>(lp);
      return 0;
    default:
      return {};
  }
}

// The edit keeps its font itself (a new one redraws at once when asked to) and tells the parent
// when it gains and loses the focus; WM_GETFONT and the rest are the shared answers.
constexpr ControlClass<Edit> kEdit{WC_EDIT, kKeepsFont | kRedrawsOnEnable | kPassesKeys, paint, handle};

}  // namespace

void ctl::register_edit() { register_control<kEdit>(); }

}  // namespace lumora::plat
