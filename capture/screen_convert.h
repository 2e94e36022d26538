// Turning a device's raw screen picture into a bottom-up bitmap.
//
// The raw picture is rowCount rows of rowBytes bytes. Pixel x of raw row y is
// the bitsPerPixel-bit value that starts at bit x * bitsPerPixel of the row,
// bits counted from the least significant bit of each byte. `transposed` and
// `forward` say how the device scanned its screen:
//
//   transposed  forward  picture W x H          column, row from the top
//   no          yes      rowPixels x rowCount   x, y          (as scanned)
//   no          no       rowPixels x rowCount   W-1-x, H-1-y  (turned 180)
//   yes         no       rowCount x rowPixels   y, H-1-x      (turned 90 left)
//   yes         yes      rowCount x rowPixels   W-1-y, x      (turned 90 right)
//
// The geometry comes from the device, so nothing here trusts it:
// screenGeometryUsable() decides whether a picture can be built at all, and
// the conversion only runs on a usable geometry.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "catalogue/bitmap_types.h"

// Largest raw picture accepted: far beyond any handheld screen, small enough
// to allocate without a second thought.
constexpr uint32_t kMaxRawScreenBytes = 4u * 1024 * 1024;

struct ScreenGeometry {
    bool transposed = false;
    bool forward = true;
    int32_t rowBytes = 0;
    int32_t bitsPerPixel = 0;
    int32_t rowPixels = 0;
    int32_t rowCount = 0;
    // When set, raw value v becomes palette index valueMap[v]; values of 16
    // and more have no entry and become index 0.
    bool mapValues = false;
    std::array<uint8_t, 16> valueMap{};

    // rowBytes x rowCount; only meaningful for a usable geometry.
    uint32_t rawSize() const { return static_cast<uint32_t>(rowBytes) * rowCount; }
    int32_t width() const { return transposed ? rowCount : rowPixels; }
    int32_t height() const { return transposed ? rowPixels : rowCount; }
};

// True when every field is positive, bitsPerPixel is 1, 2, 4 or 8, a raw row
// holds its rowPixels pixels, and the raw size is at most kMaxRawScreenBytes.
bool screenGeometryUsable(const ScreenGeometry& geometry);

// Bytes of one bitmap row: the row's bits rounded up to whole 32-bit words.
uint32_t bitmapStride(uint32_t bitCount, uint32_t width);

// Fills every field of `header` but biBitCount and biClrUsed (which the caller
// has set) for the picture of `geometry`.
void screenFillHeader(const ScreenGeometry& geometry, BITMAPINFOHEADER& header);

// Builds the pixel rows, bottom row first, from the complete raw picture of a
// usable geometry (`raw` holds rawSize() bytes), at header.biBitCount (1, 4
// or 8) bits per pixel with header.biSizeImage bytes, padding 0. A value wider
// than the bitmap depth spills into the neighbouring bits of its byte. Returns
// false when the pixel buffer cannot be allocated.
bool screenConvert(const ScreenGeometry& geometry, const uint8_t* raw,
                   const BITMAPINFOHEADER& header, std::vector<uint8_t>& pixels);
