// The message box: a full-screen dialog with an icon, the text and two soft keys.
#include <algorithm>
#include <string>

#include "platform/controls/theme.h"
#include "platform/dialog/dialog_impl.h"
#include "platform/system/system.h"

namespace lumora::plat {

namespace {

struct Box {
  std::string text;
  UINT type = 0;
  HWND bar = nullptr;
};

UINT icon_kind(UINT type) { return type & 0xF0; }
bool yes_no(UINT type) { return (type & 0xF) == MB_YESNO; }
bool has_cancel(UINT type) { return (type & 0xF) == MB_OKCANCEL || yes_no(type); }

// The glyph inside an icon, drawn with the bold font.
void icon_glyph(HDC dc, const RECT& r, const char* glyph, COLORREF c) {
  HFONT f = CreateFont(-(RectHeight(r) * 2 / 3), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH,
                       "Tahoma");
  ui::text(dc, glyph, r, DT_CENTER | DT_VCENTER, c, f);
  DeleteObject(f);
}

void draw_icon(HDC dc, const RECT& r, UINT kind) {
  int w = RectWidth(r), h = RectHeight(r);
  switch (kind) {
    case MB_ICONERROR: {
      ui::disc(dc, r, RGB(200, 40, 40));
      // A white cross of two strokes, a sixth of the icon from each edge.
      int t = std::max(2, w / 10), m = w * 3 / 10;
      for (int i = m; i < w - m; ++i) {
        ui::fill(dc, RECT{r.left + i, r.top + i - t / 2, r.left + i + 1, r.top + i - t / 2 + t}, RGB(255, 255, 255));
        ui::fill(dc, RECT{r.left + i, r.bottom - 1 - i - t / 2, r.left + i + 1, r.bottom - 1 - i - t / 2 + t},
                 RGB(255, 255, 255));
      }
      break;
    }
    case MB_ICONEXCLAMATION: {
      // A warning triangle with its tip at the top.
      for (int y = 0; y < h; ++y) {
        int half = (y * w / 2) / std::max(1, h - 1);
        ui::fill(dc, RECT{r.left + w / 2 - half, r.top + y, r.left + w / 2 + half + 1, r.top + y + 1},
                 RGB(240, 180, 20));
      }
      RECT g = r;
      g.top += h / 4;
      icon_glyph(dc, g, "!", RGB(30, 30, 30));
      break;
    }
    case MB_ICONQUESTION:
      ui::disc(dc, r, ui::kAccent);
      icon_glyph(dc, r, "?", RGB(255, 255, 255));
      break;
    case MB_ICONINFORMATION:
      ui::disc(dc, r, ui::kAccent);
      icon_glyph(dc, r, "i", RGB(255, 255, 255));
      break;
    default:
      break;
  }
}

LRESULT box_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  Box* box = reinterpret_cast<Box*>(GetWindowLongPtr(h, GWLP_USERDATA));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtr(h, GWLP_USERDATA, lp);
      box = reinterpret_cast<Box*>(lp);
      SHINITDLGINFO init;
      init.dwMask = SHIDIM_FLAGS;
      init.hDlg = h;
      init.dwFlags = SHIDIF_SIZEDLGFULLSCREEN;
      SHInitDialog(&init);
      HMENU bar_menu = CreatePopupMenu();
      AppendMenu(bar_menu, MF_STRING, yes_no(box->type) ? IDYES : IDOK, yes_no(box->type) ? "Yes" : "OK");
      if (has_cancel(box->type))
        AppendMenu(bar_menu, MF_STRING, yes_no(box->type) ? IDNO : IDCANCEL, yes_no(box->type) ? "No" : "Cancel");
      SHMENUBARINFO mb;
      mb.hwndParent = h;
      mb.dwFlags = SHCMBF_HMENU;
      mb.nToolBarId = static_cast<UINT>(bar_menu);
      if (SHCreateMenuBar(&mb)) {
        box->bar = mb.hwndMB;
        SendMessage(mb.hwndMB, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
      } else {
        DestroyMenu(bar_menu);
      }
      return TRUE;
    }
    case WM_COMMAND: {
      int id = LOWORD(wp);
      if (id == IDOK && yes_no(box->type)) id = IDYES;
      if (id == IDCANCEL && yes_no(box->type)) id = IDNO;
      if (id == IDCANCEL && !has_cancel(box->type)) id = IDOK;
      EndDialog(h, id);
      return TRUE;
    }
    case WM_HOTKEY:
      if (HIWORD(static_cast<uintptr_t>(lp)) == VK_TBACK && (LOWORD(static_cast<uintptr_t>(lp)) & MOD_KEYUP))
        EndDialog(h, yes_no(box->type) ? IDNO : has_cancel(box->type) ? IDCANCEL : IDOK);
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT c;
      GetClientRect(h, &c);
      ui::fill(dc, c, ui::kWindow);
      int top = 0;
      std::string title = GetWindowText(h);
      if (!title.empty()) {
        top = ui::title_height();
        ui::fill(dc, RECT{0, 0, c.right, top}, ui::kAccent);
        ui::text(dc, title, RECT{ui::px(8), 0, c.right - ui::px(8), top}, DT_LEFT | DT_VCENTER, ui::kAccentText,
                 ui::font(ui::Font::Title));
      }
      int pad = ui::px(12), icon = ui::px(32);
      int x = pad;
      if (box && icon_kind(box->type)) {
        draw_icon(dc, RECT{pad, top + pad, pad + icon, top + pad + icon}, icon_kind(box->type));
        x += icon + pad;
      }
      if (box) {
        RECT tr{x, top + pad + ui::px(6), c.right - pad, c.bottom - pad};
        HGDIOBJ old = SelectObject(dc, ui::font(ui::Font::Body));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ui::kText);
        DrawText(dc, box->text, &tr, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
      }
      EndPaint(h, &ps);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

int MessageBox(HWND owner, std::string_view text, std::string_view caption, UINT type) {
  Box box;
  box.text = std::string(text);
  box.type = type;
  std::string title(caption);
  if (title.empty() && owner) {
    HWND top = owner;
    while (top && (GetWindowLongPtr(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
    title = GetWindowText(top);
  }
  DialogTemplate t;
  t.title = title.c_str();
  t.style = DS_CENTER;
  t.cx = 160;
  t.cy = 100;
  LRESULT r = DialogBoxIndirectParam(nullptr, &t, owner, box_proc, reinterpret_cast<LPARAM>(&box));
  return r < 0 ? 0 : static_cast<int>(r);
}

}  // namespace lumora::plat
