// MainWindow's controls, by name, and the few operations the event handlers use on them.
#pragma once

#include <windows.h>

#include "core/text.h"

// Control identifiers; the names are the controls' names.
enum ControlId : int {
    背景_Top_A = 100,
    显示_程序名称,
    背景_Tavrel软件,
    显示_公司名称,
    显示_联系方式,
    背景_Top_B,
    背景_Top_C,
    背景_顶边线,
    标签1,
    输入_完整地址,
    标签2,
    输入_模拟方式,
    标签3,
    输入_提交数据,
    标签4,
    输入_超时设置,
    标签6,
    输入_Cookies,
    标签7,
    输入_协议头,
    标签5,
    输入_代理地址,
    设置_保存Cookies,
    设置_发送编码,
    设置_返回编码,
    背景_底边线_C,
    标签8,
    显示_返回数据,
    标签9,
    显示_返回协议,
    标签10,
    显示_返回Cookies,
    背景_底边线_B,
    功能_关闭软件,
    显示_提示信息,
    显示_进度底部,
    显示_进度前景,
    功能_主要功能,
    背景_左边线,
    背景_右边线,
    背景_底边线_A,
};

// The main window, or null before it exists and after it is destroyed.
HWND MainWindowHwnd();
// A control's window, or null when the main window is gone.
HWND ControlHwnd(ControlId id);

// A wide literal in the system's ANSI code page, converted at run time (source files are UTF-8).
Text Ansi(const wchar_t* literal);

// Texts and states; all accept a null window (reading gives the empty text / false).
Text HwndGetText(HWND hwnd);
void HwndSetText(HWND hwnd, const Text& text);
bool HwndIsChecked(HWND hwnd);

// Geometry in whole pixels, in the client coordinates of the window's parent.
RECT HwndRectInParent(HWND hwnd);
int HwndLeft(HWND hwnd);
int HwndTop(HWND hwnd);
int HwndWidth(HWND hwnd);
int HwndHeight(HWND hwnd);
void HwndSetLeft(HWND hwnd, int left);
void HwndSetTop(HWND hwnd, int top);
void HwndSetWidth(HWND hwnd, int width);
void HwndSetHeight(HWND hwnd, int height);
