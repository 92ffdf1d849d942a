#include "platform/backend/key_script.h"

#include <cstdlib>

#include "platform/base/messages.h"

namespace lumora::plat {

namespace {

struct KeyName {
  std::string_view name;
  UINT vk;
};

constexpr KeyName kKeyNames[] = {
    {"up", VK_TUP},       {"down", VK_TDOWN},       {"left", VK_TLEFT}, {"right", VK_TRIGHT},
    {"action", VK_TACTION}, {"soft1", VK_TSOFT1},   {"soft2", VK_TSOFT2}, {"back", VK_TBACK},
    {"star", VK_TSTAR},   {"hash", VK_TPOUND},
};

}  // namespace

UINT key_token_vk(std::string_view token) {
  if (token.size() == 1 && token[0] >= '0' && token[0] <= '9') return static_cast<UINT>(token[0]);
  for (const KeyName& k : kKeyNames)
    if (k.name == token) return k.vk;
  return 0;
}

bool parse_key_script(std::string_view script, std::vector<ScriptStep>* steps, std::string* error) {
  steps->clear();
  size_t i = 0;
  while (i < script.size()) {
    while (i < script.size() && (script[i] == ' ' || script[i] == '\t' || script[i] == '\n' || script[i] == '\r')) ++i;
    size_t j = i;
    while (j < script.size() && !(script[j] == ' ' || script[j] == '\t' || script[j] == '\n' || script[j] == '\r')) ++j;
    if (j == i) break;
    std::string_view tok = script.substr(i, j - i);
    i = j;
    ScriptStep step;
    step.kind = ScriptStep::Kind::Key;
    if (UINT vk = key_token_vk(tok)) {
      step.vk = vk;
    } else if (tok == "back-hold") {
      step.kind = ScriptStep::Kind::BackHold;
    } else if (tok == "quit") {
      step.kind = ScriptStep::Kind::Quit;
    } else if (tok == "settle") {
      step.kind = ScriptStep::Kind::Settle;
    } else if (tok.substr(0, 4) == "cmd:" && tok.size() > 4) {
      std::string digits(tok.substr(4));
      char* end = nullptr;
      unsigned long v = std::strtoul(digits.c_str(), &end, 10);
      if (*end != '\0' || digits[0] == '-' || v == 0 || v > 0xFFFF) {
        if (error) *error = "bad command id in key token '" + std::string(tok) + "' (1 to 65535)";
        return false;
      }
      step.kind = ScriptStep::Kind::Command;
      step.ms = static_cast<DWORD>(v);
    } else if (tok.substr(0, 5) == "type:") {
      step.kind = ScriptStep::Kind::Type;
      step.text = std::string(tok.substr(5));
    } else if (tok.substr(0, 5) == "shot:" && tok.size() > 5) {
      step.kind = ScriptStep::Kind::Shot;
      step.text = std::string(tok.substr(5));
    } else if (tok.substr(0, 5) == "wait:" && tok.size() > 5) {
      std::string digits(tok.substr(5));
      char* end = nullptr;
      unsigned long v = std::strtoul(digits.c_str(), &end, 10);
      if (*end != '\0' || digits[0] == '-' || v > 86400000UL) {
        if (error) *error = "bad wait time in key token '" + std::string(tok) + "'";
        return false;
      }
      step.kind = ScriptStep::Kind::Wait;
      step.ms = static_cast<DWORD>(v);
    } else {
      if (error) *error = "unknown key token '" + std::string(tok) + "'";
      return false;
    }
    steps->push_back(std::move(step));
  }
  return true;
}

}  // namespace lumora::plat
