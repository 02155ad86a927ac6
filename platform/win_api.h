// The platform entry points that the program's own logic calls, each declared by name with its system
// library and resolved (LoadLibraryA + GetProcAddress) when first called.
//
// Call them as sys::InternetOpenA(...). Tests may redirect any entry by setting the matching member of
// sys::Fakes() before the code under test runs; a null member means the real entry point.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <shellapi.h>

// X(library, return type, name, (parameters), (arguments))
#define CORVANA_WIN_API(X)                                                                                   \
    X("wininet.dll", HINTERNET, InternetOpenA,                                                               \
      (LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR bypass, DWORD flags),                            \
      (agent, accessType, proxy, bypass, flags))                                                             \
    X("wininet.dll", HINTERNET, InternetConnectA,                                                            \
      (HINTERNET internet, LPCSTR host, INTERNET_PORT port, LPCSTR user, LPCSTR password, DWORD service,    \
       DWORD flags, DWORD_PTR context),                                                                      \
      (internet, host, port, user, password, service, flags, context))                                       \
    X("wininet.dll", HINTERNET, HttpOpenRequestA,                                                            \
      (HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,                   \
       LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context),                                                 \
      (connection, verb, object, version, referrer, acceptTypes, flags, context))                            \
    X("wininet.dll", BOOL, InternetQueryOptionA, (HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD length), \
      (handle, option, buffer, length))                                                                      \
    X("wininet.dll", BOOL, InternetSetOptionA, (HINTERNET handle, DWORD option, LPVOID buffer, DWORD length), \
      (handle, option, buffer, length))                                                                      \
    X("wininet.dll", BOOL, HttpSendRequestA,                                                                 \
      (HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID data, DWORD dataLength),               \
      (request, headers, headersLength, data, dataLength))                                                   \
    X("wininet.dll", BOOL, InternetReadFile, (HINTERNET request, LPVOID buffer, DWORD toRead, LPDWORD read), \
      (request, buffer, toRead, read))                                                                       \
    X("wininet.dll", BOOL, HttpQueryInfoA,                                                                   \
      (HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD length, LPDWORD index),                   \
      (request, infoLevel, buffer, length, index))                                                           \
    X("wininet.dll", BOOL, InternetSetCookieA, (LPCSTR url, LPCSTR name, LPCSTR data), (url, name, data))    \
    X("wininet.dll", BOOL, InternetCloseHandle, (HINTERNET handle), (handle))                               \
    X("user32.dll", BOOL, PostMessageA, (HWND window, UINT message, WPARAM wParam, LPARAM lParam),          \
      (window, message, wParam, lParam))                                                                     \
    X("user32.dll", BOOL, PeekMessageA, (LPMSG msg, HWND window, UINT first, UINT last, UINT remove),       \
      (msg, window, first, last, remove))                                                                    \
    X("kernel32.dll", int, MultiByteToWideChar,                                                             \
      (UINT codePage, DWORD flags, LPCCH source, int sourceBytes, LPWSTR target, int targetUnits),          \
      (codePage, flags, source, sourceBytes, target, targetUnits))                                           \
    X("kernel32.dll", int, WideCharToMultiByte,                                                             \
      (UINT codePage, DWORD flags, LPCWCH source, int sourceUnits, LPSTR target, int targetBytes,           \
       LPCCH defaultChar, LPBOOL usedDefault),                                                               \
      (codePage, flags, source, sourceUnits, target, targetBytes, defaultChar, usedDefault))                 \
    X("kernel32.dll", HANDLE, CreateThread,                                                                  \
      (LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID argument,     \
       DWORD flags, LPDWORD threadId),                                                                       \
      (security, stackSize, start, argument, flags, threadId))                                               \
    X("kernel32.dll", BOOL, CloseHandle, (HANDLE handle), (handle))                                         \
    X("kernel32.dll", ULONGLONG, GetTickCount64, (), ())                                                     \
    X("kernel32.dll", void, Sleep, (DWORD milliseconds), (milliseconds))                                    \
    X("shell32.dll", HINSTANCE, ShellExecuteA,                                                               \
      (HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show),                \
      (owner, verb, file, parameters, directory, show))

namespace sys {

#define CORVANA_DECLARE_ENTRY(library, result, name, parameters, arguments) result WINAPI name parameters;
CORVANA_WIN_API(CORVANA_DECLARE_ENTRY)
#undef CORVANA_DECLARE_ENTRY

// Replacement entry points for tests; set them before the code under test starts any thread.
struct FakeEntries {
#define CORVANA_FAKE_ENTRY(library, result, name, parameters, arguments) result(WINAPI* name) parameters = nullptr;
    CORVANA_WIN_API(CORVANA_FAKE_ENTRY)
#undef CORVANA_FAKE_ENTRY
};
FakeEntries& Fakes();

} // namespace sys
