// Tag tables of the camera (IFD0 and thumbnail IFD1), image (Exif IFD), interoperability and GPS
// sections, their value tables, and the text table their names come from. Tag numbers and
// meanings: Exif 2.2 (JEITA CP-3451) sections 4.6.4 to 4.6.6; TIFF 6.0 for the IFD0 tags.
#include <iterator>

#include "imagelib/metadata/exif.h"

namespace lumora {
namespace {

constexpr ExifValueName kValues0112[] = {
    {1, 110, nullptr},
    {2, 111, nullptr},
    {3, 112, nullptr},
    {4, 113, nullptr},
    {5, 114, nullptr},
    {6, 115, nullptr},
    {7, 116, nullptr},
    {8, 117, nullptr},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValues0213[] = {
    {1, 118, nullptr},
    {2, 119, nullptr},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValues8822[] = {
    {0, 120, nullptr},
    {1, 88, nullptr},
    {2, 87, nullptr},
    {3, 121, nullptr},
    {4, 122, nullptr},
    {5, 123, nullptr},
    {6, 124, nullptr},
    {7, 125, nullptr},
    {8, 126, nullptr},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValues9207[] = {
    {0, 85, nullptr},
    {1, 127, nullptr},
    {2, 128, nullptr},
    {3, 129, nullptr},
    {4, 130, nullptr},
    {5, 131, nullptr},
    {6, 132, nullptr},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValues9208[] = {
    {0, 85, nullptr},
    {1, 133, nullptr},
    {2, 134, nullptr},
    {3, 135, nullptr},
    {17, 136, nullptr},
    {18, 137, nullptr},
    {19, 138, nullptr},
    {20, 139, nullptr},
    {21, 140, nullptr},
    {22, 141, nullptr},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA210[] = {
    {1, 104, nullptr},
    {2, 104, nullptr},
    {3, 0, "cm"},
    {4, 0, "mm"},
    {5, 0, "um"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA217[] = {
    {1, 142, nullptr},
    {2, 143, nullptr},
    {3, 144, nullptr},
    {4, 145, nullptr},
    {5, 146, nullptr},
    {6, 147, nullptr},
    {7, 148, nullptr},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA401[] = {
    {0, 240, nullptr},
    {1, 0, "Custom process"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA402[] = {
    {0, 89, nullptr},
    {1, 88, nullptr},
    {2, 0, "Auto bracket"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA403[] = {
    {0, 89, nullptr},
    {1, 88, nullptr},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA406[] = {
    {0, 100, nullptr},
    {1, 0, "Landscape"},
    {2, 0, "Portrait"},
    {3, 0, "Night scene"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA407[] = {
    {0, 98, nullptr},
    {1, 0, "Low gain up"},
    {2, 0, "High gain up"},
    {3, 0, "Low gain down"},
    {4, 0, "High gain down"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesSoftHard[] = {
    {0, 87, nullptr},
    {1, 0, "Soft"},
    {2, 0, "Hard"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA409[] = {
    {0, 87, nullptr},
    {1, 92, nullptr},
    {2, 93, nullptr},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesA40C[] = {
    {0, 85, nullptr},
    {1, 0, "Macro"},
    {2, 0, "Close View"},
    {3, 0, "Distant View"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesGpsNorthSouth[] = {
    {78, 0, "North"},
    {83, 0, "South"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesGpsEastWest[] = {
    {69, 0, "East"},
    {87, 0, "West"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesGpsBearing[] = {
    {77, 0, "Magnetic North"},
    {84, 0, "True North"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesGpsAltitudeRef[] = {
    {0, 0, "Sea Level"},
    {1, 0, "Below Sea Level"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesGpsStatus[] = {
    {65, 0, "Measurement In Progress"},
    {86, 0, "Measurement Interoperability"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesGpsMeasureMode[] = {
    {2, 0, "2-Dimensional Measurement"},
    {3, 0, "3-Dimensional Measurement"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifValueName kValuesGpsDifferential[] = {
    {0, 0, "No Correction"},
    {1, 0, "Differential Corrected"},
    {kExifValueEnd, 86, nullptr},
};

constexpr ExifTagDef kIfd0Defs[] = {
    {0x100, 0, 0, 1, nullptr, nullptr},
    {0x101, 0, 0, 2, nullptr, nullptr},
    {0x102, 0, 0, 3, nullptr, nullptr},
    {0x103, 0, 0, 4, nullptr, nullptr},
    {0x106, 0, 0, 5, nullptr, nullptr},
    {0x10A, 0, 0, 6, nullptr, nullptr},
    {0x10D, 0, 0, 7, nullptr, nullptr},
    {0x10E, 0, 0, 8, nullptr, nullptr},
    {0x10F, 0, 0, 9, nullptr, nullptr},
    {0x110, 0, 0, 10, nullptr, nullptr},
    {0x111, 0, 0, 11, nullptr, nullptr},
    {0x112, 0, 0, 12, nullptr, kValues0112},
    {0x115, 0, 0, 13, nullptr, nullptr},
    {0x116, 0, 0, 14, nullptr, nullptr},
    {0x117, 0, 0, 15, nullptr, nullptr},
    {0x11A, 0, 0, 16, nullptr, nullptr},
    {0x11B, 0, 0, 17, nullptr, nullptr},
    {0x11C, 0, 0, 18, nullptr, nullptr},
    {0x128, 0, 0, 19, nullptr, nullptr},
    {0x12D, 0, 0, 20, nullptr, nullptr},
    {0x131, 0, 0, 21, nullptr, nullptr},
    {0x132, 0, 0, 22, nullptr, nullptr},
    {0x13B, 0, 0, 23, nullptr, nullptr},
    {0x13E, 0, 0, 24, nullptr, nullptr},
    {0x13F, 0, 0, 25, nullptr, nullptr},
    {0x156, 0, 0, 26, nullptr, nullptr},
    {0x200, 0, 0, 27, nullptr, nullptr},
    {0x201, 0, 0, 0, "Thumbnail offset", nullptr},
    {0x202, 0, 0, 0, "Thumbnail length", nullptr},
    {0x211, 0, 0, 28, nullptr, nullptr},
    {0x212, 0, 0, 29, nullptr, nullptr},
    {0x213, 0, 0, 30, nullptr, kValues0213},
    {0x214, 0, 0, 31, nullptr, nullptr},
};

constexpr ExifTagDef kExifDefs[] = {
    {0x828D, 0, 0, 32, nullptr, nullptr},
    {0x828E, 0, 0, 33, nullptr, nullptr},
    {0x828F, 0, 0, 34, nullptr, nullptr},
    {0x8298, 0, 0, 35, nullptr, nullptr},
    {0x829A, 0, 0, 36, nullptr, nullptr},
    {0x829D, 0, 0, 37, nullptr, nullptr},
    {0x83BB, 0, 0, 38, nullptr, nullptr},
    {0x8769, 0, 0, 39, nullptr, nullptr},
    {0x8773, 0, 0, 40, nullptr, nullptr},
    {0x8822, 0, 0, 41, nullptr, kValues8822},
    {0x8824, 0, 0, 42, nullptr, nullptr},
    {0x8825, 0, 0, 43, nullptr, nullptr},
    {0x8827, 0, 0, 44, nullptr, nullptr},
    {0x8828, 0, 0, 45, nullptr, nullptr},
    {0x9000, 0, 0, 46, nullptr, nullptr},
    {0x9003, 0, 0, 47, nullptr, nullptr},
    {0x9004, 0, 0, 48, nullptr, nullptr},
    {0x9101, 0, 0, 49, nullptr, nullptr},
    {0x9102, 0, 0, 50, nullptr, nullptr},
    {0x9201, 0, 0, 51, nullptr, nullptr},
    {0x9202, 0, 0, 52, nullptr, nullptr},
    {0x9203, 0, 0, 53, nullptr, nullptr},
    {0x9204, 0, 0, 54, nullptr, nullptr},
    {0x9205, 0, 0, 55, nullptr, nullptr},
    {0x9206, 0, 0, 56, nullptr, nullptr},
    {0x9207, 0, 0, 57, nullptr, kValues9207},
    {0x9208, 0, 0, 58, nullptr, kValues9208},
    {0x9209, 0, 0, 59, nullptr, nullptr},
    {0x920A, 0, 0, 60, nullptr, nullptr},
    {0x927C, 0, 0, 61, nullptr, nullptr},
    {0x9286, 0, 0, 62, nullptr, nullptr},
    {0x9290, 0, 0, 63, nullptr, nullptr},
    {0x9291, 0, 0, 64, nullptr, nullptr},
    {0x9292, 0, 0, 65, nullptr, nullptr},
    {0xA000, 0, 0, 66, nullptr, nullptr},
    {0xA001, 0, 0, 67, nullptr, nullptr},
    {0xA002, 0, 0, 1, nullptr, nullptr},
    {0xA003, 0, 0, 2, nullptr, nullptr},
    {0xA005, 0, 0, 68, nullptr, nullptr},
    {0xA20B, 0, 0, 69, nullptr, nullptr},
    {0xA20C, 0, 0, 70, nullptr, nullptr},
    {0xA20E, 0, 0, 71, nullptr, nullptr},
    {0xA20F, 0, 0, 72, nullptr, nullptr},
    {0xA210, 0, 0, 73, nullptr, kValuesA210},
    {0xA214, 0, 0, 74, nullptr, nullptr},
    {0xA215, 0, 0, 75, nullptr, nullptr},
    {0xA217, 0, 0, 76, nullptr, kValuesA217},
    {0xA300, 0, 0, 77, nullptr, nullptr},
    {0xA301, 0, 0, 78, nullptr, nullptr},
    {0xA302, 0, 0, 33, nullptr, nullptr},
    {0xA401, 0, 0, 79, nullptr, kValuesA401},
    {0xA402, 0, 0, 80, nullptr, kValuesA402},
    {0xA403, 0, 0, 81, nullptr, kValuesA403},
    {0xA404, 0, 0, 82, nullptr, nullptr},
    {0xA405, 0, 0, 83, nullptr, nullptr},
    {0xA406, 0, 0, 84, nullptr, kValuesA406},
    {0xA407, 0, 0, 0, "Gain control", kValuesA407},
    {0xA408, 0, 0, 0, "Contrast", kValuesSoftHard},
    {0xA409, 0, 0, 0, "Saturation", kValuesA409},
    {0xA40A, 0, 0, 0, "Sharpness", kValuesSoftHard},
    {0xA40B, 0, 0, 0, "Device Setting Description", nullptr},
    {0xA40C, 0, 0, 0, "Subject distance range", kValuesA40C},
    {0xA420, 0, 0, 0, "Image unique ID", nullptr},
};

constexpr ExifTagDef kIopDefs[] = {
    {0x1, 0, 0, 0, "IOP index", nullptr},
    {0x2, 0, 0, 0, "IOP version", nullptr},
    {0x1001, 0, 0, 0, "IOP width", nullptr},
    {0x1002, 0, 0, 0, "IOP height", nullptr},
};

// GPS tags (Exif 2.2 section 4.6.6). Names are the ones the Properties page has always shown.
constexpr ExifTagDef kGpsDefs[] = {
    {0x0, kExifByte, 0, 0, "Version ID", nullptr},
    {0x1, kExifAscii, 0, 0, "Latitude Ref", kValuesGpsNorthSouth},
    {0x2, kExifRational, 0, 0, "Latitude", nullptr},
    {0x3, kExifAscii, 0, 0, "Longitude Ref", kValuesGpsEastWest},
    {0x4, kExifRational, 0, 0, "Longitude", nullptr},
    {0x5, kExifByte, 0, 0, "Haltitude Ref", kValuesGpsAltitudeRef},
    {0x6, kExifRational, 0, 0, "Haltitude", nullptr},
    {0x7, kExifRational, 0, 0, "TimeStamp", nullptr},
    {0x8, kExifAscii, 0, 0, "Satellites", nullptr},
    {0x9, kExifAscii, 0, 0, "Status", kValuesGpsStatus},
    {0xA, kExifAscii, 0, 0, "Measure Mode", kValuesGpsMeasureMode},
    {0xB, 0, 0, 0, "DOP", nullptr},
    {0xC, kExifAscii, 0, 0, "Speed Ref", nullptr},
    {0xD, kExifRational, 0, 0, "Speed", nullptr},
    {0xE, kExifAscii, 0, 0, "Track Ref", kValuesGpsBearing},
    {0xF, 0, 0, 0, "Track", nullptr},
    {0x10, kExifAscii, 0, 0, "Img Direction Ref", nullptr},
    {0x11, 0, 0, 0, "Img Direction", nullptr},
    {0x12, kExifAscii, 0, 0, "Map Datum", nullptr},
    {0x13, kExifAscii, 0, 0, "Dest Latitude Ref", kValuesGpsNorthSouth},
    {0x14, 0, 0, 0, "Dest Latitude", nullptr},
    {0x15, kExifAscii, 0, 0, "Dest Longitude Ref", kValuesGpsEastWest},
    {0x16, 0, 0, 0, "Dest Longitude", nullptr},
    {0x17, kExifAscii, 0, 0, "Dest Bearing Ref", kValuesGpsBearing},
    {0x18, 0, 0, 0, "Dest Bearing", nullptr},
    {0x19, kExifAscii, 0, 0, "Dest Distance Ref", nullptr},
    {0x1A, 0, 0, 0, "Dest Distance", nullptr},
    {0x1B, 0, 0, 0, "Processing Method", nullptr},
    {0x1C, 0, 0, 0, "Area Information", nullptr},
    {0x1D, 0, 0, 0, "Date Stamp", nullptr},
    {0x1E, 0, 0, 0, "Differential", kValuesGpsDifferential},
};

struct TextRow {
  uint32_t id;
  const char* text;
};

// Ids 1-84: tag names of the tables above; 85-148 and 240: value names.
constexpr TextRow kTexts[] = {
    {1, "Image width"},
    {2, "Image length"},
    {3, "Bits per sample"},
    {4, "Compression"},
    {5, "Photometric interpretation"},
    {6, "Fill order"},
    {7, "Document name"},
    {8, "Image description"},
    {9, "Camera Manufacturer"},
    {10, "Camera Model"},
    {11, "Strip offsets"},
    {12, "Orientation"},
    {13, "Samples per pixel"},
    {14, "Rows per strip"},
    {15, "Strip byte counts"},
    {16, "X Resolution"},
    {17, "Y Resolution"},
    {18, "Planar configuration"},
    {19, "Resolution unit"},
    {20, "Transfer function"},
    {21, "Software"},
    {22, "Date modified"},
    {23, "Artist"},
    {24, "WhitePoint"},
    {25, "Primary chromaticities"},
    {26, "Transfer range"},
    {27, "JPEGProc"},
    {28, "YCbCr Coefficients"},
    {29, "YCbCr SubSampling"},
    {30, "YCbCr Positioning"},
    {31, "Reference black white"},
    {32, "CFA Repeat pattern dim"},
    {33, "CFA Pattern"},
    {34, "Battery level"},
    {35, "Copyright"},
    {36, "Exposure time [s]"},
    {37, "F-Number"},
    {38, "IPTC/NAA"},
    {39, "Exif offset"},
    {40, "Inter color profile"},
    {41, "Exposure program"},
    {42, "Spectral sensitivity"},
    {43, "GPS info"},
    {44, "ISO speed ratings"},
    {45, "OECF"},
    {46, "EXIF version"},
    {47, "Date taken"},
    {48, "Date digitized"},
    {49, "Components configuration"},
    {50, "Compressed bits per pixel"},
    {51, "Shutter speed [s]"},
    {52, "Aperture"},
    {53, "Brightness"},
    {54, "Exposure bias value"},
    {55, "Max aperture"},
    {56, "Subject distance (m)"},
    {57, "Metering mode"},
    {58, "Light source"},
    {59, "Flash"},
    {60, "Focal length [mm]"},
    {61, "Maker note"},
    {62, "User comment"},
    {63, "SubSecTime"},
    {64, "SubSecTimeOriginal"},
    {65, "SubSecTimeDigitized"},
    {66, "FlashPix Version"},
    {67, "Colour space"},
    {68, "Interoperability offset"},
    {69, "Flash energy"},
    {70, "Spatial frequency response"},
    {71, "Focal plane X-Resolution"},
    {72, "Focal plane Y-Resolution"},
    {73, "Focal plane res. unit"},
    {74, "Subject location"},
    {75, "Exposure index"},
    {76, "Sensing method"},
    {77, "File source"},
    {78, "Scene type"},
    {79, "Custom rendered"},
    {80, "Exposure mode"},
    {81, "White balance"},
    {82, "Digital zoom"},
    {83, "Focal length (35mm)"},
    {84, "Scene capture type"},
    {85, "Unknown"},
    {86, "Other"},
    {87, "Normal"},
    {88, "Manual"},
    {89, "Auto"},
    {90, "Off"},
    {91, "On"},
    {92, "Low"},
    {93, "High"},
    {94, "Right"},
    {95, "Center"},
    {96, "Left"},
    {97, "Custom"},
    {98, "None"},
    {99, "OK"},
    {100, "Standard"},
    {101, "Uncalibrated"},
    {102, "RGB uncompressed"},
    {103, "A directly photographed image"},
    {104, "Inch"},
    {105, "Centimeter"},
    {106, "No flash"},
    {107, "Flash fired"},
    {108, "Strobe return light not detected"},
    {109, "Strobe return light detected"},
    {110, "top-left"},
    {111, "top-right"},
    {112, "bottom-right"},
    {113, "bottom-left"},
    {114, "left-top"},
    {115, "right-top"},
    {116, "right-bottom"},
    {117, "left-bottom"},
    {118, "centered"},
    {119, "co-sited"},
    {120, "Unidentified"},
    {121, "Aperture priority"},
    {122, "Shutter priority"},
    {123, "Creative (slow)"},
    {124, "Action (high-speed)"},
    {125, "Portrait mode"},
    {126, "Landscape mode"},
    {127, "Average"},
    {128, "Center weight"},
    {129, "Spot"},
    {130, "Multi-spot"},
    {131, "Multi-segment"},
    {132, "Partial"},
    {133, "Daylight"},
    {134, "Fluorescent"},
    {135, "Tungsten"},
    {136, "Standard light A"},
    {137, "Standard light B"},
    {138, "Standard light C"},
    {139, "D55"},
    {140, "D65"},
    {141, "D75"},
    {142, "Not defined"},
    {143, "One-chip color area sensor"},
    {144, "Two-chip color area sensor"},
    {145, "Three-chip color area sensor"},
    {146, "Color sequential area sensor"},
    {147, "Trilinear sensor"},
    {148, "Color sequential linear sensor"},
    {240, "Normal process"},
};

constexpr ExifTagTable kIfd0{kIfd0Defs, std::size(kIfd0Defs)};
constexpr ExifTagTable kExif{kExifDefs, std::size(kExifDefs)};
constexpr ExifTagTable kIop{kIopDefs, std::size(kIopDefs)};
constexpr ExifTagTable kGps{kGpsDefs, std::size(kGpsDefs)};

}  // namespace

const ExifTagTable& exif_ifd0_table() { return kIfd0; }
const ExifTagTable& exif_exif_table() { return kExif; }
const ExifTagTable& exif_iop_table() { return kIop; }
const ExifTagTable& exif_gps_table() { return kGps; }

const char* exif_text(uint32_t id) {
  for (const TextRow& row : kTexts) {
    if (row.id == id) return row.text;
  }
  return "";
}

}  // namespace lumora
