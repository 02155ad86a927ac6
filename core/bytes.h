// Byte arrays: counted runs of any bytes, zero included. Values, never shared.
// Positions are 1-based; counts and positions out of range give empty results or -1, never errors.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

int BytesLength(const Bytes& bytes);

// The arrays one after another, in argument order.
template <class... More> Bytes JoinBytes(const Bytes& first, const Bytes& second, const More&... more) {
    Bytes joined;
    joined.reserve(first.size() + second.size() + (std::size_t{0} + ... + more.size()));
    for (const Bytes* part : {&first, &second, static_cast<const Bytes*>(&more)...})
        joined.insert(joined.end(), part->begin(), part->end());
    return joined;
}

// The first, or the last, n bytes; all of them when n reaches the length; empty when n <= 0.
Bytes BytesLeft(const Bytes& bytes, int n);
Bytes BytesRight(const Bytes& bytes, int n);

// Position of the first occurrence of what at or after start (below 1 counts as 1); -1 when there is
// none, when what is empty or when start lies beyond the end.
int FindInBytes(const Bytes& bytes, const Bytes& what, int start = 1);

// n zero bytes; empty when n <= 0.
Bytes BlankBytes(int n);

// The number of type Kind stored at position (1-based), least significant byte first. Kind is one of
// std::uint8_t, std::int16_t, std::int32_t, std::int64_t, float, double. Missing high-order bytes count
// as zero; a position below 1 or beyond the end gives 0.
template <class Kind> Kind ReadValueFromBytes(const Bytes& bytes, int position = 1) {
    static_assert(std::is_arithmetic_v<Kind>);
    if (position < 1 || static_cast<std::size_t>(position) > bytes.size()) return Kind{};
    std::size_t at = static_cast<std::size_t>(position) - 1;
    std::size_t available = bytes.size() - at;
    unsigned char raw[sizeof(Kind)] = {};
    // Little-endian host (x86-64): the stored order is the in-memory order.
    std::memcpy(raw, bytes.data() + at, available < sizeof(Kind) ? available : sizeof(Kind));
    Kind value;
    std::memcpy(&value, raw, sizeof(Kind));
    return value;
}

// Bitwise OR of two or more 32-bit integers.
template <class... More> int BitwiseOr(int first, int second, More... more) {
    return ((first | second) | ... | static_cast<int>(more));
}

// The real truncated toward zero (saturating at the int32 range; NaN gives 0).
int RealToInteger(double value);
