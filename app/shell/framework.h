#pragma once
// The program's window framework: C++ objects bound to platform windows and dialogs, each class
// routing its messages through a static message table of member handlers.
//
//   class CFoo : public CWindow {
//     LUMORA_DECLARE_MESSAGE_TABLE();
//     void OnSize(UINT type, int cx, int cy);
//     void OnView(UINT id);
//   };
//   LUMORA_BEGIN_MESSAGE_TABLE(CFoo)
//     ON_SIZE(OnSize)
//     ON_COMMAND_RANGE(32776, 32779, OnView)
//   LUMORA_END_MESSAGE_TABLE()
//
// Handler forms and what happens after them:
//   WM_CREATE           LRESULT (CREATESTRUCT*)             the value is returned
//   WM_DESTROY/PAINT/CLOSE  void ()                         default processing
//   WM_SIZE             void (UINT type, int cx, int cy)    default processing
//   WM_SETFOCUS/KILLFOCUS   void (HWND other)               default processing
//   WM_DRAWITEM/MEASUREITEM LRESULT (WPARAM, LPARAM)        the value is returned
//   WM_NOTIFY (id, code)    void (NMHDR*, LRESULT* result)  result (starts at -1) is returned
//   WM_NOTIFY (any)         BOOL (WPARAM, NMHDR*, LRESULT*) result returned when non-zero, else default
//   WM_KEYDOWN/KEYUP/CHAR   void (UINT key, UINT repeat, LPARAM)  default processing
//   WM_COMMAND          void (UINT id) or void (HWND control)     default processing
//   WM_TIMER            void (UINT id)                      default processing
//   WM_HSCROLL/VSCROLL  void (int code, int pos, HWND bar)  default processing
//   WM_HOTKEY           void (int id, UINT modifiers, UINT key)   default processing
//   mouse buttons       void (UINT flags, int x, int y)     default processing
//   anything else       LRESULT (WPARAM, LPARAM)            the value is returned
// In dialogs "default processing" means the procedure answers FALSE (not handled).
#include <string>

#include "platform/platform.h"

namespace lumora::app {

using namespace lumora::plat;

class CWnd;
class CBase;

// What a handler thunk gives back: the value, and whether default processing follows.
struct HandlerResult {
  LRESULT value = 0;
  bool default_after = false;
};

struct MessageEntry;
using MessageThunk = HandlerResult (*)(void* object, const MessageEntry& entry, UINT msg, WPARAM wp, LPARAM lp);

// One entry of a message table; a table ends with an entry whose message is UINT(-1).
struct MessageEntry {
  UINT message = 0;
  int code = -1;        // WM_COMMAND: notification code, -1 any; WM_NOTIFY: notification code
  UINT first_id = 0;    // WM_COMMAND: first command id; WM_NOTIFY: control id (0 with code 0: any)
  UINT last_id = 0;     // WM_COMMAND: last command id of the range
  UINT kind = 0;        // WM_COMMAND: non-zero = the handler gets the control handle
  MessageThunk thunk = nullptr;
};

// Finds the entry for a message, or null: the matching rules shared by windows and dialogs.
const MessageEntry* find_message_entry(const MessageEntry* table, UINT msg, WPARAM wp, LPARAM lp);

// ---- Windows ---------------------------------------------------------------------------------

class CWnd {
 public:
  virtual ~CWnd() = default;
};

class CWindow : public CWnd {
 public:
  CWindow();
  ~CWindow() override;
  CWindow(const CWindow&) = delete;
  CWindow& operator=(const CWindow&) = delete;

  // Registers the class once per process with the framework's window procedure. Shows
  // "RegisterClass() failed" when the platform refuses it.
  static bool register_class(UINT style, const char* name);
  // Creates the window with this object as its creation parameter. An empty rectangle means the
  // default position and size.
  HWND create(DWORD ex_style, const char* title, DWORD style, const RECT& r, HWND parent, HMENU id_or_menu);
  // Binds an existing control (list view, tree view) to this object: messages go through the
  // object's table first and on to the control's own procedure.
  bool subclass(HWND control);
  void destroy();

