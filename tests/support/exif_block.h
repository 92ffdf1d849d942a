#pragma once
// Builds TIFF-structured blocks byte by byte for the metadata tests: directories with entries of
// every field type, sub-directory links, next-directory links, values placed in the entry or in
// a data area after the directory, raw fields for hostile offsets, and entries whose bytes are
// made once their position is known (maker notes whose offsets count from the TIFF data).
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "imagelib/core/bitmap.h"
#include "imagelib/metadata/exif.h"

namespace lumora::test {

class IfdBlock {
 public:
  // `header`: write "II"/"MM", 42 and the offset of the first directory before the directories.
  explicit IfdBlock(bool big_endian, bool header = true) : be_(big_endian), header_(header) {}

  bool big_endian() const { return be_; }
  int add_ifd() {
    ifds_.emplace_back();
    return static_cast<int>(ifds_.size()) - 1;
  }

  // Typed entries; values are converted to the block's byte order.
  void add_bytes(int ifd, uint16_t tag, uint16_t type, std::vector<uint8_t> bytes, uint32_t count) {
    Entry e;
    e.tag = tag, e.type = type, e.count = count, e.data = std::move(bytes);
    ifds_[ifd].entries.push_back(std::move(e));
  }
  void add_byte(int ifd, uint16_t tag, std::vector<uint8_t> v, uint16_t type = 1) {
    auto n = static_cast<uint32_t>(v.size());
    add_bytes(ifd, tag, type, std::move(v), n);
  }
  void add_undefined(int ifd, uint16_t tag, const std::string& s) {
    add_bytes(ifd, tag, 7, std::vector<uint8_t>(s.begin(), s.end()), static_cast<uint32_t>(s.size()));
  }
  // ASCII with its terminating NUL.
  void add_ascii(int ifd, uint16_t tag, const std::string& s) {
    std::vector<uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    auto n = static_cast<uint32_t>(v.size());
    add_bytes(ifd, tag, 2, std::move(v), n);
  }
  void add_short(int ifd, uint16_t tag, std::vector<uint16_t> v, uint16_t type = 3) {
    std::vector<uint8_t> b;
    for (uint16_t x : v) put16(b, x);
    add_bytes(ifd, tag, type, std::move(b), static_cast<uint32_t>(v.size()));
  }
  void add_long(int ifd, uint16_t tag, std::vector<uint32_t> v, uint16_t type = 4) {
    std::vector<uint8_t> b;
    for (uint32_t x : v) put32(b, x);
    add_bytes(ifd, tag, type, std::move(b), static_cast<uint32_t>(v.size()));
  }
  void add_rational(int ifd, uint16_t tag, std::vector<std::pair<uint32_t, uint32_t>> v,
                    uint16_t type = 5) {
    std::vector<uint8_t> b;
    for (auto [n, d] : v) put32(b, n), put32(b, d);
    add_bytes(ifd, tag, type, std::move(b), static_cast<uint32_t>(v.size()));
  }
  void add_float(int ifd, uint16_t tag, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    add_long(ifd, tag, {bits}, 11);
  }
  void add_double(int ifd, uint16_t tag, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    std::vector<uint8_t> b;
    if (be_) put32(b, static_cast<uint32_t>(bits >> 32)), put32(b, static_cast<uint32_t>(bits));
    else put32(b, static_cast<uint32_t>(bits)), put32(b, static_cast<uint32_t>(bits >> 32));
    add_bytes(ifd, tag, 12, std::move(b), 1);
  }
  // An entry written exactly as given: the value field holds `field` whatever the count says.
  void add_raw(int ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t field) {
    Entry e;
    e.tag = tag, e.type = type, e.count = count, e.raw = true, e.field = field;
    ifds_[ifd].entries.push_back(std::move(e));
  }
  // A LONG entry holding the offset of directory `child`.
  void link(int ifd, uint16_t tag, int child) {
    Entry e;
    e.tag = tag, e.type = 4, e.count = 1, e.child = child;
    ifds_[ifd].entries.push_back(std::move(e));
  }
  // UNDEFINED bytes made once their position in the block is known.
  void add_generated(int ifd, uint16_t tag, uint32_t size,
                     std::function<std::vector<uint8_t>(uint32_t pos)> make) {
    Entry e;
    e.tag = tag, e.type = 7, e.count = size, e.data.assign(size, 0), e.make = std::move(make);
    ifds_[ifd].entries.push_back(std::move(e));
  }
  void set_next(int ifd, int next) { ifds_[ifd].next = next; }
  void set_next_raw(int ifd, uint32_t offset) { ifds_[ifd].next_raw = offset, ifds_[ifd].has_next_raw = true; }

