// The progress display: the status line and the bar follow the reads of a running request.
#include "ui/controls.h"
#include "ui/send_action.h"

namespace {

constexpr int BytesPerKilobyte = 1024;
constexpr int StepsInFullBar = 100;
// The bar's background has a one-pixel border on each side.
constexpr int BackgroundBorders = 2;

} // namespace

void OnFeedback(int bytes, int steps) {
    static const Text before = Ansi(L"已读取(");
    static const Text after = Ansi(L")KB");
    HwndSetText(ControlHwnd(显示_提示信息),
                JoinTexts(before, IntegerToText(bytes / BytesPerKilobyte), after));

    // The unit is whole pixels, so a full bar can fall short of the background's inside.
    const int fullWidth = HwndWidth(ControlHwnd(显示_进度底部)) - BackgroundBorders;
    const int unit = fullWidth / StepsInFullBar;
    HwndSetWidth(ControlHwnd(显示_进度前景), unit * steps);
}
