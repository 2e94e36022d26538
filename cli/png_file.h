// Storing a downloaded screen as an indexed PNG: the same pixels and the same
// palette as the bitmap file would hold, rows top first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalogue/bitmap_types.h"

// The picture of a downloaded screen as one palette index per pixel, top row
// first, with the palette it uses (at least biClrUsed entries, more when a
// pixel holds a larger index). False when the header does not describe the
// pixel buffer.
struct IndexedPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> indices;
    std::vector<RGBQUAD> palette;
};
bool indexedPictureOf(const BitmapInfo& info, std::span<const uint8_t> pixels,
                      IndexedPicture& picture);

// The picture as an indexed PNG file in memory: the system's encoder, one
// file per system (png_encode_libpng.cpp, png_encode_wic.cpp). False when it
// failed.
bool pngEncode(const IndexedPicture& picture, std::vector<uint8_t>& png);

// Writes the PNG at `path`, replacing a file there only once the new one is
// complete. On failure tells the user ("ERROR: Unable to open file <path>" or
// "ERROR: Unable to write file <path>", caption "Lumagrab") and returns false.
bool pngSave(const BitmapInfo& info, std::span<const uint8_t> pixels, const std::string& path);
