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
    BmpImage image;
    image.width = header.biWidth;
    image.height = header.biHeight;
    image.bitCount = header.biBitCount;
    image.rows = pixels;
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biClrImportant, 16u);
    EXPECT_EQ(header.biSizeImage, image.stride() * image.height);
    EXPECT_EQ(pixels.size(), header.biSizeImage);
    EXPECT_TRUE(image.paddingIsZero());
    return image;
}

TEST(ScreenConvert, MonochromeFirstByteLandsTopLeft) {
    std::vector<uint8_t> raw(2 * 3, 0);
    raw[0] = 0x80;  // 0x01 once its bits are turned: pixel (0, 0) is 1, black
    reverseBitOrder(raw.data(), raw.data(), static_cast<uint32_t>(raw.size()));
    const BmpImage image = convert(geometry(2, 1, 16, 3), raw, 1);
    // Bit 7 of the first byte of the last buffer row.
    EXPECT_EQ(image.rows, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0}));
}

TEST(ScreenConvert, FourBitRowsArePaddedToWords) {
    const BmpImage image = convert(geometry(2, 4, 3, 1), {0x21, 0x03}, 4);  // pixels 1, 2, 3
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
    EXPECT_EQ(image.rows.size(), 76800u);
    const size_t lastRow = 239 * 320;
    EXPECT_EQ(image.rows[lastRow], 14);      // valueMap[1]
    EXPECT_EQ(image.rows[lastRow + 1], 13);  // valueMap[2]
    EXPECT_EQ(image.rows[lastRow + 2], 15);  // raw 0 becomes 15

    // Raw values with no entry in the map become index 0.
    g = geometry(3, 8, 3, 1);
    g.mapValues = true;
    g.valueMap.fill(9);
    EXPECT_EQ(convert(g, {0x0F, 0x10, 0xFF}, 8).rows, (std::vector<uint8_t>{9, 0, 0, 0}));
}

TEST(ScreenConvert, WideValuesSpillIntoTheirNeighbours) {
    // 2-bit raw values into a 1-bit bitmap: value 3 at column 0 would set bit 8,
    // which is cut off; value 1 at column 1 sets bit 6.
    EXPECT_EQ(convert(geometry(1, 2, 2, 1), {0x07}, 1).rows[0], 0x80 | 0x40);  // values 3, 1
    // Value 3 at column 1 also sets column 0's bit.
    EXPECT_EQ(convert(geometry(1, 2, 2, 1), {0x0C}, 1).rows[0], 0xC0);  // values 0, 3
}

TEST(ScreenConvert, RawPicturesUpToFourMebibytes) {
    EXPECT_TRUE(screenGeometryUsable(geometry(1, 8, 1, 1)));
    EXPECT_TRUE(screenGeometryUsable(geometry(1024, 8, 1024, 4096)));
    EXPECT_FALSE(screenGeometryUsable(geometry(1024, 8, 1024, 4097)));
    EXPECT_FALSE(screenGeometryUsable(geometry(INT32_MAX, 8, INT32_MAX, INT32_MAX)));
}

}  // namespace
