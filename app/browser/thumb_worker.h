#pragma once
// The thumbnail worker: threads that load the pictures of the browsed folder reduced to the
// thumbnail box, turn each into a screen bitmap and post it to the list window. The worker works
// on its own copy of the paths and never touches the list's items; the user-interface thread
// takes each result from the posted message.
//
// Threads: one per processor core, at most four (decoding is the cost, and each thread holds one
// reduced picture at a time). They take the jobs one by one from a shared cursor, so each item is
// made exactly once whatever the number of threads.
//
// Order: the items on screen first, then the rest in list order. prefer() moves the screen range
// while the worker runs (the user scrolled), without a restart.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "app/viewer/picture_loader.h"
#include "platform/platform.h"

namespace lumora::app {

using namespace lumora::plat;

// One item to make a thumbnail of, as the worker sees it.
struct ThumbJob {
  uint32_t id = 0;  // the item's id in the folder list
  std::string path;
};

// What the worker posts with UM_THUMB_READY (wParam: the item's index at the start; lParam: a
// ThumbResult* that the receiver deletes).
struct ThumbResult {
  ~ThumbResult();
  uint32_t id = 0;
  int index = -1;
  std::string path;
  bool loaded = false;          // the picture could be read: info holds its facts
  lumora::FileInfo info{};      // scalar facts only (no comment, text or chunks)
  HBITMAP bitmap = nullptr;     // the thumbnail, null when the picture or the bitmap failed
  int width = 0, height = 0;    // of the bitmap
  bool bitmap_failed = false;   // the picture was read but no screen bitmap could be made

  HBITMAP take_bitmap() {
    HBITMAP b = bitmap;
    bitmap = nullptr;
    return b;
  }
};

class ThumbWorker {
 public:
  ThumbWorker() = default;
  ~ThumbWorker();
  ThumbWorker(const ThumbWorker&) = delete;
  ThumbWorker& operator=(const ThumbWorker&) = delete;

  // Starts threads over jobs, one job per list item in list order (an empty path: nothing to do);
  // results go to window as UM_THUMB_READY, then one UM_THUMBS_DONE when every job is done.
  // screen_bits: the screen's depth, read by the caller on its own thread. False when a worker
  // runs already, there is nothing to do, or no thread can start.
  bool start(HWND window, std::vector<ThumbJob> jobs, const PictureRequest& request, int screen_bits,
             int first_visible, int visible_count);
  // Sets the stop event, waits for every thread (no time-out: each stops after the picture it is
  // loading) and removes the UM_THUMB_READY messages they left in the queue, freeing them.
  void stop();
  // A worker that posted UM_THUMBS_DONE (or was told to stop) no longer counts as running.
  bool running() const { return !threads_.empty() && !finished_.load(); }
  // Threads for the next start: 0 (the default) is one per core, at most four.
  void set_thread_count(int n) { wanted_threads_ = n; }
  static int default_thread_count();
  // The list range shown on screen: those items come next.
  void prefer(int first_visible, int visible_count);

 private:
  void run();
  int next_job();  // claims the next job, -1 when none is left

  HWND window_ = nullptr;
  std::vector<HANDLE> threads_;
  HANDLE stop_event_ = nullptr;  // manual reset: every thread sees it
  std::atomic<bool> finished_{false};
  std::atomic<int> active_{0};  // threads still working; the last one out posts UM_THUMBS_DONE
  int wanted_threads_ = 0;
  std::vector<ThumbJob> jobs_;
  PictureRequest request_;
  int screen_bits_ = 16;

  std::mutex lock_;  // guards the screen range (written by the user-interface thread) and the claims
  int first_visible_ = 0;
  int visible_count_ = 0;
  std::vector<char> claimed_;  // per job: taken by a thread
  size_t cursor_ = 0;          // every job before it is claimed
};

}  // namespace lumora::app
