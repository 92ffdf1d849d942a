// Slideshow transitions on a small headless screen: every effect ends with the new picture in
// place and background around it, draws nothing outside the old and new pictures, waits on the
// platform clock; the shuffled order; a waiting key stops a transition and stays queued.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/viewer/transitions.h"
#include "platform/platform.h"

namespace lumora::app {
namespace {

constexpr int kScreenW = 64, kScreenH = 48;
constexpr COLORREF kBackground = RGB(10, 20, 30);
constexpr COLORREF kOld = RGB(0, 255, 0);
constexpr COLORREF kUntouched = RGB(255, 0, 255);  // everything outside the old and new picture

uint32_t rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
// Picture pixel (i, j): distinct, and unlike the three colours above (blue is always 200).
COLORREF pattern(int i, int j) { return RGB((i * 7) % 256, (j * 11) % 256, 200); }

struct Geometry {
  const char* name;
  int picture_w, picture_h;  // size of the bitmap handed over
  PictureRect now, before;
};
const Geometry kGeometries[] = {
    {"apart", 36, 32, {16, 4, 36, 32}, {4, 10, 30, 20}},
    {"scaled beyond the screen", 25, 35, {-20, -10, 100, 70}, {10, 10, 20, 20}},
    {"small inside big", 20, 20, {22, 14, 20, 20}, {0, 0, kScreenW, kScreenH}},
};

bool inside(int px, int py, const PictureRect& r) {
  return px >= r.x && px < r.x + r.width && py >= r.y && py < r.y + r.height;
}

class TransitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Options o;
    o.headless = true;
    o.screen_width = kScreenW;
    o.screen_height = kScreenH;
    std::string err;
    ASSERT_TRUE(Startup(o, &err)) << err;
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "TransitionTest";
    RegisterClass(&wc);
    hwnd_ = CreateWindowEx(0, "TransitionTest", "", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    SetFocus(hwnd_);
    PumpPendingMessages();
    RECT client;
    GetClientRect(hwnd_, &client);
    ASSERT_EQ(client.right, kScreenW);
    ASSERT_EQ(client.bottom, kScreenH);
  }
  void TearDown() override {
    if (picture_) DeleteObject(picture_);
    Shutdown();
  }

  void make_picture(int w, int h) {
    HDC mem = CreateCompatibleDC(nullptr);
    picture_ = CreateCompatibleBitmap(nullptr, w, h);
    HGDIOBJ old = SelectObject(mem, picture_);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) SetPixel(mem, i, j, pattern(i, j));
    SelectObject(mem, old);
    DeleteDC(mem);
  }

  // The screen before a transition: the old picture (one colour) on untouched surroundings.
  void show_old(const PictureRect& before) {
    HDC dc = GetDC(hwnd_);
    RECT all{0, 0, kScreenW, kScreenH}, old{before.x, before.y, before.x + before.width, before.y + before.height};
    HBRUSH a = CreateSolidBrush(kUntouched), b = CreateSolidBrush(kOld);
    FillRect(dc, &all, a);
    FillRect(dc, &old, b);
    DeleteObject(a);
    DeleteObject(b);
    ReleaseDC(hwnd_, dc);
  }

  // Counts pixels that differ from what the finished transition must show: the picture
  // (nearest-pixel scaled) in its place, background in the rest of the union, nothing else changed.
  int wrong_pixels(const Geometry& g, std::string* first) {
    const PictureRect& n = g.now;
    const PictureRect& o = g.before;
    const int l = std::min(n.x, o.x), t = std::min(n.y, o.y);
    const int r = std::max(n.x + n.width, o.x + o.width), b = std::max(n.y + n.height, o.y + o.height);
    const uint32_t* fb = ScreenPixels();
    int wrong = 0;
    for (int py = 0; py < kScreenH; ++py) {
      for (int px = 0; px < kScreenW; ++px) {
        COLORREF want = kUntouched;
        if (inside(px, py, n))
          want = pattern((px - n.x) * g.picture_w / n.width, (py - n.y) * g.picture_h / n.height);
        else if (px >= l && px < r && py >= t && py < b)
          want = kBackground;
        if (fb[py * kScreenW + px] != rgb(want) && wrong++ == 0)
          *first = "at " + std::to_string(px) + "," + std::to_string(py);
      }
    }
    return wrong;
  }

  HWND hwnd_ = nullptr;
  HBITMAP picture_ = nullptr;
};

TEST_F(TransitionTest, EveryEffectEndsWithTheWholePictureAndStaysInsideTheUnion) {
  for (const Geometry& g : kGeometries) {
    make_picture(g.picture_w, g.picture_h);
    for (int e = 0; e < kTransitionEffectCount; ++e) {
      SCOPED_TRACE(std::string(g.name) + ", effect " + std::to_string(e));
      show_old(g.before);
      const DWORD start = GetTickCount();
      ASSERT_EQ(run_transition_effect(hwnd_, e, picture_, g.now, g.before, kBackground), 0);
      // 100 steps (20 for the last six effects), each followed by a 10 ms pause.
      EXPECT_EQ(GetTickCount() - start, e >= 17 ? 200u : 1000u);
      std::string where;
      EXPECT_EQ(wrong_pixels(g, &where), 0) << where;
    }
    DeleteObject(picture_);
    picture_ = nullptr;
  }
}

