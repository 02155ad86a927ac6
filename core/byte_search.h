// Finding a run of bytes inside a longer one in time linear in both (Knuth-Morris-Pratt), so that
// searching and splitting stay linear however the texts repeat themselves. Used by the text and byte
// operations only.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

inline unsigned char FoldAsciiCase(unsigned char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

inline unsigned char SearchByte(unsigned char byte, bool ignoreCase) {
    return ignoreCase ? FoldAsciiCase(byte) : byte;
}

// For every prefix of what, the length of its longest proper prefix that is also its suffix.
inline std::vector<std::size_t> SearchFallbacks(std::string_view what, bool ignoreCase) {
    std::vector<std::size_t> fallback(what.size(), 0);
    std::size_t matched = 0;
    for (std::size_t i = 1; i < what.size(); ++i) {
        unsigned char byte = SearchByte(what[i], ignoreCase);
        while (matched > 0 && byte != SearchByte(what[matched], ignoreCase))
            matched = fallback[matched - 1];
        if (byte == SearchByte(what[matched], ignoreCase)) ++matched;
        fallback[i] = matched;
    }
    return fallback;
}

// The first position p >= from where what (not empty) occurs in bytes and accept(p) holds, or npos.
// accept is asked about candidate positions in increasing order only. fallback comes from
// SearchFallbacks(what, ignoreCase).
template <class Accept>
std::size_t FindBytesFrom(std::string_view bytes, std::size_t from, std::string_view what,
                          const std::vector<std::size_t>& fallback, bool ignoreCase, Accept&& accept) {
    const std::size_t length = what.size();
    const unsigned char first = SearchByte(what[0], ignoreCase);
    // While nothing is matched, memchr skips ahead to the next possible first byte.
    const bool canSkip = !ignoreCase || !(first >= 'a' && first <= 'z');
    std::size_t matched = 0;
    for (std::size_t at = from; at < bytes.size(); ++at) {
        if (matched == 0 && canSkip) {
            const void* next = std::memchr(bytes.data() + at, first, bytes.size() - at);
            if (next == nullptr) return std::string_view::npos;
            at = static_cast<std::size_t>(static_cast<const char*>(next) - bytes.data());
        }
        unsigned char byte = SearchByte(bytes[at], ignoreCase);
        while (matched > 0 && byte != SearchByte(what[matched], ignoreCase))
            matched = fallback[matched - 1];
        if (byte == SearchByte(what[matched], ignoreCase)) ++matched;
        if (matched == length) {
            std::size_t start = at + 1 - length;
            if (accept(start)) return start;
            matched = fallback[matched - 1];
        }
    }
    return std::string_view::npos;
}
