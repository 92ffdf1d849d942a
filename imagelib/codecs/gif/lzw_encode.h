#pragma once
// LZW compression of GIF image data (GIF89a appendix F) with an open-addressing string table of
// 5003 slots probed by double hashing, codes growing from the initial width to 12 bits, and the
// output cut into data sub-blocks of 254 bytes.
#include <cstddef>
#include <cstdint>

namespace lumora {

// Writes `size` bytes; returns 0, or a non-zero status that ends the encoding.
using LzwByteWriter = int (*)(void* user, const uint8_t* data, size_t size);

constexpr int kLzwHashSlots = 5003;   // a prime somewhat above 4096 keeps probe chains short
constexpr int kLzwBlockBytes = 254;

class LzwEncoder {
 public:
  // `initial_width` is the minimum code size + 1 (3..9).
  LzwEncoder(int initial_width, LzwByteWriter write, void* user);

  // Compresses `count` further pixels. Returns 0 or the first failing write's status.
  int add(const uint8_t* pixels, size_t count);
  // Emits the pending string and the end code, flushes the last byte and the last sub-block
  // (the block terminator is the caller's). Returns 0 or the first failing write's status.
  int finish();

 private:
  void clear_table();
  void emit(int code);
  void put_byte(uint8_t b);
  void flush_block();

  LzwByteWriter write_;
  void* user_;
  int status_ = 0;

  int initial_width_;
  int clear_code_;
  int end_code_;
  int width_;
  int limit_;       // largest code the current width can hold (4096 once the width is 12)
  int next_;        // next free code
  int prefix_ = -1; // code of the string matched so far; -1 before the first pixel

  uint32_t bits_ = 0;
  int bit_count_ = 0;
  uint8_t block_[kLzwBlockBytes + 1];  // count byte and data
  int block_len_ = 0;

  uint16_t slot_code_[kLzwHashSlots];   // 0 = empty
  uint16_t slot_prefix_[kLzwHashSlots];
  uint8_t slot_suffix_[kLzwHashSlots];
};

}  // namespace lumora
