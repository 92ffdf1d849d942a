// Drawing objects: brushes, pens, fonts, bitmaps, palettes, stock objects and system colours.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/gdi/gdi_internal.h"

namespace lumora::plat {

BitmapObject::~BitmapObject() { std::free(storage); }

FontInstance* FontObject::get() {
  // Stock fonts are shared by every thread; resolve each font once.
  static std::mutex m;
  std::lock_guard lock(m);
  if (!resolved) {
    resolved = true;
    std::string file = font_file_for(lf.lfFaceName, lf.lfWeight, lf.lfItalic != 0);
    int px = FontInstance::pixel_size_for(file, lf.lfHeight, screen_dpi());
    instance = FontInstance::get(file, px);
  }
  return instance.get();
}

HBRUSH CreateSolidBrush(COLORREF c) { return new (std::nothrow) BrushObject(c & 0xFFFFFF, false); }

HPEN CreatePen(int style, int width, COLORREF c) {
  if (style != PS_SOLID && style != PS_DASH && style != PS_DOT && style != PS_NULL) return nullptr;
  return new (std::nothrow) PenObject(style, width, c & 0xFFFFFF);
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
  if (!lf) return nullptr;
  return new (std::nothrow) FontObject(*lf);
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeout, DWORD charset, DWORD out_precision,
                 DWORD clip_precision, DWORD quality, DWORD pitch_and_family, std::string_view face) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight == 0 ? FW_NORMAL : weight;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfUnderline = underline ? 1 : 0;
  lf.lfStrikeOut = strikeout ? 1 : 0;
  lf.lfCharSet = static_cast<BYTE>(charset);
  lf.lfOutPrecision = static_cast<BYTE>(out_precision);
  lf.lfClipPrecision = static_cast<BYTE>(clip_precision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
  lf.lfFaceName = std::string(face);
  return CreateFontIndirect(&lf);
}

HPALETTE CreatePalette(const LOGPALETTE* lp) {
  if (!lp || lp->palNumEntries == 0 || lp->palNumEntries > 256) return nullptr;
  auto* pal = new (std::nothrow) PaletteObject();
  if (!pal) return nullptr;
  pal->entries.assign(lp->palPalEntry, lp->palPalEntry + lp->palNumEntries);
  return pal;
}

UINT GetPaletteEntries(HPALETTE h, UINT start, UINT count, PALETTEENTRY* out) {
  auto* pal = gdi_cast<PaletteObject>(h, GdiType::Palette);
  if (!pal) return 0;
  if (!out) return static_cast<UINT>(pal->entries.size());
  UINT n = 0;
  for (; n < count && start + n < pal->entries.size(); ++n) out[n] = pal->entries[start + n];
  return n;
}

// A bitmap with its own zeroed pixel memory; null when the size is unusable or memory runs out.
static BitmapObject* new_bitmap(int w, int h, int bpp, bool bottom_up, bool dib) {
  if (w <= 0 || h <= 0 || w > 32767 || h > 32767) return nullptr;
  size_t stride = Surface::stride_for(w, bpp);
  auto* bm = new (std::nothrow) BitmapObject();
  if (!bm) return nullptr;
  bm->storage = static_cast<uint8_t*>(std::calloc(stride, static_cast<size_t>(h)));
  if (!bm->storage) {
    delete bm;
    return nullptr;
  }
  bm->stride = stride;
  bm->dib = dib;
  bm->surface.attach(bm->storage, w, h, bpp, stride, bottom_up);
  return bm;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  // Device bitmaps use the screen's own 32-bit layout, so blits to the screen are plain copies.
  return new_bitmap(width, height, 32, false, false);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
  if (planes != 1 || (bpp != 1 && bpp != 32)) return nullptr;
  BitmapObject* bm = new_bitmap(width, height, static_cast<int>(bpp), false, false);
  if (!bm) return nullptr;
  if (bpp == 1) {
    bm->surface.colours[0] = 0x000000;
    bm->surface.colours[1] = 0xFFFFFF;
    bm->surface.colour_count = 2;
  }
  if (bits) {
    // Device bitmap rows are word aligned.
    size_t src_stride = ((static_cast<size_t>(width) * bpp + 15) / 16) * 2;
    for (int y = 0; y < height; ++y)
      std::memcpy(bm->surface.row(y), static_cast<const uint8_t*>(bits) + src_stride * y,
                  std::min(src_stride, bm->stride));
  }
  return bm;
}

bool describe_dib(const BITMAPINFO* info, uint8_t* bits, Surface* out) {
  if (!info) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int bpp = h.biBitCount;
  if (h.biSize < 40 || h.biPlanes != 1) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32)))
    return false;
  if (h.biWidth <= 0 || h.biWidth > 32767 || h.biHeight == 0 || h.biHeight < -32767 || h.biHeight > 32767)
    return false;
  int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  Surface& s = *out;
  s.attach(bits, h.biWidth, height, bpp, Surface::stride_for(h.biWidth, bpp), h.biHeight > 0);
  if (h.biCompression == BI_BITFIELDS) {
    DWORD m[3];
    std::memcpy(m, info->bmiColors, sizeof m);
    if (m[0] == 0 || m[1] == 0 || m[2] == 0 || (m[0] & m[1]) || (m[1] & m[2]) || (m[0] & m[2])) return false;
    s.set_masks(m[0], m[1], m[2]);
  }
  if (bpp <= 8) {
    int max = 1 << bpp;
    int count = h.biClrUsed == 0 || h.biClrUsed > static_cast<DWORD>(max) ? max : static_cast<int>(h.biClrUsed);
    for (int i = 0; i < count; ++i) {
      const RGBQUAD& q = info->bmiColors[i];
      s.colours[i] = (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
    }
    s.colour_count = count;
    s.colours_changed();
  }
  return true;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  Surface probe;
  if (usage != DIB_RGB_COLORS || section || !describe_dib(info, nullptr, &probe)) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  BitmapObject* bm = new_bitmap(probe.width, probe.height, probe.bpp, h.biHeight > 0, true);
  if (!bm) return nullptr;
  describe_dib(info, bm->storage, &bm->surface);
  if (bits) *bits = bm->storage;
  return bm;
}

