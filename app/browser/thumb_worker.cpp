#include "app/browser/thumb_worker.h"

#include <algorithm>
#include <new>

#include "app/shell/resource.h"
#include "app/viewer/screen_conv.h"

namespace lumora::app {

ThumbResult::~ThumbResult() {
  if (bitmap) DeleteObject(bitmap);
}

ThumbWorker::~ThumbWorker() { stop(); }

bool ThumbWorker::start(HWND window, std::vector<ThumbJob> jobs, const PictureRequest& request, int screen_bits,
                        int first_visible, int visible_count) {
  if (thread_ && finished_.load()) stop();  // a finished worker's handles are released now
  if (thread_ || jobs.empty() || !window) return false;
  finished_ = false;
  window_ = window;
  jobs_ = std::move(jobs);
  request_ = request;
  screen_bits_ = screen_bits;
  prefer(first_visible, visible_count);
  stop_event_ = CreateEvent(false, false);  // auto-reset, one per worker
  if (!stop_event_) return false;
  thread_ = CreateThread([this]() -> DWORD {
    run();
    return 0;
  });
  if (!thread_) {
    CloseHandle(stop_event_);
    stop_event_ = nullptr;
    return false;
  }
  return true;
}

void ThumbWorker::stop() {
  if (!thread_) return;
  SetEvent(stop_event_);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(stop_event_);
  thread_ = nullptr;
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
  std::lock_guard lock(visible_lock_);
  first_visible_ = std::max(0, first_visible);
  visible_count_ = std::max(0, visible_count);
}

// The next job: the first one not done on screen, else the first one not done in list order.
int ThumbWorker::next_job(std::vector<char>& done, size_t& cursor) {
  int first, count;
  {
    std::lock_guard lock(visible_lock_);
    first = first_visible_;
    count = visible_count_;
  }
  const int n = static_cast<int>(jobs_.size());
  for (int i = first; i < std::min(n, first + count); ++i)
    if (!done[static_cast<size_t>(i)]) return i;
  while (cursor < jobs_.size() && done[cursor]) ++cursor;
  return cursor < jobs_.size() ? static_cast<int>(cursor) : -1;
}

void ThumbWorker::run() {
  std::vector<char> done(jobs_.size(), 0);
  size_t cursor = 0;
  for (;;) {
    int i = next_job(done, cursor);
    if (i < 0) break;
    done[static_cast<size_t>(i)] = 1;
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
      return;
    }
    if (!PostMessage(window_, UM_THUMB_READY, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(result))) {
      delete result;  // the window is gone
      finished_ = true;
      return;
    }
  }
  // Marked before the message goes, so that its receiver sees the worker gone.
  finished_ = true;
  PostMessage(window_, UM_THUMBS_DONE, 0, 0);
}

}  // namespace lumora::app
