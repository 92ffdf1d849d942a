// Minolta maker note: a directory at the start of the note (offsets from the TIFF data). Tags 1
// and 3 hold the camera settings, an array of big-endian 32-bit numbers whose positions are
// decoded by the table and the formatter below; the other tags are plain values.
#include <cmath>
#include <iterator>

#include "imagelib/metadata/exif_bytes.h"
#include "imagelib/metadata/exif_internal.h"

namespace lumora {

using namespace exif_bytes;

namespace {

#define END_ROW {kExifValueEnd, kTextOther, nullptr}

constexpr ExifValueName kExposureMode[] = {
    {0, 0, "Program"}, {1, 0, "Aperture priority"}, {2, 0, "Shutter priority"}, {3, 0, "Manual"}, END_ROW};
constexpr ExifValueName kFlashMode[] = {
    {0, 0, "Fill flash"}, {1, 0, "Red-eye reduction"}, {2, 0, "Rear flash sync"}, {3, 0, "Wireless"}, END_ROW};
constexpr ExifValueName kWhiteBalance[] = {
    {0, 0, "Auto"}, {1, 0, "Daylight"}, {2, 0, "Cloudy"}, {3, 0, "Tungsten"}, {5, 0, "Custom"},
    {7, 0, "Fluorescent"}, {8, 0, "Fluorescent 2"}, {11, 0, "Custom 2"}, {12, 0, "Custom 3"}, END_ROW};
constexpr ExifValueName kImageSize[] = {
    {0, 0, "Full"}, {1, 0, "1600x1200"}, {2, 0, "1280x960"}, {3, 0, "640x480"}, END_ROW};
constexpr ExifValueName kImageQuality[] = {
    {0, 0, "Raw"}, {1, 0, "Super Fine"}, {2, 0, "Fine"}, {3, 0, "Standard"}, {4, 0, "Economy"},
    {5, 0, "Extra Fine"}, END_ROW};
constexpr ExifValueName kDriveMode[] = {
    {0, 0, "Single"}, {1, 0, "Continuous"}, {2, 0, "Self-timer"}, {4, 0, "Bracketing"},
    {5, 0, "Interval"}, {6, 0, "UHS continuous"}, {7, 0, "HS continuous"}, END_ROW};
constexpr ExifValueName kMetering[] = {
    {0, 0, "Multi-segment"}, {1, 0, "Center weighted"}, {2, 0, "Spot"}, END_ROW};
constexpr ExifValueName kOffOn[] = {{0, 0, "Off"}, {1, 0, "On"}, END_ROW};
constexpr ExifValueName kDigitalZoom[] = {
    {0, 0, "Off"}, {1, 0, "Electronic magnification"}, {2, 0, "2x"}, END_ROW};
constexpr ExifValueName kBracketStep[] = {{0, 0, "1/3 EV"}, {1, 0, "2/3 EV"}, {2, 0, "1 EV"}, END_ROW};
constexpr ExifValueName kNoYes[] = {{0, 0, "No"}, {1, 0, "Yes"}, END_ROW};
constexpr ExifValueName kSharpness[] = {{0, 0, "Hard"}, {1, 0, "Normal"}, {2, 0, "Soft"}, END_ROW};
constexpr ExifValueName kSubjectProgram[] = {
    {0, 0, "None"}, {1, 0, "Portrait"}, {2, 0, "Text"}, {3, 0, "Night portrait"}, {4, 0, "Sunset"},
    {5, 0, "Sports action"}, END_ROW};
constexpr ExifValueName kIsoSetting[] = {
    {0, 0, "100"}, {1, 0, "200"}, {2, 0, "400"}, {3, 0, "800"}, {4, 0, "Auto"}, {5, 0, "64"}, END_ROW};
constexpr ExifValueName kCameraModel[] = {
    {0, 0, "DiMAGE 7"}, {1, 0, "DiMAGE 5"}, {2, 0, "DiMAGE S304"}, {3, 0, "DiMAGE S404"},
    {4, 0, "DiMAGE 7i"}, {5, 0, "DiMAGE 7Hi"}, {6, 0, "DiMAGE A1"}, {7, 0, "DiMAGE A2 / S414"}, END_ROW};
constexpr ExifValueName kIntervalMode[] = {{0, 0, "Still image"}, {1, 0, "Time-lapse movie"}, END_ROW};
constexpr ExifValueName kFolderName[] = {{0, 0, "Standard form"}, {1, 0, "Data form"}, END_ROW};
constexpr ExifValueName kColorMode[] = {
    {0, 0, "Natural color"}, {1, 0, "Black&White"}, {2, 0, "Vivid color"}, {3, 0, "Solarization"},
    {4, 0, "Adobe RGB"}, END_ROW};
constexpr ExifValueName kInternalFlash[] = {{0, 0, "No"}, {1, 0, "Fired"}, END_ROW};
constexpr ExifValueName kWideFocusZone[] = {
    {0, 0, "No zone"}, {1, 0, "Center zone (horizontal orientation)"},
    {2, 0, "Center zone (vertical orientation)"}, {3, 0, "Left zone"}, {4, 0, "Right zone"}, END_ROW};
constexpr ExifValueName kFocusMode[] = {{0, 0, "AF"}, {1, 0, "MF"}, END_ROW};
constexpr ExifValueName kFocusArea[] = {{0, 0, "Wide focus (normal)"}, {1, 0, "Spot focus"}, END_ROW};
constexpr ExifValueName kDecPosition[] = {
    {0, 0, "Exposure"}, {1, 0, "Contrast"}, {2, 0, "Saturation"}, {3, 0, "Filter"}, END_ROW};
constexpr ExifValueName kQuality[] = {
    {0, 0, "Raw"}, {1, 0, "Super Fine"}, {2, 0, "Fine"}, {3, 0, "Standard"}, {4, 0, "Economy"},
    {5, 0, "Extra Fine"}, END_ROW};
constexpr ExifValueName kSceneMode[] = {
    {0, 0, "Standard"}, {1, 0, "Portrait"}, {2, 0, "Text"}, {3, 0, "Night Scene"}, {4, 0, "Sunset"},
    {5, 0, "Sports"}, END_ROW};

// Camera settings, by array position.
constexpr ExifTagDef kCameraSettings[] = {
    {0x1, 0, 0, 0, "Exposure mode", kExposureMode},
    {0x2, 0, 0, 0, "Flash mode", kFlashMode},
    {0x3, 0, 0, 0, "White balance", kWhiteBalance},
    {0x4, 0, 0, 0, "Image size", kImageSize},
    {0x5, 0, 0, 0, "Image quality", kImageQuality},
    {0x6, 0, 0, 0, "Drive mode", kDriveMode},
    {0x7, 0, 0, 0, "Metering mode", kMetering},
    {0x8, 0, 0, 0, "ISO", nullptr},
    {0x9, 0, 0, 0, "Shutter speed [s]", nullptr},
    {0xA, 0, 0, 0, "Aperture", nullptr},
    {0xB, 0, 0, 0, "Macro mode", kOffOn},
    {0xC, 0, 0, 0, "Digital zoom", kDigitalZoom},
    {0xD, 0, 0, 0, "Exposure compensation", nullptr},
    {0xE, 0, 0, 0, "Bracket step", kBracketStep},
    {0x10, 0, 0, 0, "Interval length", nullptr},
    {0x11, 0, 0, 0, "Interval number", nullptr},
    {0x12, 0, 0, 0, "Focal length [mm]", nullptr},
    {0x13, 0, 0, 0, "Focus distance", nullptr},
    {0x14, 0, 0, 0, "Flash fired", kNoYes},
    {0x15, 0, 0, 0, "Date", nullptr},
    {0x16, 0, 0, 0, "Time", nullptr},
    {0x17, 0, 0, 0, "Max aperture", nullptr},
    {0x1A, 0, 0, 0, "File number memory", kOffOn},
    {0x1B, 0, 0, 0, "Last file number", nullptr},
    {0x1C, 0, 0, 0, "Color balance red", nullptr},
    {0x1D, 0, 0, 0, "Color balance green", nullptr},
    {0x1E, 0, 0, 0, "Color balance blue", nullptr},
    {0x1F, 0, 0, 0, "Saturation", nullptr},
    {0x20, 0, 0, 0, "Contrast", nullptr},
    {0x21, 0, 0, 0, "Sharpness", kSharpness},
    {0x22, 0, 0, 0, "Subject program", kSubjectProgram},
    {0x23, 0, 0, 0, "Flash exposure compensation", nullptr},
    {0x24, 0, 0, 0, "ISO setting", kIsoSetting},
    {0x25, 0, 0, 0, "Camera Model", kCameraModel},
    {0x26, 0, 0, 0, "Interval mode", kIntervalMode},
    {0x27, 0, 0, 0, "Folder name", kFolderName},
    {0x28, 0, 0, 0, "Color mode", kColorMode},
    {0x29, 0, 0, 0, "Color filter", nullptr},
    {0x2A, 0, 0, 0, "B&W filter", nullptr},
    {0x2B, 0, 0, 0, "Internal flash", kInternalFlash},
    {0x2C, 0, 0, 0, "Brightness", nullptr},
    {0x2D, 0, 0, 0, "Spot focus point X", nullptr},
    {0x2E, 0, 0, 0, "Spot focus point Y", nullptr},
    {0x2F, 0, 0, 0, "Wide Focus Zone", kWideFocusZone},
    {0x30, 0, 0, 0, "Focus mode", kFocusMode},
    {0x31, 0, 0, 0, "Focus area", kFocusArea},
    {0x32, 0, 0, 0, "DECPosition", kDecPosition},
};

// The other tags of the note.
constexpr ExifTagDef kGeneral[] = {
    {0x0, 0, 0, 0, "Version", nullptr},
    {0x40, 0, 0, 0, "Compressed Image Size", nullptr},
    {0x88, 0, 0, 0, "Preview Image Start", nullptr},
    {0x89, 0, 0, 0, "Preview Image Length", nullptr},
    {0x100, 0, 0, 0, "Scene Mode", kSceneMode},
    {0x101, 0, 0, 0, "Color Mode", kColorMode},
    {0x102, 0, 0, 0, "Minolta Quality", kQuality},
    {0x103, 0, 0, 0, "Minolta Quality", kQuality},
    {0xE00, 0, 0, 0, "Print IM", nullptr},
};

#undef END_ROW

constexpr ExifTagTable kCameraSettingsTable{kCameraSettings, std::size(kCameraSettings)};
constexpr ExifTagTable kGeneralTable{kGeneral, std::size(kGeneral)};

// Entries of a type above this end the walk (the note is not a directory after all).
constexpr uint16_t kLastPlausibleType = 52;

// The camera-settings values that need arithmetic (x is the element's value).
bool format_setting(uint32_t position, uint32_t x, char* out, size_t size) {
  auto trunc = truncate_to_integer;
  switch (position) {
    case 0x8:  // ISO: APEX speed value in eighths
      text_printf(out, size, "%lld", trunc(std::pow(2.0, static_cast<double>(x >> 3) - 1.0) * 3.125));
      return true;
    case 0x9: {  // shutter speed, seconds
      double t = std::pow(2.0, (48.0 - x) / 8.0);
      if (t > 0 && t < 0.25001) text_printf(out, size, "1/%lld", trunc(1.0 / t + 0.5));
      else text_printf(out, size, "%.1f", t);
      return true;
    }
    case 0xA: case 0x17:  // aperture, max aperture: f-number
      text_printf(out, size, "%.1f", std::pow(2.0, x / 16.0 - 0.5));
      return true;
    case 0xD:  // exposure compensation, EV
      text_printf(out, size, "%lld", trunc(x / 3.0 - 2.0));
      return true;
    case 0x12: case 0x1C: case 0x1D: case 0x1E:  // focal length (mm), colour balance
      text_printf(out, size, "%.4f", x / 256.0);
      return true;
    case 0x13:  // focus distance, millimetres
      if (x / 1000 == 0) text_printf(out, size, "inf");
      else text_printf(out, size, "%u m", x / 1000);
      return true;
    case 0x15:  // date: year, month, day
      text_printf(out, size, "%4u:%.2u:%.2u", x >> 16, (x >> 8) & 255, x & 255);
      return true;
    case 0x16:  // time: hours, minutes, seconds
      text_printf(out, size, "%2u:%.2u:%.2u", x >> 16, (x >> 8) & 255, x & 255);
      return true;
    case 0x1F: case 0x20: case 0x29:  // saturation, contrast, colour filter: stored + 3
      text_printf(out, size, "%lld", static_cast<long long>(x) - 3);
      return true;
    case 0x23:  // flash exposure compensation, EV
      text_printf(out, size, "%.1f", (static_cast<double>(x) - 6.0) / 3.0);
      return true;
    case 0x2C:  // brightness
      text_printf(out, size, "%.4f", x / 8.0 - 6.0);
      return true;
    default:
      return false;
  }
}

void walk_settings(const ExifBlock& tiff, const ExifEntry& e, const ExifSink& sink) {
  ExifBlock big{tiff.data, tiff.size, true};  // the array is big-endian in either block order
  uint32_t elements = e.byte_size / 4;
  char text[kExifTextSize];
  for (uint32_t i = 0; i < elements; ++i) {
    const ExifTagDef* def = exif_find_tag(kCameraSettingsTable, i);
    if (def == nullptr) continue;
    uint32_t x = get32(big, e.value_pos + 4 * i);
    if (!format_setting(i, x, text, sizeof text)) {
      if (def->values != nullptr) text_printf(text, sizeof text, "%s", exif_value_name(def->values, x));
      else text_printf(text, sizeof text, "%u", x);
    }
    sink.emit(kExifSectionMakernotes, 0, exif_tag_name(*def), text);
  }
}

}  // namespace

void makernote_minolta(const ExifBlock& tiff, uint32_t note_pos, uint32_t note_size,
                       const ExifSink& sink) {
  uint16_t n = 0;
  if (!read16(tiff, note_pos, &n) || n < 1) return;
  const uint8_t* note = tiff.data + note_pos;
  if (uint64_t{note_size} <= uint64_t{n} * 8) return;
  if (note[0] == '+' || note[1] == 'M') return;  // older notes that are not a directory
  char text[kExifTextSize];
  for (uint32_t i = 0; i < n; ++i) {
    uint64_t at = uint64_t{note_pos} + 2 + uint64_t{i} * 12;
    if (!inside(tiff, at, 12)) break;
    if (get16(tiff, static_cast<uint32_t>(at) + 2) > kLastPlausibleType) break;
    ExifEntry e;
    if (!exif_read_entry(tiff, note_pos, i, &e)) continue;
    if (e.tag == 1 || e.tag == 3) {
      walk_settings(tiff, e, sink);
      continue;
    }
    const ExifTagDef* def = exif_find_tag(kGeneralTable, e.tag);
    if (def == nullptr) continue;
    const uint8_t* p = tiff.data + e.value_pos;
    if (e.tag == 0 && e.byte_size == 4) text_printf(text, sizeof text, "%c%c%c%c", p[0], p[1], p[2], p[3]);
    else if (def->values != nullptr) exif_lookup_value(tiff, e, *def, text, sizeof text);
    else exif_format_generic(tiff, e, text, sizeof text);
    if (text[0] != '\0') sink.emit(kExifSectionMakernotes, 0, exif_tag_name(*def), text);
  }
}

}  // namespace lumora
