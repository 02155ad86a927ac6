// Every text and byte operation on texts, positions and counts made from the input, each result checked
// against what must hold for any input; searching and splitting also against a plain character walk.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/bytes.h"
#include "core/text.h"

namespace {

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// Mostly positions and counts near the text, sometimes far off either end.
int PickNumber(FuzzedDataProvider& input, int length) {
    switch (input.ConsumeIntegralInRange(0, 5)) {
    case 0:
        return INT_MIN;
    case 1:
        return INT_MAX;
    case 2:
        return input.ConsumeIntegral<int>();
    default:
        return input.ConsumeIntegralInRange(-3, length + 3);
    }
}

bool IsLead(char c) {
    return static_cast<unsigned char>(c) >= 0x80;
}
char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool MatchesAt(const Text& text, std::size_t at, const Text& what, bool ignoreCase) {
    if (what.size() > text.size() - at) return false;
    for (std::size_t i = 0; i < what.size(); ++i)
        if (ignoreCase ? Fold(text[at + i]) != Fold(what[i]) : text[at + i] != what[i]) return false;
    return true;
}

// The character walk from from on, comparing at every step: npos when it ends without a match.
std::size_t WalkToMatch(const Text& text, std::size_t from, const Text& what, bool ignoreCase) {
    for (std::size_t at = from; at < text.size() && text.size() - at >= what.size();) {
        if (IsLead(text[at]) && at + 1 == text.size()) break;
        if (MatchesAt(text, at, what, ignoreCase)) return at;
        at += IsLead(text[at]) ? 2 : 1;
    }
    return Text::npos;
}

void CheckCuts(FuzzedDataProvider& input, const Text& text) {
    const int length = TextLength(text);
    Check(length == static_cast<int>(text.size()), "TextLength");
    int start = PickNumber(input, length), count = PickNumber(input, length);
    const std::size_t wanted = count <= 0 ? 0 : std::min<std::size_t>(count, text.size());

    Text left = TextLeft(text, count), right = TextRight(text, count);
    Check(left.size() == wanted && text.compare(0, wanted, left) == 0, "TextLeft");
    Check(right.size() == wanted && text.compare(text.size() - wanted, wanted, right) == 0, "TextRight");

    Text mid = TextMid(text, start, count);
    if (start < 1 || start > length || count <= 0)
        Check(mid.empty(), "TextMid outside");
    else
        Check(mid == text.substr(start - 1, count), "TextMid");

    Text rest = DeleteFromText(text, start, count);
    std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (count <= 0 || from >= text.size())
        Check(rest == text, "DeleteFromText nothing");
    else
        Check(rest ==
                  text.substr(0, from) + text.substr(from + std::min<std::size_t>(count, text.size() - from)),
              "DeleteFromText");
}

void CheckSearch(FuzzedDataProvider& input, const Text& text, const Text& what) {
    const int start = PickNumber(input, TextLength(text));
    const bool ignoreCase = input.ConsumeBool();
    const int found = FindInText(text, what, start, ignoreCase);
    const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    int expected = -1;
    if (from < text.size()) {
        std::size_t at = what.empty() ? 0 : WalkToMatch(text, from, what, ignoreCase);
        expected = at == Text::npos ? -1 : static_cast<int>(at) + 1;
    }
    Check(found == expected, "FindInText");

    std::vector<Text> pieces = SplitText(text, what);
    std::vector<Text> walked;
    if (!text.empty() && what.empty()) walked.push_back(text);
    if (!text.empty() && !what.empty()) {
        std::size_t pieceStart = 0;
        for (std::size_t at; (at = WalkToMatch(text, pieceStart, what, false)) != Text::npos;) {
            walked.push_back(text.substr(pieceStart, at - pieceStart));
            pieceStart = at + what.size();
        }
        if (pieceStart < text.size()) walked.push_back(text.substr(pieceStart));
    }
    Check(pieces == walked, "SplitText");

    Bytes bytes(text.begin(), text.end()), pattern(what.begin(), what.end());
    int inBytes = FindInBytes(bytes, pattern, start);
    auto at = std::search(bytes.begin() + std::min(from, bytes.size()), bytes.end(), pattern.begin(),
                          pattern.end());
    Check(inBytes == (pattern.empty() || at == bytes.end() ? -1 : static_cast<int>(at - bytes.begin()) + 1),
          "FindInBytes");
}

void CheckCharacterWork(const Text& text) {
    Text upper = UpperCase(text), lower = LowerCase(text);
    Check(upper.size() == text.size() && lower.size() == text.size(), "case length");
    for (std::size_t i = 0; i < text.size(); ++i) {
        Check(Fold(upper[i]) == Fold(text[i]) && Fold(lower[i]) == Fold(text[i]),
              "case changes letters only");
        if (IsLead(text[i]) && i + 1 < text.size()) {
            ++i; // the second byte of a character is never changed
            Check(upper[i] == text[i] && lower[i] == text[i], "case keeps second bytes");
            continue;
        }
        Check(!(upper[i] >= 'a' && upper[i] <= 'z') || upper[i] == text[i], "UpperCase");
        Check(!(lower[i] >= 'A' && lower[i] <= 'Z') || lower[i] == text[i], "LowerCase");
    }
    Check(UpperCase(upper) == upper && LowerCase(lower) == lower, "case twice");

    Text kept = RemoveAllSpaces(text);
    Check(kept.size() <= text.size() && RemoveAllSpaces(kept) == kept, "RemoveAllSpaces");

    // A reader taking every line ends, having used up no more than there is.
    std::string_view rest = text;
    for (;;) {
        int usedUp = -1;
        Text line = TakeLine(rest, usedUp);
        Check(usedUp >= 0 && static_cast<std::size_t>(usedUp) <= rest.size(), "TakeLine usedUp in range");
        Check(usedUp > 0 || rest.empty() || rest[0] == 0 || rest[0] == 26, "TakeLine moves on");
        Check(line.size() <= static_cast<std::size_t>(usedUp) && rest.substr(0, line.size()) == line,
              "TakeLine line is the start");
        if (usedUp == 0) break;
        rest.remove_prefix(static_cast<std::size_t>(usedUp));
    }
}

void CheckNumbers(FuzzedDataProvider& input, const Text& text) {
    double number = TextToNumber(text);
    int integer = TextToInteger(text);
    Check(!std::isnan(number), "TextToNumber is a number");
    // Whatever the integer reading gives is a plain decimal that reads back the same.
    Check(TextToInteger(IntegerToText(integer)) == integer, "IntegerToText round trip");
    int value = input.ConsumeIntegral<int>();
    Check(TextToInteger(IntegerToText(value)) == value && TextToNumber(IntegerToText(value)) == value,
          "number round trip");
    double real = input.ConsumeBool() ? number : input.ConsumeFloatingPoint<double>();
    int truncated = RealToInteger(real);
    if (std::isnan(real))
        Check(truncated == 0, "RealToInteger of NaN");
    else if (real > INT_MIN - 1.0 && real < INT_MAX + 1.0)
        Check(truncated == static_cast<int>(std::trunc(real)), "RealToInteger truncates toward zero");
    else
        Check(truncated == (real < 0 ? INT_MIN : INT_MAX), "RealToInteger saturates");
}

void CheckBuilding(FuzzedDataProvider& input, const Text& a, const Text& b) {
    int ab = CompareTexts(a, b), ba = CompareTexts(b, a);
    Check((ab < 0) == (ba > 0) && (ab == 0) == (a == b) && CompareTexts(a, a) == 0, "CompareTexts");
    Check(JoinTexts(a, b, a) == a + b + a, "JoinTexts");

    // Counts stay modest: a text of INT_MAX blanks is a real 2 GB text.
    int count = PickNumber(input, 64) % 4096;
    Check(BlankText(count) == Text(std::max(count, 0), ' '), "BlankText");
    Check(BlankBytes(count) == Bytes(std::max(count, 0), 0), "BlankBytes");
    Text one = CharFromCode(input.ConsumeIntegral<int>());
    Check(one.size() <= 1 && (one.empty() || one[0] != 0), "CharFromCode");

    Bytes bytes(a.begin(), a.end());
    Text fromBytes = BytesToText(bytes);
    Check(fromBytes.find('\0') == Text::npos && a.compare(0, fromBytes.size(), fromBytes) == 0,
          "BytesToText");
    int n = PickNumber(input, BytesLength(bytes));
    Check(BytesLeft(bytes, n).size() == BytesRight(bytes, n).size(), "BytesLeft and BytesRight");
    int position = PickNumber(input, BytesLength(bytes));
    std::int64_t wide = ReadValueFromBytes<std::int64_t>(bytes, position);
    std::uint8_t first = ReadValueFromBytes<std::uint8_t>(bytes, position);
    Check(static_cast<std::uint8_t>(wide & 0xFF) == first, "ReadValueFromBytes");
    (void)ReadValueFromBytes<double>(bytes, position);
    (void)ReadValueFromBytes<float>(bytes, position);
    (void)ReadValueFromBytes<std::int16_t>(bytes, position);
    Check(BitwiseOr(ab, ba, count) == (ab | ba | count), "BitwiseOr");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Text what = input.ConsumeRandomLengthString(16);
    Text text = input.ConsumeRandomLengthString(4096);
    CheckCuts(input, text);
    CheckSearch(input, text, what);
    CheckCharacterWork(text);
    CheckNumbers(input, text);
    CheckBuilding(input, text, what);
    return 0;
}
