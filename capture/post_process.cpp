#include "capture/post_process.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr std::array<uint8_t, 256> makeReversedBytes() {
    std::array<uint8_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        uint8_t reversed = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (value & (1 << bit))
                reversed |= static_cast<uint8_t>(0x80 >> bit);
        }
        table[value] = reversed;
    }
    return table;
}
constexpr std::array<uint8_t, 256> kReversedBytes = makeReversedBytes();

// A working buffer of `length` bytes, zero-filled; null when out of memory.
std::unique_ptr<uint8_t[]> allocateZeroed(uint32_t length) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length == 0 ? 1 : length]());
    return buffer;
}

// The window that one device family's raw screen must be cut down to.
constexpr uint32_t kCropRowBytes = 204;
constexpr uint32_t kCropFirstRow = 19;
constexpr uint32_t kCropLastRow = 252;
constexpr uint32_t kCropFirstColumn = 42;
constexpr uint32_t kCropLastColumn = 201;
constexpr uint32_t kCropLeftMargin = 44;

uint8_t swapNibbles(uint8_t value) {
    return static_cast<uint8_t>((value << 4) | (value >> 4));
}

}  // namespace

bool reverseBitOrder(uint8_t* destination, const uint8_t* source, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) destination[i] = kReversedBytes[source[i]];
    return true;
}

bool splitEvenOddBytes(uint8_t* destination, const uint8_t* source, uint32_t length) {
    auto work = allocateZeroed(length);
    if (!work)
        return false;
    const uint32_t evenCount = (length + 1) / 2;
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t target = (i % 2 == 0) ? i / 2 : evenCount + i / 2;
        work[target] = source[i];
    }
    std::memcpy(destination, work.get(), length);
    return true;
}

bool clearLast28Bytes(uint8_t* destination, const uint8_t* source, uint32_t length) {
    constexpr uint32_t kCleared = 28;
    const uint32_t kept = length > kCleared ? length - kCleared : 0;
    if (kept > 0 && destination != source)
        std::memmove(destination, source, kept);
    std::memset(destination + kept, 0, length - kept);
    return true;
}

bool cropWindowSwapNibbles(uint8_t* destination, const uint8_t* source, uint32_t length) {
    auto work = allocateZeroed(length);
    if (!work)
        return false;
    uint64_t position = 0;
    for (uint32_t row = kCropFirstRow; row <= kCropLastRow && position < length; ++row) {
        position += kCropLeftMargin;
        for (uint32_t column = kCropFirstColumn; column <= kCropLastColumn; ++column, ++position) {
            const uint64_t from = uint64_t{row} * kCropRowBytes + column;
            if (position >= length)
                break;
            if (from < length)
                work[position] = swapNibbles(source[from]);
        }
    }
    std::memcpy(destination, work.get(), length);
    return true;
}

PostProcessFn postProcessRoutine(PostProcess routine) {
    switch (routine) {
        case PostProcess::ReverseBitOrder:
            return reverseBitOrder;
        case PostProcess::SplitEvenOddBytes:
            return splitEvenOddBytes;
        case PostProcess::ClearLast28Bytes:
            return clearLast28Bytes;
        case PostProcess::CropWindowSwapNibbles:
            return cropWindowSwapNibbles;
        case PostProcess::None:
            break;
    }
    return nullptr;
}
