// Device contexts: creation, state, object selection and clipping.
#include <new>

#include "platform/gdi/gdi_internal.h"

namespace lumora::plat {

DeviceContext* dc_cast(HDC hdc) {
  return hdc && hdc->magic == DeviceContext::kMagic ? hdc : nullptr;
}

Region DeviceContext::clip() const {
  Region r = base_clip;
  if (st.user_clip) r.intersect(*st.user_clip);
  return r;
}

static void hold(HGDIOBJ o) {
  if (o) ++o->selected;
}
static void release(HGDIOBJ o) {
  if (o && o->selected > 0) --o->selected;
}

void reset_dc_state(DeviceContext* dc) {
  dc->st.brush = GetStockObject(WHITE_BRUSH);
  dc->st.pen = GetStockObject(BLACK_PEN);
  dc->st.font = GetStockObject(DEFAULT_GUI_FONT);
  dc->st.palette = GetStockObject(DEFAULT_PALETTE);
  dc->st.text_colour = RGB(0, 0, 0);
  dc->st.bk_colour = RGB(255, 255, 255);
  dc->st.bk_mode = OPAQUE;
  dc->st.text_align = TA_LEFT | TA_TOP;
  dc->st.viewport = POINT{};
  dc->st.current = POINT{};
  dc->st.user_clip.reset();
}

static void release_state(DcState& st) {
  release(st.brush);
  release(st.pen);
  release(st.font);
}

static void hold_state(DcState& st) {
  hold(st.brush);
  hold(st.pen);
  hold(st.font);
}

HDC make_screen_dc(HWND hwnd, POINT client_origin, const Region& visible) {
  auto* dc = new (std::nothrow) DeviceContext();
  if (!dc) return nullptr;
  dc->screen = true;
  dc->hwnd = hwnd;
  dc->surface = screen_surface();
  dc->origin = client_origin;
  dc->base_clip = visible;
  if (dc->surface) dc->base_clip.intersect(RECT{0, 0, dc->surface->width, dc->surface->height});
  reset_dc_state(dc);
  hold_state(dc->st);
  return dc;
}

void free_screen_dc(HDC hdc) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return;
  release_state(dc->st);
  for (DcState& s : dc->saved) release_state(s);
  dc->magic = 0;
  delete dc;
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new (std::nothrow) DeviceContext();
  if (!dc) return nullptr;
  reset_dc_state(dc);
  // A memory context starts with the stock one-pixel monochrome bitmap.
  dc->bitmap = stock_bitmap();
  auto* bm = static_cast<BitmapObject*>(dc->bitmap);
  dc->surface = &bm->surface;
  dc->base_clip = Region(RECT{0, 0, 1, 1});
  hold_state(dc->st);
  return dc;
}

BOOL DeleteDC(HDC hdc) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || dc->screen) return FALSE;
  release(dc->bitmap);
  free_screen_dc(dc);
  return TRUE;
}

int SaveDC(HDC hdc) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->st);
  hold_state(dc->saved.back());
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int level) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  int n = static_cast<int>(dc->saved.size());
  if (level < 0) level = n + 1 + level;
  if (level < 1 || level > n) return FALSE;
  release_state(dc->st);
  dc->st = dc->saved[static_cast<size_t>(level - 1)];
  // The restored state's references move back to the live state; later saves are dropped.
  for (int i = level; i < n; ++i) release_state(dc->saved[static_cast<size_t>(i)]);
  dc->saved.resize(static_cast<size_t>(level - 1));
  return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !obj || obj->magic != GdiObject::kMagic) return nullptr;
  HGDIOBJ* slot = nullptr;
  switch (obj->type) {
    case GdiType::Brush: slot = &dc->st.brush; break;
    case GdiType::Pen: slot = &dc->st.pen; break;
    case GdiType::Font: slot = &dc->st.font; break;
    case GdiType::Palette: slot = &dc->st.palette; break;
    case GdiType::Bitmap: {
      if (dc->screen) return nullptr;
      auto* bm = static_cast<BitmapObject*>(obj);
      // A bitmap can be selected into one memory context at a time.
      if (bm->selected > 0 && dc->bitmap != obj && !bm->stock) return nullptr;
      HGDIOBJ old = dc->bitmap;
      release(old);
      dc->bitmap = obj;
      hold(obj);
      dc->surface = &bm->surface;
      dc->base_clip = Region(RECT{0, 0, bm->surface.width, bm->surface.height});
      return old;
    }
  }
  HGDIOBJ old = *slot;
  release(old);
  *slot = obj;
  hold(obj);
  return old;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->st.pen;
    case OBJ_BRUSH: return dc->st.brush;
    case OBJ_FONT: return dc->st.font;
    case OBJ_PAL: return dc->st.palette;
    case OBJ_BITMAP: return dc->bitmap;
    default: return nullptr;
  }
}

int GetDeviceCaps(HDC hdc, int index) {
  DeviceContext* dc = dc_cast(hdc);
  Surface* screen = screen_surface();
  bool mem = dc && !dc->screen;
  int w = mem ? (dc->surface ? dc->surface->width : 1) : (screen ? screen->width : 0);
  int h = mem ? (dc->surface ? dc->surface->height : 1) : (screen ? screen->height : 0);
  switch (index) {
    case HORZRES: return w;
    case VERTRES: return h;
    case BITSPIXEL: return mem && dc->surface ? dc->surface->bpp : screen_depth();
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case RASTERCAPS: return RC_STRETCHBLT;
    case LOGPIXELSX:
    case LOGPIXELSY: return screen_dpi();
    case SIZEPALETTE: return 0;
    default: return 0;
  }
}

