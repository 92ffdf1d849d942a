// The Exif thumbnail locator on well-formed and hostile APP1 payloads. Every payload is copied
// into a buffer of exactly its length, so a read past the end shows under AddressSanitizer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "imagelib/codecs/jpeg/exif_thumbnail.h"
#include "tests/support/exif_block.h"

namespace lumora {
namespace {

struct Entry {
  uint16_t tag, type;
  uint32_t count, value;
};

// "Exif\0\0", the TIFF header and one directory after another from offset 8, each entry's value
// field written as given and each directory's next-directory field as given; then `pad` bytes.
std::vector<uint8_t> exif_payload(bool big_endian, const std::vector<std::pair<std::vector<Entry>, uint32_t>>& ifds,
                                  size_t pad = 0, uint8_t pad_value = 0xAA) {
  test::IfdBlock block(big_endian);
  for (const auto& [entries, next] : ifds) {
    const int ifd = block.add_ifd();
    for (const Entry& e : entries) block.add_raw(ifd, e.tag, e.type, e.count, e.value);
    block.set_next_raw(ifd, next);
  }
  std::vector<uint8_t> out = block.build_exif();
  out.insert(out.end(), pad, pad_value);
  return out;
}

bool locate_exact(const std::vector<uint8_t>& payload, ExifThumbnailLocation* out) {
  auto* copy = new uint8_t[payload.size()];
  std::memcpy(copy, payload.data(), payload.size());
  const bool found = exif_locate_thumbnail(copy, payload.size(), out);
  delete[] copy;
  return found;
}

// A camera-like layout: IFD0 with an Exif sub-IFD pointer, IFD1 with the thumbnail tags.
std::vector<uint8_t> camera_block(bool big_endian, uint32_t* thumb_at, uint32_t thumb_len) {
  // IFD0 at 8 (1 entry: 18 bytes) -> Exif IFD at 26 (1 entry) -> IFD1 at 44 (2 entries) -> data 74.
  *thumb_at = 74;
  return exif_payload(big_endian, {{{{0x8769, 4, 1, 26}}, 44}, {{{0x9000, 7, 4, 0x30323330}}, 0},
                                   {{{0x0201, 4, 1, *thumb_at}, {0x0202, 4, 1, thumb_len}}, 0}},
                      thumb_len, 0x55);
}

TEST(ExifThumbnailTest, FindsTheThumbnailOfCameraLayouts) {
  for (bool be : {false, true}) {
    uint32_t at = 0;
    const std::vector<uint8_t> block = camera_block(be, &at, 100);
    ExifThumbnailLocation where{};
    ASSERT_TRUE(locate_exact(block, &where)) << (be ? "MM" : "II");
    EXPECT_EQ(where.offset, at + 6);  // made relative to the payload start
    EXPECT_EQ(where.length, 100u);
    EXPECT_EQ(where.offset + where.length, block.size());
  }
}

TEST(ExifThumbnailTest, HostileBlocksAreRefusedWithoutStrayReads) {
  struct Case {
    const char* name;
    std::vector<Entry> ifd0;
    uint32_t next;      // next-IFD offset of IFD0 (0 = none)
    size_t pad;         // bytes after IFD0
    bool found;
  };
  // IFD0 sits at 8; with n entries it ends at 8 + 2 + 12n + 4.
  const std::vector<Case> cases = {
      // Two entries: IFD0 ends at 38, the data at 58.
      {"tags in IFD0, thumbnail ends at the end", {{0x0201, 4, 1, 40}, {0x0202, 4, 1, 18}}, 0, 20, true},
      {"thumbnail one byte past the end", {{0x0201, 4, 1, 40}, {0x0202, 4, 1, 19}}, 0, 20, false},
      {"offset near 4 GB wraps", {{0x0201, 4, 1, 0xFFFFFFF0u}, {0x0202, 4, 1, 0x20}}, 0, 20, false},
      {"offset tag of type SHORT", {{0x0201, 3, 1, 40}, {0x0202, 4, 1, 10}}, 0, 20, false},
      {"length tag with count 2", {{0x0201, 4, 1, 40}, {0x0202, 4, 2, 10}}, 0, 20, false},
      {"type 13 ends the directory", {{0x1234, 13, 1, 0}, {0x0201, 4, 1, 40}, {0x0202, 4, 1, 10}}, 0, 20,
       false},
      {"type 0 ends the directory", {{0x1234, 0, 1, 0}, {0x0201, 4, 1, 40}, {0x0202, 4, 1, 10}}, 0, 20,
       false},
      {"huge count overflows the size", {{0x1234, 12, 0x40000000, 8}, {0x0201, 4, 1, 40}, {0x0202, 4, 1, 10}},
       0, 20, false},
      {"value outside the data", {{0x010F, 2, 100, 30}, {0x0201, 4, 1, 40}, {0x0202, 4, 1, 10}}, 0, 20,
       false},
      {"Exif IFD pointer outside", {{0x8769, 4, 1, 0xFFFF0000u}}, 0, 0, false},
      {"next IFD points back at IFD0", {{0x1234, 3, 1, 0}}, 8, 0, false},
      {"next IFD beyond the data", {{0x1234, 3, 1, 0}}, 5000, 0, false},
  };
  for (const Case& c : cases) {
    ExifThumbnailLocation where{};
    EXPECT_EQ(locate_exact(exif_payload(false, {{c.ifd0, c.next}}, c.pad), &where), c.found) << c.name;
  }
}

TEST(ExifThumbnailTest, BrokenHeadersAndDirectoryCounts) {
  uint32_t at = 0;
  const std::vector<uint8_t> good = camera_block(false, &at, 16);
  struct Case {
    const char* name;
    size_t offset;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"not Exif", 0, {'E', 'x', 'i', 'g'}},
      {"unknown byte order", 6, {'I', 'M'}},
      {"magic 43", 8, {43, 0}},
      {"IFD0 offset past the end", 10, {0xF0, 0xFF, 0, 0}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> block = good;
    std::memcpy(block.data() + c.offset, c.bytes.data(), c.bytes.size());
    ExifThumbnailLocation where{};
    EXPECT_FALSE(locate_exact(block, &where)) << c.name;
  }
}

TEST(ExifThumbnailTest, EveryTruncationIsSafeAndFindsOnlyWholeThumbnails) {
  uint32_t at = 0;
  const std::vector<uint8_t> block = camera_block(true, &at, 32);
  for (size_t n = 0; n <= block.size(); ++n) {
    std::vector<uint8_t> prefix(block.begin(), block.begin() + static_cast<long>(n));
    ExifThumbnailLocation where{};
    const bool found = prefix.empty() ? exif_locate_thumbnail(nullptr, 0, &where) : locate_exact(prefix, &where);
    EXPECT_EQ(found, n == block.size()) << "length " << n;
  }
}

}  // namespace
}  // namespace lumora
