// The window's pictures: JPEG images embedded as resources, decoded by the system once, at start-up.
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

// Starts decoding every picture on a thread of its own, so that the decoding overlaps the making of the
// window. Called once, first thing at start-up.
void StartDecodingPictures();
// Returns when every picture is decoded (decoding them here if nothing started it); a picture that cannot
// be decoded stays empty. Before the first paint.
void WaitForPictures();

// Draws the picture at the top-left corner of place, unscaled, or stretched to fill place. A picture that
// cannot be loaded draws nothing.
void DrawPicture(HDC dc, Picture picture, const RECT& place, bool stretched);
