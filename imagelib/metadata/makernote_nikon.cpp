// Nikon maker notes, three layouts: "Nikon\0" with version 1 (a directory 8 bytes in, offsets
// from the TIFF data: the early Coolpix models), "Nikon\0" with version 2 (a TIFF header of its
// own 10 bytes in, whose offsets count from that header), and a bare directory at the start of
// the note (offsets from the TIFF data).
#include <iterator>

#include "imagelib/metadata/exif_bytes.h"
#include "imagelib/metadata/exif_internal.h"

namespace lumora {

using namespace exif_bytes;

namespace {

#define END_ROW {kExifValueEnd, kTextOther, nullptr}

// --- first kind -----------------------------------------------------------------------------
constexpr ExifValueName kQuality1[] = {
    {1, 0, "VGA Basic"}, {2, 0, "VGA Normal"}, {3, 0, "VGA Fine"}, {4, 0, "SXGA Basic"},
    {5, 0, "SXGA Normal"}, {6, 0, "SXGA Fine"}, {7, 0, "XGA Basic"}, {8, 0, "XGA Normal"},
    {9, 0, "XGA Fine"}, {10, 0, "UXGA Basic"}, {11, 0, "UXGA Normal"}, {12, 0, "UXGA Fine"}, END_ROW};
constexpr ExifValueName kColorMode1[] = {{1, 0, "Color"}, {2, 0, "Monochrome"}, END_ROW};
constexpr ExifValueName kAdjustment1[] = {
    {0, 0, "Normal"}, {1, 0, "Bright+"}, {2, 0, "Bright-"}, {3, 0, "Contrast+"}, {4, 0, "Contrast-"}, END_ROW};
constexpr ExifValueName kSensitivity1[] = {
    {0, 0, "ISO 80"}, {2, 0, "ISO 160"}, {4, 0, "ISO 320"}, {5, 0, "ISO 100"}, END_ROW};
constexpr ExifValueName kWhiteBalance1[] = {
    {0, 0, "Auto"}, {1, 0, "Preset"}, {2, 0, "Daylight"}, {3, 0, "Incandescence"},
    {4, 0, "Fluorescence"}, {5, 0, "Cloudy"}, {6, 0, "SpeedLight"}, END_ROW};
constexpr ExifValueName kConverter1[] = {{0, 0, "None"}, {1, 0, "Fisheye"}, END_ROW};

constexpr ExifTagDef kNikonFirst[] = {
    {0x3, 0, 0, 0, "Image Quality", kQuality1},
    {0x4, 0, 0, 0, "Color Mode", kColorMode1},
    {0x5, 0, 0, 0, "Image Adjustment", kAdjustment1},
    {0x6, 0, 0, 0, "CCD Sensitivity", kSensitivity1},
    {0x7, 0, 0, 0, "White balance", kWhiteBalance1},
    {0x8, 0, 0, 0, "Focus", nullptr},
    {0xA, 0, 0, 0, "Digital zoom", nullptr},
    {0xB, 0, 0, 0, "Lens Adapter", kConverter1},
    {0xFFFF, 0, 0, 0, "Nikon Unknown", nullptr},
};

// --- later kinds ----------------------------------------------------------------------------
constexpr ExifValueName kFlashMode[] = {
    {0, 0, "Did Not Fire"}, {1, 0, "Fired, Manual"}, {7, 0, "Fired, External"},
    {8, 0, "Fired, Commander Mode"}, {9, 0, "Fired, TTL Mode"}, END_ROW};

constexpr ExifTagDef kNikon[] = {
    {0x1, kExifUndefined, 4, 0, "Data version", nullptr},
    {0x2, 0, 0, 0, "ISO Setting", nullptr},
    {0x3, kExifAscii, 0, 0, "Color Mode", nullptr},
    {0x4, kExifAscii, 0, 0, "Quality", nullptr},
    {0x5, kExifAscii, 0, 0, "White balance", nullptr},
    {0x6, kExifAscii, 0, 0, "Image Sharpening", nullptr},
    {0x7, kExifAscii, 0, 0, "Focus Mode", nullptr},
    {0x8, kExifAscii, 0, 0, "Flash Setting", nullptr},
    {0x9, kExifAscii, 0, 0, "Flash Type", nullptr},
    {0xB, 0, 0, 0, "White Balance Fine Tune", nullptr},
    {0xF, kExifAscii, 0, 0, "ISO Selection", nullptr},
    {0x13, 0, 0, 0, "ISO Requested", nullptr},
    {0x19, 0, 0, 0, "AE Bracket Compensation", nullptr},
    {0x80, kExifAscii, 0, 0, "Image Adjustment", nullptr},
    {0x81, kExifAscii, 0, 0, "Tone Compensation", nullptr},
    {0x82, kExifAscii, 0, 0, "Adapter", nullptr},
    {0x83, 0, 0, 0, "Lens Type", nullptr},
    {0x84, kExifRational, 0, 0, "Lens", nullptr},
    {0x85, 0, 0, 0, "Focus Distance", nullptr},
    {0x86, 0, 0, 0, "Digital zoom", nullptr},
    {0x87, kExifByte, 0, 0, "Flash mode", kFlashMode},
    {0x88, 0, 0, 0, "AF Point", nullptr},
    {0x89, 0, 0, 0, "Shooting Mode", nullptr},
    {0x8D, kExifAscii, 0, 0, "Color Hue", nullptr},
    {0x8F, kExifAscii, 0, 0, "Scene Mode", nullptr},
    {0x90, kExifAscii, 0, 0, "Lighting Type", nullptr},
    {0x92, 0, 0, 0, "Hue Adjustment", nullptr},
    {0x95, kExifAscii, 0, 0, "Noise Reduction", nullptr},
    {0x98, 0, 0, 0, "LensID", nullptr},
    {0xA7, kExifLong, 0, 0, "Shutter Count", nullptr},
    {0xA9, kExifAscii, 0, 0, "Image Optimization", nullptr},
    {0xAA, kExifAscii, 0, 0, "Saturation", nullptr},
    {0xAB, kExifAscii, 0, 0, "Vari Program", nullptr},
};

#undef END_ROW

constexpr ExifTagTable kNikonFirstTable{kNikonFirst, std::size(kNikonFirst)};
constexpr ExifTagTable kNikonTable{kNikon, std::size(kNikon)};

struct AfPointName {
  uint32_t value;
  const char* text;
};
// AF area mode in the top byte, the selected point next, the points in focus below.
constexpr AfPointName kAfPoints[] = {
    {0, "Center"}, {1, "Single Area, Center"}, {256, "Top"}, {512, "Bottom"}, {768, "Left"},
    {1024, "Right"}, {0x10002, "Single Area, Top"}, {0x20004, "Single Area, Bottom"},
    {0x30008, "Single Area, Left"}, {0x40010, "Single Area, Right"},
    {0x1000001, "Dynamic Area, Center"}, {0x1010002, "Dynamic Area, Top"},
    {0x1020004, "Dynamic Area, Bottom"}, {0x1030008, "Dynamic Area, Left"},
    {0x1040010, "Dynamic Area, Right"}, {0x2000001, "Closest Subject, Center"},
    {0x2010002, "Closest Subject, Top"}, {0x2020004, "Closest Subject, Bottom"},
    {0x2030008, "Closest Subject, Left"}, {0x2040010, "Closest Subject, Right"},
};

// Bytes of the lens data shown at most.
constexpr uint32_t kLensIdBytes = 128;

// The rational's two numbers, when the entry holds one.
bool rational(const ExifBlock& b, const ExifEntry& e, uint32_t* num, uint32_t* den) {
  if ((e.type != kExifRational && e.type != kExifSRational) || e.byte_size < 8) return false;
  *num = get32(b, e.value_pos);
  *den = get32(b, e.value_pos + 4);
  return true;
}

void format_nikon(const ExifBlock& b, const ExifEntry& e, const ExifTagDef&, char* out, size_t size) {
  uint32_t num = 0, den = 0;
  switch (e.tag) {
    case 0x2:  // ISO: two SHORTs, the second is the speed
      if (e.type == kExifShort && e.count >= 2) text_printf(out, size, "%u", get16(b, e.value_pos + 2));
      return;
    case 0x85:  // focus distance, metres
      if (!rational(b, e, &num, &den) || den == 0) return;
      if (num == den) text_printf(out, size, "N/A");
      else text_printf(out, size, "x%.1f m", static_cast<double>(num) / den);
      return;
    case 0x86:  // digital zoom factor
      if (!rational(b, e, &num, &den) || den == 0) return;
      if (num == den) text_printf(out, size, "Off");
      else text_printf(out, size, "x%.1f", static_cast<double>(num) / den);
      return;
    case 0x88: {  // AF point
      out[0] = '\0';
      if (e.byte_size < 4) return;
      uint32_t v = get32(b, e.value_pos);
      for (const AfPointName& row : kAfPoints) {
        if (row.value == v) {
          text_printf(out, size, "%s", row.text);
          return;
        }
      }
      return;
    }
    case 0x98: {  // lens data: the bytes after the 6-byte version and header
      uint32_t end = e.byte_size < kLensIdBytes ? e.byte_size : kLensIdBytes;
      size_t n = 0;
      out[n++] = '(';
      for (uint32_t i = 6; i < end && n + 4 < size; ++i) {
        text_printf(out + n, size - n, "%x ", b.data[e.value_pos + i]);
        while (out[n] != '\0') ++n;
      }
      out[n++] = ')';
      out[n] = '\0';
      return;
    }
    default:
      return;
  }
}

void walk(const ExifBlock& view, uint32_t ifd_pos, const ExifTagTable& table,
          ExifEntryFormatter formatter, const ExifSink& sink) {
  exif_walk_table_ifd(view, ifd_pos, table, formatter, kExifSectionMakernotes, sink);
}

}  // namespace

void makernote_nikon(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, const ExifSink& sink) {
  const uint8_t* note = tiff.data + note_pos;
  if (!starts_with_nocase(note, note_size, "Nikon")) {
    walk(tiff, note_pos, kNikonTable, format_nikon, sink);
    return;
  }
  if (note_size < 8 || note[5] != 0) return;
  if (note[6] == 1) {
    walk(tiff, note_pos + 8, kNikonFirstTable, nullptr, sink);
    return;
  }
  if (note[6] != 2 || note_size < 18) return;
  // A TIFF header of the note's own: byte order, 42, directory offset.
  ExifBlock inner{note + 10, note_size - 10, false};
  if (inner.data[0] == 'M' && inner.data[1] == 'M') inner.big_endian = true;
  else if (!(inner.data[0] == 'I' && inner.data[1] == 'I')) return;
  if (get16(inner, 2) != 42) return;
  walk(inner, get32(inner, 4), kNikonTable, format_nikon, sink);
}

}  // namespace lumora