  HWND hwnd() const { return hwnd_; }
  operator HWND() const { return hwnd_; }
  void set_delete_on_destroy(bool on) { delete_on_destroy_ = on; }

  static LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 protected:
  virtual const MessageEntry* message_table() const { return nullptr; }
  // Default processing: the subclassed control's procedure, else the platform's.
  LRESULT default_proc(UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  WNDPROC previous_proc_ = nullptr;
  std::string class_name_;
  bool delete_on_destroy_ = false;

 private:
  LRESULT dispatch(UINT msg, WPARAM wp, LPARAM lp);
};

// ---- Dialogs -----------------------------------------------------------------------------------

class CBase {
 public:
  virtual ~CBase() = default;
};

class CDlg : public CBase {
 public:
  CDlg(HWND parent, const char* template_name) : parent_(parent), template_name_(template_name) {}
  CDlg(const CDlg&) = delete;
  CDlg& operator=(const CDlg&) = delete;

  // Runs the dialog modally from its registered template; returns the EndDialog result, -1 when
  // the dialog could not be made.
  LRESULT run();
  HWND hwnd() const { return hwnd_; }
  operator HWND() const { return hwnd_; }
  void set_full_screen(bool on) { full_screen_ = on; }

  static LRESULT dialog_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 protected:
  virtual const MessageEntry* message_table() const { return nullptr; }
  // Called when WM_INITDIALOG arrives and no table entry handles it.
  virtual BOOL on_init_dialog() { return TRUE; }
  // Messages the table does not handle; FALSE = not handled.
  virtual LRESULT on_unhandled(UINT msg, WPARAM wp, LPARAM lp);
  void end_dialog(LRESULT result);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  HWND parent_ = nullptr;
  std::string template_name_;
  bool full_screen_ = true;
  bool modal_ = false;
};

// A dialog with a soft-key bar, the dialog font and a bold copy of it, and the common Back key:
// in an edit control a release deletes one character and a held key clears it; elsewhere the
// release ends the dialog with result 0.
class CDlgEx : public CDlg {
 public:
  using CDlg::CDlg;
  ~CDlgEx() override;
  // Closes the dialog with result 0.
  virtual void end() { end_dialog(0); }

