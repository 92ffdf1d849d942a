#include "app/viewer/picture_loader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/viewer/camera_orientation.h"
#include "imagelib/core/status.h"
#include "imagelib/ops/resample.h"
#include "imagelib/thumbcache/thumb_cache.h"

namespace lumora::app {
namespace {

// Blue-green-red pixels as the platform's device-independent bitmaps want them, rows on 4-byte
// boundaries, 3-byte colour preferred, incomplete files kept. The known-extension flag (0x1000)
// is left out on purpose: a JPEG saved as "photo.png" is then still recognised by its content.
constexpr uint32_t kProgramFlags = kLoadAcceptIncomplete | kLoadPrefer3Byte;
constexpr uint16_t kBlueGreenRed = 1;
constexpr int16_t kRowAlignment = 4;

// The pixel budget is kept by the allocation itself: a picture that would need more pixels is
// refused before any row is decoded, and the size it asked for is remembered so that the load
// can be repeated with a box that fits.
struct Budget {
  uint64_t max_pixels;
  int32_t refused_width = 0, refused_height = 0;
};

uint8_t* allocate_within_budget(int32_t width, int32_t height, int, int, int,
                                uint32_t bytes_per_line, void* user) {
  auto* budget = static_cast<Budget*>(user);
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > budget->max_pixels) {
    budget->refused_width = width;
    budget->refused_height = height;
    return nullptr;
  }
  const size_t bytes = static_cast<size_t>(bytes_per_line) * static_cast<size_t>(height);
  return static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
}

// The box for a picture refused by the budget: its size halved until it fits, so that the JPEG
// reader can decode straight at 1/2, 1/4 or 1/8 scale and other readers average whole blocks of
// pixels; a picture that halving cannot fit gets the largest box of its shape within the budget.
void budget_box(const Budget& b, int32_t* box_width, int32_t* box_height) {
  const int64_t w = b.refused_width, h = b.refused_height;
  for (int shift = 1; shift <= 8; ++shift) {
    const int64_t bw = (w + (int64_t{1} << shift) - 1) >> shift, bh = (h + (int64_t{1} << shift) - 1) >> shift;
    if (static_cast<uint64_t>(bw * bh) <= b.max_pixels) {
      *box_width = static_cast<int32_t>(bw);
      *box_height = static_cast<int32_t>(bh);
      return;
    }
  }
  const double scale = std::sqrt(static_cast<double>(b.max_pixels) / (static_cast<double>(w) * static_cast<double>(h)));
  int32_t bw = std::max<int32_t>(1, static_cast<int32_t>(static_cast<double>(w) * scale));
  int32_t bh = std::max<int32_t>(1, static_cast<int32_t>(static_cast<double>(h) * scale));
  while (static_cast<uint64_t>(bw) * static_cast<uint64_t>(bh) > b.max_pixels && (bw > 1 || bh > 1)) {
    if (bw >= bh) --bw;
    else --bh;
  }
  *box_width = bw;
  *box_height = bh;
}

LoadParams params_for(const PictureRequest& r) {
  LoadParams p;
  load_params_init(&p);
  p.component_order = kBlueGreenRed;
  p.flags = kProgramFlags;
  p.image_index = r.page;
  p.alignment = kRowAlignment;
  p.max_width = r.max_width;
  p.max_height = r.max_height;
  const bool boxed = r.max_width > 0 && r.max_height > 0;
  switch (r.mode) {
    case PictureLoadMode::Display:
      p.reduce_mode = kReduceAverage;
      break;
    case PictureLoadMode::Thumbnail:
      if (boxed) p.flags |= kLoadQuick;
      p.reduce_mode = r.high_quality ? kReduceAverage : kReduceNearest;
      p.use_embedded = r.use_embedded ? 1 : 0;
      break;
    case PictureLoadMode::Preview:
      if (boxed) p.flags |= kLoadQuick;
      p.reduce_mode = kReduceAverage;
      p.use_embedded = r.use_embedded ? 1 : 0;
      break;
  }
  // The Exif block travels with the picture: it holds the camera's Orientation tag, and an
  // embedded thumbnail shares the main picture's orientation.
  if (r.exif_rotate) p.flags |= kLoadKeepChunks;
  return p;
}

// Turns the loaded picture upright by the camera's tag. The TIFF reader already stores the
// mirrored and upside-down orientations (2 to 4) in display order; the quarter turns (5 to 8)
// are left to us. Other formats carry the tag in their Exif block.
void follow_camera_orientation(const std::string& path, int page, int16_t format_index, Bitmap* b) {
  int orientation = 1;
  if (format_index == kFormatTiff) {
    orientation = tiff_file_orientation(path.c_str(), page);
    if (orientation < 5) orientation = 1;
  } else {
    orientation = exif_chunk_orientation(b->chunks);
  }
  if (orientation != 1 && bitmap_apply_orientation(b, orientation) == kStatusOk)
    exif_chunk_clear_orientation(b->chunks);
}

}  // namespace

