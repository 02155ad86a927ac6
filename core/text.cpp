#include "core/text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/byte_search.h"

namespace {

bool IsLeadByte(unsigned char byte) {
    return byte >= 0x80;
}

// Sizes beyond the int range cannot be named by a position; they count as the largest one.
int ToCount(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

// The 0-based index of a 1-based position, positions below 1 counting as 1.
std::size_t IndexOf(int position) {
    return position < 1 ? 0 : static_cast<std::size_t>(position) - 1;
}

// The first place at or after from where what occurs and a character begins, the characters being
// walked from from on; npos when there is none. A lead byte that is the last byte of the text ends the
// walk, so nothing matches there.
std::size_t FindAtCharacter(std::string_view text, std::size_t from, std::string_view what,
                            const std::vector<std::size_t>& fallback, bool ignoreCase) {
    std::size_t walk = from; // a place where a character begins; no candidate lies before it
    return FindBytesFrom(text, from, what, fallback, ignoreCase, [&](std::size_t start) {
        if (walk < start) {
            // A byte below 0x80 is a character alone or the second byte of one: either way a character
            // begins right after it. From there to start every byte is a lead byte, so characters begin
            // at every second one. Each byte is looked at once, however many candidates there are.
            std::size_t run = start;
            while (run > walk && IsLeadByte(text[run - 1]))
                --run;
            walk = (start - run) % 2 == 0 ? start : start + 1;
        }
        return walk == start && !(IsLeadByte(text[start]) && start + 1 == text.size());
    });
}

// ASCII letters from..from+25 become letters of the other case; the second byte of a two-byte
// character is passed over even when it has the value of such a letter.
Text ChangeCase(const Text& text, char from, char to) {
    Text changed = text;
    for (std::size_t at = 0; at < changed.size(); ++at) {
        unsigned char byte = changed[at];
        if (IsLeadByte(byte))
            ++at;
        else if (byte >= static_cast<unsigned char>(from) && byte <= static_cast<unsigned char>(from + 25))
            changed[at] = static_cast<char>(byte - from + to);
    }
    return changed;
}

bool IsNumberSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The one-byte form of the two-byte character lead, trail, or 0 when it has none: the full-width
// forms of "!" to "~", the full-width space, tilde and the two star signs.
char OneByteForm(unsigned char lead, unsigned char trail) {
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) return static_cast<char>(trail - 0x80);
    if (lead == 0xA1 && trail == 0xA1) return ' ';
    if (lead == 0xA1 && trail == 0xAB) return '~';
    if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) return '*';
    return 0;
}

// The start of the text in one-byte forms, as far as it can hold white space and a number: the rest
// cannot change the number read, so it is neither converted nor copied.
std::string NumberPrefix(const Text& text) {
    static constexpr std::string_view numberCharacters = " \t\n\v\f\r+-.0123456789eE";
    std::string prefix;
    for (std::size_t at = 0; at < text.size();) {
        unsigned char byte = text[at];
        char c = static_cast<char>(byte);
        if (IsLeadByte(byte)) {
            if (at + 1 == text.size() || (c = OneByteForm(byte, text[at + 1])) == 0) break;
            at += 2;
        } else {
            ++at;
        }
        if (c == 0 || numberCharacters.find(c) == std::string_view::npos) break;
        prefix.push_back(c);
    }
    return prefix;
}

std::size_t SkipNumberSpace(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsNumberSpace(text[at]))
        ++at;
    return at;
}

std::size_t SkipDigits(std::string_view text, std::size_t at) {
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at;
}

// The value of a decimal number too large or too small for a double, from its digits: infinity when
// its first significant digit stands above the units, else zero.
double OutOfRangeValue(std::string_view number) {
    const std::size_t exponentAt = std::min(number.find_first_of("eE"), number.size());
    const std::size_t point = std::min(number.find('.'), exponentAt);
    const std::size_t firstSignificant = number.find_first_of("123456789");
    if (firstSignificant >= exponentAt) return 0;
    // Decimal exponent of the first significant digit; an exponent beyond any text's length is capped.
    long long magnitude = firstSignificant < point ? static_cast<long long>(point - firstSignificant - 1)
                                                   : -static_cast<long long>(firstSignificant - point);
    if (exponentAt < number.size()) {
        std::string_view exponent = number.substr(exponentAt + 1);
        bool negative = !exponent.empty() && exponent[0] == '-';
        long long value = 0;
        for (char c : exponent)
            if (IsDigit(c)) value = std::min(value * 10 + (c - '0'), 1000000000000LL);
        magnitude += negative ? -value : value;
    }
    return magnitude >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

} // namespace

int TextLength(const Text& text) {
    return ToCount(text.size());
}

