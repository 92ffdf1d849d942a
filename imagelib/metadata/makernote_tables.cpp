// Tag tables of the maker notes read by the plain directory walk: Fujifilm, Olympus, Sigma and
// Foveon, Sanyo, and both Casio layouts. Tag numbers and values are the ones the makers' notes
// carry in their cameras' files, as publicly documented.
#include <iterator>

#include "imagelib/metadata/exif.h"
#include "imagelib/metadata/exif_internal.h"

namespace lumora {
namespace {

#define END_ROW {kExifValueEnd, kTextOther, nullptr}

// --- Fujifilm -----------------------------------------------------------------------------
constexpr ExifValueName kFujiSharpness[] = {
    {1, 0, "Soft"}, {2, 0, "Soft"}, {3, 0, "Normal"}, {4, 0, "Hard"}, {5, 0, "Hard"}, END_ROW};
constexpr ExifValueName kFujiWhiteBalance[] = {
    {0, 0, "Auto"}, {256, 0, "Daylight"}, {512, 0, "Cloudy"}, {768, 0, "DaylightColor-fluorescence"},
    {769, 0, "DaywhiteColor-fluorescence"}, {770, 0, "White-fluorescence"},
    {1024, 0, "Incandescence"}, {3840, 0, "Custom white balance"}, END_ROW};
constexpr ExifValueName kFujiNormalHighLow[] = {
    {0, 0, "Normal"}, {256, 0, "High"}, {512, 0, "Low"}, END_ROW};
constexpr ExifValueName kFujiFlashMode[] = {
    {0, 0, "Auto"}, {1, 0, "On"}, {2, 0, "Off"}, {3, 0, "Red-eye reduction"}, END_ROW};
constexpr ExifValueName kFujiOffOn[] = {{0, 0, "Off"}, {1, 0, "On"}, END_ROW};
constexpr ExifValueName kFujiFocusMode[] = {{0, 0, "Auto"}, {1, 0, "Manual"}, END_ROW};
constexpr ExifValueName kFujiPictureMode[] = {
    {0, 0, "Auto"}, {1, 0, "Portrait"}, {2, 0, "Landscape"}, {4, 0, "Sports"}, {5, 0, "Night"},
    {6, 0, "Program AE"}, {256, 0, "Aperture priority AE"}, {512, 0, "Shutter priority AE"},
    {768, 0, "Manual exposure"}, END_ROW};
constexpr ExifValueName kFujiBlur[] = {{0, 0, "None"}, {1, 0, "Blur Warning"}, END_ROW};
constexpr ExifValueName kFujiFocus[] = {{0, 0, "Auto Focus Good"}, {1, 0, "Out of Focus"}, END_ROW};
constexpr ExifValueName kFujiExposure[] = {{0, 0, "OK"}, {1, 0, "Over Exposed"}, END_ROW};

constexpr ExifTagDef kFujifilm[] = {
    {0x0, kExifUndefined, 0, 0, "Maker Note Version", nullptr},
    {0x1000, kExifAscii, 0, 0, "Quality Setting", nullptr},
    {0x1001, kExifShort, 0, 0, "Sharpness", kFujiSharpness},
    {0x1002, kExifShort, 0, 0, "White balance", kFujiWhiteBalance},
    {0x1003, kExifShort, 0, 0, "Color Saturation", kFujiNormalHighLow},
    {0x1004, kExifShort, 0, 0, "Tone", kFujiNormalHighLow},
    {0x1010, kExifShort, 0, 0, "Flash mode", kFujiFlashMode},
    {0x1011, kExifSRational, 0, 0, "Flash Strength", nullptr},
    {0x1020, kExifShort, 0, 0, "Macro", kFujiOffOn},
    {0x1021, kExifShort, 0, 0, "Focus Mode", kFujiFocusMode},
    {0x1030, kExifShort, 0, 0, "Slow Sync", kFujiOffOn},
    {0x1031, kExifShort, 0, 0, "Picture Mode", kFujiPictureMode},
    {0x1100, kExifShort, 0, 0, "Continuous/Bracketing", kFujiOffOn},
    {0x1300, kExifShort, 0, 0, "Blur Status", kFujiBlur},
    {0x1301, kExifShort, 0, 0, "Focus Status", kFujiFocus},
    {0x1302, kExifShort, 0, 0, "Exposure Status", kFujiExposure},
    {0xFFFF, 0, 0, 0, "Fujifilm Unknown", nullptr},
};

// --- Olympus ------------------------------------------------------------------------------
constexpr ExifValueName kOlympusQuality[] = {{0, 0, "SQ"}, {1, 0, "HQ"}, {2, 0, "SHQ"}, END_ROW};
constexpr ExifValueName kOlympusMacro[] = {{0, 0, "Normal"}, {1, 0, "Macro"}, END_ROW};

constexpr ExifTagDef kOlympus[] = {
    {0x200, 0, 0, 0, "Shooting Mode", nullptr},
    {0x201, 0, 0, 0, "Compression setting", kOlympusQuality},
    {0x202, 0, 0, 0, "Macro Mode", kOlympusMacro},
    {0x204, kExifRational, 0, 0, "Digital zoom", nullptr},
    {0x207, kExifAscii, 5, 0, "Firmware version", nullptr},
    {0x208, kExifAscii, 52, 0, "Picture info", nullptr},
    {0x209, kExifUndefined, 32, 0, "Camera ID", nullptr},
    {0xFFFF, 0, 0, 0, "Olympus Unknown", nullptr},
};

// --- Sigma and Foveon: every field is text ------------------------------------------------
constexpr ExifTagDef kSigma[] = {
    {0x2, kExifAscii, 0, 0, "Serial Number", nullptr},
    {0x3, kExifAscii, 0, 0, "Drive mode", nullptr},
    {0x4, kExifAscii, 0, 0, "Resolution Mode", nullptr},
    {0x5, kExifAscii, 0, 0, "Auto Focus Mode", nullptr},
    {0x6, kExifAscii, 0, 0, "Focus Setting", nullptr},
    {0x7, kExifAscii, 0, 0, "White balance", nullptr},
    {0x8, kExifAscii, 0, 0, "Exposure Mode", nullptr},
    {0x9, kExifAscii, 0, 0, "Metering Mode", nullptr},
    {0xA, kExifAscii, 0, 0, "Lens", nullptr},
    {0xB, kExifAscii, 0, 0, "Color Space", nullptr},
    {0xC, kExifAscii, 0, 0, "Exposure Compensation", nullptr},
    {0xD, kExifAscii, 0, 0, "Contrast", nullptr},
    {0xE, kExifAscii, 0, 0, "Shadow", nullptr},
    {0xF, kExifAscii, 0, 0, "Highlight", nullptr},
    {0x10, kExifAscii, 0, 0, "Saturation", nullptr},
    {0x11, kExifAscii, 0, 0, "Sharpness", nullptr},
    {0x12, kExifAscii, 0, 0, "X3 Fill Light", nullptr},
    {0x14, kExifAscii, 0, 0, "Color Adjustement", nullptr},
    {0x15, kExifAscii, 0, 0, "Adjustment Mode", nullptr},
    {0x16, kExifAscii, 0, 0, "Quality", nullptr},
    {0x17, kExifAscii, 0, 0, "Firmware", nullptr},
    {0x18, kExifAscii, 0, 0, "Software", nullptr},
    {0x19, kExifAscii, 0, 0, "Auto Bracket", nullptr},
};

// --- Sanyo --------------------------------------------------------------------------------
constexpr ExifValueName kSanyoQuality[] = {
    {0, 0, "Normal/Very Low"}, {1, 0, "Normal/Low"}, {2, 0, "Normal/Medium Low"},
    {3, 0, "Normal/Medium"}, {4, 0, "Normal/Medium High"}, {5, 0, "Normal/High"},
    {6, 0, "Normal/Very High"}, {7, 0, "Normal/Super High"},
    {256, 0, "Fine/Very Low"}, {257, 0, "Fine/Low"}, {258, 0, "Fine/Medium Low"},
    {259, 0, "Fine/Medium"}, {260, 0, "Fine/Medium High"}, {261, 0, "Fine/High"},
    {262, 0, "Fine/Very High"}, {263, 0, "Fine/Super High"},
    {512, 0, "Super Fine/Very Low"}, {513, 0, "Super Fine/Low"}, {514, 0, "Super Fine/Medium Low"},
    {515, 0, "Super Fine/Medium"}, {516, 0, "Super Fine/Medium High"}, {517, 0, "Super Fine/High"},
    {518, 0, "Super Fine/Very High"}, END_ROW};
constexpr ExifValueName kSanyoMacro[] = {
    {0, 0, "Normal"}, {1, 0, "Macro"}, {2, 0, "View"}, {3, 0, "Manual"}, END_ROW};
constexpr ExifValueName kSanyoOffOn[] = {{0, 0, "Off"}, {1, 0, "On"}, END_ROW};
constexpr ExifValueName kSanyoSequential[] = {
    {0, 0, "None"}, {1, 0, "Standard"}, {2, 0, "Best"}, {3, 0, "Adjust Exposure"}, END_ROW};
constexpr ExifValueName kSanyoScene[] = {
    {0, 0, "Off"}, {1, 0, "Sport"}, {2, 0, "TV"}, {3, 0, "Night"}, {4, 0, "User 1"},
    {5, 0, "User 2"}, {6, 0, "Lamp"}, END_ROW};
constexpr ExifValueName kSanyoInterval[] = {
    {0, 0, "5 frames/sec"}, {1, 0, "10 frames/sec"}, {2, 0, "15 frames/sec"},
    {3, 0, "20 frames/sec"}, END_ROW};
constexpr ExifValueName kSanyoFlash[] = {
    {0, 0, "Auto"}, {1, 0, "Force"}, {2, 0, "Disabled"}, {3, 0, "Red eye"}, END_ROW};
constexpr ExifValueName kSanyoResaved[] = {{0, 0, "No"}, {1, 0, "Yes"}, END_ROW};
constexpr ExifValueName kSanyoColour[] = {{0, 0, "Off"}, {1, 0, "On"}, END_ROW};

constexpr ExifTagDef kSanyo[] = {
    {0xFF, 0, 0, 0, "Maker Note Offset", nullptr},
    {0x100, 0, 0, 0, "Thumbnail", nullptr},
    {0x200, 0, 0, 0, "Special Mode", nullptr},
    {0x201, 0, 0, 0, "Quality", kSanyoQuality},
    {0x202, 0, 0, 0, "Macro", kSanyoMacro},
    {0x204, 0, 0, 0, "Digital zoom", nullptr},
    {0x207, 0, 0, 0, "Software Release", nullptr},
    {0x208, 0, 0, 0, "Picture info", nullptr},
    {0x209, 0, 0, 0, "Camera ID", nullptr},
    {0x20E, 0, 0, 0, "Sequential Shot", kSanyoSequential},
    {0x20F, 0, 0, 0, "Wide Range", kSanyoOffOn},
    {0x210, 0, 0, 0, "Color Adjustment Mode", kSanyoColour},
    {0x213, 0, 0, 0, "Quick Shot", kSanyoOffOn},
    {0x214, 0, 0, 0, "Self Timer", kSanyoOffOn},
    {0x216, 0, 0, 0, "Voice Memo", kSanyoOffOn},
    {0x217, 0, 0, 0, "Record Shutter Release", nullptr},
    {0x218, 0, 0, 0, "Flicker Reduce", kSanyoOffOn},
    {0x219, 0, 0, 0, "Optical Zoom", kSanyoOffOn},
    {0x21B, 0, 0, 0, "Digital Zoom On", kSanyoOffOn},
    {0x21D, 0, 0, 0, "Light Source Special", kSanyoOffOn},
    {0x21E, 0, 0, 0, "Resaved", kSanyoResaved},
    {0x21F, 0, 0, 0, "Scene Select", kSanyoScene},
    {0x223, 0, 0, 0, "Manual Focus Distance", nullptr},
    {0x224, 0, 0, 0, "Sequence Shot Interval", kSanyoInterval},
    {0x225, 0, 0, 0, "Flash mode", kSanyoFlash},
};

// --- Casio, "QVC" layout (big-endian, offsets from the TIFF data) --------------------------
constexpr ExifValueName kCasioQuality2[] = {{1, 0, "Fine"}, {2, 0, "Super Fine"}, END_ROW};
constexpr ExifValueName kCasioImageSize[] = {
    {0, 0, "640x480"}, {4, 0, "1600x1200"}, {5, 0, "2048x1536"}, {20, 0, "2288x1712"},
    {21, 0, "2592x1944"}, {22, 0, "2304x1728"}, {36, 0, "3008x2008"}, END_ROW};
constexpr ExifValueName kCasioFocusMode2[] = {{0, 0, "Normal"}, {1, 0, "Macro"}, END_ROW};
constexpr ExifValueName kCasioIso2[] = {
    {3, 0, "50"}, {4, 0, "64"}, {6, 0, "100"}, {9, 0, "200"}, END_ROW};
constexpr ExifValueName kCasioWhiteBalance2[] = {
    {0, 0, "Auto"}, {1, 0, "Daylight"}, {2, 0, "Shade"}, {3, 0, "Tungsten"}, {4, 0, "Fluorescent"},
    {5, 0, "Manual"}, END_ROW};
constexpr ExifValueName kCasioLowNormalHigh[] = {
    {0, 0, "-1"}, {1, 0, "Normal"}, {2, 0, "+1"}, END_ROW};
constexpr ExifValueName kCasioWhiteBalance3[] = {
    {0, 0, "Manual"}, {1, 0, "Daylight"}, {2, 0, "Cloudy"}, {3, 0, "Shade"}, {4, 0, "Flash"},
    {6, 0, "Fluorescent"}, {9, 0, "Tungsten"}, {10, 0, "Tungsten"}, {12, 0, "Flash"}, END_ROW};
constexpr ExifValueName kCasioRecordMode[] = {{2, 0, "Normal"}, END_ROW};
constexpr ExifValueName kCasioQuality3[] = {
    {1, 0, "Economy"}, {2, 0, "Normal"}, {3, 0, "Fine"}, END_ROW};
constexpr ExifValueName kCasioFocusMode3[] = {
    {0, 0, "Manual"}, {1, 0, "Focus Lock"}, {2, 0, "Macro"}, {3, 0, "Single-Area Auto Focus"},
    {5, 0, "Infinity"}, {6, 0, "Multi-Area Auto Focus"}, {8, 0, "Super Macro"}, END_ROW};
constexpr ExifValueName kCasioOff[] = {{0, 0, "Off"}, END_ROW};

constexpr ExifTagDef kCasioQvc[] = {
    {0x2, 0, 0, 0, "Thumbnail Dimensions", nullptr},
    {0x3, 0, 0, 0, "Thumbnail Size", nullptr},
    {0x4, 0, 0, 0, "Thumbnail Offset", nullptr},
    {0x8, 0, 0, 0, "Quality Mode", kCasioQuality2},
    {0x9, 0, 0, 0, "Image Size", kCasioImageSize},
    {0xD, 0, 0, 0, "Focus Mode", kCasioFocusMode2},
    {0x14, 0, 0, 0, "Iso Sensitivity", kCasioIso2},
    {0x19, 0, 0, 0, "White balance", kCasioWhiteBalance2},
    {0x1D, 0, 0, 0, "Focal Length", nullptr},
    {0x1F, 0, 0, 0, "Saturation", kCasioLowNormalHigh},
    {0x20, 0, 0, 0, "Contrast", kCasioLowNormalHigh},
    {0x21, 0, 0, 0, "Sharpness", kCasioLowNormalHigh},
    {0xE00, 0, 0, 0, "Print IM", nullptr},
    {0x2011, 0, 0, 0, "White Balance Bias", nullptr},
    {0x2012, 0, 0, 0, "White Balance", kCasioWhiteBalance3},
    {0x2022, 0, 0, 0, "Object Distance", nullptr},
    {0x2034, 0, 0, 0, "Flash Distance", nullptr},
    {0x3000, 0, 0, 0, "Record Mode", kCasioRecordMode},
    {0x3001, 0, 0, 0, "Self Timer", nullptr},
    {0x3002, 0, 0, 0, "Quality", kCasioQuality3},
    {0x3003, 0, 0, 0, "Focus Mode", kCasioFocusMode3},
    {0x3006, kExifAscii, 0, 0, "Time Zone", nullptr},
    {0x3007, 0, 0, 0, "Best Shot Mode", nullptr},
    {0x3014, 0, 0, 0, "CCD ISO Sensitivity", nullptr},
    {0x3015, 0, 0, 0, "Color Mode", kCasioOff},
    {0x3016, 0, 0, 0, "Enhancement", kCasioOff},
    {0x3017, 0, 0, 0, "Filter", kCasioOff},
};

// --- Casio, plain layout ------------------------------------------------------------------
constexpr ExifValueName kCasioRecording[] = {
    {1, 0, "Single Shutter"}, {2, 0, "Panorama"}, {3, 0, "Night Scene"}, {4, 0, "Portrait"},
    {5, 0, "Landscape"}, END_ROW};
constexpr ExifValueName kCasioFocus[] = {
    {2, 0, "Macro"}, {3, 0, "Auto Focus"}, {4, 0, "Manual Focus"}, {5, 0, "Infinity"}, END_ROW};
constexpr ExifValueName kCasioFlash[] = {
    {1, 0, "Auto"}, {2, 0, "On"}, {3, 0, "Off"}, {4, 0, "Red-eye Reduction"}, END_ROW};
constexpr ExifValueName kCasioFlashIntensity[] = {
    {11, 0, "Weak"}, {13, 0, "Normal"}, {15, 0, "Strong"}, END_ROW};
constexpr ExifValueName kCasioWhiteBalance[] = {
    {1, 0, "Auto"}, {2, 0, "Tungsten"}, {3, 0, "Daylight"}, {4, 0, "Fluorescent"}, {5, 0, "Shade"},
    {129, 0, "Manual"}, END_ROW};
constexpr ExifValueName kCasioZoom[] = {
    {65536, 0, "Off"}, {65537, 0, "2X Digital Zoom"}, END_ROW};
constexpr ExifValueName kCasioSoftHard[] = {{0, 0, "Normal"}, {1, 0, "Soft"}, {2, 0, "Hard"}, END_ROW};
constexpr ExifValueName kCasioLowHigh[] = {{0, 0, "Normal"}, {1, 0, "Low"}, {2, 0, "High"}, END_ROW};
constexpr ExifValueName kCasioSensitivity[] = {
    {64, 0, "Normal"}, {80, 0, "Normal"}, {100, 0, "High"}, {125, 0, "+1.0"}, {244, 0, "+3.0"},
    {250, 0, "+2.0"}, END_ROW};

constexpr ExifTagDef kCasio[] = {
    {0x1, 0, 0, 0, "Recording Mode", kCasioRecording},
    {0x2, 0, 0, 0, "Quality Setting", kCasioQuality3},
    {0x3, 0, 0, 0, "Focus Mode", kCasioFocus},
    {0x4, 0, 0, 0, "Flash mode", kCasioFlash},
    {0x5, 0, 0, 0, "Flash Intensity", kCasioFlashIntensity},
    {0x6, 0, 0, 0, "Object Distance", nullptr},
    {0x7, 0, 0, 0, "White balance", kCasioWhiteBalance},
    {0xA, kExifLong, 0, 0, "Digital zoom", kCasioZoom},
    {0xB, 0, 0, 0, "Sharpness", kCasioSoftHard},
    {0xC, 0, 0, 0, "Contrast", kCasioLowHigh},
    {0xD, 0, 0, 0, "Saturation", kCasioLowHigh},
    {0x14, 0, 0, 0, "CCD Sensitivity", kCasioSensitivity},
};

#undef END_ROW

constexpr ExifTagTable kFujifilmTable{kFujifilm, std::size(kFujifilm)};
constexpr ExifTagTable kOlympusTable{kOlympus, std::size(kOlympus)};
constexpr ExifTagTable kSigmaTable{kSigma, std::size(kSigma)};
constexpr ExifTagTable kSanyoTable{kSanyo, std::size(kSanyo)};
constexpr ExifTagTable kCasioQvcTable{kCasioQvc, std::size(kCasioQvc)};
constexpr ExifTagTable kCasioTable{kCasio, std::size(kCasio)};

}  // namespace

const ExifTagTable& makernote_fujifilm_table() { return kFujifilmTable; }
const ExifTagTable& makernote_olympus_table() { return kOlympusTable; }
const ExifTagTable& makernote_sigma_table() { return kSigmaTable; }
const ExifTagTable& makernote_sanyo_table() { return kSanyoTable; }
const ExifTagTable& makernote_casio_qvc_table() { return kCasioQvcTable; }
const ExifTagTable& makernote_casio_table() { return kCasioTable; }

}  // namespace lumora
