// Regions, UTF-8 decoding, MulDiv, events and threads.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/base/geometry.h"
#include "platform/base/utf8.h"
#include "platform/system/threads.h"

namespace lumora::plat {
namespace {

TEST(Region, UnionSubtractIntersectKeepDisjointCoverage) {
  struct Case {
    const char* name;
    std::vector<RECT> add;
    std::vector<RECT> subtract;
    RECT intersect;  // empty = none
    long long area;
    RECT bounds;
  } cases[] = {
      {"overlap counted once", {{0, 0, 10, 10}, {5, 5, 15, 15}}, {}, {}, 175, {0, 0, 15, 15}},
      {"contained adds nothing", {{0, 0, 10, 10}, {2, 2, 4, 4}}, {}, {}, 100, {0, 0, 10, 10}},
      {"hole in the middle", {{0, 0, 10, 10}}, {{3, 3, 7, 7}}, {}, 84, {0, 0, 10, 10}},
      {"subtract everything", {{0, 0, 10, 10}}, {{-5, -5, 20, 20}}, {}, 0, {0, 0, 0, 0}},
      {"clip to a corner", {{0, 0, 10, 10}, {20, 20, 30, 30}}, {}, {5, 5, 25, 25}, 50, {5, 5, 25, 25}},
      {"empty rectangles ignored", {{5, 5, 5, 9}, {3, 3, 2, 8}}, {}, {}, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    Region r;
    for (const RECT& a : c.add) r.add(a);
    for (const RECT& s : c.subtract) r.subtract(s);
    if (!IsRectEmpty(&c.intersect)) r.intersect(c.intersect);
    EXPECT_EQ(r.area(), c.area) << c.name;
    EXPECT_EQ(r.bounds(), c.bounds) << c.name;
    // Disjoint: the area equals the sum of the pieces and no point is in two of them.
    for (size_t i = 0; i < r.rects().size(); ++i)
      for (size_t j = i + 1; j < r.rects().size(); ++j) {
        RECT x;
        EXPECT_FALSE(IntersectRect(&x, &r.rects()[i], &r.rects()[j])) << c.name;
      }
  }
}

TEST(Utf8, DecodesAndReplacesMalformedSequences) {
  struct Case {
    std::string in;
    std::vector<char32_t> out;
  } cases[] = {
      {"abc", {'a', 'b', 'c'}},
      {"\xC3\xA9", {0xE9}},
      {"\xE2\x82\xAC", {0x20AC}},
      {"\xF0\x9F\x93\xB7", {0x1F4F7}},
      {"\xC0\xAF", {0xFFFD}},          // overlong
      {"\xED\xA0\x80", {0xFFFD}},      // surrogate
      {"\xE2\x82", {0xFFFD, 0xFFFD}},  // truncated: each byte resynchronises
      {"\xFFx", {0xFFFD, 'x'}},
  };
  for (const Case& c : cases) EXPECT_EQ(utf8_decode(c.in), c.out) << c.in;
  std::string back;
  for (char32_t cp : {char32_t{0xE9}, char32_t{0x20AC}, char32_t{0x1F4F7}}) utf8_append(back, cp);
  EXPECT_EQ(back, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xB7");
}

TEST(MulDiv, RoundsHalfAwayFromZero) {
  struct {
    int a, b, c, r;
  } cases[] = {{8, 96, 72, 11}, {5, 1, 2, 3}, {-5, 1, 2, -3}, {5, -1, 2, -3}, {1, 1, 0, -1}};
  for (auto& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.r) << c.a << "*" << c.b << "/" << c.c;
}

TEST(Threads, AutoResetEventReleasesOneWaitAndThreadsReportTheirEnd) {
  HANDLE ev = CreateEvent(false, false);
  EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);
  SetEvent(ev);
  EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);  // reset by the first wait
  HANDLE manual = CreateEvent(true, true);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);

  std::atomic<int> steps{0};
  HANDLE t = CreateThread([&]() -> DWORD {
    // A worker that checks its stop event between items, as the thumbnail worker does.
    while (WaitForSingleObject(ev, 0) == WAIT_TIMEOUT) ++steps;
    return 42;
  });
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  SetEvent(ev);
  EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(WaitForWorkerThreads(1000));
  EXPECT_TRUE(CloseHandle(t));
  EXPECT_TRUE(CloseHandle(ev));
  EXPECT_TRUE(CloseHandle(manual));
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

}  // namespace
}  // namespace lumora::plat
