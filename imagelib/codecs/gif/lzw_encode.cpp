#include "imagelib/codecs/gif/lzw_encode.h"

#include <cstring>

namespace lumora {

namespace {
constexpr int kMaxCodes = 4096;
constexpr int kMaxWidth = 12;

int width_limit(int width) { return width == kMaxWidth ? kMaxCodes : (1 << width) - 1; }
}  // namespace

LzwEncoder::LzwEncoder(int initial_width, LzwByteWriter write, void* user)
    : write_(write), user_(user), initial_width_(initial_width) {
  clear_code_ = 1 << (initial_width - 1);
  end_code_ = clear_code_ + 1;
  width_ = initial_width;
  limit_ = width_limit(width_);
  next_ = clear_code_ + 2;
  clear_table();
  emit(clear_code_);
}

void LzwEncoder::clear_table() { std::memset(slot_code_, 0, sizeof slot_code_); }

void LzwEncoder::put_byte(uint8_t b) {
  block_[1 + block_len_++] = b;
  if (block_len_ == kLzwBlockBytes) flush_block();
}

void LzwEncoder::flush_block() {
  if (block_len_ == 0) return;
  block_[0] = static_cast<uint8_t>(block_len_);
  if (status_ == 0) status_ = write_(user_, block_, static_cast<size_t>(block_len_) + 1);
  block_len_ = 0;
}

// Codes are packed least significant bit first (GIF89a appendix F).
void LzwEncoder::emit(int code) {
  bits_ |= static_cast<uint32_t>(code) << bit_count_;
  bit_count_ += width_;
  while (bit_count_ >= 8) {
    put_byte(static_cast<uint8_t>(bits_));
    bits_ >>= 8;
    bit_count_ -= 8;
  }
}

int LzwEncoder::add(const uint8_t* pixels, size_t count) {
  size_t i = 0;
  if (prefix_ < 0 && count > 0) prefix_ = pixels[i++];
  for (; i < count && status_ == 0; ++i) {
    const int p = pixels[i];
    int h = (p << 4) + prefix_;
    if (h >= kLzwHashSlots) h -= kLzwHashSlots;
    const int step = h == 0 ? 1 : kLzwHashSlots - h;
    bool found = false;
    while (slot_code_[h] != 0) {
      if (slot_prefix_[h] == prefix_ && slot_suffix_[h] == p) {
        prefix_ = slot_code_[h];
        found = true;
        break;
      }
      h -= step;
      if (h < 0) h += kLzwHashSlots;
    }
    if (found) continue;

    emit(prefix_);
    if (next_ > limit_) {
      ++width_;
      limit_ = width_limit(width_);
    }
    if (next_ >= kMaxCodes) {
      // Table full: start a new one. The clear code goes out at the current width.
      clear_table();
      next_ = clear_code_ + 2;
      emit(clear_code_);
      width_ = initial_width_;
      limit_ = width_limit(width_);
    } else {
      slot_code_[h] = static_cast<uint16_t>(next_++);
      slot_prefix_[h] = static_cast<uint16_t>(prefix_);
      slot_suffix_[h] = static_cast<uint8_t>(p);
    }
    prefix_ = p;
  }
  return status_;
}

int LzwEncoder::finish() {
  if (prefix_ >= 0) {
    emit(prefix_);
    if (next_ > limit_) {
      ++width_;
      limit_ = width_limit(width_);
    }
  }
  emit(end_code_);
  if (bit_count_ > 0) {
    put_byte(static_cast<uint8_t>(bits_));
    bits_ = 0;
    bit_count_ = 0;
  }
  flush_block();
  return status_;
}

}  // namespace lumora
