#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "core/bytes.h"

namespace {

TEST(BytesCuts, LeftAndRightTakeWhatIsThere) {
    const Bytes four{1, 2, 3, 4};
    const struct {
        int count;
        Bytes left, right;
    } cases[] = {
        {-1, {}, {}},    {0, {}, {}},           {1, {1}, {4}},     {3, {1, 2, 3}, {2, 3, 4}},
        {4, four, four}, {INT_MAX, four, four}, {INT_MIN, {}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BytesLeft(four, c.count), c.left) << c.count;
        EXPECT_EQ(BytesRight(four, c.count), c.right) << c.count;
    }
    EXPECT_EQ(BytesLeft({}, 3), Bytes{});
    EXPECT_EQ(BytesRight({}, 3), Bytes{});
}

TEST(FindInBytes, FindsExactRunsZeroBytesIncluded) {
    const struct {
        Bytes bytes, what;
        int start;
        int expected;
    } cases[] = {
        {{1, 0, 2, 0, 2}, {0, 2}, 1, 2},
        {{1, 0, 2, 0, 2}, {0, 2}, 3, 4},
        {{1, 0, 2, 0, 2}, {0, 2}, 5, -1},
        {{1, 0, 2, 0, 2}, {0, 2}, 0, 2}, // a start below 1 counts as 1
        {{1, 0, 2, 0, 2}, {0, 2}, INT_MIN, 2},
        {{1, 0, 2, 0, 2}, {0, 2}, 6, -1}, // beyond the end
        {{1, 0, 2, 0, 2}, {0, 2}, INT_MAX, -1},
        {{1, 2, 3}, {}, 1, -1}, // empty what
        {{}, {}, 1, -1},
        {{}, {1}, 1, -1},
        {{1, 2}, {1, 2, 3}, 1, -1},
        {{0xB6, 0x3D}, {0x3D}, 1, 2}, // bytes know no two-byte characters
        {{'a', 'a', 'a', 'b'}, {'a', 'a', 'b'}, 1, 2},
        {{'a', 'b', 'a', 'b', 'a', 'c'}, {'a', 'b', 'a', 'c'}, 1, 3},
        {{'A'}, {'a'}, 1, -1}, // compared byte for byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindInBytes(c.bytes, c.what, c.start), c.expected) << c.start;
    EXPECT_EQ(FindInBytes({9, 8, 7}, {7}), 3);
}

TEST(BytesBasics, LengthBlanksJoinAndOr) {
    EXPECT_EQ(BytesLength({}), 0);
    EXPECT_EQ(BytesLength({0, 0, 0}), 3);
    EXPECT_EQ(BlankBytes(3), (Bytes{0, 0, 0}));
    EXPECT_EQ(BlankBytes(0), Bytes{});
    EXPECT_EQ(BlankBytes(-5), Bytes{});
    EXPECT_EQ(JoinBytes(Bytes{1}, Bytes{}, Bytes{2, 0}, Bytes{3}), (Bytes{1, 2, 0, 3}));
    EXPECT_EQ(BitwiseOr(1, 2), 3);
    EXPECT_EQ(BitwiseOr(0x80000000, 0x100, 0x4, 0x4), static_cast<int>(0x80000104));
}

TEST(ReadValueFromBytes, ReadsLittleEndianAndZeroFillsTheMissingHighBytes) {
    const Bytes one{0xC8};
    EXPECT_EQ(ReadValueFromBytes<std::int32_t>(one), 200);
    EXPECT_EQ(ReadValueFromBytes<std::uint8_t>(one), 200);
    EXPECT_EQ(ReadValueFromBytes<std::int16_t>(Bytes{0xFE, 0xFF}), -2);
    EXPECT_EQ(ReadValueFromBytes<std::int32_t>(Bytes{9, 0x78, 0x56, 0x34, 0x12}, 2), 0x12345678);
    EXPECT_EQ(ReadValueFromBytes<std::int64_t>(Bytes{1, 2, 3}), 0x030201);
    EXPECT_EQ(ReadValueFromBytes<std::int32_t>(Bytes{1, 2, 3, 4}, 4), 4);
    EXPECT_EQ(ReadValueFromBytes<std::int32_t>(Bytes{1, 2, 3, 4}, 5), 0);
    EXPECT_EQ(ReadValueFromBytes<std::int32_t>(Bytes{1, 2, 3, 4}, 0), 0);
    EXPECT_EQ(ReadValueFromBytes<std::int32_t>(Bytes{1, 2, 3, 4}, INT_MIN), 0);
    EXPECT_EQ(ReadValueFromBytes<std::int32_t>(Bytes{1, 2, 3, 4}, INT_MAX), 0);
    EXPECT_EQ(ReadValueFromBytes<std::int32_t>(Bytes{}), 0);
    EXPECT_EQ(ReadValueFromBytes<float>(Bytes{0x00, 0x00, 0xC0, 0x3F}), 1.5f);
    EXPECT_EQ(ReadValueFromBytes<double>(Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0xBF}), -1.0);
}

TEST(RealToInteger, TruncatesTowardZeroAndSaturates) {
    const struct {
        double real;
        int expected;
    } cases[] = {
        {8080.9, 8080},
        {-2.7, -2},
        {0.99, 0},
        {-0.0, 0},
        {2147483647.9, INT_MAX},
        {1e300, INT_MAX},
        {-2147483648.9, INT_MIN},
        {-std::numeric_limits<double>::infinity(), INT_MIN},
        {std::numeric_limits<double>::infinity(), INT_MAX},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RealToInteger(c.real), c.expected) << c.real;
}

} // namespace
