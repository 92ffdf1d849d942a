// The picture window in the headless platform: the arithmetic of requests, turns, zoom steps and
// layout as one table; a four-colour picture's quadrants on screen after opening, each turn and
// each zoom mode; scrolling to the last column; pages, loading twice, GIF frames on the virtual
// clock; a file claiming 30000 x 30000 pixels; caption, slideshow and tone.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/viewer/picture_window.h"
#include "imagelib/core/load.h"
#include "picture_test_files.h"
#include "platform/platform.h"

namespace lumora::app {
namespace {

using test::Rgb;

// ---- The arithmetic ------------------------------------------------------------------------------

TEST(PictureGeometry, EdgeCases) {
  struct Request {
    const char* name;
    LoadRequestInput in;
    int want_w, want_h;
  };
  auto req = [](int lw, int lh, bool bw, int pw, int ph, int bits, int rw, int rh) {
    LoadRequestInput in;
    in.limit_width = lw, in.limit_height = lh, in.reduce_black_and_white = bw;
    in.picture_width = pw, in.picture_height = ph, in.bits_per_pixel = bits;
    in.request_width = rw, in.request_height = rh;
    return in;
  };
  const Request requests[] = {
      {"landscape over 240x320", req(240, 320, false, 3000, 2000, 24, 0, 0), 320, 240},
      {"portrait over 240x320", req(240, 320, false, 2000, 3000, 24, 0, 0), 240, 320},
      {"narrow is not limited", req(240, 320, false, 200, 3000, 24, 240, 320), 320, 320},
      {"over 120x160", req(120, 160, false, 3000, 2000, 24, 0, 0), 160, 120},
      {"over 480x640", req(480, 640, false, 1000, 700, 24, 0, 0), 640, 480},
      {"over 720x960", req(720, 960, false, 4000, 3000, 24, 0, 0), 960, 720},
      {"under 720x960", req(720, 960, false, 700, 900, 24, 0, 0), 0, 0},
      {"black and white keeps the request", req(240, 320, false, 3000, 2000, 1, 0, 0), 0, 0},
      {"black and white reduced", req(240, 320, true, 3000, 2000, 1, 0, 0), 320, 240},
      {"slideshow square of the larger side", req(-1, -1, false, 3000, 2000, 24, 240, 320), 320, 320},
      {"no limit, no request", req(-1, -1, false, 3000, 2000, 24, 0, 0), 0, 0},
  };
  for (const Request& r : requests) {
    int w = -5, h = -5;
    load_request(r.in, &w, &h);
    EXPECT_EQ(w, r.want_w) << r.name;
    EXPECT_EQ(h, r.want_h) << r.name;
  }

  // Zoom in and out from each step and from values between them.
  const int zooms[][3] = {{800, 800, 700}, {700, 800, 600}, {600, 700, 500}, {500, 600, 400}, {400, 500, 300},
                          {300, 400, 200}, {200, 300, 100}, {150, 200, 100}, {100, 200, 67},  {67, 100, 50},
                          {50, 67, 33},    {33, 50, 25},    {25, 33, 17},    {17, 25, 12},   {12, 17, 12},
                          {11, 12, 11},    {1199, 1199, 800}};
  for (const auto& z : zooms) {
    EXPECT_EQ(zoom_step_in(z[0]), z[1]) << "zoom in from " << z[0];
    EXPECT_EQ(zoom_step_out(z[0]), z[2]) << "zoom out from " << z[0];
  }

  // Turns on loading: portrait 240x320 and landscape 320x240 screens.
  const int turns[][6] = {
      // mode, screen w, h, picture w, h, angle
      {kRotateAutoLeft, 240, 320, 300, 200, -90},  {kRotateAutoLeft, 240, 320, 200, 300, 0},
      {kRotateAutoRight, 240, 320, 300, 200, 90},  {kRotateAutoRight, 320, 240, 200, 300, 90},
      {kRotateAutoLeft, 320, 240, 200, 300, -90},  {kRotateAutoLeft, 320, 240, 300, 200, 0},
      {kRotateAutoLeft, 240, 320, 200, 200, 0},    {kRotateLeft, 240, 320, 200, 300, -90},
      {kRotateRight, 320, 240, 300, 200, 90},      {kRotateNone, 240, 320, 300, 200, 0},
  };
  for (const auto& t : turns)
    EXPECT_EQ(auto_rotation(t[0], t[1], t[2], t[3], t[4]), t[5])
        << "mode " << t[0] << " screen " << t[1] << "x" << t[2] << " picture " << t[3] << "x" << t[4];

  // Layout in a 240 x 320 area with 10-pixel scroll bars.
  struct Layout {
    const char* name;
    int pw, ph, mode, zoom;
    int dw, dh, sx, sy, max_x, max_y;
  };
  const Layout layouts[] = {
      {"fill keeps a small picture at 100% centred", 100, 80, kZoomFill, 100, 100, 80, -70, -120, 0, 0},
      {"fit enlarges a small picture", 100, 80, kZoomFit, 100, 240, 192, 0, -64, 0, 0},
      {"fill fits a large picture", 480, 1280, kZoomFill, 100, 120, 320, -60, 0, 0, 0},
      {"fit width of a tall picture leaves room for the bar", 100, 1000, kZoomFitWidth, 100, 230, 2300, -0, 0, 0,
       1980},
      {"fit height of a wide picture leaves room for the bar", 1000, 100, kZoomFitHeight, 100, 3100, 310, 0, 0,
       2860, 0},
      {"percent 200 scrolls to the last column", 200, 200, kZoomPercent, 200, 400, 400, 0, 0, 170, 90},
      {"percent 50", 200, 100, kZoomPercent, 50, 100, 50, -70, -135, 0, 0},
  };
  for (const Layout& l : layouts) {
    LayoutInput in;
    in.area_width = 240, in.area_height = 320, in.vbar_width = 10, in.hbar_height = 10;
    in.picture_width = l.pw, in.picture_height = l.ph, in.zoom_mode = l.mode, in.zoom_x = in.zoom_y = l.zoom;
    const LayoutResult r = layout_picture(in);
    EXPECT_EQ(r.display_width, l.dw) << l.name;
    EXPECT_EQ(r.display_height, l.dh) << l.name;
    EXPECT_EQ(r.scroll_x, l.sx) << l.name;
    EXPECT_EQ(r.scroll_y, l.sy) << l.name;
    EXPECT_EQ(r.scroll_max_x, l.max_x) << l.name;
    EXPECT_EQ(r.scroll_max_y, l.max_y) << l.name;
  }
  // The centre stays where it was when the zoom changes.
  // (-70 + 120) = 50 at 100 % is 100 at 200 %, less half the view.
  EXPECT_EQ(zoom_keep_centre(-70, 240, 100, 200), -20);
}

// ---- The window ----------------------------------------------------------------------------------

constexpr int kScreenW = 240, kScreenH = 320;
const Rgb kOffScreen{-1, -1, -1};  // a quadrant centre outside the window

class PictureWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Options o;
    o.headless = true;
    o.screen_width = kScreenW;
    o.screen_height = kScreenH;
    o.depth = 24;
    std::string err;
    ASSERT_TRUE(Startup(o, &err)) << err;
    library_start();
    screen_conv_start();
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "PictureWindowTestHost";
    RegisterClass(&wc);
    host_ = CreateWindowEx(0, "PictureWindowTestHost", "", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(host_, nullptr);
    RECT client;
    GetClientRect(host_, &client);
    ASSERT_TRUE(window_.create(host_, client, WS_VISIBLE));
    SetFocus(window_.hwnd());
    PumpPendingMessages();
  }
  void TearDown() override {
    window_.destroy();
    DestroyWindow(host_);
    screen_conv_stop();
    library_stop();
    Shutdown();
  }

