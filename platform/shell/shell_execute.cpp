// Shell execute "open" through xdg-open(1) from the freedesktop.org xdg-utils.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/shell/shell.h"

extern char** environ;

namespace lumora::plat {

bool ShellExecuteOpen(const std::string& target, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (target.empty()) return fail("nothing to open");
  // A target that begins with '-' would be read as an option of the handler.
  std::string arg = target[0] == '-' ? "./" + target : target;
  char* argv[] = {const_cast<char*>("xdg-open"), arg.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The handler gets no input from us and must not hold the program's descriptors.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return fail(std::string("cannot start xdg-open: ") + std::strerror(rc));

  // Desktop handlers return at once after handing over; a handler that keeps running (a browser
  // started directly) is reaped by a thread of its own so that no zombie stays behind.
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kShellOpenWaitMs);
  int status = 0;
  for (;;) {
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) return true;  // reaped elsewhere: nothing more to learn
    if (std::chrono::steady_clock::now() >= until) {
      try {
        std::thread([pid] {
          int s;
          while (::waitpid(pid, &s, 0) < 0 && errno == EINTR) {
          }
        }).detach();
      } catch (...) {
      }
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  // Exit codes of xdg-open: 1 syntax, 2 file missing, 3 no handler tool, 4 the action failed.
  static const char* const reasons[] = {"", "bad command line", "the file does not exist", "no handler is installed",
                                        "the handler failed"};
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (code >= 1 && code <= 4) return fail(std::string("xdg-open: ") + reasons[code]);
  return fail("xdg-open failed with status " + std::to_string(code));
}

}  // namespace lumora::plat
