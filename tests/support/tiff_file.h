#pragma once
// Helpers of the TIFF reader's tests: a small TIFF writer for files built byte by byte, the
// formulas of the committed fixtures (scripts/make_tiff_fixtures.sh), and loading shortcuts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/core/format.h"
#include "imagelib/core/load.h"
#include "tests/support/picture_file.h"

namespace lumora::test {

// ---------------------------------------------------------------------------------------------
// A TIFF file written field by field (TIFF 6.0 section 2), or with `big_tiff` a BigTIFF file:
// version 43, 8-byte offsets, entry counts and value fields, 20-byte entries.

class TiffFile {
 public:
  explicit TiffFile(bool big_endian = false, bool big_tiff = false) : big_(big_endian), bigtiff_(big_tiff) {
    const uint8_t version = bigtiff_ ? 43 : 42;
    bytes_ = big_ ? std::vector<uint8_t>{'M', 'M', 0, version} : std::vector<uint8_t>{'I', 'I', version, 0};
    if (bigtiff_) put16(bytes_, 8), put16(bytes_, 0);
    bytes_.resize(bytes_.size() + value_bytes(), 0);
  }
  // Bytes of an offset, which is also the size of an entry's value field.
  size_t value_bytes() const { return bigtiff_ ? 8 : 4; }
  // Appends raw data (a strip, a table) and returns its offset.
  uint32_t data(const std::vector<uint8_t>& d) {
    const uint32_t at = static_cast<uint32_t>(bytes_.size());
    bytes_.insert(bytes_.end(), d.begin(), d.end());
    if (bytes_.size() & 1) bytes_.push_back(0);
    return at;
  }
  // An entry of numbers: type 1 (BYTE), 3 (SHORT), 4 (LONG), 5 (RATIONAL, pairs) or 16 (LONG8).
  TiffFile& add(uint16_t tag, uint16_t type, const std::vector<uint64_t>& values) {
    std::vector<uint8_t> v;
    for (uint64_t x : values) {
      if (type == 1 || type == 2 || type == 7) v.push_back(static_cast<uint8_t>(x));
      else if (type == 3) put16(v, static_cast<uint16_t>(x));
      else if (type == 16) put64(v, x);
      else put32(v, static_cast<uint32_t>(x));
    }
    const uint32_t count = type == 5 ? static_cast<uint32_t>(values.size() / 2)
                                     : static_cast<uint32_t>(values.size());
    entries_.push_back({tag, type, count, v});
    return *this;
  }
  TiffFile& add_bytes(uint16_t tag, uint16_t type, const std::vector<uint8_t>& raw) {
    entries_.push_back({tag, type, static_cast<uint32_t>(raw.size()), raw});
    return *this;
  }
  TiffFile& add_text(uint16_t tag, const std::string& text) {
    std::vector<uint8_t> raw(text.begin(), text.end());
    raw.push_back(0);
    return add_bytes(tag, 2, raw);
  }
  // An entry whose value field holds `value` as it stands (an offset the test chose).
  TiffFile& add_raw(uint16_t tag, uint16_t type, uint32_t count, uint64_t value) {
    std::vector<uint8_t> v;
    if (bigtiff_) put64(v, value);
    else put32(v, static_cast<uint32_t>(value));
    entries_.push_back({tag, type, count, v, true});
    return *this;
  }
  // Ends the current page's directory; the next add() starts another page.
  void next_page() {
    pages_.push_back(entries_);
    entries_.clear();
  }
  // The whole file. `next_of_last` links the last directory (0 ends the chain; tests of loops
  // give the offset of an earlier directory through first_directory_offset()).
  std::vector<uint8_t> build() {
    if (!entries_.empty() || pages_.empty()) next_page();
    std::vector<uint8_t> out = bytes_;
    std::vector<size_t> next_fields;
    for (size_t p = 0; p < pages_.size(); ++p) {
      auto& entries = pages_[p];
      std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
      // Values longer than the value field go before the directory.
      std::vector<uint32_t> offsets(entries.size(), 0);
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].raw_field || entries[i].value.size() <= value_bytes()) continue;
        offsets[i] = static_cast<uint32_t>(out.size());
        out.insert(out.end(), entries[i].value.begin(), entries[i].value.end());
        if (out.size() & 1) out.push_back(0);
      }
      const uint32_t dir = static_cast<uint32_t>(out.size());
      directories_.push_back(dir);
      set_offset(out, p == 0 ? (bigtiff_ ? 8 : 4) : next_fields.back(), dir);
      std::vector<uint8_t> d;
      if (bigtiff_) put64(d, entries.size());
      else put16(d, static_cast<uint16_t>(entries.size()));
      for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        put16(d, e.tag);
        put16(d, e.type);
        if (bigtiff_) put64(d, e.count);
        else put32(d, e.count);
        if (e.raw_field) {
          d.insert(d.end(), e.value.begin(), e.value.end());
        } else if (e.value.size() <= value_bytes()) {
          std::vector<uint8_t> field = e.value;
          field.resize(value_bytes(), 0);
          d.insert(d.end(), field.begin(), field.end());
        } else if (bigtiff_) {
          put64(d, offsets[i]);
        } else {
          put32(d, offsets[i]);
        }
      }
      next_fields.push_back(out.size() + d.size());
      d.resize(d.size() + value_bytes(), 0);
      out.insert(out.end(), d.begin(), d.end());
    }
    return out;
  }
  const std::vector<uint32_t>& directories() const { return directories_; }
  bool big_endian() const { return big_; }
  void put16(std::vector<uint8_t>& v, uint16_t x) const {
    if (big_) { v.push_back(x >> 8); v.push_back(x & 0xFF); }
    else { v.push_back(x & 0xFF); v.push_back(x >> 8); }
  }
  void put32(std::vector<uint8_t>& v, uint32_t x) const {
    if (big_) { put16(v, x >> 16); put16(v, x & 0xFFFF); }
    else { put16(v, x & 0xFFFF); put16(v, x >> 16); }
  }
  void put64(std::vector<uint8_t>& v, uint64_t x) const {
    if (big_) { put32(v, static_cast<uint32_t>(x >> 32)); put32(v, static_cast<uint32_t>(x)); }
    else { put32(v, static_cast<uint32_t>(x)); put32(v, static_cast<uint32_t>(x >> 32)); }
  }
  void set32(std::vector<uint8_t>& v, size_t at, uint32_t x) const {
    std::vector<uint8_t> b;
    put32(b, x);
    std::copy(b.begin(), b.end(), v.begin() + static_cast<std::ptrdiff_t>(at));
  }
  // An offset of the file's form (4 bytes, 8 in BigTIFF) at `at`.
  void set_offset(std::vector<uint8_t>& v, size_t at, uint64_t x) const {
    std::vector<uint8_t> b;
    if (bigtiff_) put64(b, x);
    else put32(b, static_cast<uint32_t>(x));
    std::copy(b.begin(), b.end(), v.begin() + static_cast<std::ptrdiff_t>(at));
  }

 private:
  struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> value;
    bool raw_field = false;
  };
  bool big_;
  bool bigtiff_;
  std::vector<uint8_t> bytes_;
  std::vector<Entry> entries_;
  std::vector<std::vector<Entry>> pages_;
  std::vector<uint32_t> directories_;
};

