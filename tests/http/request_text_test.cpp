#include "http/request_text.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

const Text DefaultAccept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                           "application/x-shockwave-flash, application/vnd.ms-excel, "
                           "application/vnd.ms-powerpoint, application/msword, */*\r\n";
const Text Url = "http://ab.cd/x?y=1";
const Text DefaultReferer = "Referer: http://ab.cd/x?y=1\r\n";
const Text DefaultLanguage = "Accept-Language: zh-cn\r\n";
const Text DefaultContentType = "Content-Type: application/x-www-form-urlencoded\r\n";

struct ComposeCase {
    const char* what;
    Text extraHeaders;
    bool isPost;
    Text postData;
    Text cookies;
    Text expected;
};

TEST(ComposeRequestHeaders, AppendsTheDefaultLinesTheTextLacks) {
    const ComposeCase cases[] = {
        {"plain GET", "", false, "", "", DefaultAccept + DefaultReferer + DefaultLanguage},
        {"a GET ignores post data", "", false, "abc", "", DefaultAccept + DefaultReferer + DefaultLanguage},
        {"user lines come first, unchanged", "X-A: 1\r\n", false, "", "",
         "X-A: 1\r\n" + DefaultAccept + DefaultReferer + DefaultLanguage},
        {"an Accept line in lower case suppresses only the default Accept", "accept: text/html\r\n", false,
         "", "", "accept: text/html\r\n" + DefaultReferer + DefaultLanguage},
        {"names match in any case", "REFERER: r\r\nACCEPT-language: en\r\n", false, "", "",
         "REFERER: r\r\nACCEPT-language: en\r\n" + DefaultAccept},
        {"the search looks anywhere, inside other names too", "X-Accept: 1\r\n", false, "", "",
         "X-Accept: 1\r\n" + DefaultReferer + DefaultLanguage},
        {"Accept-Language does not count as Accept", "Accept-Language: en\r\n", false, "", "",
         "Accept-Language: en\r\n" + DefaultAccept + DefaultReferer},
        {"a name without its blank does not count", "Accept:text\r\n", false, "", "",
         "Accept:text\r\n" + DefaultAccept + DefaultReferer + DefaultLanguage},
        {"a user line without CR LF runs into the first default line", "X-A: 1", false, "", "",
         "X-A: 1" + DefaultAccept + DefaultReferer + DefaultLanguage},
        {"an empty value still counts as present", "Referer: \r\n", false, "", "",
         "Referer: \r\n" + DefaultAccept + DefaultLanguage},
        {"byte 26 and GBK bytes in user lines pass through", "X-A: \x1a\xD6\xD0\r\n", false, "", "",
         "X-A: \x1a\xD6\xD0\r\n" + DefaultAccept + DefaultReferer + DefaultLanguage},
        // The second byte of a two-byte character never begins a match.
        {"a name hidden behind a lead byte does not count",
         "\xB0"
         "Accept: 1\r\n",
         false, "", "",
         "\xB0"
         "Accept: 1\r\n" +
             DefaultAccept + DefaultReferer + DefaultLanguage},
        {"POST with data", "", true, "a=1&b", "",
         DefaultAccept + DefaultReferer + DefaultLanguage + DefaultContentType + "Content-Length: 5\r\n"},
        {"POST length counts bytes", "", true, "\xD6\xD0\xCE\xC4", "",
         DefaultAccept + DefaultReferer + DefaultLanguage + DefaultContentType + "Content-Length: 4\r\n"},
        {"POST keeps the user's Content-Type", "content-type: text/plain\r\n", true, "abc", "",
         "content-type: text/plain\r\n" + DefaultAccept + DefaultReferer + DefaultLanguage +
             "Content-Length: 3\r\n"},
        {"POST adds the true length beside the user's own", "Content-Length: 99\r\n", true, "abc", "",
         "Content-Length: 99\r\n" + DefaultAccept + DefaultReferer + DefaultLanguage + DefaultContentType +
             "Content-Length: 3\r\n"},
        {"POST without data gets neither line", "", true, "", "",
         DefaultAccept + DefaultReferer + DefaultLanguage},
        {"cookies end the text with an empty line", "", false, "", "a=1; b=2",
         DefaultAccept + DefaultReferer + DefaultLanguage + "Cookie: a=1; b=2\r\n\r\n"},
        {"cookies on a POST come after the length", "", true, "x", "a=1",
         DefaultAccept + DefaultReferer + DefaultLanguage + DefaultContentType + "Content-Length: 1\r\n" +
             "Cookie: a=1\r\n\r\n"},
        {"a user Cookie line does not stop the cookie line", "Cookie: z=9\r\n", false, "", "a=1",
         "Cookie: z=9\r\n" + DefaultAccept + DefaultReferer + DefaultLanguage + "Cookie: a=1\r\n\r\n"},
    };
    for (const ComposeCase& c : cases)
        EXPECT_EQ(ComposeRequestHeaders(c.extraHeaders, Url, c.isPost, c.postData, c.cookies), c.expected)
            << c.what;
}

TEST(ComposeRequestHeaders, RefererCarriesTheUrlAsTyped) {
    EXPECT_EQ(ComposeRequestHeaders("", "HTTPS://Ab.Cd/\xD6\xD0?q= 1", false, "", ""),
              DefaultAccept + "Referer: HTTPS://Ab.Cd/\xD6\xD0?q= 1\r\n" + DefaultLanguage);
}

using Stored = std::tuple<Text, Text, Text>;

struct CookieCase {
    const char* what;
    Text rawHeaders;
    Text expected;
    std::vector<Stored> stored; // with doNotKeepCookies false
};

