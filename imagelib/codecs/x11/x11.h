#pragma once
// X11 bitmaps (XBM) and pixmaps (XPM version 3): small pictures written as C declarations.
#include <cstdint>

#include "imagelib/core/format.h"

namespace lumora {

int xbm_read(ByteStream* stream, LoadContext* context);
int xpm_read(ByteStream* stream, LoadContext* context);

// One row of the X11 colour name table.
struct X11Color {
  char name[8];
  uint8_t red, green, blue;
};

constexpr int kX11ColorCount = 214;
// The table, ended by a row with an empty name (kX11ColorCount + 1 rows in all).
const X11Color* x11_color_table();
// Looks `name` up exactly (case-sensitive); null when it is not in the table.
const X11Color* x11_color_find(const char* name);

}  // namespace lumora
