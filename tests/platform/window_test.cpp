// Window system: message order, cross-thread posting, removal, timers on the virtual clock,
// focus and keys, the Back hot key, modal loops and the paint cycle.
#include "platform_fixture.h"

namespace lumora::plat {
namespace {

using testing::HeadlessTest;
using testing::screen_pixel;

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
};
std::vector<Seen> g_seen;
std::vector<RECT> g_painted;  // rcPaint of each WM_PAINT, client coordinates
COLORREF g_fill = RGB(255, 0, 0);

LRESULT recorder_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    g_painted.push_back(ps.rcPaint);
    RECT all;
    GetClientRect(h, &all);
    HBRUSH b = CreateSolidBrush(g_fill);
    FillRect(dc, &all, b);  // clipped to the update region
    DeleteObject(b);
    EndPaint(h, &ps);
    return 0;
  }
  if (m != WM_NCCREATE && m != WM_CREATE && m != WM_SIZE && m != WM_MOVE && m != WM_SHOWWINDOW &&
      m != WM_ERASEBKGND && m != WM_NCDESTROY)
    g_seen.push_back(Seen{h, m, wp, lp});
  return DefWindowProc(h, m, wp, lp);
}

class WindowTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    g_seen.clear();
    g_painted.clear();
    g_fill = RGB(255, 0, 0);
    testing::register_class("Recorder", recorder_proc);
  }
  HWND top(DWORD style = WS_VISIBLE) {
    return CreateWindowEx(0, "Recorder", "top", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          nullptr, 0, nullptr, nullptr);
  }
  HWND child(HWND parent, int id, RECT r, DWORD style = WS_VISIBLE) {
    return CreateWindowEx(0, "Recorder", "", WS_CHILD | style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                          parent, static_cast<HMENU>(id), nullptr, nullptr);
  }
  std::vector<UINT> seen_messages(UINT lo, UINT hi) {
    std::vector<UINT> out;
    for (const Seen& s : g_seen)
      if (s.msg >= lo && s.msg <= hi) out.push_back(static_cast<UINT>(s.wp));
    return out;
  }
};

TEST_F(WindowTest, SentMessagesRunAtOncePostedOnesInOrderLaterOrAreRemovedByNumber) {
  HWND w = top();
  PumpPendingMessages();
  g_seen.clear();
  PostMessage(w, WM_USER + 1, 1, 0);
  PostMessage(w, WM_USER + 1, 2, 0);
  SendMessage(w, WM_USER + 1, 3, 0);
  ASSERT_EQ(g_seen.size(), 1u);  // only the sent one so far
  PumpPendingMessages();
  EXPECT_EQ(seen_messages(WM_USER + 1, WM_USER + 1), (std::vector<UINT>{3, 1, 2}));
  g_seen.clear();
  for (int i = 0; i < 5; ++i) PostMessage(w, WM_USER + 1, i, 0);
  PostMessage(w, WM_USER + 2, 9, 0);
  MSG m;
  int removed = 0;
  while (PeekMessage(&m, w, WM_USER + 1, WM_USER + 1, PM_REMOVE)) ++removed;
  EXPECT_EQ(removed, 5);
  PumpPendingMessages();
  EXPECT_TRUE(seen_messages(WM_USER + 1, WM_USER + 1).empty());
  EXPECT_EQ(seen_messages(WM_USER + 2, WM_USER + 2), (std::vector<UINT>{9}));
}

TEST_F(WindowTest, PostingFromWorkerThreadsLosesNothingAndKeepsEachThreadsOrder) {
  HWND w = top();
  PumpPendingMessages();
  g_seen.clear();
  constexpr int kThreads = 4, kEach = 500;
  std::vector<HANDLE> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.push_back(CreateThread([w, t]() -> DWORD {
      for (int i = 0; i < kEach; ++i) PostMessage(w, WM_USER + 1, static_cast<WPARAM>(t), i);
      return 0;
    }));
  for (HANDLE h : threads) {
    EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
    CloseHandle(h);
  }
  PumpPendingMessages();
  std::vector<LPARAM> last(kThreads, -1);
  int count = 0;
  for (const Seen& s : g_seen) {
    if (s.msg != WM_USER + 1) continue;
    ++count;
    EXPECT_EQ(s.lp, last[s.wp] + 1) << "thread " << s.wp;
    last[s.wp] = s.lp;
  }
  EXPECT_EQ(count, kThreads * kEach);
}

