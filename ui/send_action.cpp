// The send action of 功能_主要功能, the method toggle and the proxy placeholder.
#include "ui/send_action.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>

#include "core/clock.h"
#include "encoding/code_page.h"
#include "http/request_runner.h"
#include "ui/controls.h"

namespace {

const Text& ProxyPlaceholder() {
    static const Text placeholder = Ansi(L"地址:端口");
    return placeholder;
}

bool MainWindowAlive() {
    HWND window = MainWindowHwnd();
    return window && IsWindow(window);
}

void ClearProxyPlaceholder() {
    HWND proxyBox = ControlHwnd(输入_代理地址);
    if (HwndGetText(proxyBox) == ProxyPlaceholder()) HwndSetText(proxyBox, Text());
}

void RestoreProxyPlaceholder() {
    HWND proxyBox = ControlHwnd(输入_代理地址);
    if (HwndGetText(proxyBox).empty()) HwndSetText(proxyBox, ProxyPlaceholder());
}

// Showing the results of one send action. A multi-line edit box lays out every line of its text when the
// text is set, and under Wine that work grows with the square of a line's length: megabytes set in one
// go can hold the window for many seconds. Long texts therefore go in as a series of appends, each sized
// to take about StepTarget, with the window's events handled in between. Handling events lets another
// send action run and write the boxes, or the window close; both are detected.
enum class ShowOutcome { Shown, Overtaken, WindowGone };

constexpr std::size_t FirstStepBytes = 4 * 1024;
constexpr std::size_t SmallestStepBytes = 1024;
constexpr std::size_t LargestStepBytes = 2 * 1024 * 1024;
constexpr double StepTargetMs = 60.0;
constexpr std::size_t ShortLineBytes = 4 * 1024;

// Counts the times a send action began showing results; a change during a step of this one means another
// send action wrote the boxes meanwhile.
int showingsBegun = 0;

// The length of the piece of text from `from` on, about `want` bytes long, that ends on a character
// boundary of the system code page: after the last line feed within reach when there is one.
std::size_t PieceLength(const Text& text, std::size_t from, std::size_t want) {
    static const std::array<bool, 256> leadByte = [] {
        std::array<bool, 256> table{};
        for (int byte = 0; byte < 256; ++byte)
            table[byte] = IsDBCSLeadByte(static_cast<BYTE>(byte));
        return table;
    }();
    const std::size_t reach = std::min(text.size(), from + want);
    std::size_t at = from, afterLineFeed = 0;
    while (at < reach) {
        unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte == '\n') afterLineFeed = at + 1;
        at += leadByte[byte] ? 2 : 1;
    }
    at = std::min(at, text.size());
    if (at < text.size() && afterLineFeed > from) at = afterLineFeed;
    return at - from;
}

// True when no line of the text is longer than ShortLineBytes.
bool HasOnlyShortLines(const Text& text) {
    std::size_t lineStart = 0;
    for (std::size_t lineFeed = text.find('\n'); lineFeed != Text::npos;
         lineFeed = text.find('\n', lineStart)) {
        if (lineFeed - lineStart > ShortLineBytes) return false;
        lineStart = lineFeed + 1;
    }
    return text.size() - lineStart <= ShortLineBytes;
}

// Aims the next step at the target time, growing at most fourfold at a time. Each append also costs
// time in proportion to all that the box holds already; for text of short lines, whose layout cost is
// linear, steps of at least an eighth of that keep this cost from taking over. Long lines keep the small
// steps that the time allows, since their layout cost grows with the square of the step.
std::size_t NextStepBytes(std::size_t length, double tookMs, std::size_t shown, bool shortLines) {
    tookMs = std::max(tookMs, 1.0);
    auto next =
        static_cast<std::size_t>(static_cast<double>(length) * std::clamp(StepTargetMs / tookMs, 0.25, 4.0));
    if (shortLines) next = std::max(next, shown / 8);
    return std::clamp(next, SmallestStepBytes, LargestStepBytes);
}

