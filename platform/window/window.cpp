// Window classes, the window table and the window tree: creation, destruction, visibility,
// position, relations and per-window data.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>

#include "platform/gdi/gdi.h"
#include "platform/system/system.h"
#include "platform/window/window_impl.h"

namespace lumora::plat {

namespace {

struct WindowTable {
  std::mutex m;
  std::unordered_map<uintptr_t, std::unique_ptr<Window>> windows;
  uintptr_t next = 0x100;
  std::vector<HWND> top;  // topmost first
  std::vector<std::shared_ptr<WindowClass>> classes;
};

WindowTable& table() {
  static WindowTable t;
  return t;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::shared_ptr<WindowClass> find_class(std::string_view name) {
  std::lock_guard lock(table().m);
  for (auto& c : table().classes)
    if (same_name(c->name, name)) return c;
  return nullptr;
}

uintptr_t key(HWND h) { return reinterpret_cast<uintptr_t>(h); }

std::vector<HWND>& siblings_of(Window* w) {
  if (w->parent) {
    if (Window* p = win(w->parent)) return p->children;
  }
  return table().top;
}

void send_size_and_move(Window* w) {
  HWND h = w->handle;
  RECT c;
  GetClientRect(h, &c);
  SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
  if (!IsWindow(h)) return;
  POINT o{0, 0};
  if (Window* ww = win(h)) {
    RECT cl = client_rect_local(ww);
    o = POINT{ww->rect.left + cl.left, ww->rect.top + cl.top};
  }
  SendMessage(h, WM_MOVE, 0, MAKELPARAM(o.x, o.y));
}

// Marks a window and its visible descendants entirely invalid (after showing or moving).
void invalidate_tree(HWND h) {
  Window* w = win(h);
  if (!w || !(w->style & WS_VISIBLE)) return;
  InvalidateRect(h, nullptr, TRUE);
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) invalidate_tree(c);
}

}  // namespace

Window* win(HWND h) {
  if (!h) return nullptr;
  std::lock_guard lock(table().m);
  auto it = table().windows.find(key(h));
  return it == table().windows.end() ? nullptr : it->second.get();
}

std::shared_ptr<ThreadQueue> queue_of(HWND h) {
  if (!h) return nullptr;
  std::lock_guard lock(table().m);
  auto it = table().windows.find(key(h));
  return it == table().windows.end() ? nullptr : it->second->queue;
}

std::vector<HWND> top_level_windows() {
  std::lock_guard lock(table().m);
  return table().top;
}

void remove_top_level(HWND h) {
  std::lock_guard lock(table().m);
  auto& top = table().top;
  top.erase(std::remove(top.begin(), top.end(), h), top.end());
}

ATOM RegisterClass(const WNDCLASS* wc) {
  if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc) return 0;
  if (find_class(wc->lpszClassName)) return 0;  // already registered
  auto c = std::make_shared<WindowClass>();
  c->name = wc->lpszClassName;
  c->wc = *wc;
  c->wc.lpszClassName = nullptr;  // the caller's string need not outlive the call
  c->wc.lpszMenuName = nullptr;
  std::lock_guard lock(table().m);
  table().classes.push_back(c);
  return static_cast<ATOM>(table().classes.size() + 0xC000);
}

BOOL UnregisterClass(std::string_view name, HINSTANCE) {
  std::lock_guard lock(table().m);
  auto& cl = table().classes;
  auto it = std::find_if(cl.begin(), cl.end(), [&](auto& c) { return same_name(c->name, name); });
  if (it == cl.end()) return FALSE;
  for (auto& [k, w] : table().windows)
    if (w->cls == *it) return FALSE;  // still in use
  cl.erase(it);
  return TRUE;
}

BOOL GetClassInfo(HINSTANCE, std::string_view name, WNDCLASS* out) {
  auto c = find_class(name);
  if (!c) return FALSE;
  if (out) {
    *out = c->wc;
    out->lpszClassName = c->name.c_str();
  }
  return TRUE;
}

