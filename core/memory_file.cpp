#include "core/memory_file.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>

namespace {

// A file's bytes are its pieces one after another. Writes copy onto the last piece, whose storage grows
// geometrically; a large Bytes handed over as an rvalue becomes a piece of its own, which nothing is
// appended to, so a body travels from writer to reader without being copied.
struct Piece {
    Bytes bytes; // never empty
    bool growable = true;
};

struct MemoryFile {
    std::mutex lock; // held for the whole of each operation
    std::vector<Piece> pieces;
    std::size_t length = 0;   // the sum of the pieces' sizes
    std::size_t position = 0; // never beyond length
};

constexpr std::size_t LargestLength = INT32_MAX;
// Below this a handed-over Bytes is copied: a separate piece would save little.
constexpr std::size_t SmallestTakenOver = 64 * 1024;

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

std::shared_ptr<MemoryFile> Remove(int file) {
    FileTable& table = Table();
    std::lock_guard guard(table.lock);
    auto found = table.open.find(file);
    if (found == table.open.end()) return nullptr;
    std::shared_ptr<MemoryFile> removed = std::move(found->second);
    table.open.erase(found);
    try {
        table.released.insert(file);
    } catch (const std::bad_alloc&) {
        // The number is simply not reused.
    }
    return removed;
}

// Walks the bytes from `at` on, piece by piece: visit(piece, offset in it, count) for `count` bytes, or up
// to the end when visit returns false.
template <class Visit> void Walk(MemoryFile& file, std::size_t at, std::size_t count, Visit visit) {
    for (Piece& piece : file.pieces) {
        if (count == 0) return;
        if (at >= piece.bytes.size()) {
            at -= piece.bytes.size();
            continue;
        }
        std::size_t here = std::min(count, piece.bytes.size() - at);
        if (!visit(piece, at, here)) return;
        count -= here;
        at = 0;
    }
}

void CopyOut(MemoryFile& file, std::size_t at, std::size_t count, std::uint8_t* to) {
    Walk(file, at, count, [&](Piece& piece, std::size_t offset, std::size_t here) {
        std::memcpy(to, piece.bytes.data() + offset, here);
        to += here;
        return true;
    });
}

// Appends the bytes to a Text or a Bytes.
template <class Container>
void AppendOut(MemoryFile& file, std::size_t at, std::size_t count, Container& to) {
    Walk(file, at, count, [&](Piece& piece, std::size_t offset, std::size_t here) {
        const std::uint8_t* from = piece.bytes.data() + offset;
        to.insert(to.end(), from, from + here);
        return true;
    });
}

// The distance from `at` to the next zero byte, or none.
std::optional<std::size_t> FindZero(MemoryFile& file, std::size_t at) {
    std::optional<std::size_t> found;
    std::size_t passed = 0;
    Walk(file, at, file.length - at, [&](Piece& piece, std::size_t offset, std::size_t here) {
        const void* zero = std::memchr(piece.bytes.data() + offset, 0, here);
        if (zero) found = passed + (static_cast<const std::uint8_t*>(zero) - (piece.bytes.data() + offset));
        passed += here;
        return !zero;
    });
    return found;
}

// The one piece that holds exactly the bytes from `at` for `count`, if there is one.
Piece* WholePiece(MemoryFile& file, std::size_t at, std::size_t count) {
    for (Piece& piece : file.pieces) {
        if (at == 0) return piece.bytes.size() == count ? &piece : nullptr;
        if (at < piece.bytes.size()) return nullptr;
        at -= piece.bytes.size();
    }
    return nullptr;
}

// Cuts the file to newLength bytes. Never allocates.
void Truncate(MemoryFile& file, std::size_t newLength) {
    std::size_t kept = 0, pieces = 0;
    for (; pieces < file.pieces.size() && kept < newLength; ++pieces) {
        Bytes& bytes = file.pieces[pieces].bytes;
        if (bytes.size() > newLength - kept) bytes.resize(newLength - kept);
        kept += bytes.size();
    }
    file.pieces.resize(pieces);
    file.length = newLength;
    file.position = std::min(file.position, newLength);
    if (newLength == 0) std::vector<Piece>().swap(file.pieces); // an emptied file gives its storage back
}

// Writes count bytes at the position, overwriting and then extending; may throw std::bad_alloc.
void Put(MemoryFile& file, const std::uint8_t* from, std::size_t count) {
    std::size_t over = std::min(count, file.length - file.position);
    Walk(file, file.position, over, [&](Piece& piece, std::size_t offset, std::size_t here) {
        std::memcpy(piece.bytes.data() + offset, from, here);
        from += here;
        return true;
    });
    std::size_t extra = count - over;
    if (extra) {
        if (file.pieces.empty() || !file.pieces.back().growable) file.pieces.push_back(Piece{});
        Bytes& last = file.pieces.back().bytes;
        last.insert(last.end(), from, from + extra); // geometric growth keeps many small writes linear
    }
    file.position += count;
    file.length = std::max(file.length, file.position);
}

std::int32_t TakeInt32(MemoryFile& file, std::size_t at) {
    std::uint8_t raw[4];
    CopyOut(file, at, 4, raw);
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= std::uint32_t{raw[i]} << (8 * i);
    return static_cast<std::int32_t>(bits);
}

// A Bytes target that gets a whole piece once the read is done, instead of a copy.
struct Handover {
    Bytes* target;
    Piece* piece;
};

// Reads one value at the file's position and moves past it; false when the file runs short. With
// handovers, a Bytes that is one whole piece is listed there instead of copied.
bool ReadOne(MemoryFile& file, const memory_file_detail::ReadTarget& aimed,
             std::vector<Handover>* handovers) {
    using memory_file_detail::Kind;
    std::size_t at = file.position;
    std::size_t left = file.length - at;
    switch (aimed.kind) {
    case Kind::Text: {
        Text& text = *static_cast<Text*>(aimed.target);
        text.clear();
        if (left == 0) return false;
        std::optional<std::size_t> zero = FindZero(file, at);
        std::size_t size = zero.value_or(left);
        text.reserve(size);
        AppendOut(file, at, size, text);
        file.position += zero ? size + 1 : size;
        return true;
    }
    case Kind::Bytes: {
        Bytes& bytes = *static_cast<Bytes*>(aimed.target);
        if (handovers) // a target read twice gets its last value
            std::erase_if(*handovers, [&](const Handover& handover) { return handover.target == &bytes; });
        std::int32_t size = left >= 4 ? TakeInt32(file, at) : -1;
        if (size < 0 || left - 4 < static_cast<std::size_t>(size)) {
            bytes.clear();
            return false;
        }
        std::size_t count = static_cast<std::size_t>(size);
        Piece* whole = handovers && count ? WholePiece(file, at + 4, count) : nullptr;
        if (whole) {
            handovers->push_back({&bytes, whole}); // room reserved by the caller
            bytes.clear();
        } else {
            try {
                Bytes copy;
                copy.reserve(count);
                AppendOut(file, at + 4, count, copy);
                bytes.swap(copy);
            } catch (const std::bad_alloc&) {
                Bytes().swap(bytes);
                return false;
            }
        }
        file.position += 4 + count;
        return true;
    }
    case Kind::Int32:
    case Kind::Bool:
        if (left < 4) return false;
        if (aimed.kind == Kind::Int32)
            *static_cast<std::int32_t*>(aimed.target) = TakeInt32(file, at);
        else
            *static_cast<bool*>(aimed.target) = TakeInt32(file, at) != 0;
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
    Remove(file); // the file goes with the last thread that still uses it
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
    if (removed == 0) return true;
    bool tailMoves = f.position + removed < f.length;
    Walk(f, f.position, removed, [](Piece& piece, std::size_t offset, std::size_t here) {
        piece.bytes.erase(piece.bytes.begin() + offset, piece.bytes.begin() + offset + here);
        return true;
    });
    std::erase_if(f.pieces, [](const Piece& piece) { return piece.bytes.empty(); });
    f.length -= removed;
    if (tailMoves) f.position = f.length;
    if (f.length == 0) Truncate(f, 0);
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
    const std::size_t start = f.position, oldLength = f.length;
    std::vector<std::size_t> takenOver; // values whose storage became a piece
    try {
        takenOver.reserve(count);
        f.pieces.reserve(f.pieces.size() + 2 * count + 1);
        for (std::size_t i = 0; i < count; ++i) {
            const StoredValue& value = values[i];
            Put(f, value.prefix, value.prefixSize);
            if (value.movable && value.dataSize >= SmallestTakenOver && f.position == f.length) {
                f.pieces.push_back(Piece{std::move(*value.movable), false});
                f.position += value.dataSize;
                f.length = f.position;
                takenOver.push_back(i);
            } else {
                Put(f, static_cast<const std::uint8_t*>(value.data), value.dataSize);
            }
            if (value.zeroAfter) Put(f, reinterpret_cast<const std::uint8_t*>(""), 1);
        }
    } catch (const std::bad_alloc&) {
        // Hand back what was taken over, then cut off what this call added.
        for (std::size_t i : takenOver) {
            for (Piece& piece : f.pieces)
                if (!piece.growable && piece.bytes.data() == values[i].data)
                    *values[i].movable = std::move(piece.bytes);
        }
        std::erase_if(f.pieces, [](const Piece& piece) { return piece.bytes.empty(); });
        Truncate(f, oldLength);
        f.position = start;
        return false;
    }
    return true;
}

bool ReadInto(int file, const ReadTarget* targets, std::size_t count, bool thenClose) {
    std::shared_ptr<MemoryFile> found = thenClose ? Remove(file) : Find(file);
    if (!found) return false;
    std::lock_guard guard(found->lock);
    std::vector<Handover> handovers;
    if (thenClose) {
        try {
            handovers.reserve(count);
        } catch (const std::bad_alloc&) {
            thenClose = false; // copies instead
        }
    }
    const std::size_t start = found->position;
    bool all = true;
    for (std::size_t i = 0; i < count && all; ++i)
        all = ReadOne(*found, targets[i], thenClose ? &handovers : nullptr);
    if (!all) found->position = start;
    // The file is gone from the table: its pieces can go to the targets that read them.
    for (const Handover& handover : handovers)
        *handover.target = std::move(handover.piece->bytes);
    if (thenClose) Truncate(*found, 0);
    return all;
}

} // namespace memory_file_detail
