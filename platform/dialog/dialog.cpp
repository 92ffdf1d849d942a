// Dialogs built from templates, their modal runs and the keys of a phone dialog.
#include "platform/dialog/dialog_impl.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/controls/control_base.h"
#include "platform/system/system.h"

namespace lumora::plat {

using namespace dlg;

namespace {

constexpr const char* kDialogClass = "Dialog";
constexpr const char* kTitleClass = "LumoraDialogTitle";

// The title band is a child window above the controls, so that controls scrolled up pass
// beneath it.
LRESULT title_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT c;
    GetClientRect(h, &c);
    ui::fill(dc, c, ui::kAccent);
    RECT tr = c;
    InflateRect(&tr, -ui::px(8), 0);
    ui::text(dc, GetWindowText(GetParent(h)), tr, DT_LEFT | DT_VCENTER, ui::kAccentText, ui::font(ui::Font::Title));
    EndPaint(h, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  return DefWindowProc(h, msg, wp, lp);
}

void ensure_title_band(HWND dlg, DialogState& s) {
  if (s.title_h <= 0 || (s.title_band && IsWindow(s.title_band))) return;
  s.title_band = CreateWindowEx(0, kTitleClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 1, s.title_h, dlg,
                                static_cast<HMENU>(0xFFFF), nullptr, nullptr);
}

std::unordered_map<HWND, std::unique_ptr<DialogState>>& dialogs() {
  static std::unordered_map<HWND, std::unique_ptr<DialogState>> m;
  return m;
}

std::map<UINT, const DialogTemplate*>& by_id() {
  static std::map<UINT, const DialogTemplate*> m;
  return m;
}
std::map<std::string, const DialogTemplate*, std::less<>>& by_name() {
  static std::map<std::string, const DialogTemplate*, std::less<>> m;
  return m;
}

HWND top_level_of(HWND h) {
  while (h && (GetWindowLongPtr(h, GWL_STYLE) & WS_CHILD)) h = GetParent(h);
  return h;
}

bool takes_focus(HWND h) {
  DWORD st = static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE));
  return (st & WS_TABSTOP) && (st & WS_VISIBLE) && !(st & WS_DISABLED);
}

void paint_dialog(HWND h, DialogState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT c;
  GetClientRect(h, &c);
  ui::fill(dc, c, ui::kWindow);
  if (s.title_h > 0) {
    RECT band{0, 0, c.right, s.title_h};
    ui::fill(dc, band, ui::kAccent);
    RECT tr = band;
    InflateRect(&tr, -ui::px(8), 0);
    ui::text(dc, GetWindowText(h), tr, DT_LEFT | DT_VCENTER, ui::kAccentText, ui::font(ui::Font::Title));
  }
  EndPaint(h, &ps);
}

void move_focus(HWND dlg, bool previous) {
  HWND from = GetFocus();
  if (from && !IsChild(dlg, from)) from = nullptr;
  HWND to = GetNextDlgTabItem(dlg, from, previous ? TRUE : FALSE);
  if (to && to != from) {
    SetFocus(to);
    scroll_into_view(dlg, to);
  }
}

// What a dialog does with a message its procedure left alone.
LRESULT default_dialog(HWND h, DialogState& s, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      paint_dialog(h, s);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_CLOSE:
      PostMessage(h, WM_COMMAND, IDCANCEL, 0);
      return 0;
    case WM_KEYDOWN:
      // Keys a control passed on.
      if (wp == VK_UP || wp == VK_DOWN) move_focus(h, wp == VK_UP);
      return 0;
    case WM_HOTKEY:
      if (HIWORD(static_cast<uintptr_t>(lp)) == VK_TBACK && (LOWORD(static_cast<uintptr_t>(lp)) & MOD_KEYUP))
        PostMessage(h, WM_COMMAND, IDCANCEL, 0);
      return 0;
    case WM_SETFOCUS: {
      // The dialog hands the keyboard to its first control.
      HWND first = GetNextDlgTabItem(h, nullptr, FALSE);
      if (first) SetFocus(first);
      return 0;
    }
    default:
      return DefWindowProc(h, msg, wp, lp);
  }
}

