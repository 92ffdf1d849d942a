#pragma once
// Key scripts of the headless backend: blank-separated tokens
//   up down left right action soft1 soft2 back back-hold 0..9 star hash
//   type:TEXT wait:MS shot:FILE.png cmd:ID settle quit
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/types.h"

namespace lumora::plat {

struct ScriptStep {
  enum class Kind { Key, BackHold, Type, Wait, Shot, Command, Settle, Quit } kind = Kind::Key;
  UINT vk = 0;
  std::string text;  // Type: the text; Shot: the file
  DWORD ms = 0;      // Wait: milliseconds; Command: the command id
};

// The virtual key a key token stands for, 0 when the token is not a key name.
UINT key_token_vk(std::string_view token);
// false with a message naming the first bad token.
bool parse_key_script(std::string_view script, std::vector<ScriptStep>* steps, std::string* error);

}  // namespace lumora::plat
