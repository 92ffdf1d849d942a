#pragma once
// What every control shares: its state kept by window handle (the window's user data stays free
// for the application, which binds its own objects there), notifications to the parent, keys
// passed on to the parent, and the font a parent hands over with WM_SETFONT.
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/controls/commctrl.h"
#include "platform/controls/theme.h"

namespace lumora::plat::ctl {

// State records of one control class, keyed by window handle. Used on the user-interface thread.
template <class State>
class StateMap {
 public:
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
  // The start of every control procedure: the control's state, created at WM_NCCREATE. Null when
  // the window has no state (yet); `*result` is then the procedure's answer.
  State* for_message(HWND h, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (State* s = get(h)) return s;
    if (msg == WM_NCCREATE) {
      create(h);
      *result = TRUE;
    } else {
      *result = DefWindowProc(h, msg, wp, lp);
    }
    return nullptr;
  }

 private:
  std::unordered_map<HWND, std::unique_ptr<State>> map_;
};

// Fills the header and sends WM_NOTIFY to the parent; returns the parent's answer.
LRESULT notify_parent(HWND hwnd, NMHDR* hdr, int code);
// WM_COMMAND with the control id and a notification code to the parent.
void command_parent(HWND hwnd, WORD code);
// Sends a key message the control does not use on to its parent, so that the window or dialog
// that holds the control sees it.
LRESULT pass_key_to_parent(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// The font a control draws with: the one set with WM_SETFONT, else the theme's body font.
HFONT control_font(HFONT set);
// Whether the control is the keyboard focus (and so shows its focus mark).
bool has_focus(HWND hwnd);
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
