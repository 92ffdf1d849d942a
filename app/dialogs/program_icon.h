#pragma once
// The program's icon, drawn with the platform's shapes so that it is sharp at every size: a
// rounded blue tile holding a picture of a sun over two hills.
#include "platform/platform.h"

namespace lumora::app {

void draw_program_icon(lumora::plat::HDC dc, const lumora::plat::RECT& box);
// A child window class showing the icon centred in its rectangle (dialog templates use it).
inline constexpr const char* kProgramIconClass = "LumoraProgramIcon";
void register_program_icon_class();

}  // namespace lumora::app