  Rgb screen(int x, int y) const {
    POINT p{x, y};
    ClientToScreen(window_.hwnd(), &p);
    const uint32_t v = ScreenPixels()[p.y * GetSystemMetrics(SM_CXSCREEN) + p.x];
    return {static_cast<int>((v >> 16) & 255), static_cast<int>((v >> 8) & 255), static_cast<int>(v & 255)};
  }
  void show() {
    UpdateWindow(window_.hwnd());
    PumpPendingMessages();
  }
  std::string quadrant_png(int w, int h) {
    const std::string path = dir_.file("quadrants" + std::to_string(w) + "x" + std::to_string(h) + ".png");
    Bitmap b = test::make_picture(w, h, [w, h](int x, int y) { return test::quadrant_colour(x, y, w, h); });
    SaveParams p;
    save_params_init(&p);
    p.format_index = kFormatPng;
    EXPECT_EQ(save_image(path.c_str(), &b, &p), 0);
    bitmap_free(&b);
    return path;
  }
  // The quadrant colours at the centres of the shown picture's quadrants, in reading order.
  std::vector<Rgb> shown_quadrants() {
    const int left = -window_.scroll_x(), top = -window_.scroll_y();
    const int w = window_.display_width(), h = window_.display_height();
    RECT client;
    GetClientRect(window_.hwnd(), &client);
    std::vector<Rgb> out;
    for (int qy = 0; qy < 2; ++qy)
      for (int qx = 0; qx < 2; ++qx) {
        const int x = left + w / 4 + qx * w / 2, y = top + h / 4 + qy * h / 2;
        out.push_back(x >= 0 && y >= 0 && x < client.right && y < client.bottom ? screen(x, y) : kOffScreen);
      }
    return out;
  }

