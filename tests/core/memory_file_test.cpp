#include "core/memory_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// Closes the file when the test ends, whatever happens.
struct ScopedFile {
    int number = OpenMemoryFile();
    ~ScopedFile() { CloseMemoryFile(number); }
    operator int() const { return number; }
};

// Every byte of the file, read as texts and the zero bytes between them; leaves the position at the end.
std::string Contents(int file) {
    int length = GetLength(file);
    std::string all;
    int consumed = 0;
    Text piece;
    SeekToStart(file);
    while (consumed < length && ReadValues(file, piece)) {
        all += piece;
        consumed += static_cast<int>(piece.size()) + 1;
        if (consumed <= length) all += '\0';
    }
    return all;
}

// A file holding exactly these bytes, its position at 0.
int FileHolding(const std::string& raw) {
    int file = OpenMemoryFile();
    WriteValues(file, Bytes(raw.begin(), raw.end()));
    SeekToStart(file);
    DeleteBytes(file, 4); // drops the length in front; the position moves to the end
    SeekToStart(file);
    return file;
}

using namespace std::string_literals;

TEST(MemoryFile, StoresEachTypeInItsOwnForm) {
    struct Case {
        const char* what;
        std::string stored;
        bool (*write)(int);
    };
    const Case cases[] = {
        {"empty text", "\0"s, [](int f) { return WriteValues(f, Text()); }},
        {"text", "abc\0"s, [](int f) { return WriteValues(f, Text("abc")); }},
        {"double-byte text", "\xB6\xC1\0"s, [](int f) { return WriteValues(f, Text("\xB6\xC1")); }},
        {"text with a zero byte ends there", "a\0"s, [](int f) { return WriteValues(f, "a\0b"s); }},
        {"empty bytes", "\0\0\0\0"s, [](int f) { return WriteValues(f, Bytes()); }},
        {"bytes", "\3\0\0\0\0\1\xFF"s,
         [](int f) {
             return WriteValues(f, Bytes{0, 1, 0xFF});
         }},
        {"int32", "\x04\x03\x02\x01"s, [](int f) { return WriteValues(f, std::int32_t{0x01020304}); }},
        {"negative int32", "\xFE\xFF\xFF\xFF"s, [](int f) { return WriteValues(f, std::int32_t{-2}); }},
        {"true", "\1\0\0\0"s, [](int f) { return WriteValues(f, true); }},
        {"false", "\0\0\0\0"s, [](int f) { return WriteValues(f, false); }},
        {"values follow one another", "ab\0\1\0\0\0\1\0\0\0x"s,
         [](int f) { return WriteValues(f, Text("ab"), true, Bytes{'x'}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedFile file;
        ASSERT_NE(file.number, 0);
        EXPECT_TRUE(c.write(file));
        EXPECT_EQ(GetLength(file), static_cast<int>(c.stored.size()));
        EXPECT_EQ(Contents(file), c.stored);
    }
}

TEST(MemoryFile, RecordReadsBackAsWritten) {
    ScopedFile file;
    Bytes body(100000);
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<std::uint8_t>(i % 251);
    ASSERT_TRUE(
        WriteValues(file, Text("QelvoStart"), Text(), body, std::int32_t{-7}, false, Text("\xC4\xE3")));
    ASSERT_TRUE(WriteValues(file, true)); // a second call goes on at the position
    Text marker = "old", empty = "old", last;
    Bytes readBody;
    std::int32_t number = 0;
    bool flag = true, second = false;
    ASSERT_TRUE(SeekToStart(file));
    ASSERT_TRUE(ReadValues(file, marker, empty, readBody, number, flag, last, second));
    EXPECT_EQ(marker, "QelvoStart");
    EXPECT_EQ(empty, "");
    EXPECT_EQ(readBody, body);
    EXPECT_EQ(number, -7);
    EXPECT_FALSE(flag);
    EXPECT_EQ(last, "\xC4\xE3");
    EXPECT_TRUE(second);
    EXPECT_FALSE(ReadValues(file, last)); // nothing left
    EXPECT_EQ(last, "");

    // Overwriting at the start keeps the bytes after what was written.
    SeekToStart(file);
    ASSERT_TRUE(WriteValues(file, Text("Qelvo")));
    SeekToStart(file);
    ASSERT_TRUE(ReadValues(file, marker, marker));
    EXPECT_EQ(marker, "tart");
}

TEST(MemoryFile, ShortReadsRestoreThePositionAndFollowTheTargetRules) {
    {
        SCOPED_TRACE("text from an empty file");
        ScopedFile file;
        Text text = "was here";
        EXPECT_FALSE(ReadValues(file, text));
        EXPECT_EQ(text, "");
        WriteValues(file, Text("x"));
        EXPECT_EQ(Contents(file), "x\0"s); // the position had stayed at 0
    }
    {
        SCOPED_TRACE("text without a closing zero byte");
        int file = FileHolding("abc");
        Text text;
        EXPECT_TRUE(ReadValues(file, text));
        EXPECT_EQ(text, "abc");
        WriteValues(file, Text("d")); // lands at position 3
        EXPECT_EQ(Contents(file), "abcd\0"s);
        CloseMemoryFile(file);
    }
    {
        SCOPED_TRACE("text then int32 from a file holding only the text");
        ScopedFile file;
        WriteValues(file, Text("abc"));
        SeekToStart(file);
        Text text;
        std::int32_t number = 77;
        EXPECT_FALSE(ReadValues(file, text, number));
        EXPECT_EQ(text, "abc");
        EXPECT_EQ(number, 77);
        Text again;
        EXPECT_TRUE(ReadValues(file, again)); // back at the start
        EXPECT_EQ(again, "abc");
    }
    struct Case {
        const char* what;
        std::string raw;
    };
    // Each file fails the Bytes target; the text before it is kept, the int32 after it untouched.
    const Case badBytes[] = {
        {"fewer than 4 bytes for the length", "t\0\3\0"s},
        {"negative length", "t\0\xFF\xFF\xFF\xFF"s},
        {"length beyond the end", "t\0\5\0\0\0abcd"s},
        {"largest length", "t\0\xFF\xFF\xFF\x7F"s},
    };
    for (const Case& c : badBytes) {
        SCOPED_TRACE(c.what);
        int file = FileHolding(c.raw);
        Text text;
        Bytes bytes{1, 2};
        std::int32_t later = 5;
        EXPECT_FALSE(ReadValues(file, text, bytes, later));
        EXPECT_EQ(text, "t");
        EXPECT_TRUE(bytes.empty());
        EXPECT_EQ(later, 5);
        EXPECT_TRUE(ReadValues(file, text)); // position back at the start
        EXPECT_EQ(text, "t");
        CloseMemoryFile(file);
    }
    {
        SCOPED_TRACE("int32 and bool with 3 bytes left keep their values");
        int file = FileHolding("\1\0\0\0\2\0\0\0abc"s);
        bool flag = false;
        std::int32_t number = 0, rest = 9;
        EXPECT_FALSE(ReadValues(file, flag, number, rest));
        EXPECT_TRUE(flag);
        EXPECT_EQ(number, 2);
        EXPECT_EQ(rest, 9);
        bool restFlag = false;
        EXPECT_FALSE(ReadValues(file, number, number, restFlag));
        EXPECT_FALSE(restFlag);
        CloseMemoryFile(file);
    }
}

TEST(MemoryFile, BytesAreTakenAsTheTargetsType) {
    ScopedFile file;
    WriteValues(file, std::int32_t{3}, Text("ab"));
    SeekToStart(file);
    Bytes bytes;
    EXPECT_TRUE(ReadValues(file, bytes)); // the int32 serves as the length
    EXPECT_EQ(bytes, (Bytes{'a', 'b', 0}));
    SeekToStart(file);
    bool flag = false;
    EXPECT_TRUE(ReadValues(file, flag));
    EXPECT_TRUE(flag);
}

TEST(MemoryFile, DeleteBytesMovesTheTailDownOrCutsAtThePosition) {
    ScopedFile file;
    Text first, second;
    WriteValues(file, Text("ab"), Text("cdef"));
    SeekToStart(file);
    ReadValues(file, first); // position 3
    EXPECT_TRUE(DeleteBytes(file, 2));
    EXPECT_EQ(GetLength(file), 6);
    WriteValues(file, Text("g")); // bytes moved: the position went to the new end
    EXPECT_EQ(Contents(file), "ab\0ef\0g\0"s);

    SeekToStart(file);
    ReadValues(file, first); // position 3
    EXPECT_TRUE(DeleteBytes(file, 100));
    EXPECT_EQ(GetLength(file), 3);
    WriteValues(file, Text("z")); // nothing moved: the position stayed at 3
    EXPECT_EQ(Contents(file), "ab\0z\0"s);

    SeekToStart(file);
    EXPECT_TRUE(DeleteBytes(file, 0));
    EXPECT_TRUE(DeleteBytes(file, -3));
    EXPECT_EQ(GetLength(file), 5);
    EXPECT_TRUE(DeleteBytes(file, INT32_MAX));
    EXPECT_EQ(GetLength(file), 0);
    EXPECT_FALSE(ReadValues(file, first));
    EXPECT_TRUE(WriteValues(file, Text("new")));
    EXPECT_EQ(Contents(file), "new\0"s);
}

// A large Bytes handed over with std::move is taken, not copied; reads, overwrites and deletes that run
// across it and its neighbours see one row of bytes.
TEST(MemoryFile, TakenOverBytesBehaveAsCopiedOnes) {
    constexpr int Size = 100000;
    ScopedFile file;
    Bytes large(Size, 'x');
    ASSERT_TRUE(WriteValues(file, Text("h"), std::move(large), Text("tail")));
    EXPECT_TRUE(large.empty());
    EXPECT_EQ(GetLength(file), 2 + 4 + Size + 5);
    Bytes kept(Size, 'k');
    ASSERT_TRUE(WriteValues(file, kept)); // an lvalue is copied
    EXPECT_EQ(kept.size(), static_cast<std::size_t>(Size));

    Text head, across;
    std::int32_t size = 0;
    SeekToStart(file);
    ASSERT_TRUE(ReadValues(file, head, size, across)); // the text runs from the taken piece into the next
    EXPECT_EQ(size, Size);
    EXPECT_EQ(across, std::string(Size, 'x') + "tail");

    SeekToStart(file);
    ASSERT_TRUE(WriteValues(file, Text("abcdefgh"))); // overwrites across the boundary
    SeekToStart(file);
    ASSERT_TRUE(ReadValues(file, head)); // position 9: inside the taken piece
    EXPECT_EQ(head, "abcdefgh");
    ASSERT_TRUE(DeleteBytes(file, Size)); // across it into the tail and the copied Bytes
    const std::string rest = Contents(file);
    EXPECT_EQ(rest.substr(0, 9), "abcdefgh\0"s);
    EXPECT_EQ(rest.size(), static_cast<std::size_t>(GetLength(file)));
    EXPECT_EQ(GetLength(file), 2 + 4 + Size + 5 + 4 + Size - Size);
}

TEST(MemoryFile, ReadValuesAndCloseHandsTakenBytesOver) {
    int file = OpenMemoryFile();
    Bytes body(200000);
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<std::uint8_t>(i % 253);
    const Bytes expected = body;
    const std::uint8_t* storage = body.data();
    ASSERT_TRUE(WriteValues(file, Text("headers"), std::move(body), Text("a=1")));
    Text headers, cookies;
    Bytes read;
    SeekToStart(file);
    ASSERT_TRUE(ReadValuesAndClose(file, headers, read, cookies));
    EXPECT_EQ(headers, "headers");
    EXPECT_EQ(read, expected);
    EXPECT_EQ(read.data(), storage); // not copied
    EXPECT_EQ(cookies, "a=1");
    EXPECT_EQ(GetLength(file), -1); // closed

    // A short read closes all the same; the targets follow the rules of ReadValues.
    file = OpenMemoryFile();
    WriteValues(file, Text("only"));
    SeekToStart(file);
    std::int32_t number = 4;
    EXPECT_FALSE(ReadValuesAndClose(file, headers, number));
    EXPECT_EQ(headers, "only");
    EXPECT_EQ(number, 4);
    EXPECT_EQ(GetLength(file), -1);
    EXPECT_FALSE(ReadValuesAndClose(file, headers));
}

TEST(MemoryFile, NumbersThatNameNoFileDoNothing) {
    int file = OpenMemoryFile();
    ASSERT_NE(file, 0);
    WriteValues(file, Text("kept"));
    CloseMemoryFile(file);
    CloseMemoryFile(file); // a second close does nothing
    for (int number : {0, file, -1, INT32_MAX}) {
        SCOPED_TRACE(number);
        Text text = "untouched";
        Bytes bytes{1};
        std::int32_t value = 3;
        EXPECT_EQ(GetLength(number), -1);
        EXPECT_FALSE(SeekToStart(number));
        EXPECT_FALSE(DeleteBytes(number, 1));
        EXPECT_FALSE(WriteValues(number, Text("x")));
        EXPECT_FALSE(ReadValues(number, text, bytes, value));
        EXPECT_EQ(text, "untouched");
        EXPECT_EQ(bytes, Bytes{1});
        EXPECT_EQ(value, 3);
    }
}

TEST(MemoryFile, OpenFilesHaveDistinctNumbersAndClosedNumbersAreGivenOutAgain) {
    ScopedFile a, b, c;
    std::set<int> numbers{a.number, b.number, c.number};
    EXPECT_EQ(numbers.size(), 3u);
    EXPECT_EQ(numbers.count(0), 0u);
    int closed = b.number;
    CloseMemoryFile(b.number);
    ScopedFile d;
    EXPECT_EQ(d.number, closed);
    EXPECT_EQ(GetLength(d), 0); // a fresh, empty file
}

// Many threads open, fill, check and close files at once; each must only ever see its own data.
TEST(MemoryFileThreads, TableServesManyThreadsAtOnce) {
    constexpr int Threads = 8, Rounds = 2000;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int round = 0; round < Rounds; ++round) {
                int file = OpenMemoryFile();
                std::int32_t mark = t * Rounds + round;
                Text owner = "thread " + std::to_string(t);
                WriteValues(file, mark, owner);
                // Unknown numbers stay harmless while others open and close theirs.
                GetLength(file + 1000000);
                std::int32_t readMark = -1;
                Text readOwner;
                SeekToStart(file);
                if (!ReadValues(file, readMark, readOwner) || readMark != mark || readOwner != owner) ++wrong;
                CloseMemoryFile(file);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

// One thread keeps growing, emptying and regrowing a file while another keeps reading it: every read sees
// whole writes only, never storage that a write is moving or releasing.
TEST(MemoryFileThreads, EachOperationOnOneFileIsWhole) {
    ScopedFile file;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= 20000; ++i) {
            WriteValues(file, Text(i % 300 + 1, 'x'), Text(i % 50, 'x'));
            if (i % 100 == 0) {
                SeekToStart(file);
                DeleteBytes(file, GetLength(file));
            }
        }
        done = true;
    });
    int torn = 0;
    while (!done) {
        Text text;
        SeekToStart(file);
        if (ReadValues(file, text) && text.find_first_not_of('x') != Text::npos) ++torn;
        if (GetLength(file) < 0) ++torn;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

// The worker's side writes a large record into one file and then a marker into another, while the
// polling side seeks and reads the marker file without pause: a poll sees the empty text or the whole
// marker, and once it sees the marker the whole record is there.
TEST(MemoryFileThreads, MarkerIsSeenWholeAndOnlyAfterTheRecord) {
    constexpr int Rounds = 200;
    int partial = 0, incomplete = 0;
    for (int round = 0; round < Rounds; ++round) {
        ScopedFile record, signal;
        Bytes body(8192 + round * 997);
        for (std::size_t i = 0; i < body.size(); ++i)
            body[i] = static_cast<std::uint8_t>(i * 7 + round);
        std::thread worker([&] {
            WriteValues(record, Text("headers"), Bytes(body), Text("a=1"));
            WriteValues(signal, Text("QelvoEnd"));
        });
        Text seen;
        do {
            SeekToStart(signal);
            if (!ReadValues(signal, seen)) seen.clear();
            if (!seen.empty() && seen != "QelvoEnd") ++partial;
        } while (seen != "QelvoEnd");
        Text headers, cookies;
        Bytes readBody;
        SeekToStart(record);
        if (!ReadValues(record, headers, readBody, cookies) || readBody != body || cookies != "a=1")
            ++incomplete;
        worker.join();
    }
    EXPECT_EQ(partial, 0);
    EXPECT_EQ(incomplete, 0);
}

} // namespace
