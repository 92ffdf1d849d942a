// Single instance with two real processes: a later start hands its command line to the first,
// which receives it in its window's queue; the lock dies with its holder.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform_fixture.h"
#include "platform/shell/single_instance.h"
#include "scratch.h"

namespace lumora::plat {
namespace {

std::vector<std::unique_ptr<InstanceRequest>> g_requests;

LRESULT sink_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_INSTANCE_REQUEST) {
    g_requests.push_back(TakeInstanceRequest(l));
    return 0;
  }
  return DefWindowProc(h, m, w, l);
}

class SingleInstanceTest : public testing::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    hwnd_ = testing::message_window("InstanceSink", sink_proc);
    g_requests.clear();
  }
  void TearDown() override {
    g_requests.clear();
    HeadlessTest::TearDown();
  }

  // Starts a second process that tries to become the instance; returns its exit code:
  // 0 handed over, 1 became the first itself, 2 failed.
  pid_t start_second(const std::vector<std::string>& args, const std::string& cwd) {
    pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(cwd.c_str()) != 0) ::_exit(3);
      SingleInstance s;
      std::string err;
      SingleInstance::Role r = s.Acquire("lumora", args, &err, dir_);
      ::_exit(r == SingleInstance::Role::HandedOver ? 0 : r == SingleInstance::Role::First ? 1 : 2);
    }
    return pid;
  }
  int wait_exit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void pump_until(size_t n) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (g_requests.size() < n && std::chrono::steady_clock::now() < until) {
      PumpPendingMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  HWND hwnd_ = nullptr;
  testing::TempDir tmp_;
  const std::string dir_ = tmp_.dir();
};

TEST_F(SingleInstanceTest, LaterStartsHandTheirCommandLineToTheFirst) {
  SingleInstance first;
  std::string err;
  ASSERT_EQ(first.Acquire("lumora", {}, &err, dir_), SingleInstance::Role::First) << err;

  // A start before the window listens waits in the socket's queue.
  const std::string spaced = "/pictures/My \xC3\xA9t\xC3\xA9 photo.jpg";
  pid_t early = start_second({spaced}, dir_);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(first.Listen(hwnd_));
  EXPECT_EQ(wait_exit(early), 0);
  pid_t later = start_second({"relative.png", "", "--flag"}, "/");
  EXPECT_EQ(wait_exit(later), 0);
  pump_until(2);

  ASSERT_EQ(g_requests.size(), 2u);
  EXPECT_EQ(g_requests[0]->working_folder, dir_);
  EXPECT_EQ(g_requests[0]->args, std::vector<std::string>{spaced});
  EXPECT_EQ(g_requests[1]->working_folder, "/");
  EXPECT_EQ(g_requests[1]->args, (std::vector<std::string>{"relative.png", "", "--flag"}));
}

TEST_F(SingleInstanceTest, TheLockEndsWithItsHolder) {
  {
    SingleInstance first;
    std::string err;
    ASSERT_EQ(first.Acquire("lumora", {}, &err, dir_), SingleInstance::Role::First) << err;
  }
  // A crashed first instance leaves its socket file behind; the lock alone decides.
  std::ofstream(dir_ + "/lumora.socket") << "stale";
  EXPECT_EQ(wait_exit(start_second({"a.jpg"}, "/")), 1);
  // Another name is another program.
  SingleInstance first;
  std::string err;
  ASSERT_EQ(first.Acquire("lumora", {}, &err, dir_), SingleInstance::Role::First) << err;
  SingleInstance other;
  EXPECT_EQ(other.Acquire("lumora-other", {}, &err, dir_), SingleInstance::Role::First) << err;
}

TEST_F(SingleInstanceTest, UnusableFolderFails) {
  SingleInstance s;
  std::string err;
  EXPECT_EQ(s.Acquire("lumora", {}, &err, dir_ + "/missing"), SingleInstance::Role::Failed);
  EXPECT_FALSE(err.empty());
  EXPECT_FALSE(s.Listen(hwnd_));
}

}  // namespace
}  // namespace lumora::plat
