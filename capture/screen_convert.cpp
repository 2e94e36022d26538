#include "capture/screen_convert.h"

#include <cstddef>
#include <new>

namespace {

bool validBitsPerPixel(int32_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

// Where raw pixel (x, y) lands: picture column and row from the top.
struct Placement {
    int32_t column;
    int32_t rowFromTop;
};

Placement place(const ScreenGeometry& g, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!g.transposed) {
        return g.forward ? Placement{x, y} : Placement{width - 1 - x, height - 1 - y};
    }
    return g.forward ? Placement{width - 1 - y, x} : Placement{y, height - 1 - x};
}

uint8_t rawValue(const uint8_t* row, int32_t x, int32_t bits) {
    const uint32_t bit = static_cast<uint32_t>(x) * bits;
    return static_cast<uint8_t>((row[bit / 8] >> (bit % 8)) & ((1u << bits) - 1));
}

uint8_t mapValue(const ScreenGeometry& g, uint8_t value) {
    if (!g.mapValues)
        return value;
    return value < g.valueMap.size() ? g.valueMap[value] : 0;
}

}  // namespace

bool screenGeometryUsable(const ScreenGeometry& g) {
    if (g.rowBytes <= 0 || g.rowPixels <= 0 || g.rowCount <= 0)
        return false;
    if (!validBitsPerPixel(g.bitsPerPixel))
        return false;
    if (int64_t{g.rowPixels} * g.bitsPerPixel > int64_t{g.rowBytes} * 8)
        return false;
    return int64_t{g.rowBytes} * g.rowCount <= kMaxRawScreenBytes;
}

uint32_t bitmapStride(uint32_t bitCount, uint32_t width) {
    return static_cast<uint32_t>((uint64_t{bitCount} * width + 31) / 32 * 4);
}

void screenFillHeader(const ScreenGeometry& geometry, BITMAPINFOHEADER& header) {
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = geometry.width();
    header.biHeight = geometry.height();
    header.biPlanes = 1;
    header.biCompression = 0;
    header.biSizeImage =
        bitmapStride(header.biBitCount, static_cast<uint32_t>(header.biWidth)) * header.biHeight;
    header.biXPelsPerMeter = 0;
    header.biYPelsPerMeter = 0;
    header.biClrImportant = header.biClrUsed;
}

bool screenConvert(const ScreenGeometry& g, const uint8_t* raw, const BITMAPINFOHEADER& header,
                   std::vector<uint8_t>& pixels) {
    try {
        pixels.assign(header.biSizeImage, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int32_t width = g.width();
    const int32_t height = g.height();
    const uint32_t bitCount = header.biBitCount;
    const uint32_t stride = bitmapStride(bitCount, static_cast<uint32_t>(width));
    for (int32_t y = 0; y < g.rowCount; ++y) {
        const uint8_t* row = raw + static_cast<size_t>(y) * g.rowBytes;
        for (int32_t x = 0; x < g.rowPixels; ++x) {
            const uint8_t value = mapValue(g, rawValue(row, x, g.bitsPerPixel));
            const Placement at = place(g, x, y, width, height);
            const uint32_t firstBit = static_cast<uint32_t>(at.column) * bitCount;
            const size_t byte =
                static_cast<size_t>(height - 1 - at.rowFromTop) * stride + firstBit / 8;
            const uint32_t shift = (8 - (firstBit + bitCount) % 8) % 8;
            pixels[byte] |= static_cast<uint8_t>(value << shift);
        }
    }
    return true;
}
