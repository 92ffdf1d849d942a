// The Exif and IPTC readers over photographs from real cameras (exif-samples in the public test
// data): every file enumerates without a fault, and for a sample of files the values the camera
// recorded (checked by hand) come out as pinned below.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imagelib/metadata/exif.h"
#include "imagelib/metadata/iptc.h"
#include "tests/support/iptc_block.h"
#include "tests/support/jpeg_file.h"
#include "tests/support/picture_file.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;

fs::path samples_dir() {
  const char* root = std::getenv("LUMORA_TESTDATA");
  if (root == nullptr || *root == '\0') return {};
  fs::path dir = fs::path(root) / "exif-samples";
  return fs::is_directory(dir) ? dir : fs::path();
}

// The metadata blocks of a file: the first APP1 "Exif\0\0" segment and the last APP13
// "Photoshop 3.0" segment of a JPEG, or a TIFF file's whole body behind an Exif prefix.
struct Blocks {
  std::vector<uint8_t> exif, photoshop;
};

Blocks extract(const std::vector<uint8_t>& d) {
  Blocks b;
  if (d.size() >= 8 && ((d[0] == 'I' && d[1] == 'I') || (d[0] == 'M' && d[1] == 'M'))) {
    b.exif.resize(6 + d.size());
    std::memcpy(b.exif.data(), "Exif\0\0", 6);
    std::copy(d.begin(), d.end(), b.exif.begin() + 6);
    return b;
  }
  for (const Marker& m : list_markers(d)) {
    const Bytes& s = m.payload;
    if (m.code == 0xE1 && s.size() >= 6 && std::memcmp(s.data(), "Exif\0\0", 6) == 0 && b.exif.empty()) b.exif = s;
    if (m.code == 0xED && s.size() >= 14 && std::memcmp(s.data(), "Photoshop 3.0", 14) == 0) b.photoshop = s;
  }
  return b;
}

TEST(ExifConformance, EveryFileEnumeratesWithoutFault) {
  fs::path dir = samples_dir();
  if (dir.empty()) GTEST_SKIP() << "LUMORA_TESTDATA/exif-samples not found: conformance files absent";
  int files = 0, with_exif = 0, walked = 0, with_lines = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    if (ext != ".jpg" && ext != ".jpeg" && ext != ".tiff" && ext != ".tif") continue;
    ++files;
    Blocks b = extract(read_file(entry.path().string()));
    if (!b.exif.empty()) {
      ++with_exif;
      std::vector<Line> lines;
      walked += collect_lines(b.exif, &lines);
      with_lines += lines.size() > 1;
      // The walk never hands out a null name or an over-long text.
      for (const Line& l : lines) EXPECT_LT(l.text.size(), kExifTextSize) << entry.path();
    }
    if (!b.photoshop.empty()) enumerate(b.photoshop);
  }
  EXPECT_GE(files, 90);
  EXPECT_GE(with_exif, 80);
  EXPECT_GE(walked, 78);
  EXPECT_GE(with_lines, 78);
}

struct Pin {
  const char* file;
  uint32_t section;
  const char* name;
  const char* text;
};

constexpr uint32_t kCam = kExifSectionCamera, kImg = kExifSectionImage, kGps = kExifSectionGps,
                   kNotes = kExifSectionMakernotes;