ShowOutcome ShowText(ControlId id, const Text& text, int showing) {
    HWND box = ControlHwnd(id);
    const bool severalLines = GetWindowLongPtrA(box, GWL_STYLE) & ES_MULTILINE;
    if (!severalLines || text.size() <= FirstStepBytes) {
        HwndSetText(box, text);
        return ShowOutcome::Shown;
    }
    // Appends obey the box's length limit, which text set in one go does not.
    SendMessageA(box, EM_SETLIMITTEXT, 0, 0);
    SendMessageA(box, WM_SETREDRAW, FALSE, 0);
    std::size_t shown = 0, step = FirstStepBytes;
    const bool shortLines = HasOnlyShortLines(text);
    while (shown < text.size()) {
        const std::size_t length = PieceLength(text, shown, step);
        const Text piece = text.substr(shown, length);
        const auto start = std::chrono::steady_clock::now();
        if (shown == 0) {
            HwndSetText(box, piece);
        } else {
            SendMessageA(box, EM_SETSEL, INT_MAX, INT_MAX);
            SendMessageA(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
        }
        const double tookMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        shown += length;
        step = NextStepBytes(length, tookMs, shown, shortLines);
        ProcessEvents();
        if (!MainWindowAlive()) return ShowOutcome::WindowGone;
        if (showingsBegun != showing) break;
    }
    SendMessageA(box, EM_SETSEL, 0, 0);
    SendMessageA(box, EM_SCROLLCARET, 0, 0);
    SendMessageA(box, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    return showingsBegun == showing ? ShowOutcome::Shown : ShowOutcome::Overtaken;
}

} // namespace

void OnSendClicked() {
    ClearProxyPlaceholder();

    Text postData = HwndGetText(ControlHwnd(输入_提交数据));
    if (HwndIsChecked(ControlHwnd(设置_发送编码))) postData = BytesToText(AnsiToUtf8(postData));

    const int timeoutSeconds = TextToInteger(HwndGetText(ControlHwnd(输入_超时设置)));
    // Window handles carry 32 significant bits; the worker widens the number back.
    const int progressWindow = static_cast<int>(reinterpret_cast<std::intptr_t>(ControlHwnd(显示_提示信息)));
    const bool doNotKeepCookies = !HwndIsChecked(ControlHwnd(设置_保存Cookies));

    const Text url = HwndGetText(ControlHwnd(输入_完整地址));
    const Text method = HwndGetText(ControlHwnd(输入_模拟方式));
    const Text proxy = HwndGetText(ControlHwnd(输入_代理地址));
    const Text extraHeaders = HwndGetText(ControlHwnd(输入_协议头));
    const Text cookies = HwndGetText(ControlHwnd(输入_Cookies));

    Text returnedHeaders, returnedCookies;
    Bytes body = RunRequest(url, method, proxy, extraHeaders, postData, timeoutSeconds, progressWindow,
                            cookies, doNotKeepCookies, &returnedHeaders, &returnedCookies);

    // The window may have been closed during the wait; its controls are gone then.
    if (!MainWindowAlive()) return;

    // A send action started during this one's showing writes the boxes too; this one, the earlier
    // click, then shows its results again so that they are the ones left on screen.
    Text bodyText;
    bool bodyConverted = false;
    for (;;) {
        const int showing = ++showingsBegun;
        ShowOutcome outcome = ShowText(显示_返回协议, returnedHeaders, showing);
        if (outcome == ShowOutcome::Shown) outcome = ShowText(显示_返回Cookies, returnedCookies, showing);
        if (outcome == ShowOutcome::Shown) {
            if (!bodyConverted) {
                // The option counts as it stands now, after the wait.
                bodyText = HwndIsChecked(ControlHwnd(设置_返回编码)) ? Utf8ToAnsi(body) : BytesToText(body);
                bodyConverted = true;
            }
            outcome = ShowText(显示_返回数据, bodyText, showing);
        }
        if (outcome == ShowOutcome::WindowGone) return;
        if (outcome == ShowOutcome::Shown) break;
    }

    RestoreProxyPlaceholder();
    HwndSetText(ControlHwnd(显示_提示信息), Ansi(L"读取完毕"));
}

void OnMethodBoxButtonUp() {
    HWND methodBox = ControlHwnd(输入_模拟方式);
    HwndSetText(methodBox, HwndGetText(methodBox) == "POST" ? Text("GET") : Text("POST"));
}

void OnProxyFocus() {
    ClearProxyPlaceholder();
}

void OnProxyBlur() {
    RestoreProxyPlaceholder();
}
