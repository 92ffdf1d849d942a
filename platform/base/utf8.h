#pragma once
// UTF-8 decoding and encoding for text drawing and typed input.
#include <string>
#include <string_view>
#include <vector>

namespace lumora::plat {

// Code points of a UTF-8 string; malformed or overlong sequences and surrogates become U+FFFD.
std::vector<char32_t> utf8_decode(std::string_view text);
void utf8_append(std::string& out, char32_t cp);

}  // namespace lumora::plat
