#include "capture/post_process.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
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
    EXPECT_EQ(Bytes(source.begin() + length, source.end()), Bytes(kGuardBytes, kGuard));
    EXPECT_EQ(Bytes(inPlace.begin() + length, inPlace.end()), Bytes(kGuardBytes, kGuard))
        << "written past the end";
    inPlace.resize(length);
    return inPlace;
}

Bytes counting(size_t length) {
    Bytes bytes(length);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

TEST(PostProcess, WorkedExamples) {
    struct Case {
        const char* what;
        PostProcessFn routine;
        Bytes input;
        Bytes expected;
    };
    Bytes thirty = counting(30);
    Bytes thirtyCleared(30, 0);
    thirtyCleared[1] = 1;
    const Case cases[] = {
        {"bits reversed",
         reverseBitOrder,
         {0x80, 0x01, 0xF0, 0xB0, 0x12, 0x00, 0xFF, 0x5A},
         {0x01, 0x80, 0x0F, 0x0D, 0x48, 0x00, 0xFF, 0x5A}},
        {"even then odd",
         splitEvenOddBytes,
         {10, 11, 12, 13, 14, 15, 16, 17},
         {10, 12, 14, 16, 11, 13, 15, 17}},
        {"odd length", splitEvenOddBytes, counting(5), {0, 2, 4, 1, 3}},
        {"length 6", splitEvenOddBytes, counting(6), {0, 2, 4, 1, 3, 5}},
        {"one byte", splitEvenOddBytes, {9}, {9}},
        {"last 28 of 30", clearLast28Bytes, thirty, thirtyCleared},
        {"exactly 28", clearLast28Bytes, Bytes(28, 7), Bytes(28, 0)},
        {"fewer than 28", clearLast28Bytes, Bytes(10, 7), Bytes(10, 0)},
        {"empty", reverseBitOrder, {}, {}},
        {"empty", splitEvenOddBytes, {}, {}},
        {"empty", clearLast28Bytes, {}, {}},
        {"empty", cropWindowSwapNibbles, {}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(runBothWays(c.routine, c.input), c.expected) << c.what;
}

constexpr size_t kRowBytes = 204;
size_t at(size_t row, size_t column) {
    return row * kRowBytes + column;
}

TEST(PostProcess, CropWindowWorkedExample) {
    // Everything outside rows 19 to 252, columns 42 to 201 is 0xFF and must
    // vanish; the window is 0 but for five marked bytes at its corners and
    // inside, which land at fixed places with their nibbles swapped.
    Bytes source(kRowBytes * 256, 0xFF);
    for (size_t row = 19; row <= 252; ++row)
        std::fill(source.begin() + at(row, 42), source.begin() + at(row, 202), 0);
    source[at(19, 42)] = 0x12;
    source[at(19, 201)] = 0x34;
    source[at(252, 42)] = 0x56;
    source[at(252, 201)] = 0x78;
    source[at(100, 120)] = 0x9A;
    const std::map<size_t, uint8_t> marked = {
        {44, 0x21}, {203, 0x43}, {47576, 0x65}, {47735, 0x87}, {16646, 0xA9}};

    const Bytes out = runBothWays(cropWindowSwapNibbles, source);
    std::map<size_t, uint8_t> nonZero;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] != 0)
            nonZero[i] = out[i];
    }
    EXPECT_EQ(nonZero, marked);
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