// Values read off each camera's own record.
const Pin kPins[] = {
    {"jpg/Canon_40D.jpg", kCam, "Camera Manufacturer", "Canon"},
    {"jpg/Canon_40D.jpg", kImg, "Date taken", "2008:05:30 15:56:01"},
    {"jpg/Canon_40D.jpg", kImg, "Exposure time [s]", "1/160"},
    {"jpg/Canon_40D.jpg", kImg, "F-Number", "7.1"},
    {"jpg/Canon_40D.jpg", kImg, "Focal length [mm]", "135."},
    {"jpg/gps/DSCN0010.jpg", kCam, "Camera Manufacturer", "NIKON"},
    {"jpg/gps/DSCN0010.jpg", kImg, "Exposure time [s]", "1/75"},
    {"jpg/gps/DSCN0010.jpg", kGps, "Latitude Ref", "North"},
    {"jpg/gps/DSCN0010.jpg", kGps, "Latitude", "43\xB0 28' 2.81\""},
    {"jpg/gps/DSCN0010.jpg", kGps, "Longitude Ref", "East"},
    {"jpg/gps/DSCN0010.jpg", kGps, "Longitude", "11\xB0 53' 6.46\""},
    {"jpg/gps/DSCN0010.jpg", kGps, "TimeStamp", "14:27:07.24"},
    {"jpg/gps/DSCN0010.jpg", kNotes, "Data version", "0210"},
    {"jpg/gps/DSCN0010.jpg", kNotes, "Focus Mode", "AF-S  "},
    {"jpg/Canon_PowerShot_S40.jpg", kImg, "Exposure time [s]", "1/500"},
    {"jpg/Canon_PowerShot_S40.jpg", kImg, "Focal length [mm]", "21.3125"},
    {"jpg/Canon_PowerShot_S40.jpg", kNotes, "ISO value", "100"},
    {"jpg/Canon_PowerShot_S40.jpg", kNotes, "Compression setting", "Superfine"},
    {"jpg/Canon_PowerShot_S40.jpg", kNotes, "Picture info", "IMG:PowerShot S40 JPEG"},
    {"jpg/Canon_PowerShot_S40.jpg", kNotes, "Image number", "117-1771"},
    {"jpg/Canon_PowerShot_S40.jpg", kNotes, "Owner name", "Andreas Huggel"},
    {"jpg/Fujifilm_FinePix_E500.jpg", kCam, "Camera Manufacturer", "FUJIFILM"},
    {"jpg/Fujifilm_FinePix_E500.jpg", kImg, "Exposure time [s]", "1/80"},
    {"jpg/Fujifilm_FinePix_E500.jpg", kImg, "Focal length [mm]", "4.7"},
    {"jpg/Fujifilm_FinePix_E500.jpg", kNotes, "Maker Note Version", "0130"},
    {"jpg/Fujifilm_FinePix_E500.jpg", kNotes, "Macro", "On"},
    {"jpg/Fujifilm_FinePix_E500.jpg", kNotes, "Flash mode", "Off"},
    {"jpg/exif-org/olympus-c960.jpg", kImg, "Exposure time [s]", "1/345"},
    {"jpg/exif-org/olympus-c960.jpg", kImg, "F-Number", "8.0"},
    {"jpg/exif-org/olympus-c960.jpg", kNotes, "Compression setting", "SHQ"},
    {"jpg/exif-org/olympus-c960.jpg", kNotes, "Firmware version", "SR874"},
    {"jpg/exif-org/nikon-e950.jpg", kImg, "Exposure time [s]", "1/77"},
    {"jpg/exif-org/nikon-e950.jpg", kImg, "Focal length [mm]", "12.8"},
    {"jpg/exif-org/nikon-e950.jpg", kNotes, "Image Quality", "UXGA Fine"},
    {"jpg/exif-org/nikon-e950.jpg", kNotes, "CCD Sensitivity", "ISO 80"},
    {"jpg/exif-org/sanyo-vpcsx550.jpg", kImg, "Exposure time [s]", "1/48"},
    {"jpg/exif-org/sanyo-vpcsx550.jpg", kNotes, "Quality", "Fine/Medium Low"},
    // Canon cameras that chose the ISO speed themselves: the speed comes from the shot
    // information (base speed times the automatic factor). Two of the notes were moved by editing
    // software, one of them kept little-endian inside a big-endian block.
    {"jpg/Canon_DIGITAL_IXUS_400.jpg", kNotes, "ISO speed", "50"},
    {"jpg/exif-org/canon-ixus.jpg", kNotes, "ISO speed", "65"},
    {"jpg/tests/11-tests.jpg", kNotes, "ISO speed", "50"},
    {"jpg/tests/22-canon_tags.jpg", kNotes, "ISO speed", "50"},
    {"jpg/tests/28-hex_value.jpg", kNotes, "ISO speed", "50"},
    {"jpg/tests/28-hex_value.jpg", kNotes, "ISO value", "Auto"},
    {"jpg/hdr/canon_hdr_YES.jpg", kNotes, "Auto ISO factor", "5.42"},
    {"jpg/hdr/canon_hdr_YES.jpg", kNotes, "Base ISO", "200"},
    {"jpg/hdr/canon_hdr_YES.jpg", kNotes, "ISO speed", "1083"},
    // A phone that stores the coordinates as SRATIONAL.
    {"jpg/mobile/HMD_Nokia_8.3_5G.jpg", kGps, "Latitude", "60\xB0 8' 48.14\""},
    {"jpg/mobile/HMD_Nokia_8.3_5G.jpg", kGps, "Longitude", "24\xB0 54' 24.38\""},
    {"jpg/mobile/HMD_Nokia_8.3_5G.jpg", kGps, "Position", "60.146706, 24.906772"},
    {"jpg/gps/DSCN0010.jpg", kGps, "Position", "43.467448, 11.885127"},
    {"jpg/Pentax_K10D.jpg", kImg, "Exposure time [s]", "1/180"},
    {"jpg/Pentax_K10D.jpg", kImg, "Focal length [mm]", "90."},
};

TEST(ExifConformance, CamerasRecordsComeOutRight) {
  fs::path dir = samples_dir();
  if (dir.empty()) GTEST_SKIP() << "LUMORA_TESTDATA/exif-samples not found: conformance files absent";
  std::string loaded;
  std::vector<Line> lines;
  for (const Pin& pin : kPins) {
    if (loaded != pin.file) {
      loaded = pin.file;
      Blocks b = extract(read_file((dir / pin.file).string()));
      ASSERT_FALSE(b.exif.empty()) << pin.file;
      lines = lines_of(b.exif);
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.front(), (Line{kCam, 0, "Camera", "<header>"})) << pin.file;
    }
    EXPECT_EQ(text_of(lines, pin.section, pin.name), pin.text) << pin.file << " " << pin.name;
  }
}

TEST(ExifConformance, IptcOfAnEditedPicture) {
  fs::path dir = samples_dir();
  if (dir.empty()) GTEST_SKIP() << "LUMORA_TESTDATA/exif-samples not found: conformance files absent";
  Blocks b = extract(read_file((dir / "jpg/xmp/no_exif.jpg").string()));
  Calls lines = enumerate(b.photoshop);
  Calls expected = {{25, "Keywords", "tag"}, {80, "Byline", "CREDIT"}, {120, "Caption", "Der Goalie bin ig"}};
  for (const auto& want : expected) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << std::get<1>(want);
  }
}

}  // namespace
}  // namespace lumora::test
