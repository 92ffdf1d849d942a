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

// Pixel of the framebuffer as 0x00RRGGBB.
inline uint32_t screen_pixel(int x, int y) { return ScreenPixels()[y * GetSystemMetrics(SM_CXSCREEN) + x]; }

}  // namespace lumora::plat::testing
