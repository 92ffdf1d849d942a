// The static table of file formats, in registry order. Codecs attach their reader, writer and
// capabilities functions here; a row without a reader or writer simply lacks that capability.
#include "imagelib/core/format_table.h"

#include "imagelib/codecs/bmp/bmp.h"
#include "imagelib/codecs/gif/gif.h"
#include "imagelib/codecs/ico/ico.h"
#include "imagelib/codecs/jpeg/jpeg.h"
#include "imagelib/codecs/pcx/pcx.h"
#include "imagelib/codecs/png/png.h"
#include "imagelib/codecs/pnm/pnm.h"
#include "imagelib/codecs/tga/tga.h"
#include "imagelib/codecs/tiff/tiff.h"
#include "imagelib/codecs/x11/x11.h"

namespace lumora {

// clang-format off
const FormatEntry kFormatTable[kStaticFormatCount] = {
  {kFormatByContent, "jpeg", "JPEG / JFIF", nullptr, 0, jpeg_read, jpeg_write, jpeg_capabilities, 0, 0,
   {"jpg", "jpeg", "jif", "jfif", "J", "jpe"}},
  {kFormatByContent, "tga", "Truevision Targa", nullptr, 0, tga_read, tga_write, nullptr, 0, 0,
   {"tga", "targa", "pix", "bpx", "ivb"}},
  {kFormatByContent, "bmp", "Windows Bitmap", nullptr, 0, bmp_read, bmp_write, nullptr, 0, 0,
   {"bmp", "rle", "vga", "rl4", "rl8", "sys"}},
  {kFormatByContent, "gif", "CompuServe GIF", nullptr, 0, gif_read, gif_write, gif_capabilities, 0, 0,
   {"gif", "giff"}},
  {kFormatByContent, "png", "Portable Network Graphics", nullptr, 0, png_read, png_write, png_capabilities, 0, 0,
   {"png"}},
  {0, "2bp", "Pocket PC Bitmap", nullptr, 0, bmp_read, nullptr, nullptr, 0, 0,
   {"2bp"}},
  {kFormatByContent, "tiff", "TIFF Revision 6", nullptr, 0, tiff_read, nullptr, nullptr, 0, 0,
   {"tif", "tim", "tiff"}},
  {kFormatByContent, "pcx", "Zsoft Publisher's Paintbrush", nullptr, 0, pcx_read, nullptr, nullptr, 0, 0,
   {"pcx", "pcc", "dcx"}},
  {kFormatByContent, "pbm", "Portable Bitmap", nullptr, 0, pnm_read, nullptr, nullptr, 0, 0,
   {"pbm", "rpbm", "ppma"}},
  {kFormatByContent, "pgm", "Portable Greyscale", nullptr, 0, pnm_read, nullptr, nullptr, 0, 0,
   {"pgm", "rpgm"}},
  {kFormatByContent, "ppm", "Portable Pixmap", nullptr, 0, pnm_read, nullptr, nullptr, 0, 0,
   {"ppm", "rppm"}},
  {kFormatByContent, "pnm", "Portable Image", nullptr, 0, pnm_read, nullptr, nullptr, 0, 0,
   {"pnm", "rpnm", "pbm", "rpbm", "pgm", "rpgm", "ppm", "rppm"}},
  {kFormatByContent, "xbm", "X11 Bitmap", nullptr, 0, xbm_read, nullptr, nullptr, 0, 0,
   {"xbm", "bm"}},
  {kFormatByContent, "xpm", "X11 Pixmap", nullptr, 0, xpm_read, nullptr, nullptr, 0, 0,
   {"xpm", "pm"}},
  {kFormatByContent, "ico", "Windows Icon", nullptr, 0, ico_read, nullptr, nullptr, 0, 0,
   {"ico"}},
};
// clang-format on

}  // namespace lumora
