#pragma once
// Events and threads for the user-interface thread and its workers.
#include <functional>

#include "platform/base/types.h"

namespace lumora::plat {

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD STILL_ACTIVE = 259;

// An event; auto-reset events release one waiter and clear themselves.
HANDLE CreateEvent(bool manual_reset, bool initially_set);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Starts fn on a new thread. The handle is signalled when the thread ends.
HANDLE CreateThread(std::function<DWORD()> fn);
BOOL GetExitCodeThread(HANDLE thread, DWORD* code);
// Waits for an event or a thread, in real milliseconds; WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitForSingleObject(HANDLE h, DWORD timeout_ms);
// Releases a handle. A thread keeps running (detached) when its handle is closed first.
BOOL CloseHandle(HANDLE h);

// Waits until every thread started with CreateThread has ended or timeout_ms passed; true when
// none runs any more. The headless backend uses it to let workers finish before a screenshot.
bool WaitForWorkerThreads(DWORD timeout_ms);

}  // namespace lumora::plat
