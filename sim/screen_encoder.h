// Turns a picture into what a device of a given kind sends: the raw picture
// bytes and the screen records that carry them.
//
// The raw picture is rowCount rows of rowBytes bytes; pixel x of a row is the
// bitsPerPixel-bit value at bit x * bitsPerPixel counted from the least
// significant bit of the row's first byte. The host applies the product's
// post-processing routine to the whole raw picture before it reads pixels,
// so the bytes sent here are that routine's inverse of the packed picture.
// Bytes that the routine overwrites carry filler, which the host never sees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/virtual_receiver.h"

namespace sim {

struct RawGeometry {
    int rowBytes = 0;
    int rowPixels = 0;
    int rowCount = 0;
    size_t size() const { return static_cast<size_t>(rowBytes) * static_cast<size_t>(rowCount); }
};

struct EncodedScreen {
    RawGeometry geometry;
    std::vector<uint8_t> raw;  // as sent, before the host's post-processing
    Picture expected;          // what a correct capture shows
};

// Largest picture side the receiver plays; small enough for the 16-bit
// geometry fields of record formats 1 and 2.
constexpr int MaxPictureSide = 4096;

// Number of palette entries a screen type shows (2, 4, 16, 256; 0 for others).
int screenColours(uint8_t screenType);

// Fills `out`; returns an empty string, or why the picture cannot be sent
// by such a device.
std::string encodeScreen(const Screen& screen, const Picture& picture, EncodedScreen& out);

// Screen record payloads in the layout of `recordFormat` (1 to 4).
std::vector<uint8_t> headerRecord(const Screen& screen, const RawGeometry& geometry);
std::vector<uint8_t> pixelChunkRecord(uint8_t recordFormat, uint32_t offset, const uint8_t* data,
                                      size_t count);
std::vector<uint8_t> paletteChunkRecord(uint32_t offset, const uint8_t* data, size_t count);
// A record of `type` with nothing after its type field.
std::vector<uint8_t> bareRecord(uint8_t recordFormat, uint32_t type);

// Fixed part of a pixel chunk: 6, 5 or 8 bytes.
size_t pixelChunkFixedSize(uint8_t recordFormat);

}  // namespace sim
