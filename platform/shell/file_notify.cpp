// File-change notifications over inotify(7). One thread per watcher reads the inotify descriptor
// and posts finished events; the window's thread receives them in its message queue.
//
// inotify reports a rename as IN_MOVED_FROM and IN_MOVED_TO carrying the same cookie, normally
// one right after the other. A MOVED_FROM waits kMovePairMs for its partner: paired, the two
// become one rename; alone, the file left the watched folders and counts as deleted. A MOVED_TO
// without a partner is a file moved in: it counts as created.
//
// A rename or move onto an existing name replaces that file: the receiver first hears that the
// old file is deleted, so that it never holds two entries of one name. The watcher keeps the
// names of each watched folder for this.
//
// A new file is announced when its writer closes it (IN_CLOSE_WRITE), not at IN_CREATE, so that
// a receiver that opens it at once finds the whole file and not the first bytes of a copy.
#include "platform/shell/file_notify.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/shell/files.h"
#include "platform/window/window.h"

namespace lumora::plat {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_MODIFY |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

struct PendingMove {
  uint32_t cookie;
  std::string path;
  bool is_dir;
  Clock::time_point deadline;
};

}  // namespace

void SHChangeNotifyFree(FILECHANGENOTIFY* n) { delete n; }

struct FileChangeWatcher::Impl {
  int inotify_fd = -1;
  int wake_fd = -1;
  std::mutex m;  // guards the two maps; the thread and the caller both use them
  std::map<int, std::string> folder_of;
  std::map<std::string, int> watch_of;
  std::map<int, std::set<std::string>> names_of;  // names present in each watched folder
  HWND target = nullptr;
  UINT msg = WM_FILECHANGEINFO;
  LONG mask = SHCNE_ALLEVENTS;
  std::thread thread;
  std::atomic<bool> stopping{false};
  // Used by the thread only.
  std::vector<PendingMove> moves;
  std::map<std::string, Clock::time_point> creates;

  void post(LONG event, const std::string& a, const std::string& b, bool is_dir) {
    if (!(mask & event)) return;
    auto* n = new (std::nothrow) FILECHANGENOTIFY;
    if (!n) return;
    n->fci.wEventId = event;
    n->fci.dwItem1 = a;
    n->fci.dwItem2 = b;
    n->fci.dwAttributes = is_dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (!PostMessage(target, msg, 0, reinterpret_cast<LPARAM>(n))) delete n;
  }

  std::string folder(int wd) {
    std::lock_guard lock(m);
    auto it = folder_of.find(wd);
    return it == folder_of.end() ? std::string() : it->second;
  }

  void forget(int wd) {
    std::lock_guard lock(m);
    auto it = folder_of.find(wd);
    if (it == folder_of.end()) return;
    watch_of.erase(it->second);
    folder_of.erase(it);
    names_of.erase(wd);
  }

  // Records that a name appeared or went away; returns whether it was there before.
  bool note(int wd, const std::string& name, bool present) {
    std::lock_guard lock(m);
    auto& names = names_of[wd];
    bool was = names.count(name) != 0;
    if (present) names.insert(name);
    else names.erase(name);
    return was;
  }

  void flush_create(const std::string& path) {
    if (creates.erase(path)) post(SHCNE_CREATE, path, {}, false);
  }

  void handle(const inotify_event& ev, Clock::time_point now) {
    if (ev.mask & IN_Q_OVERFLOW) {
      // Events were lost: the pending ones can no longer be paired, and every folder must be read again.
      moves.clear();
      creates.clear();
      std::map<int, std::string> all;
      {
        std::lock_guard lock(m);
        all = folder_of;
      }
      for (auto& [wd, f] : all) {
        std::vector<FolderEntry> entries;
        ListFolder(f, &entries);
        std::set<std::string> names;
        for (const FolderEntry& e : entries) names.insert(e.name);
        {
          std::lock_guard lock(m);
          names_of[wd] = std::move(names);
        }
        post(SHCNE_UPDATEDIR, f, {}, true);
      }
      return;
    }
    std::string dir = folder(ev.wd);
    if (dir.empty()) return;
    if (ev.mask & IN_IGNORED) {
      forget(ev.wd);
      return;
    }
    if (ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
      // The folder itself went away (or elsewhere, where its paths would be wrong).
      post(SHCNE_RMDIR, dir, {}, true);
      inotify_rm_watch(inotify_fd, ev.wd);
      forget(ev.wd);
      return;
    }
    if (ev.len == 0) return;
    const std::string path = JoinPath(dir, ev.name);
    const bool is_dir = (ev.mask & IN_ISDIR) != 0;
    if (ev.mask & (IN_CREATE | IN_MOVED_TO)) {
      // Replaced by the arriving one; a replaced file nobody was told of yet needs no event.
      if (note(ev.wd, ev.name, true) && (ev.mask & IN_MOVED_TO) && !creates.erase(path))
        post(is_dir ? SHCNE_RMDIR : SHCNE_DELETE, path, {}, is_dir);
    }
    if (ev.mask & (IN_DELETE | IN_MOVED_FROM)) note(ev.wd, ev.name, false);
    if (ev.mask & IN_CREATE) {
      if (is_dir) post(SHCNE_MKDIR, path, {}, true);
      else creates[path] = now + std::chrono::milliseconds(kQuietCreateMs);
    }
    if (ev.mask & IN_MODIFY) {
      if (auto it = creates.find(path); it != creates.end()) it->second = now + std::chrono::milliseconds(kQuietCreateMs);
    }
    if (ev.mask & IN_CLOSE_WRITE) {
      if (creates.count(path)) flush_create(path);
      else post(SHCNE_UPDATEITEM, path, {}, false);
    }
    if (ev.mask & IN_DELETE) {
      // A file created and deleted before anybody was told of it needs no event at all.
      if (!creates.erase(path)) post(is_dir ? SHCNE_RMDIR : SHCNE_DELETE, path, {}, is_dir);
    }
    if (ev.mask & IN_MOVED_FROM) {
      flush_create(path);  // renamed while still being written: it exists, under its old name first
      moves.push_back(PendingMove{ev.cookie, path, is_dir, now + std::chrono::milliseconds(kMovePairMs)});
    }
    if (ev.mask & IN_MOVED_TO) {
      auto it = moves.begin();
      while (it != moves.end() && it->cookie != ev.cookie) ++it;
      if (it != moves.end()) {
        post(is_dir ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM, it->path, path, is_dir);
        moves.erase(it);
      } else {
        post(is_dir ? SHCNE_MKDIR : SHCNE_CREATE, path, {}, is_dir);
      }
    }
  }

