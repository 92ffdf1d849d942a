// Maker notes of each layout, built inside Exif blocks of both byte orders.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "imagelib/metadata/exif.h"
#include "tests/support/exif_block.h"

namespace lumora::test {
namespace {

constexpr uint32_t kNotes = kExifSectionMakernotes;

// What the offsets inside a note count from.
enum class Base { kTiff, kNote, kBody };

// A block whose Exif directory holds a maker note: `prefix`, then the directory `note` whose
// offsets count from the TIFF data, the note's first byte or the body's own first byte.
std::vector<uint8_t> block_with_note(bool be, const std::string& make, const std::string& prefix,
                                     std::shared_ptr<IfdBlock> note, Base base_of = Base::kTiff) {
  IfdBlock b(be);
  int ifd0 = b.add_ifd(), exif = b.add_ifd();
  b.add_ascii(ifd0, 0x10F, make);
  b.link(ifd0, 0x8769, exif);
  b.add_short(exif, 0x8827, {100});
  auto size = static_cast<uint32_t>(prefix.size() + note->build(0).size());
  b.add_generated(exif, 0x927C, size, [=](uint32_t pos) {
    std::vector<uint8_t> out(prefix.begin(), prefix.end());
    auto skip = static_cast<uint32_t>(prefix.size());
    uint32_t base = base_of == Base::kTiff ? pos + skip : base_of == Base::kNote ? skip : 0;
    std::vector<uint8_t> body = note->build(base);
    out.insert(out.end(), body.begin(), body.end());
    return out;
  });
  return b.build_exif();
}

// The maker-note lines only (after the "Makernotes" header).
std::vector<std::pair<std::string, std::string>> note_lines(const std::vector<uint8_t>& block) {
  std::vector<std::pair<std::string, std::string>> out;
  bool header = false;
  for (const Line& l : lines_of(block)) {
    if (l.section != kNotes) continue;
    if (l.text == "<header>") {
      EXPECT_FALSE(header);
      header = true;
      continue;
    }
    EXPECT_TRUE(header);
    EXPECT_EQ(l.tag, 0u);
    out.emplace_back(l.name, l.text);
  }
  EXPECT_TRUE(header);
  return out;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(MakerNote, Canon) {
  for (bool be : {false, true}) {
    for (uint16_t iso : {uint16_t{17}, uint16_t{0x4064}}) {
      auto note = std::make_shared<IfdBlock>(be, false);
      int d = note->add_ifd();
      std::vector<uint16_t> settings(25, 0);
      settings[0] = 50;          // array length in bytes: 25 elements
      settings[1] = 1;           // macro
      settings[3] = 3;           // fine
      settings[13] = 65535;      // low contrast
      settings[16] = iso;
      settings[19] = 0x3003;     // AF point centre
      settings[23] = 300;        // focal length
      note->add_short(d, 1, settings);
      std::vector<uint16_t> shot(8, 0);
      shot[0] = 16;
      shot[7] = 2;
      note->add_short(d, 4, shot);
      std::string info = "IMG:PowerShot S40 JPEG";
      note->add_ascii(d, 6, info + std::string(32 - info.size() - 1, '\0'));
      note->add_ascii(d, 7, "Firmware 1.0");  // not 24 bytes: not shown
      note->add_long(d, 8, {1001234});
      Pairs lines = note_lines(block_with_note(be, "Canon", "", note));
      Pairs expected = {{"Macro", "Macro"}, {"SelfTimer", "0"}, {"Compression setting", "Fine"},
                        {"Flash mode", "Flash not fired"}, {"Drive mode", "Single/Timer"},
                        {"Focus Mode", "One-Shot"}, {"Image size", "Large"},
                        {"Easy shooting", "Full Auto"}, {"Contrast", "Low"}, {"Saturation", "Normal"},
                        {"Sharpness", "Normal"}, {"ISO value", "100"}, {"Metering mode", "Other"},
                        {"Focus type", "Manual"}, {"AF point", "Center"},
                        {"Exposure mode", "Easy shooting"}, {"Focal length [mm]", "300"},
                        {"Focal length short / mm", "0"}, {"Auto ISO factor", "1.00"},
                        {"Exposure compensation [EV]", "0"}, {"White balance", "Cloudy"},
                        {"Picture info", "IMG:PowerShot S40 JPEG"}, {"Image number", "100-1234"}};
      EXPECT_EQ(lines, expected) << (be ? "MM " : "II ") << iso;
    }
  }
}

// A Canon block whose note ends with the footer Canon cameras write ("II*\0" or "MM\0*" and the
// note's position). The note's offsets and the footer count from where the note lay `moved`
// bytes further on, as after editing software moved it.
std::vector<uint8_t> canon_block_with_footer(bool be, std::shared_ptr<IfdBlock> note, int32_t moved) {
  IfdBlock b(be);
  int ifd0 = b.add_ifd(), exif = b.add_ifd();
  b.add_ascii(ifd0, 0x10F, "Canon");
  b.link(ifd0, 0x8769, exif);
  auto size = static_cast<uint32_t>(note->build(0).size() + 8);
  b.add_generated(exif, 0x927C, size, [=](uint32_t pos) {
    const auto old_pos = static_cast<uint32_t>(static_cast<int64_t>(pos) + moved);
    std::vector<uint8_t> out = note->build(old_pos);
    const bool note_be = note->big_endian();
    const std::string mark = note_be ? std::string("MM\0*", 4) : std::string("II*\0", 4);
    out.insert(out.end(), mark.begin(), mark.end());
    note->put32(out, old_pos);
    return out;
  });
  return b.build_exif();
}

TEST(MakerNote, CanonShotInformation) {
  std::vector<uint16_t> shot(22, 0);
  shot[0] = 44;                              // 22 elements
  shot[1] = 78;                              // automatic factor 2^(78/32)
  shot[2] = 192;                             // base ISO 100 / 32 x 2^6 = 200
  shot[6] = 12;                              // +1/3 EV
  shot[7] = 1;                               // sunny
  shot[9] = 3;                               // fourth shot of a burst
  shot[15] = static_cast<uint16_t>(-32);     // flash -1 EV
  shot[19] = 65535;                          // infinity
  shot[20] = 250;                            // 2.5 m
  shot[21] = 160;                            // 5 EV: f/5.7
  const Pairs expected = {
      {"Auto ISO factor", "5.42"}, {"Base ISO", "200"}, {"Exposure compensation [EV]", "+0.33"},
      {"White balance", "Sunny"}, {"Sequence number", "3"}, {"Flash exposure compensation [EV]", "-1.00"},
      {"Focus distance upper [m]", "inf"}, {"Focus distance lower [m]", "2.50"}, {"F-Number", "5.7"},
      {"ISO speed", "1083"}};
  struct Case {
    const char* name;
    bool block_be, note_be;
    int32_t moved;  // 0: the note lies where its offsets say
  };
  const Case cases[] = {
      {"in place II", false, false, 0},
      {"in place MM", true, true, 0},
      {"moved back", false, false, 54},
      {"moved on", true, true, -62},
      {"II note in MM block, moved", true, false, -62},
  };
  for (const Case& c : cases) {
    auto note = std::make_shared<IfdBlock>(c.note_be, false);
    int d = note->add_ifd();
    note->add_short(d, 4, shot);
    EXPECT_EQ(note_lines(canon_block_with_footer(c.block_be, note, c.moved)), expected) << c.name;
  }
}

TEST(MakerNote, CanonImageNumberAsShort) {
  auto note = std::make_shared<IfdBlock>(false, false);
  note->add_short(note->add_ifd(), 8, {1234});  // SHORT for the LONG record reads the same
  EXPECT_EQ(note_lines(block_with_note(false, "Canon", "", note)), (Pairs{{"Image number", "0-1234"}}));
}

TEST(MakerNote, CanonArrayLengthIsBoundedByTheEntry) {
  auto note = std::make_shared<IfdBlock>(false, false);
  int d = note->add_ifd();
  note->add_short(d, 1, {0xFFFE, 1, 0, 3});  // claims 32767 elements, holds 4
  Pairs lines = note_lines(block_with_note(false, "Canon", "", note));
  EXPECT_EQ(lines, (Pairs{{"Macro", "Macro"}, {"SelfTimer", "0"}, {"Compression setting", "Fine"}}));
}

TEST(MakerNote, NikonKinds) {
  for (bool be : {false, true}) {
    // Second kind: its own TIFF header, here in the other byte order than the block.
    auto inner = std::make_shared<IfdBlock>(!be, true);
    int d = inner->add_ifd();
    inner->add_undefined(d, 0x1, "0210");
    inner->add_short(d, 0x2, {0, 200});
    inner->add_ascii(d, 0x4, "FINE ");
    inner->add_rational(d, 0x85, {{1, 1}});
    inner->add_rational(d, 0x86, {{2, 1}});
    inner->add_byte(d, 0x87, {9});
    inner->add_long(d, 0x88, {0x10002});
    inner->add_undefined(d, 0x98, std::string("0100\x01\x02\xab\x0c", 8));
    inner->add_long(d, 0xA7, {4321});
    inner->add_short(d, 0xA7 + 1, {1});  // not in the table
    inner->add_short(d, 0x87, {9});      // wrong type for a BYTE record: skipped
    Pairs second = note_lines(
        block_with_note(be, "NIKON CORPORATION", std::string("Nikon\0\2\x10\0\0", 10), inner, Base::kBody));
    EXPECT_EQ(second, (Pairs{{"Data version", "0210"}, {"ISO Setting", "200"}, {"Quality", "FINE "},
                             {"Focus Distance", "N/A"}, {"Digital zoom", "x2.0"},
                             {"Flash mode", "Fired, TTL Mode"}, {"AF Point", "Single Area, Top"},
                             {"LensID", "(ab c )"}, {"Shutter Count", "4321"}}))
        << (be ? "MM" : "II");

    // First kind: a directory 8 bytes in, offsets from the TIFF data.
    auto first = std::make_shared<IfdBlock>(be, false);
    d = first->add_ifd();
    first->add_short(d, 0x3, {3});
    first->add_short(d, 0x6, {5});
    first->add_short(d, 0xB, {7});
    EXPECT_EQ(note_lines(block_with_note(be, "NIKON", std::string("Nikon\0\1\0", 8), first)),
              (Pairs{{"Image Quality", "VGA Fine"}, {"CCD Sensitivity", "ISO 100"}, {"Lens Adapter", "Other"}}));

    // No header: the note is the directory.
    auto bare = std::make_shared<IfdBlock>(be, false);
    d = bare->add_ifd();
    bare->add_rational(d, 0x85, {{35, 10}});
    bare->add_long(d, 0x88, {0x12345});  // unknown AF point: no line
    EXPECT_EQ(note_lines(block_with_note(be, "NIKON", "", bare)), (Pairs{{"Focus Distance", "x3.5 m"}}));
  }
}

TEST(MakerNote, NikonSecondKindWithBadInnerHeaderShowsNothing) {
  auto inner = std::make_shared<IfdBlock>(false, true);
  int d = inner->add_ifd();
  inner->add_ascii(d, 0x4, "FINE");
  std::string prefix("Nikon\0\2\x10\0\0", 10);
  std::vector<uint8_t> block = block_with_note(false, "Nikon", prefix, inner, Base::kBody);
  // Spoil the inner "II" mark.
  for (size_t i = 0; i + 10 < block.size(); ++i) {
    if (std::equal(prefix.begin(), prefix.end(), block.begin() + static_cast<long>(i))) {
      block[i + 10] = 'X';
      break;
    }
  }
  EXPECT_TRUE(note_lines(block).empty());
}

TEST(MakerNote, OlympusLaterLayoutIsSelfRelative) {
  for (bool be : {false, true}) {
    auto note = std::make_shared<IfdBlock>(!be, false);
    int d = note->add_ifd();
    note->add_short(d, 0x201, {1});
    note->add_ascii(d, 0x208, std::string(51, 'p'));
    std::string prefix = std::string("OLYMPUS\0", 8) + (be ? "II" : "MM") + std::string("\3\0", 2);
    EXPECT_EQ(note_lines(block_with_note(be, "OLYMPUS IMAGING CORP.", prefix, note, Base::kNote)),
              (Pairs{{"Compression setting", "HQ"}, {"Picture info", std::string(51, 'p')}}));
  }
}

TEST(MakerNote, MinoltaCameraSettings) {
  for (bool be : {false, true}) {
    auto note = std::make_shared<IfdBlock>(be, false);
    int d = note->add_ifd();
    note->add_undefined(d, 0x0, "MLT0");
    // Camera settings: big-endian 32-bit numbers in either block order.
    std::vector<uint8_t> settings(4 * 0x33, 0);
    const std::pair<int, uint32_t> values[] = {
        {0x1, 1},     {0x8, 48},         {0x9, 104},        {0xA, 40},  {0xD, 6},  {0x12, 7 * 256 + 128},
        {0x13, 2500}, {0x15, 0x07D30415}, {0x16, 0x0A0B0C}, {0x1F, 4}, {0x23, 3}, {0x25, 1},
        {0x2C, 52}};  // (position, value)
    for (const auto& [position, v] : values)
      for (int k = 0; k < 4; ++k) settings[4 * position + k] = static_cast<uint8_t>(v >> (24 - 8 * k));
    note->add_bytes(d, 0x3, 7, settings, static_cast<uint32_t>(settings.size()));
    note->add_short(d, 0x102, {2});
    Pairs lines = note_lines(block_with_note(be, "Minolta Co., Ltd.", "", note));
    std::map<std::string, std::string> got(lines.begin(), lines.end());
    const Pairs expected = {
        {"Version", "MLT0"}, {"Exposure mode", "Aperture priority"}, {"ISO", "100"},
        {"Shutter speed [s]", "1/128"}, {"Aperture", "4.0"}, {"Exposure compensation", "0"},
        {"Focal length [mm]", "7.5000"}, {"Focus distance", "2 m"}, {"Date", "2003:04:21"},
        {"Time", "10:11:12"}, {"Saturation", "1"}, {"Flash exposure compensation", "-1.0"},
        {"Camera Model", "DiMAGE 5"}, {"Brightness", "0.5000"}, {"Minolta Quality", "Fine"},
        {"Max aperture", "0.7"}};  // element 0x17 is 0
    for (const auto& [name, text] : expected) EXPECT_EQ(got[name], text) << name;
    EXPECT_EQ(lines.size(), 2u + 47u);  // version, quality, and every position of the table
  }
}

TEST(MakerNote, PlainDirectoryMakers) {
  enum Order { kBlocks, kBig, kLittle };  // the note's byte order
  struct Case {
    const char* make;
    std::string prefix;
    Order order;
    std::function<void(IfdBlock&, int)> fill;
    Pairs expected;
    Base base = Base::kTiff;
  };
  const Case cases[] = {
      {"OLYMPUS OPTICAL CO.,LTD", std::string("OLYMP\0\1\0", 8), kBlocks,
       [](IfdBlock& n, int d) {
         n.add_short(d, 0x201, {2});
         n.add_rational(d, 0x204, {{2, 1}});
         n.add_ascii(d, 0x207, "SX75");
         n.add_ascii(d, 0x208, "short");  // not 52 bytes
       },
       {{"Compression setting", "SHQ"}, {"Digital zoom", "2"}, {"Firmware version", "SX75"}}},
      {"SIGMA", std::string("SIGMA\0\0\0\1\0", 10), kBlocks,
       [](IfdBlock& n, int d) {
         n.add_ascii(d, 0xA, "18-50mm");
         n.add_short(d, 0x3, {1});  // not text: skipped
       },
       {{"Lens", "18-50mm"}}},
      {"SANYO Electric Co.,Ltd.", std::string("SANYO\0\1\0", 8), kBlocks,
       [](IfdBlock& n, int d) {
         n.add_short(d, 0x201, {257});
         n.add_short(d, 0x224, {0});
       },
       {{"Quality", "Fine/Low"}, {"Sequence Shot Interval", "5 frames/sec"}}},
      {"CASIO", std::string("QVC\0\0\0", 6), kBig,
       [](IfdBlock& n, int d) {
         n.add_short(d, 0x9, {4});
         n.add_ascii(d, 0x3006, "+09:00");
       },
       {{"Image Size", "1600x1200"}, {"Time Zone", "+09:00"}}},
      {"CASIO", "", kBlocks,
       [](IfdBlock& n, int d) {
         n.add_long(d, 0xA, {65537});
         n.add_short(d, 0x3, {2});
       },
       {{"Digital zoom", "2X Digital Zoom"}, {"Focus Mode", "Macro"}}},
      {"Acme", "", kBlocks, [](IfdBlock& n, int d) { n.add_short(d, 0x1, {1}); }, {}},
      // Fujifilm notes are little-endian whatever the block, their offsets count from the note.
      {"FUJIFILM", std::string("FUJIFILM\x0c\0\0\0", 12), kLittle,
       [](IfdBlock& n, int d) {
         n.add_undefined(d, 0x0, "0130");
         n.add_ascii(d, 0x1000, "NORMAL ");
         n.add_short(d, 0x1001, {3});
         n.add_short(d, 0x1002, {512});
         n.add_short(d, 0x1031, {256});
         n.add_short(d, 0x1302, {1});
         n.add_long(d, 0x1300, {1});        // LONG for a SHORT record: read as SHORT
         n.add_long(d, 0x1300, {0x10001});  // ... unless the value does not fit 16 bits
       },
       {{"Maker Note Version", "0130"}, {"Quality Setting", "NORMAL "}, {"Sharpness", "Normal"},
        {"White balance", "Cloudy"}, {"Picture Mode", "Aperture priority AE"},
        {"Exposure Status", "Over Exposed"}, {"Blur Status", "Blur Warning"}},
       Base::kNote},
  };
  for (const Case& c : cases) {
    for (bool be : {false, true}) {
      auto note = std::make_shared<IfdBlock>(c.order == kBig || (c.order == kBlocks && be), false);
      c.fill(*note, note->add_ifd());
      EXPECT_EQ(note_lines(block_with_note(be, c.make, c.prefix, note, c.base)), c.expected)
          << c.make << (be ? " MM" : " II");
    }
  }
}

TEST(MakerNote, WrongPrefixOrHostileNoteShowsNothing) {
  auto note = std::make_shared<IfdBlock>(false, false);
  int d = note->add_ifd();
  note->add_short(d, 0x201, {2});
  // Olympus make with a note that lacks "OLYMP".
  EXPECT_TRUE(note_lines(block_with_note(false, "OLYMPUS", std::string("XLYMP\0\1\0", 8), note)).empty());
  // A note whose entries point outside the block.
  auto bad = std::make_shared<IfdBlock>(false, false);
  d = bad->add_ifd();
  bad->add_raw(d, 0x208, 2, 52, 0x7FFFFFF0u);
  bad->add_raw(d, 0x201, 3, 0x80000000u, 0);
  EXPECT_TRUE(note_lines(block_with_note(false, "OLYMPUS", std::string("OLYMP\0\1\0", 8), bad)).empty());
  for (const char* make : {"Canon", "Minolta", "Nikon", "FUJIFILM", "CASIO"}) {
    auto huge = std::make_shared<IfdBlock>(false, false);
    d = huge->add_ifd();
    huge->add_raw(d, 1, 3, 0xFFFFFFF0u, 0x10);
    huge->add_raw(d, 3, 4, 0x3FFFFFFFu, 0);
    EXPECT_TRUE(note_lines(block_with_note(false, make, "", huge)).empty()) << make;
  }
}

}  // namespace
}  // namespace lumora::test
