#include "capture/screen_convert.h"

#include <gtest/gtest.h>

#include "capture/bmp_test_reader.h"
#include "capture/post_process.h"

namespace {

ScreenGeometry geometry(int32_t rowBytes, int32_t bits, int32_t rowPixels, int32_t rowCount) {
    ScreenGeometry g;
    g.rowBytes = rowBytes;
    g.bitsPerPixel = bits;
    g.rowPixels = rowPixels;
    g.rowCount = rowCount;
    return g;
}

// Converts `raw` at `bitCount` and hands back the result as the test reader sees it.
BmpImage convert(const ScreenGeometry& g, const std::vector<uint8_t>& raw, uint16_t bitCount) {
    BITMAPINFOHEADER header{};
    header.biBitCount = bitCount;
    header.biClrUsed = 16;
    screenFillHeader(g, header);
    std::vector<uint8_t> pixels;
    EXPECT_TRUE(screenConvert(g, raw.data(), header, pixels));
    EXPECT_EQ(pixels.size(), header.biSizeImage);
    BmpImage image;
    image.width = header.biWidth;
    image.height = header.biHeight;
    image.bitCount = header.biBitCount;
    image.rows = pixels;
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biClrImportant, 16u);
    EXPECT_EQ(header.biSizeImage, image.stride() * image.height);
    EXPECT_TRUE(image.paddingIsZero());
    return image;
}

TEST(ScreenConvert, MonochromeFirstByteLandsTopLeft) {
    std::vector<uint8_t> raw(2 * 3, 0);
    raw[0] = 0x80;
    reverseBitOrder(raw.data(), raw.data(), static_cast<uint32_t>(raw.size()));
    const BmpImage image = convert(geometry(2, 1, 16, 3), raw, 1);
    EXPECT_EQ(image.index(0, 0), 1);
    // Bit 7 of the first byte of the last buffer row.
    EXPECT_EQ(image.rows[image.stride() * 2], 0x80);
}

TEST(ScreenConvert, FourBitRowsArePaddedToWords) {
    const std::vector<uint8_t> raw{0x21, 0x03};  // pixels 1, 2, 3 at 4 bits
    const BmpImage image = convert(geometry(2, 4, 3, 1), raw, 4);
    EXPECT_EQ(image.stride(), 4u);
    EXPECT_EQ(image.rows, (std::vector<uint8_t>{0x12, 0x30, 0, 0}));
}

TEST(ScreenConvert, ValueMapOfAFullScreen) {
    ScreenGeometry g = geometry(160, 4, 320, 240);
    g.mapValues = true;
    for (int v = 0; v < 16; ++v) g.valueMap[v] = static_cast<uint8_t>(15 - v);
    std::vector<uint8_t> raw(38400, 0);
    raw[0] = 0x21;
    EXPECT_EQ(g.rawSize(), 38400u);
    const BmpImage image = convert(g, raw, 8);
    EXPECT_EQ(image.width, 320);
    EXPECT_EQ(image.height, 240);
    EXPECT_EQ(image.stride(), 320u);
    EXPECT_EQ(image.rows.size(), 76800u);
    const size_t lastRow = 239 * 320;
    EXPECT_EQ(image.rows[lastRow], 14);      // valueMap[1]
    EXPECT_EQ(image.rows[lastRow + 1], 13);  // valueMap[2]
    EXPECT_EQ(image.rows[lastRow + 2], 15);  // raw 0 becomes 15
}

TEST(ScreenConvert, ValuesBeyondTheMapBecomeZero) {
    ScreenGeometry g = geometry(3, 8, 3, 1);
    g.mapValues = true;
    g.valueMap.fill(9);
    const BmpImage image = convert(g, {0x0F, 0x10, 0xFF}, 8);
    EXPECT_EQ(image.rows, (std::vector<uint8_t>{9, 0, 0, 0}));
}

TEST(ScreenConvert, WideValuesSpillIntoTheirNeighbours) {
    // 2-bit raw values into a 1-bit bitmap: value 3 at column 0 would set bit 8,
    // which is cut off; value 1 at column 1 sets bit 6.
    EXPECT_EQ(convert(geometry(1, 2, 2, 1), {0x07}, 1).rows[0], 0x80 | 0x40);  // values 3, 1
    // Value 3 at column 1 also sets column 0's bit.
    EXPECT_EQ(convert(geometry(1, 2, 2, 1), {0x0C}, 1).rows[0], 0xC0);  // values 0, 3
}

TEST(ScreenConvert, UnusableGeometries) {
    EXPECT_TRUE(screenGeometryUsable(geometry(160, 4, 320, 240)));
    EXPECT_TRUE(screenGeometryUsable(geometry(1, 8, 1, 1)));
    EXPECT_TRUE(screenGeometryUsable(geometry(1024, 8, 1024, 4096))) << "exactly the limit";
    struct Bad {
        const char* why;
        ScreenGeometry g;
    };
    for (const Bad& bad : {
             Bad{"zero row bytes", geometry(0, 8, 1, 1)},
             Bad{"negative row bytes", geometry(-4, 8, 1, 1)},
             Bad{"zero pixels", geometry(4, 8, 0, 1)},
             Bad{"negative pixels", geometry(4, 8, -1, 1)},
             Bad{"zero rows", geometry(4, 8, 4, 0)},
             Bad{"negative rows", geometry(4, 8, 4, -240)},
             Bad{"3 bits", geometry(4, 3, 4, 1)},
             Bad{"0 bits", geometry(4, 0, 4, 1)},
             Bad{"16 bits", geometry(8, 16, 4, 1)},
             Bad{"negative bits", geometry(4, -8, 4, 1)},
             Bad{"pixels beyond the row", geometry(4, 8, 5, 1)},
             Bad{"4-bit pixels beyond the row", geometry(160, 4, 321, 240)},
             Bad{"huge pixel count", geometry(4, 8, INT32_MAX, 1)},
             Bad{"above the limit", geometry(1024, 8, 1024, 4097)},
             Bad{"size wraps 32 bits", geometry(65536, 8, 65536, 65536)},
             Bad{"largest fields", geometry(INT32_MAX, 8, INT32_MAX, INT32_MAX)},
         }) {
        EXPECT_FALSE(screenGeometryUsable(bad.g)) << bad.why;
    }
}

}  // namespace
