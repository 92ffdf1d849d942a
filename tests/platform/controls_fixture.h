#pragma once
// A headless platform with the controls registered, a parent window that records what its
// controls tell it, and a driver that presses keys from inside modal loops.
#include <functional>
#include <string>
#include <vector>

#include "platform/controls/commctrl.h"
#include "platform/dialog/dialog.h"
#include "platform/menu/menubar.h"
#include "platform_fixture.h"

namespace lumora::plat::testing {

struct Heard {
  UINT msg = 0;    // WM_NOTIFY, WM_COMMAND, WM_HSCROLL, WM_VSCROLL, WM_DRAWITEM, WM_HOTKEY
  int code = 0;    // notification code, command code or scroll code
  uintptr_t id = 0;
  int item = -1;   // list item, or custom-draw item
  UINT old_state = 0, new_state = 0;
  DWORD stage = 0;
  uintptr_t tree_item = 0;
  UINT action = 0;
  int pos = 0, delta = 0;
};

inline std::vector<Heard> g_heard;
// Answers the parent gives to notifications (0 when not set).
inline std::function<LRESULT(NMHDR*)> g_answer;
inline UINT g_measured_height = 0;

inline LRESULT parent_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      Heard e;
      e.msg = m;
      e.code = hdr->code;
      e.id = hdr->idFrom;
      if (hdr->code == LVN_ITEMCHANGING || hdr->code == LVN_ITEMCHANGED || hdr->code == LVN_ITEMACTIVATE ||
          hdr->code == LVN_INSERTITEM || hdr->code == LVN_DELETEITEM) {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
        e.item = nm->iItem;
        e.old_state = nm->uOldState;
        e.new_state = nm->uNewState;
      } else if (hdr->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(lp);
        e.stage = cd->dwDrawStage;
        e.item = (cd->dwDrawStage & CDDS_ITEM) ? static_cast<int>(cd->dwItemSpec) : -1;
      } else if (hdr->code <= TVN_FIRST && hdr->code > TVN_FIRST - 20 && hdr->code != TVN_GETDISPINFO) {
        auto* nm = reinterpret_cast<NMTREEVIEW*>(lp);
        e.action = nm->action;
        e.tree_item = reinterpret_cast<uintptr_t>(hdr->code == TVN_DELETEITEM ? nm->itemOld.hItem : nm->itemNew.hItem);
      } else if (hdr->code == UDN_DELTAPOS) {
        auto* nm = reinterpret_cast<NMUPDOWN*>(lp);
        e.pos = nm->iPos;
        e.delta = nm->iDelta;
      }
      if (hdr->code != TVN_GETDISPINFO) g_heard.push_back(e);
      return g_answer ? g_answer(hdr) : 0;
    }
    case WM_COMMAND:
      g_heard.push_back(Heard{m, HIWORD(wp), LOWORD(wp)});
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      Heard e{m, LOWORD(wp)};
      e.pos = static_cast<int16_t>(HIWORD(wp));
      g_heard.push_back(e);
      return 0;
    }
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      Heard e{m, static_cast<int>(di->CtlType), di->CtlID};
      e.item = static_cast<int>(di->itemID);
      e.new_state = di->itemState;
      g_heard.push_back(e);
      return TRUE;
    }
    case WM_MEASUREITEM:
      if (g_measured_height) reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = g_measured_height;
      return TRUE;
    case WM_HOTKEY:
      g_heard.push_back(Heard{m, static_cast<int>(LOWORD(static_cast<uintptr_t>(lp))), HIWORD(static_cast<uintptr_t>(lp))});
      return 0;
    default:
      return DefWindowProc(h, m, wp, lp);
  }
}

// Presses phone keys one at a time from the message queue, so that each key goes to whatever
// window has the keyboard at that moment (a menu or a dialog opened by the key before).
// A step may also run a function. When the steps run out the thread is asked to quit, which
// ends every modal loop, so a test that expected something else fails instead of hanging.
struct Step {
  Step(UINT key) : vk(key) {}  // NOLINT: a key alone reads best in the step lists
  Step(UINT key, std::function<void()> fn) : vk(key), run(std::move(fn)) {}
  UINT vk = 0;
  std::function<void()> run;
};
inline std::vector<Step> g_steps;
inline constexpr UINT WM_DRIVE = WM_USER + 77;

inline LRESULT driver_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_DRIVE) return DefWindowProc(h, m, wp, lp);
  size_t i = wp;
  if (i >= g_steps.size()) {
    PostQuitMessage(0);
    return 0;
  }
  if (g_steps[i].run) g_steps[i].run();
  if (g_steps[i].vk) {
    InjectKey(g_steps[i].vk, true);
    InjectKey(g_steps[i].vk, false);
  }
  PostMessage(h, WM_DRIVE, i + 1, 0);
  return 0;
}

class ControlsTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    InitCommonControls();
    g_heard.clear();
    g_answer = nullptr;
    g_measured_height = 0;
    g_steps.clear();
    register_class("TestParent", parent_proc);
    parent_ = CreateWindowEx(0, "TestParent", "Parent", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, 0, nullptr, nullptr);
    driver_ = message_window("TestDriver", driver_proc);
    PumpPendingMessages();
  }
  void TearDown() override {
    g_answer = nullptr;
    g_steps.clear();
    HeadlessTest::TearDown();
  }
  HWND child(const char* cls, DWORD style, RECT r, int id = 100, const char* text = "") {
    HWND h = CreateWindowEx(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                            r.bottom - r.top, parent_, static_cast<HMENU>(id), nullptr, nullptr);
    PumpPendingMessages();
    return h;
  }
  static void press(UINT vk) {
    InjectKey(vk, true);
    InjectKey(vk, false);
    PumpPendingMessages();
  }
  // Starts the driver: its steps run once the caller enters a message loop.
  void drive(std::vector<Step> steps) {
    g_steps = std::move(steps);
    PostMessage(driver_, WM_DRIVE, 0, 0);
  }
  // Runs the thread's message loop with the driver's steps; their end ends it.
  void run(std::vector<Step> steps) {
    drive(std::move(steps));
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0)) {
      TranslateMessage(&m);
      DispatchMessage(&m);
    }
  }
  static std::vector<Heard> heard(UINT msg) {
    std::vector<Heard> out;
    for (const Heard& h : g_heard)
      if (h.msg == msg) out.push_back(h);
    return out;
  }
  static std::vector<int> codes(UINT msg = WM_NOTIFY) {
    std::vector<int> out;
    for (const Heard& h : g_heard)
      if (h.msg == msg) out.push_back(h.code);
    return out;
  }
  HWND parent_ = nullptr;
  HWND driver_ = nullptr;
};

}  // namespace lumora::plat::testing
