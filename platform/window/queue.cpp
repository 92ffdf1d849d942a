// Per-thread message queues: sending, posting, retrieval, dispatch and timers.
#include <algorithm>
#include <chrono>

#include "platform/backend/backend.h"
#include "platform/system/system.h"
#include "platform/system/system_impl.h"
#include "platform/window/window_impl.h"

namespace lumora::plat {

namespace {

thread_local std::shared_ptr<ThreadQueue> tls_queue;

bool in_range(UINT msg, UINT min, UINT max) { return (min == 0 && max == 0) || (msg >= min && msg <= max); }

bool window_matches(HWND filter, HWND h) { return !filter || h == filter || IsChild(filter, h); }

// Runs messages sent from other threads to this thread's windows.
void process_sent(ThreadQueue& q) {
  for (;;) {
    std::shared_ptr<SentMessage> sm;
    {
      std::lock_guard lock(q.m);
      if (q.sent.empty()) return;
      sm = q.sent.front();
      q.sent.pop_front();
    }
    LRESULT r = 0;
    if (Window* w = win(sm->hwnd)) r = w->proc(sm->hwnd, sm->msg, sm->wp, sm->lp);
    {
      std::lock_guard lock(q.m);
      sm->result = r;
      sm->done = true;
    }
    q.cv.notify_all();
  }
}

Timer* due_timer(ThreadQueue& q, HWND filter, uint64_t now) {
  Timer* best = nullptr;
  for (Timer& t : q.timers)
    if (t.due <= now && (!filter || t.hwnd == filter) && (!best || t.due < best->due)) best = &t;
  return best;
}

uint64_t next_deadline(ThreadQueue& q) {
  uint64_t d = UINT64_MAX;
  for (const Timer& t : q.timers) d = std::min(d, t.due);
  if (is_ui_thread()) {
    uint64_t b = back_hold_deadline();
    if (b) d = std::min(d, b);
  }
  return d;
}

bool has_work_locked(ThreadQueue& q) { return !q.posted.empty() || !q.sent.empty() || q.quit; }

// Waits for something to do on an empty queue, presenting the screen and pumping the backend's
// input on the user-interface thread.
void idle_wait(ThreadQueue& q) {
  Backend* be = is_ui_thread() ? backend() : nullptr;
  if (be) {
    present_if_dirty();
    if (be->pump_input()) return;
  }
  uint64_t deadline = next_deadline(q);
  uint64_t now = clock_now();
  if (deadline <= now) return;
  std::unique_lock lock(q.m);
  if (has_work_locked(q)) return;
  if (clock_is_virtual()) {
    if (deadline == UINT64_MAX) {
      q.cv.wait(lock, [&] { return has_work_locked(q); });
      return;
    }
    // Virtual time: give other threads a moment to post, then jump to the next deadline. Only the
    // user-interface thread moves the clock, and not while a key script decides when time passes.
    if (q.cv.wait_for(lock, std::chrono::milliseconds(20), [&] { return has_work_locked(q); })) return;
    if (be && !be->scripted()) {
      lock.unlock();
      set_virtual_clock(deadline);
    }
    return;
  }
  int poll = be ? be->poll_interval_ms() : -1;
  uint64_t wait_ms = deadline == UINT64_MAX ? UINT64_MAX : deadline - now;
  if (poll >= 0) wait_ms = std::min<uint64_t>(wait_ms, static_cast<uint64_t>(poll));
  if (wait_ms == UINT64_MAX) q.cv.wait(lock, [&] { return has_work_locked(q); });
  else q.cv.wait_for(lock, std::chrono::milliseconds(wait_ms), [&] { return has_work_locked(q); });
}

}  // namespace

std::shared_ptr<ThreadQueue> this_queue() {
  if (!tls_queue) {
    tls_queue = std::make_shared<ThreadQueue>();
    tls_queue->owner = std::this_thread::get_id();
  }
  return tls_queue;
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return proc ? proc(hwnd, msg, wp, lp) : 0;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto q = queue_of(hwnd);
  if (!q) return 0;
  if (q->owner == std::this_thread::get_id()) {
    Window* w = win(hwnd);
    return w ? w->proc(hwnd, msg, wp, lp) : 0;
  }
  auto sm = std::make_shared<SentMessage>(SentMessage{hwnd, msg, wp, lp});
  std::unique_lock lock(q->m);
  q->sent.push_back(sm);
  q->cv.notify_all();
  q->cv.wait(lock, [&] { return sm->done; });
  return sm->result;
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  std::shared_ptr<ThreadQueue> q = hwnd ? queue_of(hwnd) : this_queue();
  if (!q) return FALSE;
  {
    std::lock_guard lock(q->m);
    q->posted.push_back(MSG{hwnd, msg, wp, lp, static_cast<DWORD>(clock_now()), POINT{}});
  }
  q->cv.notify_all();
  return TRUE;
}

void PostQuitMessage(int code) {
  auto q = this_queue();
  {
    std::lock_guard lock(q->m);
    q->quit = true;
    q->quit_code = code;
  }
  q->cv.notify_all();
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove) {
  if (!msg) return FALSE;
  auto qp = this_queue();
  ThreadQueue& q = *qp;
  process_sent(q);
  uint64_t now = clock_now();
  if (is_ui_thread()) check_back_hold(now);
  {
    std::lock_guard lock(q.m);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
      if (!in_range(it->message, min, max) || !window_matches(hwnd, it->hwnd)) continue;
      *msg = *it;
      if (remove & PM_REMOVE) q.posted.erase(it);
      return TRUE;
    }
    if (q.quit && !hwnd && in_range(WM_QUIT, min, max)) {
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quit_code), 0, static_cast<DWORD>(now), POINT{}};
      if (remove & PM_REMOVE) q.quit = false;
      return TRUE;
    }
  }
  if (in_range(WM_PAINT, min, max)) {
    if (HWND p = find_window_to_paint(q, hwnd)) {
      *msg = MSG{p, WM_PAINT, 0, 0, static_cast<DWORD>(now), POINT{}};
      return TRUE;
    }
  }
  if (in_range(WM_TIMER, min, max)) {
    if (Timer* t = due_timer(q, hwnd, now)) {
      *msg = MSG{t->hwnd, WM_TIMER, t->id, reinterpret_cast<LPARAM>(t->proc), static_cast<DWORD>(now), POINT{}};
      // The next period counts from now: a late timer fires once, not once per missed period.
      if (remove & PM_REMOVE) t->due = now + t->elapse;
      return TRUE;
    }
  }
  return FALSE;
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT min, UINT max) {
  if (!msg) return FALSE;
  auto q = this_queue();
  for (;;) {
    if (PeekMessage(msg, hwnd, min, max, PM_REMOVE)) return msg->message != WM_QUIT;
    idle_wait(*q);
  }
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  UINT vk = static_cast<UINT>(msg->wParam);
  char32_t ch = 0;
  if (vk >= '0' && vk <= '9') ch = vk;
  else if (vk >= 'A' && vk <= 'Z') ch = vk - 'A' + 'a';
  else if (vk == VK_TSTAR) ch = '*';
  else if (vk == VK_TPOUND) ch = '#';
  else if (vk == VK_RETURN) ch = '\r';
  else if (vk == VK_BACK) ch = 8;
  else if (vk == VK_SPACE) ch = ' ';
  else if (vk == VK_ESCAPE) ch = 27;
  if (!ch) return FALSE;
  auto q = queue_of(msg->hwnd);
  if (!q) return FALSE;
  {
    // The character comes before anything already queued, as typed characters do.
    std::lock_guard lock(q->m);
    q->posted.push_front(MSG{msg->hwnd, WM_CHAR, ch, msg->lParam, msg->time, POINT{}});
  }
  q->cv.notify_all();
  return TRUE;
}

