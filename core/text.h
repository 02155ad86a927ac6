// Texts: bytes in the system's ANSI code page (936 in practice), holding no zero byte. Values, never
// shared. Positions are 1-based byte positions; a search that finds nothing gives -1; counts and
// positions out of range give empty results, never errors.
//
// A byte from 0x80 to 0xFF begins a two-byte character together with the byte after it. Operations that
// walk a text (FindInText, SplitText, UpperCase, LowerCase, RemoveAllSpaces, TakeLine) keep such a pair
// whole; operations that count (lengths, TextLeft, TextRight, TextMid, DeleteFromText) count bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"

using Text = std::string;

int TextLength(const Text& text);

// The texts one after another, in argument order.
template <class... More> Text JoinTexts(const Text& first, const Text& second, const More&... more) {
    Text joined;
    joined.reserve(first.size() + second.size() + (std::size_t{0} + ... + std::string_view(more).size()));
    joined.append(first).append(second);
    (joined.append(std::string_view(more)), ...);
    return joined;
}

// Negative, zero or positive: byte-by-byte unsigned comparison, a text that ends first sorting first.
int CompareTexts(const Text& a, const Text& b);

Text TextLeft(const Text& text, int n);
Text TextRight(const Text& text, int n);
Text TextMid(const Text& text, int start, int n);

// Position of the first occurrence of what from start on (below 1 counts as 1), counted from the start of
// the whole text; -1 when there is none. ignoreCase matches ASCII letters of either case.
int FindInText(const Text& text, const Text& what, int start = 1, bool ignoreCase = false);

Text DeleteFromText(const Text& text, int start, int n);
Text UpperCase(const Text& text);
Text LowerCase(const Text& text);

// Drops every blank (0x20) and full-width space (0xA1 0xA1).
Text RemoveAllSpaces(const Text& text);

// The pieces between delimiters; no pieces for an empty text, the whole text for an empty delimiter;
// a trailing empty piece is not listed.
std::vector<Text> SplitText(const Text& text, const Text& delimiter);

Text BlankText(int n);

// The text of the one byte code & 0xFF (so a char of either signedness gives its byte); empty for 0.
Text CharFromCode(int code);

// Leading number of the text (full-width digits and signs count, leading white space skipped); 0 when
// there is none. TextToInteger saturates at the int32 range.
double TextToNumber(const Text& text);
int TextToInteger(const Text& text);
Text IntegerToText(int value);

// The bytes up to, not including, the first zero byte.
Text BytesToText(const Bytes& bytes);

// The line at the start of bytes, and in usedUp the number of bytes it uses up (the line feed that ends
// it included; a zero byte or byte 26 that ends it is not used up). usedUp is 0 at the end of a text.
// A two-byte character keeps a line feed or byte 26 after its first byte; a zero byte there still ends
// the line, the first byte being collected alone.
Text TakeLine(std::string_view bytes, int& usedUp);