TEST_F(WindowTest, SendFromAnotherThreadRunsOnTheWindowsThread) {
  HWND w = top();
  PumpPendingMessages();
  g_seen.clear();
  LRESULT result = -1;
  HANDLE t = CreateThread([w, &result]() -> DWORD {
    result = SendMessage(w, WM_GETTEXTLENGTH, 0, 0);
    return 0;
  });
  MSG m;
  // The send is handled while this thread waits for messages.
  while (WaitForSingleObject(t, 0) == WAIT_TIMEOUT) PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE);
  CloseHandle(t);
  EXPECT_EQ(result, 3);  // "top"
}

TEST_F(WindowTest, TimersFireInDueOrderOnTheVirtualClock) {
  HWND w = top();
  PumpPendingMessages();
  g_seen.clear();
  SetTimer(w, 1, 300, nullptr);
  SetTimer(w, 2, 200, nullptr);
  SetTimer(w, 3, 1000, nullptr);
  DWORD start = GetTickCount();
  AdvanceClock(999);
  // 2 at 200, 1 at 300, 2 at 400, at 600 both (the one set first goes first), 2 at 800, 1 at 900;
  // 3 not yet.
  std::vector<UINT> ids = seen_messages(WM_TIMER, WM_TIMER);
  EXPECT_EQ(ids, (std::vector<UINT>{2, 1, 2, 1, 2, 2, 1}));
  EXPECT_EQ(GetTickCount() - start, 999u);
  KillTimer(w, 2);
  g_seen.clear();
  AdvanceClock(1);
  EXPECT_EQ(seen_messages(WM_TIMER, WM_TIMER), (std::vector<UINT>{3}));
  g_seen.clear();
  DestroyWindow(w);  // timers die with their window
  AdvanceClock(5000);
  EXPECT_TRUE(seen_messages(WM_TIMER, WM_TIMER).empty());
}

TEST_F(WindowTest, KeysGoToTheFocusedWindowAndFocusChangesAreAnnounced) {
  HWND w = top();
  HWND a = child(w, 1, RECT{0, 0, 100, 100});
  HWND b = child(w, 2, RECT{0, 100, 100, 200});
  SetFocus(a);
  PumpPendingMessages();
  g_seen.clear();
  InjectKey(VK_DOWN, true);
  InjectKey(VK_DOWN, false);
  SetFocus(b);
  InjectKey('5', true);
  PumpPendingMessages();
  std::vector<std::pair<HWND, UINT>> got;
  for (const Seen& s : g_seen) got.emplace_back(s.hwnd, s.msg);
  // The kill/set focus pair is sent at once, before the queued keys of a are handled.
  std::vector<std::pair<HWND, UINT>> want_order = {{a, WM_KILLFOCUS}, {b, WM_SETFOCUS}, {a, WM_KEYDOWN},
                                                   {a, WM_KEYUP}, {b, WM_KEYDOWN}, {b, WM_CHAR}};
  EXPECT_EQ(got, want_order);
  EXPECT_EQ(g_seen.back().wp, static_cast<WPARAM>('5'));
  // Hiding the focused window hands the keyboard to its parent.
  ShowWindow(b, SW_HIDE);
  EXPECT_EQ(GetFocus(), w);
}

TEST_F(WindowTest, BackKeyArrivesAsHotKeyWithKeyUpAndHeldFlags) {
  HWND w = top();
  HWND edit = child(w, 1, RECT{0, 0, 50, 20});
  SetBackKeyOverride(w, TRUE);
  SetFocus(edit);  // the hot key goes to the overriding ancestor, not to the focus
  PumpPendingMessages();
  struct Case {
    DWORD hold_ms;
    std::vector<UINT> modifiers;
  } cases[] = {
      {100, {0, MOD_KEYUP}},
      {800, {0, MOD_KEYUP}},  // exactly 0.8 s is not "more than"
      {1200, {0, MOD_HOLD, MOD_KEYUP | MOD_HOLD}},
  };
  for (const Case& c : cases) {
    g_seen.clear();
    InjectKey(VK_TBACK, true);
    AdvanceClock(c.hold_ms);
    InjectKey(VK_TBACK, false);
    PumpPendingMessages();
    std::vector<UINT> mods;
    for (const Seen& s : g_seen) {
      ASSERT_EQ(s.msg, static_cast<UINT>(WM_HOTKEY));
      EXPECT_EQ(s.hwnd, w);
      EXPECT_EQ(HIWORD(static_cast<uintptr_t>(s.lp)), VK_TBACK);
      mods.push_back(LOWORD(static_cast<uintptr_t>(s.lp)));
    }
    EXPECT_EQ(mods, c.modifiers) << "held " << c.hold_ms << " ms";
  }
  // Without an override Back is an ordinary key.
  SetBackKeyOverride(w, FALSE);
  g_seen.clear();
  InjectKey(VK_TBACK, true);
  PumpPendingMessages();
  ASSERT_FALSE(g_seen.empty());
  EXPECT_EQ(g_seen.front().msg, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(g_seen.front().hwnd, edit);
}

// Modal loops: the inner loop ends first; ending the outer one from inside the inner one takes
// effect once the inner one has returned.
HWND g_outer, g_inner;
std::vector<std::string> g_modal_log;
LRESULT modal_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_USER + 5 && h == g_outer) {
    g_modal_log.push_back("inner start");
    int r = RunModalLoop(g_inner, g_outer);
    g_modal_log.push_back("inner returned " + std::to_string(r));
    return 0;
  }
  if (m == WM_USER + 6 && h == g_inner) {
    EndModalLoop(g_outer, 7);  // outer must not end while inner runs
    EndModalLoop(g_inner, 3);
    return 0;
  }
  return DefWindowProc(h, m, wp, lp);
}