int CompareTexts(const Text& a, const Text& b) {
    int compared = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (compared != 0) return compared < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

Text TextLeft(const Text& text, int n) {
    if (n <= 0) return Text();
    return text.substr(0, static_cast<std::size_t>(n));
}

Text TextRight(const Text& text, int n) {
    if (n <= 0) return Text();
    std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
    return text.substr(text.size() - count);
}

Text TextMid(const Text& text, int start, int n) {
    if (start < 1 || n <= 0 || static_cast<std::size_t>(start) > text.size()) return Text();
    return text.substr(IndexOf(start), static_cast<std::size_t>(n));
}

int FindInText(const Text& text, const Text& what, int start, bool ignoreCase) {
    std::size_t from = IndexOf(start);
    if (from >= text.size()) return -1;
    if (what.empty()) return 1;
    if (what.size() > text.size() - from) return -1;
    std::size_t found = FindAtCharacter(text, from, what, SearchFallbacks(what, ignoreCase), ignoreCase);
    return found == std::string_view::npos ? -1 : ToCount(found + 1);
}

Text DeleteFromText(const Text& text, int start, int n) {
    std::size_t from = IndexOf(start);
    if (n <= 0 || from >= text.size()) return text;
    std::size_t count = std::min(static_cast<std::size_t>(n), text.size() - from);
    Text rest;
    rest.reserve(text.size() - count);
    rest.append(text, 0, from).append(text, from + count);
    return rest;
}

Text UpperCase(const Text& text) {
    return ChangeCase(text, 'a', 'A');
}

Text LowerCase(const Text& text) {
    return ChangeCase(text, 'A', 'a');
}

Text RemoveAllSpaces(const Text& text) {
    Text kept;
    kept.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        unsigned char byte = text[at];
        if (!IsLeadByte(byte)) {
            if (byte != ' ') kept.push_back(static_cast<char>(byte));
            ++at;
            continue;
        }
        if (at + 1 == text.size()) break; // a lone lead byte at the end is dropped
        if (!(byte == 0xA1 && static_cast<unsigned char>(text[at + 1]) == 0xA1)) kept.append(text, at, 2);
        at += 2;
    }
    return kept;
}

std::vector<Text> SplitText(const Text& text, const Text& delimiter) {
    if (text.empty()) return {};
    if (delimiter.empty()) return {text};
    std::vector<Text> pieces;
    std::vector<std::size_t> fallback = SearchFallbacks(delimiter, false);
    std::size_t pieceStart = 0;
    for (;;) {
        std::size_t found = FindAtCharacter(text, pieceStart, delimiter, fallback, false);
        if (found == std::string_view::npos) break;
        pieces.emplace_back(text, pieceStart, found - pieceStart);
        pieceStart = found + delimiter.size();
    }
    if (pieceStart < text.size()) pieces.emplace_back(text, pieceStart);
    return pieces;
}

Text BlankText(int n) {
    return n <= 0 ? Text() : Text(static_cast<std::size_t>(n), ' ');
}

Text CharFromCode(int code) {
    char byte = static_cast<char>(code & 0xFF);
    return byte == 0 ? Text() : Text(1, byte);
}

double TextToNumber(const Text& text) {
    std::string prefix = NumberPrefix(text);
    std::string_view rest = std::string_view(prefix).substr(SkipNumberSpace(prefix));
    bool negative = !rest.empty() && rest[0] == '-';
    if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) rest.remove_prefix(1);

    // The longest start of rest in the usual notation: digits, a point, digits, an exponent.
    std::size_t end = SkipDigits(rest, 0);
    std::size_t digits = end;
    if (end < rest.size() && rest[end] == '.') {
        std::size_t fractionEnd = SkipDigits(rest, end + 1);
        digits += fractionEnd - end - 1;
        end = fractionEnd;
    }
    if (digits == 0) return 0.0;
    if (end < rest.size() && (rest[end] == 'e' || rest[end] == 'E')) {
        std::size_t exponentDigits = end + 1;
        if (exponentDigits < rest.size() && (rest[exponentDigits] == '-' || rest[exponentDigits] == '+'))
            ++exponentDigits;
        std::size_t exponentEnd = SkipDigits(rest, exponentDigits);
        if (exponentEnd > exponentDigits) end = exponentEnd;
    }
    std::string_view number = rest.substr(0, end);

    double value = 0.0;
    auto [last, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range)
        value = OutOfRangeValue(number);
    else if (error != std::errc() || last != number.data() + number.size())
        value = 0.0;
    return negative ? -value : value;
}

int TextToInteger(const Text& text) {
    std::string prefix = NumberPrefix(text);
    std::string_view rest = std::string_view(prefix).substr(SkipNumberSpace(prefix));
    bool negative = !rest.empty() && rest[0] == '-';
    if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) rest.remove_prefix(1);
    // Beyond the int range the value saturates at its nearest end.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (std::size_t at = 0; at < rest.size() && IsDigit(rest[at]); ++at)
        value = std::min(value * 10 + (rest[at] - '0'), limit);
    return static_cast<int>(negative ? -value : value);
}

Text IntegerToText(int value) {
    return std::to_string(value);
}

Text BytesToText(const Bytes& bytes) {
    auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return Text(bytes.begin(), end);
}

Text TakeLine(std::string_view bytes, int& usedUp) {
    // A line longer than the int range cannot report what it used up; it ends there.
    const std::size_t size = std::min<std::size_t>(bytes.size(), INT_MAX);
    std::size_t collected = 0;
    std::size_t lineFeed = 0;
    while (collected < size) {
        unsigned char byte = bytes[collected];
        if (byte == '\n') {
            lineFeed = 1;
            break;
        }
        if (byte == 0 || byte == 26) break;
        // A two-byte character is collected whole, unless its second byte is missing or a zero byte: then
        // the lead byte goes alone and the zero ends the line as anywhere else.
        collected += IsLeadByte(byte) && collected + 1 < size && bytes[collected + 1] != 0 ? 2 : 1;
    }
    usedUp = static_cast<int>(collected + lineFeed);
    std::size_t lineLength = collected;
    if (lineLength > 0 && bytes[lineLength - 1] == '\r') --lineLength;
    return Text(bytes.substr(0, lineLength));
}
