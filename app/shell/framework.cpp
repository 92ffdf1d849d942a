#include "app/shell/framework.h"

#include <strings.h>

#include "app/shell/debug.h"
#include "app/shell/language.h"

namespace lumora::app {

const MessageEntry* find_message_entry(const MessageEntry* table, UINT msg, WPARAM wp, LPARAM lp) {
  if (!table) return nullptr;
  for (const MessageEntry* e = table; e->message != UINT(-1); ++e) {
    if (e->message != msg) continue;
    if (msg == WM_COMMAND) {
      const UINT id = LOWORD(wp);
      const int code = HIWORD(wp);
      if ((e->code == -1 || e->code == code) && id >= e->first_id && id <= e->last_id) return e;
    } else if (msg == WM_NOTIFY) {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (e->first_id == 0 && e->code == 0) return e;
      if (hdr && e->first_id == hdr->idFrom && e->code == hdr->code) return e;
    } else {
      return e;
    }
  }
  return nullptr;
}

// ---- CWindow -------------------------------------------------------------------------------------

CWindow::CWindow() { debug_line("## CWindow()\n"); }

CWindow::~CWindow() {
  debug_line("## ~CWindow()\n");
  destroy();
}

bool CWindow::register_class(UINT style, const char* name) {
  WNDCLASS existing;
  if (GetClassInfo(nullptr, name, &existing)) return true;
  WNDCLASS wc;
  wc.style = style;
  wc.lpfnWndProc = &CWindow::window_proc;
  wc.lpszClassName = name;
  if (!RegisterClass(&wc)) {
    MessageBox(nullptr, "RegisterClass() failed", "Error", MB_OK | MB_ICONERROR);
    return false;
  }
  return true;
}

HWND CWindow::create(DWORD ex_style, const char* title, DWORD style, const RECT& r, HWND parent,
                     HMENU id_or_menu) {
  int x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
  if (w == 0 && h == 0 && x == 0 && y == 0) x = y = w = h = CW_USEDEFAULT;
  HWND h_new = CreateWindowEx(ex_style, class_name_, title, style, x, y, w, h, parent, id_or_menu, instance_, this);
  if (!h_new) return nullptr;
  if (!hwnd_) hwnd_ = h_new;
  return hwnd_;
}

bool CWindow::subclass(HWND control) {
  if (!control || hwnd_) return false;
  hwnd_ = control;
  class_name_ = GetClassName(control);
  SetWindowLongPtr(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  previous_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtr(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindow::window_proc)));
  return true;
}

void CWindow::destroy() {
  if (hwnd_ && IsWindow(hwnd_)) {
    HWND h = hwnd_;
    DestroyWindow(h);  // the WM_DESTROY step below clears the binding
  }
  hwnd_ = nullptr;
}

LRESULT CWindow::default_proc(UINT msg, WPARAM wp, LPARAM lp) {
  if (previous_proc_) return CallWindowProc(previous_proc_, hwnd_, msg, wp, lp);
  return DefWindowProc(hwnd_, msg, wp, lp);
}

LRESULT CWindow::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CWindow* self = nullptr;
  if (msg == WM_CREATE || msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCT*>(lp);
    self = cs ? static_cast<CWindow*>(cs->lpCreateParams) : nullptr;
    if (self) {
      SetWindowLongPtr(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->hwnd_ = hwnd;
    }
  } else {
    self = reinterpret_cast<CWindow*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProc(hwnd, msg, wp, lp);
  return self->dispatch(msg, wp, lp);
}

LRESULT CWindow::dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  const MessageEntry* table = message_table();
  const MessageEntry* e = table ? find_message_entry(table, msg, wp, lp) : nullptr;
  if (!e) {
    result = default_proc(msg, wp, lp);
  } else {
    HandlerResult r = e->thunk(this, *e, msg, wp, lp);
    result = r.default_after ? default_proc(msg, wp, lp) : r.value;
  }
  if (msg == WM_DESTROY) {
    // Unbind: the window is going; a subclassed control gets its own procedure back.
    HWND h = hwnd_;
    if (h) {
      SetWindowLongPtr(h, GWLP_USERDATA, 0);
      if (previous_proc_) SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_proc_));
    }
    hwnd_ = nullptr;
    previous_proc_ = nullptr;
    if (delete_on_destroy_) delete this;
  }
  return result;
}

// ---- Back key ------------------------------------------------------------------------------------

