// corvana.exe: start-up, the message loop, and the way out through the closed window.
#include <windows.h>

#include <cstdlib>

#include "platform/message_loop.h"
#include "ui/main_window.h"
#include "ui/pictures.h"
#include "ui/program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    StartDecodingPictures();
    std::atexit(ReleaseProgramTexts);

    HWND window = CreateMainWindow(instance);
    if (!window) {
        WaitForPictures(); // the decoding thread is done before the program ends
        MessageBoxW(nullptr, L"无法创建主窗口。", L"Corvana", MB_ICONERROR | MB_OK);
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    // Until the window is destroyed; the request runner's event pump handles messages the same way.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        HandleLoopMessage(message);
    return 0;
}
