#pragma once
// A headless platform for one test: started in SetUp, shut down in TearDown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace lumora::plat::testing {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Options o;
    o.headless = true;
    std::string err;
    ASSERT_TRUE(Startup(o, &err)) << err;
  }
  void TearDown() override { Shutdown(); }
};

// Registers a window class with the procedure (classes go with each shut-down).
inline void register_class(const char* name, WNDPROC proc) {
  WNDCLASS wc;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterClass(&wc);
}

// A hidden top-level window of its own class, to receive messages.
inline HWND message_window(const char* name, WNDPROC proc) {
  register_class(name, proc);
  return CreateWindowEx(0, name, "", 0, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
}

// Pixel of the framebuffer as 0x00RRGGBB.
inline uint32_t screen_pixel(int x, int y) { return ScreenPixels()[y * GetSystemMetrics(SM_CXSCREEN) + x]; }

}  // namespace lumora::plat::testing
