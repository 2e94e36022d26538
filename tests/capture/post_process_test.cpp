#include "capture/post_process.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 16;

// Runs `routine` on `input` in place and into a separate buffer, with guard
// bytes behind each buffer; both results must agree and the guards stay.
Bytes runBothWays(PostProcessFn routine, const Bytes& input) {
    const uint32_t length = static_cast<uint32_t>(input.size());
    Bytes inPlace(input);
    inPlace.resize(length + kGuardBytes, kGuard);
    EXPECT_TRUE(routine(inPlace.data(), inPlace.data(), length));
    Bytes source(inPlace.size(), kGuard);
    std::copy(input.begin(), input.end(), source.begin());
    Bytes separate(length + kGuardBytes, kGuard);
    EXPECT_TRUE(routine(separate.data(), source.data(), length));

    EXPECT_EQ(inPlace, separate) << "in place and separate buffers differ";
    EXPECT_EQ(Bytes(inPlace.begin() + length, inPlace.end()), Bytes(kGuardBytes, kGuard))
        << "written past the end";
    inPlace.resize(length);
    return inPlace;
}

// Worked by hand, so that the routines and the virtual receiver's inverses
// cannot agree on the same mistake.
TEST(PostProcess, WorkedExamples) {
    EXPECT_EQ(runBothWays(reverseBitOrder, {0x80, 0x01, 0xF0, 0xB0, 0x12, 0x5A}),
              (Bytes{0x01, 0x80, 0x0F, 0x0D, 0x48, 0x5A}));
    EXPECT_EQ(runBothWays(splitEvenOddBytes, {10, 11, 12, 13, 14, 15, 16, 17}),
              (Bytes{10, 12, 14, 16, 11, 13, 15, 17}));
    Bytes thirty(30, 9);
    Bytes keptTwo(30, 0);
    keptTwo[0] = keptTwo[1] = 9;
    EXPECT_EQ(runBothWays(clearLast28Bytes, thirty), keptTwo);
}

// Whole pictures through every routine are proven by the end-to-end captures;
// these are the lengths no screen has.
TEST(PostProcess, OddAndShortLengths) {
    EXPECT_EQ(runBothWays(splitEvenOddBytes, {0, 1, 2, 3, 4}), (Bytes{0, 2, 4, 1, 3}));
    EXPECT_EQ(runBothWays(clearLast28Bytes, Bytes(28, 7)), Bytes(28, 0));
    EXPECT_EQ(runBothWays(clearLast28Bytes, Bytes(10, 7)), Bytes(10, 0));
    for (PostProcessFn routine :
         {reverseBitOrder, splitEvenOddBytes, clearLast28Bytes, cropWindowSwapNibbles})
        EXPECT_TRUE(runBothWays(routine, {}).empty());
}

constexpr size_t kRowBytes = 204;
size_t at(size_t row, size_t column) {
    return row * kRowBytes + column;
}

TEST(PostProcess, CropWindowOfShortSourcesStaysInside) {
    Bytes source(51610);  // ends at the last byte the window reads: row 252, column 201
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 7 + 1);
    const Bytes exact = runBothWays(cropWindowSwapNibbles, source);
    const auto swapped = [](uint8_t v) { return static_cast<uint8_t>(v << 4 | v >> 4); };
    EXPECT_EQ(exact[at(233, 203)], swapped(source[at(252, 201)]));
    EXPECT_EQ(exact[at(1, 44)], swapped(source[at(20, 42)]));

    // A source that ends inside the window: what lies beyond reads as 0.
    source.resize(kRowBytes * 20);
    const Bytes part = runBothWays(cropWindowSwapNibbles, source);
    EXPECT_EQ(part[44], swapped(source[at(19, 42)]));
    EXPECT_EQ(part[at(1, 44)], 0);
    for (size_t length : {1u, 44u, 45u, 203u})
        EXPECT_EQ(runBothWays(cropWindowSwapNibbles, Bytes(length, 0x11)), Bytes(length, 0));
}

}  // namespace
