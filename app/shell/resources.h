#pragma once
// Registration of the program's resources with the platform: menus and soft-key bars, dialog
// templates. Called once at start-up (and by tests) before any window is made.
namespace lumora::app {

void register_menu_resources();
// Everything: menus, dialog templates and their language keys.
void register_resources();

}  // namespace lumora::app
