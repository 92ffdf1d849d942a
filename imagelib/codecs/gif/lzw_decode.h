#pragma once
// Variable-length-code LZW decompression of GIF image data (GIF89a section 22 and appendix F),
// shared by the single-image reader and the animation frame loader. The decoder pulls the data
// sub-blocks from a caller-supplied reader and pushes each completed picture row, already placed
// for interlaced images, to a caller-supplied sink.
#include <cstdint>

namespace lumora {

// Largest code the format allows is 12 bits wide, so the dictionary holds 4096 strings.
constexpr int kLzwMaxCodes = 4096;
constexpr int kLzwMaxBits = 12;
// Minimum code sizes accepted from a file.
constexpr int kLzwMinCodeSize = 2;
constexpr int kLzwMaxCodeSize = 9;

// Fills `block` (255 bytes) with the next data sub-block and returns its byte count (1..255);
// returns 0 at the block terminator and a negative value when the file ends.
using LzwBlockReader = int (*)(void* user, uint8_t* block);

// Receives a finished row: `row` is its picture row, `pixels` its `filled` decoded pixels (fewer
// than the image width only for a last row cut short by the data). A non-zero answer stops
// decoding at once (the remaining sub-blocks are then left unread).
using LzwRowSink = int (*)(void* user, int32_t row, const uint8_t* pixels, int32_t filled);

// Why decoding ended. Every reason but kLzwStopped leaves the stream after the block terminator
// (or at the end of the file).
enum LzwEnd {
  kLzwEndCode,     // the end-of-information code
  kLzwComplete,    // every row was filled
  kLzwBadCode,     // a code beyond the next free dictionary entry
  kLzwOverflow,    // a string longer than the dictionary can hold (a corrupt prefix chain)
  kLzwDataEnds,    // the block terminator came before the end code
  kLzwFileEnds,    // the file ended inside the data
  kLzwStopped,     // the row sink asked to stop
};

struct LzwImage {
  int32_t width;       // pixels per row, 1 or more
  int32_t height;      // rows, 1 or more
  bool interlaced;     // rows arrive in the four-pass order of GIF89a appendix E
  int min_code_size;   // kLzwMinCodeSize..kLzwMaxCodeSize
  uint8_t* row;        // caller's buffer of at least `width` bytes receiving the pixels
};

// Working storage: a string stack, suffix and prefix tables, codes of at most 12 bits.
struct LzwDecoder {
  uint16_t prefix[kLzwMaxCodes];
  uint8_t suffix[kLzwMaxCodes];
  uint8_t stack[kLzwMaxCodes + 1];
};

// The picture row that file row `k` of an interlaced image of `height` rows belongs to.
int32_t gif_interlaced_row(int32_t k, int32_t height);

// Decodes one image. Problems inside the data never fail: the rows decoded so far (and a partly
// filled last row) have been delivered when it returns.
LzwEnd lzw_decode(LzwDecoder* decoder, const LzwImage& image, LzwBlockReader read_block,
                  void* reader_user, LzwRowSink sink, void* sink_user);

}  // namespace lumora
