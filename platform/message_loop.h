// One message, handled the way the main loop handles it. The main loop and the event pump that runs
// during a request both go through here, so keyboard navigation behaves the same in both.
#pragma once

#include <windows.h>

void HandleLoopMessage(MSG& msg);
