#include "platform/base/geometry.h"

#include <algorithm>

namespace lumora::plat {

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
  if (!r) return FALSE;
  *r = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL SetRectEmpty(RECT* r) { return SetRect(r, 0, 0, 0, 0); }

BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    *out = RECT{};
    return FALSE;
  }
  *out = r;
  return TRUE;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  if (IsRectEmpty(a)) {
    *out = IsRectEmpty(b) ? RECT{} : *b;
  } else if (IsRectEmpty(b)) {
    *out = *a;
  } else {
    *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
  }
  return !IsRectEmpty(out);
}

BOOL OffsetRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
  return TRUE;
}

BOOL InflateRect(RECT* r, int dx, int dy) {
  if (!r) return FALSE;
  r->left -= dx;
  r->right += dx;
  r->top -= dy;
  r->bottom += dy;
  return TRUE;
}

BOOL PtInRect(const RECT* r, POINT p) {
  return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}

BOOL EqualRect(const RECT* a, const RECT* b) { return a && b && *a == *b; }

RECT Region::bounds() const {
  RECT out{};
  for (const RECT& r : rects_) UnionRect(&out, &out, &r);
  return out;
}

// Pieces of a that lie outside b (up to four: above, below, left, right).
static void subtract_into(const RECT& a, const RECT& b, std::vector<RECT>& out) {
  RECT cut;
  if (!IntersectRect(&cut, &a, &b)) {
    out.push_back(a);
    return;
  }
  if (a.top < cut.top) out.push_back(RECT{a.left, a.top, a.right, cut.top});
  if (cut.bottom < a.bottom) out.push_back(RECT{a.left, cut.bottom, a.right, a.bottom});
  if (a.left < cut.left) out.push_back(RECT{a.left, cut.top, cut.left, cut.bottom});
  if (cut.right < a.right) out.push_back(RECT{cut.right, cut.top, a.right, cut.bottom});
}

void Region::add(const RECT& r) {
  if (IsRectEmpty(&r)) return;
  // Keep the rectangles disjoint: add only the parts of r not yet covered.
  std::vector<RECT> pieces{r};
  for (const RECT& have : rects_) {
    std::vector<RECT> next;
    for (const RECT& p : pieces) subtract_into(p, have, next);
    pieces.swap(next);
    if (pieces.empty()) return;
  }
  rects_.insert(rects_.end(), pieces.begin(), pieces.end());
}

void Region::add(const Region& other) {
  for (const RECT& r : other.rects_) add(r);
}

void Region::subtract(const RECT& r) {
  if (IsRectEmpty(&r)) return;
  std::vector<RECT> next;
  next.reserve(rects_.size() + 4);
  for (const RECT& have : rects_) subtract_into(have, r, next);
  rects_.swap(next);
}

void Region::intersect(const RECT& r) {
  std::vector<RECT> next;
  for (const RECT& have : rects_) {
    RECT cut;
    if (IntersectRect(&cut, &have, &r)) next.push_back(cut);
  }
  rects_.swap(next);
}

void Region::intersect(const Region& other) {
  std::vector<RECT> next;
  for (const RECT& a : rects_) {
    for (const RECT& b : other.rects_) {
      RECT cut;
      if (IntersectRect(&cut, &a, &b)) next.push_back(cut);
    }
  }
  rects_.swap(next);
}

void Region::offset(int dx, int dy) {
  for (RECT& r : rects_) OffsetRect(&r, dx, dy);
}

bool Region::contains(int x, int y) const {
  for (const RECT& r : rects_)
    if (PtInRect(&r, POINT{x, y})) return true;
  return false;
}

bool Region::intersects(const RECT& r) const {
  RECT cut;
  for (const RECT& have : rects_)
    if (IntersectRect(&cut, &have, &r)) return true;
  return false;
}

long long Region::area() const {
  long long sum = 0;
  for (const RECT& r : rects_) sum += static_cast<long long>(RectWidth(r)) * RectHeight(r);
  return sum;
}

}  // namespace lumora::plat
