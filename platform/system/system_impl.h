#pragma once
// State of the running platform shared by its parts. Internal.
#include <cstdint>

namespace lumora::plat {

class Backend;

bool is_ui_thread();
Backend* backend();
bool clock_is_virtual();
void set_virtual_clock(uint64_t ms);
void present_if_dirty();

}  // namespace lumora::plat
