#pragma once
// The portable anymap family (Netpbm's pbm(5), pgm(5), ppm(5)): one reader for the plain (P1 to
// P3) and raw (P4 to P6) forms, and the 8-bit thumbnails of XV's visual schnauzer (P7 332).
#include "imagelib/core/format.h"

namespace lumora {

// The format table's reader of the "pbm", "pgm", "ppm" and "pnm" rows.
int pnm_read(ByteStream* stream, LoadContext* context);
// The common reader: `description` replaces the picture's description when given, and a
// `resolution` of 1 or more becomes both resolutions.
int pnm_read_common(ByteStream* stream, LoadContext* context, const char* description,
                    int32_t resolution);

}  // namespace lumora
