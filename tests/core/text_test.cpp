// Text operations. Double-byte characters are written as GBK bytes: "\xB6\xC1" is one character, and
// a byte from 0x80 up always takes the byte after it along, whatever that byte is.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "core/text.h"

using namespace std::string_literals;

namespace {

struct CutCase {
    Text text;
    int start; // unused by TextLeft and TextRight
    int count;
    Text expected;
};

TEST(TextCuts, LeftCountsBytes) {
    const CutCase cases[] = {
        {"abcde", 0, -2, ""},
        {"abcde", 0, 0, ""},
        {"abcde", 0, 3, "abc"},
        {"abcde", 0, 100, "abcde"},
        {"abcde", 0, INT_MAX, "abcde"},
        {"abcde", 0, INT_MIN, ""},
        {"", 0, 3, ""},
        {"\xB6\xC1x", 0, 1, "\xB6"}, // cuts a character in two
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextLeft(c.text, c.count), c.expected) << c.text << " " << c.count;
}

TEST(TextCuts, RightCountsBytes) {
    const CutCase cases[] = {
        {"abcde", 0, -1, ""},           {"abcde", 0, 0, ""},
        {"abcde", 0, 2, "de"},          {"abcde", 0, 5, "abcde"},
        {"abcde", 0, INT_MAX, "abcde"}, {"", 0, 1, ""},
        {"x\xB6\xC1", 0, 1, "\xC1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextRight(c.text, c.count), c.expected) << c.text << " " << c.count;
}

TEST(TextCuts, MidTakesWhatIsThere) {
    const CutCase cases[] = {
        {"abc", 3, 5, "c"},
        {"abc", 4, 1, ""},
        {"abc", 0, 2, ""},
        {"abc", -7, 2, ""},
        {"abc", 1, 0, ""},
        {"abc", 2, -1, ""},
        {"abc", 2, 1, "b"},
        {"abc", 1, INT_MAX, "abc"},
        {"abc", INT_MAX, 1, ""},
        {"", 1, 1, ""},
        {"\xB6\xC1\xC8\xA1", 2, 2, "\xC1\xC8"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextMid(c.text, c.start, c.count), c.expected)
            << c.text << " " << c.start << " " << c.count;
}

TEST(TextCuts, DeleteKeepsTheRest) {
    const Text twenty = "abcdefghijklmnopqrst";
    const CutCase cases[] = {
        {twenty, 1, 12, "mnopqrst"},
        {twenty, 19, 5, "abcdefghijklmnopqr"},
        {twenty, 0, 2, "cdefghijklmnopqrst"}, // a start below 1 counts as 1
        {twenty, INT_MIN, 1, "bcdefghijklmnopqrst"},
        {twenty, 21, 3, twenty}, // beyond the end: nothing
        {twenty, INT_MAX, INT_MAX, twenty},
        {twenty, 5, 0, twenty},
        {twenty, 5, -3, twenty},
        {twenty, 5, INT_MAX, "abcd"},
        {twenty, 20, 1, "abcdefghijklmnopqrs"},
        {"", 1, 1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DeleteFromText(c.text, c.start, c.count), c.expected) << c.start << " " << c.count;
}

struct FindCase {
    Text text;
    Text what;
    int start;
    bool ignoreCase;
    int expected;
};

TEST(FindInText, FindsWholeCharactersOnly) {
    const FindCase cases[] = {
        {"ab:cd", ":", 1, false, 3},
        {"ab:cd", "/", 1, false, -1},
        {"ab:cd", "AB", 1, false, -1},
        {"ab:cd", "AB", 1, true, 1},
        {"ab:cd", ":", 4, false, -1},
        {"ab:cd", ":", 0, false, 3},
        {"ab:cd", ":", INT_MIN, false, 3},
        {"ab:cd", ":", INT_MAX, false, -1},
        {"ab:cd", "cd", 3, false, 4}, // counted from the start of the whole text
        {"ab:cd", "ab:cde", 1, false, -1},
        // The empty text is found at 1 in any text with something left to search.
        {"ab", "", 1, false, 1},
        {"ab", "", 2, false, 1},
        {"ab", "", 3, false, -1},
        {"", "", 1, false, -1},
        {"", "a", 1, false, -1},
        // The second byte of a character is never the start of a match.
        {"\xB6=", "=", 1, false, -1},
        {"\xB6\xB6=", "=", 1, false, 3},
        {"a\xB6\xB6\xB6=", "=", 1, false, -1},
        {"\xB0"
         "a\xB6=",
         "=", 1, false, -1}, // (B0 61)(B6 3D)
        {"\xB0"
         "a=",
         "=", 1, false, 3},
        {"\xB6==", "=", 1, false, 3},
        {"\xB6"
         "a",
         "a", 1, false, -1},
        {"\xB6"
         "A",
         "a", 1, true, -1},
        {"\xB6"
         "aaa",
         "aa", 1, false, 3}, // a rejected candidate overlaps the real match
        {"\xB6"
         "ab ab",
         "ab", 1, false, 5},
        {"\xB6\xC1"
         "x",
         "\xC1", 1, false, -1},
        {"\xB6\xC1\xC1\xB6", "\xC1\xB6", 1, false, 3},
        {"\xB6\xC1\xC1\xB6", "\xC1\xC1", 1, false, -1},
        {"\xB6\xC1\xC1\xB6", "\xC1\xC1", 2, false, 2}, // the walk starts wherever start points
        // A lead byte that is the last byte ends the walk.
        {"ab\xB6", "\xB6", 1, false, -1},
        {"ab\xB6", "b", 1, false, 2},
        {"\xB6\xB6\xB6", "\xB6", 1, false, 1},
        {"\xB6\xB6\xB6", "\xB6", 2, false, 2},
        {"\xB6\xB6\xB6", "\xB6", 3, false, -1},
        {"\xB6\xB6\xB6", "\xB6\xB6", 2, false, 2},
        // Repeating patterns, where a naive restart and a careless skip both go wrong.
        {"aaaab", "aaab", 1, false, 2},
        {"ababac", "abac", 1, false, 3},
        {"xAbAB", "abab", 1, true, 2},
        {"xAbAB", "abab", 1, false, -1},
        {"HTTP/1.1 200", "http/", 1, true, 1},
        {"a[b{c", "[B{", 1, true, 2}, // only ASCII letters change case
        {"a[b{c", "{B[", 1, true, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindInText(c.text, c.what, c.start, c.ignoreCase), c.expected)
            << "'" << c.text << "' '" << c.what << "' from " << c.start
            << (c.ignoreCase ? " ignoring case" : "");
}

TEST(FindInText, DefaultsToCaseSensitiveFromTheStart) {
    EXPECT_EQ(FindInText("xAb", "Ab"), 2);
    EXPECT_EQ(FindInText("xAb", "ab"), -1);
}

TEST(TextCase, ChangesAsciiLettersOfSingleByteCharactersOnly) {
    const struct {
        Text text, upper, lower;
    } cases[] = {
        {"get", "GET", "get"},
        {"Mixed 1-z", "MIXED 1-Z", "mixed 1-z"},
        {"\xB6"
         "a",
         "\xB6"
         "a",
         "\xB6"
         "a"}, // second byte with the value of a letter
        {"\x81"
         "Ab",
         "\x81"
         "AB",
         "\x81"
         "Ab"},
        {"a\xB6", "A\xB6", "a\xB6"}, // a lone lead byte at the end stays
        {"\xB6\xC1z", "\xB6\xC1Z", "\xB6\xC1z"},
        {"[@`{", "[@`{", "[@`{"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UpperCase(c.text), c.upper) << c.text;
        EXPECT_EQ(LowerCase(c.text), c.lower) << c.text;
    }
}

TEST(RemoveAllSpaces, DropsBlanksAndFullWidthSpacesOnly) {
    const struct {
        Text text, expected;
    } cases[] = {
        {" \xA1\xA1  \xA1\xA1", ""},
        {"a b\tc\r\n", "ab\tc\r\n"},
        {"\xB6  x", "\xB6 x"},            // the blank after a lead byte belongs to the character
        {"\xB0\xA1\xA1\xA1", "\xB0\xA1"}, // the pairs are (B0 A1)(A1 A1)
        {"ab\xB6", "ab"},                 // a lone lead byte at the end is dropped
        {"\xA1\xA1\xA1", ""},
        {"\xA1\xA2", "\xA1\xA2"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemoveAllSpaces(c.text), c.expected) << c.text;
}

TEST(SplitText, CutsAtWholeCharacterDelimiters) {
    using Pieces = std::vector<Text>;
    const struct {
        Text text, delimiter;
        Pieces expected;
    } cases[] = {
        {"a=b", "=", {"a", "b"}},
        {"a=", "=", {"a"}},
        {"=b", "=", {"", "b"}},
        {"a==b", "=", {"a", "", "b"}},
        {"==", "=", {"", ""}},
        {"ab", "=", {"ab"}},
        {"", "=", {}},
        {"", "", {}},
        {"a=b", "", {"a=b"}},
        {"\xB6=a=b", "=", {"\xB6=a", "b"}},
        {"a; b; c", "; ", {"a", "b", "c"}},
        {"k1\r\nk2\r\n", "\r\n", {"k1", "k2"}},
        {"aaa", "aa", {"", "a"}},
        {"a", "abc", {"a"}},
        {"a\xB6", "\xB6", {"a\xB6"}}, // the walk ends at a lone lead byte at the end
        {"\xB6\xB6\xB6", "\xB6", {"", "", "\xB6"}},
        {"\xB6\xC1\xC1\xC1", "\xC1", {"\xB6\xC1", "\xC1"}}, // a delimiter at byte 3, then a lone lead byte
        {"x\xB6", "x", {"", "\xB6"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitText(c.text, c.delimiter), c.expected) << c.text;
}

TEST(TextNumbers, IntegerReadsSignAndDigitsAndSaturates) {
    const struct {
        Text text;
        int expected;
    } cases[] = {
        {"20", 20},
        {" 20s", 20},
        {"abc", 0},
        {"", 0},
        {"\xA3\xB2\xA3\xB0", 20},         // full-width digits
        {"\xA1\xA1\xA3\xAD\xA3\xB5", -5}, // full-width space and minus
        {"\t\n\v\f\r+7", 7},
        {"12.7", 12},
        {"- 5", 0},
        {"\xB6\xC1"
         "5",
         0},
        {"0000000000000000000042", 42},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999999", INT_MIN},
        {"8080\xB6", 8080},
        {"8\xA3", 8}, // a lone lead byte at the end stops the number
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToInteger(c.text), c.expected) << c.text;
}

TEST(TextNumbers, NumberReadsTheUsualNotationWhateverTheLocale) {
    const double infinity = std::numeric_limits<double>::infinity();
    const struct {
        Text text;
        double expected;
    } cases[] = {
        {"8080.9", 8080.9},
        {" -1.5e3x", -1500},
        {"2E-2", 0.02},
        {"1e", 1},
        {"1e+", 1},
        {"1e-x", 1},
        {".5", 0.5},
        {"5.", 5},
        {"-.5", -0.5},
        {".", 0},
        {"e5", 0},
        {"+", 0},
        {"1,5", 1}, // a comma is never a decimal point
        {"0x10", 0},
        {"inf", 0},
        {"nan", 0},
        {"\xA3\xB8\xA3\xAE\xA3\xB5", 8.5},
        {"\xA1\xA1\xA3\xAB\xA3\xB3\xA3\xC5\xA3\xB2", 300}, // full-width +3E2
        {"1e400", infinity},
        {"-1e400", -infinity},
        {"1e-400", 0},
        {"0.0000e99999", 0},
        {"0.00000000000000000000001e400", infinity},
        {"12345678901234567890", 12345678901234567890.0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToNumber(c.text), c.expected) << c.text;
}

TEST(TextNumbers, IntegerToTextWritesPlainDecimals) {
    EXPECT_EQ(IntegerToText(-5), "-5");
    EXPECT_EQ(IntegerToText(0), "0");
    EXPECT_EQ(IntegerToText(1024), "1024");
    EXPECT_EQ(IntegerToText(INT_MIN), "-2147483648");
    EXPECT_EQ(IntegerToText(INT_MAX), "2147483647");
}

TEST(TextBasics, CompareIsUnsignedByteOrder) {
    const struct {
        Text a, b;
        int sign;
    } cases[] = {
        {"a", "b", -1},       {"b", "a", 1}, {"ab", "a", 1}, {"a", "ab", -1},  {"POST", "POST", 0},
        {"POST", "post", -1}, {"", "", 0},   {"", "a", -1},  {"\xB6", "a", 1}, {"a\x80", "a\x7F", 1},
    };
    for (const auto& c : cases) {
        int compared = CompareTexts(c.a, c.b);
        EXPECT_EQ((compared > 0) - (compared < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(TextBasics, BuildingTexts) {
    EXPECT_EQ(TextLength(""), 0);
    EXPECT_EQ(TextLength("\xB6\xC1"
                         "ab"),
              4);
    EXPECT_EQ(JoinTexts("a", "", "bc", Text("\xB6\xC1")), "abc\xB6\xC1");
    EXPECT_EQ(BlankText(3), "   ");
    EXPECT_EQ(BlankText(0), "");
    EXPECT_EQ(BlankText(INT_MIN), "");
    EXPECT_EQ(CharFromCode(0), "");
    EXPECT_EQ(CharFromCode(65), "A");
    EXPECT_EQ(CharFromCode(0xB6), "\xB6");
    EXPECT_EQ(CharFromCode(static_cast<char>('\xB6')), "\xB6"); // a signed char names the same byte
    EXPECT_EQ(CharFromCode(256), "");
    EXPECT_EQ(BytesToText({0x61, 0x62, 0x00, 0x63}), "ab");
    EXPECT_EQ(BytesToText({}), "");
    EXPECT_EQ(BytesToText({0xB6, 0xC1}), "\xB6\xC1");
    EXPECT_EQ(BytesToText({0x00, 0x61}), "");
}

struct LineCase {
    Text bytes;
    Text line;
    int usedUp;
};

TEST(TakeLine, TakesOneLineAndCountsWhatItUsesUp) {
    const LineCase cases[] = {
        {"a\r\nb", "a", 3},
        {"b", "b", 1},
        {"", "", 0},
        {"a\x1A"
         "b",
         "a", 1},
        {"\x1A"
         "b",
         "", 0},
        {"\0b"s, "", 0},
        {"a\0b"s, "a", 1},
        {"\nb", "", 1},
        {"\r", "", 1},
        {"a\r\r\n", "a\r", 4},
        {"a\rb\n", "a\rb", 4},
        {"\xB6\nx\ny", "\xB6\nx", 4}, // the line feed after a lead byte belongs to the character
        {"\xB6\x1A"
         "x",
         "\xB6\x1A"
         "x",
         3},
        {"ab\xB6", "ab\xB6", 3}, // a lone lead byte at the end is collected alone
        {"\xB6\0x"s, "\xB6", 1}, // a zero after a lead byte still ends the line, not used up
        {"\xB6\r\n", "\xB6", 3}, // the last collected byte is a carriage return
        {"\xB6\xC1\r\nz", "\xB6\xC1", 4},
    };
    for (const auto& c : cases) {
        int usedUp = -1;
        EXPECT_EQ(TakeLine(c.bytes, usedUp), c.line) << c.bytes;
        EXPECT_EQ(usedUp, c.usedUp) << c.bytes;
    }
}

// A reader takes lines one after another from the first byte not yet used up; it ends when a call uses
// up nothing.
std::vector<Text> ReadAllLines(std::string_view bytes) {
    std::vector<Text> lines;
    std::size_t position = 0;
    for (;;) {
        int usedUp = 0;
        Text line = TakeLine(bytes.substr(position), usedUp);
        if (usedUp == 0) break;
        lines.push_back(line);
        position += static_cast<std::size_t>(usedUp);
    }
    return lines;
}

TEST(TakeLine, AReaderEndsAtTheEndOrAtAZeroOrByte26) {
    using Lines = std::vector<Text>;
    EXPECT_EQ(ReadAllLines("HTTP/1.1 200 OK\r\nA: 1\r\n\r\nbody"),
              (Lines{"HTTP/1.1 200 OK", "A: 1", "", "body"}));
    EXPECT_EQ(ReadAllLines("a\n\nb\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(ReadAllLines("a\nb\x1A"
                           "c\nd"),
              (Lines{"a", "b"}));
    EXPECT_EQ(ReadAllLines("a\n\xB6\0c"s), (Lines{"a", "\xB6"}));
    EXPECT_EQ(ReadAllLines("\xB6\xB6\xB6"), (Lines{"\xB6\xB6\xB6"}));
    EXPECT_EQ(ReadAllLines(""), Lines{});
}

} // namespace
