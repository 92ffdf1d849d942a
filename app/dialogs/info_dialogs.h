#pragma once
// Resources of the Properties and Options dialogs: their templates (by id and by name) and the
// language keys of their controls. Called by register_dialog_resources().
namespace lumora::app {

void register_properties_resources();
void register_options_resources();

}  // namespace lumora::app
