#pragma once
// The window system: classes with a window procedure, windows in a parent/child tree, per-thread
// message queues, timers, the paint cycle, focus and keyboard routing, modal loops.
//
// Threads: every window belongs to the thread that created it and is used from that thread.
// PostMessage and IsWindow may be called from any thread; SendMessage to a
// window of another thread waits until that thread has processed it.
#include <string>
#include <string_view>

#include "platform/base/geometry.h"
#include "platform/base/messages.h"
#include "platform/base/types.h"

namespace lumora::plat {

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, uintptr_t, DWORD);
using ATOM = WORD;
using HMENU = uintptr_t;  // child id for child windows

struct WNDCLASS {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  void* hIcon = nullptr;
  void* hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;  // used by the default WM_ERASEBKGND
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
};

struct CREATESTRUCT {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance = nullptr;
  HMENU hMenu = 0;
  HWND hwndParent = nullptr;
  int cy = 0, cx = 0, y = 0, x = 0;
  LONG style = 0;
  const char* lpszName = nullptr;
  const char* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt{};
};

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;  // the background still needs erasing
  RECT rcPaint{};       // bounds of the area to paint, client coordinates
};

// Classes. Names are compared without regard to case.
ATOM RegisterClass(const WNDCLASS* wc);
BOOL UnregisterClass(std::string_view name, HINSTANCE inst);
BOOL GetClassInfo(HINSTANCE inst, std::string_view name, WNDCLASS* out);
std::string GetClassName(HWND hwnd);

// Windows. Child windows (WS_CHILD) take parent and id; other windows are top-level and parent is
// their owner. CW_USEDEFAULT makes a top-level window cover the screen.
HWND CreateWindowEx(DWORD ex_style, std::string_view class_name, std::string_view title, DWORD style, int x,
                    int y, int width, int height, HWND parent, HMENU menu_or_id, HINSTANCE inst, void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmd);  // returns whether it was visible before
BOOL IsWindowVisible(HWND hwnd);      // visible with all its ancestors
BOOL EnableWindow(HWND hwnd, BOOL enable);  // returns whether it was disabled before
BOOL IsWindowEnabled(HWND hwnd);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
BOOL GetWindowRect(HWND hwnd, RECT* r);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* r);  // (0, 0, width, height) of the client area
BOOL ClientToScreen(HWND hwnd, POINT* p);
BOOL ScreenToClient(HWND hwnd, POINT* p);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
HWND GetParent(HWND hwnd);  // parent of a child window, owner of a top-level one
HWND SetParent(HWND child, HWND parent);
HWND GetWindow(HWND hwnd, UINT relation);
HWND GetDlgItem(HWND parent, int id);
int GetDlgCtrlID(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
HWND FindWindow(std::string_view class_name, const char* title);  // top-level windows; null title = any
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND GetDesktopWindow();
BOOL SetWindowText(HWND hwnd, std::string_view text);
std::string GetWindowText(HWND hwnd);
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value);  // GWLP_WNDPROC subclasses

// Messages.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Asks the calling thread's message loop to end: GetMessage returns false once the messages
// posted before it are handled.
void PostQuitMessage(int code);
// False when WM_QUIT was retrieved. Blocks until a message arrives; on the user-interface thread
// it presents the screen and takes input from the backend while waiting.
BOOL GetMessage(MSG* msg, HWND hwnd, UINT min, UINT max);
// Removes or peeks the next message within the filter (hwnd null = any window of the thread;
// min = max = 0: any message). Paint messages stay until the window is validated.
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove);
// Posts WM_CHAR for keys that type characters.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Timers: WM_TIMER with the id in wParam, generated when due and the queue has nothing else.
uintptr_t SetTimer(HWND hwnd, uintptr_t id, UINT elapse_ms, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, uintptr_t id);

// Paint cycle.
BOOL InvalidateRect(HWND hwnd, const RECT* r, BOOL erase);  // r null: the whole client area
BOOL ValidateRect(HWND hwnd, const RECT* r);
BOOL GetUpdateRect(HWND hwnd, RECT* r, BOOL erase);
BOOL UpdateWindow(HWND hwnd);  // paints now when the window has an update region
BOOL RedrawWindow(HWND hwnd, const RECT* r, UINT flags);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
HDC GetDC(HWND hwnd);  // null: the whole screen
int ReleaseDC(HWND hwnd, HDC hdc);

// Scroll bars of a window (WS_HSCROLL / WS_VSCROLL), drawn in its non-client area. As in the
// classic system, setting a range that the page covers hides the bar (unless SIF_DISABLENOSCROLL),
// which changes the client area and sends WM_SIZE.
struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  int nMin = 0;
  int nMax = 0;
  UINT nPage = 0;
  int nPos = 0;
  int nTrackPos = 0;
};
inline constexpr UINT SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8, SIF_TRACKPOS = 0x10,
                      SIF_ALL = 0x17;
inline constexpr int SB_HORZ = 0, SB_VERT = 1, SB_BOTH = 3;
// Scroll request codes of WM_HSCROLL / WM_VSCROLL.
inline constexpr int SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2, SB_PAGELEFT = 2,
                     SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6,
                     SB_LEFT = 6, SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* si, BOOL redraw);  // returns the position
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* si);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);  // returns the previous position
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw);
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);

// Focus and keyboard.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// Feeds a key of the phone (a VK_ code) as pressed or released. Keys go to the focused window
// (or the foreground window) as WM_KEYDOWN/WM_KEYUP; Back goes as WM_HOTKEY to the nearest window
// that overrides it, with MOD_KEYUP on release and MOD_HOLD once held for more than 0.8 s.
void InjectKey(UINT vk, bool down);
// Types text into the focused window as WM_CHAR messages (one per code point).
void InjectText(std::string_view utf8);
// Makes WM_HOTKEY carry the Back key to this window (the soft-key bar's override).
BOOL SetBackKeyOverride(HWND hwnd, BOOL on);
// A filter that sees every phone key before it is routed (the soft-key bars take their keys
// there); returning true consumes the key. One filter; null removes it.
using KeyFilter = bool (*)(UINT vk, bool down);
void SetKeyFilter(KeyFilter filter);
inline constexpr DWORD kBackHoldMs = 800;

// Modal loops. RunModalLoop disables the owner, shows the window and processes messages until
// EndModalLoop is called for that window (or it is destroyed, or WM_QUIT arrives, which is posted
// again for the outer loop), then enables the owner again. Loops nest.
int RunModalLoop(HWND hwnd, HWND owner);
BOOL EndModalLoop(HWND hwnd, int result);
BOOL IsInModalLoop(HWND hwnd);

}  // namespace lumora::plat
