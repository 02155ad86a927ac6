#include "encoding/code_page.h"

#include <climits>
#include <cstring>

#include "platform/win_api.h"

namespace {

constexpr UINT SystemCodePage = 0; // CP_ACP
constexpr UINT Utf8CodePage = 65001;

// The platform counts in int; longer inputs are converted as far as an int reaches.
int CountForPlatform(std::size_t count) {
    return count > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

// The UTF-16 units of count bytes in the given code page, with room for zeroUnits zero units after them.
Bytes BytesToUnits(UINT codePage, const void* source, std::size_t count, std::size_t zeroUnits) {
    const char* from = static_cast<const char*>(source);
    int sourceCount = CountForPlatform(count);
    int units = sourceCount ? sys::MultiByteToWideChar(codePage, 0, from, sourceCount, nullptr, 0) : 0;
    if (units < 0) units = 0;
    Bytes buffer((static_cast<std::size_t>(units) + zeroUnits) * 2, 0);
    if (units > 0) {
        // Units beyond the size asked for never fit: the capacity is exactly that size.
        sys::MultiByteToWideChar(codePage, 0, from, sourceCount, reinterpret_cast<LPWSTR>(buffer.data()),
                                 units);
    }
    return buffer;
}

// The bytes that unitCount UTF-16 units give in the code page; the size is asked first, so code pages of
// any width fit.
Bytes UnitsToBytes(UINT codePage, const std::uint8_t* units, std::size_t unitCount) {
    auto source = reinterpret_cast<LPCWCH>(units);
    int sourceCount = CountForPlatform(unitCount);
    int size = sourceCount
                   ? sys::WideCharToMultiByte(codePage, 0, source, sourceCount, nullptr, 0, nullptr, nullptr)
                   : 0;
    if (size <= 0) return {};
    Bytes buffer(static_cast<std::size_t>(size), 0);
    int written = sys::WideCharToMultiByte(codePage, 0, source, sourceCount,
                                           reinterpret_cast<LPSTR>(buffer.data()), size, nullptr, nullptr);
    buffer.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return buffer;
}

} // namespace

Bytes AnsiToWide(const Text& text) {
    return BytesToUnits(SystemCodePage, text.data(), text.size(), 1);
}

Bytes AnsiToUtf8(const Text& text) {
    Bytes wide = AnsiToWide(text);
    // All units, the closing zero unit included: the result ends with its zero byte.
    Bytes utf8 = UnitsToBytes(Utf8CodePage, wide.data(), wide.size() / 2);
    const void* zero = std::memchr(utf8.data(), 0, utf8.size());
    if (!zero) return {};
    utf8.resize(static_cast<const std::uint8_t*>(zero) - utf8.data() + 1);
    return utf8;
}

Text Utf8ToAnsi(Bytes& body) {
    int last = body.empty() ? 0 : body.back();
    if (last < 127) body.push_back(0);
    Bytes units = BytesToUnits(Utf8CodePage, body.data(), body.size(), 0);
    return WideToAnsi(units);
}

Text WideToAnsi(const Bytes& units) {
    std::size_t count = 0;
    std::size_t available = units.size() / 2;
    while (count < available && (units[2 * count] | units[2 * count + 1]) != 0)
        ++count;
    Bytes converted = UnitsToBytes(SystemCodePage, units.data(), count);
    return Text(converted.begin(), converted.end());
}
