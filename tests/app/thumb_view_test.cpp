// The browser list in the headless platform: a folder of generated pictures shows one tile per
// picture with the picture's colours in the thumbnail, strip and details modes and the names in
// list mode; the worker stops and starts again without losing or doubling thumbnails; the
// selection moves as the keys and the folder's changes want; a thumbnail without screen bitmap
// is told once per folder.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "../platform/controls_fixture.h"
#include "app/browser/thumb_view.h"
#include "app/shell/resource.h"
#include "app/viewer/screen_conv.h"
#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/save.h"
#include "support/app_runner.h"

namespace lumora::app {
namespace {

namespace fs = std::filesystem;
using plat::testing::ControlsTest;
using plat::testing::screen_pixel;
using plat::testing::Step;

struct Posted {
  UINT msg;
  int index;
  std::string path;
};

CThumbView* g_view = nullptr;
std::vector<Posted> g_posted;

LRESULT host_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (g_view && hdr->idFrom == CThumbView::kControlId) return g_view->on_parent_notify(hdr);
      return 0;
    }
    case WM_DRAWITEM:
      return g_view && wp == CThumbView::kControlId ? g_view->on_parent_draw_item(wp, lp) : FALSE;
    case UM_SHOW_FILE:
    case UM_OPEN_VIEWER: {
      std::unique_ptr<std::string> path(reinterpret_cast<std::string*>(lp));
      g_posted.push_back({m, static_cast<int>(wp), path ? *path : std::string()});
      return 0;
    }
    default:
      return DefWindowProc(h, m, wp, lp);
  }
}

// A solid picture written by the library's own writer, in the format of its extension.
void write_picture(const std::string& path, uint32_t rgb, int w = 64, int h = 48) {
  lumora_test::write_solid_picture(path, w, h, rgb);
}

class ThumbViewTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    library_start();
    screen_conv_start();
    char tmpl[] = "/tmp/lumora-thumbs-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
    WNDCLASS wc;
    wc.lpfnWndProc = host_proc;
    wc.lpszClassName = "ThumbHost";
    RegisterClass(&wc);
    host_ = CreateWindowEx(0, "ThumbHost", "", WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                           GetSystemMetrics(SM_CYSCREEN), nullptr, 0, nullptr, nullptr);
    view_ = std::make_unique<CThumbView>();
    g_view = view_.get();
    g_posted.clear();
    ASSERT_TRUE(view_->create(host_, WS_VISIBLE | WS_TABSTOP));
    SetFocus(view_->hwnd());
  }
  void TearDown() override {
    view_.reset();
    g_view = nullptr;
    DestroyWindow(host_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
    screen_conv_stop();
    library_stop();
    ControlsTest::TearDown();
  }

  // Pumps messages until pred holds or ms of real time passed.
  static bool wait_for(const std::function<bool()>& pred, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
      PumpPendingMessages();
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
    PumpPendingMessages();
    return pred();
  }
  int thumbnails() const {
    int n = 0;
    for (int i = 0; i < view_->item_count(); ++i) n += view_->thumbnail(i) ? 1 : 0;
    return n;
  }
  bool all_thumbnails() const { return !view_->worker_running() && thumbnails() == view_->item_count(); }
  RECT item_rect(int i) const {
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessage(view_->hwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
    POINT o{0, 0};
    ClientToScreen(view_->hwnd(), &o);
    OffsetRect(&r, o.x, o.y);
    return r;
  }
  void repaint() {
    InvalidateRect(view_->hwnd(), nullptr, TRUE);
    PumpPendingMessages();
  }

  std::string dir_;
  HWND host_ = nullptr;
  std::unique_ptr<CThumbView> view_;
};

const struct {
  const char* name;
  uint32_t colour;
} kPictures[] = {
    {"a-red.png", 0xF01010},
    {"b-green.bmp", 0x10E810},
    {"c-blue.jpg", 0x1010F0},
    {"d-yellow.tga", 0xE8E810},
};

TEST_F(ThumbViewTest, EveryModeShowsOneTilePerPictureWithItsColoursAndTheListShowsTheNames) {
  for (const auto& p : kPictures) write_picture(dir_ + p.name, p.colour);
  write_picture(dir_ + "x.png", 0);
  fs::rename(dir_ + "x.png", dir_ + "not-a-picture.txt");  // a picture, refused by its extension
  ASSERT_TRUE(view_->browse(dir_, true));
  ASSERT_EQ(view_->item_count(), 4);
  ASSERT_TRUE(wait_for([&] { return all_thumbnails(); }));

  struct Mode {
    int mode;
    bool details;
  };
  for (Mode m : {Mode{0, false}, Mode{1, false}, Mode{3, true}}) {
    SCOPED_TRACE("mode " + std::to_string(m.mode));
    view_->set_view_mode(m.mode);
    repaint();
    for (int i = 0; i < 4; ++i) {
      int w = 0, h = 0;
      ASSERT_NE(view_->thumbnail(i, &w, &h), nullptr);
      EXPECT_LE(w, view_->thumbnail_width());
      EXPECT_LE(h, view_->thumbnail_height());
      RECT r = item_rect(i);
      // The middle of the thumbnail: centred in the tile, or at the row's left in details.
      int x = m.details ? r.left + 6 + w / 2 : (r.left + r.right) / 2;
      int y = m.details ? (r.top + r.bottom) / 2 : r.top + 4 + (RectHeight(r) - 7) / 2;
      if (y >= GetSystemMetrics(SM_CYSCREEN) || x >= GetSystemMetrics(SM_CXSCREEN)) continue;  // off screen
      uint32_t px = screen_pixel(x, y);
      EXPECT_TRUE(lumora_test::near_colour(px, kPictures[i].colour, 24))
          << kPictures[i].name << " shows " << std::hex << px;
    }
  }

  // List mode: the control draws the names (without extension) and the details columns.
  SetTextRecording(true);
  ClearDrawnTexts();
  view_->set_view_mode(2);
  repaint();
  std::set<std::string> drawn;
  for (const DrawnText& t : DrawnTexts()) drawn.insert(t.text);
  SetTextRecording(false);
  for (const char* name : {"a-red", "b-green", "c-blue", "d-yellow"}) EXPECT_TRUE(drawn.count(name)) << name;
  EXPECT_TRUE(drawn.count("64x48,16M")) << "dimensions column";
}

// One worker thread and several taking jobs side by side.
class ThumbWorkerThreadsTest : public ThumbViewTest, public ::testing::WithParamInterface<int> {};

TEST_P(ThumbWorkerThreadsTest, TheWorkerStopsAndStartsAgainWithoutLosingOrDoublingThumbnails) {
  constexpr int kCount = 40;
  for (int i = 0; i < kCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%02d.png", i);
    write_picture(dir_ + name, static_cast<uint32_t>(i * 6) << 16 | 0x64C8, 640, 480);
  }
  view_->set_worker_threads(GetParam());
  ASSERT_TRUE(view_->browse(dir_, true));
  ASSERT_EQ(view_->item_count(), kCount);
  // Stop while results are on their way; the stop takes what is still queued.
  wait_for([&] { return thumbnails() >= 3; });
  view_->stop_worker();
  MSG m;
  EXPECT_FALSE(PeekMessage(&m, view_->hwnd(), UM_THUMB_READY, UM_THUMB_READY, 0));
  const int made = thumbnails();
  EXPECT_GE(made, 3);
  std::vector<HBITMAP> first(kCount);
  for (int i = 0; i < kCount; ++i) first[static_cast<size_t>(i)] = view_->thumbnail(i);

  view_->start_worker();
  ASSERT_TRUE(wait_for([&] { return all_thumbnails(); }, 20000));
  for (int i = 0; i < kCount; ++i)
    if (first[static_cast<size_t>(i)]) {
      EXPECT_EQ(view_->thumbnail(i), first[static_cast<size_t>(i)]) << "remade " << i;
    }

  // A new thumbnail size makes every thumbnail again, at the new size, each once: an item made
  // twice would have left a bitmap handle behind it, so every handle is its own.
  view_->set_thumbnail_size(46, 46);
  ASSERT_TRUE(wait_for([&] { return all_thumbnails(); }, 20000));
  std::set<HBITMAP> handles;
  for (int i = 0; i < kCount; ++i) {
    int w = 0, h = 0;
    handles.insert(view_->thumbnail(i, &w, &h));
    EXPECT_EQ(w, 46) << i;
    EXPECT_EQ(h, 35) << i;  // 640 x 480 in a 46 x 46 box
  }
  EXPECT_EQ(handles.size(), static_cast<size_t>(kCount));
  EXPECT_FALSE(PeekMessage(&m, view_->hwnd(), UM_THUMB_READY, UM_THUMB_READY, 0)) << "a result came twice";
}
INSTANTIATE_TEST_SUITE_P(Threads, ThumbWorkerThreadsTest, ::testing::Values(1, 3));

TEST_F(ThumbViewTest, TheItemsOnScreenComeFirst) {
  constexpr int kCount = 60;
  for (int i = 0; i < kCount; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "q%02d.png", i);
    write_picture(dir_ + name, 0xC86432, 320, 240);
  }
  // One thread, so that the order of the results is the order of the jobs (with more, the jobs
  // are taken in the same order but a later one may finish first).
  view_->set_worker_threads(1);
  ASSERT_TRUE(view_->browse(dir_, false));
  view_->stop_worker();
  // Scroll to the end, then make every thumbnail again: the last page comes before the first.
  view_->select_path(dir_ + "q59.png");
  PumpPendingMessages();
  view_->set_thumbnail_size(40, 40);
  // One message at a time, so that the order of the results shows.
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  MSG m;
  while (!view_->thumbnail(kCount - 1) && std::chrono::steady_clock::now() < end) {
    if (!PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  ASSERT_NE(view_->thumbnail(kCount - 1), nullptr);
  EXPECT_EQ(view_->thumbnail(0), nullptr) << "the first item came before the shown ones";
  view_->stop_worker();
}

TEST_F(ThumbViewTest, SelectionMovesWithNextPreviousAndSelectPath) {
  for (const auto& p : kPictures) write_picture(dir_ + p.name, p.colour);
  ASSERT_TRUE(view_->browse(dir_, true));
  EXPECT_FALSE(view_->browse(dir_, false)) << "the folder shown already";
  struct Case {
    const char* what;
    std::function<bool()> act;
    bool moved;
    int selected;
  };
  const Case cases[] = {
      {"previous on the first stays", [&] { return view_->previous(); }, false, 0},
      {"next", [&] { return view_->next(false); }, true, 1},
      {"select by path", [&] { return view_->select_path(dir_ + "d-yellow.tga") == 3; }, true, 3},
      {"next on the last without wrap stays", [&] { return view_->next(false); }, false, 3},
      {"next with wrap goes to the first", [&] { return view_->next(true); }, true, 0},
      {"previous from the first stays", [&] { return view_->previous(); }, false, 0},
      {"select a missing path", [&] { return view_->select_path(dir_ + "nothing.png") >= 0; }, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PumpPendingMessages();
    g_posted.clear();
    EXPECT_EQ(c.act(), c.moved);
    PumpPendingMessages();
    EXPECT_EQ(view_->selected_index(), c.selected);
    EXPECT_EQ(SendMessage(view_->hwnd(), LVM_GETSELECTEDCOUNT, 0, 0), 1);
    // The parent hears of a move once, with the file's path.
    ASSERT_EQ(g_posted.size(), c.moved ? 1u : 0u);
    if (c.moved) {
      EXPECT_EQ(g_posted[0].msg, UM_SHOW_FILE);
      EXPECT_EQ(g_posted[0].path, view_->item_path(c.selected));
    }
  }
  // The action key opens the viewer on the selected file.
  g_posted.clear();
  press(VK_RETURN);
  ASSERT_EQ(g_posted.size(), 1u);
  EXPECT_EQ(g_posted[0].msg, UM_OPEN_VIEWER);
  EXPECT_EQ(g_posted[0].path, dir_ + "a-red.png");
}

TEST_F(ThumbViewTest, TheListFollowsTheFolderChanges) {
  for (const auto& p : kPictures) write_picture(dir_ + p.name, p.colour);
  fs::create_directories(dir_ + "sub");
  ASSERT_TRUE(view_->browse(dir_, true));
  ASSERT_TRUE(wait_for([&] { return all_thumbnails(); }));
  auto names = [&] {
    std::string s;
    for (int i = 0; i < view_->item_count(); ++i) s += fs::path(view_->item_path(i)).filename().string() + " ";
    return s;
  };
  struct Case {
    const char* what;
    std::function<void()> act;
    std::string expect;     // names in list order afterwards
    const char* selected;   // the selected file afterwards
    bool told;              // the parent was told of a new selection
  };
  const Case cases[] = {
      {"a new picture joins in its place", [&] { write_picture(dir_ + "b2.png", 0x090909); },
       "a-red.png b-green.bmp b2.png c-blue.jpg d-yellow.tga ", "a-red.png", false},
      {"a picture in a subfolder does not", [&] { write_picture(dir_ + "sub/e.png", 0x090909); },
       "a-red.png b-green.bmp b2.png c-blue.jpg d-yellow.tga ", "a-red.png", false},
      {"deleting the selected file selects the next",
       [&] { fs::remove(dir_ + "a-red.png"); },
       "b-green.bmp b2.png c-blue.jpg d-yellow.tga ", "b-green.bmp", true},
      {"deleting the selected last file selects the new last",
       [&] {
         view_->select_path(dir_ + "d-yellow.tga");
         PumpPendingMessages();
         g_posted.clear();
         fs::remove(dir_ + "d-yellow.tga");
       },
       "b-green.bmp b2.png c-blue.jpg ", "c-blue.jpg", true},
      {"a rename keeps the item and its selection",
       [&] { fs::rename(dir_ + "c-blue.jpg", dir_ + "a-blue.jpg"); },
       "a-blue.jpg b-green.bmp b2.png ", "a-blue.jpg", true},
      {"moving a file out removes it", [&] { fs::rename(dir_ + "b2.png", dir_ + "sub/b2.png"); },
       "a-blue.jpg b-green.bmp ", "a-blue.jpg", false},
      {"a rename over a listed file leaves one item of that name",
       [&] { fs::rename(dir_ + "b-green.bmp", dir_ + "a-blue.jpg"); }, "a-blue.jpg ", "a-blue.jpg", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_posted.clear();
    c.act();
    bool settled = wait_for([&] { return names() == c.expect; }, 3000);
    EXPECT_TRUE(settled) << names();
    wait_for([&] { return all_thumbnails(); });
    std::string sel;
    EXPECT_TRUE(view_->selected_path(&sel));
    EXPECT_EQ(sel, dir_ + c.selected);
    EXPECT_EQ(!g_posted.empty(), c.told);
    if (!g_posted.empty()) {
      EXPECT_EQ(g_posted.back().path, dir_ + c.selected);
    }
    EXPECT_EQ(thumbnails(), view_->item_count()) << "every item keeps or gets its thumbnail";
  }

  // A change still queued when the view closes goes with it (its record is on the heap).
  const HWND view = view_->hwnd();
  auto queued = [&] {
    MSG m;
    return PeekMessage(&m, view, WM_FILECHANGEINFO, WM_FILECHANGEINFO, PM_NOREMOVE) != FALSE;
  };
  write_picture(dir_ + "late.png", 0x090909);
  for (int i = 0; i < 1500 && !queued(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_TRUE(queued());
  view_.reset();
  EXPECT_FALSE(queued());
}

TEST_F(ThumbViewTest, AThumbnailWithoutScreenBitmapIsToldOncePerFolder) {
  for (const auto& p : kPictures) write_picture(dir_ + p.name, p.colour);
  ASSERT_TRUE(view_->browse(dir_, false));
  ASSERT_TRUE(wait_for([&] { return all_thumbnails(); }));
  std::set<HWND> boxes;
  auto note_box = [&] {
    HWND f = GetFocus();
    if (f && f != view_->hwnd() && f != host_) boxes.insert(f);
  };
  drive({Step{0, note_box}, VK_RETURN, Step{0, note_box}, VK_RETURN, Step{0, note_box}});
  // Two results whose screen bitmap could not be made, as the worker reports them.
  for (int i = 0; i < 2; ++i) {
    auto* r = new ThumbResult;
    r->id = view_->items().item(static_cast<size_t>(i)).id;
    r->index = i;
    r->path = view_->item_path(i);
    r->bitmap_failed = true;
    PostMessage(view_->hwnd(), UM_THUMB_READY, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(r));
  }
  MSG m;
  while (GetMessage(&m, nullptr, 0, 0)) {  // until the driver has run out of steps
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(ThumbViewTest, LongNamesAreCutToFitAndEndInDots) {
  HDC dc = GetDC(view_->hwnd());
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  struct Case {
    std::string name;
    int width;
    bool cut;
  };
  const Case cases[] = {
      {"short", 200, false},
      {"a rather long picture name from the camera.jpg", 80, true},
      {std::string(200, 'i'), 450, true},  // a cut name keeps at most 64 characters
      {"\xC3\xA9t\xC3\xA9 \xC3\xA0 la plage, souvenirs", 60, true},
      {"wide", 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string fitted = CThumbView::fit_name(dc, font, c.name, c.width);
    if (!c.cut) {
      EXPECT_EQ(fitted, c.name);
      continue;
    }
    ASSERT_GE(fitted.size(), 3u);
    EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
    EXPECT_EQ(c.name.compare(0, fitted.size() - 3, fitted, 0, fitted.size() - 3), 0) << "a prefix of the name";
    EXPECT_LE(fitted.size(), 64u);
    SIZE s;
    HGDIOBJ old = SelectObject(dc, font);
    GetTextExtentPoint32(dc, fitted, &s);
    SelectObject(dc, old);
    if (fitted != "...") {
      EXPECT_LE(s.cx, c.width);
    }
  }
  ReleaseDC(view_->hwnd(), dc);
}

}  // namespace
}  // namespace lumora::app