// Thumbnails through the shared cache: a valid cached thumbnail (Lumora's or another program's) is
// read instead of the picture, with the picture's facts from its header alone. Otherwise the
// picture is loaded at the cache's size, stored for next time, and reduced to the box. A picture
// whose thumbnail came from its embedded Exif thumbnail is not stored: reading that again is
// cheaper than reading a cached PNG.
static int load_thumbnail_cached(const std::string& path, const PictureRequest& request, Bitmap* bitmap, FileInfo* facts) {
  const int box = std::max(request.max_width, request.max_height);
  if (thumb_cache_failed(path.c_str())) return kStatusNotRecognised;
  LoadParams params = params_for(request);
  if (thumb_cache_lookup(path.c_str(), box, bitmap, &params) == kStatusOk) {
    load_info(path.c_str(), -1, kProgramFlags, facts);
    return kStatusOk;
  }
  PictureRequest full = request;
  full.use_cache = false;
  full.max_width = full.max_height = thumb_cache_flavour_size(box);
  const int status = load_picture(path, full, bitmap, facts);
  const int code = status & 0xFFFF;
  if (code == kStatusNotRecognised || code == kStatusFileEndsEarly || code == kStatusImpossible ||
      code == kStatusCorrupt) {
    thumb_cache_mark_failed(path.c_str());
    return status;
  }
  if (code != kStatusOk || !bitmap->pixels) return status;
  if (facts->reader_flag != 1 && facts->accepted_status == 0) thumb_cache_store(path.c_str(), bitmap);

  // Fit the box, keeping the proportions (never enlarged).
  const int32_t w = bitmap->width, h = bitmap->height;
  const int32_t bw = request.max_width > 0 ? request.max_width : box;
  const int32_t bh = request.max_height > 0 ? request.max_height : box;
  if (w <= bw && h <= bh) return kStatusOk;
  int32_t tw = bw, th = static_cast<int32_t>((int64_t{h} * bw + w / 2) / w);
  if (th > bh) {
    th = bh;
    tw = static_cast<int32_t>((int64_t{w} * bh + h / 2) / h);
  }
  Bitmap small{};
  const int r = request.high_quality ? resample_smooth(bitmap, &small, std::max(1, tw), std::max(1, th), kResampleSmooth)
                                     : resample_nearest(bitmap, &small, std::max(1, tw), std::max(1, th));
  if (r != kStatusOk) return kStatusOk;  // the larger thumbnail still serves
  bitmap_free(bitmap);
  *bitmap = small;
  return kStatusOk;
}

int load_picture(const std::string& path, const PictureRequest& request, Bitmap* bitmap, FileInfo* info) {
  if (!bitmap) return kStatusBadArguments;
  if (request.mode == PictureLoadMode::Thumbnail && request.use_cache && request.page == 0 &&
      std::max(request.max_width, request.max_height) > 0 &&
      thumb_cache_flavour_size(std::max(request.max_width, request.max_height)) > 0) {
    std::memset(bitmap, 0, sizeof *bitmap);
    FileInfo local_info;
    std::memset(&local_info, 0, sizeof local_info);
    const int status = load_thumbnail_cached(path, request, bitmap, info ? info : &local_info);
    if (!info) file_info_free(&local_info);
    return status;
  }
  std::memset(bitmap, 0, sizeof *bitmap);
  FileInfo local_info;
  std::memset(&local_info, 0, sizeof local_info);
  FileInfo* facts = info ? info : &local_info;

  LoadParams params = params_for(request);
  Budget budget{request.max_pixels > 0 ? request.max_pixels : 1};
  params.alloc_callback = &allocate_within_budget;
  params.alloc_user = &budget;

  int status = load_image(path.c_str(), bitmap, &params, facts);
  if (status == kStatusNoMemory && budget.refused_width > 0) {
    // Too many pixels for the budget, whether the file really holds them or only claims them:
    // load again reduced by the pipeline to a box of the budget's size. The refused size already
    // follows the request box, so the new box lies inside it.
    bitmap_free(bitmap);
    std::memset(bitmap, 0, sizeof *bitmap);
    file_info_free(facts);
    std::memset(facts, 0, sizeof *facts);
    budget_box(budget, &params.max_width, &params.max_height);
    params.reduce_mode = kReduceAverage;
    // Quick decoding lets the JPEG reader decode at 1/2, 1/4 or 1/8 scale (never below the box)
    // before the averaging: a picture this far above the budget loses nothing visible, and a
    // header claiming 30000 x 30000 pixels is not decoded block by block at full size.
    params.flags |= kLoadQuick;
    budget.refused_width = budget.refused_height = 0;
    status = load_image(path.c_str(), bitmap, &params, facts);
  }
  if ((status & 0xFFFF) == kStatusOk && bitmap->pixels && request.exif_rotate)
    follow_camera_orientation(path, request.page, facts->format_index, bitmap);
  if (!info) file_info_free(&local_info);
  return status;
}

}  // namespace lumora::app