COLORREF SetTextColor(HDC hdc, COLORREF c) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->st.text_colour;
  dc->st.text_colour = c & 0xFFFFFF;
  return old;
}
COLORREF GetTextColor(HDC hdc) {
  DeviceContext* dc = dc_cast(hdc);
  return dc ? dc->st.text_colour : CLR_INVALID;
}
COLORREF SetBkColor(HDC hdc, COLORREF c) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->st.bk_colour;
  dc->st.bk_colour = c & 0xFFFFFF;
  return old;
}
COLORREF GetBkColor(HDC hdc) {
  DeviceContext* dc = dc_cast(hdc);
  return dc ? dc->st.bk_colour : CLR_INVALID;
}
int SetBkMode(HDC hdc, int mode) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->st.bk_mode;
  dc->st.bk_mode = mode;
  return old;
}
int GetBkMode(HDC hdc) {
  DeviceContext* dc = dc_cast(hdc);
  return dc ? dc->st.bk_mode : 0;
}
UINT SetTextAlign(HDC hdc, UINT align) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return 0xFFFFFFFF;
  UINT old = dc->st.text_align;
  dc->st.text_align = align;
  return old;
}
UINT GetTextAlign(HDC hdc) {
  DeviceContext* dc = dc_cast(hdc);
  return dc ? dc->st.text_align : 0xFFFFFFFF;
}
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  if (old) *old = dc->st.viewport;
  dc->st.viewport = POINT{x, y};
  return TRUE;
}
BOOL GetViewportOrgEx(HDC hdc, POINT* out) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !out) return FALSE;
  *out = dc->st.viewport;
  return TRUE;
}

static int region_kind(const Region& r) {
  if (r.empty()) return NULLREGION;
  return r.rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return ERROR;
  RECT dev = dc->to_device(RECT{left, top, right, bottom});
  if (!dc->st.user_clip) dc->st.user_clip = dc->base_clip;
  dc->st.user_clip->intersect(dev);
  return region_kind(dc->clip());
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return ERROR;
  RECT dev = dc->to_device(RECT{left, top, right, bottom});
  if (!dc->st.user_clip) dc->st.user_clip = dc->base_clip;
  dc->st.user_clip->subtract(dev);
  return region_kind(dc->clip());
}

int GetClipBox(HDC hdc, RECT* out) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !out) return ERROR;
  Region r = dc->clip();
  RECT b = r.bounds();
  POINT o = dc->to_device(0, 0);
  OffsetRect(&b, -o.x, -o.y);
  *out = r.empty() ? RECT{} : b;
  return region_kind(r);
}

BOOL PtVisible(HDC hdc, int x, int y) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc) return FALSE;
  POINT p = dc->to_device(x, y);
  return dc->clip().contains(p.x, p.y);
}

BOOL RectVisible(HDC hdc, const RECT* r) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !r) return FALSE;
  return dc->clip().intersects(dc->to_device(*r));
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colours) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !colours || !dc->bitmap || !dc->surface || dc->surface->bpp > 8) return 0;
  Surface& s = *dc->surface;
  UINT max = 1u << s.bpp;
  UINT n = 0;
  for (; n < count && start + n < max; ++n) {
    const RGBQUAD& q = colours[n];
    s.colours[start + n] = (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
  }
  if (start + n > static_cast<UINT>(s.colour_count)) s.colour_count = static_cast<int>(start + n);
  s.colours_changed();
  return n;
}

UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colours) {
  DeviceContext* dc = dc_cast(hdc);
  if (!dc || !colours || !dc->surface || dc->surface->bpp > 8) return 0;
  const Surface& s = *dc->surface;
  UINT n = 0;
  for (; n < count && start + n < static_cast<UINT>(s.colour_count); ++n) {
    uint32_t c = s.colours[start + n];
    colours[n] = RGBQUAD{static_cast<BYTE>(c & 0xFF), static_cast<BYTE>((c >> 8) & 0xFF),
                         static_cast<BYTE>((c >> 16) & 0xFF), 0};
  }
  return n;
}

HPALETTE SelectPalette(HDC hdc, HPALETTE pal, BOOL) {
  if (!gdi_cast<PaletteObject>(pal, GdiType::Palette)) return nullptr;
  return SelectObject(hdc, pal);
}

UINT RealizePalette(HDC hdc) { return dc_cast(hdc) ? 0 : 0xFFFFFFFF; }

UINT GetSystemPaletteEntries(HDC, UINT start, UINT count, PALETTEENTRY* out) {
  // A true-colour screen has no hardware palette; report the 3-3-2 colour cube a palette screen
  // would hold, so callers that read it get sensible colours.
  if (!out) return 256;
  UINT n = 0;
  for (; n < count && start + n < 256; ++n) {
    UINT i = start + n;
    out[n] = PALETTEENTRY{static_cast<BYTE>((i >> 5) * 255 / 7), static_cast<BYTE>(((i >> 2) & 7) * 255 / 7),
                          static_cast<BYTE>((i & 3) * 255 / 3), 0};
  }
  return n;
}

}  // namespace lumora::plat
