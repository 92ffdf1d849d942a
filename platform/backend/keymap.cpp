#include "platform/backend/keymap.h"

#include "platform/base/messages.h"

namespace lumora::plat {

namespace {

struct HostKeyEntry {
  HostKey key;
  UINT vk;
};

constexpr HostKeyEntry kHostKeys[] = {
    {HostKey::Up, VK_TUP},           {HostKey::Down, VK_TDOWN},         {HostKey::Left, VK_TLEFT},
    {HostKey::Right, VK_TRIGHT},     {HostKey::Enter, VK_TACTION},      {HostKey::KeypadEnter, VK_TACTION},
    {HostKey::F1, VK_TSOFT1},        {HostKey::F2, VK_TSOFT2},          {HostKey::Backspace, VK_TBACK},
    {HostKey::Escape, VK_TBACK},     {HostKey::Digit0, '0'},            {HostKey::Digit1, '1'},
    {HostKey::Digit2, '2'},          {HostKey::Digit3, '3'},            {HostKey::Digit4, '4'},
    {HostKey::Digit5, '5'},          {HostKey::Digit6, '6'},            {HostKey::Digit7, '7'},
    {HostKey::Digit8, '8'},          {HostKey::Digit9, '9'},            {HostKey::Star, VK_TSTAR},
    {HostKey::Hash, VK_TPOUND},
};

struct PadEntry {
  PadButton button;
  UINT vk;
};

constexpr PadEntry kPadButtons[] = {
    {PadButton::DpadUp, VK_TUP},     {PadButton::DpadDown, VK_TDOWN},       {PadButton::DpadLeft, VK_TLEFT},
    {PadButton::DpadRight, VK_TRIGHT}, {PadButton::A, VK_TACTION},          {PadButton::B, VK_TBACK},
    {PadButton::LeftShoulder, VK_TSOFT1}, {PadButton::RightShoulder, VK_TSOFT2},
};

}  // namespace

UINT phone_key_for(HostKey key) {
  for (const HostKeyEntry& e : kHostKeys)
    if (e.key == key) return e.vk;
  return 0;
}

UINT phone_key_for(PadButton button) {
  for (const PadEntry& e : kPadButtons)
    if (e.button == button) return e.vk;
  return 0;
}

bool stick_pressed(bool was_pressed, int value) {
  return was_pressed ? value > kStickRelease : value > kStickPress;
}

}  // namespace lumora::plat
