#pragma once
// Path helpers of the program. Folders are written with a trailing '/'.
#include <string>

namespace lumora::app {

// path made absolute against base (default: the working folder) and cleaned of "." and ".."
// components and doubled separators; symbolic links are kept as they are.
std::string absolute_path(const std::string& path, const std::string& base = {});
// The folder of a path, with its trailing '/' ("/a/b.jpg" -> "/a/"); "" when there is none.
std::string folder_of(const std::string& path);
// The last component ("/a/b.jpg" -> "b.jpg").
std::string name_of(const std::string& path);
std::string with_trailing_slash(const std::string& folder);
// A sentence for a picture that could not be shown: its name and the reason in plain words.
std::string describe_load_failure(const std::string& path, int status);

}  // namespace lumora::app
