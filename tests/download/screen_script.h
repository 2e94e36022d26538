// The device's side of a screen transfer, written for the tests from the
// record layouts alone: frames, screen records and raw pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// One frame on the wire: DLE, ID, size, payload, checksum, DLE ETX, with
// every 0x10 in size, payload and checksum doubled.
Bytes encodeFrame(uint8_t id, const Bytes& payload);
// A screen record (packet ID 69) framed.
Bytes screenFrame(const Bytes& record);

// The test device scans as shown (first raw row at the top, left to right)
// and maps values to themselves; only the depth of its raw pixels varies.
struct RawLayout {
    int bitsPerPixel = 8;
};

// A picture of palette indices, top row first.
struct TestPicture {
    int width = 0;
    int height = 0;
    Bytes pixels;
    uint8_t at(int column, int row) const {
        return pixels[static_cast<size_t>(row) * width + column];
    }
};

// An asymmetric picture using indices 0 to colours-1.
TestPicture makePicture(int width, int height, int colours);

// What a device scanning as shown sends for `picture`: the raw rows and
// their geometry.
struct RawScreen {
    int rowBytes = 0;
    int rowPixels = 0;
    int rowCount = 0;
    Bytes bytes;
};
RawScreen encodeRaw(const TestPicture& picture, const RawLayout& layout);

// Screen records in the layout of record format 1 to 4.
Bytes headerRecord(int format, const RawLayout& layout, int32_t rowBytes, int32_t rowPixels,
                   int32_t rowCount);
Bytes headerRecord(int format, const RawLayout& layout, const RawScreen& raw);
Bytes pixelRecord(int format, uint32_t offset, const Bytes& data);
Bytes paletteRecord(uint32_t offset, const Bytes& data);
// Every raw byte in chunks of `chunk` bytes, in order, framed.
Bytes pixelFrames(int format, const Bytes& raw, size_t chunk);