bool back_key_to_edit(UINT modifiers) {
  HWND focus = GetFocus();
  if (!focus || strcasecmp(GetClassName(focus).c_str(), "Edit") != 0) return false;
  if (modifiers & MOD_HOLD) {
    SetWindowText(focus, "");
    SendMessage(focus, EM_SETSEL, 0, 0);
  } else if (modifiers & MOD_KEYUP) {
    SendMessage(focus, WM_CHAR, VK_BACK, 0);
  }
  return true;
}

// ---- CDlg ----------------------------------------------------------------------------------------

LRESULT CDlg::run() {
  const DialogTemplate* t = FindDialogResource(template_name_);
  if (!t) return -1;
  modal_ = true;
  LRESULT r = DialogBoxIndirectParam(instance_, t, parent_, &CDlg::dialog_proc, reinterpret_cast<LPARAM>(this));
  modal_ = false;
  return r;
}

void CDlg::end_dialog(LRESULT result) {
  if (hwnd_) EndDialog(hwnd_, result);
}

LRESULT CDlg::on_unhandled(UINT, WPARAM, LPARAM) { return FALSE; }

LRESULT CDlg::dialog_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CDlg* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDlg*>(lp);
    if (!self) return FALSE;
    SetWindowLongPtr(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
    if (self->full_screen_) {
      SHINITDLGINFO info;
      info.dwMask = SHIDIM_FLAGS;
      info.hDlg = hwnd;
      info.dwFlags = SHIDIF_SIZEDLGFULLSCREEN;
      SHInitDialog(&info);
    }
    // Dialog titles and control texts come from the language file's section of this dialog.
    the_language().begin_dialog(hwnd, self->template_name_.c_str());
  } else {
    self = reinterpret_cast<CDlg*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
  }
  if (!self) return FALSE;
  if (msg == WM_DESTROY) debug_line("WM_DESTROY  %p \n", static_cast<void*>(hwnd));

  LRESULT answer = FALSE;
  const MessageEntry* e = find_message_entry(self->message_table(), msg, wp, lp);
  if (e) {
    HandlerResult r = e->thunk(self, *e, msg, wp, lp);
    if (r.default_after) {
      answer = FALSE;
    } else if (msg == WM_NOTIFY) {
      SetDlgMsgResult(hwnd, r.value);
      answer = TRUE;
    } else {
      answer = r.value;
    }
  } else if (msg == WM_INITDIALOG) {
    answer = self->on_init_dialog();
  } else {
    answer = self->on_unhandled(msg, wp, lp);
  }
  if (msg == WM_DESTROY) {
    SetWindowLongPtr(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
  }
  return answer;
}

// ---- CDlgEx --------------------------------------------------------------------------------------

CDlgEx::~CDlgEx() {
  if (bold_font_) DeleteObject(bold_font_);
}

bool CDlgEx::dialog_menu_bar(UINT bar_id) {
  SHMENUBARINFO mb;
  mb.cbSize = 36;
  mb.hwndParent = hwnd_;
  mb.nToolBarId = bar_id;
  mb.hInstRes = instance_;
  if (!SHCreateMenuBar(&mb)) return false;
  menu_bar_ = mb.hwndMB;
  menu_ = static_cast<HMENU>(SendMessage(menu_bar_, SHCMBM_GETMENU, 0, 0));
  the_language().translate_menu(menu_bar_, menu_);
  SendMessage(menu_bar_, SHCMBM_OVERRIDEKEY, VK_TBACK,
              MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
  font_ = reinterpret_cast<HFONT>(SendMessage(hwnd_, WM_GETFONT, 0, 0));
  // A dialog that does not answer with its font gave it to its controls.
  for (HWND c = GetWindow(hwnd_, GW_CHILD); c && !font_; c = GetWindow(c, GW_HWNDNEXT))
    font_ = reinterpret_cast<HFONT>(SendMessage(c, WM_GETFONT, 0, 0));
  LOGFONT lf{};
  if (font_ && GetObject(font_, sizeof(lf), &lf)) {
    lf.lfWeight = 700;
    bold_font_ = CreateFontIndirect(&lf);
  }
  return true;
}

LRESULT CDlgEx::on_unhandled(UINT msg, WPARAM, LPARAM lp) {
  if (msg == WM_HOTKEY && HIWORD(lp) == VK_TBACK) {
    const UINT mods = LOWORD(lp);
    if (!back_key_to_edit(mods) && (mods & MOD_KEYUP)) end();
    return TRUE;
  }
  return FALSE;
}

}  // namespace lumora::app
