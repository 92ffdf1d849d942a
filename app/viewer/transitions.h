#pragma once
// Slideshow transitions: the 23 effects that bring a new slideshow picture on screen, the
// process-wide shuffled order in which they are taken, and the plain painting used when
// transitions are switched off.
//
// Geometry is in client pixels of the picture window: a PictureRect is where the picture's
// top-left corner lies (negative when the picture is scrolled or larger than the window) and the
// size it is shown at. Every effect draws only inside the union of the old and the new picture's
// rectangles, clipped to the client area; outside it the window already shows the background.
#include "platform/platform.h"

namespace lumora::app {

using namespace lumora::plat;

struct PictureRect {
  int x = 0;  // left edge, client pixels
  int y = 0;  // top edge, client pixels
  int width = 0;
  int height = 0;
};

inline constexpr int kTransitionEffectCount = 23;

// Effect number (0..22) at position `index` of the shuffled order. The order is a random
// permutation made on first use and kept for the life of the process; any index is taken modulo
// the effect count.
int transition_effect_at(int index);

// The effect the counter points at; advances the counter, wrapping from the last position to 0.
// The counter is the picture window's own transition state (start it at 0).
int next_transition_effect(int* counter);

// Runs the next effect of the shuffled order (advancing *counter) to show `picture` at `now`,
// replacing a picture shown at `before`, with `background` around the picture. The picture is a
// device bitmap of any size; it is stretched to now.width x now.height when its size differs.
// Draws step by step on the window's screen, showing each step and pausing 10 ms of the platform
// clock between steps (the headless clock is virtual, so no real time passes there).
// Returns 1 when a key press was waiting (the transition stops at once, the key stays queued so
// it keeps its meaning), else 0. Either way the caller then paints the whole picture as usual.
// Nothing is drawn, the counter is left alone and 0 is returned when there is no picture, no
// window, or the picture would not be visible (no size, outside the client area).
int run_transition(HWND hwnd, int* counter, HBITMAP picture, const PictureRect& now, const PictureRect& before,
                   COLORREF background);

// Runs one given effect (0..22; other values are taken modulo 23), otherwise as run_transition.
int run_transition_effect(HWND hwnd, int effect, HBITMAP picture, const PictureRect& now, const PictureRect& before,
                          COLORREF background);

// True when a key message (a key going down or up, a typed character, or the Back key) waits in
// the calling thread's queue. The messages are only looked at, never removed.
bool key_pending();

// Paints `picture` stretched into `at` and fills the rest of `client` with `background`: what a
// slideshow step shows without a transition, and the final frame of every transition.
void paint_picture(HDC dc, const RECT& client, HBITMAP picture, const PictureRect& at, COLORREF background);

}  // namespace lumora::app
