// Up-down spinner: a value between two bounds shown in a buddy edit (UDS_SETBUDDYINT). The
// bounds may be handed over either way round; the value stays between them and Right/Up step
// towards the larger. Every step asks the parent first with UDN_DELTAPOS (non-zero refuses).
// The spinner itself is drawn as two arrows beside its buddy; the buddy keeps the focus and
// passes Left/Right to it.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/controls/control_base.h"

namespace lumora::plat {
namespace {

using namespace ctl;

struct UpDown : ControlState {
  int upper = 0, lower = 100;  // as handed over
  int pos = 0;
  HWND buddy = nullptr;
};

int lo(const UpDown& u) { return std::min(u.upper, u.lower); }
int hi(const UpDown& u) { return std::max(u.upper, u.lower); }

void show_in_buddy(HWND h, UpDown& u) {
  if ((style_of(h) & UDS_SETBUDDYINT) && u.buddy && IsWindow(u.buddy)) SetWindowText(u.buddy, std::to_string(u.pos));
}

// The buddy's number when it holds one.
bool read_buddy(const UpDown& u, int* out) {
  if (!u.buddy || !IsWindow(u.buddy)) return false;
  std::string t = GetWindowText(u.buddy);
  if (t.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(t.c_str(), &end, 10);
  if (!end || *end != '\0') return false;
  *out = static_cast<int>(std::clamp<long>(v, -0x7FFFFFFF, 0x7FFFFFFF));
  return true;
}

void sync_from_buddy(HWND h, UpDown& u) {
  int v;
  if ((style_of(h) & UDS_SETBUDDYINT) && read_buddy(u, &v)) u.pos = std::clamp(v, lo(u), hi(u));
}

void step(HWND h, UpDown& u, int delta) {
  sync_from_buddy(h, u);
  NMUPDOWN nm;
  nm.iPos = u.pos;
  nm.iDelta = delta;
  if (notify_parent(h, &nm.hdr, UDN_DELTAPOS)) return;
  if (!IsWindow(h) || !StateMap<UpDown>::instance().get(h)) return;
  int next = u.pos + delta;
  if (next > hi(u)) next = (style_of(h) & UDS_WRAP) ? lo(u) : hi(u);
  if (next < lo(u)) next = (style_of(h) & UDS_WRAP) ? hi(u) : lo(u);
  if (next == u.pos) return;
  u.pos = next;
  show_in_buddy(h, u);
  InvalidateRect(h, nullptr, TRUE);
  if (HWND p = GetParent(h)) {
    UINT msg = (style_of(h) & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    SendMessage(p, msg, MAKEWPARAM(SB_THUMBPOSITION, u.pos), reinterpret_cast<LPARAM>(h));
    if (IsWindow(h)) SendMessage(p, msg, MAKEWPARAM(SB_ENDSCROLL, u.pos), reinterpret_cast<LPARAM>(h));
  }
}

void attach(HWND h, UpDown& u, HWND buddy) {
  if (u.buddy && IsWindow(u.buddy)) SendMessage(u.buddy, EM_PRIV_SETSPINNER, 0, 0);
  u.buddy = buddy;
  if (!buddy || !IsWindow(buddy)) return;
  SendMessage(buddy, EM_PRIV_SETSPINNER, 0, reinterpret_cast<LPARAM>(h));
  DWORD st = style_of(h);
  if (st & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT)) {
    // Sit at the buddy's edge, taking the room from the buddy.
    RECT br, mine;
    GetWindowRect(buddy, &br);
    GetWindowRect(h, &mine);
    HWND parent = GetParent(buddy);
    POINT tl{br.left, br.top};
    ScreenToClient(parent, &tl);
    int w = std::max(ui::px(30), static_cast<int>(RectWidth(mine) > 1 ? RectWidth(mine) : 0));
    w = std::min(w, static_cast<int>(RectWidth(br)) / 2);
    int bw = RectWidth(br) - w, bh = RectHeight(br);
    if (st & UDS_ALIGNRIGHT) {
      MoveWindow(buddy, tl.x, tl.y, bw, bh, TRUE);
      MoveWindow(h, tl.x + bw, tl.y, w, bh, TRUE);
    } else {
      MoveWindow(h, tl.x, tl.y, w, bh, TRUE);
      MoveWindow(buddy, tl.x + w, tl.y, bw, bh, TRUE);
    }
  }
  show_in_buddy(h, u);
}

void paint(HWND h, UpDown& u) {
  ControlPaint p(h);
  HDC dc = p.dc;
  const RECT& c = p.client;
  ui::fill(dc, c, ui::kFace);
  ui::frame(dc, c, ui::kBorder, 1);
  bool active = u.buddy && GetFocus() == u.buddy;
  COLORREF arrow = !p.enabled ? ui::kGreyText : active ? ui::kAccent : ui::kText;
  // A phone spinner: left and right arrows (up and down when it stands upright without UDS_HORZ
  // and is taller than wide).
  bool upright = !(style_of(h) & UDS_HORZ) && RectHeight(c) > RectWidth(c) * 2;
  if (upright) {
    ui::triangle(dc, RECT{0, 0, c.right, c.bottom / 2}, 0, arrow);
    ui::triangle(dc, RECT{0, c.bottom / 2, c.right, c.bottom}, 2, arrow);
  } else {
    int inset = ui::px(3);
    ui::triangle(dc, RECT{inset, 0, c.right / 2, c.bottom}, 3, arrow);
    ui::triangle(dc, RECT{c.right / 2, 0, c.right - inset, c.bottom}, 1, arrow);
    ui::fill(dc, RECT{c.right / 2, ui::px(4), c.right / 2 + 1, c.bottom - ui::px(4)}, ui::kBorder);
  }
}

std::optional<LRESULT> handle(HWND h, UpDown& u, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      if (style_of(h) & UDS_AUTOBUDDY) {
        // The buddy is the control created just before.
        HWND prev = GetWindow(h, GW_HWNDPREV);
        HWND next = GetWindow(h, GW_HWNDNEXT);
        attach(h, u, prev ? prev : next);
      }
      return 0;
    case WM_GETDLGCODE:
      return is_left_right(wp) ? DLGC_WANTARROWS : 0;
    case WM_KEYDOWN:
      if (wp == VK_RIGHT || (wp == VK_UP && !(style_of(h) & UDS_HORZ) && !u.buddy)) {
        step(h, u, +1);
        return 0;
      }
      if (wp == VK_LEFT || (wp == VK_DOWN && !(style_of(h) & UDS_HORZ) && !u.buddy)) {
        step(h, u, -1);
        return 0;
      }
      return pass_key_to_parent(h, msg, wp, lp);
    case WM_LBUTTONDOWN: {
      RECT c;
      GetClientRect(h, &c);
      bool upright = !(style_of(h) & UDS_HORZ) && RectHeight(c) > RectWidth(c) * 2;
      bool plus = upright ? GET_Y_LPARAM(lp) < c.bottom / 2 : GET_X_LPARAM(lp) >= c.right / 2;
      step(h, u, plus ? +1 : -1);
      return 0;
    }
    case UDM_SETRANGE:
      u.upper = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp)));
      u.lower = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp)));
      u.pos = std::clamp(u.pos, lo(u), hi(u));
      return 0;
    case UDM_GETRANGE:
      return MAKELPARAM(u.upper, u.lower);
    case UDM_SETRANGE32:
      u.lower = static_cast<int>(static_cast<intptr_t>(wp));
      u.upper = static_cast<int>(lp);
      u.pos = std::clamp(u.pos, lo(u), hi(u));
      return 0;
    case UDM_GETRANGE32:
      if (wp) *reinterpret_cast<int*>(wp) = u.lower;
      if (lp) *reinterpret_cast<int*>(lp) = u.upper;
      return 0;
    case UDM_SETPOS:
    case UDM_SETPOS32: {
      int old = u.pos;
      int v = msg == UDM_SETPOS ? static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))) : static_cast<int>(lp);
      u.pos = std::clamp(v, lo(u), hi(u));
      show_in_buddy(h, u);
      InvalidateRect(h, nullptr, TRUE);
      return old;
    }
    case UDM_GETPOS:
    case UDM_GETPOS32: {
      // The buddy's text is the value when it holds a number within the range.
      bool error = false;
      if (style_of(h) & UDS_SETBUDDYINT) {
        int v;
        if (read_buddy(u, &v) && v >= lo(u) && v <= hi(u)) u.pos = v;
        else error = true;
      }
      if (msg == UDM_GETPOS32) {
        if (lp) *reinterpret_cast<BOOL*>(lp) = error ? TRUE : FALSE;
        return u.pos;
      }
      return MAKELPARAM(u.pos, error ? 1 : 0);
    }
    case UDM_SETBUDDY: {
      HWND old = u.buddy;
      attach(h, u, reinterpret_cast<HWND>(wp));
      return reinterpret_cast<LRESULT>(old);
    }
    case UDM_GETBUDDY:
      return reinterpret_cast<LRESULT>(u.buddy);
    default:
      return {};
  }
}

// Drawn the same with and without the focus, which its buddy keeps; no font, no text of its own.
constexpr ControlClass<UpDown> kUpDown{UPDOWN_CLASS, 0, paint, handle};

}  // namespace

void ctl::register_updown() { register_control<kUpDown>(); }

}  // namespace lumora::plat