std::string GetClassName(HWND hwnd) {
  Window* w = win(hwnd);
  return w ? w->cls->name : std::string();
}

HWND CreateWindowEx(DWORD ex_style, std::string_view class_name, std::string_view title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu_or_id, HINSTANCE inst, void* param) {
  auto cls = find_class(class_name);
  if (!cls) return nullptr;
  const bool child = (style & WS_CHILD) != 0;
  if (child && !win(parent)) return nullptr;
  if (!child && parent && !win(parent)) return nullptr;

  auto w = std::make_unique<Window>();
  w->cls = cls;
  w->queue = this_queue();
  w->proc = cls->wc.lpfnWndProc;
  w->parent = child ? parent : nullptr;
  w->owner = child ? nullptr : parent;
  w->title = std::string(title);
  w->style = style & ~WS_VISIBLE;
  w->ex_style = ex_style;
  w->id = child ? menu_or_id : 0;
  w->instance = inst;
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (x == CW_USEDEFAULT) x = 0, y = 0;
  if (width == CW_USEDEFAULT) {
    width = child ? 0 : sw;
    height = child ? 0 : sh;
  }
  w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};

  HWND h;
  {
    std::lock_guard lock(table().m);
    h = reinterpret_cast<HWND>(table().next);
    table().next += 4;
    w->handle = h;
    Window* raw = w.get();
    table().windows.emplace(key(h), std::move(w));
    if (!child) table().top.insert(table().top.begin(), h);
    (void)raw;
  }
  if (child) {
    Window* p = win(parent);
    p->children.insert(p->children.begin(), h);
  }

  std::string class_copy(cls->name);
  CREATESTRUCT cs;
  cs.lpCreateParams = param;
  cs.hInstance = inst;
  cs.hMenu = menu_or_id;
  cs.hwndParent = parent;
  cs.x = x, cs.y = y, cs.cx = width, cs.cy = height;
  cs.style = static_cast<LONG>(style);
  std::string title_copy(title);
  cs.lpszName = title_copy.c_str();
  cs.lpszClass = class_copy.c_str();
  cs.dwExStyle = ex_style;
  if (!SendMessage(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    DestroyWindow(h);
    return nullptr;
  }
  if (IsWindow(h) && SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (!IsWindow(h)) return nullptr;
  send_size_and_move(win(h));
  if (IsWindow(h) && (style & WS_VISIBLE)) ShowWindow(h, SW_SHOW);
  return IsWindow(h) ? h : nullptr;
}

BOOL IsWindow(HWND hwnd) {
  if (!hwnd) return FALSE;
  std::lock_guard lock(table().m);
  auto it = table().windows.find(key(hwnd));
  // A window stays valid while it handles WM_DESTROY, as its code expects.
  return it != table().windows.end() ? TRUE : FALSE;
}

static void destroy_tree(HWND h) {
  Window* w = win(h);
  if (!w) return;
  w->destroying = true;
  SendMessage(h, WM_DESTROY, 0, 0);
  if ((w = win(h)) == nullptr) return;
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) destroy_tree(c);
  // Timers of the window die with it.
  if ((w = win(h)) == nullptr) return;
  auto& timers = w->queue->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [h](const Timer& t) { return t.hwnd == h; }), timers.end());
  SendMessage(h, WM_NCDESTROY, 0, 0);
}