LRESULT DispatchMessage(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(clock_now()));
    return 0;
  }
  Window* w = win(msg->hwnd);
  if (!w || w->queue->owner != std::this_thread::get_id()) return 0;
  LRESULT r = w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  if (msg->message == WM_PAINT) {
    // A window procedure that ignored WM_PAINT would otherwise be asked again forever.
    if (Window* after = win(msg->hwnd)) {
      after->update.clear();
      after->erase_pending = false;
    }
  }
  return r;
}

uintptr_t SetTimer(HWND hwnd, uintptr_t id, UINT elapse_ms, TIMERPROC proc) {
  std::shared_ptr<ThreadQueue> q = hwnd ? queue_of(hwnd) : this_queue();
  if (!q || q->owner != std::this_thread::get_id()) return 0;
  if (!hwnd) id = ++q->next_timer_id;
  UINT elapse = std::max<UINT>(elapse_ms, 1);
  uint64_t due = clock_now() + elapse;
  for (Timer& t : q->timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.elapse = elapse, t.proc = proc, t.due = due;
      return id ? id : 1;
    }
  }
  q->timers.push_back(Timer{hwnd, id, elapse, proc, due});
  q->cv.notify_all();
  return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, uintptr_t id) {
  std::shared_ptr<ThreadQueue> q = hwnd ? queue_of(hwnd) : this_queue();
  if (!q || q->owner != std::this_thread::get_id()) return FALSE;
  auto& ts = q->timers;
  auto it = std::find_if(ts.begin(), ts.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == ts.end()) return FALSE;
  ts.erase(it);
  return TRUE;
}

int PumpPendingMessages() {
  int handled = 0;
  MSG m;
  // Bounded, so a window that keeps posting to itself cannot hang a test or a script.
  while (handled < 100000 && PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    TranslateMessage(&m);
    DispatchMessage(&m);
    ++handled;
  }
  return handled;
}

}  // namespace lumora::plat
