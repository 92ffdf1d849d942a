#include "platform/system/threads.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace lumora::plat {

namespace {

struct ThreadState {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  DWORD exit_code = STILL_ACTIVE;
};

// Threads started and not yet ended, for WaitForWorkerThreads.
struct Running {
  std::mutex m;
  std::condition_variable cv;
  int count = 0;
};
Running& running() {
  static Running r;
  return r;
}

}  // namespace

}  // namespace lumora::plat

struct lumora::plat::KernelObject {
  static constexpr uint32_t kMagic = 0x4B4F424A;
  uint32_t magic = kMagic;
  enum class Kind { Event, Thread } kind;
  // Event.
  std::mutex m;
  std::condition_variable cv;
  bool manual = false;
  bool set = false;
  // Thread.
  std::shared_ptr<ThreadState> thread_state;
  std::thread thread;
};

namespace lumora::plat {

static KernelObject* kobj(HANDLE h) { return h && h->magic == KernelObject::kMagic ? h : nullptr; }

HANDLE CreateEvent(bool manual_reset, bool initially_set) {
  auto* e = new (std::nothrow) KernelObject();
  if (!e) return nullptr;
  e->kind = KernelObject::Kind::Event;
  e->manual = manual_reset;
  e->set = initially_set;
  return e;
}

BOOL SetEvent(HANDLE h) {
  KernelObject* e = kobj(h);
  if (!e || e->kind != KernelObject::Kind::Event) return FALSE;
  {
    std::lock_guard lock(e->m);
    e->set = true;
  }
  if (e->manual) e->cv.notify_all();
  else e->cv.notify_one();
  return TRUE;
}

BOOL ResetEvent(HANDLE h) {
  KernelObject* e = kobj(h);
  if (!e || e->kind != KernelObject::Kind::Event) return FALSE;
  std::lock_guard lock(e->m);
  e->set = false;
  return TRUE;
}

HANDLE CreateThread(std::function<DWORD()> fn) {
  if (!fn) return nullptr;
  auto* t = new (std::nothrow) KernelObject();
  if (!t) return nullptr;
  t->kind = KernelObject::Kind::Thread;
  try {
    t->thread_state = std::make_shared<ThreadState>();
    {
      std::lock_guard lock(running().m);
      ++running().count;
    }
    std::shared_ptr<ThreadState> st = t->thread_state;
    t->thread = std::thread([st, fn = std::move(fn)] {
      DWORD code = fn();
      {
        std::lock_guard lock(st->m);
        st->done = true;
        st->exit_code = code;
      }
      st->cv.notify_all();
      {
        std::lock_guard lock(running().m);
        --running().count;
      }
      running().cv.notify_all();
    });
  } catch (...) {
    {
      std::lock_guard lock(running().m);
      if (t->thread_state) --running().count;
    }
    delete t;
    return nullptr;
  }
  return t;
}

BOOL GetExitCodeThread(HANDLE h, DWORD* code) {
  KernelObject* t = kobj(h);
  if (!t || t->kind != KernelObject::Kind::Thread || !code) return FALSE;
  std::lock_guard lock(t->thread_state->m);
  *code = t->thread_state->exit_code;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE h, DWORD timeout_ms) {
  KernelObject* k = kobj(h);
  if (!k) return WAIT_FAILED;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  if (k->kind == KernelObject::Kind::Event) {
    std::unique_lock lock(k->m);
    auto ready = [k] { return k->set; };
    if (timeout_ms == INFINITE) k->cv.wait(lock, ready);
    else if (!k->cv.wait_until(lock, deadline, ready)) return WAIT_TIMEOUT;
    if (!k->manual) k->set = false;
    return WAIT_OBJECT_0;
  }
  ThreadState& st = *k->thread_state;
  std::unique_lock lock(st.m);
  auto ready = [&st] { return st.done; };
  if (timeout_ms == INFINITE) st.cv.wait(lock, ready);
  else if (!st.cv.wait_until(lock, deadline, ready)) return WAIT_TIMEOUT;
  return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE h) {
  KernelObject* k = kobj(h);
  if (!k) return FALSE;
  if (k->kind == KernelObject::Kind::Thread && k->thread.joinable()) {
    bool done;
    {
      std::lock_guard lock(k->thread_state->m);
      done = k->thread_state->done;
    }
    if (done) k->thread.join();
    else k->thread.detach();
  }
  k->magic = 0;
  delete k;
  return TRUE;
}

bool WaitForWorkerThreads(DWORD timeout_ms) {
  Running& r = running();
  std::unique_lock lock(r.m);
  return r.cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&r] { return r.count == 0; });
}

}  // namespace lumora::plat