 protected:
  // Creates the soft-key bar from menu resource bar_id (translated, with the Back key overridden)
  // and the bold font. Call from the init handler.
  bool dialog_menu_bar(UINT bar_id);
  LRESULT on_unhandled(UINT msg, WPARAM wp, LPARAM lp) override;
  HMENU menu_ = 0;
  HFONT font_ = nullptr;
  HFONT bold_font_ = nullptr;
  HWND menu_bar_ = nullptr;
};

// The Back key as a phone's edit and dialog handling want it (also used by the main window).
// Returns true when the key went to a focused edit control.
bool back_key_to_edit(UINT modifiers);

// ---- Thunks: one per argument form -------------------------------------------------------------

namespace thunk {

template <class T, LRESULT (T::*F)(CREATESTRUCT*)>
HandlerResult create(void* o, const MessageEntry&, UINT, WPARAM, LPARAM lp) {
  return {(static_cast<T*>(o)->*F)(reinterpret_cast<CREATESTRUCT*>(lp)), false};
}
template <class T, void (T::*F)()>
HandlerResult plain(void* o, const MessageEntry&, UINT, WPARAM, LPARAM) {
  (static_cast<T*>(o)->*F)();
  return {0, true};
}
template <class T, void (T::*F)(UINT, int, int)>
HandlerResult size(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM lp) {
  (static_cast<T*>(o)->*F)(static_cast<UINT>(wp), static_cast<int>(LOWORD(lp)), static_cast<int>(HIWORD(lp)));
  return {0, true};
}
template <class T, void (T::*F)(HWND)>
HandlerResult focus(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM) {
  (static_cast<T*>(o)->*F)(reinterpret_cast<HWND>(wp));
  return {0, true};
}
template <class T, LRESULT (T::*F)(WPARAM, LPARAM)>
HandlerResult raw(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM lp) {
  return {(static_cast<T*>(o)->*F)(wp, lp), false};
}
template <class T, void (T::*F)(NMHDR*, LRESULT*)>
HandlerResult notify(void* o, const MessageEntry&, UINT, WPARAM, LPARAM lp) {
  LRESULT result = -1;
  (static_cast<T*>(o)->*F)(reinterpret_cast<NMHDR*>(lp), &result);
  return {result, false};
}
template <class T, BOOL (T::*F)(WPARAM, NMHDR*, LRESULT*)>
HandlerResult notify_any(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM lp) {
  LRESULT result = -1;
  if ((static_cast<T*>(o)->*F)(wp, reinterpret_cast<NMHDR*>(lp), &result)) return {result, false};
  return {0, true};
}
template <class T, void (T::*F)(UINT, UINT, LPARAM)>
HandlerResult key(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM lp) {
  (static_cast<T*>(o)->*F)(static_cast<UINT>(wp), static_cast<UINT>(lp & 0xFFFF), lp);
  return {0, true};
}
template <class T, void (T::*F)(UINT)>
HandlerResult command(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM) {
  (static_cast<T*>(o)->*F)(LOWORD(wp));
  return {0, true};
}
template <class T, void (T::*F)(HWND)>
HandlerResult command_control(void* o, const MessageEntry&, UINT, WPARAM, LPARAM lp) {
  (static_cast<T*>(o)->*F)(reinterpret_cast<HWND>(lp));
  return {0, true};
}
template <class T, void (T::*F)(UINT)>
HandlerResult timer(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM) {
  (static_cast<T*>(o)->*F)(static_cast<UINT>(wp));
  return {0, true};
}
template <class T, void (T::*F)(int, int, HWND)>
HandlerResult scroll(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM lp) {
  (static_cast<T*>(o)->*F)(static_cast<int>(LOWORD(wp)), static_cast<int>(static_cast<short>(HIWORD(wp))),
                           reinterpret_cast<HWND>(lp));
  return {0, true};
}
template <class T, void (T::*F)(int, UINT, UINT)>
HandlerResult hotkey(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM lp) {
  (static_cast<T*>(o)->*F)(static_cast<int>(wp), LOWORD(lp), HIWORD(lp));
  return {0, true};
}
template <class T, void (T::*F)(UINT, int, int)>
HandlerResult mouse(void* o, const MessageEntry&, UINT, WPARAM wp, LPARAM lp) {
  (static_cast<T*>(o)->*F)(static_cast<UINT>(wp), static_cast<int>(static_cast<short>(LOWORD(lp))),
                           static_cast<int>(static_cast<short>(HIWORD(lp))));
  return {0, true};
}

}  // namespace thunk

#define LUMORA_DECLARE_MESSAGE_TABLE() \
 protected:                            \
  const ::lumora::app::MessageEntry* message_table() const override

#define LUMORA_BEGIN_MESSAGE_TABLE(cls)                                  \
  const ::lumora::app::MessageEntry* cls::message_table() const {        \
    using ThisClass = cls;                                               \
    static const ::lumora::app::MessageEntry kTable[] = {
#define LUMORA_END_MESSAGE_TABLE()                     \
  {UINT(-1), -1, 0, 0, 0, nullptr}                     \
  }                                                    \
  ;                                                    \
  return kTable;                                       \
  }

#define ON_CREATE(fn) {::lumora::plat::WM_CREATE, -1, 0, 0, 0, &::lumora::app::thunk::create<ThisClass, &ThisClass::fn>},
#define ON_MESSAGE_PLAIN(msg, fn) {msg, -1, 0, 0, 0, &::lumora::app::thunk::plain<ThisClass, &ThisClass::fn>},
#define ON_DESTROY(fn) ON_MESSAGE_PLAIN(::lumora::plat::WM_DESTROY, fn)
#define ON_PAINT(fn) ON_MESSAGE_PLAIN(::lumora::plat::WM_PAINT, fn)
#define ON_CLOSE(fn) ON_MESSAGE_PLAIN(::lumora::plat::WM_CLOSE, fn)
#define ON_SIZE(fn) {::lumora::plat::WM_SIZE, -1, 0, 0, 0, &::lumora::app::thunk::size<ThisClass, &ThisClass::fn>},
#define ON_SETFOCUS(fn) {::lumora::plat::WM_SETFOCUS, -1, 0, 0, 0, &::lumora::app::thunk::focus<ThisClass, &ThisClass::fn>},
#define ON_KILLFOCUS(fn) {::lumora::plat::WM_KILLFOCUS, -1, 0, 0, 0, &::lumora::app::thunk::focus<ThisClass, &ThisClass::fn>},
#define ON_MESSAGE(msg, fn) {msg, -1, 0, 0, 0, &::lumora::app::thunk::raw<ThisClass, &ThisClass::fn>},
#define ON_DRAWITEM(fn) ON_MESSAGE(::lumora::plat::WM_DRAWITEM, fn)
#define ON_MEASUREITEM(fn) ON_MESSAGE(::lumora::plat::WM_MEASUREITEM, fn)
#define ON_NOTIFY(code, id, fn) \
  {::lumora::plat::WM_NOTIFY, code, id, id, 0, &::lumora::app::thunk::notify<ThisClass, &ThisClass::fn>},
#define ON_NOTIFY_ANY(fn) \
  {::lumora::plat::WM_NOTIFY, 0, 0, 0, 0, &::lumora::app::thunk::notify_any<ThisClass, &ThisClass::fn>},
#define ON_KEYDOWN(fn) {::lumora::plat::WM_KEYDOWN, -1, 0, 0, 0, &::lumora::app::thunk::key<ThisClass, &ThisClass::fn>},
#define ON_KEYUP(fn) {::lumora::plat::WM_KEYUP, -1, 0, 0, 0, &::lumora::app::thunk::key<ThisClass, &ThisClass::fn>},
#define ON_CHAR(fn) {::lumora::plat::WM_CHAR, -1, 0, 0, 0, &::lumora::app::thunk::key<ThisClass, &ThisClass::fn>},
#define ON_COMMAND(id, fn) \
  {::lumora::plat::WM_COMMAND, -1, id, id, 0, &::lumora::app::thunk::command<ThisClass, &ThisClass::fn>},
#define ON_COMMAND_RANGE(first, last, fn) \
  {::lumora::plat::WM_COMMAND, -1, first, last, 0, &::lumora::app::thunk::command<ThisClass, &ThisClass::fn>},
// A control's notification through WM_COMMAND (BN_CLICKED, EN_CHANGE, ...), with the command id.
#define ON_COMMAND_CODE(code, id, fn) \
  {::lumora::plat::WM_COMMAND, code, id, id, 0, &::lumora::app::thunk::command<ThisClass, &ThisClass::fn>},
#define ON_COMMAND_CONTROL(first, last, fn) \
  {::lumora::plat::WM_COMMAND, -1, first, last, 1, &::lumora::app::thunk::command_control<ThisClass, &ThisClass::fn>},
#define ON_TIMER(fn) {::lumora::plat::WM_TIMER, -1, 0, 0, 0, &::lumora::app::thunk::timer<ThisClass, &ThisClass::fn>},
#define ON_HSCROLL(fn) {::lumora::plat::WM_HSCROLL, -1, 0, 0, 0, &::lumora::app::thunk::scroll<ThisClass, &ThisClass::fn>},
#define ON_VSCROLL(fn) {::lumora::plat::WM_VSCROLL, -1, 0, 0, 0, &::lumora::app::thunk::scroll<ThisClass, &ThisClass::fn>},
#define ON_HOTKEY(fn) {::lumora::plat::WM_HOTKEY, -1, 0, 0, 0, &::lumora::app::thunk::hotkey<ThisClass, &ThisClass::fn>},
#define ON_LBUTTONDOWN(fn) \
  {::lumora::plat::WM_LBUTTONDOWN, -1, 0, 0, 0, &::lumora::app::thunk::mouse<ThisClass, &ThisClass::fn>},
#define ON_LBUTTONUP(fn) \
  {::lumora::plat::WM_LBUTTONUP, -1, 0, 0, 0, &::lumora::app::thunk::mouse<ThisClass, &ThisClass::fn>},
// WM_INITDIALOG in a dialog's table: BOOL-valued, through the raw form.
#define ON_INITDIALOG(fn) ON_MESSAGE(::lumora::plat::WM_INITDIALOG, fn)

}  // namespace lumora::app
