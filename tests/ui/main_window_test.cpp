// MainWindow as the user meets it: the real corvana.exe, started and driven through the window system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "program_fixture.h"

namespace {

const std::string VendorSite = "http://www.tavrel.example/";
const std::string VendorClosingPage = "http://www.tavrel.example/thanks";

struct Place {
    int id;
    int left, top, width, height;
};

// Where every control must be, in its parent's client coordinates, for a client area of W x H: the form's
// places, with what the layout rule and the title set.
std::vector<Place> ExpectedPlaces(int W, int H) {
    return {
        {背景_Top_A, 2, 0, W - 4, 69},
        {显示_程序名称, 16, 13, 147, 40}, // 7 bytes of "Corvana" x 21
        {背景_Tavrel软件, 165, 24, 104, 28},
        {显示_公司名称, W - 292, 2, 288, 16},
        {显示_联系方式, W - 292, 52, 288, 16},
        {背景_Top_B, 0, 0, 2, 69},
        {背景_Top_C, W - 2, 0, 2, 69},
        {背景_顶边线, 2, 68, W - 4, 3},
        {标签1, 8, 73, 48, 16},
        {输入_完整地址, 59, 72, 525, 20},
        {标签2, 588, 73, 48, 16},
        {输入_模拟方式, 640, 72, 40, 20},
        {标签3, 8, 97, 48, 16},
        {输入_提交数据, 59, 96, 525, 20},
        {标签4, 588, 97, 48, 16},
        {输入_超时设置, 640, 96, 40, 20},
        {标签6, 8, 121, 48, 16},
        {输入_Cookies, 59, 120, 621, 20},
        {标签7, 8, 145, 48, 16},
        {输入_协议头, 59, 144, 621, 40},
        {标签5, 8, 189, 48, 16},
        {输入_代理地址, 59, 188, 125, 20},
        {设置_保存Cookies, 195, 191, 165, 16},
        {设置_发送编码, 376, 191, 152, 16},
        {设置_返回编码, 544, 191, 136, 16},
        {背景_底边线_C, 2, 214, W - 4, 3},
        {标签8, 8, 221, 48, 16},
        {显示_返回数据, 59, 220, 621, 140},
        {标签9, 8, 366, 48, 16},
        {显示_返回协议, 59, 365, 621, 40},
        {标签10, 8, 410, 48, 16},
        {显示_返回Cookies, 59, 409, 621, 20},
        {背景_底边线_B, 2, H - 50, W - 4, 3},
        {功能_关闭软件, 8, H - 40, 138, 31},
        {显示_提示信息, 154, H - 40, W - 310, 13},
        {显示_进度底部, 154, H - 24, W - 308, 14},
        {显示_进度前景, 0, 0, W - 310, 12},
        {功能_主要功能, W - 146, H - 40, 138, 31},
        {背景_左边线, 0, 0, 3, H - 2},
        {背景_右边线, W - 3, 0, 3, H - 2},
        {背景_底边线_A, 1, H - 3, W - 2, 3},
    };
}

class MainWindowTest : public ProgramTest {
  protected:
    void SetUp() override {
        openedBefore = OpenedAddresses().size();
        ProgramTest::SetUp();
    }

    void ExpectEveryControlInPlace() const {
        SIZE client = ClientSize(window);
        for (const Place& expected : ExpectedPlaces(client.cx, client.cy)) {
            HWND control = Control(expected.id);
            ASSERT_NE(control, nullptr) << "control " << expected.id;
            RECT actual = RectInParent(control);
            EXPECT_EQ(actual.left, expected.left) << "left of control " << expected.id;
            EXPECT_EQ(actual.top, expected.top) << "top of control " << expected.id;
            EXPECT_EQ(actual.right - actual.left, expected.width) << "width of control " << expected.id;
            EXPECT_EQ(actual.bottom - actual.top, expected.height) << "height of control " << expected.id;
        }
    }

    // The addresses opened since the test began, once the program has ended and the opening has had
    // time to arrive (and to show a second time, if it were to).
    std::vector<std::string> AddressesOpenedOnTheWayOut() const {
        WaitUntil([&] { return OpenedAddresses().size() > openedBefore; }, 15000);
        Sleep(1000);
        std::vector<std::string> all = OpenedAddresses();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(openedBefore), all.end());
    }

    std::size_t openedBefore = 0;
};

TEST_F(MainWindowTest, EveryControlStartsAtItsPlaceInTheRealClientArea) {
    SIZE client = ClientSize(window);
    ASSERT_GT(client.cx, 600);
    ASSERT_GT(client.cy, 400);
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, 700);
    EXPECT_EQ(outer.bottom - outer.top, 511);
    // Centred on the screen (a pixel either way for odd sizes).
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(outer.left - work.left, work.right - outer.right, 1);
    EXPECT_NEAR(outer.top - work.top, work.bottom - outer.bottom, 1);
    ExpectEveryControlInPlace();
}

