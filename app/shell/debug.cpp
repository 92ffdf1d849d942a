#include "app/shell/debug.h"

#include <cstdio>
#include <cstdlib>

namespace lumora::app {

void debug_line(const char* format, ...) {
  static const bool enabled = std::getenv("LUMORA_DEBUG") != nullptr;
  if (!enabled) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

}  // namespace lumora::app
