#include "platform/message_loop.h"

void HandleLoopMessage(MSG& msg) {
    // Dialog-style keys (Tab, Shift+Tab, Esc) for the top-level window that owns the message.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogMessageA(root, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}
