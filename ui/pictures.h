// The window's pictures: JPEG images embedded as resources, decoded by the system once, on first use.
#pragma once

#include <windows.h>

enum class Picture {
    None,
    Banner,
    HeaderLeft,
    HeaderRight,
    LineHorizontal,
    LineVertical,
    ProgressBar,
    ButtonNormal,
    ButtonHot,
    ButtonPressed,
};

// Draws the picture at the top-left corner of place, unscaled, or stretched to fill place. A picture that
// cannot be loaded draws nothing.
void DrawPicture(HDC dc, Picture picture, const RECT& place, bool stretched);
