#include "imagelib/ops/median_cut.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace lumora {
namespace {

// Histogram cells: 32 red × 64 green × 32 blue, one 16-bit count each (128 KB). Red selects a
// plane of 4096 bytes, green a line of 32 cells, blue the cell.
constexpr int kRedCells = 32, kGreenCells = 64, kBlueCells = 32;
constexpr int kCells = kRedCells * kGreenCells * kBlueCells;

inline int cell_index(int r, int g, int b) { return (r * kGreenCells + g) * kBlueCells + b; }
inline int cell_of(const uint8_t* rgb) { return cell_index(rgb[0] >> 3, rgb[1] >> 2, rgb[2] >> 3); }

// Weights of the three axes in box sizes and colour distances: a red cell spans 8 values and
// weighs 2, a green cell 4 values and weighs 3, a blue cell 8 values and weighs 1.
constexpr int kRedLength = 16, kGreenLength = 12, kBlueLength = 8;
constexpr int kRedScale = 2, kGreenScale = 3, kBlueScale = 1;

struct Box {
  int r0, r1, g0, g1, b0, b1;  // inclusive bounds in cells
  int64_t volume;
  int64_t count;  // non-empty cells inside
};

class Histogram {
 public:
  bool allocate() {
    cells_.reset(new (std::nothrow) uint16_t[kCells]());
    return cells_ != nullptr;
  }
  uint16_t& at(int r, int g, int b) { return cells_[cell_index(r, g, b)]; }
  uint16_t& at(int index) { return cells_[index]; }
  void clear() { std::memset(cells_.get(), 0, sizeof(uint16_t) * kCells); }

 private:
  std::unique_ptr<uint16_t[]> cells_;
};

// Moves every bound of the box inward past empty cells, then measures its volume and count.
void shrink_box(Histogram& h, Box& box) {
  auto plane_used = [&](int axis, int v) {
    for (int r = axis == 0 ? v : box.r0; r <= (axis == 0 ? v : box.r1); ++r)
      for (int g = axis == 1 ? v : box.g0; g <= (axis == 1 ? v : box.g1); ++g)
        for (int b = axis == 2 ? v : box.b0; b <= (axis == 2 ? v : box.b1); ++b)
          if (h.at(r, g, b)) return true;
    return false;
  };
  auto shrink_axis = [&](int axis, int& lo, int& hi) {
    int v = lo;
    while (v <= hi && !plane_used(axis, v)) ++v;
    if (v > hi) return;  // no pixel in the box at all: keep its bounds
    lo = v;
    v = hi;
    while (v > lo && !plane_used(axis, v)) --v;
    hi = v;
  };
  shrink_axis(0, box.r0, box.r1);
  shrink_axis(1, box.g0, box.g1);
  shrink_axis(2, box.b0, box.b1);

  const int64_t dr = int64_t{box.r1 - box.r0} * kRedLength;
  const int64_t dg = int64_t{box.g1 - box.g0} * kGreenLength;
  const int64_t db = int64_t{box.b1 - box.b0} * kBlueLength;
  box.volume = dr * dr + dg * dg + db * db;
  int64_t count = 0;
  for (int r = box.r0; r <= box.r1; ++r)
    for (int g = box.g0; g <= box.g1; ++g)
      for (int b = box.b0; b <= box.b1; ++b)
        if (h.at(r, g, b)) ++count;
  box.count = count;
}

Box* pick_by_count(std::vector<Box>& boxes) {
  Box* best = nullptr;
  int64_t most = 0;
  for (Box& b : boxes)
    if (b.count > most && b.volume > 0) most = b.count, best = &b;
  return best;
}

Box* pick_by_volume(std::vector<Box>& boxes) {
  Box* best = nullptr;
  int64_t most = 0;
  for (Box& b : boxes)
    if (b.volume > most) most = b.volume, best = &b;
  return best;
}

void cut_boxes(Histogram& h, std::vector<Box>& boxes, int max_colors) {
  boxes.push_back(Box{0, kRedCells - 1, 0, kGreenCells - 1, 0, kBlueCells - 1, 0, 0});
  shrink_box(h, boxes.back());
  while (static_cast<int>(boxes.size()) < max_colors) {
    // While few boxes exist, split the most populous ones; later the largest, so that colours
    // also spread into sparse regions.
    Box* chosen = 2 * static_cast<int>(boxes.size()) <= max_colors ? pick_by_count(boxes)
                                                                    : pick_by_volume(boxes);
    if (!chosen) break;
    Box& a = *chosen;
    Box b = a;
    const int lr = (a.r1 - a.r0) * kRedLength;
    const int lg = (a.g1 - a.g0) * kGreenLength;
    const int lb = (a.b1 - a.b0) * kBlueLength;
    // Green is preferred; red wins only when strictly longer, blue only when longest of all.
    int axis = 1, longest = lg;
    if (lr > longest) axis = 0, longest = lr;
    if (lb > longest) axis = 2;
    switch (axis) {
      case 0: a.r1 = (a.r0 + a.r1) / 2; b.r0 = a.r1 + 1; break;
      case 1: a.g1 = (a.g0 + a.g1) / 2; b.g0 = a.g1 + 1; break;
      default: a.b1 = (a.b0 + a.b1) / 2; b.b0 = a.b1 + 1; break;
    }
    shrink_box(h, a);
    shrink_box(h, b);
    boxes.push_back(b);  // `a` (a reference into the vector) is not used after this
  }
}

// Count-weighted mean of the centres of the box's cells, rounded.
void box_color(Histogram& h, const Box& box, uint8_t rgb[3]) {
  int64_t total = 0, sr = 0, sg = 0, sb = 0;
  for (int r = box.r0; r <= box.r1; ++r)
    for (int g = box.g0; g <= box.g1; ++g)
      for (int b = box.b0; b <= box.b1; ++b) {
        const int64_t n = h.at(r, g, b);
        if (!n) continue;
        total += n;
        sr += n * ((r << 3) + 4);
        sg += n * ((g << 2) + 2);
        sb += n * ((b << 3) + 4);
      }
  if (total == 0) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    return;
  }
  rgb[0] = static_cast<uint8_t>((sr + total / 2) / total);
  rgb[1] = static_cast<uint8_t>((sg + total / 2) / total);
  rgb[2] = static_cast<uint8_t>((sb + total / 2) / total);
}

