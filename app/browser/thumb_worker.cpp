#include "app/browser/thumb_worker.h"

#include <algorithm>
#include <new>
#include <thread>

#include "app/shell/resource.h"
#include "app/viewer/screen_conv.h"

namespace lumora::app {

ThumbResult::~ThumbResult() {
  if (bitmap) DeleteObject(bitmap);
}

ThumbWorker::~ThumbWorker() { stop(); }

int ThumbWorker::default_thread_count() {
  return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
}

bool ThumbWorker::start(HWND window, std::vector<ThumbJob> jobs, const PictureRequest& request, int screen_bits,
                        int first_visible, int visible_count) {
  if (!threads_.empty() && finished_.load()) stop();  // a finished worker's handles are released now
  if (!threads_.empty() || jobs.empty() || !window) return false;
  finished_ = false;
  window_ = window;
  jobs_ = std::move(jobs);
  request_ = request;
  screen_bits_ = screen_bits;
  claimed_.assign(jobs_.size(), 0);
  cursor_ = 0;
  prefer(first_visible, visible_count);
  stop_event_ = CreateEvent(true, false);
  if (!stop_event_) return false;
  int n = wanted_threads_ > 0 ? std::min(wanted_threads_, 16) : default_thread_count();
  n = std::min<int>(n, static_cast<int>(jobs_.size()));
  // Counted before any thread runs, so that the first one to finish cannot take itself for the last.
  active_ = n;
  for (int t = 0; t < n; ++t) {
    HANDLE h = CreateThread([this]() -> DWORD {
      run();
      return 0;
    });
    if (!h) {
      active_ -= n - t;  // these never start; those running finish the jobs
      break;
    }
    threads_.push_back(h);
  }
  if (threads_.empty()) {
    CloseHandle(stop_event_);
    stop_event_ = nullptr;
    return false;
  }
  return true;
}

void ThumbWorker::stop() {
  if (threads_.empty()) return;
  SetEvent(stop_event_);
  for (HANDLE h : threads_) {
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
  }
  threads_.clear();
  CloseHandle(stop_event_);
  stop_event_ = nullptr;
  // Results still queued belong to the list as it was; the caller is about to change it.
  MSG m;
  while (PeekMessage(&m, window_, UM_THUMB_READY, UM_THUMB_READY, PM_REMOVE))
    delete reinterpret_cast<ThumbResult*>(m.lParam);
  while (PeekMessage(&m, window_, UM_THUMBS_DONE, UM_THUMBS_DONE, PM_REMOVE)) {
  }
  jobs_.clear();
}

void ThumbWorker::prefer(int first_visible, int visible_count) {
  std::lock_guard lock(lock_);
  first_visible_ = std::max(0, first_visible);
  visible_count_ = std::max(0, visible_count);
}

// Claims the next job: the first one not taken on screen, else the first one not taken in list
// order.
int ThumbWorker::next_job() {
  std::lock_guard lock(lock_);
  const int n = static_cast<int>(jobs_.size());
  int i = -1;
  for (int j = first_visible_; j < std::min(n, first_visible_ + visible_count_); ++j)
    if (!claimed_[static_cast<size_t>(j)]) {
      i = j;
      break;
    }
  if (i < 0) {
    while (cursor_ < jobs_.size() && claimed_[cursor_]) ++cursor_;
    if (cursor_ < jobs_.size()) i = static_cast<int>(cursor_);
  }
  if (i >= 0) claimed_[static_cast<size_t>(i)] = 1;
  return i;
}

void ThumbWorker::run() {
  for (;;) {
    int i = next_job();
    if (i < 0) break;
    const ThumbJob& job = jobs_[static_cast<size_t>(i)];
    if (job.path.empty()) continue;  // an item that has its thumbnail already

    auto* result = new (std::nothrow) ThumbResult;
    if (!result) break;  // out of memory: the rest keep no thumbnail until the next start
    result->id = job.id;
    result->index = i;
    result->path = job.path;
    lumora::Bitmap picture{};
    lumora::FileInfo info{};
    if (load_picture(job.path, request_, &picture, &info) == 0) {
      result->loaded = true;
      result->info = info;
      // The facts are copied by value; what the record owns stays with it and is freed here.
      result->info.comment = nullptr;
      result->info.chunks = nullptr;
      result->info.text_count = 0;
      std::fill(std::begin(result->info.text_lines), std::end(result->info.text_lines), nullptr);
      void* bits = nullptr;
      result->bitmap = ScreenImage::make_screen_bitmap(picture, picture.width, picture.height, &bits, screen_bits_);
      if (result->bitmap) {
        result->width = picture.width;
        result->height = picture.height;
      } else {
        result->bitmap_failed = true;
      }
    }
    bitmap_free(&picture);
    file_info_free(&info);

    if (WaitForSingleObject(stop_event_, 0) != WAIT_TIMEOUT) {
      delete result;
      finished_ = true;
      --active_;
      return;
    }
    if (!PostMessage(window_, UM_THUMB_READY, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(result))) {
      delete result;  // the window is gone
      finished_ = true;
      --active_;
      return;
    }
  }
  // The last thread out tells the window, after every other thread's last result was posted.
  // Marked before the message goes, so that its receiver sees the worker gone.
  if (--active_ == 0) {
    finished_ = true;
    PostMessage(window_, UM_THUMBS_DONE, 0, 0);
  }
}

}  // namespace lumora::app
