#include "ui/program.h"

#include <objbase.h>

#include <cstdlib>

#include "platform/win_api.h"
#include "ui/controls.h"

Text ProgramName;
Text ProgramVersion;

namespace {

// Width of the name label for each byte of the name, and the gap before the brand text.
constexpr int NameWidthPerByte = 21;
constexpr int BrandGap = 2;

// The shell may hand an address to a handler that needs COM on the calling thread. OLE is loaded only
// here, on the way out, so that start-up does not wait for it (and stays loaded: the program is ending).
void EnterComForTheShell() {
    using CoInitializeExEntry = HRESULT(WINAPI*)(LPVOID, DWORD);
    HMODULE ole = LoadLibraryA("ole32.dll");
    auto coInitializeEx = ole ? reinterpret_cast<CoInitializeExEntry>(
                                    reinterpret_cast<void*>(GetProcAddress(ole, "CoInitializeEx")))
                              : nullptr;
    if (coInitializeEx) coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

} // namespace

Text VendorSite() {
    return "http://www.tavrel.example/";
}
Text VendorClosingPage() {
    return "http://www.tavrel.example/thanks";
}

void ReleaseProgramTexts() {
    Text().swap(ProgramName);
    Text().swap(ProgramVersion);
}

void OnMainWindowCreated() {
    ProgramName = "Corvana";
    ProgramVersion = "Ver 1.0";
    ShowTitle();
}

void ShowTitle() {
    HWND name = ControlHwnd(显示_程序名称);
    HwndSetText(name, ProgramName);
    HwndSetWidth(name, TextLength(ProgramName) * NameWidthPerByte);
    HwndSetLeft(ControlHwnd(背景_Tavrel软件), HwndWidth(name) + HwndLeft(name) + BrandGap);
    HwndSetText(MainWindowHwnd(), JoinTexts(Text("Tavrel"), ProgramName, Text(" - "), ProgramVersion,
                                            Ansi(L" - 官方网站: "), VendorSite()));
}

void OpenDocument(const Text& target) {
    EnterComForTheShell();
    // The shell's answer is not looked at: closing goes on whether a browser opened or not.
    sys::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, "", SW_SHOWNORMAL);
}

void OnCloseRequest() {
    OpenDocument(VendorSite());
}

void OnCloseButtonClicked() {
    OpenDocument(VendorClosingPage());
    // exit, not ExitProcess: the unload routine registered with atexit runs.
    std::exit(0);
}
