#pragma once
// Rectangle helpers and Region, a set of disjoint rectangles used for update regions and clipping.
#include <vector>

#include "platform/base/types.h"

namespace lumora::plat {

BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
BOOL IsRectEmpty(const RECT* r);
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL InflateRect(RECT* r, int dx, int dy);
BOOL PtInRect(const RECT* r, POINT p);
BOOL EqualRect(const RECT* a, const RECT* b);

inline LONG RectWidth(const RECT& r) { return r.right - r.left; }
inline LONG RectHeight(const RECT& r) { return r.bottom - r.top; }

// A region as disjoint, non-empty rectangles. Small: the regions of a phone screen are a handful
// of rectangles, so plain lists beat a banded representation.
class Region {
 public:
  Region() = default;
  explicit Region(const RECT& r) { add(r); }

  bool empty() const { return rects_.empty(); }
  const std::vector<RECT>& rects() const { return rects_; }
  RECT bounds() const;

  void clear() { rects_.clear(); }
  void add(const RECT& r);
  void add(const Region& other);
  void subtract(const RECT& r);
  void intersect(const RECT& r);
  void intersect(const Region& other);
  void offset(int dx, int dy);
  bool contains(int x, int y) const;
  bool intersects(const RECT& r) const;
  // Total covered area in pixels.
  long long area() const;

 private:
  std::vector<RECT> rects_;
};

}  // namespace lumora::plat
