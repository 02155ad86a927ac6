// Texts, states and geometry of windows, as the event handlers see them.
#include "ui/controls.h"

#include <vector>

Text Ansi(const wchar_t* literal) {
    int units = lstrlenW(literal);
    if (units == 0) return Text();
    int bytes = WideCharToMultiByte(CP_ACP, 0, literal, units, nullptr, 0, nullptr, nullptr);
    Text text(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, literal, units, text.data(), bytes, nullptr, nullptr);
    return text;
}

Text HwndGetText(HWND hwnd) {
    if (!hwnd) return Text();
    // The length may overstate (double-byte text); the copy reports what it wrote.
    int length = GetWindowTextLengthA(hwnd);
    if (length <= 0) return Text();
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    int copied = GetWindowTextA(hwnd, buffer.data(), length + 1);
    return Text(buffer.data(), copied > 0 ? copied : 0);
}

void HwndSetText(HWND hwnd, const Text& text) {
    if (!hwnd) return;
    SetWindowTextA(hwnd, text.c_str());
    // A label that lets its parent show through leaves its old caption behind unless the parent
    // repaints that place too.
    if (GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_TRANSPARENT) {
        RECT place = HwndRectInParent(hwnd);
        RedrawWindow(GetParent(hwnd), &place, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
}

bool HwndIsChecked(HWND hwnd) {
    return hwnd && SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

RECT HwndRectInParent(HWND hwnd) {
    RECT rect{};
    if (!hwnd || !GetWindowRect(hwnd, &rect)) return RECT{};
    // A top-level window's "parent" is the screen.
    HWND parent = (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int HwndLeft(HWND hwnd) {
    return HwndRectInParent(hwnd).left;
}
int HwndTop(HWND hwnd) {
    return HwndRectInParent(hwnd).top;
}
int HwndWidth(HWND hwnd) {
    RECT rect = HwndRectInParent(hwnd);
    return rect.right - rect.left;
}
int HwndHeight(HWND hwnd) {
    RECT rect = HwndRectInParent(hwnd);
    return rect.bottom - rect.top;
}

namespace {

void SetPlace(HWND hwnd, int left, int top, int width, int height) {
    if (!hwnd) return;
    SetWindowPos(hwnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

} // namespace

void HwndSetLeft(HWND hwnd, int left) {
    RECT rect = HwndRectInParent(hwnd);
    SetPlace(hwnd, left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}
void HwndSetTop(HWND hwnd, int top) {
    RECT rect = HwndRectInParent(hwnd);
    SetPlace(hwnd, rect.left, top, rect.right - rect.left, rect.bottom - rect.top);
}
void HwndSetWidth(HWND hwnd, int width) {
    RECT rect = HwndRectInParent(hwnd);
    SetPlace(hwnd, rect.left, rect.top, width, rect.bottom - rect.top);
}
void HwndSetHeight(HWND hwnd, int height) {
    RECT rect = HwndRectInParent(hwnd);
    SetPlace(hwnd, rect.left, rect.top, rect.right - rect.left, height);
}
