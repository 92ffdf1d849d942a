#include "imagelib/codecs/bmp/bmp_dxt.h"

#include "imagelib/core/stream.h"

namespace lumora::bmp {

namespace {

struct Rgba {
  uint8_t r, g, b, a;
};

Rgba expand565(uint16_t c) {
  return {static_cast<uint8_t>((c >> 8) & 0xF8), static_cast<uint8_t>((c >> 3) & 0xFC),
          static_cast<uint8_t>((c << 3) & 0xF8), 255};
}

uint8_t mix(int a, int b, int wa, int wb, int round, int div) {
  return static_cast<uint8_t>((wa * a + wb * b + round) / div);
}

// The four colours of a colour block. `four_colour`: the DXT3 rule, or DXT1 with c0 > c1.
void palette(const uint8_t* block, bool dxt3, Rgba out[4]) {
  uint16_t c0 = get_u16le(block), c1 = get_u16le(block + 2);
  out[0] = expand565(c0);
  out[1] = expand565(c1);
  const Rgba& a = out[0];
  const Rgba& b = out[1];
  if (dxt3 || c0 > c1) {
    out[2] = {mix(a.r, b.r, 2, 1, 1, 3), mix(a.g, b.g, 2, 1, 1, 3), mix(a.b, b.b, 2, 1, 1, 3), 255};
    out[3] = {mix(a.r, b.r, 1, 2, 1, 3), mix(a.g, b.g, 1, 2, 1, 3), mix(a.b, b.b, 1, 2, 1, 3), 255};
  } else {
    out[2] = {mix(a.r, b.r, 1, 1, 0, 2), mix(a.g, b.g, 1, 1, 0, 2), mix(a.b, b.b, 1, 1, 0, 2), 255};
    out[3] = {0, 0, 0, 0};  // transparent
  }
}

}  // namespace

void dxt_decode_block_row(bool dxt3, const uint8_t* blocks, int32_t width, int rows, uint8_t* out,
                          size_t stride) {
  size_t block_bytes = dxt3 ? kDxt3BlockBytes : kDxt1BlockBytes;
  int32_t block_count = (width + 3) / 4;
  for (int32_t bx = 0; bx < block_count; ++bx) {
    const uint8_t* block = blocks + bx * block_bytes;
    const uint8_t* alpha = dxt3 ? block : nullptr;
    const uint8_t* colour = dxt3 ? block + 8 : block;
    Rgba colours[4];
    palette(colour, dxt3, colours);
    uint32_t indices = get_u32le(colour + 4);
    for (int py = 0; py < 4 && py < rows; ++py) {
      uint16_t alpha_row = alpha ? get_u16le(alpha + 2 * py) : 0;
      uint8_t* dst_row = out + py * stride;
      for (int px = 0; px < 4; ++px) {
        int32_t x = bx * 4 + px;
        if (x >= width) break;
        Rgba c = colours[(indices >> (2 * (py * 4 + px))) & 3];
        if (alpha) c.a = static_cast<uint8_t>(((alpha_row >> (4 * px)) & 0xF) * 17);
        uint8_t* d = dst_row + 4 * static_cast<size_t>(x);
        d[0] = c.r;
        d[1] = c.g;
        d[2] = c.b;
        d[3] = c.a;
      }
    }
  }
}

}  // namespace lumora::bmp
