#include "core/memory_file.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>

namespace {

struct MemoryFile {
    std::mutex lock; // held for the whole of each operation
    std::unique_ptr<std::uint8_t[]> storage;
    std::size_t capacity = 0;
    std::size_t length = 0;
    std::size_t position = 0; // never beyond length
};

constexpr std::size_t LargestLength = INT32_MAX;
constexpr std::size_t GrowthStep = 1024;

struct FileTable {
    std::mutex lock;
    std::map<int, std::shared_ptr<MemoryFile>> open;
    std::set<int> released; // numbers below nextNumber that are free again
    int nextNumber = 1;
};

FileTable& Table() {
    static FileTable table;
    return table;
}

// The file, kept alive for the caller even if another thread closes its number meanwhile.
std::shared_ptr<MemoryFile> Find(int file) {
    FileTable& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.open.find(file);
    return found == table.open.end() ? nullptr : found->second;
}

// Geometric growth keeps a run of small writes linear; one large write allocates what it needs.
bool Reserve(MemoryFile& file, std::size_t needed) {
    if (needed <= file.capacity) return true;
    std::size_t grown = std::max(needed, file.capacity * 2);
    grown = std::min((grown + GrowthStep - 1) / GrowthStep * GrowthStep, std::max(needed, LargestLength));
    std::unique_ptr<std::uint8_t[]> larger(new (std::nothrow) std::uint8_t[grown]);
    if (!larger) return false;
    if (file.length) std::memcpy(larger.get(), file.storage.get(), file.length);
    file.storage = std::move(larger);
    file.capacity = grown;
    return true;
}

std::int32_t TakeInt32(const std::uint8_t* at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= std::uint32_t{at[i]} << (8 * i);
    return static_cast<std::int32_t>(bits);
}

// Reads one value at the file's position and moves past it; false when the file runs short.
bool ReadOne(MemoryFile& file, const memory_file_detail::ReadTarget& aimed) {
    using memory_file_detail::Kind;
    const std::uint8_t* at = file.storage.get() + file.position;
    std::size_t left = file.length - file.position;
    switch (aimed.kind) {
    case Kind::Text: {
        Text& text = *static_cast<Text*>(aimed.target);
        if (left == 0) {
            text.clear();
            return false;
        }
        const void* zero = std::memchr(at, 0, left);
        std::size_t size = zero ? static_cast<const std::uint8_t*>(zero) - at : left;
        text.assign(reinterpret_cast<const char*>(at), size);
        file.position += zero ? size + 1 : size;
        return true;
    }
    case Kind::Bytes: {
        Bytes& bytes = *static_cast<Bytes*>(aimed.target);
        std::int32_t size = left >= 4 ? TakeInt32(at) : -1;
        if (size < 0 || left - 4 < static_cast<std::size_t>(size)) {
            bytes.clear();
            return false;
        }
        try {
            bytes.assign(at + 4, at + 4 + size);
        } catch (const std::bad_alloc&) {
            Bytes().swap(bytes);
            return false;
        }
        file.position += 4 + static_cast<std::size_t>(size);
        return true;
    }
    case Kind::Int32:
    case Kind::Bool:
        if (left < 4) return false;
        if (aimed.kind == Kind::Int32)
            *static_cast<std::int32_t*>(aimed.target) = TakeInt32(at);
        else
            *static_cast<bool*>(aimed.target) = TakeInt32(at) != 0;
        file.position += 4;
        return true;
    }
    return false;
}

} // namespace

int OpenMemoryFile() {
    FileTable& table = Table();
    try {
        auto file = std::make_shared<MemoryFile>();
        std::lock_guard guard(table.lock);
        // The lowest free number: numbers stay small, and a closed file's number is soon given out again.
        bool reuse = !table.released.empty();
        int number = reuse ? *table.released.begin() : table.nextNumber;
        if (!reuse && number == INT32_MAX) return 0;
        table.open.emplace(number, std::move(file));
        if (reuse)
            table.released.erase(table.released.begin());
        else
            ++table.nextNumber;
        return number;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

void CloseMemoryFile(int file) {
    std::shared_ptr<MemoryFile> closed; // released outside the table's lock
    FileTable& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.open.find(file);
    if (found == table.open.end()) return;
    closed = std::move(found->second);
    table.open.erase(found);
    try {
        table.released.insert(file);
    } catch (const std::bad_alloc&) {
        // The number is simply not reused.
    }
}

bool SeekToStart(int file) {
    std::shared_ptr<MemoryFile> found = Find(file);
    if (!found) return false;
    std::lock_guard guard(found->lock);
    found->position = 0;
    return true;
}

int GetLength(int file) {
    std::shared_ptr<MemoryFile> found = Find(file);
    if (!found) return -1;
    std::lock_guard guard(found->lock);
    return static_cast<int>(found->length);
}

bool DeleteBytes(int file, int count) {
    std::shared_ptr<MemoryFile> found = Find(file);
    if (!found) return false;
    std::lock_guard guard(found->lock);
    MemoryFile& f = *found;
    if (count <= 0) return true;
    std::size_t removed = std::min(static_cast<std::size_t>(count), f.length - f.position);
    std::size_t tail = f.length - f.position - removed;
    if (tail) std::memmove(f.storage.get() + f.position, f.storage.get() + f.position + removed, tail);
    f.length -= removed;
    if (tail) f.position = f.length;
    if (f.length == 0) {
        // An emptied file gives its storage back at once.
        f.storage.reset();
        f.capacity = 0;
    }
    return true;
}

namespace memory_file_detail {

bool WriteStored(int file, const StoredValue* values, std::size_t count) {
    std::shared_ptr<MemoryFile> found = Find(file);
    if (!found) return false;
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!values[i].storable) return false;
        total += values[i].prefixSize + values[i].dataSize + (values[i].zeroAfter ? 1 : 0);
        if (total > LargestLength) return false;
    }
    std::lock_guard guard(found->lock);
    MemoryFile& f = *found;
    if (total > LargestLength - f.position) return false;
    std::size_t end = f.position + total;
    if (!Reserve(f, end)) return false;
    std::uint8_t* to = f.storage.get() + f.position;
    for (std::size_t i = 0; i < count; ++i) {
        const StoredValue& value = values[i];
        if (value.prefixSize) std::memcpy(to, value.prefix, value.prefixSize);
        to += value.prefixSize;
        if (value.dataSize) std::memcpy(to, value.data, value.dataSize);
        to += value.dataSize;
        if (value.zeroAfter) *to++ = 0;
    }
    f.position = end;
    f.length = std::max(f.length, end);
    return true;
}

bool ReadInto(int file, const ReadTarget* targets, std::size_t count) {
    std::shared_ptr<MemoryFile> found = Find(file);
    if (!found) return false;
    std::lock_guard guard(found->lock);
    std::size_t start = found->position;
    for (std::size_t i = 0; i < count; ++i) {
        if (!ReadOne(*found, targets[i])) {
            found->position = start;
            return false;
        }
    }
    return true;
}

} // namespace memory_file_detail
