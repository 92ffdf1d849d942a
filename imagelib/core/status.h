#pragma once
// Status codes of the image library. Library functions return them as 32-bit integers;
// callers test the low 16 bits.
#include <cstdint>

namespace lumora {

enum Status : int {
  kStatusOk = 0,
  kStatusNoMemory = 1,
  kStatusNotRecognised = 2,   // not recognised, or an unusable picture description
  kStatusCannotOpen = 3,
  kStatusFileEndsEarly = 4,
  kStatusCannotCreate = 5,
  kStatusWriteError = 6,
  kStatusCannotStore = 7,     // the format cannot store this picture
  kStatusNoWriter = 8,
  kStatusImpossible = 9,      // impossible values; the context carries a message
  kStatusCorrupt = 10,
  kStatusJpegWrite = 11,
  kStatusCancelled = 15,
  kStatusBadArguments = 16,   // image operations: unusable sizes or codes
};

// A short English description of a status, for messages ("file ends early").
const char* status_text(int status);

}  // namespace lumora
