#pragma once
// The one look of the controls, menus and dialogs: sizes given for a 240 x 320 screen at 96 dpi
// and scaled by the screen's dpi, fonts, colours and small drawing helpers.
#include <string_view>

#include "platform/gdi/gdi.h"
#include "platform/window/window.h"

namespace lumora::plat::ui {

// Pixels on this screen for a length in pixels at 96 dpi.
int px(int px_at_96dpi);

enum class Font { Body, Bold, Title, Small };
// Shared fonts, owned by the theme (never deleted by callers).
HFONT font(Font which);
// Height of a text line of a font in pixels (ascent + descent).
int line_height(HDC dc, HFONT f);

// Colours.
inline constexpr COLORREF kWindow = RGB(255, 255, 255);
inline constexpr COLORREF kText = RGB(24, 24, 24);
inline constexpr COLORREF kGreyText = RGB(150, 150, 150);
inline constexpr COLORREF kAccent = RGB(40, 96, 184);       // focus, selection, title band
inline constexpr COLORREF kAccentText = RGB(255, 255, 255);
inline constexpr COLORREF kAccentLight = RGB(214, 228, 248);  // selection without the focus
inline constexpr COLORREF kBorder = RGB(160, 168, 180);
inline constexpr COLORREF kFace = RGB(236, 238, 242);         // buttons, header, tracks
inline constexpr COLORREF kBar = RGB(28, 32, 40);             // soft-key bar
inline constexpr COLORREF kBarText = RGB(255, 255, 255);
inline constexpr COLORREF kBarPressed = RGB(70, 80, 100);

// Heights of the furniture at this dpi.
int softkey_bar_height();
int title_height();

void fill(HDC dc, const RECT& r, COLORREF c);
// A frame of the given thickness inside r.
void frame(HDC dc, const RECT& r, COLORREF c, int thickness = 1);
// The focus mark of a control: a frame of the accent colour, two pixels at 96 dpi.
void focus_frame(HDC dc, const RECT& r);
// Single-line text in r with DT_* alignment flags, cut with "..." when too wide.
void text(HDC dc, std::string_view s, const RECT& r, UINT format, COLORREF c, HFONT f);
int text_width(HDC dc, std::string_view s, HFONT f);
// Glyph-like marks drawn with rectangles, so they look the same with every font.
void check_mark(HDC dc, const RECT& box, COLORREF c);
void radio_dot(HDC dc, const RECT& box, COLORREF c);
void triangle(HDC dc, const RECT& box, int direction, COLORREF c);  // 0 up, 1 right, 2 down, 3 left
// A filled disc centred in box (spans per row, no smoothing).
void disc(HDC dc, const RECT& box, COLORREF c);

}  // namespace lumora::plat::ui