TEST_F(WindowTest, ModalLoopsNestAndDisableTheirOwners) {
  testing::register_class("Modal", modal_proc);
  HWND main = top();
  g_outer = CreateWindowEx(0, "Modal", "outer", 0, 0, 0, 100, 100, main, 0, nullptr, nullptr);
  g_inner = CreateWindowEx(0, "Modal", "inner", 0, 0, 0, 50, 50, g_outer, 0, nullptr, nullptr);
  g_modal_log.clear();
  PostMessage(g_outer, WM_USER + 5, 0, 0);
  PostMessage(g_inner, WM_USER + 6, 0, 0);
  int r = RunModalLoop(g_outer, main);
  EXPECT_EQ(r, 7);
  EXPECT_EQ(g_modal_log, (std::vector<std::string>{"inner start", "inner returned 3"}));
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_TRUE(IsWindowEnabled(g_outer));
  EXPECT_FALSE(IsWindowVisible(g_outer));

  // WM_QUIT ends a modal loop and is posted again for the loop outside it.
  PostQuitMessage(4);
  HWND lone = CreateWindowEx(0, "Modal", "lone", 0, 0, 0, 10, 10, main, 0, nullptr, nullptr);
  EXPECT_EQ(RunModalLoop(lone, main), 4);
  MSG m;
  EXPECT_FALSE(GetMessage(&m, nullptr, 0, 0));
  EXPECT_EQ(m.wParam, 4u);
}

