// The two structures of the device-independent bitmap format that the screen
// download fills and the bitmap writer stores. Field names and widths follow
// the published format; the structures are packed so that they can be written
// byte for byte (the format is little-endian, as is every target we build for).
#pragma once

#include <cstdint>

#pragma pack(push, 1)

// One colour-table entry: blue, green, red, then a reserved byte that is 0.
struct RGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;

    friend bool operator==(const RGBQUAD&, const RGBQUAD&) = default;
};

// The 40-byte information header that follows the 14-byte file header.
struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

#pragma pack(pop)

static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// Every colour table holds room for this many entries, whatever the screen
// type, because a downloaded palette is kept whole.
constexpr int kPaletteCapacity = 256;

// The header together with the colour table that follows it in memory, as the
// download fills them and the writer stores them.
struct BitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD palette[kPaletteCapacity];
};
