// Single instance over flock(2) and a Unix stream socket.
//
// Hand-over: the later start sends a 32-bit little-endian length and that many bytes: its
// working folder and each argument, every one ended by a NUL byte. The first answers one byte,
// 'K', once it has queued the request for its window.
#include "platform/shell/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/backend/backend.h"
#include "platform/shell/files.h"
#include "platform/shell/folders.h"
#include "platform/system/system_impl.h"
#include "platform/window/window.h"

namespace lumora::plat {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kMaxRequestBytes = 1u << 20;  // a command line longer than this is not a start
constexpr char kAck = 'K';

bool fill_address(const std::string& path, sockaddr_un* a) {
  std::memset(a, 0, sizeof *a);
  a->sun_family = AF_UNIX;
  if (path.size() >= sizeof a->sun_path) return false;
  std::memcpy(a->sun_path, path.c_str(), path.size() + 1);
  return true;
}

int ms_left(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Moves n bytes through a non-blocking or blocking socket before the deadline.
bool transfer(int fd, char* p, size_t n, bool sending, Clock::time_point deadline) {
  while (n > 0) {
    pollfd pf{fd, static_cast<short>(sending ? POLLOUT : POLLIN), 0};
    int r = ::poll(&pf, 1, ms_left(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    ssize_t k = sending ? ::send(fd, p, n, MSG_NOSIGNAL) : ::recv(fd, p, n, 0);
    if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (k <= 0) return false;
    p += k;
    n -= static_cast<size_t>(k);
  }
  return true;
}

std::string encode(const std::string& cwd, const std::vector<std::string>& args) {
  std::string body = cwd;
  body.push_back('\0');
  for (const std::string& a : args) {
    body += a;
    body.push_back('\0');
  }
  uint32_t n = static_cast<uint32_t>(body.size());
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  return out + body;
}

bool decode(const std::string& body, InstanceRequest* req) {
  if (body.empty() || body.back() != '\0') return false;
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\0') continue;
    parts.push_back(body.substr(start, i - start));
    start = i + 1;
  }
  req->working_folder = parts.front();
  req->args.assign(parts.begin() + 1, parts.end());
  return true;
}

std::string current_folder() {
  std::string buf(4096, '\0');
  if (!::getcwd(buf.data(), buf.size())) return {};
  buf.resize(std::strlen(buf.c_str()));
  return buf;
}

}  // namespace

std::unique_ptr<InstanceRequest> TakeInstanceRequest(LPARAM lp) {
  return std::unique_ptr<InstanceRequest>(reinterpret_cast<InstanceRequest*>(lp));
}

struct SingleInstance::Impl {
  int lock_fd = -1;
  int listen_fd = -1;
  int wake_fd = -1;
  std::string socket_path;
  std::thread thread;
  std::atomic<bool> stopping{false};
  HWND target = nullptr;
  UINT msg = WM_INSTANCE_REQUEST;

  void serve(int fd) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kHandOverTimeoutMs);
    // Only the same user may hand us a command line (the socket's folder should see to that
    // already; a folder given by the caller might not).
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid()) return;
    unsigned char head[4];
    if (!transfer(fd, reinterpret_cast<char*>(head), 4, false, deadline)) return;
    uint32_t n = head[0] | (head[1] << 8) | (head[2] << 16) | (static_cast<uint32_t>(head[3]) << 24);
    if (n == 0 || n > kMaxRequestBytes) return;
    std::string body(n, '\0');
    if (!transfer(fd, body.data(), n, false, deadline)) return;
    auto req = std::make_unique<InstanceRequest>();
    if (!decode(body, req.get())) return;
    if (!PostMessage(target, msg, 0, reinterpret_cast<LPARAM>(req.get()))) return;
    req.release();  // the window owns it now
    char ack = kAck;
    transfer(fd, &ack, 1, true, deadline);
  }

  void run() {
    while (!stopping.load()) {
      pollfd fds[2] = {{listen_fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
      int r = ::poll(fds, 2, -1);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 || stopping.load()) break;
      if (fds[0].revents & POLLIN) {
        int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
          try {
            serve(fd);
          } catch (...) {
            // Out of memory for one request: that start is refused, the program goes on.
          }
          ::close(fd);
        }
      }
    }
  }

  void stop() {
    if (thread.joinable()) {
      stopping = true;
      uint64_t one = 1;
      [[maybe_unused]] ssize_t ignored = ::write(wake_fd, &one, sizeof one);
      thread.join();
    }
  }
};

