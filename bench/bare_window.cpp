// The floor for the start-up benchmark: an empty window of the main window's class name and size, with
// no controls, pictures or fonts of its own, so that the time and memory Wine itself needs to show a
// window can be told apart from corvana.exe's own.
#include <windows.h>

namespace {

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = BareWindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "CorvanaMainWindow"; // what the benchmark looks for
    RegisterClassA(&windowClass);
    HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, "bare", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                        CW_USEDEFAULT, CW_USEDEFAULT, 700, 511, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
