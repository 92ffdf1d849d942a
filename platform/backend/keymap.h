#pragma once
// How keyboard keys and game-controller buttons stand for the phone's keys.
//   navigation pad: arrow keys; D-pad and left stick
//   action key:     Enter, keypad Enter; A
//   soft keys:      F1 / F2; left / right shoulder
//   0-9, *, #:      the same keys (also on the keypad)
//   Back:           Backspace, Escape; B
#include "platform/base/types.h"

namespace lumora::plat {

enum class HostKey {
  Up, Down, Left, Right, Enter, KeypadEnter, F1, F2, Backspace, Escape,
  Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
  Star, Hash, Other,
};

enum class PadButton {
  DpadUp, DpadDown, DpadLeft, DpadRight, A, B, LeftShoulder, RightShoulder, Other,
};

// The phone key (VK_ code) of a keyboard key or controller button; 0 when it has none.
UINT phone_key_for(HostKey key);
UINT phone_key_for(PadButton button);

// The left stick acts as the pad: a direction is pressed beyond the press threshold and released
// below the release threshold (hysteresis keeps a resting stick from chattering).
inline constexpr int kStickPress = 16000;
inline constexpr int kStickRelease = 8000;
// New pressed state of one stick direction given the axis value (positive direction).
bool stick_pressed(bool was_pressed, int value);

}  // namespace lumora::plat
