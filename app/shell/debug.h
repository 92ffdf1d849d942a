#pragma once
// Debug lines of the program: written to standard error when LUMORA_DEBUG is set in the
// environment, otherwise dropped (a phone's debug output is not seen by its user either).
#include <cstdarg>

namespace lumora::app {

void debug_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace lumora::app