// Inverse colour map blocks: 4 red × 8 green × 4 blue cells, each 32 values on every axis.
constexpr int kBlockRed = 4, kBlockGreen = 8, kBlockBlue = 4;

// Fills every cell of the block holding cell (r, g, b) with its nearest palette index + 1.
// Only colours that can be nearest to some point of the block are compared: those whose
// smallest distance to the block does not exceed the smallest of the largest distances.
void fill_block(Histogram& h, const uint8_t* palette, int colors, int r, int g, int b,
                std::vector<int>& candidates) {
  const int cr0 = r & ~(kBlockRed - 1), cg0 = g & ~(kBlockGreen - 1), cb0 = b & ~(kBlockBlue - 1);
  // Centres of the first and last cells of the block on each axis, in 8-bit values.
  const int min_r = (cr0 << 3) + 4, max_r = min_r + (kBlockRed - 1) * 8;
  const int min_g = (cg0 << 2) + 2, max_g = min_g + (kBlockGreen - 1) * 4;
  const int min_b = (cb0 << 3) + 4, max_b = min_b + (kBlockBlue - 1) * 8;

  auto axis_range = [](int v, int lo, int hi, int scale, int64_t& near, int64_t& far) {
    int64_t dn = 0, df;
    if (v < lo) {
      dn = int64_t{v - lo} * scale;
      df = int64_t{v - hi} * scale;
    } else if (v > hi) {
      dn = int64_t{v - hi} * scale;
      df = int64_t{v - lo} * scale;
    } else {
      df = int64_t{v <= (lo + hi) / 2 ? v - hi : v - lo} * scale;
    }
    near += dn * dn;
    far += df * df;
  };

  std::vector<int64_t> nearest(static_cast<size_t>(colors));
  int64_t best_far = INT64_MAX;
  for (int i = 0; i < colors; ++i) {
    int64_t near = 0, far = 0;
    axis_range(palette[kPalR + i], min_r, max_r, kRedScale, near, far);
    axis_range(palette[kPalG + i], min_g, max_g, kGreenScale, near, far);
    axis_range(palette[kPalB + i], min_b, max_b, kBlueScale, near, far);
    nearest[static_cast<size_t>(i)] = near;
    if (far < best_far) best_far = far;
  }
  candidates.clear();
  for (int i = 0; i < colors; ++i)
    if (nearest[static_cast<size_t>(i)] <= best_far) candidates.push_back(i);

  for (int cr = cr0; cr < cr0 + kBlockRed; ++cr)
    for (int cg = cg0; cg < cg0 + kBlockGreen; ++cg)
      for (int cb = cb0; cb < cb0 + kBlockBlue; ++cb) {
        const int vr = (cr << 3) + 4, vg = (cg << 2) + 2, vb = (cb << 3) + 4;
        int best = candidates.front();
        int64_t best_d = INT64_MAX;
        for (int i : candidates) {
          const int64_t dr = int64_t{palette[kPalR + i] - vr} * kRedScale;
          const int64_t dg = int64_t{palette[kPalG + i] - vg} * kGreenScale;
          const int64_t db = int64_t{palette[kPalB + i] - vb} * kBlueScale;
          const int64_t d = dr * dr + dg * dg + db * db;
          if (d < best_d) best_d = d, best = i;
        }
        h.at(cr, cg, cb) = static_cast<uint16_t>(best + 1);
      }
}

}  // namespace

