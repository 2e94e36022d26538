// A small, independent reader of uncompressed bitmap files for the tests: it
// knows the file format, not the code that writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct BmpImage {
    uint32_t fileSize = 0;     // bfSize
    uint32_t pixelOffset = 0;  // bfOffBits
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint8_t> colorTable;  // bytes between the headers and the pixels
    std::vector<uint8_t> rows;        // the pixel rows as stored (bottom row first)

    uint32_t stride() const { return ((bitCount * static_cast<uint32_t>(width) + 31) / 32) * 4; }
    // Palette indices of every pixel, top row first, left to right.
    std::vector<uint8_t> indices() const;
    // Every bit of every row beyond the last pixel is 0.
    bool paddingIsZero() const;
};

// Parses `bytes`; nothing when they are not a well-formed uncompressed bitmap
// whose sizes agree with each other and with the data.
std::optional<BmpImage> parseBmp(const std::vector<uint8_t>& bytes);
std::optional<BmpImage> readBmp(const std::string& path);
