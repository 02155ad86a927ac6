// One click end to end: the real corvana.exe, driven through the window system, against the local test
// servers (httpbin, tinyproxy and misc_server.py, ports from CORVANA_*_PORT).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "program_fixture.h"

namespace {

std::string Port(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string At(const char* portName, const std::string& path) {
    return "http://127.0.0.1:" + Port(portName) + path;
}

std::string Httpbin(const std::string& path) {
    return At("CORVANA_HTTPBIN_PORT", path);
}
std::string Misc(const std::string& path) {
    return At("CORVANA_MISC_PORT", path);
}

std::string ProxyLog() {
    const char* path = std::getenv("CORVANA_PROXY_LOG");
    if (!path) return "";
    std::ifstream file(WindowsPathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const std::string& Done() {
    static const std::string done = AnsiOf(L"读取完毕");
    return done;
}

const std::string& Placeholder() {
    static const std::string placeholder = AnsiOf(L"地址:端口");
    return placeholder;
}

class SendActionTest : public ProgramTest {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Port("CORVANA_MISC_PORT").empty()) << "start the servers: scripts/servers start DIR";
        ProgramTest::SetUp();
    }
    std::string Text(int id) const { return TextOf(Control(id)); }
    std::size_t TextLength(int id) const {
        DWORD_PTR length = 0;
        SendMessageTimeoutA(Control(id), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length);
        return length;
    }

    // Puts a text into a box, as pasting would.
    void Put(int id, const std::string& text) const {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                            5000, &ignored);
    }
    void Tick(int id, bool ticked) const {
        if (IsChecked(Control(id)) != ticked) Click(Control(id));
        ASSERT_TRUE(WaitUntil([&] { return IsChecked(Control(id)) == ticked; }));
    }

    // Clicks the main button; the status line is emptied first so that the end of this request shows.
    void Send() const {
        Put(显示_提示信息, "");
        Click(Control(功能_主要功能));
    }
    bool WaitDone(int timeoutMs = 20000) const {
        return WaitUntil([&] { return Text(显示_提示信息) == Done(); }, timeoutMs);
    }
    // Sends a GET to url and waits for the end.
    void Get(const std::string& url) const {
        if (Text(输入_模拟方式) != "GET") Click(Control(输入_模拟方式));
        ASSERT_TRUE(WaitUntil([&] { return Text(输入_模拟方式) == "GET"; }));
        Put(输入_完整地址, url);
        Send();
        ASSERT_TRUE(WaitDone()) << url;
    }

    void Screenshot(const std::string& name) const {
        SaveScreenshot(window, name + ".bmp"); // in the test's working folder
    }
};

TEST_F(SendActionTest, GetShowsBodyRawHeadersAndCookies) {
    // Typed as the user types it: from the main button, which has the focus at start, two Tabs lead to the
    // URL box.
    BringToFront(window);
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == Control(输入_完整地址); }));
    TypeText(Httpbin("/response-headers?Set-Cookie=sid%3Dabc123&X-Marker=seen"));
    ASSERT_TRUE(WaitUntil([&] { return Contains(Text(输入_完整地址), "X-Marker=seen"); }))
        << Text(输入_完整地址);

    EXPECT_EQ(Text(输入_模拟方式), "POST");
    Click(Control(输入_模拟方式));
    ASSERT_TRUE(WaitUntil([&] { return Text(输入_模拟方式) == "GET"; }));
    Send();
    ASSERT_TRUE(WaitDone());

    const std::string headers = Text(显示_返回协议);
    EXPECT_EQ(headers.rfind("HTTP/1.", 0), 0u) << headers;
    EXPECT_TRUE(Contains(headers, "X-Marker: seen")) << headers;
    EXPECT_TRUE(Contains(Text(显示_返回数据), "\"X-Marker\":\"seen\"")) << Text(显示_返回数据);
    EXPECT_EQ(Text(显示_返回Cookies), "sid=abc123");
    EXPECT_EQ(Text(输入_代理地址), Placeholder());
    Screenshot("request");

    // The method box goes back and forth.
    Click(Control(输入_模拟方式));
    EXPECT_TRUE(WaitUntil([&] { return Text(输入_模拟方式) == "POST"; }));
}

