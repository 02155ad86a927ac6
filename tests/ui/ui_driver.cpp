#include "ui_driver.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

std::string WindowsPathOf(const std::string& unixPath) {
    if (unixPath.empty() || unixPath[0] != '/') return unixPath;
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string CorvanaExe() {
    if (const char* fromEnvironment = std::getenv("CORVANA_EXE")) return WindowsPathOf(fromEnvironment);
    return WindowsPathOf(CORVANA_EXE_PATH);
}

std::string AnsiOf(const wchar_t* text) {
    int units = lstrlenW(text);
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    std::string result(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, text, units, result.data(), bytes, nullptr, nullptr);
    return result;
}

RunningProgram LaunchProgram(const std::string& exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + exe + "\"";
    RunningProgram program;
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return program;
    CloseHandle(info.hThread);
    program.process.reset(info.hProcess);
    program.processId = info.dwProcessId;
    return program;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner == search->processId && IsWindowVisible(window) && lstrcmpA(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindTopWindow(DWORD processId, const char* className) {
    WindowSearch search{processId, className, nullptr};
    EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopWindow(const RunningProgram& program, const char* className, int timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(program.processId, className)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitForMainWindow(const RunningProgram& program, int timeoutMs) {
    if (!program.process) return nullptr;
    WaitForInputIdle(program.process.get(), static_cast<DWORD>(timeoutMs));
    HWND window = WaitForTopWindow(program, "CorvanaMainWindow", timeoutMs);
    // Painted: the program has gone back to its message loop after showing the window.
    if (window) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeoutMs), &ignored);
    }
    return window;
}

DWORD WaitForExit(const RunningProgram& program, int timeoutMs) {
    if (!program.process) return STILL_ACTIVE;
    WaitForSingleObject(program.process.get(), static_cast<DWORD>(timeoutMs));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process.get(), &code);
    return code;
}

void EndProgram(RunningProgram& program) {
    if (program.process && WaitForSingleObject(program.process.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(program.process.get(), 99);
        WaitForSingleObject(program.process.get(), 5000);
    }
    program.process.reset();
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return condition();
        Sleep(15);
    }
}

namespace {

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControl(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<ControlSearch*>(parameter);
    if (GetDlgCtrlID(window) == search->id) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindControl(HWND root, int id) {
    ControlSearch search{id, nullptr};
    EnumChildWindows(root, MatchControl, reinterpret_cast<LPARAM>(&search)); // all descendants
    return search.found;
}

RECT RectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return SIZE{client.right, client.bottom};
}

std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
        return std::string();
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                        5000, &copied);
    text.resize(copied);
    return text;
}

bool IsChecked(HWND checkBox) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(checkBox, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
    return state == BST_CHECKED;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

void BringToFront(HWND window) {
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
}

namespace {

void SendKey(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

void SendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

} // namespace

void ClickAt(HWND window, int clientX, int clientY) {
    BringToFront(GetAncestor(window, GA_ROOT));
    POINT point{clientX, clientY};
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
}

void Click(HWND control) {
    SIZE size = ClientSize(control);
    ClickAt(control, size.cx / 2, size.cy / 2);
}

void PressKey(WORD virtualKey, bool shift) {
    if (shift) SendKey(VK_SHIFT, false);
    SendKey(virtualKey, false);
    SendKey(virtualKey, true);
    if (shift) SendKey(VK_SHIFT, true);
}

void TypeText(const std::string& ascii) {
    for (char c : ascii) {
        SHORT key = VkKeyScanA(c);
        if (key == -1) continue;
        PressKey(LOBYTE(key), (HIBYTE(key) & 1) != 0);
    }
}

bool SaveScreenshot(HWND window, const std::string& bmpPath) {
    RECT outer{};
    if (!GetWindowRect(window, &outer)) return false;
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files keep it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (bitmap && bits) {
        HGDIOBJ before = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, outer.left, outer.top, SRCCOPY);
        GdiFlush();
        SelectObject(memory, before);
        DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42; // "BM"
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + imageBytes;
        info.bmiHeader.biSizeImage = imageBytes;
        std::ofstream out(bmpPath, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof file);
        out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
        out.write(static_cast<const char*>(bits), imageBytes);
        saved = static_cast<bool>(out);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

COLORREF ScreenColourAt(HWND window, int clientX, int clientY) {
    POINT point{clientX, clientY};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

std::vector<std::string> OpenedAddresses() {
    std::vector<std::string> lines;
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix) return lines;
    std::ifstream log(WindowsPathOf(std::string(prefix) + "/opened-urls.log"));
    for (std::string line; std::getline(log, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}