LRESULT dialog_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto it = dialogs().find(h);
  if (it == dialogs().end()) return DefWindowProc(h, msg, wp, lp);
  DialogState* s = it->second.get();
  if (msg == WM_NCDESTROY) {
    if (s->font) DeleteObject(s->font);
    dialogs().erase(h);
    return 0;
  }
  if (s->proc) {
    s->msg_result_set = false;
    SetWindowLongPtr(h, DWLP_MSGRESULT, 0);
    LRESULT r = s->proc(h, msg, wp, lp);
    s = state_of(h);
    if (!s) return r;
    if (msg == WM_INITDIALOG) return r;
    // The answer the procedure left with SetDlgMsgResult or SetWindowLongPtr(DWLP_MSGRESULT).
    LRESULT answer = GetWindowLongPtr(h, DWLP_MSGRESULT);
    if (r) return (msg == WM_NOTIFY || s->msg_result_set || answer) ? answer : r;
  }
  return default_dialog(h, *s, msg, wp, lp);
}

void register_dialog_class() {
  WNDCLASS probe;
  if (!GetClassInfo(nullptr, kTitleClass, &probe)) {
    WNDCLASS tc;
    tc.lpfnWndProc = title_proc;
    tc.lpszClassName = kTitleClass;
    RegisterClass(&tc);
  }
  if (GetClassInfo(nullptr, kDialogClass, &probe)) return;
  WNDCLASS wc;
  wc.lpfnWndProc = dialog_proc;
  wc.lpszClassName = kDialogClass;
  RegisterClass(&wc);
}

HWND create_dialog(const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param) {
  if (!t) return nullptr;
  InitCommonControls();
  register_dialog_class();
  auto st = std::make_unique<DialogState>();
  DialogState& s = *st;
  s.proc = proc;
  int dpi = GetOptions().dpi > 0 ? GetOptions().dpi : 96;
  s.font = CreateFont(-MulDiv(t->font_points > 0 ? t->font_points : 9, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                      DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, t->font_face ? t->font_face : "Tahoma");
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, s.font);
  SIZE sz;
  GetTextExtentPoint32(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &sz);
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  s.base_x = std::max(1, static_cast<int>((sz.cx / 26 + 1) / 2));
  s.base_y = std::max(1, static_cast<int>(tm.tmHeight));
  s.title_h = (t->title && *t->title) ? ui::title_height() : 0;

  int w = MulDiv(t->cx, s.base_x, 4), hgt = MulDiv(t->cy, s.base_y, 8) + s.title_h;
  s.template_w = std::max(1, w);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN) - ui::softkey_bar_height();
  w = std::min(w, sw);
  hgt = std::min(hgt, sh);
  int x = (sw - w) / 2, y = (sh - hgt) / 2;
  if (!(t->style & DS_CENTER) && (t->x || t->y)) {
    x = MulDiv(t->x, s.base_x, 4);
    y = MulDiv(t->y, s.base_y, 8);
  }
  HWND owner = top_level_of(parent);
  DWORD style = (t->style & ~(WS_VISIBLE | WS_CHILD | WS_CAPTION)) | WS_POPUP;
  HWND h = CreateWindowEx(WS_EX_CONTROLPARENT, kDialogClass, t->title ? t->title : "", style, x, y, w, hgt, owner, 0,
                          nullptr, nullptr);
  if (!h) {
    DeleteObject(s.font);
    return nullptr;
  }
  dialogs()[h] = std::move(st);
  for (const DialogItemTemplate& item : t->items) {
    HWND c = CreateWindowEx(item.ex_style, item.class_name ? item.class_name : "", item.text ? item.text : "",
                            (item.style & ~WS_POPUP) | WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, h,
                            static_cast<HMENU>(item.id), nullptr, nullptr);
    if (!c) continue;
    s.controls.push_back(DialogState::Placed{c, RECT{item.x, item.y, item.x + item.cx, item.y + item.cy}});
    SendMessage(c, WM_SETFONT, reinterpret_cast<WPARAM>(s.font), FALSE);
  }
  layout_controls(h, s);
  HWND first = GetNextDlgTabItem(h, nullptr, FALSE);
  if (SendMessage(h, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && IsWindow(h)) {
    HWND f = GetNextDlgTabItem(h, nullptr, FALSE);
    if (f) SetFocus(f);
  }
  return IsWindow(h) ? h : nullptr;
}

}  // namespace