  // The body with every offset counted from `base` (the position of the body's first byte in
  // whatever the offsets are relative to).
  std::vector<uint8_t> build(uint32_t base = 0) {
    std::vector<uint32_t> pos(ifds_.size());
    uint32_t at = header_ ? 8 : 0;
    for (size_t i = 0; i < ifds_.size(); ++i) {
      pos[i] = at;
      at += ifd_size(ifds_[i]);
    }
    std::vector<uint8_t> out;
    if (header_) {
      out.push_back(be_ ? 'M' : 'I');
      out.push_back(be_ ? 'M' : 'I');
      put16(out, 42);
      put32(out, ifds_.empty() ? 0 : base + pos[0]);
    }
    for (size_t i = 0; i < ifds_.size(); ++i) {
      Ifd& d = ifds_[i];
      uint32_t data_at = pos[i] + 2 + 12 * static_cast<uint32_t>(d.entries.size()) + 4;
      std::vector<uint8_t> area;
      put16(out, static_cast<uint16_t>(d.entries.size()));
      for (Entry& e : d.entries) {
        put16(out, e.tag);
        put16(out, e.type);
        put32(out, e.count);
        if (e.raw) {
          put32(out, e.field);
        } else if (e.child >= 0) {
          put32(out, base + pos[e.child]);
        } else if (e.data.size() <= 4) {
          std::vector<uint8_t> v = e.make ? e.make(base + static_cast<uint32_t>(out.size())) : e.data;
          v.resize(4, 0);
          out.insert(out.end(), v.begin(), v.end());
        } else {
          uint32_t value_at = data_at + static_cast<uint32_t>(area.size());
          put32(out, base + value_at);
          std::vector<uint8_t> v = e.make ? e.make(base + value_at) : e.data;
          v.resize(e.data.size(), 0);
          area.insert(area.end(), v.begin(), v.end());
          if (area.size() & 1) area.push_back(0);
        }
      }
      if (d.has_next_raw) put32(out, d.next_raw);
      else put32(out, d.next >= 0 ? base + pos[d.next] : 0);
      out.insert(out.end(), area.begin(), area.end());
    }
    return out;
  }
  // "Exif\0\0" and the body.
  std::vector<uint8_t> build_exif() {
    std::vector<uint8_t> out = {'E', 'x', 'i', 'f', 0, 0};
    std::vector<uint8_t> body = build();
    out.insert(out.end(), body.begin(), body.end());
    return out;
  }

  void put16(std::vector<uint8_t>& b, uint32_t v) const {
    if (be_) b.push_back(static_cast<uint8_t>(v >> 8)), b.push_back(static_cast<uint8_t>(v));
    else b.push_back(static_cast<uint8_t>(v)), b.push_back(static_cast<uint8_t>(v >> 8));
  }
  void put32(std::vector<uint8_t>& b, uint32_t v) const {
    if (be_) put16(b, v >> 16), put16(b, v & 0xFFFF);
    else put16(b, v & 0xFFFF), put16(b, v >> 16);
  }

 private:
  struct Entry {
    uint16_t tag = 0, type = 0;
    uint32_t count = 0;
    std::vector<uint8_t> data;
    bool raw = false;
    uint32_t field = 0;
    int child = -1;
    std::function<std::vector<uint8_t>(uint32_t)> make;
  };
  struct Ifd {
    std::vector<Entry> entries;
    int next = -1;
    bool has_next_raw = false;
    uint32_t next_raw = 0;
  };
  static uint32_t ifd_size(const Ifd& d) {
    uint32_t size = 2 + 12 * static_cast<uint32_t>(d.entries.size()) + 4;
    for (const Entry& e : d.entries) {
      if (!e.raw && e.child < 0 && e.data.size() > 4) size += static_cast<uint32_t>((e.data.size() + 1) & ~size_t{1});
    }
    return size;
  }

  bool be_;
  bool header_;
  std::vector<Ifd> ifds_;
};

// One line received by a callback.
struct Line {
  uint32_t section;
  uint32_t tag;
  std::string name;
  std::string text;   // "<header>" for a section header
  bool operator==(const Line&) const = default;
};

// A chunk list of one chunk that owns a copy of `bytes`.
struct ChunkHolder {
  MetadataChunk chunk{};
  std::vector<uint8_t> bytes;
  ChunkHolder(uint32_t kind, std::vector<uint8_t> b) : bytes(std::move(b)) {
    chunk.kind = kind;
    chunk.size = static_cast<uint32_t>(bytes.size());
    chunk.data = bytes.data();
    chunk.next = nullptr;
  }
  ChunkHolder(const ChunkHolder&) = delete;
  ChunkHolder& operator=(const ChunkHolder&) = delete;
};

// Every callback call of exif_enumerate over a block, and the function's result.
inline int collect_lines(const std::vector<uint8_t>& block, std::vector<Line>* lines) {
  ChunkHolder holder(kChunkExif, block);
  auto callback = [](void* user, uint32_t section, uint32_t tag, const char* name, const char* text) {
    static_cast<std::vector<Line>*>(user)->push_back(
        Line{section, tag, name, text != nullptr ? text : "<header>"});
  };
  return exif_enumerate(&holder.chunk, callback, lines);
}
inline std::vector<Line> lines_of(const std::vector<uint8_t>& block) {
  std::vector<Line> lines;
  collect_lines(block, &lines);
  return lines;
}
// The text of the first line with that name in a section, or "<none>".
inline std::string text_of(const std::vector<Line>& lines, uint32_t section, const std::string& name) {
  for (const Line& l : lines) {
    if (l.section == section && l.name == name) return l.text;
  }
  return "<none>";
}

}  // namespace lumora::test