TEST_F(SendActionTest, PostDataGoesAsUtf8WhenTickedAndAsTypedOtherwise) {
    struct Case {
        bool utf8;
        std::string postData, sentBytes, contentLength;
    };
    const std::string chinese = AnsiOf(L"中文");
    const std::vector<Case> cases = {
        {true, chinese, "\xE4\xB8\xAD\xE6\x96\x87", "Content-Length: 6"},
        {false, chinese, "\xD6\xD0\xCE\xC4", "Content-Length: 4"},
        {true, "", "", "Content-Length: 0"},
    };
    ASSERT_EQ(Text(输入_模拟方式), "POST");
    Put(输入_完整地址, Misc("/echo"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.contentLength);
        Tick(设置_发送编码, c.utf8);
        Put(输入_提交数据, c.postData);
        Send();
        ASSERT_TRUE(WaitDone());
        // The echo is the request as the server received it: the head, a blank line, the post data.
        const std::string echo = Text(显示_返回数据);
        EXPECT_TRUE(Contains(echo, c.contentLength)) << echo;
        EXPECT_EQ(echo.substr(echo.find("\r\n\r\n") + 4), c.sentBytes);
    }
}

TEST_F(SendActionTest, BodyIsReadAsUtf8WhenTheOptionIsTickedAsTheWaitEnds) {
    const std::string readable = AnsiOf(L"UTF-8 正文：中文测试，读取完毕。");
    Tick(设置_返回编码, true);
    Get(Misc("/utf8"));
    EXPECT_EQ(Text(显示_返回数据), readable);

    Tick(设置_返回编码, false);
    Get(Misc("/utf8"));
    EXPECT_NE(Text(显示_返回数据), readable);
    EXPECT_EQ(Text(显示_返回数据).rfind("UTF-8 ", 0), 0u);

    // Ticked while the request waits: that request's body is converted.
    Put(输入_完整地址, Misc("/utf8?delay=1500"));
    Send();
    Sleep(300);
    ASSERT_NE(Text(显示_提示信息), Done());
    Tick(设置_返回编码, true);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(Text(显示_返回数据), readable);

    // A zero byte ends the text, converted or not.
    for (bool utf8 : {true, false}) {
        Tick(设置_返回编码, utf8);
        Get(Httpbin("/base64/YWIAYw==")); // a b 00 c
        EXPECT_EQ(Text(显示_返回数据), "ab") << utf8;
    }
}

TEST_F(SendActionTest, TypedCookiesReachTheServerAndReturnedOnesAreKeptOnlyWhenAsked) {
    Put(输入_Cookies, "typed=1; more=two");
    Get(Misc("/cookie-echo"));
    EXPECT_EQ(Text(显示_返回数据), "typed=1; more=two");
    Put(输入_Cookies, "");

    ASSERT_TRUE(IsChecked(Control(设置_保存Cookies)));
    Get(Misc("/setcookies?c=kept%3D1"));
    EXPECT_EQ(Text(显示_返回Cookies), "kept=1");
    Get(Misc("/cookie-echo"));
    EXPECT_TRUE(Contains(Text(显示_返回数据), "kept=1")) << Text(显示_返回数据);

    Tick(设置_保存Cookies, false);
    Get(Misc("/setcookies?c=dropped%3D1"));
    EXPECT_EQ(Text(显示_返回Cookies), "dropped=1");
    Get(Misc("/cookie-echo"));
    EXPECT_FALSE(Contains(Text(显示_返回数据), "dropped")) << Text(显示_返回数据);
    EXPECT_TRUE(Contains(Text(显示_返回数据), "kept=1")) << Text(显示_返回数据);
}