int median_cut_quantize(const Bitmap* src, const ColorRows& rows, int max_colors, Bitmap* dst) {
  if (max_colors < 1) max_colors = 1;
  if (max_colors > 256) max_colors = 256;
  try {
    Histogram hist;
    if (!hist.allocate()) return -1;
    std::vector<uint8_t> rgb(static_cast<size_t>(src->width) * 3);
    std::vector<Box> boxes;
    boxes.reserve(static_cast<size_t>(max_colors));
    std::vector<int> candidates;
    candidates.reserve(static_cast<size_t>(max_colors));

    // Pass 1: the histogram. Counts stop at 65535 rather than wrap, so a colour that fills a
    // large area can never look absent.
    for (int32_t y = 0; y < src->height; ++y) {
      rows.read(y, rgb.data());
      const uint8_t* p = rgb.data();
      for (int32_t x = 0; x < src->width; ++x, p += 3) {
        uint16_t& c = hist.at(cell_of(p));
        if (c != 0xFFFF) ++c;
      }
    }

    cut_boxes(hist, boxes, max_colors);
    const int colors = static_cast<int>(boxes.size());
    std::memset(dst->palette, 0, kPaletteBytes);
    for (int i = 0; i < colors; ++i) {
      uint8_t c[3];
      box_color(hist, boxes[static_cast<size_t>(i)], c);
      dst->palette[kPalR + i] = c[0];
      dst->palette[kPalG + i] = c[1];
      dst->palette[kPalB + i] = c[2];
    }

    // Pass 2: the histogram becomes the inverse colour map (palette index + 1, 0 = not yet
    // known), filled a block at a time as pixels reach it.
    hist.clear();
    for (int32_t y = 0; y < src->height; ++y) {
      rows.read(y, rgb.data());
      const uint8_t* p = rgb.data();
      uint8_t* out = bitmap_row(dst, y);
      for (int32_t x = 0; x < src->width; ++x, p += 3) {
        const int cell = cell_of(p);
        if (hist.at(cell) == 0)
          fill_block(hist, dst->palette, colors, p[0] >> 3, p[1] >> 2, p[2] >> 3, candidates);
        out[x] = static_cast<uint8_t>(hist.at(cell) - 1);
      }
    }
    return colors;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

}  // namespace lumora
