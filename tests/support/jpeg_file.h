#pragma once
// Helpers of the JPEG tests: JPEG files made by libjpeg in memory, markers spliced in by hand,
// a reference decode through plain libjpeg, a marker lister.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tests/support/exif_block.h"
#include "tests/support/picture_file.h"

namespace lumora::test {

struct JpegSpec {
  int width = 64;
  int height = 48;
  int components = 3;     // 1 grey, 3 RGB, 4 CMYK
  int quality = 90;
  bool progressive = false;
  int restart_rows = 0;   // restart interval in MCU rows, 0 = none
  int h0 = 2, v0 = 2;     // sampling factors of the first component (colour only)
  bool jfif = true;
  int density_unit = 0, x_density = 1, y_density = 1;
  // Pixel value of component c at (x, y); the default is a smooth pattern with detail.
  uint8_t (*pixel)(int x, int y, int c) = nullptr;
};

inline uint8_t pattern(int x, int y, int c) {
  return static_cast<uint8_t>((x * (3 + c) + y * (5 - c) + ((x ^ y) & 15) * 4) & 0xFF);
}

inline Bytes make_jpeg(const JpegSpec& s) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(s.width);
  c.image_height = static_cast<JDIMENSION>(s.height);
  c.input_components = s.components;
  c.in_color_space = s.components == 1 ? JCS_GRAYSCALE : s.components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, s.quality, TRUE);
  if (s.components == 3) {
    c.comp_info[0].h_samp_factor = s.h0;
    c.comp_info[0].v_samp_factor = s.v0;
  }
  if (s.progressive) jpeg_simple_progression(&c);
  c.restart_in_rows = s.restart_rows;
  c.write_JFIF_header = s.jfif ? TRUE : FALSE;
  c.density_unit = static_cast<UINT8>(s.density_unit);
  c.X_density = static_cast<UINT16>(s.x_density);
  c.Y_density = static_cast<UINT16>(s.y_density);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(s.width) * s.components);
  while (c.next_scanline < c.image_height) {
    const int y = static_cast<int>(c.next_scanline);
    for (int x = 0; x < s.width; ++x)
      for (int k = 0; k < s.components; ++k)
        row[static_cast<size_t>(x) * s.components + k] = s.pixel ? s.pixel(x, y, k) : pattern(x, y, k);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

// One marker segment: marker code (0xE0.., 0xFE) and its payload.
struct Marker {
  int code;
  Bytes payload;
};

// Puts the segments right after SOI, in order.
inline Bytes with_markers(const Bytes& jpeg, const std::vector<Marker>& markers) {
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  for (const Marker& m : markers) {
    const size_t len = m.payload.size() + 2;
    out.insert(out.end(), {0xFF, static_cast<uint8_t>(m.code), static_cast<uint8_t>(len >> 8),
                           static_cast<uint8_t>(len & 0xFF)});
    out.insert(out.end(), m.payload.begin(), m.payload.end());
  }
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// The marker segments before the first SOS (code, payload), SOF and DQT included.
inline std::vector<Marker> list_markers(const Bytes& jpeg) {
  std::vector<Marker> found;
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const int code = jpeg[at + 1];
    const size_t len = static_cast<size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
    if (len < 2 || at + 2 + len > jpeg.size()) break;
    found.push_back({code, Bytes(jpeg.begin() + static_cast<long>(at + 4),
                                 jpeg.begin() + static_cast<long>(at + 2 + len))});
    if (code == 0xDA) break;
    at += 2 + len;
  }
  return found;
}

// An Exif APP1 payload (little-endian TIFF) whose IFD1 points at `thumbnail`: IFD0 at 8 with one
// entry (Orientation), IFD1 at 26 with the two thumbnail tags, the thumbnail at 56.
inline Bytes exif_with_thumbnail(const Bytes& thumbnail) {
  IfdBlock b(false);
  const int ifd0 = b.add_ifd(), ifd1 = b.add_ifd();
  b.add_short(ifd0, 0x0112, {1});
  b.set_next(ifd0, ifd1);
  b.add_long(ifd1, 0x0201, {56});
  b.add_long(ifd1, 0x0202, {static_cast<uint32_t>(thumbnail.size())});
  Bytes out = b.build_exif();
  append(out, thumbnail);
  return out;
}

// Plain libjpeg decode with its default options: rows of output_components bytes.
struct Reference {
  int width = 0, height = 0, components = 0;
  Bytes pixels;
};

inline Reference reference_decode(const Bytes& jpeg) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&d, TRUE);
  jpeg_start_decompress(&d);
  Reference r;
  r.width = static_cast<int>(d.output_width);
  r.height = static_cast<int>(d.output_height);
  r.components = d.output_components;
  r.pixels.resize(static_cast<size_t>(r.width) * r.height * r.components);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = r.pixels.data() + static_cast<size_t>(d.output_scanline) * r.width * r.components;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return r;
}


}  // namespace lumora::test
