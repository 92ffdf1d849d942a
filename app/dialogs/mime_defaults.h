#pragma once
// The user's default applications of the freedesktop.org MIME applications associations:
// "[Default Applications]" lines "type=desktop-id;..." in $XDG_CONFIG_HOME/mimeapps.list. Only the
// line of the type being set changes; every other line of the file is kept byte for byte.
#include <string>

namespace lumora::app {

// The file: $XDG_CONFIG_HOME/mimeapps.list, else ~/.config/mimeapps.list.
std::string mimeapps_path();

// The value of type's line in a [Default Applications] group of the text; "" when there is none.
std::string mimeapps_default(const std::string& text, const std::string& type);
// The first desktop id of a value ("a.desktop;b.desktop;" -> "a.desktop").
std::string first_desktop_id(const std::string& value);
// The text with type's default set to value, as xdg-mime writes it: the first line of the type in
// a [Default Applications] group replaced, else a line added at the end of the first such group,
// else a new group at the end. An empty value removes the type's line.
std::string mimeapps_with_default(const std::string& text, const std::string& type, const std::string& value);

// Reads the whole file; false when it cannot be read (a missing file reads as "" and true).
bool read_text_file(const std::string& path, std::string* text);
// Replaces the file in one step: a temporary file in the same folder, written, flushed and renamed
// over it. A symbolic link is followed, so the file it names is replaced and the link stays. The
// file keeps its permissions (0644 when new); missing folders are created.
bool write_file_atomically(const std::string& path, const std::string& text);

// Whether the desktop entry (for example "lumora.desktop") is installed in the applications
// folder of $XDG_DATA_HOME or of one of $XDG_DATA_DIRS.
bool desktop_entry_installed(const std::string& desktop_id);

}  // namespace lumora::app
