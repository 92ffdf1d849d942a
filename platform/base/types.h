#pragma once
// Basic types of the platform layer: handles, geometry records, colours and the word-packing
// helpers that message parameters use. The names follow the message-driven window model that
// the application is written against, so that its code reads the way its authors think.
#include <cstddef>
#include <cstdint>

namespace lumora::plat {

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using BOOL = int;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using COLORREF = uint32_t;  // 0x00BBGGRR

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// Window handles are numbers handed out by the window table, never pointers: a handle kept by a
// worker thread after the window died is detected instead of dereferenced.
struct WindowHandleTag;
using HWND = WindowHandleTag*;
// Device contexts and drawing objects are owned by the layer and used from one thread at a time.
struct DeviceContext;
using HDC = DeviceContext*;
struct GdiObject;
using HGDIOBJ = GdiObject*;
using HBRUSH = GdiObject*;
using HPEN = GdiObject*;
using HFONT = GdiObject*;
using HBITMAP = GdiObject*;
using HPALETTE = GdiObject*;
// Synchronisation objects (events, threads).
struct KernelObject;
using HANDLE = KernelObject*;
using HINSTANCE = void*;

struct POINT {
  LONG x = 0, y = 0;
};
struct SIZE {
  LONG cx = 0, cy = 0;
};
struct RECT {
  LONG left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const RECT&, const RECT&) = default;
};

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return c & 0xFF; }
constexpr int GetGValue(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(COLORREF c) { return (c >> 16) & 0xFF; }

constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<DWORD>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
  return static_cast<WPARAM>(static_cast<DWORD>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
// Signed coordinates packed into an lParam (mouse positions).
constexpr int GET_X_LPARAM(LPARAM l) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(l))); }
constexpr int GET_Y_LPARAM(LPARAM l) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(l))); }

// a x b / c with a 64-bit product, rounded half away from zero; -1 when c is 0.
inline int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  int64_t p = static_cast<int64_t>(a) * b;
  int64_t half = (c > 0 ? c : -c) / 2;
  bool negative = (p < 0) != (c < 0);
  int64_t mag = ((p < 0 ? -p : p) + half) / (c > 0 ? c : -c);
  return static_cast<int>(negative ? -mag : mag);
}

}  // namespace lumora::plat