TEST_F(SendActionTest, ProxyIsUsedAndThePlaceholderComesAndGoes) {
    const std::string proxy = "127.0.0.1:" + Port("CORVANA_PROXY_PORT");
    struct Case {
        std::string typed; // what the proxy box holds at the click
        bool viaProxy;     // tinyproxy logs the request
        std::string afterwards;
    };
    const std::vector<Case> cases = {
        {proxy, true, proxy},
        {Placeholder(), false, Placeholder()},
        {"", false, Placeholder()},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::string token =
            "proxycheck" + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(++n);
        Put(输入_代理地址, c.typed);
        Get(Misc("/bytes/16?" + token));
        EXPECT_EQ(Contains(Text(显示_返回协议), "200 OK"), true);
        EXPECT_TRUE(WaitUntil([&] { return Contains(ProxyLog(), token); }, c.viaProxy ? 3000 : 300) ==
                    c.viaProxy);
        EXPECT_EQ(Text(输入_代理地址), c.afterwards);
    }

    // One blank more than the placeholder is a proxy of its own: it goes to the request and stays.
    const std::string nearPlaceholder = Placeholder() + " ";
    Put(输入_代理地址, nearPlaceholder);
    Put(输入_超时设置, "5");
    Get(Misc("/bytes/16"));
    EXPECT_EQ(Text(输入_代理地址), nearPlaceholder);
    EXPECT_FALSE(Contains(Text(显示_返回协议), "200 OK")) << "went direct: " << Text(显示_返回协议);

    // Focus: entering the box clears the placeholder, leaving it empty brings it back.
    Put(输入_代理地址, Placeholder());
    Click(Control(输入_代理地址));
    EXPECT_TRUE(WaitUntil([&] { return Text(输入_代理地址).empty(); }));
    PressKey(VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return Text(输入_代理地址) == Placeholder(); }));
}

TEST_F(SendActionTest, TimeoutEmptiesTheThreeBoxes) {
    Get(Misc("/setcookies?c=before%3D1"));
    ASSERT_FALSE(Text(显示_返回数据).empty());
    ASSERT_FALSE(Text(显示_返回Cookies).empty());

    Put(输入_超时设置, "1");
    Put(输入_完整地址, Misc("/never"));
    const ULONGLONG start = GetTickCount64();
    Send();
    ASSERT_TRUE(WaitDone());
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_GE(took, 900u);
    EXPECT_LT(took, 4000u);
    EXPECT_EQ(Text(显示_返回数据), "");
    EXPECT_EQ(Text(显示_返回协议), "");
    EXPECT_EQ(Text(显示_返回Cookies), "");
}

TEST_F(SendActionTest, ProgressFollowsTheReadsAndTheBarStopsAtOneHundred) {
    HWND bar = Control(显示_进度前景);
    const int unit =
        (RectInParent(Control(显示_进度底部)).right - RectInParent(Control(显示_进度底部)).left - 2) / 100;
    ASSERT_GT(unit, 0);
    auto width = [&] { return static_cast<int>(RectInParent(bar).right - RectInParent(bar).left); };

    // 130 reads of 4096 bytes: each read is 4 KB more and one unit more, up to 100 units.
    Put(输入_完整地址, Misc("/slow?chunks=130&size=4096&delay=25"));
    if (Text(输入_模拟方式) != "GET") Click(Control(输入_模拟方式));
    Send();
    const std::string before = AnsiOf(L"已读取("), after = ")KB";
    int samples = 0, largest = 0, pastHundred = 0;
    bool screenshotTaken = false;
    while (Text(显示_提示信息) != Done() && WaitForSingleObject(program.process.get(), 0) == WAIT_TIMEOUT) {
        const int widthBefore = width();
        const std::string status = Text(显示_提示信息);
        if (widthBefore != width() || status.rfind(before, 0) != 0) continue;
        ASSERT_EQ(status.substr(status.size() - after.size()), after) << status;
        const int kb = std::atoi(status.c_str() + before.size());
        if (kb == 0) continue;
        ++samples;
        EXPECT_EQ(widthBefore, unit * std::min(kb / 4, 100)) << status;
        EXPECT_GE(widthBefore, largest) << status;
        largest = widthBefore;
        if (kb > 400) ++pastHundred;
        if (kb > 150 && !screenshotTaken) screenshotTaken = SaveScreenshot(window, "progress.bmp");
        Sleep(10);
    }
    EXPECT_GT(samples, 10);
    EXPECT_GT(pastHundred, 0);
    ASSERT_EQ(Text(显示_提示信息), Done());
    EXPECT_EQ(width(), unit * 100);
    EXPECT_EQ(Text(显示_返回数据).size(), 130u * 4096);

    // A size change makes the bar full again.
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_RESTORE);
    EXPECT_TRUE(WaitUntil([&] { return width() == ClientSize(window).cx - 310; })) << width();
}

