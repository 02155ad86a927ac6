#include "core/bytes.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string_view>

#include "core/byte_search.h"

namespace {

std::string_view AsView(const Bytes& bytes) {
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace

int BytesLength(const Bytes& bytes) {
    return static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
}

Bytes BytesLeft(const Bytes& bytes, int n) {
    if (n <= 0) return Bytes();
    std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(n));
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

Bytes BytesRight(const Bytes& bytes, int n) {
    if (n <= 0) return Bytes();
    std::size_t count = std::min(bytes.size(), static_cast<std::size_t>(n));
    return Bytes(bytes.end() - static_cast<std::ptrdiff_t>(count), bytes.end());
}

int FindInBytes(const Bytes& bytes, const Bytes& what, int start) {
    std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (what.empty() || from >= bytes.size() || what.size() > bytes.size() - from) return -1;
    std::string_view pattern = AsView(what);
    std::size_t found = FindBytesFrom(AsView(bytes), from, pattern, SearchFallbacks(pattern, false), false,
                                      [](std::size_t) { return true; });
    if (found == std::string_view::npos || found >= INT_MAX) return -1;
    return static_cast<int>(found + 1);
}

Bytes BlankBytes(int n) {
    return n <= 0 ? Bytes() : Bytes(static_cast<std::size_t>(n), 0);
}

int RealToInteger(double value) {
    if (std::isnan(value)) return 0;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(value); // truncates toward zero
}