namespace dlg {

DialogState* state_of(HWND dlg) {
  auto it = dialogs().find(dlg);
  return it == dialogs().end() ? nullptr : it->second.get();
}

void layout_controls(HWND dlg, DialogState& s) {
  ensure_title_band(dlg, s);
  for (const DialogState::Placed& p : s.controls) {
    if (!IsWindow(p.hwnd)) continue;
    int l = static_cast<int>(MulDiv(p.units.left, s.base_x, 4) * s.stretch);
    int r = static_cast<int>(MulDiv(p.units.right, s.base_x, 4) * s.stretch);
    int t = MulDiv(p.units.top, s.base_y, 8) + s.title_h - s.scroll_y;
    int b = MulDiv(p.units.bottom, s.base_y, 8) + s.title_h - s.scroll_y;
    // A drop-down list's template height is that of its open list; closed it is one line.
    if (GetClassName(p.hwnd) == std::string_view(WC_COMBOBOX) || GetClassName(p.hwnd) == "COMBOBOX")
      b = std::min(b, t + s.base_y + ui::px(10));
    MoveWindow(p.hwnd, l, t, std::max(1, r - l), std::max(1, b - t), TRUE);
  }
  // Spinners sit beside their buddies again once the buddies are placed.
  for (const DialogState::Placed& p : s.controls) {
    if (!IsWindow(p.hwnd) || GetClassName(p.hwnd) != std::string_view(UPDOWN_CLASS)) continue;
    if (HWND buddy = reinterpret_cast<HWND>(SendMessage(p.hwnd, UDM_GETBUDDY, 0, 0)))
      SendMessage(p.hwnd, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
  }
  if (s.title_band && IsWindow(s.title_band)) {
    RECT c;
    GetClientRect(dlg, &c);
    SetWindowPos(s.title_band, HWND_TOP, 0, 0, c.right, s.title_h, 0);
  }
  InvalidateRect(dlg, nullptr, TRUE);
}

void scroll_into_view(HWND dlg, HWND ctrl) {
  DialogState* s = state_of(dlg);
  if (!s || !IsChild(dlg, ctrl)) return;
  RECT c, r;
  GetClientRect(dlg, &c);
  GetWindowRect(ctrl, &r);
  POINT tl{r.left, r.top}, br{r.right, r.bottom};
  ScreenToClient(dlg, &tl);
  ScreenToClient(dlg, &br);
  int margin = ui::px(4);
  int shift = 0;
  // Back at the top whenever the control fits there, so that the labels above it show too.
  if (br.y + s->scroll_y + margin <= c.bottom) shift = -s->scroll_y;
  else if (br.y + margin > c.bottom) shift = br.y + margin - c.bottom;
  if (tl.y - shift < s->title_h + margin) shift = tl.y - s->title_h - margin;
  if (shift == 0) return;
  s->scroll_y = std::max(0, s->scroll_y + shift);
  layout_controls(dlg, *s);
}

}  // namespace dlg

void RegisterDialogResource(UINT id, const DialogTemplate* t) { by_id()[id] = t; }
void RegisterDialogResource(std::string_view name, const DialogTemplate* t) { by_name()[std::string(name)] = t; }
const DialogTemplate* FindDialogResource(UINT id) {
  auto it = by_id().find(id);
  return it == by_id().end() ? nullptr : it->second;
}
const DialogTemplate* FindDialogResource(std::string_view name) {
  auto it = by_name().find(name);
  return it == by_name().end() ? nullptr : it->second;
}

HWND CreateDialogIndirectParam(HINSTANCE, const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param) {
  HWND h = create_dialog(t, parent, proc, param);
  if (h) ShowWindow(h, SW_SHOW);
  return h;
}

LRESULT DialogBoxIndirectParam(HINSTANCE, const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param) {
  HWND previous_focus = GetFocus();
  HWND owner = top_level_of(parent);
  HWND h = create_dialog(t, parent, proc, param);
  if (!h) return -1;
  DialogState* s = state_of(h);
  if (s && s->ended) {  // ended inside WM_INITDIALOG
    LRESULT r = s->result;
    DestroyWindow(h);
    return r;
  }
  bool owner_was_enabled = owner && IsWindowEnabled(owner);
  if (owner_was_enabled) EnableWindow(owner, FALSE);
  ShowWindow(h, SW_SHOW);
  SetForegroundWindow(h);
  HWND f = GetFocus();
  if (!f || (f != h && !IsChild(h, f))) {
    HWND first = GetNextDlgTabItem(h, nullptr, FALSE);
    SetFocus(first ? first : h);
  }
  LRESULT result = -1;
  MSG m;
  for (;;) {
    s = state_of(h);
    if (!s || !IsWindow(h)) break;
    if (s->ended) {
      result = s->result;
      break;
    }
    if (!GetMessage(&m, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(m.wParam));  // the outer loop must end too
      break;
    }
    if (!IsDialogMessage(h, &m)) {
      TranslateMessage(&m);
      DispatchMessage(&m);
    }
  }
  if (owner_was_enabled && IsWindow(owner)) EnableWindow(owner, TRUE);
  if (IsWindow(h)) DestroyWindow(h);
  if (previous_focus && IsWindow(previous_focus) && IsWindowVisible(previous_focus)) SetFocus(previous_focus);
  else if (owner && IsWindow(owner)) SetForegroundWindow(owner);
  return result;
}

LRESULT DialogBoxParam(HINSTANCE inst, UINT id, HWND parent, DLGPROC proc, LPARAM param) {
  return DialogBoxIndirectParam(inst, FindDialogResource(id), parent, proc, param);
}
LRESULT DialogBoxParam(HINSTANCE inst, std::string_view name, HWND parent, DLGPROC proc, LPARAM param) {
  return DialogBoxIndirectParam(inst, FindDialogResource(name), parent, proc, param);
}

BOOL EndDialog(HWND dlg, LRESULT result) {
  DialogState* s = state_of(dlg);
  if (!s) return FALSE;
  s->ended = true;
  s->result = result;
  // A modeless dialog has no loop to end: hide it; its owner destroys it.
  ShowWindow(dlg, SW_HIDE);
  PostMessage(dlg, WM_NULL, 0, 0);  // wakes the modal loop
  return TRUE;
}

void SetDlgMsgResult(HWND dlg, LRESULT result) {
  if (DialogState* s = state_of(dlg)) {
    SetWindowLongPtr(dlg, DWLP_MSGRESULT, result);
    s->msg_result_set = true;
  }
}

BOOL IsDialogMessage(HWND dlg, MSG* msg) {
  if (!msg || !state_of(dlg) || (msg->hwnd != dlg && !IsChild(dlg, msg->hwnd))) return FALSE;
  if (msg->message != WM_KEYDOWN) return FALSE;
  UINT vk = static_cast<UINT>(msg->wParam);
  HWND focus = GetFocus();
  HWND ctrl = focus && IsChild(dlg, focus) ? focus : nullptr;
  LRESULT code = ctrl ? SendMessage(ctrl, WM_GETDLGCODE, vk, reinterpret_cast<LPARAM>(msg)) : 0;
  if (code & DLGC_WANTALLKEYS) return FALSE;
  switch (vk) {
    case VK_UP:
    case VK_DOWN:
      if (code & DLGC_WANTARROWS) return FALSE;
      move_focus(dlg, vk == VK_UP);
      return TRUE;
    case VK_RETURN:
      if (ctrl && (code & DLGC_BUTTON)) {
        SendMessage(ctrl, BM_CLICK, 0, 0);
        return TRUE;
      }
      SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL SHInitDialog(SHINITDLGINFO* info) {
  if (!info) return FALSE;
  DialogState* s = state_of(info->hDlg);
  if (!s) return FALSE;
  if (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_SIZEDLG)) {
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (!(info->dwFlags & SHIDIF_FULLSCREENNOMENUBAR)) sh -= ui::softkey_bar_height();
    // The template's width fills the screen's width (a template wider than the screen is
    // narrowed); much wider screens keep the controls at twice their size at most.
    s->stretch = std::clamp(static_cast<double>(sw - ui::px(2)) / s->template_w, 0.5, 2.0);
    if (s->title_h == 0) s->title_h = GetWindowText(info->hDlg).empty() ? 0 : ui::title_height();
    MoveWindow(info->hDlg, 0, 0, sw, sh, TRUE);
    layout_controls(info->hDlg, *s);
  }
  return TRUE;
}

LRESULT SendDlgItemMessage(HWND dlg, int id, UINT msg, WPARAM wp, LPARAM lp) {
  HWND c = GetDlgItem(dlg, id);
  return c ? SendMessage(c, msg, wp, lp) : 0;
}

BOOL SetDlgItemText(HWND dlg, int id, std::string_view text) {
  HWND c = GetDlgItem(dlg, id);
  return c ? SetWindowText(c, text) : FALSE;
}

std::string GetDlgItemText(HWND dlg, int id) {
  HWND c = GetDlgItem(dlg, id);
  return c ? GetWindowText(c) : std::string();
}

BOOL SetDlgItemInt(HWND dlg, int id, UINT value, BOOL is_signed) {
  std::string t = is_signed ? std::to_string(static_cast<int>(value)) : std::to_string(value);
  return SetDlgItemText(dlg, id, t);
}

UINT GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL is_signed) {
  std::string t = GetDlgItemText(dlg, id);
  size_t i = 0;
  while (i < t.size() && t[i] == ' ') ++i;
  bool negative = false;
  if (is_signed && i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  size_t digits_from = i;
  long long v = 0;
  bool overflow = false;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
    v = v * 10 + (t[i++] - '0');
    if (v > (is_signed ? 0x80000000LL : 0xFFFFFFFFLL)) overflow = true;
  }
  while (i < t.size() && t[i] == ' ') ++i;
  bool ok = i == t.size() && i > digits_from && !overflow && (negative || !is_signed || v <= 0x7FFFFFFFLL);
  if (translated) *translated = ok ? TRUE : FALSE;
  if (!ok) return 0;
  return static_cast<UINT>(negative ? -v : v);
}

BOOL CheckDlgButton(HWND dlg, int id, UINT check) {
  HWND c = GetDlgItem(dlg, id);
  if (!c) return FALSE;
  SendMessage(c, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dlg, int id) { return static_cast<UINT>(SendDlgItemMessage(dlg, id, BM_GETCHECK, 0, 0)); }

BOOL MapDialogRect(HWND dlg, RECT* r) {
  DialogState* s = state_of(dlg);
  if (!s || !r) return FALSE;
  r->left = MulDiv(r->left, s->base_x, 4);
  r->right = MulDiv(r->right, s->base_x, 4);
  r->top = MulDiv(r->top, s->base_y, 8);
  r->bottom = MulDiv(r->bottom, s->base_y, 8);
  return TRUE;
}

HWND GetNextDlgTabItem(HWND dlg, HWND from, BOOL previous) {
  DialogState* s = state_of(dlg);
  std::vector<HWND> order;
  if (s) {
    for (const auto& p : s->controls)
      if (IsWindow(p.hwnd) && takes_focus(p.hwnd)) order.push_back(p.hwnd);
  }
  if (order.empty()) return nullptr;
  auto it = std::find(order.begin(), order.end(), from);
  if (it == order.end()) return previous ? order.back() : order.front();
  size_t i = static_cast<size_t>(it - order.begin());
  size_t n = order.size();
  return order[previous ? (i + n - 1) % n : (i + 1) % n];
}

}  // namespace lumora::plat