TEST_F(SendActionTest, SecondClickDuringAWaitFinishesFirstAndTheFirstClickHasTheLastWord) {
    if (Text(输入_模拟方式) != "GET") Click(Control(输入_模拟方式));
    Put(输入_完整地址, Misc("/slow?chunks=8&size=4096&delay=300"));
    Send();
    ASSERT_TRUE(WaitUntil([&] { return Contains(Text(显示_提示信息), AnsiOf(L"已读取(")); }));

    Put(输入_完整地址, Misc("/setcookies?c=inner%3D1"));
    Click(Control(功能_主要功能));
    // The inner request ends first and shows its results ...
    ASSERT_TRUE(WaitUntil([&] { return Text(显示_返回Cookies) == "inner=1"; }, 10000));
    EXPECT_EQ(Text(显示_返回数据), "cookies");
    // ... then the first one ends and leaves its own.
    ASSERT_TRUE(WaitUntil([&] { return Text(显示_返回数据).size() == 8u * 4096; }, 10000));
    EXPECT_TRUE(WaitDone());
    EXPECT_EQ(Text(显示_返回数据).substr(0, 4), "AAAA");
    EXPECT_EQ(Text(显示_返回Cookies), "");
    EXPECT_TRUE(Contains(Text(显示_返回协议), "Content-Length: 32768")) << Text(显示_返回协议);
}

TEST_F(SendActionTest, ClosingDuringAWaitEndsTheProgramCleanly) {
    // Each way out, with a fresh program: Esc (a close request) and the close button.
    for (bool closeButton : {false, true}) {
        SCOPED_TRACE(closeButton ? "close button" : "Esc");
        if (!window) {
            program = LaunchProgram(CorvanaExe());
            window = WaitForMainWindow(program);
            ASSERT_NE(window, nullptr);
        }
        Put(输入_超时设置, "3");
        Put(输入_完整地址, Misc("/never"));
        Send();
        Sleep(500);
        if (closeButton) {
            Click(Control(功能_关闭软件));
        } else {
            BringToFront(window);
            PressKey(VK_ESCAPE);
        }
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 3000));
        EXPECT_EQ(WaitForExit(program, 15000), 0u);
        window = nullptr;
    }
}

TEST_F(SendActionTest, ClosingWhileALargeBodyIsShownEndsTheProgramCleanly) {
    Put(输入_完整地址, Misc("/lines/8000000"));
    Send();
    // The body box fills while the status line still shows the amount read.
    ASSERT_TRUE(WaitUntil([&] { return TextLength(显示_返回数据) > 0; }, 20000));
    BringToFront(window);
    PressKey(VK_ESCAPE);
    EXPECT_EQ(WaitForExit(program, 20000), 0u);
}

TEST_F(SendActionTest, DisplayBoxesTakeBodiesOfAnyLength) {
    for (int id : {显示_返回数据, 显示_返回协议, 显示_返回Cookies}) {
        DWORD_PTR limit = 0;
        SendMessageTimeoutA(Control(id), EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 5000, &limit);
        EXPECT_GE(limit, 0x7FFFFFFEu) << "box " << id;
    }
    Get(Misc("/lines/3000000"));
    EXPECT_EQ(TextLength(显示_返回数据), 3000000u) << Text(显示_返回协议);
    DWORD_PTR firstLine = 1;
    SendMessageTimeoutA(Control(显示_返回数据), EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_NORMAL, 5000, &firstLine);
    EXPECT_EQ(firstLine, 0u) << "the box shows the start of the body";
}

} // namespace
