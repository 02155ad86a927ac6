// Conversions between the system's ANSI code page, UTF-16 and UTF-8, through the platform's two
// code-page calls. UTF-16 travels in Bytes as little-endian 16-bit units.
#pragma once

#include "core/bytes.h"
#include "core/text.h"

// The UTF-16 units of the text, then one zero unit (the empty text gives two zero bytes).
Bytes AnsiToWide(const Text& text);

// The UTF-8 bytes of the text, then one zero byte ("abc" gives 61 62 63 00).
Bytes AnsiToUtf8(const Text& text);

// The UTF-8 body as a text in the system code page. A body whose last byte is below 127 (or an empty
// body) gets one zero byte appended, in the caller's value. The text ends before the first zero byte.
Text Utf8ToAnsi(Bytes& body);

// The units before the first zero unit (all of them when there is none) in the system code page; an odd
// last byte is no unit and is ignored.
Text WideToAnsi(const Bytes& units);
