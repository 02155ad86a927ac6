// MainWindow: the program's only window, with all its controls.
#pragma once

#include <windows.h>

// Creates MainWindow (not yet shown), centred on the screen; its created event and the first layout pass
// have run when this returns. Null when the window system refuses.
HWND CreateMainWindow(HINSTANCE instance);

// Fits the decoration, the button row and the progress line to the window's client area.
void ApplyLayout();