SingleInstance::SingleInstance() : impl_(std::make_unique<Impl>()) {}

SingleInstance::~SingleInstance() {
  impl_->stop();
  if (impl_->listen_fd >= 0) {
    ::close(impl_->listen_fd);
    ::unlink(impl_->socket_path.c_str());  // still ours: the lock is held until the next line
  }
  if (impl_->wake_fd >= 0) ::close(impl_->wake_fd);
  if (impl_->lock_fd >= 0) ::close(impl_->lock_fd);
}

SingleInstance::Role SingleInstance::Acquire(const std::string& name, const std::vector<std::string>& args,
                                             std::string* error, const std::string& folder) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return Role::Failed;
  };
  if (impl_->lock_fd >= 0) return Role::First;
  std::string dir = folder.empty() ? RuntimeFolder() : folder;
  if (dir.empty()) return fail("no private runtime folder for the instance lock");
  const std::string lock_path = JoinPath(dir, name + ".lock");
  impl_->socket_path = JoinPath(dir, name + ".socket");
  sockaddr_un addr;
  if (!fill_address(impl_->socket_path, &addr)) return fail("the socket path is too long: " + impl_->socket_path);

  int lock_fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock_fd < 0) return fail("cannot open " + lock_path + ": " + std::strerror(errno));
  if (::flock(lock_fd, LOCK_EX | LOCK_NB) == 0) {
    // First instance. A socket file left by a crashed instance is stale: nobody else holds the lock.
    impl_->lock_fd = lock_fd;
    ::unlink(impl_->socket_path.c_str());
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 16) != 0) {
      std::string why = std::strerror(errno);
      if (s >= 0) ::close(s);
      // Still the only instance: it runs, later starts just find nobody to hand over to.
      if (error) *error = "cannot listen on " + impl_->socket_path + ": " + why;
      return Role::First;
    }
    impl_->listen_fd = s;
    return Role::First;
  }
  int lock_error = errno;
  ::close(lock_fd);
  if (lock_error != EWOULDBLOCK) return fail("cannot lock " + lock_path + ": " + std::strerror(lock_error));

  // Another instance runs. It may still be starting, so connecting is retried until the deadline.
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kHandOverTimeoutMs);
  const std::string message = encode(current_folder(), args);
  for (;;) {
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return fail(std::string("cannot create a socket: ") + std::strerror(errno));
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      std::string copy = message;
      char ack = 0;
      bool ok = transfer(s, copy.data(), copy.size(), true, deadline) && transfer(s, &ack, 1, false, deadline) &&
                ack == kAck;
      ::close(s);
      if (ok) return Role::HandedOver;
      return fail("the running instance did not take the command line");
    }
    int e = errno;
    ::close(s);
    if ((e != ENOENT && e != ECONNREFUSED && e != EAGAIN) || Clock::now() >= deadline)
      return fail("the running instance does not answer: " + std::string(std::strerror(e)));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool SingleInstance::Listen(HWND hwnd, UINT msg) {
  if (impl_->listen_fd < 0 || impl_->thread.joinable() || !IsWindow(hwnd)) return false;
  if (impl_->wake_fd < 0) impl_->wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (impl_->wake_fd < 0) return false;
  impl_->target = hwnd;
  impl_->msg = msg;
  try {
    impl_->thread = std::thread([this] { impl_->run(); });
  } catch (...) {
    return false;
  }
  return true;
}

void BringToForeground(HWND hwnd) {
  if (!IsWindow(hwnd)) return;
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(hwnd) | 1));
  if (Backend* be = backend()) be->raise();
}

}  // namespace lumora::plat
