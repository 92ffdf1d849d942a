// The Exif rebuild, checked by parsing the produced block back with a small TIFF reader.
#include "imagelib/core/exif_rebuild.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace lumora {
namespace {

using Bytes = std::vector<uint8_t>;

struct Parsed {
  uint16_t tag, type;
  uint32_t count;
  Bytes field;  // the 4 raw bytes of the value field
  Bytes data;   // the bytes at the offset, for values of more than 4 bytes
};

// Reads one directory of a TIFF body (TIFF 6.0 section 2), checking every offset.
class TiffReader {
 public:
  explicit TiffReader(const Bytes& tiff) : t_(tiff) {
    big_ = t_.size() >= 2 && t_[0] == 'M';
  }
  uint16_t u16(size_t at) const {
    EXPECT_LE(at + 2, t_.size());
    if (at + 2 > t_.size()) return 0;
    return big_ ? static_cast<uint16_t>(t_[at] << 8 | t_[at + 1])
                : static_cast<uint16_t>(t_[at + 1] << 8 | t_[at]);
  }
  uint32_t u32(size_t at) const {
    return big_ ? (uint32_t{u16(at)} << 16 | u16(at + 2)) : (uint32_t{u16(at + 2)} << 16 | u16(at));
  }
  std::vector<Parsed> directory(size_t at, uint32_t* next) const {
    std::vector<Parsed> out;
    const uint16_t n = u16(at);
    for (uint16_t i = 0; i < n; ++i) {
      const size_t e = at + 2 + 12 * size_t{i};
      Parsed p{u16(e), u16(e + 2), u32(e + 4), {}, {}};
      EXPECT_LE(e + 12, t_.size());
      if (e + 12 > t_.size()) break;
      p.field.assign(t_.begin() + static_cast<long>(e) + 8, t_.begin() + static_cast<long>(e) + 12);
      out.push_back(p);
    }
    *next = u32(at + 2 + 12 * size_t{n});
    return out;
  }
  Bytes at(uint32_t offset, uint32_t size) const {
    EXPECT_LE(uint64_t{offset} + size, t_.size());
    EXPECT_EQ(offset % 2, 0u) << "TIFF values start on word boundaries";
    if (uint64_t{offset} + size > t_.size()) return {};
    return Bytes(t_.begin() + offset, t_.begin() + offset + size);
  }

