#include "encoding/code_page.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win_api.h"

namespace {

using namespace std::string_literals;

// The text in the system code page (936 here), as the program would hold it.
Text Ansi(const std::wstring& wide) {
    int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                   nullptr);
    Text text(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                        nullptr);
    return text;
}

Bytes Raw(const std::string& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

Bytes Units(const std::u16string& units, bool withZero) {
    Bytes bytes;
    for (char16_t unit : units) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    if (withZero) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

const std::wstring Chinese = L"读取完毕，中文测试：你好世界";
const std::string ChineseUtf8 =
    "\xE8\xAF\xBB\xE5\x8F\x96\xE5\xAE\x8C\xE6\xAF\x95\xEF\xBC\x8C\xE4\xB8\xAD\xE6\x96\x87"
    "\xE6\xB5\x8B\xE8\xAF\x95\xEF\xBC\x9A\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C";

TEST(CodePage, SystemCodePageIsChinese) {
    ASSERT_EQ(GetACP(), 936u);
    EXPECT_EQ(Ansi(L"读取完毕"), "\xB6\xC1\xC8\xA1\xCD\xEA\xB1\xCF");
}

TEST(CodePage, AnsiToWideEndsWithOneZeroUnit) {
    EXPECT_EQ(AnsiToWide(""), (Bytes{0, 0}));
    EXPECT_EQ(AnsiToWide("abc"), Units(u"abc", true));
    EXPECT_EQ(AnsiToWide(Ansi(Chinese)), Units(u"读取完毕，中文测试：你好世界", true));
    // A lone lead byte at the end: the platform decides what it becomes, the result stays terminated.
    Bytes lone = AnsiToWide("a\xB6");
    ASSERT_GE(lone.size(), 4u);
    EXPECT_EQ(lone.size() % 2, 0u);
    EXPECT_EQ(lone[0], 'a');
    EXPECT_EQ(lone[lone.size() - 1] | lone[lone.size() - 2], 0);
}

TEST(CodePage, AnsiToUtf8EndsWithOneZeroByte) {
    EXPECT_EQ(AnsiToUtf8(""), (Bytes{0}));
    EXPECT_EQ(AnsiToUtf8("abc"), (Bytes{'a', 'b', 'c', 0}));
    EXPECT_EQ(AnsiToUtf8(Ansi(Chinese)), Raw(ChineseUtf8 + "\0"s));
    EXPECT_EQ(AnsiToUtf8(Ansi(L"a读=b")), Raw("a\xE8\xAF\xBB=b\0"s));
}

TEST(CodePage, Utf8ToAnsiAppendsAZeroByteOnlyAfterALastByteBelow127) {
    struct Case {
        const char* what;
        std::string body;
        Text text;
        bool zeroAppended;
    };
    const Case cases[] = {
        {"empty", "", "", true},
        {"ascii", "abc", "abc", true},
        {"ends with 126", "ab~", "ab~", true},
        {"ends with 127", "ab\x7F", "ab\x7F", false},
        {"ends with a multi-byte character", ChineseUtf8, Ansi(Chinese), false},
        {"Chinese then ascii", ChineseUtf8 + "ok", Ansi(Chinese) + "ok", true},
        {"zero byte inside", "ab\0cd"s, "ab", true},
        {"already ends with a zero byte", "ab\0"s, "ab", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes body = Raw(c.body);
        EXPECT_EQ(Utf8ToAnsi(body), c.text);
        Bytes expected = Raw(c.body);
        if (c.zeroAppended) expected.push_back(0);
        EXPECT_EQ(body, expected);
    }
}

TEST(CodePage, MalformedUtf8NeitherStopsNorSpillsTheConversion) {
    const std::string bodies[] = {
        "a\xFF"
        "b", // a byte that never occurs in UTF-8
        "a\x80\x80"
        "b", // continuation bytes without a lead
        "a\xE8\xAF"
        "b", // a character cut short inside the text
        "a\xC0\xAF"
        "b", // an overlong form
        "a\xED\xA0\x80"
        "b",          // an encoded surrogate
        "ab\xE8\xAF", // a character cut short at the end (no zero byte appended)
        "ab\xE8",
    };
    for (const std::string& raw : bodies) {
        SCOPED_TRACE(raw);
        Bytes body = Raw(raw);
        Text text = Utf8ToAnsi(body);
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ(text[0], 'a');
        EXPECT_NE(text.find('b'), Text::npos);
        EXPECT_EQ(text.find('\0'), Text::npos);
    }
    Bytes mixed = Raw("\xFF" + ChineseUtf8 + "\xFF");
    Text text = Utf8ToAnsi(mixed);
    EXPECT_NE(text.find(Ansi(Chinese)), Text::npos); // valid characters after a bad byte survive
}

TEST(CodePage, WideToAnsiStopsAtTheFirstZeroUnitOrTheEnd) {
    EXPECT_EQ(WideToAnsi(Bytes()), "");
    EXPECT_EQ(WideToAnsi(Bytes{0, 0}), "");
    EXPECT_EQ(WideToAnsi(Units(u"abc", true)), "abc");
    EXPECT_EQ(WideToAnsi(Units(u"abc", false)), "abc");
    EXPECT_EQ(WideToAnsi(Units(u"ab\0cd"s, false)), "ab");
    EXPECT_EQ(WideToAnsi(Units(u"读取完毕，中文测试：你好世界", false)), Ansi(Chinese));
    EXPECT_EQ(WideToAnsi(Bytes{'a', 0, 'b'}), "a");        // an odd last byte is no unit
    EXPECT_EQ(WideToAnsi(Units(u"\u0E01", false)), "?");   // not in code page 936: its default character
    EXPECT_EQ(WideToAnsi(Units(u"\xD800x", false)), "?x"); // a lone surrogate
}

TEST(CodePage, ChineseTextSurvivesTheRoundTrip) {
    std::wstring longText;
    for (int i = 0; i < 2000; ++i)
        longText += Chinese + L"abc" + std::to_wstring(i);
    Text ansi = Ansi(longText);
    Bytes utf8 = AnsiToUtf8(ansi);
    ASSERT_FALSE(utf8.empty());
    utf8.pop_back(); // the closing zero byte, as the send action drops it
    EXPECT_EQ(Utf8ToAnsi(utf8), ansi);
    EXPECT_EQ(WideToAnsi(AnsiToWide(ansi)), ansi);
}

// A system code page that needs three bytes for one unit (UTF-8 standing in for it) still gets the whole
// text: the output is sized by asking first, not from the input's byte length.
int WINAPI WideToUtf8AsSystem(UINT codePage, DWORD flags, LPCWCH source, int sourceUnits, LPSTR target,
                              int targetBytes, LPCCH defaultChar, LPBOOL usedDefault) {
    return WideCharToMultiByte(codePage == CP_ACP ? CP_UTF8 : codePage, flags, source, sourceUnits, target,
                               targetBytes, defaultChar, usedDefault);
}

TEST(CodePage, WideToAnsiFitsCodePagesOfMoreThanTwoBytesPerUnit) {
    sys::Fakes().WideCharToMultiByte = WideToUtf8AsSystem;
    Text text = WideToAnsi(Units(u"读取完毕，中文测试：你好世界", true));
    sys::Fakes().WideCharToMultiByte = nullptr;
    EXPECT_EQ(text, ChineseUtf8);
}

} // namespace
