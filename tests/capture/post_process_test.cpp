#include "capture/post_process.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 16;

// Runs `routine` on `input` in place and into a separate buffer, with guard
// bytes behind each buffer; both results must agree and the guards stay.
std::vector<uint8_t> runBothWays(PostProcessFn routine, const std::vector<uint8_t>& input) {
    const uint32_t length = static_cast<uint32_t>(input.size());
    std::vector<uint8_t> inPlace(input);
    inPlace.resize(length + kGuardBytes, kGuard);
    EXPECT_TRUE(routine(inPlace.data(), inPlace.data(), length));

    std::vector<uint8_t> source(input);
    source.resize(length + kGuardBytes, kGuard);
    std::vector<uint8_t> separate(length + kGuardBytes, kGuard);
    EXPECT_TRUE(routine(separate.data(), source.data(), length));

    EXPECT_EQ(inPlace, separate) << "in place and separate buffers differ";
    for (size_t i = length; i < length + kGuardBytes; ++i) {
        EXPECT_EQ(inPlace[i], kGuard) << "written past the end at " << i;
        EXPECT_EQ(source[i], kGuard) << "source changed at " << i;
    }
    inPlace.resize(length);
    return inPlace;
}

std::vector<uint8_t> counting(size_t length) {
    std::vector<uint8_t> bytes(length);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

TEST(ReverseBitOrder, TurnsEveryByte) {
    EXPECT_EQ(runBothWays(reverseBitOrder, {0x80, 0x01, 0xF0, 0xB0, 0x00, 0xFF, 0x5A}),
              (std::vector<uint8_t>{0x01, 0x80, 0x0F, 0x0D, 0x00, 0xFF, 0x5A}));
    const std::vector<uint8_t> all = counting(256);
    std::vector<uint8_t> twice = runBothWays(reverseBitOrder, runBothWays(reverseBitOrder, all));
    EXPECT_EQ(twice, all);
    EXPECT_TRUE(runBothWays(reverseBitOrder, {}).empty());
}

TEST(SplitEvenOddBytes, EvenPositionsFirstThenOdd) {
    EXPECT_EQ(runBothWays(splitEvenOddBytes, counting(8)),
              (std::vector<uint8_t>{0, 2, 4, 6, 1, 3, 5, 7}));
    const std::vector<uint8_t> out = runBothWays(splitEvenOddBytes, counting(200));
    for (int j = 0; j < 100; ++j) {
        EXPECT_EQ(out[j], 2 * j);
        EXPECT_EQ(out[100 + j], 2 * j + 1);
    }
}

TEST(SplitEvenOddBytes, LengthsNotDivisibleByFourStayInside) {
    EXPECT_EQ(runBothWays(splitEvenOddBytes, counting(5)), (std::vector<uint8_t>{0, 2, 4, 1, 3}));
    EXPECT_EQ(runBothWays(splitEvenOddBytes, counting(6)),
              (std::vector<uint8_t>{0, 2, 4, 1, 3, 5}));
    EXPECT_EQ(runBothWays(splitEvenOddBytes, counting(1)), (std::vector<uint8_t>{0}));
    EXPECT_TRUE(runBothWays(splitEvenOddBytes, {}).empty());
}

TEST(ClearLast28Bytes, ZeroesOnlyTheTail) {
    std::vector<uint8_t> input(40, 0xEE);
    std::vector<uint8_t> expected(40, 0);
    std::fill(expected.begin(), expected.begin() + 12, 0xEE);
    EXPECT_EQ(runBothWays(clearLast28Bytes, input), expected);
    EXPECT_EQ(runBothWays(clearLast28Bytes, std::vector<uint8_t>(28, 7)),
              std::vector<uint8_t>(28, 0));
    EXPECT_EQ(runBothWays(clearLast28Bytes, std::vector<uint8_t>(10, 7)),
              std::vector<uint8_t>(10, 0));
    EXPECT_TRUE(runBothWays(clearLast28Bytes, {}).empty());
}

// The source byte of a 204-byte-wide test picture at (row, column).
uint8_t cropSource(int row, int column) {
    return static_cast<uint8_t>(row * 7 + column * 13 + 1);
}

std::vector<uint8_t> cropPicture(size_t length) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = cropSource(i / 204, i % 204);
    return bytes;
}

uint8_t swapped(uint8_t value) {
    return static_cast<uint8_t>((value & 0x0F) << 4 | value >> 4);
}

TEST(CropWindowSwapNibbles, MovesTheWindowToTheTop) {
    const std::vector<uint8_t> out = runBothWays(cropWindowSwapNibbles, cropPicture(204 * 256));
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 204; ++column) {
            uint8_t expected = 0;
            if (row < 234 && column >= 44)
                expected = swapped(cropSource(row + 19, column - 2));
            ASSERT_EQ(out[row * 204 + column], expected) << "row " << row << " column " << column;
        }
    }
}

TEST(CropWindowSwapNibbles, ShortSourcesStayInside) {
    // 51610 bytes end exactly at the last byte the window reads.
    const std::vector<uint8_t> exact = runBothWays(cropWindowSwapNibbles, cropPicture(51610));
    EXPECT_EQ(exact[233 * 204 + 203], swapped(cropSource(252, 201)));
    EXPECT_EQ(exact[0], 0);
    EXPECT_EQ(exact[44], swapped(cropSource(19, 42)));

    // A source that ends inside the window: bytes beyond it read as 0.
    const std::vector<uint8_t> part = runBothWays(cropWindowSwapNibbles, cropPicture(204 * 20));
    EXPECT_EQ(part[44], swapped(cropSource(19, 42)));
    EXPECT_EQ(part[204 + 44], 0);
    for (size_t length : {0u, 1u, 44u, 45u, 203u}) {
        const std::vector<uint8_t> tiny = runBothWays(cropWindowSwapNibbles, cropPicture(length));
        EXPECT_EQ(tiny, std::vector<uint8_t>(length, 0)) << length;
    }
}

}  // namespace