BOOL DestroyWindow(HWND hwnd) {
  Window* w = win(hwnd);
  if (!w || w->destroying) return FALSE;
  if (w->queue->owner != std::this_thread::get_id()) return FALSE;
  // Owned top-level windows go first.
  for (HWND t : top_level_windows()) {
    Window* tw = win(t);
    if (tw && tw->owner == hwnd && !tw->destroying) DestroyWindow(t);
  }
  if (!(w = win(hwnd))) return FALSE;
  bool was_visible = IsWindowVisible(hwnd);
  RECT area = window_screen_rect(w);
  on_window_hidden_or_destroyed(hwnd);
  destroy_tree(hwnd);

  // Unlink and free the whole subtree.
  std::vector<HWND> doomed{hwnd};
  for (size_t i = 0; i < doomed.size(); ++i)
    if (Window* d = win(doomed[i])) doomed.insert(doomed.end(), d->children.begin(), d->children.end());
  if (Window* me = win(hwnd)) {
    if (me->parent) {
      if (Window* p = win(me->parent)) p->children.erase(std::remove(p->children.begin(), p->children.end(), hwnd), p->children.end());
    } else {
      remove_top_level(hwnd);
    }
  }
  {
    std::vector<std::unique_ptr<Window>> freed;
    std::lock_guard lock(table().m);
    for (HWND d : doomed) {
      auto it = table().windows.find(key(d));
      if (it != table().windows.end()) {
        freed.push_back(std::move(it->second));
        table().windows.erase(it);
      }
    }
    for (auto& t : table().top) {
      // Windows owned by a destroyed window that survived (other thread) lose their owner.
      auto it = table().windows.find(key(t));
      if (it != table().windows.end() && std::find(doomed.begin(), doomed.end(), it->second->owner) != doomed.end())
        it->second->owner = nullptr;
    }
  }
  if (was_visible) invalidate_screen_area(area);
  return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  Window* w = win(hwnd);
  if (!w) return FALSE;
  bool was = (w->style & WS_VISIBLE) != 0;
  bool show = cmd != SW_HIDE;
  if (was == show) return was ? TRUE : FALSE;
  SendMessage(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (!(w = win(hwnd))) return was;
  if (show) {
    w->style |= WS_VISIBLE;
    invalidate_tree(hwnd);
  } else {
    RECT area = window_screen_rect(w);
    bool was_visible = IsWindowVisible(hwnd);
    w->style &= ~WS_VISIBLE;
    w->update.clear();
    on_window_hidden_or_destroyed(hwnd);
    if (was_visible) invalidate_screen_area(area);
  }
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  for (Window* w = win(hwnd); w; w = win(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
    if (!w->parent) return TRUE;
  }
  return FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  Window* w = win(hwnd);
  if (!w) return FALSE;
  bool was_disabled = (w->style & WS_DISABLED) != 0;
  if (was_disabled == !enable) return was_disabled ? TRUE : FALSE;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
    // A disabled window cannot keep the keyboard.
    HWND f = GetFocus();
    if (f == hwnd || IsChild(hwnd, f)) SetFocus(nullptr);
  }
  SendMessage(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  Window* w = win(hwnd);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
  Window* w = win(hwnd);
  if (!w) return FALSE;
  RECT old = w->rect;
  bool visible = IsWindowVisible(hwnd);
  RECT old_screen = window_screen_rect(w);
  RECT r = old;
  if (!(flags & SWP_NOMOVE)) OffsetRect(&r, x - r.left, y - r.top);
  if (!(flags & SWP_NOSIZE)) r.right = r.left + std::max(0, cx), r.bottom = r.top + std::max(0, cy);
  w->rect = r;
  bool zchanged = false;
  if (!(flags & SWP_NOZORDER)) {
    std::vector<HWND>& sib = siblings_of(w);
    std::lock_guard lock(table().m);  // the top-level list is read by other threads
    auto it = std::find(sib.begin(), sib.end(), hwnd);
    if (it != sib.end()) {
      size_t before = static_cast<size_t>(it - sib.begin());
      sib.erase(it);
      if (after == HWND_BOTTOM) {
        sib.push_back(hwnd);
      } else if (after == HWND_TOP || after == HWND_TOPMOST) {
        sib.insert(sib.begin(), hwnd);
      } else {
        auto pos = std::find(sib.begin(), sib.end(), after);
        sib.insert(pos == sib.end() ? sib.begin() : pos + 1, hwnd);
      }
      zchanged = std::find(sib.begin(), sib.end(), hwnd) - sib.begin() != static_cast<ptrdiff_t>(before);
    }
  }
  bool sized = RectWidth(r) != RectWidth(old) || RectHeight(r) != RectHeight(old);
  bool moved = r.left != old.left || r.top != old.top;
  if (sized || moved) send_size_and_move(w);
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  if (visible && (sized || moved || zchanged) && !(flags & SWP_NOREDRAW)) {
    invalidate_screen_area(old_screen);
    invalidate_tree(hwnd);
  }
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

RECT window_screen_rect(const Window* w) {
  RECT r = w->rect;
  for (const Window* p = win(w->parent); p; p = win(p->parent)) {
    RECT cl = client_rect_local(p);
    OffsetRect(&r, p->rect.left + cl.left, p->rect.top + cl.top);
  }
  return r;
}

RECT client_rect_local(const Window* w) {
  RECT r{0, 0, RectWidth(w->rect), RectHeight(w->rect)};
  if (w->style & WS_BORDER) InflateRect(&r, -1, -1);
  if (w->style & WS_VSCROLL) r.right -= GetSystemMetrics(SM_CXVSCROLL);
  if (w->style & WS_HSCROLL) r.bottom -= GetSystemMetrics(SM_CYHSCROLL);
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

POINT client_origin(const Window* w) {
  RECT s = window_screen_rect(w);
  RECT cl = client_rect_local(w);
  return POINT{s.left + cl.left, s.top + cl.top};
}

BOOL GetWindowRect(HWND hwnd, RECT* r) {
  Window* w = win(hwnd);
  if (!w || !r) return FALSE;
  *r = window_screen_rect(w);
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* r) {
  Window* w = win(hwnd);
  if (!w || !r) return FALSE;
  RECT cl = client_rect_local(w);
  *r = RECT{0, 0, RectWidth(cl), RectHeight(cl)};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* p) {
  Window* w = win(hwnd);
  if (!w || !p) return FALSE;
  POINT o = client_origin(w);
  p->x += o.x, p->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* p) {
  Window* w = win(hwnd);
  if (!w || !p) return FALSE;
  POINT o = client_origin(w);
  p->x -= o.x, p->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a{0, 0}, b{0, 0};
  if (from) ClientToScreen(from, &a);
  if (to) ClientToScreen(to, &b);
  for (UINT i = 0; i < count; ++i) points[i].x += a.x - b.x, points[i].y += a.y - b.y;
  return MAKELPARAM(a.x - b.x, a.y - b.y);
}

HWND GetParent(HWND hwnd) {
  Window* w = win(hwnd);
  if (!w) return nullptr;
  return w->parent ? w->parent : w->owner;
}

HWND SetParent(HWND child, HWND parent) {
  Window* w = win(child);
  Window* p = win(parent);
  if (!w || !w->parent || !p || child == parent || IsChild(child, parent)) return nullptr;
  HWND old = w->parent;
  if (Window* op = win(old)) op->children.erase(std::remove(op->children.begin(), op->children.end(), child), op->children.end());
  w->parent = parent;
  p->children.insert(p->children.begin(), child);
  if (old != parent) {
    if (Window* ow = win(old)) InvalidateRect(old, nullptr, TRUE), (void)ow;
    invalidate_tree(child);
  }
  return old;
}

HWND GetWindow(HWND hwnd, UINT relation) {
  Window* w = win(hwnd);
  if (!w) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (relation == GW_OWNER) return w->owner;
  std::vector<HWND> sib = w->parent ? siblings_of(w) : top_level_windows();
  auto it = std::find(sib.begin(), sib.end(), hwnd);
  switch (relation) {
    case GW_HWNDFIRST: return sib.empty() ? nullptr : sib.front();
    case GW_HWNDLAST: return sib.empty() ? nullptr : sib.back();
    case GW_HWNDNEXT: return it == sib.end() || it + 1 == sib.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == sib.end() || it == sib.begin() ? nullptr : *(it - 1);
    default: return nullptr;
  }
}

HWND GetDlgItem(HWND parent, int id) {
  Window* p = win(parent);
  if (!p) return nullptr;
  for (HWND c : p->children)
    if (Window* w = win(c); w && w->id == static_cast<uintptr_t>(id)) return c;
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  Window* w = win(hwnd);
  return w ? static_cast<int>(w->id) : 0;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  if (!parent) return FALSE;
  for (Window* w = win(hwnd); w && w->parent; w = win(w->parent))
    if (w->parent == parent) return TRUE;
  return FALSE;
}

HWND FindWindow(std::string_view class_name, const char* title) {
  for (HWND t : top_level_windows()) {
    Window* w = win(t);
    if (!w || w->destroying) continue;
    if (!class_name.empty() && !same_name(w->cls->name, class_name)) continue;
    if (title && w->title != title) continue;
    return t;
  }
  return nullptr;
}

BOOL SetForegroundWindow(HWND hwnd) {
  // A handle with its lowest bit set also brings the windows it owns forward (handles are
  // multiples of four, so the bit is free).
  const bool with_owned = (reinterpret_cast<uintptr_t>(hwnd) & 1) != 0;
  hwnd = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(hwnd) & ~uintptr_t{3});
  Window* w = win(hwnd);
  if (!w) return FALSE;
  while (w->parent) w = win(w->parent);
  HWND root = w->handle;
  auto top = top_level_windows();
  if (!top.empty() && top.front() != root) SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  HWND focus_to = root;
  if (with_owned) {
    for (auto it = top.rbegin(); it != top.rend(); ++it) {  // back to front keeps their order
      HWND t = *it;
      Window* tw = win(t);
      if (tw && tw->owner == root && (tw->style & WS_VISIBLE)) {
        SetWindowPos(t, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        focus_to = t;
      }
    }
  }
  HWND f = GetFocus();
  if (f != focus_to && !IsChild(focus_to, f)) SetFocus(focus_to);
  return TRUE;
}

HWND GetForegroundWindow() {
  for (HWND t : top_level_windows())
    if (IsWindowVisible(t)) return t;
  return nullptr;
}

HWND GetDesktopWindow() { return nullptr; }

BOOL SetWindowText(HWND hwnd, std::string_view text) {
  if (!IsWindow(hwnd)) return FALSE;
  std::string copy(text);
  return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str())) ? TRUE : FALSE;
}

std::string GetWindowText(HWND hwnd) {
  if (!IsWindow(hwnd)) return {};
  LRESULT n = SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (n <= 0) return {};
  std::string buf(static_cast<size_t>(n) + 1, '\0');
  LRESULT got = SendMessage(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
  buf.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, n)));
  return buf;
}

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
  Window* w = win(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID: return static_cast<LONG_PTR>(w->id);
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->ex_style);
    case GWLP_USERDATA: return w->user_data;
    case DWLP_MSGRESULT: return w->dialog_msg_result;
    default: return 0;
  }
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
  Window* w = win(hwnd);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtr(hwnd, index);
  switch (index) {
    case GWLP_WNDPROC:
      if (value) w->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWLP_ID: w->id = static_cast<uintptr_t>(value); break;
    case GWL_STYLE:
      // Visibility changes only through ShowWindow; the other bits take effect at once.
      w->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
      break;
    case GWL_EXSTYLE: w->ex_style = static_cast<DWORD>(value); break;
    case GWLP_USERDATA: w->user_data = value; break;
    case DWLP_MSGRESULT: w->dialog_msg_result = value; break;
    default: return 0;
  }
  return old;
}

}  // namespace lumora::plat