  HWND host_ = nullptr;
  CBmp window_;
  test::TempDir dir_;
};

// What each action does to a 120 x 80 picture of four quadrants in a 240 x 320 window.
TEST_F(PictureWindowTest, QuadrantsAfterOpenTurnsAndZoomModes) {
  const std::string path = quadrant_png(120, 80);
  const Rgb TL = test::kTopLeft, TR = test::kTopRight, BL = test::kBottomLeft, BR = test::kBottomRight;
  struct Step {
    const char* name;
    std::function<void(CBmp&)> action;
    int left, top, width, height;  // where the picture lies in the window
    std::vector<Rgb> quadrants;    // top left, top right, bottom left, bottom right on screen
  };
  const int hbar = GetSystemMetrics(SM_CYHSCROLL);
  const int fit_height_width = 120 * (320 - hbar) / 80;
  const std::vector<Step> steps = {
      {"open: fill shows it at 100% centred", [](CBmp&) {}, 60, 120, 120, 80, {TL, TR, BL, BR}},
      {"turn right", [](CBmp& w) { w.rotate(90); }, 80, 100, 80, 120, {BL, TL, BR, TR}},
      {"turn back left", [](CBmp& w) { w.rotate(-90); }, 60, 120, 120, 80, {TL, TR, BL, BR}},
      {"half turn", [](CBmp& w) { w.rotate(180); }, 60, 120, 120, 80, {BR, BL, TR, TL}},
      {"half turn back", [](CBmp& w) { w.rotate(180); }, 60, 120, 120, 80, {TL, TR, BL, BR}},
      {"fit to screen", [](CBmp& w) { w.set_zoom_mode(kZoomFit); }, 0, 80, 240, 160, {TL, TR, BL, BR}},
      {"fit width", [](CBmp& w) { w.set_zoom_mode(kZoomFitWidth); }, 0, 80, 240, 160, {TL, TR, BL, BR}},
      {"fit height", [](CBmp& w) { w.set_zoom_mode(kZoomFitHeight); }, 0, 0, fit_height_width, 320 - hbar,
       {TL, kOffScreen, BL, kOffScreen}},
      {"percent 50", [](CBmp& w) { w.set_zoom(50); }, 90, 140, 60, 40, {TL, TR, BL, BR}},
      {"zoom in to 67", [](CBmp& w) { w.zoom_in(); }, 80, 133, 80, 53, {TL, TR, BL, BR}},
      {"fill again", [](CBmp& w) { w.set_zoom_mode(kZoomFill); }, 60, 120, 120, 80, {TL, TR, BL, BR}},
      {"resize", [](CBmp& w) { w.resize(60, 100); }, 90, 110, 60, 100, {TL, TR, BL, BR}},
  };
  ASSERT_TRUE(window_.load(path, 0, 0, 0));
  for (const Step& s : steps) {
    s.action(window_);
    show();
    EXPECT_EQ(-window_.scroll_x(), s.left) << s.name;
    EXPECT_EQ(-window_.scroll_y(), s.top) << s.name;
    EXPECT_EQ(window_.display_width(), s.width) << s.name;
    EXPECT_EQ(window_.display_height(), s.height) << s.name;
    const std::vector<Rgb> got = shown_quadrants();
    for (size_t i = 0; i < 4; ++i)
      if (got[i] != kOffScreen || s.quadrants[i] != kOffScreen) {
        EXPECT_TRUE(test::near(got[i], s.quadrants[i], 24))
          << s.name << " quadrant " << i << ": " << test::describe(got[i]) << " instead of " << test::describe(s.quadrants[i]);
      }
  }
  // Outside the picture: the background.
  window_.set_zoom_mode(kZoomFill);
  show();
  EXPECT_EQ(screen(5, 5), (Rgb{0, 0, 0}));
  EXPECT_EQ(screen(235, 315), (Rgb{0, 0, 0}));
}

TEST_F(PictureWindowTest, AutomaticTurnFollowsTheScreen) {
  const std::string landscape = quadrant_png(120, 80), portrait = quadrant_png(80, 120);
  window_.set_rotation_mode(kRotateAutoLeft);
  ASSERT_TRUE(window_.load(landscape, 0, 0, 0));
  EXPECT_TRUE(window_.rotated_on_load());
  EXPECT_EQ(window_.picture()->width, 80);
  show();
  // Turned left: the top-right quadrant is now at the top left.
  EXPECT_TRUE(test::near(shown_quadrants()[0], test::kTopRight, 24));
  ASSERT_TRUE(window_.load(portrait, 0, 0, 0));
  EXPECT_FALSE(window_.rotated_on_load());
  EXPECT_EQ(window_.picture()->width, 80);
}

TEST_F(PictureWindowTest, ArrowsAndScrollMessagesReachTheLastColumn) {
  const std::string path = quadrant_png(400, 500);
  ASSERT_TRUE(window_.load(path, 0, 0, 0));
  window_.set_zoom(100);
  show();
  RECT client;
  GetClientRect(window_.hwnd(), &client);
  ASSERT_EQ(client.right, kScreenW - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(window_.scroll_max_x(), 400 - client.right);
  EXPECT_EQ(window_.scroll_max_y(), 500 - client.bottom);

  SendMessage(window_.hwnd(), WM_HSCROLL, SB_LEFT, 0);
  SendMessage(window_.hwnd(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(window_.scroll_x(), 0);
  SendMessage(window_.hwnd(), WM_KEYUP, VK_RIGHT, 0);
  SendMessage(window_.hwnd(), WM_KEYUP, VK_DOWN, 0);
  EXPECT_EQ(window_.scroll_x(), 16);
  EXPECT_EQ(window_.scroll_y(), 16);
  SendMessage(window_.hwnd(), WM_KEYDOWN, VK_RIGHT, 0);  // only the release scrolls
  EXPECT_EQ(window_.scroll_x(), 16);
  SendMessage(window_.hwnd(), WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(window_.scroll_x(), 17);
  SendMessage(window_.hwnd(), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 50), 0);
  EXPECT_EQ(window_.scroll_x(), 50);
  SendMessage(window_.hwnd(), WM_HSCROLL, SB_PAGELEFT, 0);
  EXPECT_EQ(window_.scroll_x(), 0);
  SendMessage(window_.hwnd(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(window_.scroll_y(), std::min<int>(16 + client.bottom, window_.scroll_max_y()));
  SendMessage(window_.hwnd(), WM_HSCROLL, SB_RIGHT, 0);
  SendMessage(window_.hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(GetScrollPos(window_.hwnd(), SB_HORZ), window_.scroll_max_x());
  show();
  // The picture's last column and row are at the view's right and bottom edges.
  EXPECT_TRUE(test::near(screen(client.right - 1, client.bottom - 1), test::kBottomRight, 24));
  SendMessage(window_.hwnd(), WM_KEYUP, VK_RIGHT, 0);
  EXPECT_EQ(window_.scroll_x(), window_.scroll_max_x());
}

TEST_F(PictureWindowTest, PagesAndLoadingTwice) {
  const std::string path = dir_.file("pages.tif");
  const Rgb colours[3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  std::vector<Bitmap> pages;
  for (const Rgb& c : colours) pages.push_back(test::make_picture(8, 8, [c](int, int) { return c; }));
  ASSERT_TRUE(test::save_tiff_pages(path, {&pages[0], &pages[1], &pages[2]}, 1));
  for (Bitmap& b : pages) bitmap_free(&b);

  ASSERT_TRUE(window_.load(path, 0, 0, 0));
  EXPECT_EQ(window_.page_count(), 3);
  const Bitmap* first = window_.picture();
  ASSERT_TRUE(window_.load(path, 0, 0, 0));
  EXPECT_EQ(window_.picture(), first) << "the same file and page is not loaded again";
  window_.previous_page();
  EXPECT_EQ(window_.page(), 0);
  for (int page = 1; page <= 2; ++page) {
    window_.next_page();
    EXPECT_EQ(window_.page(), page);
    show();
    EXPECT_TRUE(test::near(shown_quadrants()[0], colours[page], 8)) << page;
  }
  window_.next_page();
  EXPECT_EQ(window_.page(), 2) << "next on the last page does nothing";
  window_.previous_page();
  EXPECT_EQ(window_.page(), 1);
  show();
  EXPECT_TRUE(test::near(shown_quadrants()[0], colours[1], 8));
}

TEST_F(PictureWindowTest, GifFramesOnTheVirtualClock) {
  const std::string path = dir_.file("animated.gif");
  // Delays of 0, 20 and 5 hundredths: the first is shown for 100 ms.
  ASSERT_TRUE(test::save_gif(path, 8, 8, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {{0, 0}, {1, 20}, {2, 5}}));
  ASSERT_TRUE(window_.load(path, 0, 0, 0));
  ASSERT_TRUE(window_.animating());
  EXPECT_EQ(window_.page_count(), 1);
  EXPECT_EQ(window_.frame_count(), 3);
  const struct {
    DWORD advance_ms;
    int frame;
    Rgb colour;
  } timeline[] = {{0, 0, {255, 0, 0}},  {99, 0, {255, 0, 0}}, {1, 1, {0, 255, 0}}, {199, 1, {0, 255, 0}},
                  {1, 2, {0, 0, 255}},  {49, 2, {0, 0, 255}}, {1, 0, {255, 0, 0}}, {100, 1, {0, 255, 0}}};
  DWORD elapsed = 0;
  for (const auto& t : timeline) {
    AdvanceClock(t.advance_ms);
    elapsed += t.advance_ms;
    show();
    EXPECT_EQ(window_.frame_index(), t.frame) << "at " << elapsed << " ms";
    EXPECT_TRUE(test::near(shown_quadrants()[0], t.colour, 8)) << "at " << elapsed << " ms";
  }

  // A still GIF runs no timer.
  const std::string still = dir_.file("still.gif");
  ASSERT_TRUE(test::save_gif(still, 8, 8, {{255, 0, 0}}, {{0, 0}}));
  ASSERT_TRUE(window_.load(still, 0, 0, 0));
  EXPECT_FALSE(window_.animating());
  EXPECT_EQ(window_.frame_count(), 0);
  EXPECT_FALSE(KillTimer(window_.hwnd(), CBmp::kAnimationTimer)) << "no animation timer";

  // Three 8 x 8 frames take 192 bytes: above a budget of 150 pixels the file is shown still.
  window_.set_max_pixels(150);
  ASSERT_TRUE(window_.load(path, 0, 0, 0));
  EXPECT_FALSE(window_.animating());
  EXPECT_FALSE(KillTimer(window_.hwnd(), CBmp::kAnimationTimer));
}

TEST_F(PictureWindowTest, ClaimedHugePictureStaysInsideTheBudget) {
  const std::string path = dir_.file("claims.jpg");
  ASSERT_TRUE(test::save_claiming_jpeg(path, 30000, 30000));
  window_.set_max_pixels(4u << 20);
  ASSERT_TRUE(window_.load(path, 0, 0, 0));
  ASSERT_NE(window_.picture(), nullptr);
  EXPECT_LE(uint64_t(window_.picture()->width) * uint64_t(window_.picture()->height), 4u << 20);
  show();
  // Fitted into the window, the file's real content (red blocks at its start, averaged with the
  // grey of the missing data) is in the corner, and the grey fills the rest.
  const Rgb corner = screen(-window_.scroll_x(), -window_.scroll_y());
  EXPECT_TRUE(corner[0] > corner[1] + 30 && corner[0] > corner[2] + 30) << test::describe(corner);
  EXPECT_TRUE(test::near(screen(120, 160), Rgb{128, 128, 128}, 8)) << test::describe(screen(120, 160));
}

TEST_F(PictureWindowTest, UnreadableFileLeavesTheWindowEmpty) {
  ASSERT_TRUE(window_.load(quadrant_png(40, 40), 0, 0, 0));
  EXPECT_FALSE(window_.load(dir_.path("missing.jpg"), 0, 0, 0));
  EXPECT_EQ(window_.last_status(), 3);
  EXPECT_EQ(window_.picture(), nullptr);
  const std::string junk = dir_.file("junk.jpg");
  test::write_file(junk, std::vector<uint8_t>(100, 0x5A));
  EXPECT_FALSE(window_.load(junk, 0, 0, 0));
  EXPECT_NE(window_.last_status(), 0);
  show();
  EXPECT_EQ(screen(120, 160), (Rgb{0, 0, 0}));
}

TEST_F(PictureWindowTest, CaptionIsDrawnRedOverWhiteAtTheTop) {
  ASSERT_TRUE(window_.load(quadrant_png(40, 40), 0, 0, 0));
  SetTextRecording(true);
  window_.set_caption("holiday.jpg");
  show();
  std::vector<DrawnText> texts = DrawnTexts();
  SetTextRecording(false);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].colour, RGB(255, 255, 255));
  EXPECT_EQ(texts[1].colour, RGB(255, 0, 0));
  EXPECT_EQ(texts[1].text, "holiday.jpg");
  EXPECT_EQ(texts[0].bounds.left, texts[1].bounds.left + 1);
  EXPECT_EQ(texts[1].bounds.top, 0);
  EXPECT_NEAR((texts[1].bounds.left + texts[1].bounds.right) / 2, kScreenW / 2, 1);
}

TEST_F(PictureWindowTest, SlideshowShowsThePictureWithOrWithoutTransition) {
  const std::string path = quadrant_png(120, 80);
  for (bool transition : {false, true}) {
    window_.clear();
    window_.set_slideshow(true, transition);
    ASSERT_TRUE(window_.load(path, 0, kScreenW, kScreenH));
    EXPECT_EQ(window_.picture(), nullptr) << "the slideshow keeps only the screen picture";
    show();
    const std::vector<Rgb> q = shown_quadrants();
    EXPECT_TRUE(test::near(q[0], test::kTopLeft, 24)) << transition;
    EXPECT_TRUE(test::near(q[3], test::kBottomRight, 24)) << transition;
    window_.rotate(90);  // nothing to turn in the slideshow
    EXPECT_EQ(window_.display_width(), 120);
  }
  window_.set_slideshow(false, true);
  ASSERT_NE(window_.picture(), nullptr) << "after the slideshow the viewer has a picture to work on";
  window_.rotate(90);
  EXPECT_EQ(window_.display_width(), 80);
}

TEST_F(PictureWindowTest, TonePreviewLeavesThePictureUntilApplied) {
  ASSERT_TRUE(window_.load(quadrant_png(40, 40), 0, 0, 0));
  const Rgb before = test::pixel_of(*window_.picture(), 5, 5);
  window_.preview_tone(100, 0, 10);
  show();
  EXPECT_EQ(test::pixel_of(*window_.picture(), 5, 5), before);
  const Rgb previewed = shown_quadrants()[0];
  EXPECT_TRUE(test::near(previewed, Rgb{255, 130, 130}, 8)) << test::describe(previewed);
  window_.preview_tone(0, 0, 10);  // the dialog's Cancel
  show();
  EXPECT_TRUE(test::near(shown_quadrants()[0], before, 8));
  window_.apply_tone(100, 0, 10);
  show();
  EXPECT_TRUE(test::near(test::pixel_of(*window_.picture(), 5, 5), Rgb{255, 130, 130}, 1));
  EXPECT_TRUE(test::near(shown_quadrants()[0], Rgb{255, 130, 130}, 8));
}

}  // namespace
}  // namespace lumora::app
