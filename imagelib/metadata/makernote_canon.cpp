// Canon maker note: a directory at the start of the note with offsets counted from the TIFF
// data. Tag 1 holds the camera settings and tag 4 the shot information, each an array of SHORTs
// whose first element is the array's length in bytes; tags 6 to 9 are texts and the image number.
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
// Shot information (tag 4), by array position.
constexpr ExifTagDef kShotInfo[] = {
    {7, 0, 0, 0, "White balance", kWhiteBalance},
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

void emit_element(const ExifTagDef& def, uint32_t position, uint32_t value, const ExifSink& sink) {
  char text[kExifTextSize];
  if (position == kPositionIso && value >= 21 && (value & kIsoNumberFlag) != 0) {
    text_printf(text, sizeof text, "%u", value & 0x3FFF);
  } else if (def.values != nullptr) {
    text_printf(text, sizeof text, "%s", exif_value_name(def.values, value));
  } else {
    text_printf(text, sizeof text, "%u", value);
  }
  sink.emit(kExifSectionMakernotes, 0, exif_tag_name(def), text);
}

// Shows the elements of a SHORT array that the table names; the array's first element is its
// length in bytes, and no element past the entry's own count is read.
void walk_array(const ExifBlock& tiff, const ExifEntry& e, const ExifTagTable& table,
                const ExifSink& sink) {
  if (e.type != kExifShort || e.count == 0) return;
  uint32_t elements = get16(tiff, e.value_pos) / 2;
  if (elements > e.count) elements = e.count;
  for (uint32_t i = 0; i < elements; ++i) {
    const ExifTagDef* def = exif_find_tag(table, i);
    if (def != nullptr) emit_element(*def, i, get16(tiff, e.value_pos + 2 * i), sink);
  }
}

}  // namespace

void makernote_canon(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size, const ExifSink& sink) {
  uint16_t n = 0;
  if (!read16(tiff, note_pos, &n) || n < 1) return;
  if (int64_t{note_size} <= int64_t{n} * 12 - 10) return;
  char text[kExifTextSize];
  for (uint32_t i = 0; i < n; ++i) {
    ExifEntry e;
    if (!exif_read_entry(tiff, note_pos, i, &e)) continue;
    switch (e.tag) {
      case 1:
        walk_array(tiff, e, kCameraSettingsTable, sink);
        break;
      case 4:
        walk_array(tiff, e, kShotInfoTable, sink);
        break;
      case 6: case 7: case 9: {
        const ExifTagDef* def = exif_find_tag(kOthersTable, e.tag);
        if (e.type != kExifAscii || e.byte_size != def->count) break;
        text_copy(text, sizeof text, tiff.data + e.value_pos, e.byte_size);
        if (text[0] != '\0') sink.emit(kExifSectionMakernotes, 0, exif_tag_name(*def), text);
        break;
      }
      case 8: {
        if (e.type != kExifLong || e.byte_size < 4) break;
        uint32_t v = get32(tiff, e.value_pos);
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
