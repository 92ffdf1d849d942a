#pragma once
// One running program per user. The first start takes a lock file and listens on a local
// socket next to it, both in the user's runtime folder; a later start finds the lock taken, hands
// its working folder and command line to the first over the socket and ends.
#include <memory>
#include <string>
#include <vector>

#include "platform/base/messages.h"
#include "platform/base/types.h"

namespace lumora::plat {

// lParam: an InstanceRequest* that the receiver takes over (TakeInstanceRequest).
inline constexpr UINT WM_INSTANCE_REQUEST = WM_APP + 0x0102;

// The command line of a later start.
struct InstanceRequest {
  std::string working_folder;      // where it was started: relative paths are relative to it
  std::vector<std::string> args;   // its arguments without the program name
};
std::unique_ptr<InstanceRequest> TakeInstanceRequest(LPARAM lp);

class SingleInstance {
 public:
  enum class Role {
    First,       // this process runs the program
    HandedOver,  // another instance runs and took the command line: exit with 0
    Failed,      // another instance holds the lock but could not be reached, or no runtime folder
  };

  SingleInstance();
  ~SingleInstance();  // stops listening, removes the socket and releases the lock
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // name: the program's name ("lumora"); folder: where the lock and the socket live (empty: the
  // runtime folder). args: the arguments to hand over when another instance runs.
  Role Acquire(const std::string& name, const std::vector<std::string>& args, std::string* error,
               const std::string& folder = {});
  // First instance: delivers the command line of every later start to hwnd as msg, on hwnd's
  // thread. Starts that came before Listen wait in the socket's queue and are delivered now.
  bool Listen(HWND hwnd, UINT msg = WM_INSTANCE_REQUEST);

  // How long a later start waits for the first to take its command line, in milliseconds.
  static constexpr int kHandOverTimeoutMs = 5000;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Brings a top-level window and the windows it owns to the front, and the program's host window
// above the desktop's other windows where the backend can.
void BringToForeground(HWND hwnd);

}  // namespace lumora::plat