TEST_F(TransitionTest, OrderUsesEveryEffectOnceThenRepeats) {
  std::vector<int> seen;
  int counter = 0;
  for (int i = 0; i < kTransitionEffectCount; ++i) seen.push_back(next_transition_effect(&counter));
  EXPECT_EQ(counter, 0);
  EXPECT_EQ(next_transition_effect(&counter), seen.front());
  std::sort(seen.begin(), seen.end());
  for (int e = 0; e < kTransitionEffectCount; ++e) EXPECT_EQ(seen[static_cast<size_t>(e)], e);

  // Each transition takes the next entry; the 24th comes back to the first.
  const Geometry& g = kGeometries[0];
  make_picture(g.picture_w, g.picture_h);
  counter = 0;
  for (int i = 0; i < kTransitionEffectCount; ++i) {
    ASSERT_EQ(run_transition(hwnd_, &counter, picture_, g.now, g.before, kBackground), 0);
    EXPECT_EQ(counter, (i + 1) % kTransitionEffectCount);
  }
  run_transition(hwnd_, &counter, picture_, g.now, g.before, kBackground);
  EXPECT_EQ(counter, 1);
  counter = 99;  // out of range: taken modulo the count
  EXPECT_EQ(next_transition_effect(&counter), transition_effect_at(99 % kTransitionEffectCount));
}

TEST_F(TransitionTest, WaitingKeyStopsAtOnceAndKeepsItsMeaning) {
  const Geometry& g = kGeometries[0];
  make_picture(g.picture_w, g.picture_h);
  struct Case {
    UINT message;
    WPARAM wp;
    LPARAM lp;
  };
  // Action key down, the character it typed, a key release, the Back key's release.
  const Case keys[] = {{WM_KEYDOWN, VK_RETURN, 0}, {WM_CHAR, '\r', 0}, {WM_KEYUP, VK_RIGHT, 0},
                       {WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, VK_TBACK)}};
  for (const Case& k : keys) {
    SCOPED_TRACE(k.message);
    PostMessage(hwnd_, k.message, k.wp, k.lp);
    const DWORD start = GetTickCount();
    int counter = 0;
    EXPECT_EQ(run_transition(hwnd_, &counter, picture_, g.now, g.before, kBackground), 1);
    EXPECT_LE(GetTickCount() - start, 10u);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, k.message);
    EXPECT_EQ(m.wParam, k.wp);
  }
  // A pressed key from the keypad goes the same way.
  InjectKey(VK_DOWN, true);
  EXPECT_EQ(run_transition_effect(hwnd_, 5, picture_, g.now, g.before, kBackground), 1);
  PumpPendingMessages();
  // Other messages do not stop it.
  PostMessage(hwnd_, WM_USER + 1, 0, 0);
  EXPECT_EQ(run_transition_effect(hwnd_, 5, picture_, g.now, g.before, kBackground), 0);
}

TEST_F(TransitionTest, NothingToShowDrawsNothing) {
  make_picture(8, 8);
  const PictureRect old{4, 4, 20, 20};
  const PictureRect nothing[] = {{0, 0, 0, 10}, {0, 0, 10, -5}, {kScreenW, 0, 10, 10}, {-50, -50, 40, 40}};
  for (const PictureRect& n : nothing) {
    show_old(PictureRect{});
    int counter = 3;
    EXPECT_EQ(run_transition(hwnd_, &counter, picture_, n, PictureRect{kScreenW + 5, 0, 8, 8}, kBackground), 0);
    EXPECT_EQ(counter, 3);
    for (int i = 0; i < kScreenW * kScreenH; ++i) ASSERT_EQ(ScreenPixels()[i], rgb(kUntouched)) << i;
  }
  int counter = 0;
  EXPECT_EQ(run_transition(hwnd_, &counter, nullptr, old, old, kBackground), 0);
  EXPECT_EQ(run_transition(nullptr, &counter, picture_, old, old, kBackground), 0);
  EXPECT_EQ(counter, 0);
}

TEST_F(TransitionTest, PaintPictureFillsTheRestWithBackground) {
  const Geometry& g = kGeometries[1];
  make_picture(g.picture_w, g.picture_h);
  HDC dc = GetDC(hwnd_);
  const RECT client{0, 0, kScreenW, kScreenH};
  paint_picture(dc, client, picture_, g.now, kBackground);
  ReleaseDC(hwnd_, dc);
  // The picture covers the whole screen here; the other picture leaves background around it.
  std::string where;
  EXPECT_EQ(wrong_pixels(g, &where), 0) << where;
  dc = GetDC(hwnd_);
  paint_picture(dc, client, picture_, PictureRect{30, 30, 1, 1}, kBackground);
  ReleaseDC(hwnd_, dc);
  EXPECT_EQ(ScreenPixels()[30 * kScreenW + 30], rgb(pattern(0, 0)));
  EXPECT_EQ(ScreenPixels()[0], rgb(kBackground));
  EXPECT_EQ(ScreenPixels()[31 * kScreenW + 31], rgb(kBackground));
}

}  // namespace
}  // namespace lumora::app
