// Memory files: byte stores in memory with a length and one position, named by a nonzero number, that
// carry typed records between threads. Values are stored with nothing between them and no type tags:
//   Text   its bytes, then one zero byte (a text ends at its first zero byte)
//   Bytes  its length as a little-endian int32, then that many bytes
//   int32  4 bytes, little-endian
//   bool   4 bytes, little-endian: 1 for true, 0 for false
//
// A number that names no open file (0, a closed file's number, anything else) makes every operation do
// nothing: false, -1 or nothing, read targets untouched.
//
// Any thread may use any file: the number table and every single operation are locked, so a reader never
// sees part of one WriteValues call. Operations of two threads on one file still share its one position,
// so callers take turns by their own protocol (the request runner's hand-over).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

#include "core/bytes.h"
#include "core/text.h"

// The new file's number (length 0, position 0); 0 when no storage can be had.
int OpenMemoryFile();
void CloseMemoryFile(int file);
bool SeekToStart(int file);
int GetLength(int file);

// Removes count bytes at the position (nothing for a count of 0 or less); the bytes after them move down.
// When bytes moved, the position ends at the new end of the file; otherwise it stays.
bool DeleteBytes(int file, int count);

namespace memory_file_detail {

// One value's stored form: an optional 4-byte prefix, then data, then an optional zero byte.
struct StoredValue {
    std::uint8_t prefix[4] = {};
    std::size_t prefixSize = 0;
    const void* data = nullptr;
    std::size_t dataSize = 0;
    bool zeroAfter = false;
    bool storable = true;     // false for a Bytes too long for its int32 length
    Bytes* movable = nullptr; // a Bytes passed as an rvalue: the file may take its storage
};

inline void PutInt32(std::uint8_t (&to)[4], std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        to[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// Value is the deduced type of a forwarding reference: a plain Bytes means an rvalue.
template <class Value> StoredValue Store(Value&& value) {
    using Plain = std::remove_cvref_t<Value>;
    StoredValue stored;
    if constexpr (std::is_same_v<Plain, bool>) {
        PutInt32(stored.prefix, value ? 1 : 0);
        stored.prefixSize = 4;
    } else if constexpr (std::is_same_v<Plain, std::int32_t>) {
        PutInt32(stored.prefix, value);
        stored.prefixSize = 4;
    } else if constexpr (std::is_same_v<Plain, Bytes>) {
        stored.storable = value.size() <= static_cast<std::size_t>(INT32_MAX);
        PutInt32(stored.prefix, static_cast<std::int32_t>(stored.storable ? value.size() : 0));
        stored.prefixSize = 4;
        stored.data = value.data();
        stored.dataSize = value.size();
        if constexpr (std::is_same_v<Value, Bytes>) stored.movable = &value;
    } else {
        static_assert(std::is_convertible_v<const Plain&, std::string_view>,
                      "memory files store Text, Bytes, std::int32_t and bool");
        std::string_view text(value);
        // A text ends at its first zero byte; storing more would shift every value after it.
        text = text.substr(0, text.find('\0'));
        stored.data = text.data();
        stored.dataSize = text.size();
        stored.zeroAfter = true;
    }
    return stored;
}

enum class Kind { Text, Bytes, Int32, Bool };
struct ReadTarget {
    Kind kind;
    void* target;
};

template <class Target> ReadTarget Aim(Target& target) {
    if constexpr (std::is_same_v<Target, Text>)
        return {Kind::Text, &target};
    else if constexpr (std::is_same_v<Target, Bytes>)
        return {Kind::Bytes, &target};
    else if constexpr (std::is_same_v<Target, std::int32_t>)
        return {Kind::Int32, &target};
    else {
        static_assert(std::is_same_v<Target, bool>,
                      "memory files read into Text, Bytes, std::int32_t and bool");
        return {Kind::Bool, &target};
    }
}

bool WriteStored(int file, const StoredValue* values, std::size_t count);
bool ReadInto(int file, const ReadTarget* targets, std::size_t count, bool thenClose);

} // namespace memory_file_detail

// Writes the values' stored forms at the position, overwriting and extending, and moves past them: all of
// them or, when storage cannot be extended, none (false, position unchanged; overwritten bytes stay
// overwritten). One atomic step for readers on other threads.
//
// A large Bytes passed as an rvalue (std::move) and written at the end of the file is taken over instead
// of copied; the caller's value is then empty. On false it keeps its bytes.
template <class... Values> bool WriteValues(int file, Values&&... values) {
    static_assert(sizeof...(Values) > 0);
    const memory_file_detail::StoredValue stored[] = {
        memory_file_detail::Store(std::forward<Values>(values))...};
    return memory_file_detail::WriteStored(file, stored, sizeof...(Values));
}

// Fills the targets in order from the position. A short read fails: the targets before the failing one
// keep what they got, a failing Text or Bytes is emptied, a failing int32 or bool keeps its value, later
// targets are untouched, and the position goes back to where the call began.
template <class... Targets> bool ReadValues(int file, Targets&... targets) {
    static_assert(sizeof...(Targets) > 0);
    const memory_file_detail::ReadTarget aimed[] = {memory_file_detail::Aim(targets)...};
    return memory_file_detail::ReadInto(file, aimed, sizeof...(Targets), false);
}

// ReadValues, then CloseMemoryFile, as one step: a Bytes that the file took over from a writer is handed
// to its target instead of copied.
template <class... Targets> bool ReadValuesAndClose(int file, Targets&... targets) {
    static_assert(sizeof...(Targets) > 0);
    const memory_file_detail::ReadTarget aimed[] = {memory_file_detail::Aim(targets)...};
    return memory_file_detail::ReadInto(file, aimed, sizeof...(Targets), true);
}