BOOL DeleteObject(HGDIOBJ obj) {
  if (!obj || obj->magic != GdiObject::kMagic) return FALSE;
  if (obj->stock) return TRUE;
  // Like the classic system, an object still selected into a context is not deleted.
  if (obj->selected > 0) return FALSE;
  delete obj;
  return TRUE;
}

namespace {

const COLORREF kSysColours[COLOR_COUNT] = {
    RGB(200, 200, 200),  // scroll bar
    RGB(0, 0, 0),        // background
    RGB(0, 0, 0),        // 2
    RGB(0, 0, 0),        // 3
    RGB(255, 255, 255),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(0, 0, 0),        // 9
    RGB(0, 0, 0),        // 10
    RGB(0, 0, 0),        // 11
    RGB(0, 0, 0),        // 12
    RGB(40, 96, 184),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(224, 224, 224),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(0, 0, 0),        // 19
    RGB(255, 255, 255),  // button highlight
    RGB(64, 64, 64),     // 3D dark shadow
    RGB(240, 240, 240),  // 3D light
    RGB(0, 0, 0),        // 23
    RGB(0, 0, 0),        // 24
    RGB(255, 255, 255),  // static
    RGB(0, 0, 0),        // static text
};

struct StockObjects {
  BrushObject white{RGB(255, 255, 255), false}, ltgray{RGB(192, 192, 192), false},
      gray{RGB(128, 128, 128), false}, dkgray{RGB(64, 64, 64), false}, black{RGB(0, 0, 0), false},
      hollow{0, true};
  PenObject white_pen{PS_SOLID, 1, RGB(255, 255, 255)}, black_pen{PS_SOLID, 1, RGB(0, 0, 0)},
      null_pen{PS_NULL, 1, 0};
  FontObject system_font{make_font(FW_BOLD)}, gui_font{make_font(FW_NORMAL)};
  PaletteObject palette;
  std::vector<BrushObject> sys_brushes;

  static LOGFONT make_font(int weight) {
    LOGFONT lf;
    lf.lfHeight = 0;
    lf.lfWeight = weight;
    lf.lfFaceName = "DejaVu Sans";
    return lf;
  }

  StockObjects() {
    for (GdiObject* o : std::initializer_list<GdiObject*>{&white, &ltgray, &gray, &dkgray, &black, &hollow,
                                                          &white_pen, &black_pen, &null_pen, &system_font,
                                                          &gui_font, &palette})
      o->stock = true;
    palette.entries = {PALETTEENTRY{0, 0, 0, 0}, PALETTEENTRY{255, 255, 255, 0}};
    sys_brushes.reserve(COLOR_COUNT);
    for (int i = 0; i < COLOR_COUNT; ++i) {
      sys_brushes.emplace_back(kSysColours[i], false);
      sys_brushes.back().stock = true;
    }
  }
};

StockObjects& stock() {
  static StockObjects s;
  return s;
}

}  // namespace

HGDIOBJ GetStockObject(int index) {
  StockObjects& s = stock();
  switch (index) {
    case WHITE_BRUSH: return &s.white;
    case LTGRAY_BRUSH: return &s.ltgray;
    case GRAY_BRUSH: return &s.gray;
    case DKGRAY_BRUSH: return &s.dkgray;
    case BLACK_BRUSH: return &s.black;
    case NULL_BRUSH: return &s.hollow;
    case WHITE_PEN: return &s.white_pen;
    case BLACK_PEN: return &s.black_pen;
    case NULL_PEN: return &s.null_pen;
    case SYSTEM_FONT: return &s.system_font;
    case DEFAULT_GUI_FONT: return &s.gui_font;
    case DEFAULT_PALETTE: return &s.palette;
    default: return nullptr;
  }
}

HGDIOBJ stock_bitmap() {
  static BitmapObject* bm = [] {
    BitmapObject* b = new_bitmap(1, 1, 1, false, false);
    if (b) {
      b->stock = true;
      b->surface.colours[1] = 0xFFFFFF;
      b->surface.colour_count = 2;
    }
    return b;
  }();
  return bm;
}

DWORD GetSysColor(int index) {
  if (index < 0 || index >= COLOR_COUNT) return 0;
  return kSysColours[index];
}

HBRUSH GetSysColorBrush(int index) {
  if (index < 0 || index >= COLOR_COUNT) return nullptr;
  return &stock().sys_brushes[static_cast<size_t>(index)];
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  if (auto* bm = gdi_cast<BitmapObject>(obj, GdiType::Bitmap)) {
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP b;
    b.bmWidth = bm->surface.width;
    b.bmHeight = bm->surface.height;
    b.bmWidthBytes = static_cast<LONG>(bm->stride);
    b.bmBitsPixel = static_cast<WORD>(bm->surface.bpp);
    b.bmBits = bm->dib ? bm->storage : nullptr;
    *static_cast<BITMAP*>(out) = b;
    return sizeof(BITMAP);
  }
  if (auto* f = gdi_cast<FontObject>(obj, GdiType::Font)) {
    if (!out) return sizeof(LOGFONT);
    if (size < static_cast<int>(sizeof(LOGFONT))) return 0;
    *static_cast<LOGFONT*>(out) = f->lf;
    return sizeof(LOGFONT);
  }
  return 0;
}

}  // namespace lumora::plat
