// Frame time of a full-screen paint: a 24-bit picture blitted 1:1, a stretched thumbnail strip
// and 20 lines of text, at the phone's 240 x 320 and at 1280 x 720.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

using namespace lumora::plat;

struct Scene {
  HBITMAP picture = nullptr;
  HDC picture_dc = nullptr;
  HFONT font = nullptr;
};
Scene g_scene;

LRESULT paint_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_PAINT) return DefWindowProc(h, m, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT c;
  GetClientRect(h, &c);
  BitBlt(dc, 0, 0, c.right, c.bottom, g_scene.picture_dc, 0, 0, SRCCOPY);
  for (int i = 0; i < 8; ++i)
    StretchBlt(dc, i * (c.right / 8), 0, c.right / 8, c.right / 8, g_scene.picture_dc, 0, 0, c.right, c.bottom, SRCCOPY);
  HGDIOBJ old = SelectObject(dc, g_scene.font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  for (int line = 0; line < 20; ++line)
    TextOut(dc, 4, 40 + line * 14, "IMG_" + std::to_string(1000 + line) + ".JPG  1600x1200  JPEG  412 KB");
  SelectObject(dc, old);
  EndPaint(h, &ps);
  return 0;
}

void BM_FullScreenPaint(benchmark::State& state) {
  Options o;
  o.headless = true;
  o.screen_width = static_cast<int>(state.range(0));
  o.screen_height = static_cast<int>(state.range(1));
  std::string err;
  if (!Startup(o, &err)) {
    state.SkipWithError(err.c_str());
    return;
  }
  BITMAPINFO info;
  info.bmiHeader.biWidth = o.screen_width;
  info.bmiHeader.biHeight = o.screen_height;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  g_scene.picture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* p = static_cast<uint8_t*>(bits);
  size_t stride = ((static_cast<size_t>(o.screen_width) * 24 + 31) / 32) * 4;
  for (int y = 0; y < o.screen_height; ++y)
    for (int x = 0; x < o.screen_width * 3; ++x) p[y * stride + x] = static_cast<uint8_t>(x * 7 + y * 3);
  g_scene.picture_dc = CreateCompatibleDC(nullptr);
  SelectObject(g_scene.picture_dc, g_scene.picture);
  g_scene.font = CreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, "MS Sans Serif");
  WNDCLASS wc;
  wc.lpfnWndProc = paint_proc;
  wc.lpszClassName = "BenchWindow";
  RegisterClass(&wc);
  HWND w = CreateWindowEx(0, "BenchWindow", "", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          nullptr, 0, nullptr, nullptr);
  PumpPendingMessages();
  for (auto _ : state) {
    InvalidateRect(w, nullptr, FALSE);
    PumpPendingMessages();
  }
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(w);
  DeleteDC(g_scene.picture_dc);
  DeleteObject(g_scene.picture);
  DeleteObject(g_scene.font);
  Shutdown();
}
BENCHMARK(BM_FullScreenPaint)->Args({240, 320})->Args({1280, 720})->Unit(benchmark::kMicrosecond);

}  // namespace
