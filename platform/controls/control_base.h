#pragma once
// What every control shares: its state kept by window handle (the window's user data stays free
// for the application, which binds its own objects there), the window procedure around the
// control's own handler with the answers most controls give alike (font, focus and enable
// repaints, keys passed on to the parent), the paint cycle with the marks of focus and disabled
// state, the pad's keys, measures of text rows, and notifications to the parent.
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "platform/controls/commctrl.h"
#include "platform/controls/theme.h"

namespace lumora::plat::ctl {

// State records of one control class, keyed by window handle. Used on the user-interface thread.
template <class State>
class StateMap {
 public:
  // The one map of the class (the window system calls a class procedure without an object).
  static StateMap& instance() {
    static StateMap m;
    return m;
  }
  State* get(HWND h) {
    auto it = map_.find(h);
    return it == map_.end() ? nullptr : it->second.get();
  }
  State* create(HWND h) {
    auto& slot = map_[h];
    slot = std::make_unique<State>();
    return slot.get();
  }
  void erase(HWND h) { map_.erase(h); }

 private:
  std::unordered_map<HWND, std::unique_ptr<State>> map_;
};

// The part of a control's state that the shared answers below read and write.
struct ControlState {
  HFONT font = nullptr;  // set with WM_SETFONT; null: the theme's body font
};

// The answers that controls share, as flags; a control class takes those that are its behaviour,
// and a message it takes none for goes to DefWindowProc unless its own handler answers it.
enum SharedAnswer : unsigned {
  kKeepsFont = 1u << 0,        // WM_SETFONT stores the font (used from the next paint); WM_GETFONT returns it
  kRedrawsOnFocus = 1u << 1,   // WM_SETFOCUS, WM_KILLFOCUS: the focus mark comes or goes
  kNotifiesFocus = 1u << 2,    // ... and NM_SETFOCUS, NM_KILLFOCUS go to the parent first
  kRedrawsOnEnable = 1u << 3,  // WM_ENABLE: the disabled look
  kRedrawsOnText = 1u << 4,    // WM_SETTEXT: the window text is the label
  kPassesKeys = 1u << 5,       // WM_KEYDOWN, WM_KEYUP, WM_CHAR the control does not use go to the parent
};

// The shared answers a class takes (SharedAnswer flags); any other message goes to DefWindowProc.
LRESULT shared_answer(HWND hwnd, ControlState& state, unsigned shared, UINT msg, WPARAM wp, LPARAM lp);

// A control class: its name, its shared answers, its painting and its own messages. The handler
// returns nothing for a message it leaves to the shared answers.
template <class S>
struct ControlClass {
  using State = S;
  const char* name;
  unsigned shared;  // SharedAnswer flags
  void (*paint)(HWND, State&);
  std::optional<LRESULT> (*handle)(HWND, State&, UINT, WPARAM, LPARAM);
  UINT class_style = 0;
};

// The window procedure of a control class: the state is made at WM_NCCREATE (which the handler
// sees next, to fill it from the CREATESTRUCT) and dropped at WM_NCDESTROY; the background is
// never erased, because every control paints its whole client area.
template <const auto& Class>
LRESULT control_proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  using State = typename std::remove_cvref_t<decltype(Class)>::State;
  StateMap<State>& states = StateMap<State>::instance();
  State* s = states.get(h);
  if (!s) {
    if (msg != WM_NCCREATE) return DefWindowProc(h, msg, wp, lp);
    s = states.create(h);
    return Class.handle(h, *s, msg, wp, lp).value_or(TRUE);
  }
  switch (msg) {
    case WM_NCDESTROY:
      states.erase(h);
      return 0;
    case WM_PAINT:
      Class.paint(h, *s);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      break;
  }
  if (std::optional<LRESULT> own = Class.handle(h, *s, msg, wp, lp)) return *own;
  // A notification sent by the handler may have let the parent destroy the control.
  s = states.get(h);
  return s ? shared_answer(h, *s, Class.shared, msg, wp, lp) : DefWindowProc(h, msg, wp, lp);
}

