#pragma once
// The folders the program looks in: the user's home and pictures folder (XDG base directory and
// user-dirs rules), the program's own folder and the installed data folders.
#include <string>
#include <vector>

namespace lumora::plat {

// $HOME, else the password database's home; "/" when neither is known.
std::string HomeFolder();
// My Pictures: $XDG_PICTURES_DIR, else the XDG_PICTURES_DIR line of user-dirs.dirs in
// $XDG_CONFIG_HOME (default ~/.config), else ~/Pictures. The folder need not exist.
std::string PicturesFolder();
// Folder of the running executable; empty when it cannot be found.
std::string ProgramFolder();
// Installed data folders that exist, most specific first: <prefix>/share/lumora for the prefix
// the executable sits in (<prefix>/bin), then lumora/ under each of $XDG_DATA_DIRS (default
// /usr/local/share:/usr/share).
std::vector<std::string> DataFolders();
// Where language files are looked up: the program's folder, then the data folders.
std::vector<std::string> LanguageFolders();
// $XDG_DATA_HOME (default ~/.local/share).
std::string DataHomeFolder();
// A folder for sockets and locks of this user only: $XDG_RUNTIME_DIR, else /tmp/lumora-<uid>
// (created with mode 0700 and refused when another user owns it). Empty when none is usable.
std::string RuntimeFolder();

// Reads the value of one key from a user-dirs.dirs text ("$HOME/..." or an absolute path in
// double quotes, backslash escapes allowed). Empty when the key is absent or malformed.
std::string ParseUserDirsValue(const std::string& text, const std::string& key, const std::string& home);

}  // namespace lumora::plat