TEST_F(WindowTest, PaintCycleRepaintsOnlyInvalidAreasAndHonoursRedrawOff) {
  HWND w = top();
  PumpPendingMessages();
  ASSERT_EQ(g_painted.size(), 1u);  // first show paints all
  EXPECT_EQ(screen_pixel(100, 100), 0xFF0000u);
  g_painted.clear();
  g_fill = RGB(0, 0, 255);
  RECT a{10, 10, 20, 20};
  RECT b{15, 15, 30, 40};
  InvalidateRect(w, &a, FALSE);
  InvalidateRect(w, &b, FALSE);
  PumpPendingMessages();
  ASSERT_EQ(g_painted.size(), 1u);  // both areas in one paint
  EXPECT_EQ(g_painted[0], (RECT{10, 10, 30, 40}));
  struct Probe {
    int x, y;
    uint32_t rgb;
  } probes[] = {{10, 10, 0x0000FF}, {29, 39, 0x0000FF}, {19, 19, 0x0000FF}, {25, 12, 0xFF0000},  // inside bounds, outside both
                {12, 25, 0xFF0000}, {30, 40, 0xFF0000}, {9, 10, 0xFF0000}};
  for (const Probe& p : probes) EXPECT_EQ(screen_pixel(p.x, p.y), p.rgb) << p.x << "," << p.y;
  g_painted.clear();
  PumpPendingMessages();
  EXPECT_TRUE(g_painted.empty());  // validated
  // With redraw off nothing is painted, not even once it is back on, until the caller redraws.
  SendMessage(w, WM_SETREDRAW, FALSE, 0);
  InvalidateRect(w, nullptr, TRUE);
  PumpPendingMessages();
  EXPECT_TRUE(g_painted.empty());
  SendMessage(w, WM_SETREDRAW, TRUE, 0);
  PumpPendingMessages();
  EXPECT_TRUE(g_painted.empty());
  RedrawWindow(w, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(g_painted.size(), 1u);  // painted at once, not later from the queue
}

TEST_F(WindowTest, ChildrenClipTheirParentAndHidingExposesWhatWasBelow) {
  HWND w = top(WS_VISIBLE | WS_CLIPCHILDREN);
  HWND c = child(w, 1, RECT{50, 50, 100, 100});
  PumpPendingMessages();
  g_fill = RGB(0, 255, 0);
  InvalidateRect(w, nullptr, FALSE);
  g_painted.clear();
  PumpPendingMessages();
  EXPECT_EQ(g_painted.size(), 1u);           // the child is not repainted
  EXPECT_EQ(screen_pixel(60, 60), 0xFF0000u);  // parent's green did not reach the child
  EXPECT_EQ(screen_pixel(40, 60), 0x00FF00u);
  ShowWindow(c, SW_HIDE);
  PumpPendingMessages();
  EXPECT_EQ(screen_pixel(60, 60), 0x00FF00u);  // parent repainted the exposed part
  EXPECT_EQ(GetDlgItem(w, 1), c);
  EXPECT_EQ(GetParent(c), w);
  POINT p{0, 0};
  ClientToScreen(c, &p);
  EXPECT_EQ(p.x, 50);
  EXPECT_EQ(p.y, 50);
}

TEST_F(WindowTest, ScrollBarsShowWhenThePageDoesNotCoverTheRange) {
  HWND w = top();
  PumpPendingMessages();
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0, si.nMax = 999, si.nPage = 320, si.nPos = 900;
  EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), 680);  // clamped to max - page + 1
  RECT c;
  GetClientRect(w, &c);
  EXPECT_EQ(c.right, 240 - bar);
  PumpPendingMessages();
  EXPECT_EQ(testing::screen_pixel(240 - bar / 2, 318), 0x808080u);  // thumb at the end of the track
  EXPECT_EQ(testing::screen_pixel(240 - bar / 2, 2), 0xC8C8C8u);    // empty track
  si.nMax = 300;  // the page now covers the range: the bar goes
  SetScrollInfo(w, SB_VERT, &si, TRUE);
  GetClientRect(w, &c);
  EXPECT_EQ(c.right, 240);
  EXPECT_EQ(GetScrollPos(w, SB_VERT), 0);
  EXPECT_FALSE(GetWindowLongPtr(w, GWL_STYLE) & WS_VSCROLL);
}

TEST_F(WindowTest, ForegroundWithTheLowBitBringsOwnedWindowsAlong) {
  HWND main = top();
  HWND owned = CreateWindowEx(0, "Recorder", "dialog", WS_VISIBLE, 0, 0, 100, 100, main, 0, nullptr, nullptr);
  HWND other = CreateWindowEx(0, "Recorder", "other", WS_VISIBLE, 0, 0, 240, 320, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(FindWindow("RECORDER", "other"), other);
  EXPECT_EQ(GetForegroundWindow(), other);
  SetForegroundWindow(main);
  EXPECT_EQ(GetForegroundWindow(), main);
  SetForegroundWindow(other);
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(main) | 1));
  EXPECT_EQ(GetForegroundWindow(), owned);
  EXPECT_EQ(GetWindow(owned, GW_HWNDNEXT), main);
  EXPECT_EQ(GetFocus(), owned);
  // The owned window's area shows the owned window, not the one that covered it before.
  g_fill = RGB(0, 0, 255);
  PumpPendingMessages();
  EXPECT_EQ(testing::screen_pixel(50, 50), 0x0000FFu);
}

TEST_F(WindowTest, DestroyingAParentDestroysChildrenAfterIt) {
  HWND w = top();
  HWND c = child(w, 1, RECT{0, 0, 10, 10});
  PumpPendingMessages();
  g_seen.clear();
  DestroyWindow(w);
  std::vector<std::pair<HWND, UINT>> got;
  for (const Seen& s : g_seen) got.emplace_back(s.hwnd, s.msg);
  EXPECT_EQ(got, (std::vector<std::pair<HWND, UINT>>{{w, WM_DESTROY}, {c, WM_DESTROY}}));
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(IsWindow(c));
  EXPECT_FALSE(PostMessage(c, WM_USER, 0, 0));  // stale handles are refused
}

}  // namespace
}  // namespace lumora::plat