// Registers the class's window procedure under its name (each control's register_* function).
template <const auto& Class>
void register_control() {
  WNDCLASS wc;
  wc.style = Class.class_style;
  wc.lpfnWndProc = control_proc<Class>;
  wc.lpszClassName = Class.name;
  RegisterClass(&wc);
}

// One paint cycle of a control: BeginPaint when made, EndPaint when it goes out of scope, and what
// decides the look of every control.
class ControlPaint {
 public:
  explicit ControlPaint(HWND hwnd);
  ~ControlPaint();
  ControlPaint(const ControlPaint&) = delete;
  ControlPaint& operator=(const ControlPaint&) = delete;

  HDC dc = nullptr;
  RECT client{};
  bool focus = false;   // the control is the keyboard focus and shows its focus mark
  bool enabled = true;  // else it is drawn greyed

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
};

// The edge of a boxed control (drop-down, list box, edit): the focus mark while it has the focus,
// else a thin border.
void box_edge(HDC dc, const RECT& r, bool focus);
// Colour of a control's text: grey while the control is disabled.
COLORREF text_colour(bool enabled);
// Hands the drawing of an owner-drawn control (or of one of its items) to the parent with
// WM_DRAWITEM; the caller sets the item's own fields (itemID, itemState, itemData) first.
void draw_by_parent(HWND hwnd, DRAWITEMSTRUCT& di, UINT type, HDC dc, const RECT& r);

// Fills the header and sends WM_NOTIFY to the parent; returns the parent's answer.
LRESULT notify_parent(HWND hwnd, NMHDR* hdr, int code);
// WM_COMMAND with the control id and a notification code to the parent.
void command_parent(HWND hwnd, WORD code);
// Sends a key message the control does not use on to its parent, so that the window or dialog
// that holds the control sees it.
LRESULT pass_key_to_parent(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// The pad's two key pairs: Left and Right step a value (drop-down, trackbar, spinner, edit caret),
// Up and Down move through a list or between a dialog's controls.
inline bool is_left_right(WPARAM key) { return key == VK_LEFT || key == VK_RIGHT; }
inline bool is_up_down(WPARAM key) { return key == VK_UP || key == VK_DOWN; }
// WM_GETDLGCODE of the list view and the tree view: the pad and typed characters are theirs; in a
// dialog the action key belongs to the dialog (its default command).
inline LRESULT list_dialog_code(WPARAM key) { return key == VK_RETURN ? 0 : DLGC_WANTARROWS | DLGC_WANTCHARS; }

// The font a control draws with: the one set with WM_SETFONT, else the theme's body font.
HFONT control_font(HFONT set);
// Height in pixels of a text line in that font (ascent + descent).
int control_line_height(HWND hwnd, HFONT set);
// Whole rows of the given height (pixels) that fit in the client area; at least one.
int rows_in_client(HWND hwnd, int row_height);
// The first row to show of a scrolled list of `count` rows, `shown` at a time, so that `row` is in
// view: moved from `first` as little as that takes and never past the last full page. A negative
// row (nothing current) only keeps `first` within the list.
int scroll_to_show(int first, int row, int shown, int count);
// The window's style bits (WS_*, and the control's own).
DWORD style_of(HWND hwnd);
// Whether the control is the keyboard focus (and so shows its focus mark).
bool has_focus(HWND hwnd);
// Copies text into a caller's buffer of `size` bytes, cut to fit with its terminating NUL; returns
// the bytes copied before the NUL (0 without a buffer).
size_t copy_to_buffer(std::string_view text, char* buf, size_t size);
// Text of a window as the classic prefix rules show it: "&&" is one '&', a single '&' is dropped.
std::string without_prefix(std::string_view s);

// Registration of each control class (called by InitCommonControls).
void register_listview();
void register_treeview();
void register_trackbar();
void register_updown();
void register_edit();
void register_button();
void register_static();
void register_listbox();
void register_combobox();

// Private message: the up-down control tells its buddy edit that Left/Right belong to it.
inline constexpr UINT EM_PRIV_SETSPINNER = WM_USER + 0x3F0;

}  // namespace lumora::plat::ctl
