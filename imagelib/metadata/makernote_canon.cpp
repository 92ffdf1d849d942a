// Canon maker note: a directory at the start of the note with offsets counted from the TIFF
// data. Tag 1 holds the camera settings and tag 4 the shot information, each an array of SHORTs
// whose first element is the array's length in bytes; tags 6 to 9 are texts and the image number.
// A note that editing software moved keeps its old offsets; its footer says by how much.
#include <cmath>
#include <cstring>
#include <iterator>

#include "imagelib/metadata/exif_bytes.h"
#include "imagelib/metadata/exif_internal.h"

namespace lumora {

using namespace exif_bytes;

namespace {

#define END_ROW {kExifValueEnd, kTextOther, nullptr}

constexpr ExifValueName kMacro[] = {{1, 0, "Macro"}, {2, 0, "Normal"}, END_ROW};
constexpr ExifValueName kQuality[] = {{2, 0, "Normal"}, {3, 0, "Fine"}, {5, 0, "Superfine"}, END_ROW};
constexpr ExifValueName kFlashMode[] = {
    {0, 0, "Flash not fired"}, {1, 0, "Auto"}, {2, 0, "On"}, {3, 0, "Red-eye reduction"},
    {4, 0, "Slow synchro"}, {5, 0, "Auto + red-eye reduction"}, {6, 0, "On + red-eye reduction"},
    {16, 0, "External flash"}, END_ROW};
constexpr ExifValueName kDriveMode[] = {{0, 0, "Single/Timer"}, {1, 0, "Continuous"}, END_ROW};
constexpr ExifValueName kFocusMode[] = {
    {0, 0, "One-Shot"}, {1, 0, "AI Servo"}, {2, 0, "AI Focus"}, {3, 0, "MF"}, {4, 0, "Single"},
    {5, 0, "Continuous"}, {6, 0, "MF"}, END_ROW};
constexpr ExifValueName kImageSize[] = {{0, 0, "Large"}, {1, 0, "Medium"}, {2, 0, "Small"}, END_ROW};
constexpr ExifValueName kEasyShooting[] = {
    {0, 0, "Full Auto"}, {1, 0, "Manual"}, {2, 0, "Landscape"}, {3, 0, "Fast Shutter"},
    {4, 0, "Slow Shutter"}, {5, 0, "Night"}, {6, 0, "B&W"}, {7, 0, "Sepia"}, {8, 0, "Portrait"},
    {9, 0, "Sports"}, {10, 0, "Macro/Close-Up"}, {11, 0, "Pan Focus"}, END_ROW};
// -1, 0, +1 stored as SHORTs.
constexpr ExifValueName kLowNormalHigh[] = {{65535, 0, "Low"}, {0, 0, "Normal"}, {1, 0, "High"}, END_ROW};
constexpr ExifValueName kIso[] = {
    {15, 0, "Auto"}, {16, 0, "50"}, {17, 0, "100"}, {18, 0, "200"}, {19, 0, "400"}, END_ROW};
constexpr ExifValueName kMetering[] = {
    {3, 0, "Evaluative"}, {4, 0, "Partial"}, {5, 0, "Center-weighted"}, END_ROW};
constexpr ExifValueName kFocusType[] = {
    {0, 0, "Manual"}, {1, 0, "Auto"}, {3, 0, "Close-up (Macro)"}, {8, 0, "Locked (Pan Mode)"}, END_ROW};
constexpr ExifValueName kAfPoint[] = {
    {0x3000, 0, "None (MF)"}, {0x3001, 0, "Auto-selected"}, {0x3002, 0, "Right"},
    {0x3003, 0, "Center"}, {0x3004, 0, "Left"}, END_ROW};
constexpr ExifValueName kExposureMode[] = {
    {0, 0, "Easy shooting"}, {1, 0, "Program"}, {2, 0, "Tv-priority"}, {3, 0, "Av-priority"},
    {4, 0, "Manual"}, {5, 0, "A-DEP"}, END_ROW};
constexpr ExifValueName kWhiteBalance[] = {
    {0, 0, "Auto"}, {1, 0, "Sunny"}, {2, 0, "Cloudy"}, {3, 0, "Tungsten"}, {4, 0, "Fluorescent"},
    {5, 0, "Flash"}, {6, 0, "Custom"}, END_ROW};

// Camera settings (tag 1), by array position.
constexpr ExifTagDef kCameraSettings[] = {
    {1, 0, 0, 0, "Macro", kMacro},
    {2, 0, 0, 0, "SelfTimer", nullptr},
    {3, 0, 0, 0, "Compression setting", kQuality},
    {4, 0, 0, 0, "Flash mode", kFlashMode},
    {5, 0, 0, 0, "Drive mode", kDriveMode},
    {7, 0, 0, 0, "Focus Mode", kFocusMode},
    {10, 0, 0, 0, "Image size", kImageSize},
    {11, 0, 0, 0, "Easy shooting", kEasyShooting},
    {13, 0, 0, 0, "Contrast", kLowNormalHigh},
    {14, 0, 0, 0, "Saturation", kLowNormalHigh},
    {15, 0, 0, 0, "Sharpness", kLowNormalHigh},
    {16, 0, 0, 0, "ISO value", kIso},
    {17, 0, 0, 0, "Metering mode", kMetering},
    {18, 0, 0, 0, "Focus type", kFocusType},
    {19, 0, 0, 0, "AF point", kAfPoint},
    {20, 0, 0, 0, "Exposure mode", kExposureMode},
    {23, 0, 0, 0, "Focal length [mm]", nullptr},
    {24, 0, 0, 0, "Focal length short / mm", nullptr},
};
// Shot information (tag 4), by array position; the elements are signed. ISO speeds, exposure
// values and distances as Canon's maker-note tags are publicly documented.
constexpr uint32_t kShotAutoIso = 1;
constexpr uint32_t kShotBaseIso = 2;
constexpr uint32_t kShotExposureCompensation = 6;
constexpr uint32_t kShotSequence = 9;
constexpr uint32_t kShotFlashCompensation = 15;
constexpr uint32_t kShotFocusUpper = 19;
constexpr uint32_t kShotFocusLower = 20;
constexpr uint32_t kShotFNumber = 21;
constexpr ExifTagDef kShotInfo[] = {
    {kShotAutoIso, 0, 0, 0, "Auto ISO factor", nullptr},
    {kShotBaseIso, 0, 0, 0, "Base ISO", nullptr},
    {kShotExposureCompensation, 0, 0, 0, "Exposure compensation [EV]", nullptr},
    {7, 0, 0, 0, "White balance", kWhiteBalance},
    {kShotSequence, 0, 0, 0, "Sequence number", nullptr},
    {kShotFlashCompensation, 0, 0, 0, "Flash exposure compensation [EV]", nullptr},
    {kShotFocusUpper, 0, 0, 0, "Focus distance upper [m]", nullptr},
    {kShotFocusLower, 0, 0, 0, "Focus distance lower [m]", nullptr},
    {kShotFNumber, 0, 0, 0, "F-Number", nullptr},
};
// The other tags.
constexpr ExifTagDef kOthers[] = {
    {6, kExifAscii, 32, 0, "Picture info", nullptr},
    {7, kExifAscii, 24, 0, "Firmware version", nullptr},
    {8, kExifLong, 0, 0, "Image number", nullptr},
    {9, kExifAscii, 32, 0, "Owner name", nullptr},
};

#undef END_ROW

constexpr ExifTagTable kCameraSettingsTable{kCameraSettings, std::size(kCameraSettings)};
constexpr ExifTagTable kShotInfoTable{kShotInfo, std::size(kShotInfo)};
constexpr ExifTagTable kOthersTable{kOthers, std::size(kOthers)};

constexpr uint32_t kPositionIso = 16;
// ISO values given as a number: bit 14 set, the speed in the low 14 bits.
constexpr uint32_t kIsoNumberFlag = 0x4000;
// The note ends with a copy of a TIFF header whose offset field holds where the note lay when
// the camera wrote it: "II*\0" or "MM\0*", then that offset.
constexpr uint32_t kFooterSize = 8;

using ElementFormatter = void (*)(const ExifTagDef& def, uint32_t position, uint16_t value,
                                  char* out, size_t size);

void format_camera_setting(const ExifTagDef& def, uint32_t position, uint16_t value, char* out,
                           size_t size) {
  if (position == kPositionIso && value >= 21 && (value & kIsoNumberFlag) != 0) {
    text_printf(out, size, "%u", value & 0x3FFFu);
  } else if (def.values != nullptr) {
    text_printf(out, size, "%s", exif_value_name(def.values, value));
  } else {
    text_printf(out, size, "%u", value);
  }
}

// Canon's exposure values: 32 steps to 1 EV, with the codes 12 and 20 of the fraction standing for
// 1/3 and 2/3.
double canon_ev(int16_t code) {
  const int sign = code < 0 ? -1 : 1;
  const int magnitude = code < 0 ? -int{code} : int{code};
  const int fraction = magnitude & 0x1F;
  double steps = magnitude - fraction;
  if (fraction == 0x0C) steps += 32.0 / 3.0;
  else if (fraction == 0x14) steps += 64.0 / 3.0;
  else steps += fraction;
  return sign * steps / 32.0;
}

// ISO speeds are stored as 32 x log2(speed / 100) (the automatic factor) and 32 x log2(speed x
// 32 / 100) (the base speed).
double auto_iso_factor(int16_t code) { return std::exp2(code / 32.0); }
double base_iso(int16_t code) { return 100.0 / 32.0 * std::exp2(code / 32.0); }

void format_ev(double ev, char* out, size_t size) {
  if (std::fabs(ev) < 0.005) text_printf(out, size, "0");
  else text_printf(out, size, "%+.2f", ev);
}

void format_shot_info(const ExifTagDef& def, uint32_t position, uint16_t value, char* out,
                      size_t size) {
  const auto code = static_cast<int16_t>(value);
  switch (position) {
    case kShotAutoIso: text_printf(out, size, "%.2f", auto_iso_factor(code)); return;
    case kShotBaseIso:  // 0 means not recorded
      if (code != 0) text_printf(out, size, "%.0f", base_iso(code));
      return;
    case kShotExposureCompensation:
    case kShotFlashCompensation: format_ev(canon_ev(code), out, size); return;
    case kShotSequence: text_printf(out, size, "%d", code); return;
    case kShotFocusUpper:
    case kShotFocusLower:  // centimetres, unsigned; 65535 stands for infinity
      if (value == 0xFFFF) text_printf(out, size, "inf");
      else text_printf(out, size, "%.2f", value / 100.0);
      return;
    case kShotFNumber:  // an aperture value in Canon's steps; 0 means not recorded
      if (code != 0) text_printf(out, size, "%.1f", std::exp2(canon_ev(code) / 2.0));
      return;
    default:
      if (def.values != nullptr) text_printf(out, size, "%s", exif_value_name(def.values, value));
      else text_printf(out, size, "%d", code);
      return;
  }
}

// Number of elements of a SHORT array: its first element is its length in bytes, and no element
// past the entry's own count is read.
uint32_t array_elements(const ExifBlock& tiff, const ExifEntry& e) {
  if (e.type != kExifShort || e.count == 0) return 0;
  const uint32_t elements = get16(tiff, e.value_pos) / 2u;
  return elements < e.count ? elements : e.count;
}

uint16_t element(const ExifBlock& tiff, const ExifEntry& e, uint32_t i) {
  return get16(tiff, e.value_pos + 2 * i);
}

// Shows the elements of a SHORT array that the table names.
void walk_array(const ExifBlock& tiff, const ExifEntry& e, const ExifTagTable& table,
                ElementFormatter format, const ExifSink& sink) {
  const uint32_t elements = array_elements(tiff, e);
  char text[kExifTextSize];
  for (uint32_t i = 0; i < elements; ++i) {
    const ExifTagDef* def = exif_find_tag(table, i);
    if (def == nullptr) continue;
    text[0] = '\0';
    format(*def, i, element(tiff, e, i), text, sizeof text);
    if (text[0] != '\0') sink.emit(kExifSectionMakernotes, 0, exif_tag_name(*def), text);
  }
}

// The shot information, then the ISO speed the camera used: the base speed times the automatic
// factor (the camera-settings element says only "Auto" when the camera chose it).
void walk_shot_info(const ExifBlock& tiff, const ExifEntry& e, const ExifSink& sink) {
  walk_array(tiff, e, kShotInfoTable, format_shot_info, sink);
  if (array_elements(tiff, e) <= kShotBaseIso) return;
  const auto factor = static_cast<int16_t>(element(tiff, e, kShotAutoIso));
  const auto base = static_cast<int16_t>(element(tiff, e, kShotBaseIso));
  if (base == 0) return;
  char text[kExifTextSize];
  text_printf(text, sizeof text, "%.0f", base_iso(base) * auto_iso_factor(factor));
  sink.emit(kExifSectionMakernotes, 0, "ISO speed", text);
}

// The distance in bytes the note was moved by after the camera wrote it, from its footer; 0 when
// the note has no footer in the block's byte order.
int64_t note_shift(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size) {
  if (note_size < kFooterSize) return 0;
  const uint8_t* footer = tiff.data + note_pos + note_size - kFooterSize;
  static constexpr uint8_t kLittle[4] = {'I', 'I', 0x2A, 0}, kBig[4] = {'M', 'M', 0, 0x2A};
  if (std::memcmp(footer, tiff.big_endian ? kBig : kLittle, 4) != 0) return 0;
  return int64_t{note_pos} - int64_t{get32(tiff, note_pos + note_size - 4)};
}

}  // namespace

void makernote_canon(const ExifBlock& block, uint32_t note_pos, uint32_t note_size, const ExifSink& sink) {
  auto count_fits = [note_size](uint16_t n) { return n >= 1 && int64_t{note_size} > int64_t{n} * 12 - 10; };
  // Canon cameras write the note in the block's byte order (little-endian); software that
  // rewrote the block in the other order may have left the note as it was. When the entry count does not
  // fit the note in the block's order but does in the other, the note is read in the other.
  ExifBlock tiff = block;
  uint16_t n = 0;
  if (!read16(tiff, note_pos, &n)) return;
  if (!count_fits(n)) {
    tiff.big_endian = !tiff.big_endian;
    n = get16(tiff, note_pos);
    if (!count_fits(n)) return;
  }
  const int64_t shift = note_shift(tiff, note_pos, note_size);
  char text[kExifTextSize];
  for (uint32_t i = 0; i < n; ++i) {
    ExifEntry e;
    if (!exif_read_entry(tiff, note_pos, i, &e, shift)) continue;
    switch (e.tag) {
      case 1:
        walk_array(tiff, e, kCameraSettingsTable, format_camera_setting, sink);
        break;
      case 4:
        walk_shot_info(tiff, e, sink);
        break;
      case 6: case 7: case 9: {
        const ExifTagDef* def = exif_find_tag(kOthersTable, e.tag);
        if (e.type != kExifAscii || e.byte_size != def->count) break;
        text_copy(text, sizeof text, tiff.data + e.value_pos, e.byte_size);
        if (text[0] != '\0') sink.emit(kExifSectionMakernotes, 0, exif_tag_name(*def), text);
        break;
      }
      case 8: {
        if (e.count < 1 || !exif_type_fits(tiff, e, kExifLong)) break;
        uint32_t v = static_cast<uint32_t>(exif_value_int(tiff, e));
        text_printf(text, sizeof text, "%u-%u", v / 10000, v % 10000);
        sink.emit(kExifSectionMakernotes, 0, exif_tag_name(*exif_find_tag(kOthersTable, 8)), text);
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace lumora