// The usual tags of a one-strip page.
inline void basic_page(TiffFile& t, uint32_t width, uint32_t height, uint32_t bits,
                       uint32_t samples, uint32_t photometric, uint32_t compression,
                       const std::vector<uint8_t>& strip) {
  const uint32_t at = t.data(strip);
  t.add(256, 4, {width}).add(257, 4, {height}).add(259, 3, {compression}).add(262, 3, {photometric});
  std::vector<uint64_t> bps(samples, bits);
  t.add(258, 3, bps).add(277, 3, {samples}).add(273, 4, {at}).add(278, 4, {height});
  t.add(279, 4, {static_cast<uint32_t>(strip.size())});
}

// ---------------------------------------------------------------------------------------------
// The fixtures' formulas.

inline void fixture_colour(int x, int y, uint8_t rgb[3]) {
  rgb[0] = static_cast<uint8_t>((x * 37 + y * 11) & 255);
  rgb[1] = static_cast<uint8_t>((x * 5 + y * 71) & 255);
  rgb[2] = static_cast<uint8_t>(((x ^ y) * 13) & 255);
}
inline uint8_t fixture_grey(int x, int y) { return static_cast<uint8_t>((x * 6 + y * 9) & 255); }
inline bool fixture_black(int x, int y) { return ((x / (1 + y % 5)) + y) % 3 == 0; }
inline void fixture_cmyk_rgb(int x, int y, uint8_t rgb[3]) {
  const int c = (x * 6) & 255, m = (y * 12) & 255, ye = ((x + y) * 4) & 255, k = (255 - x * 6) & 255;
  rgb[0] = static_cast<uint8_t>((255 - c) * (255 - k) / 255);
  rgb[1] = static_cast<uint8_t>((255 - m) * (255 - k) / 255);
  rgb[2] = static_cast<uint8_t>((255 - ye) * (255 - k) / 255);
}

inline std::string fixture(const std::string& name) {
  // The source tree as CTest names it; __FILE__ when the test runs on its own.
  if (const char* src = std::getenv("LUMORA_SOURCE_DIR"))
    return (std::filesystem::path(src) / "tests/codecs/tiff/fixtures" / name).string();
  return (std::filesystem::path(__FILE__).parent_path() / "fixtures" / name).string();
}

// ---------------------------------------------------------------------------------------------
// Files and loads.

// Loads with component order 0 and alignment 1, through the TIFF row of the table.
inline void load_tiff(const std::string& path, LoadedPicture* out, uint32_t flags = 0, int32_t page = 0) {
  LoadParams p;
  load_params_init(&p);
  p.alignment = 1;
  p.flags = flags;
  p.image_index = page;
  p.format_index = kFormatTiff;
  out->status = load_image(path.c_str(), &out->bitmap, &p, &out->info);
}
inline void load_tiff(const Bytes& file, LoadedPicture* out, uint32_t flags = 0, int32_t page = 0) {
  TempFile f(file);
  load_tiff(f.path(), out, flags, page);
}

}  // namespace lumora::test
