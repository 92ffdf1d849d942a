#pragma once
// The objects behind the drawing handles. Shared by the gdi/ sources and the window system's
// paint cycle; not part of the application's interface.
#include <memory>
#include <optional>
#include <vector>

#include "platform/gdi/font_engine.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/surface.h"

namespace lumora::plat {

enum class GdiType { Brush, Pen, Font, Bitmap, Palette };

struct GdiObject {
  static constexpr uint32_t kMagic = 0x47444930;  // guards against stale or foreign handles
  explicit GdiObject(GdiType t) : type(t) {}
  virtual ~GdiObject() { magic = 0; }
  uint32_t magic = kMagic;
  GdiType type;
  bool stock = false;
  int selected = 0;  // device contexts holding it (a selected bitmap cannot be deleted)
};

struct BrushObject : GdiObject {
  BrushObject(COLORREF c, bool hollow) : GdiObject(GdiType::Brush), colour(c), null(hollow) {}
  COLORREF colour;
  bool null;
};

struct PenObject : GdiObject {
  PenObject(int s, int w, COLORREF c) : GdiObject(GdiType::Pen), style(s), width(w < 1 ? 1 : w), colour(c) {}
  int style;
  int width;
  COLORREF colour;
};

struct FontObject : GdiObject {
  explicit FontObject(const LOGFONT& l) : GdiObject(GdiType::Font), lf(l) {}
  LOGFONT lf;
  std::shared_ptr<FontInstance> instance;  // resolved on first use
  bool resolved = false;
  FontInstance* get();
};

struct BitmapObject : GdiObject {
  BitmapObject() : GdiObject(GdiType::Bitmap) {}
  ~BitmapObject() override;
  Surface surface;
  uint8_t* storage = nullptr;  // malloc'd pixel memory
  size_t stride = 0;
  bool dib = false;
};

struct PaletteObject : GdiObject {
  PaletteObject() : GdiObject(GdiType::Palette) {}
  std::vector<PALETTEENTRY> entries;
};

template <class T>
T* gdi_cast(HGDIOBJ h, GdiType type) {
  if (!h || h->magic != GdiObject::kMagic || h->type != type) return nullptr;
  return static_cast<T*>(h);
}

struct DcState {
  HGDIOBJ brush, pen, font, palette;
  COLORREF text_colour, bk_colour;
  int bk_mode;
  UINT text_align;
  POINT viewport, current;
  std::optional<Region> user_clip;
};

struct DeviceContext {
  static constexpr uint32_t kMagic = 0x44435830;
  uint32_t magic = kMagic;
  bool screen = false;       // draws into the framebuffer
  HWND hwnd = nullptr;       // window of a screen context
  Surface* surface = nullptr;
  HGDIOBJ bitmap = nullptr;  // bitmap selected into a memory context
  POINT origin{};            // device position of the window's client origin
  Region base_clip;          // device pixels the context may touch
  DcState st{};
  std::vector<DcState> saved;

  POINT to_device(int x, int y) const {
    return POINT{x + origin.x + st.viewport.x, y + origin.y + st.viewport.y};
  }
  RECT to_device(const RECT& r) const {
    POINT o = to_device(0, 0);
    return RECT{r.left + o.x, r.top + o.y, r.right + o.x, r.bottom + o.y};
  }
  // Effective clip in device pixels.
  Region clip() const;
};

DeviceContext* dc_cast(HDC hdc);
// A screen context for a window (used by GetDC and BeginPaint): clipped to the given region
// in screen pixels, drawing at the given client origin.
HDC make_screen_dc(HWND hwnd, POINT client_origin, const Region& visible);
void free_screen_dc(HDC hdc);

// Describes caller-owned DIB pixels (bits may be null to validate only); false for an unusable header.
bool describe_dib(const BITMAPINFO* info, uint8_t* bits, Surface* out);
// The one-pixel monochrome bitmap every memory context starts with.
HGDIOBJ stock_bitmap();
// Fills a device rectangle clipped to the context.
void fill_device_rect(DeviceContext* dc, const RECT& dev, uint32_t rgb);
// Default drawing objects of a new context.
void reset_dc_state(DeviceContext* dc);

// The screen surface of the running system, or null before start-up.
Surface* screen_surface();
int screen_dpi();
int screen_depth();
void mark_screen_dirty();
void record_text(const DrawnText& t);

}  // namespace lumora::plat
