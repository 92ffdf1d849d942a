// The position line of the GPS section: latitude and longitude (Exif 2.2 section 4.6.6: degrees,
// minutes and seconds as RATIONALs, the hemisphere as the letter of the reference tag) turned into
// signed decimal degrees, the form maps and scripts take.
#include "imagelib/metadata/exif_bytes.h"
#include "imagelib/metadata/exif_internal.h"

namespace lumora {

using namespace exif_bytes;

namespace {

constexpr uint16_t kTagLatitudeRef = 0x1;
constexpr uint16_t kTagLatitude = 0x2;
constexpr uint16_t kTagLongitudeRef = 0x3;
constexpr uint16_t kTagLongitude = 0x4;

// Degrees from one to three rationals (degrees, minutes, seconds). A part 0/0 counts as 0 (some
// writers leave the seconds so); the degrees need a denominator, and any other part over 0 is no
// number, so no position is given.
bool degrees_of(const ExifBlock& block, const ExifEntry& e, double* out) {
  if (e.count < 1 || e.count > 3 || !exif_type_fits(block, e, kExifRational)) return false;
  double total = 0.0, unit = 1.0;
  for (uint32_t i = 0; i < e.count; ++i, unit *= 60.0) {
    const uint32_t n = get32(block, e.value_pos + 8 * i), d = get32(block, e.value_pos + 8 * i + 4);
    if (d == 0) {
      if (i == 0 || n != 0) return false;
      continue;
    }
    total += static_cast<double>(n) / d / unit;
  }
  *out = total;
  return true;
}

// +1 for the letter `positive`, -1 for `negative`, 0 for anything else.
int hemisphere_of(const ExifBlock& block, const ExifEntry& e, char positive, char negative) {
  if (e.type != kExifAscii || e.byte_size < 1) return 0;
  const uint8_t letter = block.data[e.value_pos];
  return letter == positive ? 1 : letter == negative ? -1 : 0;
}

}  // namespace

bool exif_gps_position(const ExifBlock& block, uint32_t ifd_pos, char* out, size_t size) {
  uint16_t n = 0;
  if (!read16(block, ifd_pos, &n)) return false;
  // The first entry of each tag counts, as in the line-by-line walk.
  bool seen[5] = {};
  ExifEntry found[5] = {};
  for (uint32_t i = 0; i < n; ++i) {
    ExifEntry e;
    if (!inside(block, uint64_t{ifd_pos} + 2 + uint64_t{i} * 12, 12)) break;
    if (!exif_read_entry(block, ifd_pos, i, &e) || e.tag < kTagLatitudeRef || e.tag > kTagLongitude ||
        seen[e.tag])
      continue;
    seen[e.tag] = true;
    found[e.tag] = e;
  }
  if (!seen[kTagLatitudeRef] || !seen[kTagLatitude] || !seen[kTagLongitudeRef] || !seen[kTagLongitude])
    return false;
  double latitude = 0.0, longitude = 0.0;
  const int north = hemisphere_of(block, found[kTagLatitudeRef], 'N', 'S');
  const int east = hemisphere_of(block, found[kTagLongitudeRef], 'E', 'W');
  if (north == 0 || east == 0 || !degrees_of(block, found[kTagLatitude], &latitude) ||
      !degrees_of(block, found[kTagLongitude], &longitude) || latitude > 90.0 || longitude > 180.0)
    return false;
  // No sign in front of a zero ("-0.000000" would read as a different place).
  text_printf(out, size, "%.6f, %.6f", latitude == 0.0 ? 0.0 : north * latitude,
              longitude == 0.0 ? 0.0 : east * longitude);
  return true;
}

}  // namespace lumora
