// 1:1 and stretched blits between any two surfaces, clipped to the destination context.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace lumora::plat {

namespace {

bool rop_needs_dest(DWORD rop) { return rop == SRCAND || rop == SRCPAINT || rop == SRCINVERT; }
bool rop_supported(DWORD rop) { return rop == SRCCOPY || rop_needs_dest(rop); }

void combine(DWORD rop, uint32_t* dst, const uint32_t* src, int n) {
  switch (rop) {
    case SRCAND: for (int i = 0; i < n; ++i) dst[i] &= src[i]; break;
    case SRCPAINT: for (int i = 0; i < n; ++i) dst[i] |= src[i]; break;
    case SRCINVERT: for (int i = 0; i < n; ++i) dst[i] = (dst[i] ^ src[i]) & 0xFFFFFF; break;
    default: std::copy(src, src + n, dst);
  }
}

// Copies the source rectangle (sx, sy, sw, sh) of src, in source pixels, into the device
// rectangle dev of the destination context, scaling by nearest pixel.
void blit_surface(DeviceContext* dst, const RECT& dev, const Surface& src_in, int sx, int sy, int sw, int sh,
                  DWORD rop) {
  if (!dst->surface || !dst->surface->valid() || !src_in.valid()) return;
  const int w = dev.right - dev.left, h = dev.bottom - dev.top;
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;

  // Copy the source first when it is the destination itself, so overlapping moves are exact.
  const Surface* src = &src_in;
  Surface copy;
  std::vector<uint32_t> copy_pixels;
  if (src_in.row0 == dst->surface->row0) {
    RECT need{sx, sy, sx + sw, sy + sh};
    RECT bounds{0, 0, src_in.width, src_in.height};
    if (!IntersectRect(&need, &need, &bounds)) return;
    int cw = need.right - need.left, ch = need.bottom - need.top;
    copy_pixels.resize(static_cast<size_t>(src_in.width) * ch);
    for (int y = 0; y < ch; ++y)
      src_in.read_span(need.left, need.top + y, cw, copy_pixels.data() + static_cast<size_t>(y) * src_in.width + need.left);
    copy.attach(reinterpret_cast<uint8_t*>(copy_pixels.data()), src_in.width, ch, 32,
                static_cast<size_t>(src_in.width) * 4, false);
    sy -= need.top;  // the copy's row 0 is source row need.top
    src = &copy;
  }

  const bool one_to_one = (sw == w && sh == h);
  std::vector<uint32_t> src_row(static_cast<size_t>(std::max(sw, w)));
  std::vector<uint32_t> out(static_cast<size_t>(w));
  std::vector<int> columns(static_cast<size_t>(w));
  for (int i = 0; i < w; ++i) columns[static_cast<size_t>(i)] = sx + static_cast<int>((static_cast<int64_t>(i) * sw) / w);

  Region clip = dst->clip();
  for (const RECT& c : clip.rects()) {
    RECT r;
    if (!IntersectRect(&r, &c, &dev)) continue;
    for (int y = r.top; y < r.bottom; ++y) {
      int srow = sy + (one_to_one ? (y - dev.top) : static_cast<int>((static_cast<int64_t>(y - dev.top) * sh) / h));
      if (srow < 0 || srow >= src->height) continue;
      int x0 = r.left, x1 = r.right;
      if (one_to_one) {
        // Keep only destination columns whose source column exists.
        int first = sx + (x0 - dev.left), last = sx + (x1 - dev.left);
        if (first < 0) x0 += -first, first = 0;
        if (last > src->width) x1 -= last - src->width;
        if (x1 <= x0) continue;
        int n = x1 - x0;
        src->read_span(first, srow, n, src_row.data());
        if (rop_needs_dest(rop)) {
          dst->surface->read_span(x0, y, n, out.data());
          combine(rop, out.data(), src_row.data(), n);
          dst->surface->write_span(x0, y, n, out.data());
        } else {
          dst->surface->write_span(x0, y, n, src_row.data());
        }
        continue;
      }
      // Stretch: read the used part of the source row once, then sample it.
      int lo = std::max(0, sx), hi = std::min(src->width, sx + sw);
      if (hi <= lo) continue;
      src->read_span(lo, srow, hi - lo, src_row.data());
      int run_start = -1;
      for (int x = x0; x <= x1; ++x) {
        bool inside = false;
        if (x < x1) {
          int col = columns[static_cast<size_t>(x - dev.left)];
          inside = col >= lo && col < hi;
          if (inside) out[static_cast<size_t>(x - x0)] = src_row[static_cast<size_t>(col - lo)];
        }
        if (inside && run_start < 0) run_start = x;
        if (!inside && run_start >= 0) {
          int n = x - run_start;
          uint32_t* seg = out.data() + (run_start - x0);
          if (rop_needs_dest(rop)) {
            std::vector<uint32_t> d(static_cast<size_t>(n));
            dst->surface->read_span(run_start, y, n, d.data());
            combine(rop, d.data(), seg, n);
            dst->surface->write_span(run_start, y, n, d.data());
          } else {
            dst->surface->write_span(run_start, y, n, seg);
          }
          run_start = -1;
        }
      }
    }
  }
  if (dst->screen) mark_screen_dirty();
}

}  // namespace

BOOL StretchBlt(HDC hdst, int x, int y, int w, int h, HDC hsrc, int sx, int sy, int sw, int sh, DWORD rop) {
  DeviceContext* dst = dc_cast(hdst);
  DeviceContext* src = dc_cast(hsrc);
  if (!dst) return FALSE;
  if (w < 0 || h < 0 || sw < 0 || sh < 0) return FALSE;
  if (rop == PATCOPY || rop == BLACKNESS || rop == WHITENESS || rop == DSTINVERT) return PatBlt(hdst, x, y, w, h, rop);
  if (!src || !rop_supported(rop) || !src->surface) return FALSE;
  POINT so = src->to_device(sx, sy);
  blit_surface(dst, dst->to_device(RECT{x, y, x + w, y + h}), *src->surface, so.x, so.y, sw, sh, rop);
  return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  return StretchBlt(dst, x, y, w, h, src, sx, sy, w, h, rop);
}

int StretchDIBits(HDC hdst, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
  DeviceContext* dst = dc_cast(hdst);
  if (!dst || !bits || usage != DIB_RGB_COLORS || !rop_supported(rop)) return 0;
  if (w < 0 || h < 0 || sw < 0 || sh < 0) return 0;
  Surface s;
  if (!describe_dib(info, static_cast<uint8_t*>(const_cast<void*>(bits)), &s)) return 0;
  // For bottom-up pictures the source origin is the lower-left corner, as in the BMP format.
  int top = info->bmiHeader.biHeight > 0 ? s.height - (sy + sh) : sy;
  blit_surface(dst, dst->to_device(RECT{x, y, x + w, y + h}), s, sx, top, sw, sh, rop);
  return h;
}

int SetStretchBltMode(HDC hdc, int) { return dc_cast(hdc) ? COLORONCOLOR : 0; }

}  // namespace lumora::plat
