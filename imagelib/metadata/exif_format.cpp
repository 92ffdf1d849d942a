// Formatting of the camera, image, interoperability, thumbnail and GPS lines: the tags whose
// value needs arithmetic or a fixed wording (Exif 2.2 section 4.6.5 gives the units: APEX values
// for shutter speed and aperture, seconds, millimetres, metres).
#include <cmath>
#include <cstring>

#include "imagelib/metadata/exif.h"
#include "imagelib/metadata/exif_bytes.h"
#include "imagelib/metadata/exif_internal.h"

namespace lumora {

using namespace exif_bytes;

namespace {

// Exposure times below this (in seconds) read better as "1/n".
constexpr double kFractionLimit = 0.25001;

void format_exposure(double t, char* out, size_t size) {
  if (t < 0) {
    text_printf(out, size, "%.1lf", std::pow(2.0, std::fabs(t)));
  } else if (t > 0 && t < kFractionLimit) {
    text_printf(out, size, "1/%lld", truncate_to_integer(1.0 / t + 0.5));
  } else {
    text_printf(out, size, "%.2lf", t);
  }
}

bool is_undefined_of(const ExifEntry& e, uint32_t bytes) {
  return e.type == kExifUndefined && e.byte_size == bytes;
}

}  // namespace

void exif_format_value(const ExifBlock& block, const ExifEntry& entry, const ExifTagDef& def,
                       char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  const uint8_t* p = block.data + entry.value_pos;
  if (def.values != nullptr) {
    auto v = static_cast<long long>(exif_value_int(block, entry));
    text_printf(out, size, "%s (%lld)", exif_value_name(def.values, static_cast<uint32_t>(v)), v);
    return;
  }
  double value = exif_value(block, entry);
  switch (entry.tag) {
    case 0x128: {  // resolution unit
      auto v = exif_value_int(block, entry);
      if (v == 2) text_printf(out, size, "%s", exif_text(kTextInch));
      else if (v == 3) text_printf(out, size, "%s", exif_text(kTextCentimeter));
      else text_printf(out, size, "%lld", static_cast<long long>(v));
      return;
    }
    case 0x829A:  // exposure time, seconds
      format_exposure(value, out, size);
      return;
    case 0x9201: {  // shutter speed, APEX: t = 1 / 2^v
      double t = std::fabs(std::trunc(value)) >= 100 ? 0.0 : 1.0 / std::pow(2.0, value);
      format_exposure(t, out, size);
      return;
    }
    case 0x829D:  // F-number
      text_printf(out, size, "%2.1f", value);
      return;
    case 0x9000:  // Exif version, e.g. "0220"
    case 0xA000:  // FlashPix version
      if (entry.byte_size == 4) text_printf(out, size, "%c%c.%c%c", p[0], p[1], p[2], p[3]);
      return;
    case 0x9101:  // components configuration: 1..6 = Y, Cb, Cr, R, G, B, 0 = none
      if (!is_undefined_of(entry, 4)) return;
      if (p[0] == 4 && p[1] == 5 && p[2] == 6 && p[3] == 0) {
        text_printf(out, size, "%s", exif_text(kTextRgbUncompressed));
      } else if (p[0] == 1 && p[1] == 2 && p[2] == 3 && p[3] == 0) {
        text_printf(out, size, "YCbCr");
      } else {
        text_printf(out, size, "%x",
                    static_cast<unsigned>(p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24)));
      }
      return;
    case 0x9202:  // aperture, APEX: f-number = sqrt(2)^v
    case 0x9205:  // max aperture
      text_printf(out, size, "F%.1f", std::pow(std::sqrt(2.0), value));
      return;
    case 0x9206: {  // subject distance, metres
      if (entry.type != kExifRational && entry.type != kExifSRational) return;
      if (entry.byte_size < 8) return;
      int64_t n = entry.type == kExifRational ? int64_t{get32(block, entry.value_pos)}
                                              : int64_t{static_cast<int32_t>(get32(block, entry.value_pos))};
      int64_t d = entry.type == kExifRational ? int64_t{get32(block, entry.value_pos + 4)}
                                              : int64_t{static_cast<int32_t>(get32(block, entry.value_pos + 4))};
      if (d == 0) exif_format_rational(n, 0, out, size);
      else text_printf(out, size, "%.lf", static_cast<double>(n) / static_cast<double>(d));
      return;
    }
    case 0x9209:  // flash: bit 0 tells whether it fired (bits 1-2 are the return light)
      text_printf(out, size, "%s",
                  exif_text((exif_value_int(block, entry) & 1) ? kTextFlashFired : kTextNoFlash));
      return;
    case 0x920A:  // focal length, millimetres
      exif_format_short_float(value, out, size);
      return;
    case 0x9286: {  // user comment: 8-byte character code, then the text
      if (entry.byte_size < 9) return;
      uint32_t m = entry.byte_size < 256 ? entry.byte_size : 256;
      if (m >= 13 && std::memcmp(p + 8, "    ", 4) == 0) return;
      text_copy(out, size, p + 8, m - 8);
      return;
    }
    case 0xA001: {  // colour space
      auto v = exif_value_int(block, entry);
      if (v == 1) text_printf(out, size, "sRGB");
      else if (v == 65535) text_printf(out, size, "%s", exif_text(kTextUncalibrated));
      else text_printf(out, size, "%lld", static_cast<long long>(v));
      return;
    }
    case 0xA300:  // file source
      if (!is_undefined_of(entry, 1)) return;
      if (p[0] == 3) text_printf(out, size, "DSC");
      else text_printf(out, size, "%d", p[0]);
      return;
    case 0xA301:  // scene type
      if (!is_undefined_of(entry, 1)) return;
      if (p[0] == 1) text_printf(out, size, "%s", exif_text(kTextDirectlyPhotographed));
      else text_printf(out, size, "%d", p[0]);
      return;
    default:
      exif_format_generic(block, entry, out, size);
      return;
  }
}

