#pragma once
// The program's modal dialogs, as the main window calls them.
#include <string>
#include <vector>

#include "app/shell/framework.h"
#include "app/shell/settings.h"

namespace lumora::app {

class CBmp;

// Properties of the files (full paths, in list order), starting at index start.
void show_properties(HWND owner, const std::vector<std::string>& paths, int start);
// Folder chooser started at folder ('/'-terminated); true with the chosen folder on Select.
bool choose_folder(HWND owner, std::string* folder);
// Resize: true with the new size on Done.
bool run_resize_dialog(HWND owner, int* width, int* height);
// Adjust strip at the bottom of the viewer: brightness, contrast, gamma on the picture window.
void run_adjust_dialog(HWND owner, CBmp* picture);
// The whole Save as flow for the picture shown: choices, colour conversion, overwrite question,
// save, message on failure.
void run_save_as(HWND owner, const std::string& path, CBmp* picture, SaveOptions* options);
// Rename: true with the new full path on Done.
bool run_rename_dialog(HWND owner, const std::string& path, std::string* new_path);
// Options on the settings; true when something changed.
bool run_options(HWND owner, Settings* settings);
void show_about(HWND owner);
// Dialog templates and their language keys: the edit dialogs, the folder chooser and the About box
// here, and through the two functions below those of the Properties and Options dialogs.
void register_dialog_resources();
void register_properties_resources();
void register_options_resources();

}  // namespace lumora::app