TEST(CollectCookieString, CollectsPairsAndStoresEveryCookieLine) {
    const Text u = "http://ab.cd";
    const CookieCase cases[] = {
        {"no Set-Cookie at all", "HTTP/1.1 200 OK\r\nX-A: 1\r\n\r\n", "", {}},
        {"1024 blanks", Text(1024, ' '), "", {}},
        {"an empty value is stored but not listed",
         "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=; path=/\r\nSet-Cookie: c=3; "
         "HttpOnly\r\n\r\n",
         "a=1; c=3",
         {{u, "a", "1; path=/"}, {u, "b", "; path=/"}, {u, "c", "3; HttpOnly"}}},
        {"a cookie without attributes is listed like the others",
         "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: id=7\r\nSet-Cookie: c=3; "
         "HttpOnly\r\n\r\n",
         "a=1; id=7; c=3",
         {{u, "a", "1; path=/"}, {u, "id", "7"}, {u, "c", "3; HttpOnly"}}},
        {"a cookie without attributes and without value is not listed",
         "Set-Cookie: id=\r\nSet-Cookie: b=2;\r\n",
         "b=2",
         {{u, "id", ""}, {u, "b", "2;"}}},
        {"a pair without = adds nothing; storing splits at the first = anywhere",
         "Set-Cookie: flag\r\nSet-Cookie: flag; a=1\r\nSet-Cookie: b=2; x\r\n",
         "b=2",
         {{u, "", "flag"}, {u, "flag; a", "1"}, {u, "b", "2; x"}}},
        {"the name is matched in any case",
         "set-cookie: a=1; x\r\nSET-COOKIE: b=2\r\n",
         "a=1; b=2",
         {{u, "a", "1; x"}, {u, "b", "2"}}},
        {"a name without its blank is no cookie line",
         "Set-Cookie:a=1\r\nSet-Cookie: b=2\r\n",
         "b=2",
         {{u, "b", "2"}}},
        {"lines may end in LF alone; the last needs no line end",
         "Set-Cookie: a=1\nSet-Cookie: b=2; x",
         "a=1; b=2",
         {{u, "a", "1"}, {u, "b", "2; x"}}},
        {"a byte 26 ends the header text",
         "Set-Cookie: a=1;\r\n\x1aSet-Cookie: b=2;\r\nSet-Cookie: c=3;\r\n",
         "a=1",
         {{u, "a", "1;"}}},
        {"a byte 26 inside a line ends it there",
         "Set-Cookie: a=1\x1a; path=/\r\nSet-Cookie: b=2;\r\n",
         "a=1",
         {{u, "a", "1"}}},
        {"a value holding = keeps it", "Set-Cookie: t=a=b; path=/\r\n", "t=a=b", {{u, "t", "a=b; path=/"}}},
        {"a value of = alone counts as a value",
         "Set-Cookie: t==; path=/\r\n",
         "t==",
         {{u, "t", "=; path=/"}}},
        {"an empty name with a value is listed", "Set-Cookie: =v; path=/\r\n", "=v", {{u, "", "v; path=/"}}},
        {"GBK bytes stay whole",
         "Set-Cookie: n=\xD6\xD0; path=/\r\n",
         "n=\xD6\xD0",
         {{u, "n", "\xD6\xD0; path=/"}}},
        // A ";" that is the second byte of a two-byte character does not end the pair.
        {"a ; behind a lead byte is part of the value",
         "Set-Cookie: a=\xB0;x; path=/\r\n",
         "a=\xB0;x",
         {{u, "a", "\xB0;x; path=/"}}},
        {"the first 12 characters go wherever the name stood",
         "X-Set-Cookie: a=1; x\r\n",
         ": a=1",
         {{u, ": a", "1; x"}}},
        {"an empty Set-Cookie line adds nothing",
         "Set-Cookie: \r\nSet-Cookie: a=1\r\n",
         "a=1",
         {{u, "", ""}, {u, "a", "1"}}},
    };
    for (const CookieCase& c : cases) {
        std::vector<Stored> stored;
        CookieStore store = [&](const Text& url, const Text& name, const Text& data) {
            stored.emplace_back(url, name, data);
        };
        EXPECT_EQ(CollectCookieString(c.rawHeaders, "ab.cd", false, store), c.expected) << c.what;
        EXPECT_EQ(stored, c.stored) << c.what;

        stored.clear();
        EXPECT_EQ(CollectCookieString(c.rawHeaders, "ab.cd", true, store), c.expected) << c.what;
        EXPECT_TRUE(stored.empty()) << c.what << ": doNotKeepCookies stores nothing";
    }
}

TEST(CollectCookieString, StoresUnderHttpAndTheHostWithoutAStoreToo) {
    std::vector<Stored> stored;
    CookieStore store = [&](const Text& url, const Text& name, const Text& data) {
        stored.emplace_back(url, name, data);
    };
    EXPECT_EQ(CollectCookieString("Set-Cookie: s=1; secure\r\n", "secure.example", false, store), "s=1");
    EXPECT_EQ(stored, (std::vector<Stored>{{"http://secure.example", "s", "1; secure"}}));
    EXPECT_EQ(CollectCookieString("Set-Cookie: s=1; secure\r\n", "secure.example", false, CookieStore()),
              "s=1");
}

TEST(CollectCookieString, ManyLinesStayInOrder) {
    Text raw = "HTTP/1.1 200 OK\r\n";
    Text expected;
    for (int i = 0; i < 2000; ++i) {
        raw += "Set-Cookie: k" + std::to_string(i) + "=" + std::to_string(i) + "; path=/\r\n";
        expected += (i ? "; k" : "k") + std::to_string(i) + "=" + std::to_string(i);
    }
    EXPECT_EQ(CollectCookieString(raw + "\r\n", "h", true, CookieStore()), expected);
}

} // namespace