 private:
  const Bytes& t_;
  bool big_;
};

struct Input {
  uint16_t tag, type;
  uint32_t dir, count, value;
  Bytes data;
};

Bytes rebuild(bool big, const std::vector<Input>& inputs) {
  ExifList* list = exif_list_create(big);
  EXPECT_NE(list, nullptr);
  for (const Input& in : inputs) {
    ParsedExifEntry* e = exif_list_add(list);
    EXPECT_NE(e, nullptr);
    e->tag = in.tag;
    e->type = in.type;
    e->directory = in.dir;
    e->count = in.count;
    e->value = in.value;
    if (!in.data.empty()) {
      e->data = static_cast<uint8_t*>(std::malloc(in.data.size()));
      std::memcpy(e->data, in.data.data(), in.data.size());
      e->data_size = static_cast<uint32_t>(in.data.size());
    }
  }
  uint8_t* block = nullptr;
  uint32_t size = 0;
  EXPECT_EQ(exif_rebuild(list, &block, &size), 0);
  exif_list_destroy(list);
  Bytes out(block, block + size);
  std::free(block);
  return out;
}

TEST(ExifRebuild, DirectoriesParseBackInBothByteOrders) {
  const Bytes make{'C', 'a', 'm', 'e', 'r', 'a', 0};           // 7 bytes: data area
  const Bytes rational{0, 0, 0, 1, 0, 0, 0, 100};              // 8 bytes: data area
  const Bytes model{'X', '1', 0};                              // 3 bytes: inline
  for (bool big : {true, false}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const std::vector<Input> in = {
        {271, 2, 1, 7, 0, make},
        {272, 2, 1, 3, 0, model},
        {274, 3, 1, 1, 6, {}},          // single SHORT: 16 bits at the start of the field
        {34665, 4, 1, 1, 12345, {}},    // a reader's own pointer is replaced
        {33434, 5, 2, 1, 0, rational},
        {34855, 3, 2, 1, 400, {}},
        {37500, 7, 2, 2, 0xAABBCCDD, {}},  // no data: the plain 32-bit value
        {40000, 3, 9, 1, 1, {}},        // an unknown directory is left out
    };
    const Bytes block = rebuild(big, in);
    ASSERT_GE(block.size(), 14u);
    ASSERT_EQ(0, std::memcmp(block.data(), "Exif\0\0", 6));
    const Bytes tiff(block.begin() + 6, block.end());
    EXPECT_EQ(tiff[0], big ? 'M' : 'I');
    EXPECT_EQ(tiff[1], big ? 'M' : 'I');
    TiffReader r(tiff);
    EXPECT_EQ(r.u16(2), 42);
    EXPECT_EQ(r.u32(4), 8u);

    uint32_t next = 1;
    const auto main_dir = r.directory(8, &next);
    EXPECT_EQ(next, 0u);
    ASSERT_EQ(main_dir.size(), 4u);
    EXPECT_EQ(main_dir[0].tag, 271);
    EXPECT_EQ(main_dir[0].count, 7u);
    EXPECT_EQ(r.at(r.u32(8 + 2 + 8), 7), make);
    EXPECT_EQ(main_dir[1].tag, 272);
    EXPECT_EQ(Bytes(main_dir[1].field.begin(), main_dir[1].field.begin() + 3), model);
    EXPECT_EQ(main_dir[2].tag, 274);
    EXPECT_EQ(r.u16(8 + 2 + 24 + 8), 6);
    EXPECT_EQ(main_dir[3].tag, 34665);
    EXPECT_EQ(main_dir[3].type, 4);
    EXPECT_EQ(main_dir[3].count, 1u);

    const uint32_t sub = r.u32(8 + 2 + 36 + 8);
    EXPECT_NE(sub, 12345u);
    const auto exif_dir = r.directory(sub, &next);
    EXPECT_EQ(next, 0u);
    ASSERT_EQ(exif_dir.size(), 3u);
    EXPECT_EQ(exif_dir[0].tag, 33434);
    EXPECT_EQ(exif_dir[0].type, 5);
    EXPECT_EQ(r.at(r.u32(sub + 2 + 8), 8), rational);
    EXPECT_EQ(exif_dir[1].tag, 34855);
    EXPECT_EQ(r.u16(sub + 2 + 12 + 8), 400);
    EXPECT_EQ(exif_dir[2].tag, 37500);
    EXPECT_EQ(r.u32(sub + 2 + 24 + 8), 0xAABBCCDDu);
    // The sub-directory's data area ends the block.
    EXPECT_EQ(tiff.size(), sub + 2 + 3 * 12 + 4 + 8u);
  }
}

TEST(ExifRebuild, MainDirectoryOnlyHasNoPointer) {
  const Bytes block = rebuild(false, {{305, 2, 1, 4, 0, {'a', 'b', 'c', 0}}});
  const Bytes tiff(block.begin() + 6, block.end());
  TiffReader r(tiff);
  uint32_t next = 1;
  const auto dir = r.directory(8, &next);
  ASSERT_EQ(dir.size(), 1u);
  EXPECT_EQ(dir[0].tag, 305);
  EXPECT_EQ(dir[0].field, (Bytes{'a', 'b', 'c', 0}));
  EXPECT_EQ(tiff.size(), 8u + 2 + 12 + 4);
}

TEST(ExifRebuild, OddSizedValuesKeepLaterOffsetsEven) {
  const Bytes five{1, 2, 3, 4, 5};
  const Bytes seven{1, 2, 3, 4, 5, 6, 7};
  const Bytes block = rebuild(true, {{270, 2, 1, 5, 0, five}, {271, 2, 1, 7, 0, seven},
                                     {33437, 5, 2, 1, 0, {0, 0, 0, 28, 0, 0, 0, 10}}});
  const Bytes tiff(block.begin() + 6, block.end());
  TiffReader r(tiff);
  EXPECT_EQ(r.at(r.u32(8 + 2 + 8), 5), five);
  EXPECT_EQ(r.at(r.u32(8 + 2 + 12 + 8), 7), seven);
  const uint32_t sub = r.u32(8 + 2 + 24 + 8);
  EXPECT_EQ(sub % 2, 0u);
  uint32_t next;
  EXPECT_EQ(r.directory(sub, &next).size(), 1u);
}

TEST(ExifRebuild, ListServices) {
  EXPECT_EQ(exif_list_add(nullptr), nullptr);
  ExifList* list = exif_list_create(false);
  ASSERT_NE(list, nullptr);
  for (int i = 0; i < 100; ++i) {
    ParsedExifEntry* e = exif_list_add(list);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->tag, 0);
    EXPECT_EQ(e->data, nullptr);
    e->tag = static_cast<uint16_t>(i);
    e->directory = kExifDirExif;
  }
  EXPECT_EQ(list->count, 100u);
  EXPECT_EQ(list->entries[99].tag, 99);
  uint8_t* block = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(exif_rebuild(list, &block, &size), 0);
  std::free(block);
  exif_list_destroy(list);
  exif_list_destroy(nullptr);
}

}  // namespace
}  // namespace lumora