  void expire(Clock::time_point now) {
    for (auto it = moves.begin(); it != moves.end();) {
      if (it->deadline > now) {
        ++it;
        continue;
      }
      post(it->is_dir ? SHCNE_RMDIR : SHCNE_DELETE, it->path, {}, it->is_dir);
      it = moves.erase(it);
    }
    for (auto it = creates.begin(); it != creates.end();) {
      if (it->second > now) {
        ++it;
        continue;
      }
      post(SHCNE_CREATE, it->first, {}, false);
      it = creates.erase(it);
    }
  }

  int timeout_ms(Clock::time_point now) const {
    Clock::time_point next = Clock::time_point::max();
    for (const PendingMove& p : moves) next = std::min(next, p.deadline);
    for (const auto& [path, d] : creates) next = std::min(next, d);
    if (next == Clock::time_point::max()) return -1;
    if (next <= now) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count());
  }

  void run() {
    // Large enough for many events of names up to NAME_MAX; aligned as struct inotify_event wants.
    alignas(inotify_event) char buf[64 * 1024];
    while (!stopping.load()) {
      pollfd fds[2] = {{inotify_fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
      int r = ::poll(fds, 2, timeout_ms(Clock::now()));
      if (r < 0 && errno != EINTR) break;
      if (stopping.load()) break;
      if (r > 0 && (fds[0].revents & POLLIN)) {
        for (;;) {
          ssize_t n = ::read(inotify_fd, buf, sizeof buf);
          if (n <= 0) break;
          Clock::time_point now = Clock::now();
          for (ssize_t off = 0; off + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
            handle(*ev, now);
            off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
          }
        }
      }
      if (r > 0 && (fds[1].revents & POLLIN)) {
        uint64_t v;
        [[maybe_unused]] ssize_t ignored = ::read(wake_fd, &v, sizeof v);
      }
      expire(Clock::now());
    }
  }
};

FileChangeWatcher::FileChangeWatcher() : impl_(std::make_unique<Impl>()) {
  impl_->inotify_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  impl_->wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

FileChangeWatcher::~FileChangeWatcher() {
  Stop();
  if (impl_->inotify_fd >= 0) ::close(impl_->inotify_fd);
  if (impl_->wake_fd >= 0) ::close(impl_->wake_fd);
}

bool FileChangeWatcher::Start(HWND hwnd, LONG event_mask, UINT msg) {
  if (impl_->inotify_fd < 0 || impl_->wake_fd < 0 || !IsWindow(hwnd) || impl_->thread.joinable()) return false;
  impl_->target = hwnd;
  impl_->mask = event_mask;
  impl_->msg = msg;
  impl_->stopping = false;
  try {
    impl_->thread = std::thread([this] { impl_->run(); });
  } catch (...) {
    return false;
  }
  return true;
}

bool FileChangeWatcher::Watch(const std::string& folder) {
  if (impl_->inotify_fd < 0 || folder.empty()) return false;
  std::string f = folder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  int wd = inotify_add_watch(impl_->inotify_fd, f.c_str(), kWatchMask);
  if (wd < 0) return false;
  std::lock_guard lock(impl_->m);
  // The same folder under two spellings gives the same watch descriptor; the latest name serves.
  if (auto it = impl_->folder_of.find(wd); it != impl_->folder_of.end()) impl_->watch_of.erase(it->second);
  impl_->folder_of[wd] = f;
  impl_->watch_of[f] = wd;
  // Listed after the watch exists, so that no name slips between the two. Names only: the filter
  // takes each name and keeps no entry, so nothing is stat'ed (that would double the cost of
  // opening a large folder).
  std::vector<FolderEntry> none;
  ListFolder(f, &none, [](const char* name, void* names) {
    static_cast<std::set<std::string>*>(names)->insert(name);
    return false;
  }, &impl_->names_of[wd]);
  return true;
}

void FileChangeWatcher::Unwatch(const std::string& folder) {
  std::lock_guard lock(impl_->m);
  std::string f = folder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  for (auto it = impl_->watch_of.begin(); it != impl_->watch_of.end();) {
    if (!f.empty() && it->first != f) {
      ++it;
      continue;
    }
    inotify_rm_watch(impl_->inotify_fd, it->second);
    impl_->folder_of.erase(it->second);
    impl_->names_of.erase(it->second);
    it = impl_->watch_of.erase(it);
  }
}

void FileChangeWatcher::Stop() {
  if (!impl_->thread.joinable()) return;
  impl_->stopping = true;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t ignored = ::write(impl_->wake_fd, &one, sizeof one);
  impl_->thread.join();
  impl_->moves.clear();
  impl_->creates.clear();
}

}  // namespace lumora::plat
