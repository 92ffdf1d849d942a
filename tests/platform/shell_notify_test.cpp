// File-change notifications: what arrives in the window's queue for each change in and around the
// watched folders, with a rename as one event and moves across the boundary as delete/create.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform_fixture.h"
#include "platform/shell/file_notify.h"
#include "scratch.h"

namespace lumora::plat {
namespace {

namespace fs = std::filesystem;

struct Event {
  LONG code;
  std::string a, b;
  bool operator==(const Event&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Event& e) { return o << e.code << " " << e.a << " -> " << e.b; }

std::vector<Event> g_events;
std::thread::id g_receiving_thread;

LRESULT sink_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_FILECHANGEINFO) {
    auto* n = reinterpret_cast<FILECHANGENOTIFY*>(l);
    g_events.push_back({n->fci.wEventId, n->fci.dwItem1, n->fci.dwItem2});
    g_receiving_thread = std::this_thread::get_id();
    SHChangeNotifyFree(n);
    return 0;
  }
  return DefWindowProc(h, m, w, l);
}

class FileNotifyTest : public testing::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    hwnd_ = testing::message_window("NotifySink", sink_proc);
    ASSERT_TRUE(hwnd_);
    fs::create_directory(w_ = root_ + "/watched");
    fs::create_directory(w2_ = root_ + "/watched2");
    fs::create_directory(o_ = root_ + "/other");
    g_events.clear();
  }
  // Handles posted messages until n events came (or the time is up), then a little longer so
  // that an extra event would show.
  void collect(size_t n, int timeout_ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (g_events.size() < n && std::chrono::steady_clock::now() < until) {
      PumpPendingMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(FileChangeWatcher::kMovePairMs * 3);
    while (std::chrono::steady_clock::now() < settle) {
      PumpPendingMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  HWND hwnd_ = nullptr;
  testing::TempDir tmp_;
  const std::string root_ = tmp_.dir();
  std::string w_, w2_, o_;
};

void put(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TEST_F(FileNotifyTest, EventsForChangesInAndAroundTheWatchedFolders) {
  struct Case {
    const char* what;
    std::function<void(const std::string& w, const std::string& w2, const std::string& o)> change;
    std::vector<Event> expected;  // "W", "W2", "O" stand for the folders
    int timeout_ms = 3000;
  };
  const std::vector<Case> cases = {
      {"create", [](auto& w, auto&, auto&) { put(w + "/new.jpg", "data"); }, {{SHCNE_CREATE, "W/new.jpg", ""}}},
      {"delete", [](auto& w, auto&, auto&) { fs::remove(w + "/a.jpg"); }, {{SHCNE_DELETE, "W/a.jpg", ""}}},
      {"rename inside the folder", [](auto& w, auto&, auto&) { fs::rename(w + "/a.jpg", w + "/b.jpg"); },
       {{SHCNE_RENAMEITEM, "W/a.jpg", "W/b.jpg"}}},
      {"move between two watched folders", [](auto& w, auto& w2, auto&) { fs::rename(w + "/a.jpg", w2 + "/a.jpg"); },
       {{SHCNE_RENAMEITEM, "W/a.jpg", "W2/a.jpg"}}},
      {"rename onto an existing file", [](auto& w, auto&, auto&) {
         put(w + "/b.jpg", "old");
         ::rename((w + "/a.jpg").c_str(), (w + "/b.jpg").c_str());
       },
       {{SHCNE_CREATE, "W/b.jpg", ""}, {SHCNE_DELETE, "W/b.jpg", ""}, {SHCNE_RENAMEITEM, "W/a.jpg", "W/b.jpg"}}},
      {"move in over an existing file", [](auto& w, auto&, auto& o) { ::rename((o + "/x.jpg").c_str(), (w + "/a.jpg").c_str()); },
       {{SHCNE_DELETE, "W/a.jpg", ""}, {SHCNE_CREATE, "W/a.jpg", ""}}},
      {"move out", [](auto& w, auto&, auto& o) { fs::rename(w + "/a.jpg", o + "/a.jpg"); },
       {{SHCNE_DELETE, "W/a.jpg", ""}}},
      {"move in", [](auto& w, auto&, auto& o) { fs::rename(o + "/x.jpg", w + "/x.jpg"); },
       {{SHCNE_CREATE, "W/x.jpg", ""}}},
      {"changes elsewhere", [](auto&, auto&, auto& o) { put(o + "/y.jpg", "y"); }, {}},
      {"new folder", [](auto& w, auto&, auto&) { fs::create_directory(w + "/sub"); }, {{SHCNE_MKDIR, "W/sub", ""}}},
      {"file written again", [](auto& w, auto&, auto&) { put(w + "/a.jpg", "new contents"); },
       {{SHCNE_UPDATEITEM, "W/a.jpg", ""}}},
      {"hard link: created without a writer", [](auto& w, auto&, auto& o) { ::link((o + "/x.jpg").c_str(), (w + "/l.jpg").c_str()); },
       {{SHCNE_CREATE, "W/l.jpg", ""}}, 3000},
      {"created and deleted before it was closed",
       [](auto& w, auto&, auto&) {
         int fd = ::open((w + "/t.tmp").c_str(), O_WRONLY | O_CREAT, 0600);
         ::unlink((w + "/t.tmp").c_str());
         ::close(fd);
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    put(w_ + "/a.jpg", "picture");
    put(o_ + "/x.jpg", "outside");
    FileChangeWatcher watcher;
    ASSERT_TRUE(watcher.Watch(w_));
    ASSERT_TRUE(watcher.Watch(w2_ + "/"));  // a trailing slash names the same folder
    ASSERT_TRUE(watcher.Start(hwnd_));
    g_events.clear();
    c.change(w_, w2_, o_);
    collect(c.expected.size(), c.timeout_ms);
    std::vector<Event> expected = c.expected;
    for (Event& e : expected) {
      for (std::string* s : {&e.a, &e.b}) {
        if (s->rfind("W2/", 0) == 0) *s = w2_ + s->substr(2);
        else if (s->rfind("W/", 0) == 0) *s = w_ + s->substr(1);
      }
    }
    EXPECT_EQ(g_events, expected);
    if (!g_events.empty()) {
      EXPECT_EQ(g_receiving_thread, std::this_thread::get_id());
    }
    watcher.Stop();
    for (const std::string& d : {w_, w2_, o_})
      for (auto& e : fs::directory_iterator(d)) fs::remove_all(e.path());
  }
}

TEST_F(FileNotifyTest, MaskAndUnwatch) {
  put(w_ + "/a.jpg", "picture");
  FileChangeWatcher watcher;
  ASSERT_TRUE(watcher.Watch(w_));
  ASSERT_TRUE(watcher.Watch(o_));
  ASSERT_TRUE(watcher.Start(hwnd_, SHCNE_DELETE));
  put(w_ + "/new.jpg", "x");  // not in the mask
  fs::remove(w_ + "/a.jpg");
  collect(1, 3000);
  ASSERT_EQ(g_events, (std::vector<Event>{{SHCNE_DELETE, w_ + "/a.jpg", ""}}));
  g_events.clear();
  watcher.Unwatch(w_);
  fs::remove(w_ + "/new.jpg");
  put(o_ + "/z.jpg", "z");
  fs::remove(o_ + "/z.jpg");
  collect(1, 3000);
  EXPECT_EQ(g_events, (std::vector<Event>{{SHCNE_DELETE, o_ + "/z.jpg", ""}}));
  EXPECT_FALSE(watcher.Watch(root_ + "/missing"));
}

}  // namespace
}  // namespace lumora::plat
