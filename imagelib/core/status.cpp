#include "imagelib/core/status.h"

namespace lumora {

const char* status_text(int status) {
  switch (status & 0xFFFF) {
    case kStatusOk: return "success";
    case kStatusNoMemory: return "out of memory";
    case kStatusNotRecognised: return "not recognised";
    case kStatusCannotOpen: return "cannot open";
    case kStatusFileEndsEarly: return "file ends early";
    case kStatusCannotCreate: return "cannot create";
    case kStatusWriteError: return "write error";
    case kStatusCannotStore: return "format cannot store this picture";
    case kStatusNoWriter: return "no writer for this format";
    case kStatusImpossible: return "impossible values";
    case kStatusCorrupt: return "corrupt data";
    case kStatusJpegWrite: return "JPEG writing error";
    case kStatusCancelled: return "cancelled";
    case kStatusBadArguments: return "unusable sizes or codes";
    default: return "unknown error";
  }
}

}  // namespace lumora