TEST_F(MainWindowTest, LayoutIsWholeAgainAfterMinimiseAndRestore) {
    // A progress report would have narrowed the bar; a size change makes it full again.
    SetWindowPos(Control(显示_进度前景), nullptr, 0, 0, 30, 12, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(RectInParent(Control(显示_进度前景)).right, 30);

    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != FALSE; }));
    ShowWindow(window, SW_RESTORE);
    ASSERT_TRUE(WaitUntil([&] { return !IsIconic(window) && ClientSize(window).cx > 0; }));
    WaitForMainWindow(program); // the restore's messages handled
    ExpectEveryControlInPlace();
}

TEST_F(MainWindowTest, TitleShowsNameVersionAndVendorSite) {
    EXPECT_EQ(TextOf(window), "TavrelCorvana - Ver 1.0 - " + AnsiOf(L"官方网站: ") + VendorSite);
    EXPECT_EQ(TextOf(Control(显示_程序名称)), "Corvana");
    EXPECT_EQ(RectInParent(Control(显示_程序名称)).right - RectInParent(Control(显示_程序名称)).left, 147);
    EXPECT_EQ(RectInParent(Control(背景_Tavrel软件)).left, 165);
    // Fixed frame: minimise, no maximise, no sizing border; its own taskbar button.
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

TEST_F(MainWindowTest, ControlsStartWithTheirTextsAndStates) {
    struct StartingText {
        int id;
        const wchar_t* text;
    };
    const StartingText texts[] = {
        {背景_Tavrel软件, L"Tavrel软件"},
        {标签1, L"完整地址"},
        {标签2, L"模拟方式"},
        {标签3, L"提交数据"},
        {标签4, L"超时设置"},
        {标签5, L"代理地址"},
        {标签6, L"Cookies"},
        {标签7, L"协 议 头"},
        {标签8, L"返回数据"},
        {标签9, L"返回协议"},
        {标签10, L"Cookies"},
        {输入_完整地址, L""},
        {输入_模拟方式, L"POST"},
        {输入_提交数据, L""},
        {输入_超时设置, L"20"},
        {输入_Cookies, L""},
        {输入_协议头, L""},
        {输入_代理地址, L"地址:端口"},
        {显示_返回数据, L""},
        {显示_返回协议, L""},
        {显示_返回Cookies, L""},
        {显示_提示信息, L""},
        {功能_关闭软件, L"关闭"},
        {功能_主要功能, L"模拟访问"},
        {设置_保存Cookies, L"在本地保存返回的Cookies"},
        {设置_发送编码, L"将提交数据转换为UTF-8"},
        {设置_返回编码, L"将返回数据转换为GBK"},
    };
    for (const StartingText& expected : texts)
        EXPECT_EQ(TextOf(Control(expected.id)), AnsiOf(expected.text)) << "control " << expected.id;
    EXPECT_FALSE(TextOf(Control(显示_公司名称)).empty());
    EXPECT_FALSE(TextOf(Control(显示_联系方式)).empty());

    EXPECT_TRUE(IsChecked(Control(设置_保存Cookies)));
    EXPECT_FALSE(IsChecked(Control(设置_发送编码)));
    EXPECT_FALSE(IsChecked(Control(设置_返回编码)));

    // The method box holds 4 characters at most; the display boxes take texts of any length.
    auto limit = [&](int id) { return SendMessageA(Control(id), EM_GETLIMITTEXT, 0, 0); };
    EXPECT_EQ(limit(输入_模拟方式), 4);
    for (int id : {显示_返回数据, 显示_返回协议, 显示_返回Cookies, 输入_协议头, 输入_完整地址})
        EXPECT_GE(limit(id), 0x7FFFFFFE) << "control " << id;
    for (int id : {输入_模拟方式, 显示_返回数据, 显示_返回协议, 显示_返回Cookies})
        EXPECT_TRUE(GetWindowLongA(Control(id), GWL_STYLE) & ES_READONLY) << "control " << id;
}

TEST_F(MainWindowTest, ColoursAndPicturesAreOnScreen) {
    BringToFront(window);
    WaitForMainWindow(program);
    SIZE client = ClientSize(window);
    auto similar = [](COLORREF actual, COLORREF expected, int tolerance) {
        return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
               std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
               std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
    };
    // The window's own grey between a caption and its box, and inside an empty edit box.
    EXPECT_EQ(ScreenColourAt(window, 57, 80), RGB(77, 77, 77));
    EXPECT_EQ(ScreenColourAt(window, 300, 80), RGB(77, 77, 77));
    // The line pictures, stretched: the light middle row of the groove, not the plain line colour.
    EXPECT_TRUE(similar(ScreenColourAt(window, 300, 215), RGB(0x7a, 0x7a, 0x7a), 16));
    // The dark banner, and the white bar inside the progress background.
    COLORREF banner = ScreenColourAt(window, client.cx - 60, 30);
    EXPECT_LT(GetRValue(banner), 70);
    EXPECT_GT(GetRValue(ScreenColourAt(window, 200, client.cy - 24 + 4)), 200);
    if (HasFailure()) SaveScreenshot(window, "colours-failed.bmp");
}

TEST_F(MainWindowTest, TabWalksTheFocusOrderBothWays) {
    const int order[] = {功能_主要功能, 功能_关闭软件, 输入_完整地址, 输入_模拟方式, 输入_提交数据,
                         输入_超时设置, 输入_代理地址, 输入_Cookies,  输入_协议头,   设置_保存Cookies,
                         设置_发送编码, 设置_返回编码, 显示_返回数据, 显示_返回协议, 显示_返回Cookies};
    BringToFront(window);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(功能_主要功能); }));
    // Once round, and back to the start.
    for (std::size_t step = 1; step <= std::size(order); ++step) {
        PressKey(VK_TAB);
        int expected = order[step % std::size(order)];
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(expected); }))
            << "Tab step " << step << " should reach control " << expected;
    }
    PressKey(VK_TAB, true);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(显示_返回Cookies); }));
    PressKey(VK_TAB, true);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(显示_返回协议); }));
    // The proxy box was passed through with nothing typed: its placeholder is back.
    EXPECT_EQ(TextOf(Control(输入_代理地址)), AnsiOf(L"地址:端口"));
}

