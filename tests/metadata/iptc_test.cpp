// IPTC record 2 inside Photoshop resource blocks built byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imagelib/metadata/iptc.h"
#include "tests/support/iptc_block.h"

namespace lumora::test {
namespace {

TEST(Iptc, DatasetsBecomeNamedLinesInDatasetOrder) {
  std::vector<uint8_t> data = iim({{2, 0, std::string("\0\4", 2)},
                                   {2, 120, "first caption"},
                                   {2, 25, "sea"},
                                   {1, 90, "record 1 is skipped"},
                                   {2, 80, "Ann"},
                                   {2, 25, "sun"},
                                   {2, 120, "second caption"},
                                   {2, 200, "x"},
                                   {2, 20, "cat"},
                                   {2, 118, "a"},
                                   {2, 118, "b"}});
  Calls expected = {{0, "????", ""},
                    {20, "Supplemental Categories", "cat"},
                    {25, "Keywords", "sea,sun"},
                    {80, "Byline", "Ann"},
                    {118, "Contact", "a,b"},
                    {120, "Caption", "second caption"},
                    {200, "????", "x"}};
  for (const std::string& name : {std::string(), std::string("a"), std::string("ab"), std::string("abc")}) {
    EXPECT_EQ(enumerate(photoshop(data, name)), expected) << "resource name '" << name << "'";
  }
}

TEST(Iptc, FindAndPresent) {
  std::vector<uint8_t> data = iim({{2, 5, "title"}});
  std::vector<uint8_t> good = photoshop(data);
  ChunkHolder iptc(kChunkIptc, good);
  EXPECT_EQ(iptc_present(&iptc.chunk), 1);
  ASSERT_NE(iptc_find(good.data(), static_cast<uint32_t>(good.size())), nullptr);
  struct {
    const char* what;
    std::vector<uint8_t> block;
  } refused[] = {
      {"other resource only", photoshop(data, "", 0x0405)},
      {"wrong signature", [&] { auto b = good; b[0] = 'p'; return b; }()},
      {"six bytes", std::vector<uint8_t>(good.begin(), good.begin() + 6)},
      {"ends inside the size field", std::vector<uint8_t>(good.begin(), good.begin() + 40)},
  };
  for (const auto& c : refused) {
    ChunkHolder h(kChunkIptc, c.block);
    EXPECT_EQ(iptc_present(&h.chunk), 0) << c.what;
    EXPECT_TRUE(enumerate(c.block).empty()) << c.what;
  }
  ChunkHolder as_exif(kChunkExif, good);
  EXPECT_EQ(iptc_present(&as_exif.chunk), 0);
}

TEST(Iptc, LastChunkWins) {
  ChunkHolder a(kChunkIptc, photoshop(iim({{2, 5, "first"}})));
  ChunkHolder b(kChunkIptc, photoshop(iim({{2, 5, "second"}})));
  ChunkHolder none(kChunkIptc, photoshop(iim({{2, 5, "x"}}), "", 0x0405));
  a.chunk.next = &b.chunk;
  b.chunk.next = &none.chunk;
  Calls calls;
  iptc_enumerate(&a.chunk, [](void* user, uint32_t dataset, const char* name, const char* text) {
    static_cast<Calls*>(user)->emplace_back(dataset, name, text);
  }, &calls);
  EXPECT_EQ(calls, (Calls{{5, "Object Name", "second"}}));
}

TEST(Iptc, BrokenBlocksKeepWhatCouldBeRead) {
  std::vector<uint8_t> data = iim({{2, 5, "title"}, {2, 90, "Paris"}});
  struct {
    const char* what;
    std::vector<uint8_t> block;
    Calls expected;
  } cases[] = {
      // size field larger than the block: the datasets present are read
      {"size too large", photoshop(data, "", 0x0404, 0x7FFFFFF0), {{5, "Object Name", "title"}, {90, "City", "Paris"}}},
      // size cuts the second dataset
      {"size cuts a dataset", photoshop(data, "", 0x0404, 14), {{5, "Object Name", "title"}}},
      // a dataset whose length runs past the block
      {"dataset too long", [&] {
         auto d = iim({{2, 5, "title"}});
         d.insert(d.end(), {0x1C, 2, 90, 0x7F, 0xFF, 'P'});
         return photoshop(d);
       }(), {{5, "Object Name", "title"}}},
      // junk after the datasets ends the parse
      {"junk after", [&] {
         auto d = data;
         d.insert(d.end(), {0, 0, 0x1C, 2, 100, 0, 1, 'X'});
         return photoshop(d);
       }(), {{5, "Object Name", "title"}, {90, "City", "Paris"}}},
      // leading bytes before the first marker are skipped
      {"leading bytes", [&] {
         std::vector<uint8_t> d = {1, 2, 3};
         d.insert(d.end(), data.begin(), data.end());
         return photoshop(d);
       }(), {{5, "Object Name", "title"}, {90, "City", "Paris"}}},
      // extended dataset length (IIM 1.5.4): 2 bytes of length follow
      {"extended length", [&] {
         std::vector<uint8_t> d = {0x1C, 2, 120, 0x80, 0x02, 0x00, 0x03, 'a', 'b', 'c'};
         return photoshop(d);
       }(), {{120, "Caption", "abc"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(enumerate(c.block), c.expected) << c.what;
  // Every truncation of a good block parses without reading past its end (ASan).
  std::vector<uint8_t> good = photoshop(data);
  for (size_t n = 0; n <= good.size(); ++n) {
    Calls calls = enumerate(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n)));
    EXPECT_LE(calls.size(), 2u);
  }
}

}  // namespace
}  // namespace lumora::test
