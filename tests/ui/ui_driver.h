// Drives the real corvana.exe from a test program: starts it, finds its window and controls, sends real
// keyboard and mouse input, waits for what should follow, and reads the addresses the program opened.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

struct HandleClose {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using HandleOwner = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose>;

// A started program: its process handle and id.
struct RunningProgram {
    HandleOwner process;
    DWORD processId = 0;
};

// The corvana.exe of this build, as a Windows path.
std::string CorvanaExe();
// A Unix path (as Wine passes it in the environment) as a Windows path on Wine's Z: drive.
std::string WindowsPathOf(const std::string& unixPath);
// Wide text in the ANSI code page, as the program keeps it.
std::string AnsiOf(const wchar_t* text);

// Starts the program; an empty process handle when it cannot start.
RunningProgram LaunchProgram(const std::string& exe);
// The process's visible top-level window of that class now; null when there is none.
HWND FindTopWindow(DWORD processId, const char* className);
// The process's visible top-level window of that class, waiting up to timeoutMs; null when none came.
HWND WaitForTopWindow(const RunningProgram& program, const char* className, int timeoutMs);
// The program's main window, visible and painted (null after timeoutMs).
HWND WaitForMainWindow(const RunningProgram& program, int timeoutMs = 20000);
// The exit code, once the process has ended within timeoutMs; STILL_ACTIVE if it has not.
DWORD WaitForExit(const RunningProgram& program, int timeoutMs);
// Ends the process if it still runs (a test that failed half-way).
void EndProgram(RunningProgram& program);

// Calls condition every few milliseconds until it holds or timeoutMs has passed; the last answer.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// The control with that id anywhere inside root (controls may be nested in other controls).
HWND FindControl(HWND root, int id);
// Place and size in the client coordinates of the window's parent; the client area's size.
RECT RectInParent(HWND window);
SIZE ClientSize(HWND window);
// A window's text through WM_GETTEXT (works across processes), in the ANSI code page.
std::string TextOf(HWND window);
bool IsChecked(HWND checkBox);
// The window with the keyboard focus in the thread that owns window.
HWND FocusOf(HWND window);

// Real input, as the user gives it: the window comes to the front first.
void BringToFront(HWND window);
void ClickAt(HWND window, int clientX, int clientY);
void Click(HWND control); // at its centre
void PressKey(WORD virtualKey, bool shift = false);
void TypeText(const std::string& ascii); // letters, digits and the characters of a US keyboard

// A picture of the window as the screen shows it, frame included, written as a 24-bit BMP.
bool SaveScreenshot(HWND window, const std::string& bmpPath);
// The colour on the screen at a point of the window's client area.
COLORREF ScreenColourAt(HWND window, int clientX, int clientY);

// Addresses opened through the shell in this Wine prefix, one per line, as the prefix's browser
// recorder wrote them (scripts/record-browser).
std::vector<std::string> OpenedAddresses();