void exif_format_gps(const ExifBlock& block, const ExifEntry& entry, const ExifTagDef& def,
                     char* out, size_t size) {
  const uint8_t* p = block.data + entry.value_pos;
  switch (entry.tag) {
    case 0x0:  // version, four bytes
      if (entry.byte_size == 4) text_printf(out, size, "%d.%d.%d.%d", p[0], p[1], p[2], p[3]);
      return;
    case 0x1: case 0x3: case 0x9: case 0xE: case 0x13: case 0x15: case 0x17: {
      // Reference letters ('N', 'S', 'E', 'W', 'M', 'T', 'A', 'V').
      if (entry.byte_size < 1 || def.values == nullptr) return;
      const ExifValueName* row = def.values;
      while (row->value != kExifValueEnd && row->value != p[0]) ++row;
      if (row->value != kExifValueEnd) text_printf(out, size, "%s", exif_value_name(def.values, p[0]));
      else text_printf(out, size, "%d", p[0]);
      return;
    }
    case 0xA: {  // measure mode: the digit '2' or '3'
      if (entry.byte_size < 1 || def.values == nullptr || p[0] == 0) return;
      const ExifValueName* row = def.values;
      uint32_t v = p[0] >= '0' ? p[0] - '0' : 0xFFFFu;
      while (row->value != kExifValueEnd && row->value != v) ++row;
      if (row->value != kExifValueEnd) text_printf(out, size, "%s", exif_value_name(def.values, v));
      else text_copy(out, size, p, 1);
      return;
    }
    case 0x2: case 0x4: {  // latitude, longitude: degrees, minutes, seconds
      if (entry.byte_size != 24 || !exif_type_fits(block, entry, kExifRational)) return;
      char degrees[64], minutes[64];
      exif_format_rational(get32(block, entry.value_pos), get32(block, entry.value_pos + 4), degrees,
                           sizeof degrees);
      exif_format_rational(get32(block, entry.value_pos + 8), get32(block, entry.value_pos + 12),
                           minutes, sizeof minutes);
      uint32_t sn = get32(block, entry.value_pos + 16), sd = get32(block, entry.value_pos + 20);
      double seconds = sd == 0 ? 0.0 : static_cast<double>(sn) / sd;
      // 0xB0 is the degree sign in the 8-bit texts.
      text_printf(out, size, "%s\xB0 %s' %.2lf\"", degrees, minutes, seconds);
      return;
    }
    case 0x7: {  // time stamp (UTC): hours, minutes, seconds
      if (entry.byte_size != 24 || !exif_type_fits(block, entry, kExifRational)) return;
      double part[3];
      for (uint32_t i = 0; i < 3; ++i) {
        uint32_t n = get32(block, entry.value_pos + 8 * i), d = get32(block, entry.value_pos + 8 * i + 4);
        part[i] = d == 0 ? 0.0 : static_cast<double>(n) / d;
      }
      text_printf(out, size, "%02lld:%02lld:%05.2f", truncate_to_integer(part[0]), truncate_to_integer(part[1]),
                  part[2]);
      return;
    }
    default: return;
  }
}

const char* exif_section_title(uint32_t section) {
  switch (section) {
    case kExifSectionCamera: return "Camera";
    case kExifSectionImage: return "Image";
    case kExifSectionIop: return "IOP";
    case kExifSectionGps: return "GPS";
    case kExifSectionThumbnail: return "Thumbnail";
    case kExifSectionMakernotes: return "Makernotes";
    default: return "";
  }
}

int exif_maker_from_make(const char* make) {
  struct Prefix {
    const char* text;
    int maker;
  };
  static constexpr Prefix kPrefixes[] = {
      {"canon", kMakerCanon},     {"olympus", kMakerOlympus}, {"fujifilm", kMakerFujifilm},
      {"nikon", kMakerNikon},     {"casio", kMakerCasio},     {"minolta", kMakerMinolta},
      {"sigma", kMakerSigma},     {"foveon", kMakerSigma},    {"sanyo", kMakerSanyo},
  };
  if (make == nullptr) return kMakerNone;
  auto bytes = reinterpret_cast<const uint8_t*>(make);
  auto length = static_cast<uint32_t>(std::strlen(make));
  for (const Prefix& prefix : kPrefixes) {
    if (starts_with_nocase(bytes, length, prefix.text)) return prefix.maker;
  }
  return kMakerNone;
}

}  // namespace lumora