TEST_F(MainWindowTest, FocusComesBackToTheLastControlOnReactivation) {
    BringToFront(window);
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(输入_完整地址); }));

    // Another window takes the foreground, then the user comes back.
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    BringToFront(other);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other; }));
    BringToFront(window);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(输入_完整地址); }));
    DestroyWindow(other);
}

TEST_F(MainWindowTest, MethodBoxTakesNoTypingAndTimeoutBoxOnlyDigitsAndMinus) {
    BringToFront(window);
    for (int i = 0; i < 3; ++i)
        PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(输入_模拟方式); }));
    TypeText("GET");
    PressKey(VK_BACK);
    PressKey(VK_DELETE);
    PressKey(VK_TAB); // what was typed before has been handled once the focus moves on
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(输入_提交数据); }));
    EXPECT_EQ(TextOf(Control(输入_模拟方式)), "POST");

    PressKey(VK_TAB); // Tab selects the box's text, so typing replaces it
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(输入_超时设置); }));
    TypeText("a1b-x2Z.");
    EXPECT_TRUE(WaitUntil([&] { return TextOf(Control(输入_超时设置)) == "1-2"; }))
        << TextOf(Control(输入_超时设置));
    PressKey(VK_BACK); // editing keys still work
    PressKey(VK_LEFT);
    PressKey(VK_BACK);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(Control(输入_超时设置)) == "-"; }))
        << TextOf(Control(输入_超时设置));
}

// ---- The ways out.

struct CloseGesture {
    const char* name;
    std::function<void(HWND window, HWND headerBox)> close;
};

void PrintTo(const CloseGesture& gesture, std::ostream* out) {
    *out << gesture.name;
}

class CloseRequestTest : public MainWindowTest, public ::testing::WithParamInterface<CloseGesture> {};

TEST_P(CloseRequestTest, OpensTheVendorSiteOnceAndExitsWithZero) {
    GetParam().close(window, Control(输入_协议头));
    EXPECT_EQ(WaitForExit(program, 15000), 0u);
    EXPECT_EQ(AddressesOpenedOnTheWayOut(), std::vector<std::string>{VendorSite});
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, CloseRequestTest,
    ::testing::Values(
        CloseGesture{"CloseBox", [](HWND window, HWND) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        CloseGesture{"Escape",
                     [](HWND window, HWND) {
                         BringToFront(window);
                         PressKey(VK_ESCAPE);
                     }},
        CloseGesture{"EscapeInTheHeaderBox",
                     [](HWND window, HWND headerBox) {
                         Click(headerBox);
                         WaitUntil([&] { return FocusOf(window) == headerBox; });
                         PressKey(VK_ESCAPE);
                     }},
        CloseGesture{"AltF4",
                     [](HWND window, HWND) {
                         BringToFront(window);
                         keybd_event(VK_MENU, 0, 0, 0);
                         PressKey(VK_F4);
                         keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
                     }}),
    [](const ::testing::TestParamInfo<CloseGesture>& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, CloseButtonOpensOnlyTheClosingPageAndExitsWithZero) {
    Click(Control(功能_关闭软件));
    EXPECT_EQ(WaitForExit(program, 15000), 0u);
    EXPECT_EQ(AddressesOpenedOnTheWayOut(), std::vector<std::string>{VendorClosingPage});
}

} // namespace
